#include "support/CommandRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " " << arguments.join(' ').toStdString()
                      << " did not finish";
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

} // namespace telmo::test
