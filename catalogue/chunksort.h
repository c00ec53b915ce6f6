// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/sidebyside.h"
#include "catalogue/sortpace.h"

#include <boost/sort/pdqsort/pdqsort.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <numeric>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

// Sorts texts by their bytes, twelve at a time: each text's next chunk is loaded as two numbers
// only while it still ties with others, so that most comparisons read no text at all. The texts
// are read in the order they lie in memory, whatever the list's order: after another column's
// sort, reading a million records in the list's order missed the cache at nearly every one.
namespace ChunkSort {

using SortPace::AHEAD;
using SortPace::IsStopped;

// Eight bytes of a text from nOffset, big-endian and padded with zeros: comparing two of these
// as numbers orders them as their bytes, unsigned.
inline std::uint64_t LoadBytes(std::string_view strText, std::size_t nOffset) {
    std::uint64_t nValue = 0;
    if (nOffset + sizeof nValue <= strText.size()) {
        std::memcpy(&nValue, strText.data() + nOffset, sizeof nValue);
        return __builtin_bswap64(nValue);
    }
    for (std::size_t nAt = nOffset; nAt < strText.size(); ++nAt) {
        nValue |= std::uint64_t{static_cast<unsigned char>(strText[nAt])}
                  << (8 * (sizeof nValue - 1 - (nAt - nOffset)));
    }
    return nValue;
}

// Twelve bytes of text a pass: the chunk, its length and its owner fit in sixteen bytes, and a
// million rows in sixteen megabytes, the most a sort of them holds at once.
constexpr std::size_t CHUNK_BYTES = sizeof(std::uint64_t) + sizeof(std::uint32_t);

// The chunk of a text being compared, and whose text it is: a number the caller maps to the
// text (a row, or a distinct text of the column), below MAX_OWNERS.
class CChunk {
public:
    static constexpr int OWNER_BITS = 28;
    static constexpr std::size_t MAX_OWNERS = std::size_t{1} << OWNER_BITS;

    CChunk() = default;
    explicit CChunk(std::size_t nOwner) : m_nLow(nOwner) {}

    void Load(std::string_view strText, std::size_t nOffset) {
        m_nHigh = LoadBytes(strText, nOffset);
        // The text's bytes from the chunk's start, CHUNK_BYTES + 1 for "and more".
        const std::uint64_t nTail =
            strText.size() <= nOffset ? 0 : std::min(strText.size() - nOffset, CHUNK_BYTES + 1);
        m_nLow = (LoadBytes(strText, nOffset + sizeof m_nHigh) & ~std::uint64_t{0xFFFFFFFF}) |
                 nTail << OWNER_BITS | Owner();
    }
    // Until its next chunk is loaded, an entry holds instead where its owner's text is reached
    // from, to be put in memory order and read.
    void HoldAddress(const void* pAddress) { m_nHigh = reinterpret_cast<std::uintptr_t>(pAddress); }
    const void* HeldAddress() const { return reinterpret_cast<const void*>(m_nHigh); }
    std::uint32_t Owner() const { return static_cast<std::uint32_t>(m_nLow & (MAX_OWNERS - 1)); }
    // Once its run of equal texts is found, an entry's text is of no more use: it tells instead
    // whether the entry comes first in the run.
    void EndRun(bool bFirst) { m_nHigh = bFirst ? 1 : 0; }
    bool IsFirstOfRun() const { return m_nHigh == 1; }
    bool HasMore() const { return ((m_nLow >> OWNER_BITS) & 0xF) > CHUNK_BYTES; }
    bool SameChunk(const CChunk& other) const {
        return m_nHigh == other.m_nHigh && m_nLow >> OWNER_BITS == other.m_nLow >> OWNER_BITS;
    }
    bool ChunkBefore(const CChunk& other) const {
        return m_nHigh < other.m_nHigh ||
               (m_nHigh == other.m_nHigh && m_nLow >> OWNER_BITS < other.m_nLow >> OWNER_BITS);
    }
    // Within equal zero-padded chunks, a text that ends sooner is a start of the other; equal
    // texts keep their owners' order. One comparison of 128 bits, with no branch to mispredict.
    bool operator<(const CChunk& other) const { return Key() < other.Key(); }

private:
    unsigned __int128 Key() const { return static_cast<unsigned __int128>(m_nHigh) << 64 | m_nLow; }

    std::uint64_t m_nHigh = 0; // the chunk's first eight bytes, big-endian
    // Its last four bytes, big-endian, then its length in four bits, then its owner.
    std::uint64_t m_nLow = 0;
};
using ChunkIt = std::vector<CChunk>::iterator;

// Memory from the lowest address of some entries to the highest, cut into as many equal spans as
// there are entries, at most SPANS: entries put in the order of their spans are read nearly in
// the order they lie in memory, after one pass that counts them and one that places them.
class CAddressSpans {
public:
    static constexpr std::size_t SPANS = 65536;

    CAddressSpans(std::uintptr_t nLeast, std::uintptr_t nMost, std::size_t nEntries)
        : m_nLeast(nLeast) {
        const std::size_t nSpans = std::clamp<std::size_t>(nEntries, 1, SPANS);
        while (((nMost - nLeast) >> m_nShift) >= nSpans) {
            ++m_nShift;
        }
        m_nCount = static_cast<std::size_t>(((nMost - nLeast) >> m_nShift) + 1);
    }
    std::size_t Count() const { return m_nCount; }
    std::size_t Of(const void* pAddress) const {
        return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(pAddress) - m_nLeast) >>
                                        m_nShift);
    }

private:
    std::uintptr_t m_nLeast;
    int m_nShift = 0;
    std::size_t m_nCount = 0;
};

// Calls fnPut(entry, pAddress, nSlot) for each entry, the slots 0 to n - 1 following the entries'
// addresses span by span. fnEach(fnVisit) calls fnVisit(entry, pAddress) for every entry, in the
// same order each time.
template <typename TEach, typename TPut>
void PutInMemoryOrder(const TEach& fnEach, const TPut& fnPut) {
    std::uintptr_t nLeast = UINTPTR_MAX;
    std::uintptr_t nMost = 0;
    std::size_t nEntries = 0;
    fnEach([&](auto, const void* pAddress) {
        const auto nAddress = reinterpret_cast<std::uintptr_t>(pAddress);
        nLeast = std::min(nLeast, nAddress);
        nMost = std::max(nMost, nAddress);
        ++nEntries;
    });
    if (nEntries == 0) {
        return;
    }
    const CAddressSpans spans(nLeast, nMost, nEntries);
    std::vector<std::uint32_t> arrNext(spans.Count() + 1);
    fnEach([&](auto, const void* pAddress) { ++arrNext[spans.Of(pAddress) + 1]; });
    std::partial_sum(arrNext.begin(), arrNext.end(), arrNext.begin());
    fnEach([&](auto entry, const void* pAddress) {
        fnPut(entry, pAddress, arrNext[spans.Of(pAddress)]++);
    });
}

// Loads the chunk at nOffset of the entries itBase[fnAt(0)] to itBase[fnAt(nCount - 1)], each
// holding its address, in that order. fnText(pAddress) gives the text reached from an address;
// fnAsk(pAddress) asks for what reaching the text takes beyond the address itself (a record's
// block of texts), AHEAD entries before it is read, once the address was asked for AHEAD before.
template <typename TAt, typename TText, typename TAsk>
void LoadHeld(ChunkIt itBase, std::size_t nCount, const TAt& fnAt, std::size_t nOffset,
              const TText& fnText, const TAsk& fnAsk, const std::atomic<bool>* pStop) {
    const auto Address = [&](std::size_t i) { return itBase[fnAt(i)].HeldAddress(); };
    for (std::size_t i = 0; i < std::min(nCount, 2 * AHEAD); ++i) {
        __builtin_prefetch(Address(i));
    }
    for (std::size_t i = 0; i < std::min(nCount, AHEAD); ++i) {
        fnAsk(Address(i));
    }
    for (std::size_t i = 0; i < nCount; ++i) {
        if (IsStopped(pStop, i + 1)) {
            return;
        }
        if (i + 2 * AHEAD < nCount) {
            __builtin_prefetch(Address(i + 2 * AHEAD));
        }
        if (i + AHEAD < nCount) {
            fnAsk(Address(i + AHEAD));
        }
        CChunk& entry = itBase[fnAt(i)];
        entry.Load(fnText(entry.HeldAddress()), nOffset);
    }
}

// A run of entries that tie on the chunks loaded so far, by their places from the first entry.
struct SRun {
    std::uint32_t nBegin;
    std::uint32_t nEnd;
};

// Loads the chunk at nOffset of every entry of the runs, whose entries hold their addresses, in
// memory order.
template <typename TText, typename TAsk>
void LoadRuns(ChunkIt itFirst, const std::vector<SRun>& arrRuns, std::size_t nOffset,
              const TText& fnText, const TAsk& fnAsk, const std::atomic<bool>* pStop) {
    std::size_t nEntries = 0;
    for (const SRun run : arrRuns) {
        nEntries += run.nEnd - run.nBegin;
    }
    std::vector<std::uint32_t> arrOrder(nEntries);
    PutInMemoryOrder(
        [&](const auto& fnVisit) {
            for (const SRun run : arrRuns) {
                for (std::uint32_t nAt = run.nBegin; nAt < run.nEnd; ++nAt) {
                    fnVisit(nAt, itFirst[nAt].HeldAddress());
                }
            }
        },
        [&arrOrder](std::uint32_t nAt, const void*, std::size_t nSlot) { arrOrder[nSlot] = nAt; });
    LoadHeld(
        itFirst, nEntries, [&arrOrder](std::size_t i) { return arrOrder[i]; }, nOffset, fnText,
        fnAsk, pStop);
}

// Orders entries whose first chunks are loaded, one chunk at a time: the entries of each run of
// equal chunks load their next chunk, all runs of one pass together. fnWhere(owner) gives where
// the owner's text is reached from; fnEqual(itRun, itEnd) is called for each run of equal texts,
// once.
template <typename TWhere, typename TText, typename TAsk, typename TEqual>
void SortTexts(ChunkIt itFirst, ChunkIt itLast, const TWhere& fnWhere, const TText& fnText,
               const TAsk& fnAsk, const TEqual& fnEqual, const std::atomic<bool>* pStop) {
    std::vector<SRun> arrTying{{0, static_cast<std::uint32_t>(itLast - itFirst)}};
    for (std::size_t nOffset = CHUNK_BYTES; !arrTying.empty(); nOffset += CHUNK_BYTES) {
        if (IsStopped(pStop)) {
            return;
        }
        std::vector<SRun> arrStillTying;
        for (const SRun tying : arrTying) {
            const ChunkIt itEnd = itFirst + tying.nEnd;
            // Texts come in no order: a sort that does not branch on its comparisons never
            // mispredicts them, and takes half the time of one that mispredicts half of them.
            boost::sort::pdqsort_branchless(itFirst + tying.nBegin, itEnd);
            for (auto itRun = itFirst + tying.nBegin; itRun != itEnd;) {
                auto itRunEnd = std::next(itRun);
                while (itRunEnd != itEnd && itRunEnd->SameChunk(*itRun)) {
                    ++itRunEnd;
                }
                if (itRun->HasMore() && std::distance(itRun, itRunEnd) > 1) {
                    for (auto it = itRun; it != itRunEnd; ++it) {
                        it->HoldAddress(fnWhere(it->Owner()));
                    }
                    arrStillTying.push_back({static_cast<std::uint32_t>(itRun - itFirst),
                                             static_cast<std::uint32_t>(itRunEnd - itFirst)});
                } else {
                    fnEqual(itRun, itRunEnd);
                }
                itRun = itRunEnd;
            }
        }
        LoadRuns(itFirst, arrStillTying, nOffset, fnText, fnAsk, pStop);
        arrTying = std::move(arrStillTying);
    }
}

// Rows enough to be worth a second thread.
constexpr std::ptrdiff_t PARALLEL_ROWS = 16384;

// The first chunks of the texts of owners 0 to nOwners - 1, in memory order, half of them loaded
// by a thread of its own when there are rows enough.
template <typename TWhere, typename TText, typename TAsk>
std::vector<CChunk> LoadColumn(std::size_t nOwners, const TWhere& fnWhere, const TText& fnText,
                               const TAsk& fnAsk, const std::atomic<bool>* pStop) {
    std::vector<CChunk> arrChunks(nOwners);
    PutInMemoryOrder(
        [&](const auto& fnVisit) {
            for (std::size_t nOwner = 0; nOwner < nOwners; ++nOwner) {
                fnVisit(nOwner, fnWhere(nOwner));
            }
        },
        [&arrChunks](std::size_t nOwner, const void* pAddress, std::size_t nSlot) {
            arrChunks[nSlot] = CChunk(nOwner);
            arrChunks[nSlot].HoldAddress(pAddress);
        });
    const auto Load = [&](std::size_t nFrom, std::size_t nTo) {
        LoadHeld(
            arrChunks.begin() + static_cast<std::ptrdiff_t>(nFrom), nTo - nFrom,
            [](std::size_t i) { return i; }, 0, fnText, fnAsk, pStop);
    };
    if (static_cast<std::ptrdiff_t>(nOwners) < PARALLEL_ROWS ||
        std::thread::hardware_concurrency() < 2) {
        Load(0, nOwners);
    } else {
        RunSideBySide([&] { Load(0, nOwners / 2); }, [&] { Load(nOwners / 2, nOwners); });
    }
    return arrChunks;
}

// SortTexts for a whole column, on two cores when there are rows enough: the entries are split
// around the chunk of a sample's median, never inside a run of equal chunks, and each part is
// sorted by a thread of its own. fnEqual may then be called from either thread, each run once.
template <typename TWhere, typename TText, typename TAsk, typename TEqual>
void SortColumn(ChunkIt itFirst, ChunkIt itLast, const TWhere& fnWhere, const TText& fnText,
                const TAsk& fnAsk, const TEqual& fnEqual, const std::atomic<bool>* pStop) {
    constexpr std::ptrdiff_t SAMPLES = 63;
    const std::ptrdiff_t nCount = itLast - itFirst;
    if (nCount < PARALLEL_ROWS || std::thread::hardware_concurrency() < 2) {
        SortTexts(itFirst, itLast, fnWhere, fnText, fnAsk, fnEqual, pStop);
        return;
    }
    std::array<CChunk, SAMPLES> aSamples;
    for (std::ptrdiff_t i = 0; i < SAMPLES; ++i) {
        aSamples[static_cast<std::size_t>(i)] = itFirst[i * nCount / SAMPLES];
    }
    std::nth_element(aSamples.begin(), aSamples.begin() + SAMPLES / 2, aSamples.end());
    const CChunk pivot = aSamples[SAMPLES / 2];
    const ChunkIt itMiddle = std::partition(
        itFirst, itLast, [&pivot](const CChunk& chunk) { return chunk.ChunkBefore(pivot); });
    RunSideBySide([&] { SortTexts(itFirst, itMiddle, fnWhere, fnText, fnAsk, fnEqual, pStop); },
                  [&] { SortTexts(itMiddle, itLast, fnWhere, fnText, fnAsk, fnEqual, pStop); });
}

} // namespace ChunkSort
