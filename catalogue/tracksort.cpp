// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tracksort.h"

#include "catalogue/chunksort.h"
#include "catalogue/columntexts.h"
#include "catalogue/genres.h"
#include "catalogue/radixorder.h"
#include "catalogue/sortpace.h"
#include "catalogue/trackinfo.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

using namespace ChunkSort;

namespace {

// Below this many rows the plain stable sort by CompareTracks takes a few microseconds, no
// longer than the ways below, which only win on more rows.
constexpr std::size_t PLAIN_ROWS = 256;

// Gives the memory of a block's pages from nKeep bytes on back to the system: the block's bytes
// there read as zeros afterwards.
void DiscardFrom(void* pBlock, std::size_t nKeep, std::size_t nBytes) {
    const auto nPage = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto nBegin = reinterpret_cast<std::uintptr_t>(pBlock);
    const std::uintptr_t nFrom = (nBegin + nKeep + nPage - 1) / nPage * nPage;
    const std::uintptr_t nTo = (nBegin + nBytes) / nPage * nPage;
    if (nFrom < nTo) {
        (void)::madvise(reinterpret_cast<void*>(nFrom), nTo - nFrom, MADV_DONTNEED);
    }
}

// The rows' order read off the sorted chunks, written over the chunks' own memory: an order of
// four bytes a row is made where chunks of sixteen were, so that a million rows never hold the
// two at once (16 MB, not 20). Reversed, each run of equal texts, marked by EndRun, takes the
// mirror place, its rows still in order.
std::vector<std::uint32_t> OrderOfSorted(std::vector<CChunk>& arrChunks, bool bReverse) {
    constexpr std::uint32_t FIRST_OF_RUN = 1U << 31; // above every owner
    static_assert(CChunk::MAX_OWNERS <= FIRST_OF_RUN);
    const std::size_t nRows = arrChunks.size();
    auto* pBytes = reinterpret_cast<unsigned char*>(arrChunks.data());
    // Row i's number lands in bytes 4i to 4i + 3, inside an entry at or before entry i: read.
    for (std::size_t i = 0; i < nRows; ++i) {
        const CChunk chunk = arrChunks[i];
        // Ascending, the runs are not marked: what is left of a chunk's text is no mark.
        const std::uint32_t nRow =
            chunk.Owner() | (bReverse && chunk.IsFirstOfRun() ? FIRST_OF_RUN : 0);
        std::memcpy(pBytes + i * sizeof nRow, &nRow, sizeof nRow);
    }
    const std::size_t nOrderBytes = nRows * sizeof(std::uint32_t);
    DiscardFrom(pBytes, nOrderBytes, nRows * sizeof(CChunk));
    std::vector<std::uint32_t> arrOrder(nRows);
    std::memcpy(arrOrder.data(), pBytes, nOrderBytes);
    arrChunks = std::vector<CChunk>();
    if (bReverse) {
        // Reversed whole, a run ends with its first row: each run is turned back.
        std::reverse(arrOrder.begin(), arrOrder.end());
        for (auto itRun = arrOrder.begin(); itRun != arrOrder.end();) {
            const auto itLast = std::find_if(
                itRun, arrOrder.end(), [](std::uint32_t nRow) { return nRow & FIRST_OF_RUN; });
            const auto itEnd = itLast == arrOrder.end() ? itLast : std::next(itLast);
            std::reverse(itRun, itEnd);
            itRun = itEnd;
        }
        for (std::uint32_t& nRow : arrOrder) {
            nRow &= ~FIRST_OF_RUN;
        }
    }
    return arrOrder;
}

// The stable order of the rows by their key texts, each row's text sorted where it lies in its
// record: for a column of mostly distinct texts (file names, titles) this takes a third of the
// memory of numbering the distinct texts first, and no table of them. Equal texts come out
// together in the rows' order, so both directions are read off the sorted rows.
template <std::string_view (CTrackInfo::*GET_TEXT)() const>
std::vector<std::uint32_t> RowTextOrder(const CTrackList& arrRows, bool bReverse,
                                        const std::atomic<bool>* pStop) {
    const auto Where = [&arrRows](std::uint32_t nRow) -> const void* { return arrRows[nRow]; };
    const auto Text = [](const void* pRecord) {
        return (static_cast<const CTrackInfo*>(pRecord)->*GET_TEXT)();
    };
    const auto Ask = [](const void* pRecord) {
        static_cast<const CTrackInfo*>(pRecord)->PrefetchTexts();
    };
    std::vector<CChunk> arrChunks = LoadColumn(arrRows.size(), Where, Text, Ask, pStop);
    SortColumn(
        arrChunks.begin(), arrChunks.end(), Where, Text, Ask,
        [bReverse](ChunkIt itRun, ChunkIt itEnd) {
            if (bReverse) {
                for (auto it = itRun; it != itEnd; ++it) {
                    it->EndRun(it == itRun);
                }
            }
        },
        pStop);
    if (IsStopped(pStop)) {
        return {};
    }
    return OrderOfSorted(arrChunks, bReverse);
}

// Ranks of the names of all 256 genre bytes in text order; equal names share a rank.
std::array<std::uint32_t, 256> GenreNameRanks() {
    std::array<std::string, 256> arrNames;
    std::array<int, 256> arrOrder;
    for (int nGenre = 0; nGenre < 256; ++nGenre) {
        arrNames[nGenre] = GenreName(static_cast<unsigned char>(nGenre));
        arrOrder[nGenre] = nGenre;
    }
    std::sort(arrOrder.begin(), arrOrder.end(), [&arrNames](int nFirst, int nSecond) {
        return arrNames[nFirst] < arrNames[nSecond];
    });
    std::array<std::uint32_t, 256> arrRanks{};
    std::uint32_t nRank = 0;
    for (std::size_t i = 0; i < arrOrder.size(); ++i) {
        if (i > 0 && arrNames[arrOrder[i]] != arrNames[arrOrder[i - 1]]) {
            ++nRank;
        }
        arrRanks[arrOrder[i]] = nRank;
    }
    return arrRanks;
}

// The order by size: the sizes of one list mostly lie within four gigabytes of one another, and
// then their distances from the smallest sort as 32-bit keys, in half the memory and fewer passes.
std::vector<std::uint32_t> SizeOrder(const CTrackList& arrRows, bool bReverse,
                                     const std::atomic<bool>* pStop) {
    std::vector<std::uint64_t> arrKeys(arrRows.size());
    for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
        if (SortPace::IsStopped(pStop, nRow + 1)) {
            return {};
        }
        if (nRow + AHEAD < arrRows.size()) {
            __builtin_prefetch(arrRows[nRow + AHEAD]);
        }
        // Largest first for the positive key; the flipped sign bit keeps the signed order.
        const auto nSize = static_cast<std::uint64_t>(arrRows[nRow]->GetSize());
        arrKeys[nRow] = ~(nSize ^ (1ULL << 63)) ^ (bReverse ? ~std::uint64_t{0} : 0);
    }
    const auto [itLeast, itMost] = std::minmax_element(arrKeys.begin(), arrKeys.end());
    const std::uint64_t nLeast = itLeast == arrKeys.end() ? 0 : *itLeast;
    if (itMost != arrKeys.end() && *itMost - nLeast > UINT32_MAX) {
        return RadixOrder(std::move(arrKeys), pStop);
    }
    std::vector<std::uint32_t> arrNarrow(arrKeys.size());
    for (std::size_t nRow = 0; nRow < arrKeys.size(); ++nRow) {
        arrNarrow[nRow] = static_cast<std::uint32_t>(arrKeys[nRow] - nLeast);
    }
    arrKeys = std::vector<std::uint64_t>();
    return RadixOrder(std::move(arrNarrow), pStop);
}

// About how many distinct texts a column holds, told from rows spread evenly over the list:
// neighbours share their album in scan order and nothing after another column's sort, so the
// first rows alone would say few in one order and many in the other.
std::size_t DistinctTexts(const CTrackList& arrRows, int nKey, const std::atomic<bool>* pStop) {
    constexpr std::size_t SAMPLE = 16384;
    const std::size_t nRows = arrRows.size();
    const std::size_t nSample = nRows <= 2 * SAMPLE ? nRows : SAMPLE;
    CTrackList arrSample(nSample);
    for (std::size_t i = 0; i < nSample; ++i) {
        arrSample[i] = arrRows[i * nRows / nSample];
    }
    CColumnTexts texts;
    const std::vector<std::uint32_t> arrNumbers = TextNumbers(arrSample, nKey, texts, pStop);
    if (IsStopped(pStop)) {
        return 0; // numbers left unwritten
    }
    if (nSample == nRows) {
        return texts.Count();
    }
    // Chao's estimate: the texts the sample shows once, against those it shows twice, tell how
    // many it missed. It holds when a few texts repeat far more often than the rest (titles
    // drawn from a few words), where the counts of equally frequent texts would say far too few.
    std::vector<std::uint32_t> arrTimes(texts.Count());
    for (const std::uint32_t nText : arrNumbers) {
        ++arrTimes[nText];
    }
    const auto nOnce = static_cast<double>(std::count(arrTimes.begin(), arrTimes.end(), 1U));
    const auto nTwice = static_cast<double>(std::count(arrTimes.begin(), arrTimes.end(), 2U));
    const double rMissed =
        nTwice > 0 ? nOnce * nOnce / (2 * nTwice) : nOnce * std::max(nOnce - 1, 0.0) / 2;
    return static_cast<std::size_t>(
        std::min(static_cast<double>(nRows), static_cast<double>(texts.Count()) + rMissed));
}

// The same for any key but the location and genre, with the record's accessor of the key's text
// chosen once for the whole sort.
std::vector<std::uint32_t> RowTextOrder(const CTrackList& arrRows, int nKey, bool bReverse,
                                        const std::atomic<bool>* pStop) {
    switch (nKey) {
    case CTrackSort::KEY_FILE:
        return RowTextOrder<&CTrackInfo::GetFileName>(arrRows, bReverse, pStop);
    case CTrackSort::KEY_ARTIST:
        return RowTextOrder<&CTrackInfo::GetArtist>(arrRows, bReverse, pStop);
    case CTrackSort::KEY_TITLE:
        return RowTextOrder<&CTrackInfo::GetTitle>(arrRows, bReverse, pStop);
    case CTrackSort::KEY_ALBUM:
        return RowTextOrder<&CTrackInfo::GetAlbum>(arrRows, bReverse, pStop);
    case CTrackSort::KEY_DATE:
        return RowTextOrder<&CTrackInfo::GetYear>(arrRows, bReverse, pStop);
    default:
        return RowTextOrder<&CTrackInfo::GetComment>(arrRows, bReverse, pStop);
    }
}

} // namespace

std::vector<std::uint32_t> CTrackSort::SortedOrder(const CTrackList& arrRows, int nSortKey,
                                                   const std::atomic<bool>* pStop) {
    if (!IsOrderingKey(nSortKey) || arrRows.size() < PLAIN_ROWS ||
        arrRows.size() >= CChunk::MAX_OWNERS) {
        std::vector<std::uint32_t> arrOrder(arrRows.size());
        std::iota(arrOrder.begin(), arrOrder.end(), 0U);
        if (!IsOrderingKey(nSortKey)) {
            return arrOrder;
        }
        std::stable_sort(arrOrder.begin(), arrOrder.end(),
                         [&arrRows, nSortKey](std::uint32_t nFirst, std::uint32_t nSecond) {
                             return CompareTracks(arrRows[nFirst], arrRows[nSecond], nSortKey) < 0;
                         });
        return arrOrder;
    }
    // One number per row is sorted instead of the records, in the order of the positive key:
    // for many rows, reading records scattered over memory at every comparison costs more than
    // the sort itself. A descending key sorts the numbers' complements, which keeps ties in the
    // list's order too.
    const int nKey = nSortKey < 0 ? -nSortKey : nSortKey;
    const bool bReverse = nSortKey < 0;
    if (nKey == KEY_SIZE) {
        return SizeOrder(arrRows, bReverse, pStop);
    }
    std::vector<std::uint32_t> arrKeys;
    if (nKey == KEY_TRACK) {
        arrKeys.resize(arrRows.size());
        for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
            if (SortPace::IsStopped(pStop, nRow + 1)) {
                return {};
            }
            arrKeys[nRow] = static_cast<std::uint32_t>(arrRows[nRow]->GetTrack());
        }
    } else if (nKey != KEY_GENRE && nKey != KEY_LOCATION) {
        // Numbering the distinct texts first wins by far while they are few (artists, albums,
        // years), and takes more memory than sorting every row's own text once they are many.
        const std::size_t nMostTexts = arrRows.size() / 8;
        const std::size_t nDistinct = DistinctTexts(arrRows, nKey, pStop);
        std::optional<std::vector<std::uint32_t>> ranks;
        if (nDistinct <= nMostTexts) {
            ranks = TextRanks(arrRows, nKey, nDistinct, nMostTexts, pStop);
        }
        if (!ranks) {
            return RowTextOrder(arrRows, nKey, bReverse, pStop);
        }
        arrKeys = std::move(*ranks);
    } else if (nKey == KEY_GENRE) {
        const std::array<std::uint32_t, 256> arrGenreRanks = GenreNameRanks();
        arrKeys.resize(arrRows.size());
        for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
            if (SortPace::IsStopped(pStop, nRow + 1)) {
                return {};
            }
            arrKeys[nRow] = arrGenreRanks[arrRows[nRow]->GetGenre()];
        }
    } else {
        arrKeys = *TextRanks(arrRows, nKey, 0, SIZE_MAX, pStop);
    }
    if (bReverse) {
        for (std::uint32_t& nRank : arrKeys) {
            nRank = ~nRank;
        }
    }
    if (SortPace::IsStopped(pStop)) {
        return {};
    }
    return RadixOrder(std::move(arrKeys), pStop);
}

bool CTrackSort::IsOrderingKey(int nSortKey) {
    // Written without abs(): a stored INT_MIN must not overflow.
    return nSortKey != 0 && nSortKey >= -KEY_TRACK && nSortKey <= KEY_TRACK;
}

int CTrackSort::CompareTracks(const CTrackInfo* pFirst, const CTrackInfo* pSecond, int nSortKey) {
    if (!IsOrderingKey(nSortKey)) {
        return 0;
    }
    const int nDirection = nSortKey < 0 ? -1 : 1;
    const int nKey = nSortKey < 0 ? -nSortKey : nSortKey;
    if (nKey == KEY_SIZE) {
        // A positive key puts the largest file first, the reverse of the text keys.
        if (pFirst->GetSize() < pSecond->GetSize()) {
            return nDirection;
        }
        if (pFirst->GetSize() > pSecond->GetSize()) {
            return -nDirection;
        }
        return 0;
    }
    if (nKey == KEY_TRACK) {
        const int nOrder = pFirst->GetTrack() - pSecond->GetTrack();
        return nOrder < 0 ? -nDirection : nOrder > 0 ? nDirection : 0;
    }
    // std::string compares bytes as unsigned char: case-sensitive, no collation. The genre key
    // compares the genre's name, so that the column reads in order, not its number.
    const int nOrder = nKey == KEY_GENRE
                           ? pFirst->GetGenreName().compare(pSecond->GetGenreName())
                           : SortKeyText(*pFirst, nKey)->compare(*SortKeyText(*pSecond, nKey));
    if (nOrder < 0) {
        return -nDirection;
    }
    if (nOrder > 0) {
        return nDirection;
    }
    return 0;
}