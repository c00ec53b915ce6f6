// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>
#include <string>

// What the document needs of the program around it: the scan's pattern, where to remember the
// scanned folder, and ways to show that a scan is running.
class CCatalogueHost {
public:
    virtual ~CCatalogueHost() = default;

    virtual std::string GetFileExt() const = 0;
    virtual void WriteFilePath(const std::string& strFolder) = 0;

    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}
    // Called during a scan with the number of files read so far, every 20 ms or so, and once
    // more when the files are filed, before the views rebuild. Returning false stops the scan.
    virtual bool OnScanProgress(std::size_t nFiles) {
        (void)nFiles;
        return true;
    }
};
