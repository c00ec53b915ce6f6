#pragma once

#include "catalogue/id3v1tag.h"

#include <cstdint>
#include <string>

// What a scan reads of one file: its length less 128 and its last 128 bytes.
class CTagBlock {
public:
    std::int64_t m_nSize = 0;
    bool m_bRead = false; // m_bytes holds the file's last 128 bytes
    CId3v1Tag::CBytes m_bytes{};

    // Reads a regular file of at least 128 bytes with open, fstat, one pread and close. Anything
    // else (missing, unreadable, a folder, a FIFO, a device, a short file) gives size 0, unread.
    // nDirFd is a descriptor of the folder holding pszName, or -1 when pszName is a whole path.
    static CTagBlock Read(int nDirFd, const char* pszName);

    bool HasTag() const { return m_bRead && CId3v1Tag::HasMarker(m_bytes.data()); }
};
