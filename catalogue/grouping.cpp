// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/grouping.h"

#include "catalogue/sidebyside.h"
#include "catalogue/trackinfo.h"

#include <thread>

std::unique_ptr<CGrouping> CGrouping::Of(const CTrackList& arrTracks,
                                         const std::atomic<bool>& bStop) {
    auto pGrouping = std::make_unique<CGrouping>();
    if (!pGrouping->FileAll(arrTracks, bStop)) {
        return nullptr;
    }
    pGrouping->FinishFiling();
    (void)pGrouping->GetArtistsByName();
    return pGrouping;
}

// Tens of thousands of artists take the window tens of milliseconds to order by name, most of
// it folding the names: a grouping made aside brings its order along.
const std::vector<CArtistEntry*>& CGrouping::GetArtistsByName() const {
    if (m_bArtistsByNameMade) {
        return m_arrArtistsByName;
    }
    m_arrArtistsByName = SortedByName(m_arrArtists);
    m_bArtistsByNameMade = true;
    return m_arrArtistsByName;
}

// The files of an album follow one another in the catalogue: most records join the group the
// record before joined, which a comparison of two short texts finds without a lookup.
void CGrouping::FileByArtist(CTrackInfo* pTrack) {
    m_bArtistsByNameMade = false;
    m_artistIndex.GroupToFile(pTrack->GetArtist())->AddTrack(pTrack);
}

void CGrouping::FileByGenre(CTrackInfo* pTrack) {
    m_genreIndex.GroupToFile(pTrack->GetGenreName())->AddTrack(pTrack);
}

bool CGrouping::Refile(const CTrackList& arrTracks, const std::atomic<bool>& bStop) {
    // The groups stay, emptied, with their names and keys: a rebuild after an edit makes and
    // frees only the groups the edit made or emptied. Making and freeing them all took a large
    // catalogue's rebuild longer than filing the records.
    for (const auto& pArtist : m_arrArtists) {
        pArtist->m_arrTracks.clear();
    }
    for (const auto& pGenre : m_arrGenres) {
        pGenre->Empty();
    }
    return FileAll(arrTracks, bStop);
}

bool CGrouping::FileAll(const CTrackList& arrTracks, const std::atomic<bool>& bStop) {
    m_artistIndex.StartFiling();
    m_genreIndex.StartFiling();
    // The records' texts lie scattered over memory: those of the records a few places on are
    // asked for while the current one is filed.
    constexpr std::size_t AHEAD = 8;
    constexpr std::size_t STOP_LOOK = 4096; // records filed between looks at bStop
    const auto fileInto = [&arrTracks, &bStop, this](void (CGrouping::*pfnFile)(CTrackInfo*)) {
        for (std::size_t nTrack = 0; nTrack < arrTracks.size(); ++nTrack) {
            if (nTrack % STOP_LOOK == 0 && bStop) {
                return;
            }
            if (nTrack + AHEAD < arrTracks.size()) {
                arrTracks[nTrack + AHEAD]->PrefetchTexts();
            }
            (this->*pfnFile)(arrTracks[nTrack]);
        }
    };
    // The artist index and the genre index share nothing but the records they read: on a large
    // catalogue each is filed by a thread of its own.
    constexpr std::size_t PARALLEL_TRACKS = 50000;
    if (arrTracks.size() >= PARALLEL_TRACKS && std::thread::hardware_concurrency() >= 2) {
        RunSideBySide([&] { fileInto(&CGrouping::FileByGenre); },
                      [&] { fileInto(&CGrouping::FileByArtist); });
    } else {
        fileInto(&CGrouping::FileByArtist);
        fileInto(&CGrouping::FileByGenre);
    }
    return !bStop;
}

void CGrouping::FinishFiling() {
    m_bArtistsByNameMade = false; // artists left empty go
    m_artistIndex.KeepFiled();
    m_genreIndex.KeepFiled();
    for (const auto& pGenre : m_arrGenres) {
        pGenre->KeepFiled();
    }
    TrimGroups();
}

void CGrouping::TrimGroups() {
    for (const auto& pArtist : m_arrArtists) {
        TrimTrackList(pArtist->m_arrTracks);
    }
    for (const auto& pGenre : m_arrGenres) {
        TrimTrackList(pGenre->m_arrTracks);
    }
}

// The lists grow a record at a time, and a large library would keep a third of them unused; but
// trimming copies a list into new memory, which for the record list of a million files takes the
// window tens of milliseconds to free a few hundred kilobytes, and for the hundred thousand lists
// of its groups as long again to free a few bytes each: only a list with much room unused is
// trimmed.
void TrimTrackList(CTrackList& arrTracks) {
    constexpr std::size_t SMALL_ROOM = 512; // records
    const std::size_t nUnused = arrTracks.capacity() - arrTracks.size();
    if (nUnused > SMALL_ROOM && nUnused > arrTracks.capacity() / 8) {
        arrTracks.shrink_to_fit();
    }
}
