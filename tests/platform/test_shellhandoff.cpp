// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The hand-off through GIO: which program the desktop's associations start, with which command
// line, for Play, Enqueue and addresses, with fake players in a desktop of the test's own.
#include "platform/shellhandoff.h"

#include "tests/support/handoffsandbox.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The helper's side: the outcome is 1 when the hand-off started a program or reached the
// address's application, 0 when it refused.
[[noreturn]] void ServeRequest(const fs::path& sandbox) {
    const std::vector<std::string> arrFields = SplitAt(ReadBytes(sandbox / "request"), '\0');
    const std::string& strVerb = arrFields.front();
    const std::vector<std::string> arrArgs(arrFields.begin() + 1, arrFields.end());
    CGioShellHandoff shell;
    bool bDone = false;
    if (strVerb == "open") {
        bDone = shell.Open(arrArgs.front());
    } else if (strVerb == "play") {
        bDone = shell.Play(arrArgs).bStarted;
    } else if (strVerb == "enqueue") {
        bDone = shell.Enqueue(arrArgs).bStarted;
    }
    WriteBytes(sandbox / "outcome", bDone ? "1" : "0");
    std::_Exit(0);
}

const bool g_bIsHelper = [] {
    if (const char* pszSandbox = std::getenv(HANDOFF_SANDBOX_VARIABLE)) {
        ServeRequest(pszSandbox);
    }
    return false;
}();

class ShellHandoffDesktop : public CHandoffSandbox {};

} // namespace

TEST_F(ShellHandoffDesktop, PlayStartsTheDefaultPlayerWithTheTrackAsOneUnchangedArgument) {
    AddFakePlayer();
    for (const char* pszName :
         {"plain.mp3", "it's a \"song\" $(touch x) `y` ;&|<>*.mp3", "\xE9t\xE9 caf\xE9.mp3"}) {
        SCOPED_TRACE(pszName);
        ClearCalls();
        const std::string strTrack = AddTrack(pszName);

        EXPECT_EQ(Run("play", {strTrack}), 1u);

        EXPECT_EQ(WaitForCalls(1), (std::vector<CCall>{CCall{"fakeplayer", strTrack}}));
    }
}

TEST_F(ShellHandoffDesktop, EnqueueUsesThePlayersEnqueueActionWithAllTracksInOrder) {
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

    EXPECT_EQ(Run("enqueue", arrTracks), 1u);

    CCall expected = {"fakeplayer", "--enqueue"};
    expected.insert(expected.end(), arrTracks.begin(), arrTracks.end());
    EXPECT_EQ(WaitForCalls(1), std::vector<CCall>{expected});
}

// The players' own desktop entries as installed, each made the default for MP3 files and
// playlists, with every entry installed beside it, and programs of the same names that record
// what they get. Each Play must end with the first track playing and the others after it, whether
// the player runs or not: the probes of whether it runs answer yes.
TEST_F(ShellHandoffDesktop, RealPlayersGetTheCommandLinesTheyNeed) {
    const fs::path entries = DESKTOP_ENTRIES_DIR;
    ASSERT_TRUE(fs::is_directory(entries)) << entries;
    for (const char* pszProgram :
         {"vlc", "audacious", "smplayer", "strawberry", "clementine", "rhythmbox",
          "rhythmbox-client", "mpv", "celluloid", "parole", "lollypop"}) {
        AddProgram(pszProgram);
    }
    // Quod Libet's queue, as --print-queue prints it, holds two tracks queued before.
    const std::vector<std::string> arrQueued = {"file:///old/one%20it%27s.mp3",
                                                "file:///old/a%2Cb*.mp3"};
    AddProgram("quodlibet", arrQueued[0] + '\n' + arrQueued[1] + "\n\n");
    AddProgram("gdbus", "(true,)\n");
    for (const auto& entry : fs::directory_iterator(entries)) {
        if (entry.path().extension() == ".desktop") {
            // An entry naming its program by absolute path is pointed at the recording one; one
            // started over D-Bus is started by its command line, as without a session bus.
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
    const CCall qlQueue = {"quodlibet", "--print-queue"};
    const CCall qlUnqueueOne = {"quodlibet", "--unqueue=" + arrQueued[0]};
    const CCall qlUnqueueTwo = {"quodlibet", "--unqueue=" + arrQueued[1]};
    const CCall vlcRunning = {"gdbus",
                              "call",
                              "--session",
                              "--dest",
                              "org.freedesktop.DBus",
                              "--object-path",
                              "/org/freedesktop/DBus",
                              "--method",
                              "org.freedesktop.DBus.NameHasOwner",
                              "org.mpris.MediaPlayer2.vlc"};
    using CCalls = std::vector<CCall>;
    const struct {
        const char* pszEntry;
        CCalls play;
        CCalls playSeveral; // the commands, "FILES" standing for the three tracks, "REST" for
                            // the last two; none: refused, nothing started
        CCalls enqueue;
    } arrCases[] = {
        // Given several while running, it plays the last.
        {"vlc.desktop",
         {{"vlc", "--started-from-file", strC}},
         {vlcRunning,
          {"vlc", "--one-instance", strC},
          {"vlc", "--one-instance", "--playlist-enqueue", "--", "REST"}},
         {{"vlc", "--one-instance", "--playlist-enqueue", "--", "FILES"}}},
        {"audacious.desktop",
         {{"audacious", strC}},
         {{"audacious", "FILES"}},
         {{"audacious", "-e", "FILES"}}},
        {"smplayer.desktop",
         {{"smplayer", strC}},
         {{"smplayer", "FILES"}},
         {{"smplayer", "-add-to-playlist", "FILES"}}},
        // Given files while running, it appends them and keeps the old track playing.
        {"org.strawberrymusicplayer.strawberry.desktop",
         {{"strawberry", "--load", "--play", "--", strC}},
         {{"strawberry", "--load", "--play", "--", "FILES"}},
         {{"strawberry", "-a", "--", "FILES"}}},
        {"org.clementine_player.Clementine.desktop",
         {{"clementine", "--load", "--play", "--", strC}},
         {{"clementine", "--load", "--play", "--", "FILES"}},
         {{"clementine", "-a", "--", "FILES"}}},
        // Its entry would play each file in turn and keep only the last.
        {"org.gnome.Rhythmbox3.desktop",
         {{"rhythmbox-client", "--clear-queue", "--play-uri=" + strUriC}},
         {{"rhythmbox-client", "--clear-queue", "--play-uri=" + strUriC, "--enqueue", "--",
           "REST"}},
         {{"rhythmbox-client", "--enqueue", "--", "FILES"}}},
        // One file per start, once the player answers; commas and backslashes stay as they are.
        // Its queue plays before the rest: Play empties it of what was queued before.
        {"io.github.quodlibet.QuodLibet.desktop",
         {qlRunning,
          {"quodlibet", "--run", "--play-file=" + strC},
          qlQueue,
          qlUnqueueOne,
          qlUnqueueTwo},
         {qlRunning,
          {"quodlibet", "--run", "--play-file=" + strC},
          qlQueue,
          qlUnqueueOne,
          qlUnqueueTwo,
          {"quodlibet", "--enqueue=" + strAb},
          {"quodlibet", "--enqueue=" + strE}},
         {qlRunning,
          {"quodlibet", "--run", "--enqueue=" + strC},
          {"quodlibet", "--enqueue=" + strAb},
          {"quodlibet", "--enqueue=" + strE}}},
        // Has no way to enqueue of its own; SMPlayer's enqueue entry is not its to use. A new mpv
        // for every start is what its entry does for every file opened from a file manager.
        {"mpv.desktop",
         {{"mpv", "--player-operation-mode=pseudo-gui", "--", strC}},
         {{"mpv", "--player-operation-mode=pseudo-gui", "--", "FILES"}},
         {}},
        {"io.github.celluloid_player.Celluloid.desktop",
         {{"celluloid", strC}},
         {{"celluloid", "FILES"}},
         {{"celluloid", "--enqueue", "FILES"}}},
        {"org.xfce.Parole.desktop",
         {{"parole", strC}},
         {{"parole", "FILES"}},
         {{"parole", "-a", "FILES"}}},
        // Given several, it plays the last alone.
        {"org.gnome.Lollypop.desktop", {{"lollypop", strC}}, {}, {}},
    };
    const auto expand = [&arrThree](const CCalls& calls) {
        CCalls arrExpanded;
        for (const CCall& call : calls) {
            CCall& expanded = arrExpanded.emplace_back();
            for (const std::string& strArg : call) {
                if (strArg == "FILES" || strArg == "REST") {
                    expanded.insert(expanded.end(), arrThree.begin() + (strArg == "REST"),
                                    arrThree.end());
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
        for (const auto& [pszVerb, arrTracks, calls] :
             {std::tuple{"play", std::vector<std::string>{strC}, testCase.play},
              std::tuple{"play", arrThree, testCase.playSeveral},
              std::tuple{"enqueue", arrThree, testCase.enqueue}}) {
            SCOPED_TRACE(std::string(pszVerb) + " of " + std::to_string(arrTracks.size()));
            ClearCalls();
            EXPECT_EQ(Run(pszVerb, arrTracks), calls.empty() ? 0u : 1u);
            EXPECT_EQ(WaitForCalls(calls.size()), expand(calls));
        }
    }
}

TEST_F(ShellHandoffDesktop, EnqueueUsesOnlyRoutesOfTheDefaultPlayer) {
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
        EXPECT_EQ(Run("enqueue", {strTrack}), 0u);
        EXPECT_EQ(WaitForCalls(0), std::vector<CCall>{});
    }
}

// A player that takes two seconds to pass the files on: the event loop keeps running, the busy
// state shows after a second and ends with the program.

TEST_F(ShellHandoffDesktop, OpenHandsTheAddressUnchangedOrFailsQuietly) {
    const std::string strUrl = "https://example.org/find?q=a%20b&x='y'#z";

    EXPECT_EQ(Run("open", {strUrl}), 0u);

    AddEntry("fakebrowser.desktop", "Name=Browser\nExec=" + AddProgram("fakebrowser") +
                                        " %u\nMimeType=x-scheme-handler/https;\n");
    SetDefaults("x-scheme-handler/https=fakebrowser.desktop\n");

    EXPECT_EQ(Run("open", {strUrl}), 1u);

    EXPECT_EQ(WaitForCalls(1), (std::vector<CCall>{CCall{"fakebrowser", strUrl}}));
}
