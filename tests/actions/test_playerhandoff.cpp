// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The Play and Enqueue commands: the playlist they write, where they write it, and what reaches
// the player, first through a recording stand-in for the desktop, then through GIO with fake
// players in a desktop of the test's own.
#include "actions/playerhandoff.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/trackinfo.h"
#include "platform/handoffwatch.h"
#include "platform/shellhandoff.h"
#include "res/strings.h"
#include "tests/support/fakes.h"
#include "tests/support/handoffsandbox.h"
#include "tests/support/testfiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char PLAYLIST_NAME[] = "~playlst.m3u";

// Records that own their tracks, and the list the commands take.
class CTracks {
public:
    CTracks() = default;
    explicit CTracks(const std::vector<std::string>& arrPaths) {
        for (const std::string& strPath : arrPaths) {
            Add(strPath);
        }
    }
    void Add(const std::string& strPath) {
        const std::size_t nSlash = strPath.rfind('/');
        m_arrOwned.push_back(
            std::make_unique<CTrackInfo>(strPath.substr(0, nSlash), strPath.substr(nSlash + 1)));
        m_arrList.push_back(m_arrOwned.back().get());
    }
    const CTrackList& List() const { return m_arrList; }

private:
    std::vector<std::unique_ptr<CTrackInfo>> m_arrOwned;
    CTrackList m_arrList;
};

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

// Sets an environment variable for one test and restores it afterwards.
class CScopedVariable {
public:
    CScopedVariable(const char* pszName, const std::optional<std::string>& strValue)
        : m_strName(pszName) {
        if (const char* pszOld = std::getenv(pszName)) {
            m_strOld = pszOld;
        }
        Set(strValue);
    }
    ~CScopedVariable() { Set(m_strOld); }
    CScopedVariable(const CScopedVariable&) = delete;
    CScopedVariable& operator=(const CScopedVariable&) = delete;

private:
    void Set(const std::optional<std::string>& strValue) {
        if (strValue) {
            ::setenv(m_strName.c_str(), strValue->c_str(), 1);
        } else {
            ::unsetenv(m_strName.c_str());
        }
    }
    std::string m_strName;
    std::optional<std::string> m_strOld;
};

// Private folders of the test's own for the playlist, so no test touches the user's.
class CPlaylistFolders {
public:
    CPlaylistFolders()
        : m_runtime("XDG_RUNTIME_DIR", RuntimeFolder().string()),
          m_cache("XDG_CACHE_HOME", (m_dir.Path() / "cache").string()) {
        fs::create_directory(RuntimeFolder());
        fs::permissions(RuntimeFolder(), fs::perms::owner_all);
    }
    fs::path RuntimeFolder() const { return m_dir.Path() / "run"; }
    // Files that exist, as the commands hand over only those: the paths given, below the
    // test's folder.
    std::vector<std::string> Files(const std::vector<std::string>& arrPaths) const {
        std::vector<std::string> arrFiles;
        for (const std::string& strPath : arrPaths) {
            arrFiles.push_back((m_dir.Path() / fs::path(strPath).relative_path()).string());
            WriteBytes(arrFiles.back(), Audio(200));
        }
        return arrFiles;
    }
    fs::path Playlist() const { return RuntimeFolder() / PLAYLIST_NAME; }
    const fs::path& Root() const { return m_dir.Path(); }

private:
    CTempDir m_dir;
    CScopedVariable m_runtime;
    CScopedVariable m_cache;
};

// Stands in for the desktop: records what it is given and answers as told.
class CRecordingShellHandoff final : public CShellHandoff {
public:
    using CPaths = std::vector<std::string>;
    bool TakesSeveralFiles(const std::string&) override { return m_bTakesSeveral; }
    SHandoffStart Play(const CPaths& arrPaths) override {
        m_arrPlayed.push_back(arrPaths);
        m_arrBytesAtPlay.push_back(ReadBytes(arrPaths.front()));
        SHandoffStart start{m_bAccept, m_bAccept ? PID : 0, m_bEnds};
        start.bOneFileOnly = m_bOneFileOnly;
        return start;
    }
    SHandoffStart Enqueue(const CPaths& arrPaths) override {
        m_arrEnqueued.push_back(arrPaths);
        return {m_bAccept, m_bAccept ? PID : 0};
    }
    bool Open(const std::string&) override { return m_bAccept; }

    static constexpr int PID = 4242;
    bool m_bAccept = true;
    bool m_bTakesSeveral = false;
    bool m_bEnds = false;
    bool m_bOneFileOnly = false;
    std::vector<CPaths> m_arrPlayed;
    std::vector<std::string> m_arrBytesAtPlay;
    std::vector<CPaths> m_arrEnqueued;
};

// The texts a hand-off result would show.
std::vector<std::string> MessagesShownBy(const SHandoffResult& result) {
    CRecordingMessages messages;
    ShowHandoffResult(nullptr, messages, result);
    std::vector<std::string> arrTexts;
    for (const QString& strText : messages.m_arrTexts) {
        arrTexts.push_back(strText.toStdString());
    }
    return arrTexts;
}

} // namespace

// ---- The playlist ----------------------------------------------------------------------------

TEST(PlayerHandoffPlaylist, HoldsOneCrLfLinePerTrackInListOrder) {
    const struct {
        const char* pszCase;
        std::vector<std::string> arrPaths;
        std::string strExpected;
    } arrCases[] = {
        {"no track", {}, ""},
        {"one track", {"/music/a.mp3"}, "/music/a.mp3\r\n"},
        {"list order kept", {"/music/b.mp3", "/music/a.mp3"}, "/music/b.mp3\r\n/music/a.mp3\r\n"},
        {"file in the root", {"/x.mp3"}, "/x.mp3\r\n"},
        {"name bytes kept",
         {"/m/\xE9t\xE9 it's \"x\" $y.mp3"},
         "/m/\xE9t\xE9 it's \"x\" $y.mp3\r\n"},
        {"line break in a name stays one entry",
         {"/m/a\nb.mp3", "/m/c\r.mp3"},
         "file:///m/a%0Ab.mp3\r\nfile:///m/c%0D.mp3\r\n"},
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszCase);
        EXPECT_EQ(MakePlaylistText(CTracks(testCase.arrPaths).List()), testCase.strExpected);
    }
}

TEST(PlayerHandoffPlaylist, GoesToAPrivateFolderAndReplacesThePreviousOne) {
    enum class ERuntime { Private, OpenToOthers, Missing, Unset };
    const struct {
        const char* pszCase;
        ERuntime eRuntime;
        bool bCacheFolderLeftOpen;
    } arrCases[] = {
        {"private runtime folder", ERuntime::Private, false},
        {"runtime folder open to others", ERuntime::OpenToOthers, false},
        {"runtime folder missing", ERuntime::Missing, false},
        {"no runtime folder", ERuntime::Unset, false},
        {"cache folder left open to others", ERuntime::Unset, true},
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszCase);
        CPlaylistFolders folders;
        const fs::path cacheFolder = folders.Root() / "cache" / "tunebrowse";
        std::optional<std::string> strRuntime = folders.RuntimeFolder().string();
        if (testCase.eRuntime == ERuntime::OpenToOthers) {
            fs::permissions(folders.RuntimeFolder(), fs::perms(0755));
        } else if (testCase.eRuntime == ERuntime::Missing) {
            strRuntime = (folders.Root() / "gone").string();
        } else if (testCase.eRuntime == ERuntime::Unset) {
            strRuntime.reset();
        }
        if (testCase.bCacheFolderLeftOpen) {
            fs::create_directories(cacheFolder);
            fs::permissions(cacheFolder, fs::perms(0755));
        }
        const CScopedVariable runtime("XDG_RUNTIME_DIR", strRuntime);
        const fs::path expected = testCase.eRuntime == ERuntime::Private
                                      ? folders.Playlist()
                                      : cacheFolder / PLAYLIST_NAME;

        const SPlaylistFile first = WritePlaylist("/music/a.mp3\r\n/music/b.mp3\r\n");
        const SPlaylistFile second = WritePlaylist("/x.mp3\r\n");

        EXPECT_EQ(first.strError, "");
        EXPECT_EQ(second.strError, "");
        EXPECT_EQ(second.strPath, expected.string());
        EXPECT_EQ(ReadBytes(expected), "/x.mp3\r\n");
        EXPECT_EQ(ModeOf(expected) & 07777, 0600u);
        EXPECT_EQ(ModeOf(expected.parent_path()) & 07777, 0700u);
    }
}

TEST(PlayerHandoffPlaylist, RefusesWhateverElseOccupiesItsPlace) {
    enum class EPlanted { LinkToFile, DanglingLink, HardLink, Fifo, FifoWithReader, Folder };
    const struct {
        const char* pszCase;
        EPlanted ePlanted;
    } arrCases[] = {
        {"symbolic link to another file", EPlanted::LinkToFile},
        {"symbolic link to nothing yet", EPlanted::DanglingLink},
        {"second name of another file", EPlanted::HardLink},
        {"FIFO nobody reads", EPlanted::Fifo},
        {"FIFO somebody reads", EPlanted::FifoWithReader},
        {"folder", EPlanted::Folder},
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszCase);
        CPlaylistFolders folders;
        const fs::path victim = folders.Root() / "victim";
        const fs::path place = folders.Playlist();
        WriteBytes(victim, "keep me");
        CFileDescriptor reader;
        switch (testCase.ePlanted) {
        case EPlanted::LinkToFile:
            fs::create_symlink(victim, place);
            break;
        case EPlanted::DanglingLink:
            fs::remove(victim);
            fs::create_symlink(victim, place);
            break;
        case EPlanted::HardLink:
            fs::create_hard_link(victim, place);
            break;
        case EPlanted::Fifo:
        case EPlanted::FifoWithReader:
            ASSERT_EQ(::mkfifo(place.c_str(), 0600), 0);
            if (testCase.ePlanted == EPlanted::FifoWithReader) {
                reader.Reset(::open(place.c_str(), O_RDONLY | O_NONBLOCK));
                ASSERT_TRUE(reader.IsValid());
            }
            break;
        case EPlanted::Folder:
            fs::create_directory(place);
            break;
        }
        CRecordingShellHandoff shell;
        CTracks tracks(folders.Files({"/music/a.mp3", "/music/b.mp3"}));

        std::atomic<bool> bReturned{false};
        std::thread rescue([&place, &bReturned] {
            // Should the command wait for a FIFO's reader, one comes late, so that the case
            // fails instead of hanging the test program.
            const auto tDeadline = std::chrono::steady_clock::now() + 5s;
            while (!bReturned && std::chrono::steady_clock::now() < tDeadline) {
                std::this_thread::sleep_for(10ms);
            }
            if (!bReturned) {
                ADD_FAILURE() << "the command blocked on what lies at the playlist's place";
                const CFileDescriptor lateReader(::open(place.c_str(), O_RDONLY | O_NONBLOCK));
                while (!bReturned) {
                    std::this_thread::sleep_for(10ms);
                }
            }
        });

        const SHandoffResult result = CPlayerHandoff(shell).Play(tracks.List());
        bReturned = true;
        rescue.join();

        EXPECT_EQ(result.nMessageId, unsigned{IDS_PLAYLIST_FAILED});
        EXPECT_NE(result.strDetail.find(place.string() + ": "), std::string::npos)
            << result.strDetail;
        EXPECT_TRUE(shell.m_arrPlayed.empty());
        if (testCase.ePlanted == EPlanted::DanglingLink) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
        } else {
            EXPECT_EQ(ReadBytes(victim), "keep me");
        }
        if (reader.IsValid()) {
            char c;
            EXPECT_LE(::read(reader.Get(), &c, 1), 0) << "the playlist went into the FIFO";
        }
    }
}

// ---- The commands --------------------------------------------------------------------------

TEST(PlayerHandoffCommands, PlayHandsOneTrackAsItselfAndSeveralAsThemselvesOrThePlaylist) {
    using CPaths = std::vector<std::string>;
    const CPaths arrTwo = {"/music/b.mp3", "/music/a.mp3"};
    const struct {
        const char* pszCase;
        CPaths arrPaths;
        bool bPlayerAccepts;
        bool bTakesSeveral;
        bool bHandsPlaylist;
        unsigned nMessage;
        bool bRelative = false; // given relative to the current folder
        bool bOneFileOnly = false;
        bool bEnds = false;
    } arrCases[] = {
        {"one track", {"/music/a.mp3"}, true, false, false, 0},
        {"one track, no player", {"/music/a.mp3"}, false, false, false, IDS_NO_ASSOCIATION},
        {"file in the root", {"/x.mp3"}, true, false, false, 0},
        {"two tracks", arrTwo, true, false, true, 0},
        {"two tracks, no player", arrTwo, false, false, true, IDS_NO_M3U},
        {"two tracks, player takes several", arrTwo, true, true, false, 0},
        {"two tracks, player takes several but fails", arrTwo, false, true, false,
         IDS_NO_ASSOCIATION},
        {"two tracks, player plays one of several", arrTwo, false, true, false, IDS_PLAYS_ONE_ONLY,
         false, true},
        {"two tracks, handed over by a program that ends", arrTwo, true, true, false, 0, false,
         false, true},
        {"relative folder made absolute", {"-x/a.mp3", "y/b.mp3"}, true, true, false, 0, true},
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszCase);
        const CPlaylistFolders folders;
        WriteBytes(folders.Playlist(), "an older and much longer playlist\r\n");
        CRecordingShellHandoff shell;
        shell.m_bAccept = testCase.bPlayerAccepts;
        shell.m_bTakesSeveral = testCase.bTakesSeveral;
        const CPaths arrFiles = folders.Files(testCase.arrPaths);
        const fs::path previous = fs::current_path();
        CPaths arrGiven = arrFiles;
        if (testCase.bRelative) {
            fs::current_path(folders.Root());
            arrGiven = testCase.arrPaths;
        }
        shell.m_bOneFileOnly = testCase.bOneFileOnly;
        shell.m_bEnds = testCase.bEnds;
        std::string strExpectedPlaylist;
        for (const std::string& strPath : arrFiles) {
            strExpectedPlaylist += strPath + "\r\n";
        }

        SHandoffResult result;
        {
            CPlayerHandoff handoff(shell);
            result = handoff.Play(CTracks(arrGiven).List());
            // Written only for a player that takes it, over the previous one.
            EXPECT_EQ(ReadBytes(folders.Playlist()), testCase.bHandsPlaylist
                                                         ? strExpectedPlaylist
                                                         : "an older and much longer playlist\r\n");
        }
        fs::current_path(previous);

        EXPECT_EQ(result.nMessageId, testCase.nMessage);
        EXPECT_EQ(result.strDetail, "");
        EXPECT_TRUE(result.arrNotFiles.empty());
        EXPECT_EQ(result.nPid, testCase.bPlayerAccepts ? CRecordingShellHandoff::PID : 0);
        EXPECT_EQ(result.bEnds, testCase.bEnds);
        const CPaths arrHanded =
            testCase.bHandsPlaylist ? CPaths{folders.Playlist().string()} : arrFiles;
        EXPECT_EQ(shell.m_arrPlayed, std::vector<CPaths>{arrHanded});
        if (testCase.bHandsPlaylist && !shell.m_arrBytesAtPlay.empty()) {
            EXPECT_EQ(shell.m_arrBytesAtPlay.front(), strExpectedPlaylist)
                << "the playlist must be complete when the player gets it";
        }
        EXPECT_EQ(fs::exists(fs::symlink_status(folders.Playlist())), !testCase.bHandsPlaylist)
            << "the playlist written goes with the hand-off";
        EXPECT_TRUE(shell.m_arrEnqueued.empty());
    }
}

// Rows that are no file (a folder the pattern takes, a link to nothing) are named and left out;
// more files than a command line holds go as the playlist; a playlist that cannot be written
// matters only when one is needed.
TEST(PlayerHandoffCommands, OnlyFilesAreHandedOverAndTooManyGoAsThePlaylist) {
    using CPaths = std::vector<std::string>;
    enum class ECommand { Play, Enqueue };
    const long nArgMax = ::sysconf(_SC_ARG_MAX);
    ASSERT_GT(nArgMax, 0);
    // Names of a thousand bytes: as many as the system's limit holds bytes, and one more.
    const std::string strLongFolder = "/" + std::string(250, 'l') + "/" + std::string(250, 'm') +
                                      "/" + std::string(250, 'n') + "/" + std::string(240, 'o');
    CPaths arrMany;
    for (long i = 0; i <= nArgMax / 1000; ++i) {
        arrMany.push_back(strLongFolder + "/" + std::to_string(i) + ".mp3");
    }
    const struct {
        const char* pszCase;
        ECommand eCommand;
        CPaths arrFiles;
        CPaths arrOthers; // a folder, then a dangling link
        bool bTakesSeveral;
        bool bCacheLocked; // no playlist can be written
        bool bHandsPlaylist;
        unsigned nMessage;
    } arrCases[] = {
        {"play with a folder and a dangling link",
         ECommand::Play,
         {"/m/a.mp3", "/m/b.mp3"},
         {"/m/Best.mp3", "/m/gone.mp3"},
         true,
         false,
         false,
         0},
        {"enqueue with a folder and a dangling link",
         ECommand::Enqueue,
         {"/m/a.mp3"},
         {"/m/Best.mp3", "/m/gone.mp3"},
         true,
         false,
         false,
         0},
        {"play of nothing but a folder",
         ECommand::Play,
         {},
         {"/m/Best.mp3"},
         true,
         false,
         false,
         0},
        {"play of one file, cache folder locked",
         ECommand::Play,
         {"/m/a.mp3"},
         {},
         false,
         true,
         false,
         0},
        {"play of more than a command line holds",
         ECommand::Play,
         arrMany,
         {},
         true,
         false,
         true,
         0},
        {"enqueue of more than a command line holds",
         ECommand::Enqueue,
         arrMany,
         {},
         true,
         false,
         true,
         0},
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszCase);
        const CPlaylistFolders folders;
        const CScopedVariable runtime("XDG_RUNTIME_DIR", std::nullopt);
        const fs::path cache = folders.Root() / "cache";
        if (testCase.bCacheLocked) {
            fs::create_directories(cache);
            fs::permissions(cache, fs::perms::owner_read | fs::perms::owner_exec);
        }
        const CPaths arrFiles = folders.Files(testCase.arrFiles);
        CPaths arrOthers;
        for (const std::string& strOther : testCase.arrOthers) {
            arrOthers.push_back(folders.Root().string() + strOther);
        }
        if (!arrOthers.empty()) {
            fs::create_directories(arrOthers[0]);
        }
        if (arrOthers.size() > 1) {
            fs::create_symlink(folders.Root() / "nowhere.mp3", arrOthers[1]);
        }
        CPaths arrRows = arrOthers;
        arrRows.insert(arrRows.begin() + (arrRows.empty() ? 0 : 1), arrFiles.begin(),
                       arrFiles.end());
        CRecordingShellHandoff shell;
        shell.m_bTakesSeveral = testCase.bTakesSeveral;

        CPlayerHandoff handoff(shell);
        const CTracks tracks(arrRows);
        const SHandoffResult result = testCase.eCommand == ECommand::Play
                                          ? handoff.Play(tracks.List())
                                          : handoff.Enqueue(tracks.List());

        EXPECT_EQ(result.nMessageId, testCase.nMessage) << result.strDetail;
        EXPECT_EQ(result.arrNotFiles, arrOthers);
        const std::vector<CPaths>& arrCalls =
            testCase.eCommand == ECommand::Play ? shell.m_arrPlayed : shell.m_arrEnqueued;
        if (arrFiles.empty()) {
            EXPECT_TRUE(arrCalls.empty());
        } else if (!testCase.bHandsPlaylist) {
            EXPECT_EQ(arrCalls, std::vector<CPaths>{arrFiles});
        } else {
            const fs::path playlist = cache / "tunebrowse" / PLAYLIST_NAME;
            EXPECT_EQ(arrCalls, std::vector<CPaths>{{playlist.string()}});
            EXPECT_EQ(ReadBytes(playlist), MakePlaylistText(CTracks(arrFiles).List()));
        }
        if (testCase.bCacheLocked) {
            fs::permissions(cache, fs::perms::owner_all);
        }
    }
}

TEST(PlayerHandoffCommands, EnqueueHandsAllTracksInOrderAtOnceAndReportsARefusal) {
    using CPaths = std::vector<std::string>;
    const CPaths arrThree = {"/m/c.mp3", "/m/a.mp3", "/x.mp3"};
    const struct {
        const char* pszCase;
        CPaths arrPaths;
        bool bPlayerAccepts;
        unsigned nMessage;
    } arrCases[] = {
        {"all accepted", arrThree, true, 0},
        {"refused", arrThree, false, IDS_NO_ENQUEUE},
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszCase);
        const CPlaylistFolders folders;
        CRecordingShellHandoff shell;
        shell.m_bAccept = testCase.bPlayerAccepts;
        const CPaths arrFiles = folders.Files(testCase.arrPaths);

        const SHandoffResult result = CPlayerHandoff(shell).Enqueue(CTracks(arrFiles).List());

        EXPECT_EQ(result.nMessageId, testCase.nMessage);
        EXPECT_EQ(shell.m_arrEnqueued, std::vector<CPaths>{arrFiles});
        EXPECT_TRUE(shell.m_arrPlayed.empty());
        EXPECT_FALSE(fs::exists(fs::symlink_status(folders.Playlist())))
            << "Enqueue writes no playlist";
    }
}

// An empty playlist would make many players empty their own list.
TEST(PlayerHandoffCommands, NothingSelectedDoesNothing) {
    const CPlaylistFolders folders;
    WriteBytes(folders.Playlist(), "kept\r\n");
    CRecordingShellHandoff shell;
    const CTracks none;

    EXPECT_EQ(CPlayerHandoff(shell).Play(none.List()).nMessageId, 0u);
    EXPECT_EQ(CPlayerHandoff(shell).Enqueue(none.List()).nMessageId, 0u);

    EXPECT_TRUE(shell.m_arrPlayed.empty());
    EXPECT_TRUE(shell.m_arrEnqueued.empty());
    EXPECT_EQ(ReadBytes(folders.Playlist()), "kept\r\n");
}

TEST(PlayerHandoffCommands, ShowsOneBoxForAFailureAndNoneForSuccess) {
    const std::string strDetail = "/run/user/1000/~playlst.m3u: File exists %1";

    const auto arrNone = MessagesShownBy(SHandoffResult{});
    const auto arrPlain = MessagesShownBy(SHandoffResult{IDS_NO_ENQUEUE, {}, 0, false, {}});
    const auto arrWithDetail =
        MessagesShownBy(SHandoffResult{IDS_PLAYLIST_FAILED, strDetail, 0, false, {}});

    EXPECT_TRUE(arrNone.empty());
    EXPECT_EQ(arrPlain, std::vector<std::string>{LoadString(IDS_NO_ENQUEUE)});
    ASSERT_EQ(arrWithDetail.size(), 1u);
    const std::string& strShown = arrWithDetail.front();
    EXPECT_EQ(strShown.substr(strShown.size() - strDetail.size()), strDetail);
    EXPECT_EQ(strShown.find("%1"), strShown.size() - 2) << "only the detail's own %1 remains";
}

// ---- Following what was started ---------------------------------------------------------------

// Programs that end with a status after a while, followed together: a program that only hands
// the files over counts whenever it ends, one that may have become the player only in its first
// seconds.
TEST(PlayerHandoffWatch, ReportsTheFailuresOfHandoffsWhenEverTheyCount) {
    const struct {
        const char* pszCase;
        const char* pszScript;
        bool bEnds;
        int nReported; // -1: nothing
    } arrCases[] = {
        {"player failing at once", "exit 5", false, 5},
        {"player ending well", "exit 0", false, -1},
        {"player ending after it took over", "sleep 5.5; exit 6", false, -1},
        {"hand-off failing late", "sleep 5.5; exit 7", true, 7},
        {"hand-off ending well late", "sleep 5.5; exit 0", true, -1},
        {"hand-off killed", "kill -9 $$", true, -1},
    };
    CHandoffWatch watch;
    std::vector<int> arrReported;
    std::vector<bool> arrBusy;
    QObject::connect(&watch, &CHandoffWatch::handoffFailed,
                     [&arrReported](int nStatus) { arrReported.push_back(nStatus); });
    QObject::connect(&watch, &CHandoffWatch::busyChanged,
                     [&arrBusy](bool bBusy) { arrBusy.push_back(bBusy); });
    std::vector<int> arrExpected;
    for (const auto& testCase : arrCases) {
        char szShell[] = "/bin/sh";
        char szDashC[] = "-c";
        std::string strScript = testCase.pszScript;
        char* arrArgv[] = {szShell, szDashC, strScript.data(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, szShell, nullptr, nullptr, arrArgv, environ), 0);
        watch.Watch(pid, testCase.bEnds);
        if (testCase.nReported >= 0) {
            arrExpected.push_back(testCase.nReported);
        }
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 8000 && (watch.IsBusy() || clock.elapsed() < 6500)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    std::sort(arrReported.begin(), arrReported.end());
    EXPECT_EQ(arrReported, arrExpected);
    EXPECT_EQ(arrBusy, (std::vector<bool>{true, false})) << "busy from the first second to the end";
}

// ---- Through GIO, in a desktop of the test's own ----------------------------------------------
//
// GIO reads the desktop's folders from the environment once per process and keeps an index of
// the entries, so every request runs in a helper: this program started again with the sandbox's
// environment, which carries out the request before main and ends.

namespace {

// Enqueues through an event loop that a timer ticks every 10 ms, and follows the started
// program as the window does: "LONGEST_GAP_MS BUSY_SEEN ENDED_MS".
std::string TimeEnqueue(CShellHandoff& shell, const std::vector<std::string>& arrPaths) {
    int nArgc = 1;
    char szName[] = "helper";
    char* arrArgv[] = {szName, nullptr};
    QCoreApplication app(nArgc, arrArgv);
    const CTracks tracks(arrPaths);
    CHandoffWatch watch;
    QElapsedTimer clock;
    qint64 nLast = 0;
    qint64 nLongest = 0;
    bool bBusySeen = false;
    qint64 nEnded = -1;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 nNow = clock.elapsed();
        nLongest = std::max(nLongest, nNow - nLast);
        nLast = nNow;
    });
    QObject::connect(&watch, &CHandoffWatch::busyChanged, [&](bool bBusy) {
        bBusySeen = bBusySeen || bBusy;
        if (!bBusy) {
            nEnded = clock.elapsed();
            app.quit();
        }
    });
    QTimer::singleShot(0, [&] { watch.Watch(CPlayerHandoff(shell).Enqueue(tracks.List()).nPid); });
    QTimer::singleShot(10000, &app, &QCoreApplication::quit);
    clock.start();
    tick.start(10);
    app.exec();
    return std::to_string(nLongest) + ' ' + std::to_string(bBusySeen ? 1 : 0) + ' ' +
           std::to_string(nEnded);
}

// The helper's side: the request file holds the verb and the paths, NUL-separated; the outcome
// file gets the message id (Play, Enqueue) or whether the address was handed over (Open).
[[noreturn]] void ServeRequest(const fs::path& sandbox) {
    const std::vector<std::string> arrFields = SplitAt(ReadBytes(sandbox / "request"), '\0');
    const std::string& strVerb = arrFields.front();
    const std::vector<std::string> arrArgs(arrFields.begin() + 1, arrFields.end());
    CGioShellHandoff shell;
    unsigned nOutcome = 0;
    if (strVerb == "enqueue-timed") {
        WriteBytes(sandbox / "timing", TimeEnqueue(shell, arrArgs));
    } else if (strVerb == "open") {
        nOutcome = shell.Open(arrArgs.front()) ? 1 : 0;
    } else {
        const CTracks tracks(arrArgs);
        // Kept until the helper ends, as the window keeps it until the program ends: the
        // playlist goes with it.
        static CPlayerHandoff s_handoff(shell);
        nOutcome =
            (strVerb == "play" ? s_handoff.Play(tracks.List()) : s_handoff.Enqueue(tracks.List()))
                .nMessageId;
    }
    WriteBytes(sandbox / "outcome", std::to_string(nOutcome));
    std::_Exit(0);
}

const bool g_bIsHelper = [] {
    if (const char* pszSandbox = std::getenv(HANDOFF_SANDBOX_VARIABLE)) {
        ServeRequest(pszSandbox);
    }
    return false;
}();

} // namespace

// The window's commands through GIO, in a desktop of the test's own.
class PlayerHandoffDesktop : public CHandoffSandbox {};

TEST_F(PlayerHandoffDesktop, PlayOfSeveralTracksHandsThemOrThePlaylistAsThePlayerTakesThem) {
    for (const char* pszFiles : {"%F", "%U", "%f", "%u"}) {
        SCOPED_TRACE(pszFiles);
        ClearCalls();
        AddFakePlayer("", pszFiles);
        const std::string strB = AddTrack("b side.mp3");
        const std::string strA = AddTrack("a.mp3");

        EXPECT_EQ(Run("play", {strB, strA}), 0u);

        const std::string strPlaylist = Path(std::string("run/") + PLAYLIST_NAME).string();
        const bool bSeveral = pszFiles[1] == 'F' || pszFiles[1] == 'U';
        EXPECT_EQ(WaitForCalls(1),
                  (std::vector<CCall>{bSeveral ? CCall{"fakeplayer", strB, strA}
                                               : CCall{"fakeplayer", strPlaylist}}));
        EXPECT_EQ(ReadBytes(strPlaylist), bSeveral ? "" : strB + "\r\n" + strA + "\r\n");
    }
}

TEST_F(PlayerHandoffDesktop, ASlowPlayerNeverHoldsUpTheEventLoop) {
    const std::string strScript = AddProgram("fakeplayer");
    AddFakePlayer("Actions=enqueue;\n[Desktop Action enqueue]\nName=Enqueue\nExec=/bin/sh -c "
                  "'sleep 2; exec \"$0\" \"$@\"' " +
                  strScript + " --enqueue %F\n");
    std::vector<std::string> arrTracks;
    for (int i = 0; i < 30; ++i) {
        arrTracks.push_back(AddTrack(std::to_string(i) + ".mp3"));
    }

    EXPECT_EQ(Run("enqueue-timed", arrTracks), 0u);

    std::istringstream timing(ReadBytes(Path("timing")));
    long nLongestGapMs = -1, nBusySeen = 0, nEndedMs = -1;
    timing >> nLongestGapMs >> nBusySeen >> nEndedMs;
    EXPECT_GE(nLongestGapMs, 0);
    EXPECT_LT(nLongestGapMs, 250) << "the event loop stood still";
    EXPECT_EQ(nBusySeen, 1);
    EXPECT_GE(nEndedMs, 1900);
    EXPECT_LT(nEndedMs, 5000);
    EXPECT_EQ(WaitForCalls(1).size(), 1u);
}

TEST_F(PlayerHandoffDesktop, WithoutAnyPlayerEachCommandReportsItsOwnMessage) {
    const std::string strA = AddTrack("a.mp3");
    const std::string strB = AddTrack("b.mp3");

    EXPECT_EQ(Run("play", {strA}), unsigned{IDS_NO_ASSOCIATION});
    EXPECT_EQ(Run("play", {strA, strB}), unsigned{IDS_NO_M3U});
    EXPECT_EQ(Run("play", {}), 0u);
    EXPECT_EQ(Run("enqueue", {strA, strB}), unsigned{IDS_NO_ENQUEUE});
    EXPECT_EQ(Run("enqueue", {}), 0u);
}
