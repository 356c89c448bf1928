#include "component/BatchHost.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test runs in an offscreen QApplication: fonts, widgets and printers as in a host without display.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("TELMO_BATCH", "1");
    QApplication app(argc, argv);
    telmo::DriveUnseenWindows(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
