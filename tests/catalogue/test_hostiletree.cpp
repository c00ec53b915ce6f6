// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// Scans of trees that try to hang, crash or mislead the walk. Each test runs under the CTest
// timeout of this folder.
#include "catalogue/docview.h"
#include "catalogue/hints.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "hostiletree.h"
#include "tests/support/fakefileops.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sys/resource.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The scan's records as "location below the root | name | size | title", after checking what
// every scan must do whatever the tree: both hints, the title, the folder handed to the host.
std::vector<std::string> Scan(const std::string& strRoot, std::string* pstrProblem, CFileOps& ops,
                              std::size_t* pnUnopened = nullptr) {
    CFakeCatalogueHost host;
    CHintLog view;
    CTunebrDoc doc(host, ops);
    doc.AddView(&view);
    doc.ScanFolder(strRoot);
    if (pnUnopened != nullptr) {
        *pnUnopened = doc.GetUnopenedCount();
    }
    if (view.m_arrHints != std::vector<EHint>{HINT_REBUILD_BEGIN, HINT_REBUILD_END} ||
        doc.GetTitle() != strRoot || host.m_arrWritten != std::vector<std::string>{strRoot}) {
        *pstrProblem = "hints, title or written folder wrong";
    }
    std::vector<std::string> arrLines;
    for (const CTrackInfo* pTrack : *doc.GetTracks()) {
        arrLines.push_back(pTrack->GetLocation().substr(strRoot.size()) + "|" +
                           std::string(pTrack->GetFileName()) + "|" +
                           std::to_string(pTrack->GetSize()) + "|" +
                           std::string(pTrack->GetTitle()));
    }
    return arrLines;
}

std::vector<std::string> Scan(const std::string& strRoot, std::string* pstrProblem) {
    CFileOps systemCalls;
    return Scan(strRoot, pstrProblem, systemCalls);
}

// Runs Scan in a child process (unprivileged, or with few descriptors) and brings back its
// lines; a line of its own reports a problem.
// The count of what could not be opened comes back as a last line "unopened N" when not 0.
std::vector<std::string> ScanInChild(const std::string& strRoot, bool bUnprivileged,
                                     rlim_t nMaxFiles, int* pnExit,
                                     CFileOps& ops = SystemFileOps()) {
    int aPipe[2];
    if (::pipe(aPipe) != 0) {
        return {"no pipe"};
    }
    auto fnScan = [&]() {
        ::close(aPipe[0]);
        if (nMaxFiles != 0) {
            const struct rlimit limit = {nMaxFiles, nMaxFiles};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        std::string strProblem;
        std::string strOut;
        std::size_t nUnopened = 0;
        for (const std::string& strLine : Scan(strRoot, &strProblem, ops, &nUnopened)) {
            strOut += strLine + '\0';
        }
        if (nUnopened != 0) {
            strOut += "unopened " + std::to_string(nUnopened) + '\0';
        }
        if (!strProblem.empty()) {
            strOut += "PROBLEM " + strProblem + '\0';
        }
        for (std::size_t nDone = 0; nDone < strOut.size();) {
            const ssize_t n = ::write(aPipe[1], strOut.data() + nDone, strOut.size() - nDone);
            if (n <= 0) {
                return 3;
            }
            nDone += static_cast<std::size_t>(n);
        }
        return 0;
    };
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(bUnprivileged ? RunUnprivileged(fnScan) : fnScan());
    }
    ::close(aPipe[1]);
    std::string strIn;
    char aBuffer[65536];
    for (ssize_t n; (n = ::read(aPipe[0], aBuffer, sizeof aBuffer)) > 0;) {
        strIn.append(aBuffer, static_cast<std::size_t>(n));
    }
    int nStatus = 0;
    ::waitpid(pid, &nStatus, 0);
    const int nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 126;
    ::close(aPipe[0]);
    *pnExit = nExit;
    return SplitText(strIn, '\0');
}

} // namespace

TEST(HostileTree, EveryKindOfEntryAtOnceEndsWithTheRecordsTheRulesGiveAndWritesNothing) {
    CTempDir dir;
    const SHostileTree tree(dir.Path());
    if (!tree.strSkipped.empty()) {
        std::cout << "[ SKIPPED  ] part of the tree: " << tree.strSkipped << "\n";
    }
    const std::string strSkip = AllowUnprivilegedAccess(dir.Path());
    if (!strSkip.empty()) {
        RemoveTreeAt(AT_FDCWD, dir.Str().c_str());
        GTEST_SKIP() << strSkip;
    }
    const auto mapBefore = ListTree(dir.Path());
    int nExit = -1;
    const std::vector<std::string> arrLines = ScanInChild(dir.Str(), true, 0, &nExit);
    if (nExit == 125) {
        RemoveTreeAt(AT_FDCWD, dir.Str().c_str());
        GTEST_SKIP() << "could not drop privileges to user nobody";
    }
    EXPECT_EQ(nExit, 0);
    // Locked/ and locked.mp3 cannot be opened: counted, so that the user is told.
    std::vector<std::string> arrExpected = tree.Expected();
    arrExpected.emplace_back("unopened 2");
    EXPECT_EQ(arrLines, arrExpected);
    EXPECT_EQ(ListTree(dir.Path()), mapBefore);
    RemoveTreeAt(AT_FDCWD, dir.Str().c_str());
}

TEST(HostileTree, TenThousandNestedFoldersEvenWithFewDescriptors) {
    constexpr int LEVELS = 10000;
    CTempDir dir;
    const int nBottom = MakeChain(dir.Path(), "c", "d", LEVELS);
    ASSERT_GE(nBottom, 0);
    WriteBytesAt(nBottom, "bottom.mp3", Audio(500) + MakeTag("Bottom", "A"));
    ::close(nBottom);
    const int nMiddle = MakeChain(dir.Path() / "c", "d", "c", LEVELS / 2 - 1);
    WriteBytesAt(nMiddle, "middle.mp3", Audio(200));
    ::close(nMiddle);
    // A second branch beside the chain at the top must still be walked after coming back up.
    WriteBytes(dir.Path() / "e" / "after.mp3", Audio(300));

    std::string strChain;
    for (int i = 0; i < LEVELS; ++i) {
        strChain += i % 2 == 0 ? "/c" : "/d";
    }
    const std::vector<std::string> arrWanted = {strChain.substr(0, LEVELS) + "|middle.mp3|72|",
                                                strChain + "|bottom.mp3|500|Bottom",
                                                "/e|after.mp3|172|"};
    for (const rlim_t nMaxFiles : {rlim_t(0), rlim_t(40)}) {
        SCOPED_TRACE(nMaxFiles == 0 ? "usual descriptor limit" : "40 descriptors");
        int nExit = -1;
        EXPECT_EQ(ScanInChild(dir.Str(), false, nMaxFiles, &nExit), arrWanted);
        EXPECT_EQ(nExit, 0);
    }
    RemoveChain(dir.Path(), "c", "d");
}

TEST(HostileTree, TwoHundredThousandEntriesInOneFolder) {
    constexpr int ENTRIES = 200000;
    CTempDir dir;
    const int nFd = ::open(dir.Str().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < ENTRIES; ++i) {
        const std::string strName = std::to_string(1000000 + i) + (i % 2 ? ".mp3" : ".jpg");
        ::close(::openat(nFd, strName.c_str(), O_WRONLY | O_CREAT, 0644));
    }
    WriteBytesAt(nFd, "1999999.mp3", Audio(200) + MakeTag("Last", "A"));
    ::close(nFd);
    std::string strProblem;
    const std::vector<std::string> arrLines = Scan(dir.Str(), &strProblem);
    EXPECT_EQ(strProblem, "");
    ASSERT_EQ(arrLines.size(), ENTRIES / 2 + 1u);
    EXPECT_EQ(arrLines.front(), "|1000001.mp3|0|");
    EXPECT_EQ(arrLines.back(), "|1999999.mp3|200|Last");
}

TEST(HostileTree, FilesThatVanishOrBecomeFoldersBetweenListingAndOpen) {
    // Changes the tree at the moment the scan opens a file, after it listed the folder.
    CFakeFileOps racingOps;
    racingOps.Before(EFileOp::OpenAt, [](const SFileCall& call) {
        const std::string strName = call.pszPath;
        if (strName == "vanishes.mp3") {
            ::unlinkat(call.nFd, call.pszPath, 0);
        } else if (strName == "becomes-folder.mp3") {
            ::unlinkat(call.nFd, call.pszPath, 0);
            ::mkdirat(call.nFd, call.pszPath, 0755);
            WriteBytesAt(call.nFd, (strName + "/inner.mp3").c_str(), Audio(300));
        } else if (strName == "replaced.mp3") {
            ::unlinkat(call.nFd, call.pszPath, 0);
            WriteBytesAt(call.nFd, call.pszPath, Audio(50)); // now too short for a tag
        }
    });
    CTempDir dir;
    for (const char* pszName :
         {"becomes-folder.mp3", "replaced.mp3", "stays.mp3", "vanishes.mp3"}) {
        WriteBytes(dir.Path() / pszName, Audio(400) + MakeTag("Tagged", "A"));
    }
    std::string strProblem;
    const std::vector<std::string> arrLines = Scan(dir.Str(), &strProblem, racingOps);
    EXPECT_EQ(strProblem, "");
    // The listing said files: each keeps its record, with the defaults where the file is gone,
    // and the new folder is not walked, as it was no folder when listed.
    EXPECT_EQ(arrLines, (std::vector<std::string>{"|becomes-folder.mp3|0|", "|replaced.mp3|0|",
                                                  "|stays.mp3|400|Tagged", "|vanishes.mp3|0|"}));
}

TEST(HostileTree, ManySmallFoldersWithFewDescriptorsLoseNoFile) {
    // Reads waiting for a reader keep their folders open: with few descriptors, a walk that
    // queued too many of them would find no descriptor left to open files or folders with.
    CTempDir dir;
    for (int i = 0; i < 600; ++i) {
        WriteBytes(dir.Path() / ("f" + std::to_string(1000 + i)) / "one.mp3",
                   Audio(300) + MakeTag("T" + std::to_string(i), "A"));
    }
    int nExit = -1;
    const std::vector<std::string> arrWhole = ScanInChild(dir.Str(), false, 0, &nExit);
    ASSERT_EQ(arrWhole.size(), 600u);
    EXPECT_EQ(arrWhole.back(), "/f1599|one.mp3|300|T599");
    EXPECT_EQ(ScanInChild(dir.Str(), false, 40, &nExit), arrWhole);
    EXPECT_EQ(nExit, 0);
}

// What cannot be opened is counted, whatever the reason but a name that is gone; the rest of the
// scan goes on. A low descriptor limit on a slow share makes the scan wait for descriptors, and
// loses nothing.
TEST(HostileTree, WhatCannotBeOpenedIsCountedAndFewDescriptorsOnASlowShareLoseNothing) {
    CTempDir dir;
    for (const char* pszName : {"a.mp3", "denied.mp3", "gone.mp3", "io.mp3", "deniedFolder/x.mp3",
                                "goneFolder/y.mp3", "ok/z.mp3"}) {
        WriteBytes(dir.Path() / pszName, Audio(300));
    }
    const struct {
        const char* pszCase;
        rlim_t nMaxFiles;
        int nDelayMs;
        std::size_t nFolders;
        std::vector<std::string> arrExpected; // after the many folders' files, if any
    } aCases[] = {
        {"refused opens",
         0,
         0,
         0,
         {"|a.mp3|172|", "|denied.mp3|0|", "|gone.mp3|0|", "|io.mp3|0|", "/ok|z.mp3|172|",
          "unopened 3"}},
        {"64 descriptors on a slow share",
         64,
         3,
         300,
         {"|a.mp3|172|", "|denied.mp3|0|", "|gone.mp3|0|", "|io.mp3|0|", "/ok|z.mp3|172|",
          "unopened 3"}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        std::vector<std::string> arrExpected = c.arrExpected;
        for (std::size_t i = 0; i < c.nFolders; ++i) {
            const std::string strFolder = "many" + std::to_string(1000 + i);
            for (int j = 10; j < 40; ++j) {
                const std::string strName = std::to_string(j) + ".mp3";
                WriteBytes(dir.Path() / strFolder / strName, Audio(300));
                arrExpected.insert(arrExpected.end() - 2,
                                   "/" + strFolder + "|" + strName + "|172|");
            }
        }
        CFakeFileOps ops;
        RefuseOpensByName(ops);
        ops.SetDelay(EFileOp::Pread, c.nDelayMs);
        int nExit = -1;
        EXPECT_EQ(ScanInChild(dir.Str(), false, c.nMaxFiles, &nExit, ops), arrExpected);
        EXPECT_EQ(nExit, 0);
    }
}
