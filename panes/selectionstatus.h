// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tracklist.h"

#include <string>
#include <vector>

class CTrackInfo;

// What the status bar says about the selected rows of the track list. Texts are UTF-8; an empty
// count text leaves the count pane as it was.
class CSelectionStatus {
public:
    std::string m_strDescription; // the one selected track, empty unless exactly one
    std::string m_strCount;       // "1 file selected", "%1 files selected", or empty for none
    std::string m_strSize;        // total size of the selection

    // arrTracks in row order.
    static CSelectionStatus Describe(const std::vector<const CTrackInfo*>& arrTracks);
    // With nothing selected the count and size panes tell what the list shows, as the tree's
    // node does: a count of zero selected files would contradict the node's count beside it.
    static CSelectionStatus DescribeShown(const CTrackList& arrShown);
    // The same from the count of the rows shown and their total size.
    static CSelectionStatus DescribeShown(std::size_t nCount, std::int64_t nBytes);
    // The list pane as the user sees it: the selected rows when there are any; otherwise the rows
    // shown, counted "12 of 3,000 file(s)" while a filter hides some of the nTotal, and their size.
    static CSelectionStatus DescribeList(const CTrackList& arrShown, std::size_t nTotal,
                                         bool bFiltered, const CTrackList& arrSelected);
    // "%1 file(s)", the count of a node or of a whole list.
    static std::string CountText(std::size_t nCount);

    // The one-track description: artist, title, then album, year and genre where present.
    static std::string DescribeTrack(const CTrackInfo& track);
};
