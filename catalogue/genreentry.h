// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/artistentry.h"
#include "catalogue/groupindex.h"
#include "catalogue/tracklist.h"

#include <memory>
#include <string>
#include <string_view>
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

    CArtistEntry* FindArtist(std::string_view strName) const { return m_artistIndex.Find(strName); }
    CArtistEntry* AddArtist(std::string strName) { return m_artistIndex.Add(std::move(strName)); }

    const std::string m_strName;
    CTrackList m_arrTracks;
    std::vector<std::unique_ptr<CArtistEntry>> m_arrArtists; // in order of creation

private:
    CGroupIndex<CArtistEntry> m_artistIndex{m_arrArtists};
};
