#include "FuzzApp.h"

#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace telmo::fuzz {

namespace {
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
}
} // namespace

void StartOffscreenApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    static int argc = 1;
    static char name[] = "telmo-fuzz";
    static char* argv[] = {name, nullptr};
    // Lives for the whole process: every input runs inside the same application.
    new QApplication(argc, argv);
    MessageBox::SetBatchMode(true);
}

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

} // namespace telmo::fuzz
