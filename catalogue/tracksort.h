// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tracklist.h"

#include <atomic>
#include <cstdint>
#include <vector>

// The orders of a track list: by one of ten keys, either way, rows that compare equal keeping
// their order in the list.
class CTrackSort {
public:
    // Sort keys as stored in the "SortingColumn" setting: do not renumber. The sign gives the
    // direction; 0 and anything beyond 10 in either direction leave the rows unordered.
    enum ESortKey : int {
        KEY_NONE = 0,
        KEY_FILE = 1,
        KEY_ARTIST = 2,
        KEY_TITLE = 3,
        KEY_LOCATION = 4,
        KEY_SIZE = 5,
        KEY_ALBUM = 6,
        KEY_GENRE = 7,
        KEY_DATE = 8,
        KEY_COMMENT = 9,
        KEY_TRACK = 10, // by number, files without one first
    };

    static bool IsOrderingKey(int nSortKey);

    // The order itself: negative when pFirst goes first, positive when pSecond goes first, 0 when
    // equal. SortedOrder gives what a stable sort with this comparison gives, faster.
    static int CompareTracks(const CTrackInfo* pFirst, const CTrackInfo* pSecond, int nSortKey);

    // The rows' new order under an ordering key: arrOrder[new row] = old row. A sort on another
    // thread is given pStop: once it turns true the sort lets go of the records within a few
    // thousand rows and ends with an order of no use.
    static std::vector<std::uint32_t> SortedOrder(const CTrackList& arrRows, int nSortKey,
                                                  const std::atomic<bool>* pStop = nullptr);
};
