#include "support/PrivateCups.h"

#include "support/CommandRun.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

namespace telmo::test {

PrivateCups::PrivateCups(const QString& path) : script(path) {
    const RunResult r =
        RunProgram("sh", {script, "start", "--owner", QString::number(QCoreApplication::applicationPid())},
                   QProcessEnvironment::systemEnvironment());
    status = r.exitCode;
    why = (r.out + r.err).trimmed();
    for (const QString& line : r.out.split('\n'))
        if (line.contains('='))
            vars[line.section('=', 0, 0)] = line.section('=', 1).trimmed();
}

void PrivateCups::Stop() {
    if (!vars.value("TELMO_CUPS_ROOT").isEmpty())
        QProcess::execute("sh", {script, "stop", vars.take("TELMO_CUPS_ROOT")});
}

bool PrivateCups::WaitIdle() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CUPS_SERVER", vars.value("CUPS_SERVER"));
    const RunResult r = RunProgram("sh", {script, "wait-idle", "30"}, env);
    EXPECT_EQ(r.exitCode, 0) << S(r.err);
    return r.exitCode == 0;
}

} // namespace telmo::test
