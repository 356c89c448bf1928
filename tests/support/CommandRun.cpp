#include "support/CommandRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace telmo::test {

QProcessEnvironment CommandEnvironment(const QString& folder, bool runtimeDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "TELMO_BATCH", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(name);
    env.insert("TMPDIR", folder);
    if (runtimeDir)
        env.insert("XDG_RUNTIME_DIR", folder);
    env.insert("CUPS_SERVER", QDir(folder).filePath("no-cups.sock"));
    return env;
}

RunResult RunProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        const bool started = process.error() != QProcess::FailedToStart;
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " " << arguments.join(' ').toStdString()
                      << (started ? " did not finish"
                                  : " could not be started (scripts/install-deps.sh installs it)");
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
    return path;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SeenWhileRunning(const QProcess& process, const std::function<bool()>& seen) {
    for (int i = 0; i < 2400 && process.state() == QProcess::Running; ++i, QThread::msleep(25))
        if (seen())
            return true;
    return false;
}

QByteArray TableCsv(int rows, int cols) {
    QByteArray csv;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c)
            csv +=
                (c > 0 ? "," : "") + (r == 0   ? "h" + QByteArray::number(c)
                                      : c == 0 ? "k" + QByteArray::number(r)
                                               : "r" + QByteArray::number(r) + "c" + QByteArray::number(c));
        csv += '\n';
    }
    return csv;
}

} // namespace telmo::test
