#include "platform/ui/RepaintLock.h"

#include <QPointer>
#include <QWidget>

namespace telmo {
namespace {
QPointer<QWidget>& LockedWidget() {
    static QPointer<QWidget> widget;
    return widget;
}
} // namespace

bool RepaintLock::LockWindowUpdate(QWidget* widget) {
    QPointer<QWidget>& locked = LockedWidget();
    if (widget == nullptr) {
        if (locked) {
            locked->setUpdatesEnabled(true);
            locked->update();
        }
        locked = nullptr;
        return true;
    }
    if (locked && locked != widget)
        return false;
    locked = widget;
    widget->setUpdatesEnabled(false);
    return true;
}

QWidget* RepaintLock::Holder() {
    return LockedWidget().data();
}

ScopedRepaintLock::ScopedRepaintLock(QWidget* widget) : locked_(RepaintLock::LockWindowUpdate(widget)) {}

ScopedRepaintLock::~ScopedRepaintLock() {
    if (locked_)
        RepaintLock::LockWindowUpdate(nullptr);
}

} // namespace telmo
