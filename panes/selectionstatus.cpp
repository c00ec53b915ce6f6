// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/selectionstatus.h"

#include "catalogue/genres.h"
#include "catalogue/trackinfo.h"
#include "res/strings.h"

#include <cstdint>

namespace {

template <typename TTracks> std::string SizeText(const TTracks& arrTracks) {
    // 64 bits: a selection of a few thousand tracks passes 2 GB.
    std::int64_t nTotal = 0;
    for (const CTrackInfo* pTrack : arrTracks) {
        nTotal += pTrack->GetSize();
    }
    return FormatSize(nTotal);
}

} // namespace

CSelectionStatus CSelectionStatus::Describe(const std::vector<const CTrackInfo*>& arrTracks) {
    CSelectionStatus status;
    if (arrTracks.size() == 1) {
        status.m_strDescription = DescribeTrack(*arrTracks.front());
        status.m_strCount = LoadString(IDS_ONE_FILE_SELECTED);
    } else if (arrTracks.size() > 1) {
        status.m_strCount = FormatString(IDS_FILES_SELECTED, FormatCount(arrTracks.size()));
    }
    status.m_strSize = SizeText(arrTracks);
    return status;
}

CSelectionStatus CSelectionStatus::DescribeShown(const CTrackList& arrShown) {
    CSelectionStatus status;
    status.m_strCount = CountText(arrShown.size());
    status.m_strSize = SizeText(arrShown);
    return status;
}

CSelectionStatus CSelectionStatus::DescribeShown(std::size_t nCount, std::int64_t nBytes) {
    CSelectionStatus status;
    status.m_strCount = CountText(nCount);
    status.m_strSize = FormatSize(nBytes);
    return status;
}

CSelectionStatus CSelectionStatus::DescribeList(const CTrackList& arrShown, std::size_t nTotal,
                                                bool bFiltered, const CTrackList& arrSelected) {
    if (!arrSelected.empty()) {
        return Describe({arrSelected.begin(), arrSelected.end()});
    }
    CSelectionStatus status;
    status.m_strCount = bFiltered ? FormatString(IDS_FILTER_COUNT, FormatCount(arrShown.size()),
                                                 FormatCount(nTotal))
                                  : CountText(nTotal);
    status.m_strSize = SizeText(arrShown);
    return status;
}

std::string CSelectionStatus::CountText(std::size_t nCount) {
    return FormatString(IDS_NODE_FILES, FormatCount(nCount));
}

std::string CSelectionStatus::DescribeTrack(const CTrackInfo& track) {
    std::string strText(track.GetArtist());
    strText += " - ";
    strText += track.GetTitle();
    if (!track.GetAlbum().empty()) {
        strText += " - Album : ";
        strText += track.GetAlbum();
    }
    if (!track.GetYear().empty()) {
        strText += " - ";
        strText += track.GetYear();
    }
    // Only the value of an untagged file is left out; 149 to 255 show as undefined.
    if (track.GetGenre() != GENRE_NONE) {
        strText += " [ ";
        strText += track.GetGenreName();
        strText += " ]";
    }
    return strText;
}
