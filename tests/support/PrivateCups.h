#pragma once

#include <QMap>
#include <QString>

namespace telmo::test {

// A private CUPS scheduler of scripts/private-cups.sh, stopped when this object goes and, in
// any case, when the test program ends however it ends. status is the script's exit status
// (0 started, 77 none can run here: the test skips), why what the script said; vars holds
// CUPS_SERVER, TELMO_CUPS_ROOT and TELMO_CUPS_OUT.
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
