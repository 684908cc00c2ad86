// Test main: a QApplication on the offscreen platform, silent audio unless a
// test asks for a capture, and the program folder of the build.

#include "platform/folders.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // Every test runs hermetic: no display, silent audio unless a test asks for a capture.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("ORVELLA_AUDIO", "null", 1);
    platform::SetProgramFolder(ORVELLA_PROGRAM_DIR);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
