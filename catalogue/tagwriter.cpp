// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagwriter.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/fileexception.h"
#include "catalogue/posixio.h"
#include "catalogue/tagchanges.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Never created, never truncated; non-blocking, so that a FIFO swapped in cannot stall the
// window.
constexpr int WRITE_FLAGS = O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
constexpr off_t TAG_SIZE = static_cast<off_t>(CId3v1Tag::SIZE);
// The marker goes last: a write that stops early never leaves something that reads as a tag at
// the end of a file that had none.
constexpr std::size_t MARKER = 3;

bool HasWriteBit(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// A path that leads nowhere any more names a file that went away since it was listed.
EWriteStatus StatusOfFailedLookup(int nErrno) {
    return nErrno == ENOENT || nErrno == ENOTDIR || nErrno == ELOOP
               ? EWriteStatus::ChangedSinceListed
               : EWriteStatus::NotWritable;
}

// Waits until no other writer of ours holds the file. Where the file system has no such locks
// (some network shares answer ENOLCK or EOPNOTSUPP) the file is written without one, as it always
// was: the lock only keeps our own writers from reading the same bytes before either writes.
void WaitForWriteLock(int nFd, CFileOps& ops) {
    while (ops.LockForWrite(nFd) != 0 && errno == EINTR) {
    }
}

STagWriteResult Outcome(EWriteStatus eStatus) {
    STagWriteResult result;
    result.m_eStatus = eStatus;
    return result;
}

} // namespace

// A file opened for a write, checked to be the one expected, with its last 128 bytes.
struct CTagWriter::SOpened {
    std::string strPath;
    CFileDescriptor fd;
    struct stat st {};
    std::optional<CId3v1Tag::CBytes> tail; // the last 128 bytes, when the file has that many
    EWriteStatus eRefusal = EWriteStatus::Written; // anything else: nothing may be written

    bool HasTag() const { return tail && CId3v1Tag::HasMarker(tail->data()); }
};

CTagWriter::CTagWriter(CFileOps& ops, CTagCodec codec, bool bKeepTimes)
    : m_ops(ops), m_codec(std::move(codec)), m_bKeepTimes(bKeepTimes) {
}

CTagWriter::SOpened CTagWriter::Open(const std::string& strPath,
                                     const SFileIdentity& expected) const {
    SOpened file;
    file.strPath = strPath;
    // A look before the open: a device or FIFO that the path leads to is never opened.
    if (m_ops.FstatAt(AT_FDCWD, strPath.c_str(), &file.st) != 0) {
        file.eRefusal = StatusOfFailedLookup(errno);
        return file;
    }
    if (!S_ISREG(file.st.st_mode) || SFileIdentity::Of(file.st) != expected) {
        file.eRefusal = EWriteStatus::ChangedSinceListed;
        return file;
    }
    file.fd.Reset(m_ops.OpenAt(AT_FDCWD, strPath.c_str(), WRITE_FLAGS));
    if (!file.fd.IsValid()) {
        file.eRefusal = StatusOfFailedLookup(errno);
        return file;
    }
    // Held until the descriptor is closed, after the write. Taken before the look at the opened
    // file, so that what a writer that had to wait sees is the file as the other left it.
    WaitForWriteLock(file.fd.Get(), m_ops);
    // The name may have been pointed elsewhere between the look and the open: what counts is
    // the file opened.
    if (m_ops.Fstat(file.fd.Get(), &file.st) != 0) {
        throw CFileException(strPath, errno);
    }
    if (!S_ISREG(file.st.st_mode) || SFileIdentity::Of(file.st) != expected) {
        file.eRefusal = EWriteStatus::ChangedSinceListed;
        return file;
    }
    // A file without any write permission is read-only for everybody, root included: its owner
    // made it so on purpose.
    if (!HasWriteBit(file.st)) {
        file.eRefusal = EWriteStatus::NotWritable;
        return file;
    }
    if (file.st.st_size >= TAG_SIZE) {
        CId3v1Tag::CBytes tail{};
        const ssize_t nRead =
            ReadAt(file.fd.Get(), tail.data(), tail.size(), file.st.st_size - TAG_SIZE, m_ops);
        if (nRead != TAG_SIZE) {
            throw CFileException(strPath, nRead < 0 ? errno : EIO);
        }
        file.tail = tail;
    }
    return file;
}

void CTagWriter::WriteTail(const SOpened& file, bool bAppend, const CId3v1Tag::CBytes& bytes,
                           const CId3v1Tag::CBytes& previous) const {
    const off_t nOffset = bAppend ? file.st.st_size : file.st.st_size - TAG_SIZE;
    const int nFd = file.fd.Get();
    std::size_t nWritten = 0;
    int nError = WriteAllAt(nFd, bytes.data() + MARKER, bytes.size() - MARKER,
                            nOffset + static_cast<off_t>(MARKER), m_ops, &nWritten);
    if (nError == 0) {
        nError = WriteAllAt(nFd, bytes.data(), MARKER, nOffset, m_ops);
    }
    if (nError == 0) {
        return;
    }
    // Without a copy of the file this is the best that can be done: an appended tag is cut off
    // again and overwritten bytes get their old values back. Either step may fail in turn; the
    // caller hears of the failed write in any case.
    if (bAppend) {
        m_ops.Ftruncate(nFd, file.st.st_size);
    } else if (nWritten > 0) {
        WriteAllAt(nFd, previous.data() + MARKER, nWritten, nOffset + static_cast<off_t>(MARKER),
                   m_ops);
    }
    throw CFileException(file.strPath, nError);
}

// Puts the modification time back when asked to, and closes; false when the time could not be
// put back (only the file's owner may set it).
bool CTagWriter::Finish(SOpened& file) const {
    bool bTimesKept = true;
    if (m_bKeepTimes) {
        const struct timespec aTimes[2] = {{0, UTIME_OMIT}, file.st.st_mtim};
        bTimesKept = m_ops.Futimens(file.fd.Get(), aTimes) == 0;
    }
    if (m_ops.Close(file.fd.Release()) != 0) {
        throw CFileException(file.strPath, errno);
    }
    return bTimesKept;
}

STagWriteResult CTagWriter::Write(const std::string& strPath, const SFileIdentity& listed,
                                  const STagChanges& changes) const {
    SOpened file = Open(strPath, listed);
    if (file.eRefusal != EWriteStatus::Written) {
        return Outcome(file.eRefusal);
    }
    STagWriteResult result;
    result.m_block.m_identity = SFileIdentity::Of(file.st);
    result.m_block.m_bRead = file.tail.has_value();
    if (file.tail) {
        result.m_block.m_bytes = *file.tail;
    }
    const bool bHasTag = file.HasTag();
    const std::optional<CId3v1Tag::CBytes> bytes =
        changes.ApplyTo(bHasTag ? *file.tail : CId3v1Tag::Blank(), m_codec);
    if (!bytes) {
        return Outcome(EWriteStatus::NotEncodable);
    }
    if (changes.IsEmpty() || (bHasTag && *bytes == *file.tail)) {
        result.m_eStatus = EWriteStatus::Unchanged;
        return result;
    }
    WriteTail(file, !bHasTag, *bytes, bHasTag ? *file.tail : CId3v1Tag::CBytes{});

    result.m_eStatus = EWriteStatus::Written;
    result.m_block.m_identity.m_nFileSize = file.st.st_size + (bHasTag ? 0 : TAG_SIZE);
    result.m_block.m_bRead = true;
    result.m_block.m_bytes = *bytes;
    STagUndo undo;
    undo.m_strPath = strPath;
    undo.m_identity = result.m_block.m_identity;
    if (bHasTag) {
        undo.m_oldTag = *file.tail;
    }
    undo.m_newTag = *bytes;
    result.m_undo = std::move(undo);
    result.m_bTimesKept = Finish(file);
    return result;
}

STagWriteResult CTagWriter::Undo(const STagUndo& undo) const {
    SOpened file = Open(undo.m_strPath, undo.m_identity);
    if (file.eRefusal != EWriteStatus::Written) {
        return Outcome(file.eRefusal);
    }
    if (!file.tail || *file.tail != undo.m_newTag) {
        return Outcome(EWriteStatus::ChangedSinceListed);
    }
    STagWriteResult result;
    result.m_block.m_identity = SFileIdentity::Of(file.st);
    if (undo.m_oldTag) {
        WriteTail(file, false, *undo.m_oldTag, undo.m_newTag);
        result.m_block.m_bRead = true;
        result.m_block.m_bytes = *undo.m_oldTag;
    } else {
        const off_t nLength = file.st.st_size - TAG_SIZE;
        if (m_ops.Ftruncate(file.fd.Get(), nLength) != 0) {
            throw CFileException(undo.m_strPath, errno);
        }
        result.m_block.m_identity.m_nFileSize = nLength;
        if (nLength >= TAG_SIZE) {
            const ssize_t nRead = ReadAt(file.fd.Get(), result.m_block.m_bytes.data(),
                                         CId3v1Tag::SIZE, nLength - TAG_SIZE, m_ops);
            result.m_block.m_bRead = nRead == TAG_SIZE;
        }
    }
    result.m_eStatus = EWriteStatus::Written;
    result.m_bTimesKept = Finish(file);
    return result;
}
