// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/artistentry.h"
#include "catalogue/tracklist.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One genre group: its records, and the artists among them as sub-groups holding only this
// genre's records. The sub-groups belong to the genre group.
class CGenreEntry {
public:
    explicit CGenreEntry(std::string strName) : m_strName(std::move(strName)) {}
    CGenreEntry(const CGenreEntry&) = delete;
    CGenreEntry& operator=(const CGenreEntry&) = delete;

    const std::string& GetName() const { return m_strName; }

    // Appends the record and files it under its artist's sub-group.
    void AddTrack(CTrackInfo* pTrack);
    // Empties the group and its sub-groups, which stay with their names to be filed into again.
    void Empty();
    // Drops the sub-groups no record was filed into since Empty(), and puts the others in the
    // order of their first record, as filing into a new group would have made them.
    void KeepFiled();

    CArtistEntry* FindArtist(std::string_view strName) const;
    CArtistEntry* AddArtist(std::string strName);

    const std::string m_strName;
    CTrackList m_arrTracks;
    std::vector<std::unique_ptr<CArtistEntry>> m_arrArtists; // in order of creation

private:
    // Keys view the sub-groups' own names.
    std::unordered_map<std::string_view, CArtistEntry*> m_mapArtists;
    CArtistEntry* m_pLastArtist = nullptr; // the sub-group the last record joined
    std::vector<CArtistEntry*> m_arrFiled; // sub-groups in the order of their first record
};

// Keeps the groups that records were filed into, in the order of their first record (arrFiled,
// which this empties), and drops the others with their names' keys.
template <typename TEntry>
void KeepFiledGroups(std::vector<std::unique_ptr<TEntry>>& arrGroups,
                     std::vector<TEntry*>& arrFiled,
                     std::unordered_map<std::string_view, TEntry*>& mapByName) {
    std::vector<std::unique_ptr<TEntry>> arrKept;
    arrKept.reserve(arrFiled.size()); // nothing below throws
    for (std::unique_ptr<TEntry>& pGroup : arrGroups) {
        if (pGroup->m_arrTracks.empty()) {
            mapByName.erase(pGroup->GetName());
        } else {
            pGroup.release(); // owned again from arrFiled
        }
    }
    for (TEntry* pGroup : arrFiled) {
        arrKept.emplace_back(pGroup);
    }
    arrGroups = std::move(arrKept);
    arrFiled.clear();
    arrFiled.shrink_to_fit();
}
