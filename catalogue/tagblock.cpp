// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagblock.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/posixio.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr off_t TAG_SIZE = static_cast<off_t>(CId3v1Tag::SIZE);

} // namespace

SFileIdentity SFileIdentity::Of(const struct stat& st) {
    SFileIdentity identity;
    identity.m_nDevice = DeviceOf(st.st_dev);
    identity.m_nInode = st.st_ino;
    identity.m_nFileSize = st.st_size;
    return identity;
}

SFileStamp SFileStamp::Of(const struct stat& st) {
    constexpr std::int64_t NANOSECONDS = 1000000000;
    SFileStamp stamp;
    stamp.m_nModified =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * NANOSECONDS + st.st_mtim.tv_nsec;
    stamp.m_nChanged =
        static_cast<std::int64_t>(st.st_ctim.tv_sec) * NANOSECONDS + st.st_ctim.tv_nsec;
    return stamp;
}

bool SKnownFile::HasSameContent(const struct stat& st) const {
    return S_ISREG(st.st_mode) && st.st_size == m_identity.m_nFileSize &&
           SFileStamp::Of(st) == m_stamp;
}

// The identity of a file that could not be opened, so that it can still be told apart.
CTagBlock CTagBlock::LookedAt(int nAt, const char* pszName, CFileOps& ops) {
    CTagBlock block;
    struct stat st;
    if (ops.FstatAt(nAt, pszName, &st) == 0 && S_ISREG(st.st_mode)) {
        block.m_identity = SFileIdentity::Of(st);
        block.m_stamp = SFileStamp::Of(st);
    }
    return block;
}

CTagBlock CTagBlock::Read(int nDirFd, const char* pszName) {
    CFileOps systemCalls;
    return Read(nDirFd, pszName, systemCalls);
}

CTagBlock CTagBlock::Read(int nDirFd, const char* pszName, CFileOps& ops, bool bListedAsFile) {
    // Non-blocking, so that a FIFO swapped in after the look cannot stall a scan.
    constexpr int READ_FLAGS = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    const int nAt = nDirFd >= 0 ? nDirFd : AT_FDCWD;
    CTagBlock block;
    struct stat st;
    if (!bListedAsFile) {
        if (ops.FstatAt(nAt, pszName, &st) != 0 || !S_ISREG(st.st_mode)) {
            return block;
        }
        block.m_identity = SFileIdentity::Of(st);
        block.m_stamp = SFileStamp::Of(st);
        if (st.st_size < TAG_SIZE) {
            return block;
        }
    }
    const CFileDescriptor fd(
        OpenWaitingForDescriptor([&] { return ops.OpenAt(nAt, pszName, READ_FLAGS); }));
    if (!fd.IsValid()) {
        const int nError = errno;
        // Unreadable: still a file that was listed, when the look found one.
        CTagBlock unread = bListedAsFile ? LookedAt(nAt, pszName, ops) : block;
        unread.m_nOpenError = nError;
        return unread;
    }
    if (ops.Fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        (!bListedAsFile && SFileIdentity::Of(st) != block.m_identity)) {
        return {};
    }
    block.m_identity = SFileIdentity::Of(st);
    block.m_stamp = SFileStamp::Of(st);
    if (st.st_size < TAG_SIZE) {
        return block;
    }
    block.m_bRead = ReadAt(fd.Get(), block.m_bytes.data(), block.m_bytes.size(),
                           st.st_size - TAG_SIZE, ops) == TAG_SIZE;
    return block;
}
