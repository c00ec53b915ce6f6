// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// Folder trees that a scan must survive: special files, link cycles, unreadable parts, odd names,
// paths longer than PATH_MAX, very deep and very wide folders. Shared by the catalogue's tests and
// the command line's.

#include "tests/support/testfiles.h"
#include "unprivileged.h"

#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

// Names and states of every entry below a folder, links not followed, by descriptors so that
// paths of any length are seen: a scan must leave this unchanged.
inline void ListTreeAt(int nDirFd, const std::string& strPrefix,
                       std::map<std::string, std::string>& mapOut) {
    DIR* pDir = ::fdopendir(::dup(nDirFd));
    if (pDir == nullptr) {
        return;
    }
    std::vector<std::string> arrNames;
    while (const dirent* pEntry = ::readdir(pDir)) {
        const std::string strName = pEntry->d_name;
        if (strName != "." && strName != "..") {
            arrNames.push_back(strName);
        }
    }
    ::closedir(pDir);
    for (const std::string& strName : arrNames) {
        struct stat st;
        if (::fstatat(nDirFd, strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        const std::string strPath = strPrefix + "/" + strName;
        // Blocks too: a sparse file must stay sparse.
        mapOut[strPath] = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                          std::to_string(st.st_blocks) + " " + std::to_string(st.st_mtim.tv_sec) +
                          "." + std::to_string(st.st_mtim.tv_nsec);
        if (S_ISDIR(st.st_mode)) {
            const int nFd = ::openat(nDirFd, strName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (nFd >= 0) {
                ListTreeAt(nFd, strPath, mapOut);
                ::close(nFd);
            }
        }
    }
}

// The pieces of a text that ends each piece with cSeparator.
inline std::vector<std::string> SplitText(const std::string& strText, char cSeparator) {
    std::vector<std::string> arrPieces;
    for (std::size_t nStart = 0; nStart < strText.size();) {
        const std::size_t nEnd = strText.find(cSeparator, nStart);
        arrPieces.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd == std::string::npos ? strText.size() : nEnd + 1;
    }
    return arrPieces;
}

inline std::map<std::string, std::string> ListTree(const std::filesystem::path& folder) {
    std::map<std::string, std::string> mapTree;
    const int nFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ListTreeAt(nFd, "", mapTree);
    ::close(nFd);
    return mapTree;
}

// Removes what std::filesystem cannot: folders without permissions and paths beyond PATH_MAX.
// Only for shallow trees: one descriptor per level.
inline void RemoveTreeAt(int nDirFd, const char* pszName) {
    const int nFd = ::openat(nDirFd, pszName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (nFd < 0) {
        ::unlinkat(nDirFd, pszName, 0);
        return;
    }
    ::fchmod(nFd, 0700);
    std::vector<std::string> arrNames;
    if (DIR* pDir = ::fdopendir(::dup(nFd))) {
        while (const dirent* pEntry = ::readdir(pDir)) {
            const std::string strName = pEntry->d_name;
            if (strName != "." && strName != "..") {
                arrNames.push_back(strName);
            }
        }
        ::closedir(pDir);
    }
    for (const std::string& strName : arrNames) {
        RemoveTreeAt(nFd, strName.c_str());
    }
    ::close(nFd);
    ::unlinkat(nDirFd, pszName, AT_REMOVEDIR);
}

// Creates a chain of nLevels folders below the folder, named strFirst and strSecond in turn, and
// returns a descriptor of the deepest one.
inline int MakeChain(const std::filesystem::path& folder, const std::string& strFirst,
                     const std::string& strSecond, int nLevels) {
    int nFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < nLevels && nFd >= 0; ++i) {
        const char* pszName = (i % 2 == 0 ? strFirst : strSecond).c_str();
        ::mkdirat(nFd, pszName, 0755);
        const int nChild = ::openat(nFd, pszName, O_RDONLY | O_DIRECTORY);
        ::close(nFd);
        nFd = nChild;
    }
    return nFd;
}

// Removes a chain of any depth one level at a time, with short paths only.
inline void RemoveChain(const std::filesystem::path& folder, std::string strFirst,
                        std::string strSecond) {
    const int nFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    while (::renameat(nFd, (strFirst + "/" + strSecond).c_str(), nFd, "chain-rest") == 0) {
        RemoveTreeAt(nFd, strFirst.c_str());
        ::renameat(nFd, "chain-rest", nFd, strSecond.c_str());
        std::swap(strFirst, strSecond);
    }
    RemoveTreeAt(nFd, strFirst.c_str());
    ::close(nFd);
}

inline void WriteBytesAt(int nDirFd, const char* pszName, const std::string& strBytes) {
    const int nFd = ::openat(nDirFd, pszName, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (nFd >= 0) {
        (void)!::write(nFd, strBytes.data(), strBytes.size());
        ::close(nFd);
    }
}

// One tree holding every hostile kind of entry at once. The expected listing is for a user
// without privileges (Locked/ and locked.mp3 cannot be read), in scan order, as
// "location below the root | file name | size | title".
struct SHostileTree {
    static constexpr int LONG_LEVELS = 20; // 20 names of 250 bytes: beyond PATH_MAX
    std::string strSkipped;                // kinds of entry this run could not create
    bool bDevice = false;

    explicit SHostileTree(const std::filesystem::path& root) {
        namespace fs = std::filesystem;
        WriteBytes(root / "back\\slash.mp3", Audio(200));
        WriteBytes(root / "new\nline.mp3", Audio(300) + MakeTag("Line", "A"));
        WriteBytes(root / "tab\there.mp3", Audio(128));
        WriteBytes(root / "\xff\xfe.mp3", Audio(130) + MakeTag("Caf\xe9", "B"));
        WriteBytes(root / "big.mp3", "");
        fs::resize_file(root / "big.mp3", 3'000'000'000LL); // sparse: takes no room on disk
        std::ofstream(root / "big.mp3", std::ios::in | std::ios::out | std::ios::binary)
                .seekp(3'000'000'000LL - 128)
            << MakeTag("Big", "C");
        ::mkfifo((root / "fifo.mp3").c_str(), 0644);
        const int nSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string strSocket = (root / "sock.mp3").string();
        if (strSocket.size() < sizeof address.sun_path) {
            strSocket.copy(address.sun_path, strSocket.size());
            ::bind(nSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
        ::close(nSocket);
        bDevice = ::mknod((root / "chr.mp3").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;
        if (!bDevice) {
            strSkipped += "no character device (mknod needs root); ";
        }
        fs::create_directory_symlink(root, root / "Loop");
        WriteBytes(root / "Real" / "real.mp3", Audio(400));
        fs::create_directory_symlink(root / "Real", root / "Same1");
        fs::create_directory_symlink("Real", root / "Same2");
        fs::create_directories(root / "Real" / "Inner");
        fs::create_directory_symlink(root / "Real" / "Inner" / "Cycle",
                                     root / "Real" / "Inner" / "Cycle");
        fs::create_symlink(root / "nowhere.mp3", root / "dangling.mp3");
        WriteBytes(root / "Locked" / "hidden.mp3", Audio(300));
        fs::permissions(root / "Locked", fs::perms::none);
        WriteBytes(root / "locked.mp3", Audio(300) + MakeTag("Secret", "D"));
        fs::permissions(root / "locked.mp3", fs::perms::none);
        const int nDeep =
            MakeChain(root, std::string(250, 'L'), std::string(250, 'M'), LONG_LEVELS);
        WriteBytesAt(nDeep, "deep.mp3", Audio(1000) + MakeTag("Deep", "E"));
        ::close(nDeep);
    }

    std::vector<std::string> Expected() const {
        std::string strLong;
        for (int i = 0; i < LONG_LEVELS; ++i) {
            strLong += "/" + std::string(250, i % 2 == 0 ? 'L' : 'M');
        }
        std::vector<std::string> arrLines = {"|back\\slash.mp3|72|",
                                             "|big.mp3|2999999872|Big",
                                             "|chr.mp3|0|",
                                             "|dangling.mp3|0|",
                                             "|fifo.mp3|0|",
                                             "|locked.mp3|0|",
                                             "|new\nline.mp3|300|Line",
                                             "|sock.mp3|0|",
                                             "|tab\there.mp3|0|",
                                             "|\xff\xfe.mp3|130|Caf\xc3\xa9",
                                             strLong + "|deep.mp3|1000|Deep",
                                             "/Real|real.mp3|272|"};
        if (!bDevice) {
            arrLines.erase(arrLines.begin() + 2);
        }
        return arrLines;
    }
};
