#pragma once

#include <QMap>
#include <QString>

namespace telmo::test {

// A scheduler of scripts/private-cups.sh, stopped with this object or however the program ends. status:
// 0 started, 77 none can run here (skip); why: what it said; vars: CUPS_SERVER, TELMO_CUPS_ROOT and _OUT.
struct PrivateCups {
    explicit PrivateCups(const QString& script);
    ~PrivateCups() { Stop(); }
    void Stop();
    // Waits until the scheduler has no unfinished job; false (and a test failure) if it keeps one.
    bool WaitIdle() const;

    QString script, why;
    int status = -1;
    QMap<QString, QString> vars;
};

} // namespace telmo::test
