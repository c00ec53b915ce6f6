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

    CArtistEntry* FindArtist(std::string_view strName) const;
    CArtistEntry* AddArtist(std::string strName);

    const std::string m_strName;
    CTrackList m_arrTracks;
    std::vector<std::unique_ptr<CArtistEntry>> m_arrArtists; // in order of creation

private:
    // Keys view the sub-groups' own names.
    std::unordered_map<std::string_view, CArtistEntry*> m_mapArtists;
    CArtistEntry* m_pLastArtist = nullptr; // the sub-group the last record joined
};
