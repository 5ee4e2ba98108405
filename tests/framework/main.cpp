#include <gtest/gtest.h>

#include <QApplication>

#include "app/resources/ResourceInit.h"

int main(int argc, char** argv) {
    // Test discovery runs this binary at build time, where there may be no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    InitVornakResources();
    return RUN_ALL_TESTS();
}
