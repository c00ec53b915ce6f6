// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The real program's listing of hostile trees and of every fuzz seed, run without privileges.
#include "hostiletree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <sys/wait.h>

namespace {

struct SList {
    int nExit = -1;
    std::string strOut;
};

// tunebrowse --list as "nobody" when run as root, with settings in a folder of its own. The
// output goes to a file: a pipe would fill up while the child is waited for.
SList RunList(const std::vector<std::string>& arrArgs, const std::string& strConfig) {
    const std::unique_ptr<FILE, int (*)(FILE*)> pOut(std::tmpfile(), &std::fclose);
    if (!pOut) {
        return {};
    }
    const int nOut = ::fileno(pOut.get());
    const int nExit = RunUnprivileged([&]() {
        ::dup2(nOut, STDOUT_FILENO);
        ::setenv("XDG_CONFIG_HOME", strConfig.c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        std::vector<char*> arrArgv{const_cast<char*>(TUNEBROWSE_EXE), const_cast<char*>("--list")};
        for (const std::string& strArg : arrArgs) {
            arrArgv.push_back(const_cast<char*>(strArg.c_str()));
        }
        arrArgv.push_back(nullptr);
        ::execv(TUNEBROWSE_EXE, arrArgv.data());
        return 127;
    });
    SList list{nExit, {}};
    char aBuffer[65536];
    for (ssize_t n; (n = ::pread(nOut, aBuffer, sizeof aBuffer,
                                 static_cast<off_t>(list.strOut.size()))) > 0;) {
        list.strOut.append(aBuffer, static_cast<std::size_t>(n));
    }
    return list;
}

std::string Escaped(const std::string& str) {
    std::string strOut;
    for (const char c : str) {
        switch (c) {
        case '\t':
            strOut += "\\t";
            break;
        case '\n':
            strOut += "\\n";
            break;
        case '\r':
            strOut += "\\r";
            break;
        case '\\':
            strOut += "\\\\";
            break;
        default:
            strOut += c;
        }
    }
    return strOut;
}

} // namespace

TEST(HostileList, EveryKindOfEntryGivesOneEscapedLinePerRecordAndWritesNothing) {
    CTempDir dir;
    CTempDir config;
    const SHostileTree tree(dir.Path());
    const std::string strSkip = AllowUnprivilegedAccess(dir.Path());
    AllowUnprivilegedAccess(config.Path());
    ChownToUnprivileged(config.Path());
    if (!strSkip.empty()) {
        RemoveTreeAt(AT_FDCWD, dir.Str().c_str());
        GTEST_SKIP() << strSkip;
    }
    const auto mapBefore = ListTree(dir.Path());
    const SList list = RunList({dir.Str()}, config.Str());
    if (list.nExit == 125) {
        RemoveTreeAt(AT_FDCWD, dir.Str().c_str());
        GTEST_SKIP() << "could not drop privileges to user nobody";
    }
    // Locked/ and locked.mp3 cannot be opened without privileges: everything else is listed, and
    // the exit status says that something was missed.
    EXPECT_EQ(list.nExit, 1);
    // Expected lines: file, title, album, location ... from "location|name|size|title".
    std::vector<std::string> arrExpected;
    for (const std::string& strRecord : tree.Expected()) {
        const std::size_t nName = strRecord.find('|');
        const std::size_t nSize = strRecord.find('|', nName + 1);
        const std::string strName = strRecord.substr(nName + 1, nSize - nName - 1);
        const std::string strTitle = strRecord.substr(strRecord.find('|', nSize + 1) + 1);
        arrExpected.push_back(Escaped(strName) + "\t" + Escaped(strTitle) + "\t\t" +
                              Escaped(dir.Str() + strRecord.substr(0, nName)) + "\t");
    }
    std::vector<std::string> arrLines;
    for (const std::string& strLine : SplitText(list.strOut, '\n')) {
        // Up to the size column: the rest is checked by the command line's own tests.
        std::size_t nTab = 0;
        for (int i = 0; i < 4 && nTab != std::string::npos; ++i) {
            nTab = strLine.find('\t', nTab + (i > 0));
        }
        arrLines.push_back(strLine.substr(0, nTab + 1));
    }
    EXPECT_EQ(arrLines, arrExpected);
    EXPECT_EQ(ListTree(dir.Path()), mapBefore);
    EXPECT_TRUE(ListTree(config.Path()).empty()) << "a listing must not write settings";
    RemoveTreeAt(AT_FDCWD, dir.Str().c_str());
}

TEST(HostileList, EveryFuzzSeedAndCorpusFileIsListed) {
    CTempDir config;
    AllowUnprivilegedAccess(config.Path());
    ChownToUnprivileged(config.Path());
    for (const std::string& strFolder : {std::string(FUZZ_SEEDS), std::string(CORPUS_DIR)}) {
        if (!std::filesystem::is_directory(strFolder)) {
            std::cout << "[ SKIPPED  ] no folder " << strFolder << "\n";
            continue;
        }
        // "*" takes the folders too: each gets a record as well.
        std::size_t nEntries = 0;
        for (auto it = std::filesystem::recursive_directory_iterator(strFolder);
             it != std::filesystem::recursive_directory_iterator(); ++it) {
            ++nEntries;
        }
        const SList list = RunList({"--pattern", "*", strFolder}, config.Str());
        EXPECT_EQ(list.nExit, 0) << strFolder;
        EXPECT_EQ(
            static_cast<std::size_t>(std::count(list.strOut.begin(), list.strOut.end(), '\n')),
            nEntries)
            << strFolder;
    }
}

namespace {

// The listing of a folder the test made readable, or a reason to skip.
SList ListAsOther(const CTempDir& dir, std::string* pstrSkip) {
    CTempDir config;
    *pstrSkip = AllowUnprivilegedAccess(dir.Path());
    AllowUnprivilegedAccess(config.Path());
    ChownToUnprivileged(config.Path());
    if (!pstrSkip->empty()) {
        return {};
    }
    SList list = RunList({dir.Str()}, config.Str());
    if (list.nExit == 125) {
        *pstrSkip = "could not drop privileges to user nobody";
    }
    return list;
}

} // namespace

TEST(HostileList, TenThousandNestedFoldersBesideTwoHundredThousandEntries) {
    constexpr int LEVELS = 10000;
    constexpr int ENTRIES = 200000;
    CTempDir dir;
    const int nBottom = MakeChain(dir.Path(), "c", "d", LEVELS);
    ASSERT_GE(nBottom, 0);
    WriteBytesAt(nBottom, "bottom.mp3", Audio(500) + MakeTag("Bottom", "A"));
    ::close(nBottom);
    std::filesystem::create_directory(dir.Path() / "wide");
    std::filesystem::permissions(dir.Path() / "wide", std::filesystem::perms(0755));
    const int nWide = ::open((dir.Path() / "wide").c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < ENTRIES; ++i) {
        const std::string strName = std::to_string(1000000 + i) + (i % 2 ? ".mp3" : ".jpg");
        ::close(::openat(nWide, strName.c_str(), O_WRONLY | O_CREAT, 0644));
    }
    ::close(nWide);

    std::string strSkip;
    const SList list = ListAsOther(dir, &strSkip);
    if (!strSkip.empty()) {
        RemoveChain(dir.Path(), "c", "d");
        GTEST_SKIP() << strSkip;
    }
    EXPECT_EQ(list.nExit, 0);
    const std::vector<std::string> arrLines = SplitText(list.strOut, '\n');
    ASSERT_EQ(arrLines.size(), 1 + ENTRIES / 2u);
    std::string strChain;
    for (int i = 0; i < LEVELS; ++i) {
        strChain += i % 2 == 0 ? "/c" : "/d";
    }
    EXPECT_EQ(arrLines[0].substr(0, arrLines[0].find(dir.Str())), "bottom.mp3\tBottom\t\t");
    EXPECT_NE(arrLines[0].find(dir.Str() + strChain + "\t"), std::string::npos);
    EXPECT_EQ(arrLines[1].substr(0, 12), "1000001.mp3\t");
    EXPECT_EQ(arrLines.back().substr(0, 12), "1199999.mp3\t");
    RemoveChain(dir.Path(), "c", "d");
}

TEST(HostileList, FilesChangingUnderARunningListing) {
    constexpr int FILES = 3000;
    CTempDir dir;
    std::vector<std::string> arrNames;
    for (int i = 0; i < FILES; ++i) {
        const std::string strFolder = "f" + std::to_string(i % 30);
        arrNames.push_back(strFolder + "/t" + std::to_string(i) + ".mp3");
        WriteBytes(dir.Path() / arrNames.back(), Audio(200) + MakeTag("T", "A"));
        std::filesystem::permissions(dir.Path() / strFolder, std::filesystem::perms(0755));
    }
    // Another process turns files into folders, removes them and puts them back while the
    // program lists them.
    const pid_t pidRacer = ::fork();
    if (pidRacer == 0) {
        for (unsigned nRound = 0;; ++nRound) {
            for (std::size_t i = nRound % 3; i < arrNames.size(); i += 3) {
                const std::string strPath = (dir.Path() / arrNames[i]).string();
                if (::unlink(strPath.c_str()) == 0) {
                    ::mkdir(strPath.c_str(), 0755);
                } else {
                    ::rmdir(strPath.c_str());
                    WriteBytes(strPath, Audio(300));
                }
            }
        }
    }
    std::string strSkip;
    const SList list = ListAsOther(dir, &strSkip);
    ::kill(pidRacer, SIGKILL);
    ::waitpid(pidRacer, nullptr, 0);
    if (!strSkip.empty()) {
        GTEST_SKIP() << strSkip;
    }
    EXPECT_EQ(list.nExit, 0);
    // Whatever each file was when it was met, it is listed once at most, under its own folder.
    std::set<std::string> setListed;
    for (const std::string& strLine : SplitText(list.strOut, '\n')) {
        const std::string strName = strLine.substr(0, strLine.find('\t'));
        const std::size_t nFolder = strLine.find(dir.Str() + "/f");
        ASSERT_NE(nFolder, std::string::npos) << strLine;
        const std::string strFolder = strLine.substr(nFolder + dir.Str().size() + 1);
        const std::string strPath = strFolder.substr(0, strFolder.find('\t')) + "/" + strName;
        EXPECT_NE(std::find(arrNames.begin(), arrNames.end(), strPath), arrNames.end()) << strPath;
        EXPECT_TRUE(setListed.insert(strPath).second) << strPath;
    }
    EXPECT_GT(setListed.size(), FILES / 3u);
}
