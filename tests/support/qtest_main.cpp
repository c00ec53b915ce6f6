// GoogleTest main for widget tests: one QApplication for the whole test program, and settings
// kept in a folder of the program's own, so no test reads or writes the user's settings.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    const QTemporaryDir configDir;
    ::setenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit().constData(), 1);
    // Widget tests never need a display, also when CTest lists them without their environment.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
