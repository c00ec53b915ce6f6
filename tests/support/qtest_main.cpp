// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// GoogleTest main for widget tests: one QApplication for the whole test program, and settings
// kept in a folder of the program's own, so no test reads or writes the user's settings.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    const QTemporaryDir configDir;
    const QByteArray root = configDir.path().toLocal8Bit();
    ::setenv("XDG_CONFIG_HOME", root.constData(), 1);
    // Playlists and caches stay inside the test's folder too.
    for (const char* pszName : {"XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME"}) {
        const QByteArray folder = root + '/' + pszName;
        QDir().mkpath(QString::fromLocal8Bit(folder));
        QFile::setPermissions(QString::fromLocal8Bit(folder), QFileDevice::ReadOwner |
                                                                  QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
        ::setenv(pszName, folder.constData(), 1);
    }
    // Widget tests never need a display, also when CTest lists them without their environment.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
