#pragma once

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace telmo::test {

// Plays the user of the next modal window, a D shown with its own modal loop, by running act on it once it
// is up. None within a few seconds, another kind, or a D left open fails the test instead of waiting.
template <class D> void WhenOpens(std::function<void(D&)> act) {
    auto* poll = new QTimer(qApp);
    auto attempts = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, attempts, act] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool opened = modal != nullptr && modal->isVisible();
        if (!opened && ++*attempts <= 300)
            return;
        poll->stop();
        poll->deleteLater();
        if (!opened) {
            ADD_FAILURE() << "no modal window opened";
            return;
        }
        QPointer<D> dialog = qobject_cast<D*>(modal);
        if (dialog == nullptr || !QTest::qWaitForWindowActive(dialog.data())) {
            ADD_FAILURE() << "no active dialog but a " << modal->metaObject()->className();
            modal->close();
            return;
        }
        act(*dialog);
        if (dialog && dialog->isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog->close();
        }
    });
    poll->start(10);
}

} // namespace telmo::test
