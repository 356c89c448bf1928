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
    // After Ctrl-C, asks the progress window, if a run has one, to stop after this page. Also
    // called as each page is done: a Ctrl-C that came while the run was being set up, before
    // the window was there, is seen then.
    static void StopRunIfInterrupted();

private:
    void OnSignal();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace telmo::app
