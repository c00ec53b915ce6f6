// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/filedescriptor.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class CFileOps;

// What a scan sees of one folder.
struct SFolderListing {
    struct SEntry {
        std::string strName;
        unsigned char nType; // as the folder lists it: DT_REG, DT_LNK, DT_UNKNOWN...
    };

    std::shared_ptr<const CFileDescriptor> pFd; // null when the folder could not be opened
    int nError = 0;                             // errno of the open that failed
    dev_t nDevice = 0;
    ino_t nInode = 0;
    std::vector<SEntry> arrFiles;        // the entries the pattern takes, in name order
    std::vector<std::string> arrFolders; // the sub-folders, in name order; links count
};

// Opens the folder strName below the folder open as nAt (AT_FDCWD for a path) and lists it into
// listing, through arrBuffer, which one thread keeps from folder to folder.
void ListFolder(CFileOps& ops, int nAt, const std::string& strName, const std::string& strPattern,
                std::vector<std::uint64_t>& arrBuffer, SFolderListing& listing);
