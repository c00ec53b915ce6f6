// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/columntexts.h"

#include "catalogue/chunksort.h"
#include "catalogue/sortpace.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tracksort.h"

#include <array>
#include <cstdint>
#include <string>
#include <thread>

using namespace ChunkSort;

namespace {

// The distinct objects of a column, each with a number in order of first sight.
class CColumnObjects {
public:
    std::uint32_t Add(const void* pObject) {
        // Addresses end in zero bits, which the slot mask keeps: they are mixed first.
        const std::uint64_t nMixed =
            static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pObject)) *
            0x9E3779B97F4A7C15ULL;
        const auto nHash = static_cast<std::size_t>(nMixed ^ (nMixed >> 32));
        return m_slots.Find(
            nHash, m_arrObjects.size(),
            [&](std::uint32_t nObject) { return m_arrObjects[nObject] == pObject; },
            [&] { m_arrObjects.push_back(pObject); });
    }
    const std::vector<const void*>& Objects() const { return m_arrObjects; }

private:
    CNumberSlots m_slots;
    std::vector<const void*> m_arrObjects;
};

using RowIt = CTrackList::const_iterator;

// The same for the location, which the records of one folder share as one object: each
// folder's text is read once, not once a row. Writes the rows' numbers from pNumbers on.
void NumberLocations(RowIt itFirst, RowIt itLast, CColumnTexts& texts, std::uint32_t* pNumbers,
                     const std::atomic<bool>* pStop) {
    const auto nRows = static_cast<std::size_t>(itLast - itFirst);
    for (std::size_t nRow = 0; nRow < std::min(nRows, AHEAD); ++nRow) {
        __builtin_prefetch(itFirst[nRow]);
    }
    CColumnObjects folders;
    for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
        if (IsStopped(pStop, nRow + 1)) {
            return;
        }
        if (nRow + AHEAD < nRows) {
            __builtin_prefetch(itFirst[nRow + AHEAD]);
        }
        pNumbers[nRow] = folders.Add(&itFirst[nRow]->GetLocation());
    }
    std::vector<std::uint32_t> arrTextOfFolder;
    arrTextOfFolder.reserve(folders.Objects().size());
    for (const void* pFolder : folders.Objects()) {
        arrTextOfFolder.push_back(texts.Add(*static_cast<const std::string*>(pFolder)));
    }
    for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
        pNumbers[nRow] = arrTextOfFolder[pNumbers[nRow]];
    }
}

// False once the texts outnumber nMostTexts, the rest of the rows left unnumbered.
bool NumberTexts(RowIt itFirst, RowIt itLast, int nKey, CColumnTexts& texts,
                 std::uint32_t* pNumbers, std::size_t nMostTexts, const std::atomic<bool>* pStop) {
    // Three steps ahead of the row being numbered: the record of the row 2 * AHEAD on is asked
    // for, then the text of the row AHEAD on, then the slot of the row HASHED on, whose text
    // has come by then and is hashed.
    constexpr std::size_t HASHED = AHEAD / 2;
    const auto nRows = static_cast<std::size_t>(itLast - itFirst);
    const auto Text = [itFirst, nKey](std::size_t nRow) {
        return *SortKeyText(*itFirst[nRow], nKey);
    };
    std::array<std::size_t, AHEAD> aHashes{}; // of the rows HASHED on, at their row % AHEAD
    const auto HashAhead = [&](std::size_t nRow) {
        aHashes[nRow % AHEAD] = CColumnTexts::Hash(Text(nRow));
        texts.Prefetch(aHashes[nRow % AHEAD]);
    };
    for (std::size_t nRow = 0; nRow < std::min(nRows, 2 * AHEAD); ++nRow) {
        __builtin_prefetch(itFirst[nRow]);
    }
    for (std::size_t nRow = 0; nRow < std::min(nRows, AHEAD); ++nRow) {
        itFirst[nRow]->PrefetchTexts();
    }
    for (std::size_t nRow = 0; nRow < std::min(nRows, HASHED); ++nRow) {
        HashAhead(nRow);
    }
    std::string_view strPrevious;
    std::uint32_t nPrevious = 0;
    for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
        if (IsStopped(pStop, nRow + 1)) {
            return true;
        }
        if (nRow + 2 * AHEAD < nRows) {
            __builtin_prefetch(itFirst[nRow + 2 * AHEAD]);
        }
        if (nRow + AHEAD < nRows) {
            itFirst[nRow + AHEAD]->PrefetchTexts();
        }
        if (nRow + HASHED < nRows) {
            HashAhead(nRow + HASHED);
        }
        // Neighbours often share a text (the files of one folder, of one album).
        const std::string_view strText = Text(nRow);
        if (nRow == 0 || strText != strPrevious) {
            nPrevious = texts.Add(strText, aHashes[nRow % AHEAD]);
            strPrevious = strText;
            if (texts.Count() > nMostTexts) {
                return false;
            }
        }
        pNumbers[nRow] = nPrevious;
    }
    return true;
}

// Numbers many rows in two halves side by side, each half into a table of its own, then gives
// the second half's texts their numbers in the first table: reading the scattered records is
// most of the work, and two cores wait for memory twice as fast as one. fnNumber(itFirst,
// itLast, texts, pNumbers) numbers one range, false when it gave up.
template <typename TNumber>
std::optional<std::vector<std::uint32_t>> NumberRows(const CTrackList& arrRows, CColumnTexts& texts,
                                                     std::size_t nExpected, const TNumber& fnNumber,
                                                     const std::atomic<bool>* pStop) {
    std::vector<std::uint32_t> arrNumbers(arrRows.size());
    const auto nRows = static_cast<std::ptrdiff_t>(arrRows.size());
    if (nRows < PARALLEL_ROWS || std::thread::hardware_concurrency() < 2) {
        if (!fnNumber(arrRows.begin(), arrRows.end(), texts, arrNumbers.data())) {
            return std::nullopt;
        }
        return arrNumbers;
    }
    const RowIt itMiddle = arrRows.begin() + nRows / 2;
    std::uint32_t* const pSecond = arrNumbers.data() + nRows / 2;
    CColumnTexts secondTexts;
    secondTexts.Reserve(nExpected);
    bool bSecondNumbered = false;
    bool bFirstNumbered = false;
    RunSideBySide(
        [&] { bSecondNumbered = fnNumber(itMiddle, arrRows.end(), secondTexts, pSecond); },
        [&] { bFirstNumbered = fnNumber(arrRows.begin(), itMiddle, texts, arrNumbers.data()); });
    if (!bFirstNumbered || !bSecondNumbered) {
        return std::nullopt;
    }
    if (IsStopped(pStop)) {
        return std::vector<std::uint32_t>(); // numbers left unwritten point past the table
    }
    std::vector<std::uint32_t> arrInFirst(secondTexts.Count());
    for (std::uint32_t nText = 0; nText < arrInFirst.size(); ++nText) {
        arrInFirst[nText] = texts.Add(secondTexts.Text(nText));
    }
    for (std::uint32_t* pNumber = pSecond; pNumber != arrNumbers.data() + nRows; ++pNumber) {
        *pNumber = arrInFirst[*pNumber];
    }
    return arrNumbers;
}

} // namespace

std::optional<std::string_view> SortKeyText(const CTrackInfo& track, int nKey) {
    switch (nKey) {
    case CTrackSort::KEY_FILE:
        return track.GetFileName();
    case CTrackSort::KEY_ARTIST:
        return track.GetArtist();
    case CTrackSort::KEY_TITLE:
        return track.GetTitle();
    case CTrackSort::KEY_LOCATION:
        return std::string_view(track.GetLocation());
    case CTrackSort::KEY_ALBUM:
        return track.GetAlbum();
    case CTrackSort::KEY_DATE:
        return track.GetYear();
    case CTrackSort::KEY_COMMENT:
        return track.GetComment();
    default:
        return std::nullopt;
    }
}

std::vector<std::uint32_t> TextNumbers(const CTrackList& arrRows, int nKey, CColumnTexts& texts,
                                       const std::atomic<bool>* pStop) {
    std::vector<std::uint32_t> arrNumbers(arrRows.size());
    NumberTexts(arrRows.begin(), arrRows.end(), nKey, texts, arrNumbers.data(), SIZE_MAX, pStop);
    return arrNumbers;
}

std::optional<std::vector<std::uint32_t>> TextRanks(const CTrackList& arrRows, int nKey,
                                                    std::size_t nExpected, std::size_t nMostTexts,
                                                    const std::atomic<bool>* pStop) {
    CColumnTexts texts;
    texts.Reserve(nExpected);
    std::optional<std::vector<std::uint32_t>> ranks = NumberRows(
        arrRows, texts, nExpected,
        [nKey, nMostTexts, pStop](RowIt itFirst, RowIt itLast, CColumnTexts& rangeTexts,
                                  std::uint32_t* pNumbers) {
            if (nKey == CTrackSort::KEY_LOCATION) {
                NumberLocations(itFirst, itLast, rangeTexts, pNumbers, pStop);
                return true;
            }
            return NumberTexts(itFirst, itLast, nKey, rangeTexts, pNumbers, nMostTexts, pStop);
        },
        pStop);
    if (!ranks || IsStopped(pStop)) {
        return ranks;
    }
    std::vector<std::uint32_t>& arrRanks = *ranks;
    texts.EndAdding();
    // Each text is reached from its place in the table, whose order is the texts' own in memory.
    const auto Where = [&texts](std::uint32_t nText) -> const void* { return &texts.Text(nText); };
    const auto Text = [](const void* pText) {
        return *static_cast<const std::string_view*>(pText);
    };
    const auto Ask = [](const void* pText) {
        __builtin_prefetch(static_cast<const std::string_view*>(pText)->data());
    };
    std::vector<CChunk> arrChunks = LoadColumn(texts.Count(), Where, Text, Ask, pStop);
    std::vector<std::uint32_t> arrRankOfText(arrChunks.size());
    const ChunkIt itBegin = arrChunks.begin();
    SortColumn(
        itBegin, arrChunks.end(), Where, Text, Ask,
        [&](ChunkIt itRun, ChunkIt itEnd) {
            // The texts are distinct: each run is one text, and its place is its rank.
            arrRankOfText[itRun->Owner()] = static_cast<std::uint32_t>(itRun - itBegin);
            (void)itEnd;
        },
        pStop);
    arrChunks = std::vector<CChunk>();
    for (std::uint32_t& nRank : arrRanks) {
        nRank = arrRankOfText[nRank];
    }
    return ranks;
}
