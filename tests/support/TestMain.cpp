#include "component/BatchHost.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test runs inside a QApplication on the offscreen platform, so fonts, widgets and
// printers behave as they do in a host, without a display. The tests play the user of every
// window they open.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("TELMO_BATCH", "1");
    QApplication app(argc, argv);
    telmo::DriveUnseenWindows(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
