#include "app/TerminalProgress.h"

#include <chrono>
#include <unistd.h>

namespace telmo::app {
namespace {

constexpr double kMinInterval = 0.2;

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

TerminalProgress TerminalProgress::ForStream(std::FILE* out) {
    return TerminalProgress(out, isatty(fileno(out)) != 0, SteadySeconds);
}

TerminalProgress::TerminalProgress(std::FILE* out, bool enabled, Clock clock)
    : out_(out), enabled_(enabled), clock_(std::move(clock)) {}

TerminalProgress::~TerminalProgress() {
    if (clock_)
        Finish();
}

void TerminalProgress::PageDone(int page, int total) {
    if (!enabled_ || total <= 0)
        return;
    const double now = clock_();
    if (start_ < 0)
        start_ = now;
    if (page < total && lastShown_ >= 0 && now - lastShown_ < kMinInterval)
        return;
    lastShown_ = now;
    const double elapsed = now - start_;
    // The first page starts the clock, so the rate counts the pages after it.
    const double rate = elapsed > 0 ? (page - 1) / elapsed : 0;
    std::fprintf(out_, "\rpage %d of %d", page, total);
    if (rate > 0)
        std::fprintf(out_, ", %.0f pages/s, %.0f s left   ", rate, (total - page) / rate);
    std::fflush(out_);
    shown_ = true;
}

void TerminalProgress::Finish() {
    if (shown_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    shown_ = false;
}

} // namespace telmo::app
