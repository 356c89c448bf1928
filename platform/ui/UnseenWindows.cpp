#include "platform/ui/UnseenWindows.h"

#include "platform/RuntimeError.h"

#include <QApplication>
#include <QGuiApplication>
#include <QThread>
#include <atomic>

namespace telmo {
namespace {

std::atomic<bool> drivenByProgram{false};

} // namespace

bool UnseenWindows::HaveDisplay() {
    const QCoreApplication* app = QCoreApplication::instance();
    if (qobject_cast<const QApplication*>(app) == nullptr || QThread::currentThread() != app->thread())
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void UnseenWindows::SetDrivenByProgram(bool driven) {
    drivenByProgram = driven;
}

bool UnseenWindows::DrivenByProgram() {
    return drivenByProgram;
}

void UnseenWindows::CheckCanBeAnswered(int32_t number, const QString& what) {
    if (DrivenByProgram() || HaveDisplay())
        return;
    throw RuntimeError(number, StandardErrorText(number) + QStringLiteral(": the ") + what +
                                   QStringLiteral(" cannot be shown: there is no display"));
}

} // namespace telmo
