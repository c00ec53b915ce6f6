// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagwriter.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/fileexception.h"
#include "catalogue/id3v2edit.h"
#include "catalogue/posixio.h"
#include "catalogue/tagchanges.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <vector>

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
    : CTagWriter(ops, std::move(codec), SOptions{bKeepTimes, false}) {
}

CTagWriter::CTagWriter(CFileOps& ops, CTagCodec codec, const SOptions& options)
    : m_ops(ops), m_codec(std::move(codec)), m_options(options) {
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
    // A writer of ours that held the lock may have put a new copy in the file's place (an ID3v2
    // tag grown past its room): the file opened is no longer the one the name leads to.
    struct stat stNamed;
    if (m_ops.FstatAt(AT_FDCWD, strPath.c_str(), &stNamed) != 0 ||
        SFileIdentity::Of(stNamed) != SFileIdentity::Of(file.st)) {
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
    if (m_options.m_bKeepTimes) {
        const struct timespec aTimes[2] = {{0, UTIME_OMIT}, file.st.st_mtim};
        bTimesKept = m_ops.Futimens(file.fd.Get(), aTimes) == 0;
    }
    if (m_ops.Close(file.fd.Release()) != 0) {
        throw CFileException(file.strPath, errno);
    }
    return bTimesKept;
}

std::optional<std::string> CTagWriter::ReadId3v2(const SOpened& file) const {
    char aHeader[10];
    if (file.st.st_size < static_cast<off_t>(sizeof aHeader) ||
        ReadAt(file.fd.Get(), aHeader, sizeof aHeader, 0, m_ops) != sizeof aHeader) {
        return std::nullopt;
    }
    const std::optional<std::size_t> nSize =
        CId3v2Edit::TagSize(std::string_view(aHeader, sizeof aHeader));
    // A tag that claims more than the file holds before its ID3v1 tag is broken: it is read as
    // what it is, cut short, and refused as such.
    const off_t nRoom = file.st.st_size - (file.HasTag() ? TAG_SIZE : 0);
    if (!nSize) {
        return std::nullopt;
    }
    std::string strTag(std::min<std::size_t>(*nSize, static_cast<std::size_t>(nRoom)), '\0');
    const ssize_t nRead = ReadAt(file.fd.Get(), strTag.data(), strTag.size(), 0, m_ops);
    if (nRead != static_cast<ssize_t>(strTag.size())) {
        throw CFileException(file.strPath, nRead < 0 ? errno : EIO);
    }
    return strTag;
}

void CTagWriter::WriteHead(const SOpened& file, const std::string& strHead,
                           const std::string& strPrevious) const {
    std::size_t nWritten = 0;
    const int nError =
        WriteAllAt(file.fd.Get(), strHead.data(), strHead.size(), 0, m_ops, &nWritten);
    if (nError != 0) {
        WriteAllAt(file.fd.Get(), strPrevious.data(), nWritten, 0, m_ops);
        throw CFileException(file.strPath, nError);
    }
}

namespace {

std::string FolderOf(const std::string& strPath) {
    const std::size_t nSlash = strPath.rfind('/');
    return nSlash == std::string::npos ? std::string(".") : strPath.substr(0, nSlash + 1);
}

// A copy being written beside a file: removed unless it was renamed over the file.
class CCopyFile {
public:
    CCopyFile(CFileOps& ops, const std::string& strFolder) : m_ops(ops) {
        std::random_device random;
        for (int nTry = 0; nTry < 16 && m_nFd < 0; ++nTry) {
            char szName[32];
            std::snprintf(szName, sizeof szName, ".tunebrowse-%08x.tmp", random());
            m_strPath = strFolder + (strFolder.back() == '/' ? "" : "/") + szName;
            m_nFd = ops.CreateAt(AT_FDCWD, m_strPath.c_str(), S_IRUSR | S_IWUSR);
            if (m_nFd < 0 && errno != EEXIST) {
                break;
            }
        }
    }
    ~CCopyFile() {
        if (m_nFd >= 0) {
            const int nError = errno;
            m_ops.Close(m_nFd);
            if (!m_bKept) {
                m_ops.Unlink(m_strPath.c_str());
            }
            errno = nError;
        }
    }
    CCopyFile(const CCopyFile&) = delete;
    CCopyFile& operator=(const CCopyFile&) = delete;

    int Get() const { return m_nFd; }
    const std::string& Path() const { return m_strPath; }
    void Keep() { m_bKept = true; }

private:
    CFileOps& m_ops;
    std::string m_strPath;
    int m_nFd = -1;
    bool m_bKept = false;
};

constexpr std::size_t COPY_CHUNK = std::size_t{1} << 20;

// The bytes of nFrom from nOffset on, nCount of them, appended to nTo at nAt; 0 or the error.
int CopyBytes(int nFrom, off_t nOffset, std::size_t nCount, int nTo, off_t nAt, CFileOps& ops) {
    std::vector<char> buffer(std::min(nCount, COPY_CHUNK));
    while (nCount > 0) {
        const std::size_t nChunk = std::min(nCount, buffer.size());
        const ssize_t nRead = ReadAt(nFrom, buffer.data(), nChunk, nOffset, ops);
        if (nRead != static_cast<ssize_t>(nChunk)) {
            return nRead < 0 ? errno : EIO;
        }
        if (const int nError = WriteAllAt(nTo, buffer.data(), nChunk, nAt, ops)) {
            return nError;
        }
        nOffset += static_cast<off_t>(nChunk);
        nAt += static_cast<off_t>(nChunk);
        nCount -= nChunk;
    }
    return 0;
}

} // namespace

bool CTagWriter::Rewrite(SOpened& file, const SEnds& ends, STagWriteResult& result) const {
    // A rename parts a file from its other names, which would keep the old bytes.
    if (file.st.st_nlink > 1) {
        result.m_strWhyNot = "its ID3v2 tag has no room left, and the file has other names (hard "
                             "links) that writing it anew would part from it";
        return false;
    }
    CCopyFile copy(m_ops, FolderOf(file.strPath));
    const int nCopy = copy.Get();
    if (nCopy < 0) {
        throw CFileException(file.strPath, errno);
    }
    const std::size_t nMiddle =
        static_cast<std::size_t>(file.st.st_size) - ends.nOldHead - ends.nOldTail;
    const off_t nHead = static_cast<off_t>(ends.strHead.size());
    int nError = WriteAllAt(nCopy, ends.strHead.data(), ends.strHead.size(), 0, m_ops);
    if (nError == 0) {
        nError = CopyBytes(file.fd.Get(), static_cast<off_t>(ends.nOldHead), nMiddle, nCopy, nHead,
                           m_ops);
    }
    if (nError == 0) {
        nError = WriteAllAt(nCopy, ends.strTail.data(), ends.strTail.size(),
                            nHead + static_cast<off_t>(nMiddle), m_ops);
    }
    if (nError != 0) {
        throw CFileException(file.strPath, nError);
    }
    // The owner and group first: changing them may clear the set-id bits the mode then sets.
    if (m_ops.Fchown(nCopy, file.st.st_uid, file.st.st_gid) != 0) {
        result.m_strWhyNot = "its ID3v2 tag has no room left, and writing the file anew would "
                             "change its owner or group";
        return false;
    }
    if (m_ops.Fchmod(nCopy, file.st.st_mode & 07777) != 0) {
        throw CFileException(file.strPath, errno);
    }
    if (m_options.m_bKeepTimes) {
        const struct timespec aTimes[2] = {file.st.st_atim, file.st.st_mtim};
        result.m_bTimesKept = m_ops.Futimens(nCopy, aTimes) == 0;
    }
    if (m_ops.Fsync(nCopy) != 0) {
        throw CFileException(file.strPath, errno);
    }
    // The lock keeps our own writers out; another program may still have put a file in its
    // place meanwhile, which the rename would throw away.
    struct stat stNow;
    if (m_ops.FstatAt(AT_FDCWD, file.strPath.c_str(), &stNow) != 0 ||
        SFileIdentity::Of(stNow) != SFileIdentity::Of(file.st)) {
        result.m_eStatus = EWriteStatus::ChangedSinceListed;
        return false;
    }
    struct stat stCopy;
    if (m_ops.Fstat(nCopy, &stCopy) != 0 ||
        m_ops.Rename(copy.Path().c_str(), file.strPath.c_str()) != 0) {
        throw CFileException(file.strPath, errno);
    }
    copy.Keep();
    result.m_block.m_identity = SFileIdentity::Of(stCopy);
    // The old file goes with its descriptor, and with it the lock: a writer of ours that waited
    // finds the name leads elsewhere now.
    m_ops.Close(file.fd.Release());
    return true;
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
    // The ID3v2 tag first: when it cannot be written, neither is the ID3v1 tag.
    std::optional<std::string> strOldId3v2;
    std::optional<std::string> strNewId3v2;
    if (m_options.m_bAlsoId3v2 && !changes.IsEmpty()) {
        strOldId3v2 = ReadId3v2(file);
        if (strOldId3v2) {
            strNewId3v2 = CId3v2Edit::Apply(*strOldId3v2, changes, m_codec, result.m_strWhyNot);
            if (!strNewId3v2) {
                result.m_eStatus = EWriteStatus::Id3v2NotWritten;
                return result;
            }
        }
    }
    const bool bId3v1 = !changes.IsEmpty() && !(bHasTag && *bytes == *file.tail);
    const bool bId3v2 = strNewId3v2 && *strNewId3v2 != *strOldId3v2;
    if (!bId3v1 && !bId3v2) {
        result.m_eStatus = EWriteStatus::Unchanged;
        return result;
    }
    STagUndo undo;
    undo.m_strPath = strPath;
    if (bHasTag) {
        undo.m_oldTag = *file.tail;
    }
    undo.m_newTag = *bytes;
    if (bId3v2) {
        undo.m_strOldId3v2 = strOldId3v2;
        undo.m_strNewId3v2 = strNewId3v2;
    }
    result.m_eStatus = EWriteStatus::Written;
    result.m_block.m_identity.m_nFileSize = file.st.st_size + (bHasTag ? 0 : TAG_SIZE);
    if (m_options.m_bDryRun) {
        result.m_block.m_bRead = true;
        result.m_block.m_bytes = *bytes;
        result.m_undo = std::move(undo);
        return result;
    }
    if (bId3v2 && strNewId3v2->size() != strOldId3v2->size()) {
        SEnds ends;
        ends.strHead = *strNewId3v2;
        ends.nOldHead = strOldId3v2->size();
        ends.strTail.assign(bytes->begin(), bytes->end());
        ends.nOldTail = bHasTag ? CId3v1Tag::SIZE : 0;
        if (!Rewrite(file, ends, result)) {
            if (result.m_eStatus == EWriteStatus::Written) {
                result.m_eStatus = EWriteStatus::Id3v2NotWritten;
            }
            return result;
        }
    } else {
        if (bId3v2) {
            WriteHead(file, *strNewId3v2, *strOldId3v2);
        }
        try {
            WriteTail(file, !bHasTag, *bytes, bHasTag ? *file.tail : CId3v1Tag::CBytes{});
        } catch (const CFileException&) {
            if (bId3v2) {
                WriteAllAt(file.fd.Get(), strOldId3v2->data(), strOldId3v2->size(), 0, m_ops);
            }
            throw;
        }
        result.m_bTimesKept = Finish(file);
    }
    result.m_block.m_bRead = true;
    result.m_block.m_bytes = *bytes;
    undo.m_identity = result.m_block.m_identity;
    result.m_undo = std::move(undo);
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
    if (undo.m_strNewId3v2 && ReadId3v2(file) != undo.m_strNewId3v2) {
        return Outcome(EWriteStatus::ChangedSinceListed);
    }
    STagWriteResult result;
    result.m_block.m_identity = SFileIdentity::Of(file.st);
    if (undo.m_strNewId3v2 && undo.m_strOldId3v2->size() != undo.m_strNewId3v2->size()) {
        SEnds ends;
        ends.strHead = *undo.m_strOldId3v2;
        ends.nOldHead = undo.m_strNewId3v2->size();
        if (undo.m_oldTag) {
            ends.strTail.assign(undo.m_oldTag->begin(), undo.m_oldTag->end());
        }
        ends.nOldTail = CId3v1Tag::SIZE;
        if (!Rewrite(file, ends, result)) {
            STagWriteResult refused =
                Outcome(result.m_eStatus == EWriteStatus::Written ? EWriteStatus::NotWritable
                                                                  : result.m_eStatus);
            refused.m_strWhyNot = result.m_strWhyNot;
            return refused;
        }
        result.m_block.m_bRead = undo.m_oldTag.has_value();
        if (undo.m_oldTag) {
            result.m_block.m_bytes = *undo.m_oldTag;
        } else if (result.m_block.m_identity.m_nFileSize >= TAG_SIZE) {
            result.m_block = CTagBlock::Read(-1, undo.m_strPath.c_str(), m_ops);
        }
        result.m_eStatus = EWriteStatus::Written;
        return result;
    }
    if (undo.m_strNewId3v2) {
        WriteHead(file, *undo.m_strOldId3v2, *undo.m_strNewId3v2);
    }
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
