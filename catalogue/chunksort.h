// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/sidebyside.h"
#include "catalogue/sortpace.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

// Sorts texts by their bytes, sixteen at a time: each text's next chunk is loaded as two numbers
// only while it still ties with others, so that most comparisons read no text at all.
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
    // texts keep their owners' order.
    bool operator<(const CChunk& other) const {
        return m_nHigh < other.m_nHigh || (m_nHigh == other.m_nHigh && m_nLow < other.m_nLow);
    }

private:
    std::uint64_t m_nHigh = 0; // the chunk's first eight bytes, big-endian
    // Its last four bytes, big-endian, then its length in four bits, then its owner.
    std::uint64_t m_nLow = 0;
};
using ChunkIt = std::vector<CChunk>::iterator;

// Loads the chunk at nOffset of every text of the range. fnText(owner) gives an owner's text;
// fnAsk(owner, nStep) asks for what reaching that text takes, one step at a time: step 0 comes
// 3 * AHEAD entries before the text is read, step 1 2 * AHEAD before, step 2 AHEAD before.
template <typename TText, typename TAsk>
void LoadChunks(ChunkIt itFirst, ChunkIt itLast, std::size_t nOffset, const TText& fnText,
                const TAsk& fnAsk, const std::atomic<bool>* pStop) {
    const auto nCount = static_cast<std::size_t>(itLast - itFirst);
    for (int nStep = 0; nStep < 3; ++nStep) {
        for (std::size_t i = 0; i < std::min(nCount, (3 - nStep) * AHEAD); ++i) {
            fnAsk(itFirst[i].Owner(), nStep);
        }
    }
    for (std::size_t i = 0; i < nCount; ++i) {
        if (IsStopped(pStop, i + 1)) {
            return;
        }
        for (int nStep = 0; nStep < 3; ++nStep) {
            const std::size_t nAhead = i + (3 - nStep) * AHEAD;
            if (nAhead < nCount) {
                fnAsk(itFirst[nAhead].Owner(), nStep);
            }
        }
        itFirst[i].Load(fnText(itFirst[i].Owner()), nOffset);
    }
}

// Orders texts that agree on their first nOffset bytes, one chunk at a time: only entries that
// still tie read their next chunk. fnEqual(itRun, itEnd) is called for each run of equal texts,
// in order.
template <typename TText, typename TAsk, typename TEqual>
void SortTexts(ChunkIt itFirst, ChunkIt itLast, std::size_t nOffset, const TText& fnText,
               const TAsk& fnAsk, const TEqual& fnEqual, const std::atomic<bool>* pStop) {
    if (IsStopped(pStop)) {
        return;
    }
    std::sort(itFirst, itLast);
    for (auto itRun = itFirst; itRun != itLast;) {
        auto itEnd = std::next(itRun);
        while (itEnd != itLast && itEnd->SameChunk(*itRun)) {
            ++itEnd;
        }
        if (itRun->HasMore() && std::distance(itRun, itEnd) > 1) {
            LoadChunks(itRun, itEnd, nOffset + CHUNK_BYTES, fnText, fnAsk, pStop);
            SortTexts(itRun, itEnd, nOffset + CHUNK_BYTES, fnText, fnAsk, fnEqual, pStop);
        } else {
            fnEqual(itRun, itEnd);
        }
        itRun = itEnd;
    }
}

// Rows enough to be worth a second thread.
constexpr std::ptrdiff_t PARALLEL_ROWS = 16384;

// LoadChunks from the start of every text of a column, half of them by a thread of its own when
// there are rows enough.
template <typename TText, typename TAsk>
void LoadColumn(ChunkIt itFirst, ChunkIt itLast, const TText& fnText, const TAsk& fnAsk,
                const std::atomic<bool>* pStop) {
    if (itLast - itFirst < PARALLEL_ROWS || std::thread::hardware_concurrency() < 2) {
        LoadChunks(itFirst, itLast, 0, fnText, fnAsk, pStop);
        return;
    }
    const ChunkIt itMiddle = itFirst + (itLast - itFirst) / 2;
    RunSideBySide([&] { LoadChunks(itFirst, itMiddle, 0, fnText, fnAsk, pStop); },
                  [&] { LoadChunks(itMiddle, itLast, 0, fnText, fnAsk, pStop); });
}

// The same for a whole column, on two cores when there are rows enough: the entries are split
// around the chunk of a sample's median, never inside a run of equal chunks, and each part is
// sorted by a thread of its own. fnEqual may then be called from either thread, each run once.
template <typename TText, typename TAsk, typename TEqual>
void SortColumn(ChunkIt itFirst, ChunkIt itLast, const TText& fnText, const TAsk& fnAsk,
                const TEqual& fnEqual, const std::atomic<bool>* pStop) {
    constexpr std::ptrdiff_t SAMPLES = 63;
    const std::ptrdiff_t nCount = itLast - itFirst;
    if (nCount < PARALLEL_ROWS || std::thread::hardware_concurrency() < 2) {
        SortTexts(itFirst, itLast, 0, fnText, fnAsk, fnEqual, pStop);
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
    RunSideBySide([&] { SortTexts(itFirst, itMiddle, 0, fnText, fnAsk, fnEqual, pStop); },
                  [&] { SortTexts(itMiddle, itLast, 0, fnText, fnAsk, fnEqual, pStop); });
}

} // namespace ChunkSort
