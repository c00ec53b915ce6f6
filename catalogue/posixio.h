// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>
#include <functional>
#include <sys/stat.h>
#include <sys/types.h>

// The file operations of scans and tag reads and writes, handed to each. Tests hand in their own
// to make any step fail or to change the folder tree at the moment a file is opened; this base
// makes the plain system calls.
class CFileOps {
public:
    virtual ~CFileOps() = default;

    // nDirFd is a folder descriptor, or AT_FDCWD for a whole path.
    virtual int OpenAt(int nDirFd, const char* pszPath, int nFlags);
    virtual int Fstat(int nFd, struct stat* pStat);
    // Follows symbolic links: what a path names is what it leads to.
    virtual int FstatAt(int nDirFd, const char* pszPath, struct stat* pStat);
    virtual ssize_t Pread(int nFd, void* pBuffer, std::size_t nCount, off_t nOffset);
    virtual ssize_t Pwrite(int nFd, const void* pBuffer, std::size_t nCount, off_t nOffset);
    virtual int Ftruncate(int nFd, off_t nLength);
    virtual int Futimens(int nFd, const struct timespec aTimes[2]);
    virtual int Close(int nFd);
    // Waits for an advisory write lock on the whole file (an open file description lock): it
    // belongs to the opened file, not to the process or thread, and goes with its last
    // descriptor's close. Our writers take it, so a second one waits for the first.
    virtual int LockForWrite(int nFd);
    // For a copy written beside a file: a new file only (O_EXCL), never through a link.
    virtual int CreateAt(int nDirFd, const char* pszPath, mode_t nMode);
    virtual int Fchown(int nFd, uid_t nOwner, gid_t nGroup);
    virtual int Fchmod(int nFd, mode_t nMode);
    virtual int Fsync(int nFd);
    virtual int Rename(const char* pszFrom, const char* pszTo);
    virtual int Unlink(const char* pszPath);
    // Renames without ever replacing: a name that exists gives EEXIST. File systems that cannot
    // promise that give EINVAL (or ENOSYS, EOPNOTSUPP), and nothing is renamed.
    virtual int RenameNoReplace(const char* pszFrom, const char* pszTo);
    // A second name for the file itself, a symbolic link as it is; EEXIST when the name exists.
    virtual int Link(const char* pszFrom, const char* pszTo);
    // What the name itself is: a symbolic link is not followed.
    virtual int Lstat(const char* pszPath, struct stat* pStat);
    // The folder scans open and list; open read-only, non-blocking, close-on-exec.
    virtual int OpenFolderAt(int nDirFd, const char* pszPath);
    // getdents64: bytes of entries put in pBuffer, 0 at the end, -1 on an error.
    virtual ssize_t ListFolder(int nFd, void* pBuffer, std::size_t nSize);
};

// Positioned reads and writes that survive interruptions and short transfers.

// Bytes read (fewer only at the end of the file), or -1 with errno set.
ssize_t ReadAt(int nFd, void* pBuffer, std::size_t nCount, off_t nOffset, CFileOps& ops);

// 0 when everything was written, otherwise the error (EIO for a write that made no progress).
// *pnWritten, when given, receives the bytes that did reach the file, so that a caller can
// undo a partial write.
int WriteAllAt(int nFd, const void* pBuffer, std::size_t nCount, off_t nOffset, CFileOps& ops,
               std::size_t* pnWritten = nullptr);

// Runs an open again while the process is out of descriptors, waiting a little longer each
// time, for a second or two at most: the scan's readers and listers give theirs back within
// moments, so that a low limit makes the scan wait rather than lose files. The last result
// otherwise, errno set.
int OpenWaitingForDescriptor(const std::function<int()>& fnOpen);

// The plain system calls, for the life of the process: a scan left behind on a stalled file
// system may still use them after whatever started it has gone.
CFileOps& SystemFileOps();
