#include "platform/print/Spooler.h"

#include <QLibrary>

namespace telmo::spooler {
namespace {

// The few parts of the CUPS client API needed here, declared by hand: its headers are a
// development package, while the library itself is always there wherever Qt prints to
// CUPS (Qt's print support plugin links it). The layouts are CUPS's stable ABI since 1.1.
struct CupsOption {
    char* name;
    char* value;
};
struct CupsDest {
    char* name;
    char* instance;
    int isDefault;
    int numOptions;
    CupsOption* options;
};
struct CupsJob {
    int id;
    char* dest;
    char* title;
    char* user;
    char* format;
    int state; // ipp_jstate_t: 3 pending, 4 held, 5 processing, 6 stopped, 7 canceled, 8 aborted, 9 completed
    int size;
    int priority;
    long completedTime;
    long creationTime;
    long processingTime;
};
using GetNamedDestFn = CupsDest* (*)(void* http, const char* name, const char* instance);
using GetJobsFn = int (*)(void* http, CupsJob** jobs, const char* name, int myJobs, int whichJobs);
using FreeJobsFn = void (*)(int numJobs, CupsJob* jobs);
using ServerFn = const char* (*)();
using PortFn = int (*)();
using EncryptionFn = int (*)();
using ConnectFn = void* (*)(const char* host, int port, void* addresses, int family, int encryption,
                            int blocking, int msec, int* cancel);
using CloseFn = void (*)(void* http);
using GetOptionFn = const char* (*)(const char* name, int numOptions, CupsOption* options);
using FreeDestsFn = void (*)(int numDests, CupsDest* dests);

struct CupsApi {
    GetNamedDestFn getNamedDest = nullptr;
    GetOptionFn getOption = nullptr;
    FreeDestsFn freeDests = nullptr;
    GetJobsFn getJobs = nullptr;
    FreeJobsFn freeJobs = nullptr;
    ServerFn server = nullptr;
    PortFn port = nullptr;
    EncryptionFn encryption = nullptr;
    ConnectFn connect = nullptr;
    CloseFn close = nullptr;
    bool Usable() const {
        return getNamedDest && getOption && freeDests && getJobs && freeJobs && server && port &&
               encryption && connect && close;
    }
};

const CupsApi& Api() {
    // Loaded once and never unloaded: Qt's plugin holds the same library.
    static const CupsApi api = [] {
        CupsApi loaded;
        QLibrary library(QStringLiteral("cups"), 2);
        if (!library.load())
            return loaded;
        loaded.getNamedDest = reinterpret_cast<GetNamedDestFn>(library.resolve("cupsGetNamedDest"));
        loaded.getOption = reinterpret_cast<GetOptionFn>(library.resolve("cupsGetOption"));
        loaded.freeDests = reinterpret_cast<FreeDestsFn>(library.resolve("cupsFreeDests"));
        loaded.getJobs = reinterpret_cast<GetJobsFn>(library.resolve("cupsGetJobs2"));
        loaded.freeJobs = reinterpret_cast<FreeJobsFn>(library.resolve("cupsFreeJobs"));
        loaded.server = reinterpret_cast<ServerFn>(library.resolve("cupsServer"));
        loaded.port = reinterpret_cast<PortFn>(library.resolve("ippPort"));
        loaded.encryption = reinterpret_cast<EncryptionFn>(library.resolve("cupsEncryption"));
        loaded.connect = reinterpret_cast<ConnectFn>(library.resolve("httpConnect2"));
        loaded.close = reinterpret_cast<CloseFn>(library.resolve("httpClose"));
        return loaded;
    }();
    return api;
}

} // namespace

std::optional<QueueStatus> QueryQueue(const QString& queue) {
    const CupsApi& api = Api();
    if (!api.Usable())
        return std::nullopt;
    const qsizetype slash = queue.indexOf(QLatin1Char('/'));
    const QByteArray name = (slash < 0 ? queue : queue.left(slash)).toUtf8();
    const QByteArray instance = slash < 0 ? QByteArray() : queue.mid(slash + 1).toUtf8();
    // A null connection is the default server: the one CUPS_SERVER or the client
    // configuration names, as for Qt.
    CupsDest* dest =
        api.getNamedDest(nullptr, name.constData(), instance.isEmpty() ? nullptr : instance.constData());
    QueueStatus status;
    if (!dest) {
        // CUPS says "no such printer" also when it cannot reach the scheduler at all; a
        // connection of its own, given up after a few seconds, tells the two apart.
        void* http = api.connect(api.server(), api.port(), nullptr, 0, api.encryption(), 1, 3000, nullptr);
        status.spoolerAnswers = http != nullptr;
        if (http)
            api.close(http);
        return status;
    }
    status.exists = true;
    const auto option = [&](const char* key) {
        const char* value = api.getOption(key, dest->numOptions, dest->options);
        return value ? QString::fromUtf8(value) : QString();
    };
    // An old scheduler that does not say is taken at its word that it prints.
    const QString accepting = option("printer-is-accepting-jobs");
    status.acceptingJobs = accepting.isEmpty() || accepting == QLatin1String("true");
    status.stopped = option("printer-state") == QLatin1String("5");
    api.freeDests(1, dest);
    return status;
}

Job NewestJob(const QString& queue) {
    const CupsApi& api = Api();
    Job newest;
    if (!api.Usable())
        return newest;
    const QByteArray name = queue.section(QLatin1Char('/'), 0, 0).toUtf8();
    CupsJob* jobs = nullptr;
    const int count = api.getJobs(nullptr, &jobs, name.constData(), 0, -1); // every job, anyone's
    for (int i = 0; i < count; ++i) {
        if (jobs[i].id <= newest.id)
            continue;
        newest.id = jobs[i].id;
        // ipp_jstate_t runs from 3 (pending) to 9 (completed) in this order.
        static constexpr JobFate kByState[] = {JobFate::Waiting,  JobFate::Held,      JobFate::Printing,
                                               JobFate::Stopped,  JobFate::Cancelled, JobFate::Aborted,
                                               JobFate::Completed};
        const int state = jobs[i].state;
        newest.fate = state >= 3 && state <= 9 ? kByState[state - 3] : JobFate::Unknown;
    }
    if (jobs)
        api.freeJobs(count, jobs);
    return newest;
}

} // namespace telmo::spooler
