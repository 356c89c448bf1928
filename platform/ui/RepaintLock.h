#pragma once

class QWidget;

namespace telmo {

// One process-wide repaint lock: while a widget holds it, neither it nor its children
// repaint. Only one widget can hold it at a time; locking another widget fails until the
// lock is released with nullptr. Releasing repaints the widget once.
class RepaintLock {
public:
    // Locks widget, or releases the lock when widget is nullptr. Returns false when another
    // widget already holds the lock.
    static bool LockWindowUpdate(QWidget* widget);
    static QWidget* Holder();
};

// Holds the repaint lock on a widget for a scope and releases it on every path out,
// also when an error is thrown.
class ScopedRepaintLock {
public:
    explicit ScopedRepaintLock(QWidget* widget);
    ~ScopedRepaintLock();
    ScopedRepaintLock(const ScopedRepaintLock&) = delete;
    ScopedRepaintLock& operator=(const ScopedRepaintLock&) = delete;

private:
    bool locked_;
};

} // namespace telmo
