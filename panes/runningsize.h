// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tracklist.h"

#include <cstddef>
#include <cstdint>

// The total size of the first records of a list that only grows at its end, as the lists of a
// scan do: each look reads only the records added since the last. Walking a million records for
// every batch of a scan held the window several milliseconds each time.
class CRunningSize {
public:
    // The size of the list's first nCount records.
    std::int64_t Of(const CTrackList& arrTracks, std::size_t nCount);
    // The records counted may have changed, or the list may hold others: the next look reads them
    // all again.
    void Forget() { m_pList = nullptr; }

private:
    const CTrackList* m_pList = nullptr;
    const CTrackInfo* m_pFirst = nullptr; // a list emptied and filled again starts elsewhere
    std::size_t m_nCounted = 0;
    std::int64_t m_nBytes = 0;
};
