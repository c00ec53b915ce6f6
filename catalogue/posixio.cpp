// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/posixio.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

int CFileOps::OpenAt(int nDirFd, const char* pszPath, int nFlags) {
    return ::openat(nDirFd, pszPath, nFlags);
}

int CFileOps::Fstat(int nFd, struct stat* pStat) {
    return ::fstat(nFd, pStat);
}

int CFileOps::FstatAt(int nDirFd, const char* pszPath, struct stat* pStat) {
    return ::fstatat(nDirFd, pszPath, pStat, 0);
}

ssize_t CFileOps::Pread(int nFd, void* pBuffer, std::size_t nCount, off_t nOffset) {
    return ::pread(nFd, pBuffer, nCount, nOffset);
}

ssize_t CFileOps::Pwrite(int nFd, const void* pBuffer, std::size_t nCount, off_t nOffset) {
    return ::pwrite(nFd, pBuffer, nCount, nOffset);
}

int CFileOps::Ftruncate(int nFd, off_t nLength) {
    return ::ftruncate(nFd, nLength);
}

int CFileOps::Futimens(int nFd, const struct timespec aTimes[2]) {
    return ::futimens(nFd, aTimes);
}

int CFileOps::Close(int nFd) {
    return ::close(nFd);
}

int CFileOps::LockForWrite(int nFd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET; // from the first byte to the end, however long the file grows
    return ::fcntl(nFd, F_OFD_SETLKW, &lock);
}

int CFileOps::CreateAt(int nDirFd, const char* pszPath, mode_t nMode) {
    return ::openat(nDirFd, pszPath, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                    nMode);
}

int CFileOps::Fchown(int nFd, uid_t nOwner, gid_t nGroup) {
    return ::fchown(nFd, nOwner, nGroup);
}

int CFileOps::Fchmod(int nFd, mode_t nMode) {
    return ::fchmod(nFd, nMode);
}

int CFileOps::Fsync(int nFd) {
    return ::fsync(nFd);
}

int CFileOps::Rename(const char* pszFrom, const char* pszTo) {
    return ::rename(pszFrom, pszTo);
}

int CFileOps::Unlink(const char* pszPath) {
    return ::unlink(pszPath);
}

int CFileOps::RenameNoReplace(const char* pszFrom, const char* pszTo) {
    return ::renameat2(AT_FDCWD, pszFrom, AT_FDCWD, pszTo, RENAME_NOREPLACE);
}

int CFileOps::Link(const char* pszFrom, const char* pszTo) {
    return ::linkat(AT_FDCWD, pszFrom, AT_FDCWD, pszTo, 0);
}

int CFileOps::Lstat(const char* pszPath, struct stat* pStat) {
    return ::lstat(pszPath, pStat);
}

int CFileOps::OpenFolderAt(int nDirFd, const char* pszPath) {
    return ::openat(nDirFd, pszPath, O_RDONLY | O_CLOEXEC | O_DIRECTORY | O_NOCTTY | O_NONBLOCK);
}

ssize_t CFileOps::ListFolder(int nFd, void* pBuffer, std::size_t nSize) {
    return ::getdents64(nFd, pBuffer, nSize);
}

ssize_t ReadAt(int nFd, void* pBuffer, std::size_t nCount, off_t nOffset, CFileOps& ops) {
    auto* pBytes = static_cast<unsigned char*>(pBuffer);
    std::size_t nDone = 0;
    while (nDone < nCount) {
        const ssize_t nRead = ops.Pread(nFd, pBytes + nDone, nCount - nDone, nOffset + nDone);
        if (nRead < 0 && errno == EINTR) {
            continue;
        }
        if (nRead < 0) {
            return -1;
        }
        if (nRead == 0) {
            break;
        }
        nDone += static_cast<std::size_t>(nRead);
    }
    return static_cast<ssize_t>(nDone);
}

int WriteAllAt(int nFd, const void* pBuffer, std::size_t nCount, off_t nOffset, CFileOps& ops,
               std::size_t* pnWritten) {
    const auto* pBytes = static_cast<const unsigned char*>(pBuffer);
    std::size_t nDone = 0;
    int nError = 0;
    while (nDone < nCount) {
        const ssize_t nWritten =
            ops.Pwrite(nFd, pBytes + nDone, nCount - nDone, nOffset + static_cast<off_t>(nDone));
        if (nWritten < 0 && errno == EINTR) {
            continue;
        }
        if (nWritten <= 0) {
            nError = nWritten < 0 ? errno : EIO;
            break;
        }
        nDone += static_cast<std::size_t>(nWritten);
    }
    if (pnWritten != nullptr) {
        *pnWritten = nDone;
    }
    return nError;
}

// Never destroyed: a scan left behind may call it while the process exits.
CFileOps& SystemFileOps() {
    static CFileOps* const s_pOps = new CFileOps;
    return *s_pOps;
}

int OpenWaitingForDescriptor(const std::function<int()>& fnOpen) {
    constexpr auto MOST_WAIT = std::chrono::milliseconds(50);
    constexpr auto GIVE_UP = std::chrono::milliseconds(2000);
    auto tWait = std::chrono::milliseconds(1);
    for (auto tWaited = std::chrono::milliseconds(0);; tWaited += tWait) {
        const int nFd = fnOpen();
        if (nFd >= 0 || (errno != EMFILE && errno != ENFILE) || tWaited >= GIVE_UP) {
            return nFd;
        }
        std::this_thread::sleep_for(tWait);
        tWait = std::min(tWait * 2, MOST_WAIT);
    }
}
