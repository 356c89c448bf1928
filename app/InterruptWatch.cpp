#include "app/InterruptWatch.h"

#include "component/JobState.h"
#include "dialogs/PrintStatusWindow.h"
#include "platform/pdf/OutputFile.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace telmo::app {
namespace {

volatile std::sig_atomic_t interrupted = 0;
int pipeEnds[2] = {-1, -1};

// Only async-signal-safe calls here.
extern "C" void OnInterrupt(int) {
    if (interrupted) {
        // Ends the command at once, but not before the half-written output file is gone.
        OutputFile::RemoveUnfinishedNow();
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    interrupted = 1;
    if (pipeEnds[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    }
}

} // namespace

InterruptWatch::InterruptWatch() {
    interrupted = 0;
    if (pipe(pipeEnds) == 0) {
        for (const int end : pipeEnds)
            fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
        notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &InterruptWatch::OnSignal);
    }
    std::signal(SIGINT, OnInterrupt);
}

InterruptWatch::~InterruptWatch() {
    std::signal(SIGINT, SIG_DFL);
    delete notifier_;
    for (int& end : pipeEnds) {
        if (end >= 0)
            close(end);
        end = -1;
    }
}

bool InterruptWatch::Interrupted() {
    return interrupted != 0;
}

void InterruptWatch::OnSignal() {
    char byte = 0;
    while (read(pipeEnds[0], &byte, 1) > 0) {
    }
    StopRunIfInterrupted();
}

void InterruptWatch::StopRunIfInterrupted() {
    // The window is only there while PrintReport runs; before it, the flag alone is seen.
    PrintStatusWindow* status = State().frmPrintStatus.IfLoaded();
    if (interrupted && status && !status->CancelRequested())
        status->RequestCancel();
}

} // namespace telmo::app
