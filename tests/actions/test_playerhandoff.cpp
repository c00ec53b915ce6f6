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
#include "recordingmessages.h"
#include "res/strings.h"
#include "tests/support/testfiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char PLAYLIST_NAME[] = "~playlst.m3u";
constexpr char SANDBOX_VARIABLE[] = "TUNEBR_TEST_HANDOFF_SANDBOX";

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

std::vector<std::string> SplitAt(const std::string& strText, char cSeparator) {
    std::vector<std::string> arrParts;
    std::size_t nStart = 0;
    for (std::size_t nEnd; (nEnd = strText.find(cSeparator, nStart)) != std::string::npos;
         nStart = nEnd + 1) {
        arrParts.push_back(strText.substr(nStart, nEnd - nStart));
    }
    arrParts.push_back(strText.substr(nStart));
    return arrParts;
}

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
        return {m_bAccept, m_bAccept ? PID : 0};
    }
    SHandoffStart Enqueue(const CPaths& arrPaths) override {
        m_arrEnqueued.push_back(arrPaths);
        return {m_bAccept, m_bAccept ? PID : 0};
    }
    bool Open(const std::string&) override { return m_bAccept; }

    static constexpr int PID = 4242;
    bool m_bAccept = true;
    bool m_bTakesSeveral = false;
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
        CTracks tracks({"/music/a.mp3", "/music/b.mp3"});

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
    const std::string strCurrent = fs::current_path().string();
    const struct {
        const char* pszCase;
        CPaths arrPaths;
        bool bPlayerAccepts;
        bool bTakesSeveral;
        bool bHandsPlaylist;
        unsigned nMessage;
        CPaths arrHandedTracks; // when the tracks themselves go; empty: as given
    } arrCases[] = {
        {"one track", {"/music/a.mp3"}, true, false, false, 0, {}},
        {"one track, no player", {"/music/a.mp3"}, false, false, false, IDS_NO_ASSOCIATION, {}},
        {"file in the root", {"/x.mp3"}, true, false, false, 0, {}},
        {"two tracks", arrTwo, true, false, true, 0, {}},
        {"two tracks, no player", arrTwo, false, false, true, IDS_NO_M3U, {}},
        {"two tracks, player takes several", arrTwo, true, true, false, 0, {}},
        {"two tracks, player takes several but fails",
         arrTwo,
         false,
         true,
         false,
         IDS_NO_ASSOCIATION,
         {}},
        {"relative folder made absolute",
         {"-x/a.mp3", "y/b.mp3"},
         true,
         true,
         false,
         0,
         {strCurrent + "/-x/a.mp3", strCurrent + "/y/b.mp3"}},
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszCase);
        const CPlaylistFolders folders;
        WriteBytes(folders.Playlist(), "an older and much longer playlist\r\n");
        CRecordingShellHandoff shell;
        shell.m_bAccept = testCase.bPlayerAccepts;
        shell.m_bTakesSeveral = testCase.bTakesSeveral;
        const CPaths arrTracks =
            testCase.arrHandedTracks.empty() ? testCase.arrPaths : testCase.arrHandedTracks;
        std::string strExpectedPlaylist;
        for (const std::string& strPath : arrTracks) {
            strExpectedPlaylist += strPath + "\r\n";
        }

        const SHandoffResult result = CPlayerHandoff(shell).Play(CTracks(testCase.arrPaths).List());

        EXPECT_EQ(result.nMessageId, testCase.nMessage);
        EXPECT_EQ(result.strDetail, "");
        EXPECT_EQ(result.nPid, testCase.bPlayerAccepts ? CRecordingShellHandoff::PID : 0);
        // Written in every case, also where only the tracks themselves are handed over.
        EXPECT_EQ(ReadBytes(folders.Playlist()), strExpectedPlaylist);
        const CPaths arrHanded =
            testCase.bHandsPlaylist ? CPaths{folders.Playlist().string()} : arrTracks;
        EXPECT_EQ(shell.m_arrPlayed, std::vector<CPaths>{arrHanded});
        if (testCase.bHandsPlaylist && !shell.m_arrBytesAtPlay.empty()) {
            EXPECT_EQ(shell.m_arrBytesAtPlay.front(), strExpectedPlaylist)
                << "the playlist must be complete when the player gets it";
        }
        EXPECT_TRUE(shell.m_arrEnqueued.empty());
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

        const SHandoffResult result =
            CPlayerHandoff(shell).Enqueue(CTracks(testCase.arrPaths).List());

        EXPECT_EQ(result.nMessageId, testCase.nMessage);
        EXPECT_EQ(shell.m_arrEnqueued, std::vector<CPaths>{testCase.arrPaths});
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
    const auto arrPlain = MessagesShownBy(SHandoffResult{IDS_NO_ENQUEUE, {}});
    const auto arrWithDetail = MessagesShownBy(SHandoffResult{IDS_PLAYLIST_FAILED, strDetail});

    EXPECT_TRUE(arrNone.empty());
    EXPECT_EQ(arrPlain, std::vector<std::string>{LoadString(IDS_NO_ENQUEUE)});
    ASSERT_EQ(arrWithDetail.size(), 1u);
    const std::string& strShown = arrWithDetail.front();
    EXPECT_EQ(strShown.substr(strShown.size() - strDetail.size()), strDetail);
    EXPECT_EQ(strShown.find("%1"), strShown.size() - 2) << "only the detail's own %1 remains";
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
        const CPlayerHandoff handoff(shell);
        nOutcome =
            (strVerb == "play" ? handoff.Play(tracks.List()) : handoff.Enqueue(tracks.List()))
                .nMessageId;
    }
    WriteBytes(sandbox / "outcome", std::to_string(nOutcome));
    std::_Exit(0);
}

const bool g_bIsHelper = [] {
    if (const char* pszSandbox = std::getenv(SANDBOX_VARIABLE)) {
        ServeRequest(pszSandbox);
    }
    return false;
}();

// One invocation of a fake program: its name, then its arguments.
using CCall = std::vector<std::string>;

} // namespace

class PlayerHandoffDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* pszFolder : {"share", "data/applications", "config", "etc", "bin", "run",
                                      "cache", "home", "music"}) {
            fs::create_directories(Path(pszFolder));
        }
        fs::permissions(Path("run"), fs::perms::owner_all);
        // The system's MIME database, and none of its applications.
        fs::create_directory_symlink("/usr/share/mime", Path("share/mime"));
        WriteBytes(Path("config/mimeapps.list"), "[Default Applications]\n");
    }

    fs::path Path(const std::string& strRelative) const { return m_sandbox.Path() / strRelative; }

    // A program that records its name and arguments, one call per record. A real player takes
    // a varying while to pass a file on; the programs do so too once told to.
    std::string AddProgram(const std::string& strName) {
        const fs::path program = Path("bin/" + strName);
        const std::string strRecord = "'" + Path("record").string() + "'";
        WriteBytes(program, std::string("#!/bin/sh\n") +
                                (m_bProgramsTakeTheirTime
                                     ? "sleep 0.0$(( $(od -An -N1 -tu1 /dev/urandom) % 10 ))\n"
                                     : "") +
                                "printf '%s\\0' \"${0##*/}\" \"$@\" >> " + strRecord + "\n" +
                                "printf '\\n' >> " + strRecord + "\n");
        fs::permissions(program, fs::perms(0755));
        return program.string();
    }

    void AddEntry(const std::string& strId, const std::string& strBody) {
        WriteBytes(Path("data/applications/" + strId),
                   "[Desktop Entry]\nType=Application\n" + strBody);
    }

    // The player of the tests: associated with MP3 files and M3U playlists, optionally with
    // further lines such as its desktop actions.
    void AddFakePlayer(const std::string& strExtra = "", const std::string& strFiles = "%F") {
        AddEntry("fakeplayer.desktop", "Name=Fake Player\nExec=" + AddProgram("fakeplayer") + " " +
                                           strFiles + "\nMimeType=audio/mpeg;audio/x-mpegurl;\n" +
                                           strExtra);
        SetDefaults("audio/mpeg=fakeplayer.desktop\naudio/x-mpegurl=fakeplayer.desktop\n");
    }

    void SetDefaults(const std::string& strLines) {
        WriteBytes(Path("config/mimeapps.list"), "[Default Applications]\n" + strLines);
    }

    std::string AddTrack(const std::string& strName) {
        const fs::path track = Path("music/" + strName);
        WriteBytes(track, Audio(2000) + MakeTag("Title", "Artist"));
        return track.string();
    }

    // Runs one request in a helper and returns its outcome.
    unsigned Run(const std::string& strVerb, const std::vector<std::string>& arrArgs) {
        std::string strRequest = strVerb;
        for (const std::string& strArg : arrArgs) {
            strRequest += '\0' + strArg;
        }
        WriteBytes(Path("request"), strRequest);
        fs::remove(Path("outcome"));

        std::vector<std::string> arrEnv;
        const std::vector<std::string> arrDropped = {
            "XDG_", "HOME=", "PATH=", "DISPLAY=", "WAYLAND_DISPLAY=", "DBUS_SESSION_BUS_ADDRESS="};
        for (char** ppszVar = environ; *ppszVar != nullptr; ++ppszVar) {
            const std::string strVar = *ppszVar;
            bool bDropped = false;
            for (const std::string& strPrefix : arrDropped) {
                bDropped = bDropped || strVar.rfind(strPrefix, 0) == 0;
            }
            if (!bDropped) {
                arrEnv.push_back(strVar);
            }
        }
        arrEnv.insert(arrEnv.end(), {
                                        std::string(SANDBOX_VARIABLE) + '=' + m_sandbox.Str(),
                                        "XDG_DATA_HOME=" + Path("data").string(),
                                        "XDG_DATA_DIRS=" + Path("share").string(),
                                        "XDG_CONFIG_HOME=" + Path("config").string(),
                                        "XDG_CONFIG_DIRS=" + Path("etc").string(),
                                        "XDG_RUNTIME_DIR=" + Path("run").string(),
                                        "XDG_CACHE_HOME=" + Path("cache").string(),
                                        "HOME=" + Path("home").string(),
                                        "PATH=" + Path("bin").string() + ":/usr/bin:/bin",
                                        "GIO_USE_VFS=local",
                                    });
        std::vector<char*> arrEnvp;
        for (std::string& strVar : arrEnv) {
            arrEnvp.push_back(strVar.data());
        }
        arrEnvp.push_back(nullptr);
        std::string strSelf = fs::read_symlink("/proc/self/exe").string();
        char* arrArgv[] = {strSelf.data(), nullptr};

        pid_t pid = 0;
        if (::posix_spawn(&pid, strSelf.c_str(), nullptr, nullptr, arrArgv, arrEnvp.data()) != 0) {
            ADD_FAILURE() << "the helper did not start";
            return 0;
        }
        int nStatus = 0;
        const auto tDeadline = std::chrono::steady_clock::now() + 30s;
        while (::waitpid(pid, &nStatus, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > tDeadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &nStatus, 0);
                ADD_FAILURE() << "the helper hung on " << strVerb;
                return 0;
            }
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0)
            << "the helper failed on " << strVerb << " (status " << nStatus << ")";
        const std::string strOutcome = ReadBytes(Path("outcome"));
        EXPECT_FALSE(strOutcome.empty()) << "the helper gave no outcome for " << strVerb;
        return strOutcome.empty() ? 0u : static_cast<unsigned>(std::stoul(strOutcome));
    }

    std::vector<CCall> Calls() const {
        std::vector<CCall> arrCalls;
        const std::string strRecord = ReadBytes(Path("record"));
        std::size_t nStart = 0;
        for (std::size_t nEnd;
             (nEnd = strRecord.find(std::string("\0\n", 2), nStart)) != std::string::npos;
             nStart = nEnd + 2) {
            arrCalls.push_back(SplitAt(strRecord.substr(nStart, nEnd - nStart), '\0'));
        }
        return arrCalls;
    }

    // The programs start on their own time: waits until as many calls as expected arrived, and a
    // little longer for any unexpected one.
    std::vector<CCall> WaitForCalls(std::size_t nExpected) const {
        const auto tDeadline = std::chrono::steady_clock::now() + 10s;
        while (Calls().size() < nExpected && std::chrono::steady_clock::now() < tDeadline) {
            std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(300ms);
        return Calls();
    }

    void ClearCalls() { fs::remove(Path("record")); }

    bool m_bProgramsTakeTheirTime = false;

private:
    CTempDir m_sandbox;
};

TEST_F(PlayerHandoffDesktop, PlayStartsTheDefaultPlayerWithTheTrackAsOneUnchangedArgument) {
    AddFakePlayer();
    for (const char* pszName :
         {"plain.mp3", "it's a \"song\" $(touch x) `y` ;&|<>*.mp3", "\xE9t\xE9 caf\xE9.mp3"}) {
        SCOPED_TRACE(pszName);
        ClearCalls();
        const std::string strTrack = AddTrack(pszName);

        EXPECT_EQ(Run("play", {strTrack}), 0u);

        EXPECT_EQ(WaitForCalls(1), (std::vector<CCall>{CCall{"fakeplayer", strTrack}}));
    }
}

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
        EXPECT_EQ(ReadBytes(strPlaylist), strB + "\r\n" + strA + "\r\n");
    }
}

TEST_F(PlayerHandoffDesktop, EnqueueUsesThePlayersEnqueueActionWithAllTracksInOrder) {
    m_bProgramsTakeTheirTime = true;
    const std::string strScript = AddProgram("fakeplayer");
    AddFakePlayer("Actions=new-window;enqueue;\n"
                  "[Desktop Action new-window]\nName=New Window\nExec=" +
                  strScript +
                  " --new-window\n"
                  "[Desktop Action enqueue]\nName=Enqueue\nName[fr]=Ajouter\nExec=" +
                  strScript + " --enqueue %F\n");
    const std::vector<std::string> arrTracks = {AddTrack("c.mp3"), AddTrack("a 'quoted' one.mp3"),
                                                AddTrack("e.mp3"), AddTrack("b.mp3"),
                                                AddTrack("d.mp3")};

    EXPECT_EQ(Run("enqueue", arrTracks), 0u);

    CCall expected = {"fakeplayer", "--enqueue"};
    expected.insert(expected.end(), arrTracks.begin(), arrTracks.end());
    EXPECT_EQ(WaitForCalls(1), std::vector<CCall>{expected});
}

// The players' own desktop entries as installed, each made the default for MP3 files and
// playlists, with every entry installed beside it, and programs of the same names that record
// what they get.
TEST_F(PlayerHandoffDesktop, RealPlayersGetTheCommandLinesTheyNeed) {
    const fs::path entries = DESKTOP_ENTRIES_DIR;
    if (!fs::is_directory(entries)) {
        GTEST_SKIP() << "no desktop entries at " << entries;
    }
    for (const char* pszProgram : {"vlc", "audacious", "smplayer", "strawberry", "clementine",
                                   "rhythmbox", "rhythmbox-client", "quodlibet", "mpv"}) {
        AddProgram(pszProgram);
    }
    for (const auto& entry : fs::directory_iterator(entries)) {
        if (entry.path().extension() == ".desktop") {
            // An entry naming its program by absolute path is pointed at the recording one.
            std::string strEntry = ReadBytes(entry.path());
            for (std::size_t n; (n = strEntry.find("/usr/bin/vlc")) != std::string::npos;) {
                strEntry.replace(n, 12, Path("bin/vlc").string());
            }
            WriteBytes(Path("data/applications") / entry.path().filename(), strEntry);
        }
    }
    const std::string strC = AddTrack("c.mp3");
    const std::string strAb = AddTrack("a,b\\.mp3");
    const std::string strE = AddTrack("-e.mp3");
    const std::vector<std::string> arrThree = {strC, strAb, strE};
    const std::string strUriC = "file://" + strC;
    const CCall qlRunning = {"quodlibet", "--status"};
    using CCalls = std::vector<CCall>;
    const struct {
        const char* pszEntry;
        CCalls play;
        CCalls playSeveral; // the commands, "FILES" standing for the three tracks
        CCalls enqueue;     // none: refused with the message, nothing started
    } arrCases[] = {
        {"vlc.desktop",
         {{"vlc", "--started-from-file", strC}},
         {{"vlc", "--started-from-file", "FILES"}},
         {{"vlc", "--one-instance", "--playlist-enqueue", "--", "FILES"}}},
        {"audacious.desktop",
         {{"audacious", strC}},
         {{"audacious", "FILES"}},
         {{"audacious", "-e", "FILES"}}},
        {"smplayer.desktop",
         {{"smplayer", strC}},
         {{"smplayer", "FILES"}},
         {{"smplayer", "-add-to-playlist", "FILES"}}},
        {"org.strawberrymusicplayer.strawberry.desktop",
         {{"strawberry", strC}},
         {{"strawberry", "FILES"}},
         {{"strawberry", "-a", "--", "FILES"}}},
        {"org.clementine_player.Clementine.desktop",
         {{"clementine", strC}},
         {{"clementine", "FILES"}},
         {{"clementine", "-a", "--", "FILES"}}},
        // Its entry would play each file in turn and keep only the last.
        {"org.gnome.Rhythmbox3.desktop",
         {{"rhythmbox-client", "--clear-queue", "--play-uri=" + strUriC}},
         {{"rhythmbox-client", "--clear-queue", "--play-uri=" + strUriC, "--enqueue", "--", strAb,
           strE}},
         {{"rhythmbox-client", "--enqueue", "--", "FILES"}}},
        // One file per start, once the player answers; commas and backslashes stay as they are.
        {"io.github.quodlibet.QuodLibet.desktop",
         {qlRunning, {"quodlibet", "--run", "--play-file=" + strC}},
         {qlRunning,
          {"quodlibet", "--run", "--play-file=" + strC},
          {"quodlibet", "--enqueue=" + strAb},
          {"quodlibet", "--enqueue=" + strE}},
         {qlRunning,
          {"quodlibet", "--run", "--enqueue=" + strC},
          {"quodlibet", "--enqueue=" + strAb},
          {"quodlibet", "--enqueue=" + strE}}},
        // Has no way to enqueue of its own; SMPlayer's enqueue entry is not its to use.
        {"mpv.desktop",
         {{"mpv", "--player-operation-mode=pseudo-gui", "--", strC}},
         {{"mpv", "--player-operation-mode=pseudo-gui", "--", "FILES"}},
         {}},
    };
    const auto expand = [&arrThree](const CCalls& calls) {
        CCalls arrExpanded;
        for (const CCall& call : calls) {
            CCall& expanded = arrExpanded.emplace_back();
            for (const std::string& strArg : call) {
                if (strArg == "FILES") {
                    expanded.insert(expanded.end(), arrThree.begin(), arrThree.end());
                } else {
                    expanded.push_back(strArg);
                }
            }
        }
        return arrExpanded;
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszEntry);
        SetDefaults(std::string("audio/mpeg=") + testCase.pszEntry +
                    "\naudio/x-mpegurl=" + testCase.pszEntry + "\n");
        ClearCalls();
        EXPECT_EQ(Run("play", {strC}), 0u);
        EXPECT_EQ(WaitForCalls(testCase.play.size()), testCase.play);

        ClearCalls();
        EXPECT_EQ(Run("play", arrThree), 0u);
        EXPECT_EQ(WaitForCalls(testCase.playSeveral.size()), expand(testCase.playSeveral));

        ClearCalls();
        const bool bEnqueues = !testCase.enqueue.empty();
        EXPECT_EQ(Run("enqueue", arrThree), bEnqueues ? 0u : unsigned{IDS_NO_ENQUEUE});
        EXPECT_EQ(WaitForCalls(testCase.enqueue.size()), expand(testCase.enqueue));
    }
}

TEST_F(PlayerHandoffDesktop, EnqueueUsesOnlyRoutesOfTheDefaultPlayer) {
    const struct {
        const char* pszCase;
        const char* pszDesktopId;
        const char* pszExec;
        const char* pszEntryLines; // an entry of another program meant for enqueueing
        const char* pszAddedAssociation;
    } arrCases[] = {
        // The executable names the player, not the desktop id: a launcher's own options are
        // unknown, and the table's could not be put in front of them.
        {"known by its desktop id only", "org.videolan.VLC.desktop",
         "launch-player --started-from-file", nullptr, ""},
        {"other entry on the menus", "fakeplayer.desktop", "fakeplayer", "MimeType=audio/mpeg;\n",
         ""},
        {"other entry kept off the menus", "fakeplayer.desktop", "fakeplayer",
         "MimeType=audio/mpeg;\nNoDisplay=true\n", ""},
        {"other entry the user associated", "fakeplayer.desktop", "fakeplayer", "NoDisplay=true\n",
         "audio/mpeg=fakeplayer-enqueue.desktop;\n"},
        {"other entry for other files", "fakeplayer.desktop", "fakeplayer", "MimeType=video/mp4;\n",
         ""},
        {"no such entry", "fakeplayer.desktop", "fakeplayer", nullptr, ""},
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszCase);
        ClearCalls();
        fs::remove_all(Path("data/applications"));
        const std::vector<std::string> arrExec = SplitAt(testCase.pszExec, ' ');
        std::string strExec = AddProgram(arrExec.front());
        for (std::size_t i = 1; i < arrExec.size(); ++i) {
            strExec += ' ' + arrExec[i];
        }
        AddEntry(testCase.pszDesktopId,
                 "Name=Player\nExec=" + strExec + " %U\nMimeType=audio/mpeg;\n");
        SetDefaults(std::string("audio/mpeg=") + testCase.pszDesktopId +
                    "\n[Added Associations]\n" + testCase.pszAddedAssociation);
        if (testCase.pszEntryLines != nullptr) {
            AddEntry("fakeplayer-enqueue.desktop",
                     "Name=Add to Fake Player\nExec=" + AddProgram("fakequeue") + " %F\n" +
                         testCase.pszEntryLines);
        }
        const std::string strTrack = AddTrack("a.mp3");

        // Starting the player as for Play would replace its queue instead of adding to it.
        EXPECT_EQ(Run("enqueue", {strTrack}), unsigned{IDS_NO_ENQUEUE});
        EXPECT_EQ(WaitForCalls(0), std::vector<CCall>{});
    }
}

// A player that takes two seconds to pass the files on: the event loop keeps running, the busy
// state shows after a second and ends with the program.
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

TEST_F(PlayerHandoffDesktop, OpenHandsTheAddressUnchangedOrFailsQuietly) {
    const std::string strUrl = "https://example.org/find?q=a%20b&x='y'#z";

    EXPECT_EQ(Run("open", {strUrl}), 0u);

    AddEntry("fakebrowser.desktop", "Name=Browser\nExec=" + AddProgram("fakebrowser") +
                                        " %u\nMimeType=x-scheme-handler/https;\n");
    SetDefaults("x-scheme-handler/https=fakebrowser.desktop\n");

    EXPECT_EQ(Run("open", {strUrl}), 1u);

    EXPECT_EQ(WaitForCalls(1), (std::vector<CCall>{CCall{"fakebrowser", strUrl}}));
}
