// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/folderlisting.h"

#include "catalogue/posixio.h"
#include "catalogue/wildcard.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>
#include <utility>

// The entries sorted by name, byte for byte, so that a catalogue does not depend on the order a
// file system happens to list in. Read with getdents64 on the folder's own descriptor: no second
// descriptor, no extra system calls per folder.
void ListFolder(CFileOps& ops, int nAt, const std::string& strName, const std::string& strPattern,
                std::vector<std::uint64_t>& arrBuffer, SFolderListing& listing) {
    auto pFd = std::make_shared<const CFileDescriptor>(
        OpenWaitingForDescriptor([&] { return ops.OpenFolderAt(nAt, strName.c_str()); }));
    struct stat st;
    if (!pFd->IsValid() || ::fstat(pFd->Get(), &st) != 0) {
        listing.nError = errno;
        return;
    }
    listing.pFd = std::move(pFd);
    listing.nDevice = st.st_dev;
    listing.nInode = st.st_ino;
    const int nFd = listing.pFd->Get();
    std::vector<SFolderListing::SEntry> arrEntries;
    for (;;) {
        const ssize_t nBytes =
            ops.ListFolder(nFd, arrBuffer.data(), arrBuffer.size() * sizeof(arrBuffer[0]));
        if (nBytes <= 0) {
            break;
        }
        const char* pBytes = reinterpret_cast<const char*>(arrBuffer.data());
        for (ssize_t nPos = 0; nPos < nBytes;) {
            const auto* pEntry = reinterpret_cast<const struct dirent64*>(pBytes + nPos);
            const std::string_view strEntry(pEntry->d_name);
            if (strEntry != "." && strEntry != "..") {
                arrEntries.push_back({std::string(strEntry), pEntry->d_type});
            }
            nPos += pEntry->d_reclen;
        }
    }
    std::sort(arrEntries.begin(), arrEntries.end(),
              [](const SFolderListing::SEntry& a, const SFolderListing::SEntry& b) {
                  return a.strName < b.strName;
              });
    for (const SFolderListing::SEntry& entry : arrEntries) {
        // Links count as what they point to. A folder named like its parent is entered as any
        // other (a self-titled album): cycles are caught by device and inode, not by name.
        bool bFolder = entry.nType == DT_DIR;
        if (entry.nType == DT_LNK || entry.nType == DT_UNKNOWN) {
            bFolder = ::fstatat(nFd, entry.strName.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (bFolder) {
            listing.arrFolders.push_back(entry.strName);
        }
    }
    for (SFolderListing::SEntry& entry : arrEntries) {
        if (MatchWildcard(strPattern, entry.strName)) {
            listing.arrFiles.push_back(std::move(entry));
        }
    }
}
