// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/artistentry.h"
#include "catalogue/casefold.h"
#include "catalogue/genreentry.h"
#include "catalogue/groupindex.h"
#include "catalogue/tracklist.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The catalogue's records by artist and by genre, and within each genre by artist: the groups in
// the order of their first record, their records in catalogue order. It reads the records' texts
// and never changes them.
class CGrouping {
public:
    using Artists = std::vector<std::unique_ptr<CArtistEntry>>;
    using Genres = std::vector<std::unique_ptr<CGenreEntry>>;

    CGrouping() = default;
    CGrouping(const CGrouping&) = delete;
    CGrouping& operator=(const CGrouping&) = delete;

    // A grouping of every record of the list; null when bStop turned true before its end.
    static std::unique_ptr<CGrouping> Of(const CTrackList& arrTracks,
                                         const std::atomic<bool>& bStop);

    const Artists& GetArtists() const { return m_arrArtists; }
    const Genres& GetGenres() const { return m_arrGenres; }
    // The artists by name, letter case left out, ties broken by the exact name: the tree's
    // order. Made by Of, which runs beside the window for a large catalogue, or when first asked
    // for after the artists changed.
    const std::vector<CArtistEntry*>& GetArtistsByName() const;

    CArtistEntry* FindArtist(std::string_view strName) const { return m_artistIndex.Find(strName); }
    CArtistEntry* AddArtist(std::string strName) {
        m_bArtistsByNameMade = false;
        return m_artistIndex.Add(std::move(strName));
    }
    CGenreEntry* FindGenre(std::string_view strName) const { return m_genreIndex.Find(strName); }
    CGenreEntry* AddGenre(std::string strName) { return m_genreIndex.Add(std::move(strName)); }

    void FileByArtist(CTrackInfo* pTrack);
    void FileByGenre(CTrackInfo* pTrack);
    // Files every record of the list anew into groups that keep their names; false, the groups
    // left part-filed, when bStop turned true before the end.
    bool Refile(const CTrackList& arrTracks, const std::atomic<bool>& bStop);
    // Ends filing: drops the groups left empty, orders the others by their first record, and
    // trims the lists.
    void FinishFiling();

    void ClearArtists() {
        m_bArtistsByNameMade = false;
        m_artistIndex.Clear();
    }
    void ClearGenres() { m_genreIndex.Clear(); }

private:
    bool FileAll(const CTrackList& arrTracks, const std::atomic<bool>& bStop);
    void TrimGroups();

    Artists m_arrArtists;
    Genres m_arrGenres;
    CGroupIndex<CArtistEntry> m_artistIndex{m_arrArtists};
    CGroupIndex<CGenreEntry> m_genreIndex{m_arrGenres};
    mutable std::vector<CArtistEntry*> m_arrArtistsByName;
    mutable bool m_bArtistsByNameMade = false;
};

// Groups by name, letter case left out, ties broken by the exact name: the tree's order. Each
// name is folded once, not at every comparison.
template <typename TGroup>
std::vector<TGroup*> SortedByName(const std::vector<std::unique_ptr<TGroup>>& arrGroups) {
    std::vector<std::pair<std::string, TGroup*>> arrNamed;
    arrNamed.reserve(arrGroups.size());
    for (const std::unique_ptr<TGroup>& pGroup : arrGroups) {
        arrNamed.emplace_back(FoldText(pGroup->GetName()), pGroup.get());
    }
    std::sort(arrNamed.begin(), arrNamed.end(), [](const auto& a, const auto& b) {
        return IsBeforeFolded(a.first, a.second->GetName(), b.first, b.second->GetName());
    });
    std::vector<TGroup*> arrSorted;
    arrSorted.reserve(arrNamed.size());
    for (const auto& named : arrNamed) {
        arrSorted.push_back(named.second);
    }
    return arrSorted;
}

// Frees a large list's unused room when there is much of it.
void TrimTrackList(CTrackList& arrTracks);
