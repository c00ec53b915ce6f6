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
    using Artists = std::vector<std::unique_ptr<CArtistEntry>>;

    explicit CGenreEntry(std::string strName) : m_strName(std::move(strName)) {}
    CGenreEntry(const CGenreEntry&) = delete;
    CGenreEntry& operator=(const CGenreEntry&) = delete;

    const std::string& GetName() const { return m_strName; }

    // Appends the record, and files it under its artist once the artists were asked for.
    void AddTrack(CTrackInfo* pTrack);
    // Empties the group; its artists are made again when next asked for.
    void Empty();
    // Drops the sub-groups no record was filed into since they were made, and puts the others in
    // the order of their first record, as filing into a new group would have made them.
    void KeepFiled();

    // The artists in the order of their first record. They are made when first asked for, on
    // the document's thread: most genres of a large catalogue are never opened, and filing
    // every record under a genre's artist too took a regrouping nearly as long again.
    const Artists& GetArtists() const;
    CArtistEntry* FindArtist(std::string_view strName) const;

    const std::string m_strName;
    CTrackList m_arrTracks;

private:
    mutable Artists m_arrArtists;
    mutable CGroupIndex<CArtistEntry> m_artistIndex{m_arrArtists};
    mutable bool m_bArtistsMade = false;
};
