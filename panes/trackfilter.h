// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/foldedsearch.h"
#include "catalogue/threadstarter.h"
#include "catalogue/tracklist.h"

#include <atomic>
#include <bitset>
#include <string>
#include <string_view>
#include <vector>

class CTrackInfo;
class QString;

// What the filter box lets through: the rows whose texts, as the list's nine columns show them,
// contain every word of the filter text, each in any column, without regard to letter case
// (Unicode simple case folding). An empty text lets every row through. A word given twice counts
// once.
class CTrackFilter {
public:
    CTrackFilter() = default;
    // Once *pStop is set the words left are not taken in: the filter is then of no use.
    explicit CTrackFilter(const QString& strText, const std::atomic<bool>* pStop = nullptr);

    bool IsEmpty() const { return m_arrWords.empty(); }
    bool Matches(const CTrackInfo& track) const;
    // The same words: the same rows pass.
    bool operator==(const CTrackFilter& other) const;
    // Every row this filter lets through, previous lets through too: each of its words is part of
    // one of ours. A list previous made can then be narrowed instead of the whole list. Between
    // texts of many words it is not worked out, and false.
    bool Narrows(const CTrackFilter& previous) const;
    // The rows of arrRows that pass, in their order. Only pointers are copied. Long lists are
    // tested on several threads, or on the calling one alone when no other can be started; the
    // records must not change meanwhile. Once *pStop is set the rows left are not tested: the
    // list returned is then of no use.
    CTrackList Apply(const CTrackList& arrRows, const std::atomic<bool>* pStop = nullptr,
                     CThreadStarter& starter = CThreadStarter::Default()) const;

private:
    struct SWord {
        CFoldedSearch search;
        // The genre bytes whose name contains the word: 256 names are matched once, not per row.
        std::bitset<256> genres;
        // Only a word made of the size column's characters can be in it: the text is formatted
        // for such words alone.
        bool bMayBeSize = false;
    };
    class CMatcher;

    std::vector<SWord> m_arrWords; // longest first: the rarer match rejects a row sooner
};
