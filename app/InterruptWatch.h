#pragma once

#include <QObject>

class QSocketNotifier;

namespace telmo::app {

// Ctrl-C (SIGINT) as a request to stop: the signal handler only sets a flag and writes a byte
// to a pipe; the pipe wakes a notifier on the event loop, which the print run lets through
// between pages, and that asks the progress window to stop. A second Ctrl-C ends the process
// at once, as it would without the watch.
class InterruptWatch : public QObject {
    Q_OBJECT
public:
    InterruptWatch();
    ~InterruptWatch() override;

    // Whether Ctrl-C came since the watch was made.
    static bool Interrupted();

private:
    void OnSignal();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace telmo::app
