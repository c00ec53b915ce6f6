// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/id3v1tag.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

class CFileOps;

// What a path must still name for a write to go there: the file that was listed, as long as it
// is (a tag appended by another program since changes it). Through a symbolic link this is the
// target's identity.
struct SFileIdentity {
    std::uint32_t m_nDevice = 0; // as DeviceOf gives it
    ino_t m_nInode = 0;
    std::int64_t m_nFileSize = -1; // -1: no regular file was found

    bool operator==(const SFileIdentity& other) const {
        return m_nDevice == other.m_nDevice && m_nInode == other.m_nInode &&
               m_nFileSize == other.m_nFileSize;
    }
    bool operator!=(const SFileIdentity& other) const { return !(*this == other); }
    bool IsFile() const { return m_nFileSize >= 0; }

    static SFileIdentity Of(const struct stat& st);
    // A device number in the 32 bits a record keeps of it, the same from every look at the file.
    // Linux's own device numbers are 32 bits, and stat gives them as they are: the fold keeps
    // each of them, and so the numbers a kept catalogue holds, unchanged.
    static std::uint32_t DeviceOf(std::uint64_t nDevice) {
        return static_cast<std::uint32_t>(nDevice ^ (nDevice >> 32));
    }
};

// When a file's content or metadata last changed, to the nanosecond. Programs that keep the
// modification time over an edit (tag editors often do, ours included) still move the change
// time, which no program can set: together they tell a file that may differ from when it was
// read.
struct SFileStamp {
    std::int64_t m_nModified = 0; // nanoseconds since the epoch
    std::int64_t m_nChanged = 0;

    bool operator==(const SFileStamp& other) const {
        return m_nModified == other.m_nModified && m_nChanged == other.m_nChanged;
    }
    bool operator!=(const SFileStamp& other) const { return !(*this == other); }

    static SFileStamp Of(const struct stat& st);
};

// A file as it was when read: one that still looks the same need not be read again.
struct SKnownFile {
    SFileIdentity m_identity;
    SFileStamp m_stamp;

    // Same size and times to the nanosecond. The device and inode are left out: some file
    // servers (FUSE file systems without their own inode numbers, CIFS without server inode
    // numbers) number files anew whenever they are looked up again, and a file swapped for
    // another moves the change time anyway.
    bool HasSameContent(const struct stat& st) const;
};

// What a scan reads of one file: its identity and its last 128 bytes.
class CTagBlock {
public:
    SFileIdentity m_identity;
    SFileStamp m_stamp;   // of the same look as m_identity
    bool m_bRead = false; // m_bytes holds the file's last 128 bytes
    CId3v1Tag::CBytes m_bytes{};
    int m_nOpenError = 0; // errno of an open that failed

    // Opens only what the path leads to when that is a regular file, so that a name that
    // matches the pattern but leads to a device or a FIFO is never opened; then fstat, one
    // pread and close. A short file (under 128 bytes) keeps its identity, unread; anything else
    // (missing, a folder, a FIFO, a device, a file swapped between the look and the open) is no
    // file at all. nDirFd is a descriptor of the folder holding pszName, or -1 when pszName is a
    // whole path. A name its folder's listing gives as a regular file needs no look before the
    // open: on a warm cache that look would cost a quarter of the scan.
    static CTagBlock Read(int nDirFd, const char* pszName, CFileOps& ops,
                          bool bListedAsFile = false);
    // The same through the plain system calls.
    static CTagBlock Read(int nDirFd, const char* pszName);

    bool HasTag() const { return m_bRead && CId3v1Tag::HasMarker(m_bytes.data()); }

private:
    static CTagBlock LookedAt(int nAt, const char* pszName, CFileOps& ops);

public:
    // The file's length less the tag's 128 bytes, or 0 when it was not read: the size shown.
    std::int64_t GetAudioSize() const {
        return m_bRead ? m_identity.m_nFileSize - static_cast<std::int64_t>(CId3v1Tag::SIZE) : 0;
    }
};
