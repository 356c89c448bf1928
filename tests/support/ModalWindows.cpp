#include "support/ModalWindows.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace telmo::test {

void WhenModalOpens(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer(qApp);
    auto attempts = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, attempts, act] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool opened = modal != nullptr && modal->isVisible();
        if (!opened && ++*attempts <= 300)
            return;
        poll->stop();
        poll->deleteLater();
        if (opened)
            act(modal);
        else
            ADD_FAILURE() << "no modal window opened";
    });
    poll->start(10);
}

} // namespace telmo::test
