#include "app/ReportCommand.h"
#include "platform/pdf/OutputFile.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QSet>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// Qt's own warnings reach standard error once each: a failing page repeats the same warning
// for every page, which would bury the command's own messages. Qt's note that it made up a
// runtime folder for a missing XDG_RUNTIME_DIR is left out: it says nothing about the report.
void QtMessageOnce(QtMsgType type, const QMessageLogContext&, const QString& message) {
    static QSet<QString> told;
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    // A painter that cannot start is reported by the command itself, naming the file.
    if (message.startsWith(QLatin1String("QPainter::begin(): Returned false")))
        return;
    // Qt tries each face on the way to the one that has a script and says so of every face
    // that has not; the text prints all the same (through a fallback face, or as the face's
    // boxes where no installed font has the script, which the page itself shows).
    if (message.trimmed().startsWith(QLatin1String("OpenType support missing for")))
        return;
    if (type != QtFatalMsg && (told.size() > 1000 || told.contains(message)))
        return;
    told.insert(message);
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg)
        std::abort();
}

// Ended from outside mid-run: the half-written output file goes, then the signal ends the
// process as it would have.
extern "C" void EndOnSignal(int signal) {
    telmo::OutputFile::RemoveUnfinishedNow();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

// telmo-report: prints a CSV file as a report, or shows it in the print preview.
int main(int argc, char** argv) {
    // Without a display the command runs offscreen, where no dialog can wait for a user.
    const bool wantsPreview = [&] {
        for (int i = 1; i < argc; ++i)
            if (QByteArray(argv[i]) == "--preview" || QByteArray(argv[i]) == "--print-dialog")
                return true;
        return false;
    }();
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QtMessageOnce);
    for (const int signal : {SIGTERM, SIGHUP})
        std::signal(signal, EndOnSignal);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("telmo-report"));
    if (!wantsPreview)
        telmo::MessageBox::SetBatchMode(true);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    return telmo::app::RunReportCommand(arguments);
}
