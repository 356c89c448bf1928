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

// The environment a built program runs in for a test: no display, TMPDIR (where the built-in
// PDF printer writes by default) the given folder, XDG_RUNTIME_DIR there too or (runtimeDir
// false) not set at all, as from a shell without one, and a spooler socket that does not exist,
// so that no test depends on the machine's printers.
QProcessEnvironment CommandEnvironment(const QString& folder, bool runtimeDir = true);

// Runs a program to its end with nothing on its input; a run that takes more than two minutes
// is killed and is a test failure.
RunResult RunProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& env);

// Writes bytes to a file (a test failure when it cannot) and returns its path; reads a whole
// file (nothing when it cannot be read).
QString WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

// Whether `seen` came true, polled for up to a minute while the process runs.
bool SeenWhileRunning(const QProcess& process, const std::function<bool()>& seen);

// Heading row "h<col>", heading column "k<row>", "r<row>c<col>" elsewhere: each cell is findable.
QString CellText(int row, int col);
// A CSV file of rows x cols such cells.
QByteArray TableCsv(int rows, int cols);

inline std::string S(const QString& text) {
    return text.toStdString();
}

} // namespace telmo::test
