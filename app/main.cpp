#include "app/ReportCommand.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <cstdlib>

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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("telmo-report"));
    if (!wantsPreview)
        telmo::MessageBox::SetBatchMode(true);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    return telmo::app::RunReportCommand(arguments);
}
