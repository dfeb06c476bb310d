#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/TestSupport.h"

// Window-manager tests: run by RunUnderWindowManager.sh on a display of their own.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    InstallTestEnvironment();
    return RUN_ALL_TESTS();
}
