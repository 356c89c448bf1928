#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace telmo::test {

struct RunResult {
    int exitCode = -1; // -1 also for a crash or a run that did not finish
    QString out, err;
};

// No display; TMPDIR (the built-in PDF printer's default folder) and XDG_RUNTIME_DIR (unless not
// runtimeDir) the folder; a spooler socket that does not exist, so no test uses the machine's printers.
QProcessEnvironment CommandEnvironment(const QString& folder, bool runtimeDir = true);

// Runs a program with nothing on its input; one that takes over two minutes is killed and fails.
RunResult RunProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& env);

// Writes a file (failing the test if it cannot) and returns its path; reads one (empty if it cannot).
QString WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

// Whether `seen` came true, polled for up to a minute while the process runs.
bool SeenWhileRunning(const QProcess& process, const std::function<bool()>& seen);

// A CSV file of rows x cols cells: heading row "h<col>", heading column "k<row>", "r<row>c<col>" elsewhere.
QByteArray TableCsv(int rows, int cols);

inline std::string S(const QString& text) {
    return text.toStdString();
}

} // namespace telmo::test
