// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tracksort.h"

#include "catalogue/chunksort.h"
#include "catalogue/columntexts.h"
#include "catalogue/trackinfo.h"

#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

TEST(TrackSort, CompareTracksFollowsTheKeyRules) {
    CTrackStore tracks;
    const auto Make = [&tracks](const std::string& strText, int nGenre, std::int64_t nSize) {
        return tracks.Add(
            {strText, strText, strText, strText, strText, nSize, strText, nGenre, strText});
    };
    const auto Numbered = [&tracks](int nTrack) {
        CFields fields;
        fields.nTrack = nTrack;
        return tracks.Add(fields);
    };
    struct {
        const char* pszName;
        const CTrackInfo* pFirst;
        const CTrackInfo* pSecond;
        int nKey;
        int nExpectedSign;
    } const cases[] = {
        {"capital Z before small a", Make("Z", 0, 0), Make("a", 0, 0), 1, -1},
        {"descending key reverses", Make("Z", 0, 0), Make("a", 0, 0), -1, 1},
        {"empty before any text", Make("", 0, 0), Make("0", 0, 0), 8, -1},
        {"bytes compare unsigned", Make("z", 0, 0), Make("\xC3\xA9", 0, 0), 9, -1},
        {"prefix first", Make("Abb", 0, 0), Make("Abba", 0, 0), 2, -1},
        {"year as text: 1999 before 98", Make("1999", 0, 0), Make("98", 0, 0), 8, -1},
        {"genre by name, not number", Make("x", 17, 0), Make("x", 20, 0), 7, 1},
        {"undefined before letters", Make("x", GENRE_NONE, 0), Make("x", 0, 0), 7, -1},
        {"genres past 148 all read undefined", Make("x", 200, 0), Make("x", 149, 0), 7, 0},
        {"size: largest first", Make("x", 0, 100), Make("x", 0, 200), 5, 1},
        {"size descending key: smallest first", Make("x", 0, 100), Make("x", 0, 200), -5, -1},
        {"equal sizes", Make("a", 0, 100), Make("b", 0, 100), 5, 0},
        {"sizes past 2 GB", Make("x", 0, 3000000000LL), Make("x", 0, 2000000000LL), 5, -1},
        {"key 0 never orders", Make("a", 0, 1), Make("b", 0, 2), 0, 0},
        {"track by number: 2 before 10", Numbered(10), Numbered(2), 10, 1},
        {"track descending key", Numbered(10), Numbered(2), -10, -1},
        {"no track before track 1", Numbered(0), Numbered(1), 10, -1},
        {"key 11 never orders", Make("a", 0, 1), Make("b", 0, 2), 11, 0},
        {"key -11 never orders", Make("a", 0, 1), Make("b", 0, 2), -11, 0},
        {"lowest int never orders", Make("a", 0, 1), Make("b", 0, 2), INT_MIN, 0},
        {"highest int never orders", Make("a", 0, 1), Make("b", 0, 2), INT_MAX, 0},
    };
    const auto Sign = [](int n) { return (n > 0) - (n < 0); };
    for (const auto& test : cases) {
        EXPECT_EQ(Sign(CTrackSort::CompareTracks(test.pFirst, test.pSecond, test.nKey)),
                  test.nExpectedSign)
            << test.pszName;
    }
}

namespace {

// Texts for random records: few enough to give ties, with long shared starts (beyond the 16
// bytes the sort reads at once), ends inside one another, bytes above 0x7F and a NUL.
struct SPool {
    const char* pszName;
    std::vector<std::string> arrTexts;
};

SPool MakePool(const char* pszName, std::size_t nTexts, std::size_t nSharedStart,
               std::size_t nMostPieces = 3) {
    // Seven zero bytes and a one read as the number 1, which no mark of a text sort's runs
    // may be taken for.
    const std::string strSmallest("\0\0\0\0\0\0\0\1", 8);
    const std::string arrPieces[] = {
        "",          "a",      "A",       "b", "é", "\xFF", std::string("\0", 1),
        strSmallest, "Disc 1", "Disc 10", "z"};
    std::mt19937 random(static_cast<unsigned>(nTexts * 31 + nSharedStart));
    SPool pool{pszName, {}};
    const std::string strStart(nSharedStart, 'm');
    for (std::size_t i = 0; i < nTexts; ++i) {
        std::string strText = strStart;
        const std::size_t nPieces = random() % (nMostPieces + 1);
        for (std::size_t n = 0; n < nPieces; ++n) {
            strText += arrPieces[random() % std::size(arrPieces)];
        }
        pool.arrTexts.push_back(strText);
    }
    return pool;
}

} // namespace

// SortedOrder gives exactly what a stable sort with CompareTracks gives, for every key in both
// directions, on lists with many ties, long shared starts, runs of equal neighbours and none.
// Columns of mostly distinct texts (the larger pools) and of mostly repeated ones are sorted in
// different ways, each with lists long enough to be shared between two threads, one of them
// longer than the rows the sort samples to choose.
TEST(TrackSort, SortedOrderIsTheStableSortByCompareTracks) {
    const SPool arrPools[] = {
        MakePool("few texts", 3, 0),
        MakePool("many texts", 400, 0),
        MakePool("texts sharing 11 bytes", 40, 11),
        MakePool("texts sharing 12 bytes", 40, 12),
        MakePool("texts sharing 15 bytes", 40, 15),
        MakePool("texts sharing 16 bytes", 40, 16),
        MakePool("texts sharing 40 bytes", 40, 40),
        MakePool("mostly distinct texts", 20000, 0, 9),
        MakePool("mostly distinct texts sharing 20 bytes", 20000, 20, 9),
    };
    // Sizes a step apart: 3 GB steps spread them beyond what 32 bits tell apart, 1,000 bytes not.
    constexpr std::int64_t WIDE = 3000000000LL;
    constexpr std::int64_t NARROW = 1000;
    // A shuffled list is one whose records lie in memory in another order than its rows, as
    // after another column's sort: the sort reads them in memory order, and must still give each
    // text to its own row.
    constexpr bool SHUFFLED = true;
    constexpr bool IN_ORDER = false;
    struct {
        std::size_t nRows;
        std::size_t nRun; // neighbours that share their texts, as the files of one folder do
        std::int64_t nSizeStep;
        bool bShuffled;
    } const aLists[] = {
        {0, 1, WIDE, IN_ORDER},       {1, 1, WIDE, IN_ORDER},       {2, 1, WIDE, IN_ORDER},
        {50, 1, WIDE, IN_ORDER},      {3000, 1, WIDE, IN_ORDER},    {3000, 12, WIDE, IN_ORDER},
        {3000, 1, WIDE, SHUFFLED},    {9000, 1, WIDE, IN_ORDER},    {50, 1, NARROW, IN_ORDER},
        {3000, 12, NARROW, IN_ORDER}, {40000, 1, NARROW, IN_ORDER}, {20000, 1, NARROW, SHUFFLED}};
    std::vector<int> arrKeys;
    for (int nKey = 1; nKey <= CTrackSort::KEY_TRACK; ++nKey) {
        arrKeys.push_back(nKey);
        arrKeys.push_back(-nKey);
    }
    std::mt19937 random(7);
    for (const SPool& pool : arrPools) {
        for (const auto& list : aLists) {
            CTrackStore tracks;
            CTrackList arrRows;
            const auto Pick = [&] { return pool.arrTexts[random() % pool.arrTexts.size()]; };
            CFields fields;
            for (std::size_t nRow = 0; nRow < list.nRows; ++nRow) {
                if (nRow % list.nRun == 0) {
                    fields = {Pick(), Pick(),
                              Pick(), Pick(),
                              Pick(), static_cast<std::int64_t>(random() % 5) * list.nSizeStep - 1,
                              Pick(), static_cast<int>(random() % 256),
                              Pick()};
                    fields.nTrack = static_cast<int>(random() % 4);
                }
                arrRows.push_back(tracks.Add(fields));
            }
            if (list.bShuffled) {
                std::shuffle(arrRows.begin(), arrRows.end(), random);
            }
            for (const int nKey : arrKeys) {
                std::vector<std::uint32_t> arrExpected(arrRows.size());
                std::iota(arrExpected.begin(), arrExpected.end(), 0U);
                std::stable_sort(arrExpected.begin(), arrExpected.end(),
                                 [&](std::uint32_t nFirst, std::uint32_t nSecond) {
                                     return CTrackSort::CompareTracks(arrRows[nFirst],
                                                                      arrRows[nSecond], nKey) < 0;
                                 });
                EXPECT_EQ(CTrackSort::SortedOrder(arrRows, nKey), arrExpected)
                    << pool.pszName << ", " << list.nRows << " rows in runs of " << list.nRun
                    << (list.bShuffled ? ", shuffled" : "") << ", key " << nKey;
            }
        }
    }
}

// The ranks of a column's texts in byte order, however the rows are shared out to be numbered:
// texts met in one half of a long list only, or in both. A column holding more distinct texts
// than the caller allows gives nothing, so that the rows are sorted another way.
TEST(TrackSort, TextRanksAreTheTextsPlacesOrNothingPastTheMost) {
    struct {
        const char* pszName;
        std::size_t nRows;
        std::size_t nSecondHalfTexts; // of the second half's rows, one in four is its own text
        std::size_t nMostTexts;
        bool bRanked;
    } const aCases[] = {
        {"a short list, one table", 1000, 0, 100, true},
        {"a long list, texts of both halves", 40000, 0, 100, true},
        {"a long list, texts of its second half only", 40000, 800, 1000, true},
        {"a short list, more texts than allowed", 1000, 300, 100, false},
        {"a long list, a half with more texts than allowed", 40000, 800, 500, false},
    };
    for (const auto& test : aCases) {
        CTrackStore tracks;
        CTrackList arrRows;
        std::mt19937 random(3);
        for (std::size_t nRow = 0; nRow < test.nRows; ++nRow) {
            CFields fields;
            const bool bOwnText =
                test.nSecondHalfTexts > 0 && nRow >= test.nRows / 2 && nRow % 4 == 0;
            fields.strArtist = bOwnText ? "own " + std::to_string(random() % test.nSecondHalfTexts)
                                        : "shared " + std::to_string(random() % 50);
            arrRows.push_back(tracks.Add(fields));
        }
        const std::optional<std::vector<std::uint32_t>> ranks =
            TextRanks(arrRows, CTrackSort::KEY_ARTIST, 0, test.nMostTexts, nullptr);
        ASSERT_EQ(ranks.has_value(), test.bRanked) << test.pszName;
        if (!ranks) {
            continue;
        }
        std::map<std::string_view, std::uint32_t> mapRanks;
        for (const CTrackInfo* pTrack : arrRows) {
            mapRanks[pTrack->GetArtist()] = 0;
        }
        std::uint32_t nRank = 0;
        for (auto& [strText, nTextRank] : mapRanks) {
            nTextRank = nRank++;
        }
        std::vector<std::uint32_t> arrExpected;
        for (const CTrackInfo* pTrack : arrRows) {
            arrExpected.push_back(mapRanks[pTrack->GetArtist()]);
        }
        EXPECT_EQ(*ranks, arrExpected) << test.pszName;
    }
}

// Keys that order nothing leave the list as it is, rather than reading past the key table.
TEST(TrackSort, KeysThatOrderNothingKeepTheList) {
    CTrackStore tracks;
    CTrackList arrRows;
    for (const char* pszFile : {"b", "a", "c"}) {
        CFields fields;
        fields.strFile = pszFile;
        arrRows.push_back(tracks.Add(fields));
    }
    for (const int nKey : {0, 11, -11, INT_MIN, INT_MAX}) {
        EXPECT_EQ(CTrackSort::SortedOrder(arrRows, nKey), (std::vector<std::uint32_t>{0, 1, 2}))
            << nKey;
    }
}

// The sort reads its entries' texts in the order the entries' records lie in memory, whatever
// order it meets them in: entries one span apart come in address order, those of one address
// in the order they were met.
TEST(TrackSort, EntriesArePutInTheOrderTheyLieInMemory) {
    struct {
        const char* pszName;
        std::vector<std::uintptr_t> arrAddresses; // of entries 0, 1, 2...
        std::vector<std::size_t> arrExpected;     // the entries, slot by slot
    } const aCases[] = {
        {"none", {}, {}},
        {"one", {0x1234}, {0}},
        {"already in order", {0x1000, 0x1040, 0x1080, 0x10C0}, {0, 1, 2, 3}},
        {"reversed", {0x10C0, 0x1080, 0x1040, 0x1000}, {3, 2, 1, 0}},
        {"shuffled", {0x1080, 0x1000, 0x10C0, 0x1040}, {1, 3, 0, 2}},
        {"one address, met in order", {0x2000, 0x2000, 0x1000, 0x2000}, {2, 0, 1, 3}},
        {"terabytes apart", {0x7F0000000000, 0x1000}, {1, 0}},
    };
    for (const auto& test : aCases) {
        std::vector<std::size_t> arrSlots(test.arrAddresses.size(), SIZE_MAX);
        ChunkSort::PutInMemoryOrder(
            [&test](const auto& fnVisit) {
                for (std::size_t nEntry = 0; nEntry < test.arrAddresses.size(); ++nEntry) {
                    fnVisit(nEntry, reinterpret_cast<const void*>(test.arrAddresses[nEntry]));
                }
            },
            [&](std::size_t nEntry, const void* pAddress, std::size_t nSlot) {
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pAddress), test.arrAddresses[nEntry])
                    << test.pszName;
                arrSlots.at(nSlot) = nEntry;
            });
        EXPECT_EQ(arrSlots, test.arrExpected) << test.pszName;
    }
}
