#include "platform/ui/MessageBox.h"

#include "platform/ui/UnseenWindows.h"

#include <QByteArray>
#include <QMessageBox>
#include <QMutex>
#include <cstdio>

namespace telmo {

namespace {

struct Settings {
    QMutex mutex;
    MessageBox::Sink sink;
    bool forcedBatch = false;
};

Settings& TheSettings() {
    static Settings settings;
    return settings;
}

// The icon bits of a message box style: 16 critical, 32 question, 48 exclamation, 64
// information. The buttons are always OK: the component asks for nothing else.
QMessageBox::Icon IconFor(int style) {
    switch (style & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

void MessageBox::Show(const QString& text, const QString& title, int style) {
    Sink sink;
    {
        QMutexLocker lock(&TheSettings().mutex);
        sink = TheSettings().sink;
    }
    if (sink) {
        sink(text, title, style);
        return;
    }
    if (IsBatchMode()) {
        // Nobody could close a box: say it where a batch host's operator looks, and go on.
        const QByteArray line = (title + QStringLiteral(": ") + text + QLatin1Char('\n')).toLocal8Bit();
        std::fputs(line.constData(), stderr);
        std::fflush(stderr);
        return;
    }
    QMessageBox box(IconFor(style), title, text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void MessageBox::SetBatchMode(bool batch) {
    QMutexLocker lock(&TheSettings().mutex);
    TheSettings().forcedBatch = batch;
}

bool MessageBox::IsBatchMode() {
    {
        QMutexLocker lock(&TheSettings().mutex);
        if (TheSettings().forcedBatch)
            return true;
    }
    if (!qEnvironmentVariableIsEmpty("TELMO_BATCH"))
        return true;
    return !UnseenWindows::HaveDisplay();
}

void MessageBox::SetSink(Sink sink) {
    QMutexLocker lock(&TheSettings().mutex);
    TheSettings().sink = std::move(sink);
}

} // namespace telmo
