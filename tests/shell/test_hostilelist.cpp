// The real program's listing of hostile trees and of every fuzz seed, run without privileges.
#include "hostiletree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

struct SList {
    int nExit = -1;
    std::string strOut;
};

// tunebrowse --list as "nobody" when run as root, with settings in a folder of its own.
SList RunList(const std::vector<std::string>& arrArgs, const std::string& strConfig) {
    int aPipe[2];
    if (::pipe(aPipe) != 0) {
        return {};
    }
    const int nExit = RunUnprivileged([&]() {
        ::dup2(aPipe[1], STDOUT_FILENO);
        ::close(aPipe[0]);
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
    ::close(aPipe[1]);
    SList list{nExit, {}};
    char aBuffer[65536];
    for (ssize_t n; (n = ::read(aPipe[0], aBuffer, sizeof aBuffer)) > 0;) {
        list.strOut.append(aBuffer, static_cast<std::size_t>(n));
    }
    ::close(aPipe[0]);
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
    EXPECT_EQ(list.nExit, 0);
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
    for (std::size_t nStart = 0; nStart < list.strOut.size();) {
        const std::size_t nEnd = list.strOut.find('\n', nStart);
        const std::string strLine = list.strOut.substr(nStart, nEnd - nStart);
        // Up to the size column: the rest is checked by the command line's own tests.
        std::size_t nTab = 0;
        for (int i = 0; i < 4 && nTab != std::string::npos; ++i) {
            nTab = strLine.find('\t', nTab + (i > 0));
        }
        arrLines.push_back(strLine.substr(0, nTab + 1));
        nStart = nEnd + 1;
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
    for (const std::string strFolder : {std::string(FUZZ_SEEDS), std::string(CORPUS_DIR)}) {
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
