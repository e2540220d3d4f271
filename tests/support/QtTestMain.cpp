#include <cstdlib>

#include <gtest/gtest.h>

#include <QApplication>

#include "TsanDefaults.h"

// Widget tests run without a display: the offscreen platform unless one is set.
int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
