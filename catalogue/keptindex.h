// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagblock.h"
#include "catalogue/tracklist.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class CTrackInfo;

// What a check of a kept catalogue against the disk looks up for each file it lists: the file
// as the kept record saw it, found by its folder and name. It copies what it needs of the
// records, so that the check reads it on its own thread while the window's thread changes the
// records themselves.
class CKeptIndex {
public:
    // Records whose file changed at or after nTrustedBefore (nanoseconds since the epoch) are
    // read again whatever they look like: a change in the same tick of the clock as the read
    // leaves the times as they were.
    CKeptIndex(const CTrackList& arrRecords, std::int64_t nTrustedBefore);

    // The file at position nIndex of the records, or null when it is not there or must be read
    // again.
    const SKnownFile* Find(const std::string& strLocation, std::string_view strName) const;
    std::size_t IndexOf(const SKnownFile* pFile) const {
        return static_cast<std::size_t>(pFile - m_arrFiles.data());
    }
    std::size_t GetCount() const { return m_arrFiles.size(); }

private:
    std::string_view NameAt(std::size_t nIndex) const;

    std::vector<SKnownFile> m_arrFiles;
    std::vector<bool> m_arrTrusted;
    std::string m_strNames;                 // the file names end to end
    std::vector<std::size_t> m_arrNameEnds; // where each ends in m_strNames
    // Each folder's records follow one another, in name order, as a scan makes them.
    std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> m_mapFolders;
};
