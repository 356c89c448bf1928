#pragma once

#include <QString>
#include <QStringList>

namespace telmo::app {

// Exit statuses of the report command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitReported = 1;      // the component reported an error
inline constexpr int kExitUsage = 2;         // bad usage, or an unreadable or malformed file
inline constexpr int kExitInterrupted = 130; // stopped by Ctrl-C, as a shell counts SIGINT

// Tells the command's user one line on standard error, "telmo-report: TEXT".
void TellUser(const QString& text);

// Runs the report command with its arguments (without the program name). Needs a
// QApplication. Messages go to standard error.
int RunReportCommand(const QStringList& arguments);

} // namespace telmo::app
