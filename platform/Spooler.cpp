#include "platform/Spooler.h"

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
using GetNamedDestFn = CupsDest* (*)(void* http, const char* name, const char* instance);
using GetOptionFn = const char* (*)(const char* name, int numOptions, CupsOption* options);
using FreeDestsFn = void (*)(int numDests, CupsDest* dests);

struct CupsApi {
    GetNamedDestFn getNamedDest = nullptr;
    GetOptionFn getOption = nullptr;
    FreeDestsFn freeDests = nullptr;
    bool Usable() const { return getNamedDest && getOption && freeDests; }
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
    if (!dest)
        return status;
    status.exists = true;
    const auto option = [&](const char* key) {
        const char* value = api.getOption(key, dest->numOptions, dest->options);
        return value ? QString::fromUtf8(value) : QString();
    };
    // An old scheduler that does not say is taken at its word that it prints.
    const QString accepting = option("printer-is-accepting-jobs");
    status.acceptingJobs = accepting.isEmpty() || accepting == QLatin1String("true");
    api.freeDests(1, dest);
    return status;
}

} // namespace telmo::spooler
