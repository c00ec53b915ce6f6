// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/runningsize.h"

#include "catalogue/trackinfo.h"

std::int64_t CRunningSize::Of(const CTrackList& arrTracks, std::size_t nCount) {
    const CTrackInfo* pFirst = arrTracks.empty() ? nullptr : arrTracks.front();
    if (m_pList != &arrTracks || m_pFirst != pFirst || nCount < m_nCounted) {
        m_pList = &arrTracks;
        m_pFirst = pFirst;
        m_nCounted = 0;
        m_nBytes = 0;
    }
    for (; m_nCounted < nCount; ++m_nCounted) {
        m_nBytes += arrTracks[m_nCounted]->GetSize();
    }
    return m_nBytes;
}
