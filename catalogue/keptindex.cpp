// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/keptindex.h"

#include "catalogue/trackinfo.h"

#include <algorithm>

CKeptIndex::CKeptIndex(const CTrackList& arrRecords, std::int64_t nTrustedBefore) {
    m_arrFiles.reserve(arrRecords.size());
    m_arrTrusted.reserve(arrRecords.size());
    m_arrNameEnds.reserve(arrRecords.size());
    std::size_t nFolderBegin = 0;
    for (std::size_t i = 0; i < arrRecords.size(); ++i) {
        const CTrackInfo& track = *arrRecords[i];
        m_arrFiles.push_back({track.GetIdentity(), track.GetStamp()});
        // A file never read (unreadable, too short, not a file) is looked at again: a fresh scan
        // would try it, and count it when it still cannot be opened.
        m_arrTrusted.push_back(track.WasRead() && track.GetStamp().m_nChanged < nTrustedBefore);
        m_strNames += track.GetFileName();
        m_arrNameEnds.push_back(m_strNames.size());
        const bool bFolderEnds =
            i + 1 == arrRecords.size() || arrRecords[i + 1]->GetLocation() != track.GetLocation();
        if (bFolderEnds) {
            m_mapFolders[track.GetLocation()] = {nFolderBegin, i + 1};
            nFolderBegin = i + 1;
        }
    }
}

std::string_view CKeptIndex::NameAt(std::size_t nIndex) const {
    const std::size_t nBegin = nIndex == 0 ? 0 : m_arrNameEnds[nIndex - 1];
    return std::string_view(m_strNames).substr(nBegin, m_arrNameEnds[nIndex] - nBegin);
}

const SKnownFile* CKeptIndex::Find(const std::string& strLocation, std::string_view strName) const {
    const auto it = m_mapFolders.find(strLocation);
    if (it == m_mapFolders.end()) {
        return nullptr;
    }
    // Names in a folder are sorted byte for byte, as std::string_view compares them.
    std::size_t nLow = it->second.first;
    std::size_t nHigh = it->second.second;
    while (nLow < nHigh) {
        const std::size_t nMiddle = nLow + (nHigh - nLow) / 2;
        if (NameAt(nMiddle) < strName) {
            nLow = nMiddle + 1;
        } else {
            nHigh = nMiddle;
        }
    }
    if (nLow == it->second.second || NameAt(nLow) != strName || !m_arrTrusted[nLow]) {
        return nullptr;
    }
    return &m_arrFiles[nLow];
}
