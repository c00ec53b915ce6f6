// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "tests/catalogue/unprivileged.h"
#include "tests/support/testfiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The store lives where every other program of the user would look for it.
QString SettingsFile() {
    return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) +
           QStringLiteral("/Quillon Softs/Tunebrowse.conf");
}

class UserSettings : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(SettingsFile()); }
    void TearDown() override { QFile::remove(SettingsFile()); }

    static void HandEdit(const char* pszText) {
        QDir().mkpath(QFileInfo(SettingsFile()).path());
        QFile file(SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pszText);
    }
};

} // namespace

TEST_F(UserSettings, NewUserGetsTheDefaults) {
    CUserSettings settings;
    settings.LoadSettings(CSettingsStore());
    EXPECT_EQ(settings.m_strFilePath,
              QStandardPaths::writableLocation(QStandardPaths::MusicLocation).toStdString());
    EXPECT_EQ(settings.m_strFileExt, "*.mp3");
    EXPECT_EQ(settings.m_bShowLabels, 1);
    EXPECT_EQ(settings.m_nViewType, 0);
    for (const std::string& strAddress : settings.m_strAddress) {
        EXPECT_EQ(strAddress, "");
    }
    int nWidth = 0, nHeight = 0, nLeft = 0, nTop = 0;
    settings.GetFramePlacement(nWidth, nHeight, nLeft, nTop);
    EXPECT_EQ(nWidth, 600);
    EXPECT_EQ(nHeight, 400);
    EXPECT_EQ(nLeft, 50);
    EXPECT_EQ(nTop, 50);
    EXPECT_EQ(settings.m_bFullRowSelection, 0);
    EXPECT_EQ(settings.m_nDoubleClickAction, 0);
    EXPECT_EQ(settings.m_nColumnAlignment, 0);
    EXPECT_EQ(settings.m_nSortingColumn, 0);
    EXPECT_EQ(settings.m_bKeepFileTimes, 0);
    EXPECT_EQ(settings.m_strTagEncoding, "Automatic");
    // reading never creates the file
    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

TEST_F(UserSettings, HandEditedValuesAreTakenAsTheyAre) {
    HandEdit("[MP3]\n"
             "FilePath=/srv/m\\xfcsic\n"
             "FileExt=*.ogg\n"
             "\n"
             "[User%20settings]\n"
             "ShowLabels=0\n"
             "ViewType=2\n"
             "Address0=/a\n"
             "Address3=/d\n"
             "cx=800\n"
             "cy=not a number\n"
             "x=-10\n"
             "FullRowSelection=5\n"
             "DoubleClickAction=3\n"
             "ColumnAlignment=1\n"
             "SortingColumn=-5\n"
             "KeepFileTimes=1\n"
             "TagEncoding=cp1251\n");
    CUserSettings settings;
    settings.LoadSettings(CSettingsStore());
    EXPECT_EQ(settings.m_strFilePath, "/srv/m\xC3\xBCsic");
    EXPECT_EQ(settings.m_strFileExt, "*.ogg");
    EXPECT_EQ(settings.m_bShowLabels, 0);
    EXPECT_EQ(settings.m_nViewType, 2);
    EXPECT_EQ(settings.m_strAddress[0], "/a");
    EXPECT_EQ(settings.m_strAddress[1], "");
    EXPECT_EQ(settings.m_strAddress[3], "/d");
    EXPECT_EQ(settings.m_nWindowWidth, 800);
    EXPECT_EQ(settings.m_nWindowHeight, 400); // unreadable: the default
    EXPECT_EQ(settings.m_nWindowLeft, -10);
    EXPECT_EQ(settings.m_nWindowTop, 50);
    EXPECT_EQ(settings.m_bFullRowSelection, 5);
    EXPECT_EQ(settings.m_nDoubleClickAction, 3);
    EXPECT_EQ(settings.m_nColumnAlignment, 1);
    EXPECT_EQ(settings.m_nSortingColumn, -5);
    EXPECT_EQ(settings.m_bKeepFileTimes, 1);
    EXPECT_EQ(settings.m_strTagEncoding, "cp1251"); // an alias: the codec understands it
}

TEST_F(UserSettings, WrittenValuesAreReadBackByANewStore) {
    {
        CSettingsStore store;
        store.WriteString(CUserSettings::SECTION_MP3, "FilePath", "/home/u/Musique d'été");
        store.WriteInt(CUserSettings::SECTION_USER, "SortingColumn", -7);
        store.WriteString(CUserSettings::SECTION_USER, "Address4", "");
    }
    CUserSettings settings;
    settings.LoadSettings(CSettingsStore());
    EXPECT_EQ(settings.m_strFilePath, "/home/u/Musique d'été");
    EXPECT_EQ(settings.m_nSortingColumn, -7);
    EXPECT_TRUE(QFile::exists(SettingsFile()));
}

TEST_F(UserSettings, WritesReachTheFileInOnePassAtTheFlush) {
    HandEdit("[MP3]\nFileExt=*.ogg\n");
    const auto fileBytes = [] {
        QFile file(SettingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray before = fileBytes();
    CSettingsStore store;
    for (int i = 0; i < 20; ++i) {
        store.WriteInt(CUserSettings::SECTION_USER, ("Value" + std::to_string(i)).c_str(), i);
    }
    store.WritePath(CUserSettings::SECTION_MP3, "FilePath", "/srv/Caf\xE9");
    // Read back from memory, the file untouched: a large file made every write cost seconds.
    EXPECT_EQ(store.ReadInt(CUserSettings::SECTION_USER, "Value7", -1), 7);
    EXPECT_EQ(fileBytes(), before);
    store.Flush();
    const CSettingsStore reread;
    EXPECT_EQ(reread.ReadInt(CUserSettings::SECTION_USER, "Value19", -1), 19);
    EXPECT_EQ(reread.ReadString(CUserSettings::SECTION_MP3, "FileExt", ""), "*.ogg");
    // Bytes that are no UTF-8 come back as they were.
    EXPECT_EQ(reread.ReadPath(CUserSettings::SECTION_MP3, "FilePath", ""), "/srv/Caf\xE9");
}

TEST_F(UserSettings, AFileThatIsNoReadableRegularFileIsLeftAloneAndDefaultsAreUsed) {
    const QByteArray path = QFile::encodeName(SettingsFile());
    const struct {
        const char* pszKind;
        std::function<void()> fnMake;
    } aKinds[] = {
        {"fifo", [&] { ASSERT_EQ(::mkfifo(path.constData(), 0600), 0); }},
        {"folder", [&] { ASSERT_TRUE(QDir().mkpath(SettingsFile())); }},
    };
    for (const auto& kind : aKinds) {
        QDir().mkpath(QFileInfo(SettingsFile()).path());
        kind.fnMake();
        {
            CSettingsStore store;
            EXPECT_FALSE(store.IsUsable()) << kind.pszKind;
            EXPECT_NE(store.GetProblemText().indexOf(SettingsFile()), -1) << kind.pszKind;
            CUserSettings settings;
            settings.LoadSettings(store); // must not block on the FIFO
            EXPECT_EQ(settings.m_strFileExt, "*.mp3") << kind.pszKind;
            store.WriteString(CUserSettings::SECTION_MP3, "FileExt", "*.ogg");
            EXPECT_EQ(store.ReadString(CUserSettings::SECTION_MP3, "FileExt", ""), "*.ogg");
            store.Flush();
        }
        struct stat st;
        ASSERT_EQ(::lstat(path.constData(), &st), 0) << kind.pszKind;
        EXPECT_EQ(S_ISFIFO(st.st_mode), std::string(kind.pszKind) == "fifo");
        EXPECT_EQ(S_ISDIR(st.st_mode), std::string(kind.pszKind) == "folder");
        ::unlink(path.constData());
        ::rmdir(path.constData());
    }
}

// A store that cannot write its file says why, and never writes where it is not the user's to
// write. Permissions mean nothing to root: those cases run as "nobody" then.
TEST_F(UserSettings, AStoreThatCannotWriteSaysSo) {
    CTempDir dir;
    const std::string strSkip = AllowUnprivilegedAccess(dir.Path());
    if (!strSkip.empty()) {
        GTEST_SKIP() << strSkip;
    }
    const std::filesystem::path folder = dir.Path() / "Quillon Softs";
    const std::filesystem::path file = folder / "Tunebrowse.conf";
    const auto makeReadOnly = [&](bool bFile) {
        WriteBytes(file, "[MP3]\nFileExt=*.ogg\n");
        ChownToUnprivileged(folder);
        ChownToUnprivileged(file);
        ::chmod(file.c_str(), bFile ? 0444 : 0644);
        ::chmod(folder.c_str(), bFile ? 0755 : 0555);
        if (!bFile) {
            std::filesystem::remove(file);
        }
    };
    const struct {
        const char* pszName;
        std::function<void()> fnPrepare;
        const char* pszHome; // null: unset, with XDG_CONFIG_HOME
        bool bProblem;
    } aCases[] = {
        {"ordinary folder", [&] { ChownToUnprivileged(dir.Path()); }, "/home", false},
        {"no home", [] {}, nullptr, true},
        {"read-only file", [&] { makeReadOnly(true); }, "/home", true},
        {"read-only folder", [&] { makeReadOnly(false); }, "/home", true},
    };
    const QByteArray configBefore = qgetenv("XDG_CONFIG_HOME");
    const QByteArray homeBefore = qgetenv("HOME");
    for (const auto& c : aCases) {
        std::filesystem::remove_all(folder);
        c.fnPrepare();
        if (c.pszHome != nullptr) {
            qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.Str()));
            qputenv("HOME", c.pszHome);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
            qunsetenv("HOME");
        }
        const int nExit = RunUnprivileged([&file] {
            CSettingsStore store;
            store.WriteString(CUserSettings::SECTION_MP3, "FileExt", "*.mp3");
            store.Flush();
            const bool bProblem = !store.GetWriteProblemText().isEmpty();
            // Without a home the file would have gone to the root's folder.
            const bool bWritten =
                (ReadBytes(file) + ReadBytes("/.config/Quillon Softs/Tunebrowse.conf"))
                    .find("*.mp3") != std::string::npos;
            return (bProblem ? 1 : 0) + (bWritten ? 2 : 0);
        });
        EXPECT_EQ(nExit, c.bProblem ? 1 : 2) << c.pszName;
    }
    qputenv("XDG_CONFIG_HOME", configBefore);
    qputenv("HOME", homeBefore);
}

// SIGTERM and SIGHUP close the real window as the user would: the process ends at once and the
// settings are written, the window's placement among them. The folder is stored before, when
// the scan ends.
TEST_F(UserSettings, TheWindowClosesNormallyOnTerminationSignals) {
    for (const int nSignal : {SIGTERM, SIGHUP}) {
        CTempDir dir;
        WriteBytes(dir.Path() / "lib" / "a.mp3", std::string(1000, 'x'));
        const QString strConf =
            QString::fromStdString(dir.Str()) + "/Quillon Softs/Tunebrowse.conf";
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.Str()));
        env.insert("HOME", QString::fromStdString(dir.Str()));
        process.setProcessEnvironment(env);
        process.start(TUNEBROWSE_EXE, {QString::fromStdString(dir.Str() + "/lib")});
        ASSERT_TRUE(process.waitForStarted());
        const auto stored = [&](const char* pszKey) {
            QFile file(strConf);
            return file.open(QIODevice::ReadOnly) && file.readAll().contains(pszKey);
        };
        const QByteArray folderKey = "FilePath=" + QByteArray::fromStdString(dir.Str()) + "/lib";
        QDeadlineTimer deadline(30000);
        while (!stored(folderKey.constData()) && !deadline.hasExpired()) {
            QThread::msleep(20);
        }
        EXPECT_TRUE(stored(folderKey.constData())) << nSignal;
        EXPECT_FALSE(stored("cx=")) << nSignal; // the window has not closed yet
        ::kill(static_cast<pid_t>(process.processId()), nSignal);
        ASSERT_TRUE(process.waitForFinished(10000)) << nSignal;
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << nSignal;
        EXPECT_EQ(process.exitCode(), 0) << nSignal;
        EXPECT_TRUE(stored("cx=")) << nSignal;
    }
}

// The file holds the folders the user opened: a new file, an old one open to others and one
// rewritten end up readable by their owner only.
TEST_F(UserSettings, TheFileIsReadableByItsOwnerOnly) {
    const QByteArray path = QFile::encodeName(SettingsFile());
    const struct {
        const char* pszCase;
        const char* pszBefore; // nullptr: no file yet
        mode_t nModeBefore;
    } aCases[] = {
        {"new file", nullptr, 0},
        {"file open to everybody", "[MP3]\nFileExt=*.ogg\n", 0644},
        {"private file", "[MP3]\nFileExt=*.ogg\n", 0600},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        QFile::remove(SettingsFile());
        if (c.pszBefore != nullptr) {
            HandEdit(c.pszBefore);
            ASSERT_EQ(::chmod(path.constData(), c.nModeBefore), 0);
        }
        for (int i = 0; i < 2; ++i) {
            CSettingsStore store;
            store.WriteString(CUserSettings::SECTION_MP3, "FilePath", "/home/u/private");
            store.WriteInt(CUserSettings::SECTION_USER, "SortingColumn", i);
        }
        struct stat st {};
        ASSERT_EQ(::stat(path.constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_EQ(CSettingsStore().ReadInt(CUserSettings::SECTION_USER, "SortingColumn", -1), 1);
    }
}
