#pragma once

#include <cstdio>
#include <functional>

namespace telmo::app {

// One line on a terminal that follows a long print run: pages done of the total, the rate and
// the time left, rewritten in place and ended with a line feed. Where the stream is not a
// terminal (a log, a pipe, a test) it writes nothing.
class TerminalProgress {
public:
    using Clock = std::function<double()>; // seconds, from any origin

    // Writes only when the stream is a terminal.
    static TerminalProgress ForStream(std::FILE* out);
    TerminalProgress(std::FILE* out, bool enabled, Clock clock);
    ~TerminalProgress();
    TerminalProgress(TerminalProgress&&) = default;

    // At most a few lines a second reach the terminal; the last page always does.
    void PageDone(int page, int total);
    // Ends the line, when one was written.
    void Finish();

private:
    std::FILE* out_;
    bool enabled_;
    Clock clock_;
    double start_ = -1;
    double lastShown_ = -1;
    bool shown_ = false;
};

} // namespace telmo::app
