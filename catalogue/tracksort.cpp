// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tracksort.h"

#include "catalogue/genres.h"
#include "catalogue/sidebyside.h"
#include "catalogue/trackinfo.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>

namespace {

// A sort told to stop looks at its flag this often, in rows: often enough to let go of the records
// within a fraction of a millisecond, seldom enough to cost nothing.
constexpr std::size_t STOP_STRIDE = 4096;

// Whether the sort is to stop, looked at once every STOP_STRIDE rows. A stopped sort ends early
// with an order of no use, which its caller drops.
bool IsStopped(const std::atomic<bool>* pStop, std::size_t nRow = 0) {
    return nRow % STOP_STRIDE == 0 && pStop != nullptr && pStop->load(std::memory_order_relaxed);
}

// The text a key compares; the genre key has none (it compares the genre's name).
std::optional<std::string_view> KeyText(const CTrackInfo& track, int nKey) {
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

// Eight bytes of a text from nOffset, big-endian and padded with zeros: comparing two of these
// as numbers orders them as their bytes, unsigned.
std::uint64_t LoadBytes(std::string_view strText, std::size_t nOffset) {
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

constexpr std::size_t CHUNK_BYTES = 2 * sizeof(std::uint64_t);

// The chunk of a text being compared, and whose text it is: a number the caller maps to the
// text (a row, or a distinct text of the column).
struct SChunk {
    std::uint64_t nHigh = 0;
    std::uint64_t nLow = 0;
    std::uint32_t nTail = 0; // bytes from the chunk's start, CHUNK_BYTES + 1 for "and more"
    std::uint32_t nOwner = 0;

    void Load(std::string_view strText, std::size_t nOffset) {
        nHigh = LoadBytes(strText, nOffset);
        nLow = LoadBytes(strText, nOffset + sizeof nHigh);
        nTail =
            strText.size() <= nOffset
                ? 0
                : static_cast<std::uint32_t>(std::min(strText.size() - nOffset, CHUNK_BYTES + 1));
    }
    bool SameChunk(const SChunk& other) const {
        return nHigh == other.nHigh && nLow == other.nLow && nTail == other.nTail;
    }
    // Within equal zero-padded chunks, a text that ends sooner is a start of the other; equal
    // texts keep their owners' order.
    bool operator<(const SChunk& other) const {
        return std::tie(nHigh, nLow, nTail, nOwner) <
               std::tie(other.nHigh, other.nLow, other.nTail, other.nOwner);
    }
};
using ChunkIt = std::vector<SChunk>::iterator;

// The records lie scattered over memory, and reading them is most of the work: the records
// and texts of the rows a few places on are asked for ahead.
constexpr std::size_t AHEAD = 8;

// Loads the chunk at nOffset of every text of the range. fnText(owner) gives an owner's text;
// fnAsk(owner, nStep) asks for what reaching that text takes, one step at a time: step 0 comes
// 3 * AHEAD entries before the text is read, step 1 2 * AHEAD before, step 2 AHEAD before.
template <typename TText, typename TAsk>
void LoadChunks(ChunkIt itFirst, ChunkIt itLast, std::size_t nOffset, const TText& fnText,
                const TAsk& fnAsk, const std::atomic<bool>* pStop) {
    const auto nCount = static_cast<std::size_t>(itLast - itFirst);
    for (int nStep = 0; nStep < 3; ++nStep) {
        for (std::size_t i = 0; i < std::min(nCount, (3 - nStep) * AHEAD); ++i) {
            fnAsk(itFirst[i].nOwner, nStep);
        }
    }
    for (std::size_t i = 0; i < nCount; ++i) {
        if (IsStopped(pStop, i + 1)) {
            return;
        }
        for (int nStep = 0; nStep < 3; ++nStep) {
            const std::size_t nAhead = i + (3 - nStep) * AHEAD;
            if (nAhead < nCount) {
                fnAsk(itFirst[nAhead].nOwner, nStep);
            }
        }
        itFirst[i].Load(fnText(itFirst[i].nOwner), nOffset);
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
        if (itRun->nTail > CHUNK_BYTES && std::distance(itRun, itEnd) > 1) {
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
    std::array<SChunk, SAMPLES> aSamples;
    for (std::ptrdiff_t i = 0; i < SAMPLES; ++i) {
        aSamples[static_cast<std::size_t>(i)] = itFirst[i * nCount / SAMPLES];
    }
    std::nth_element(aSamples.begin(), aSamples.begin() + SAMPLES / 2, aSamples.end());
    const SChunk pivot = aSamples[SAMPLES / 2];
    const ChunkIt itMiddle = std::partition(itFirst, itLast, [&pivot](const SChunk& chunk) {
        return std::tie(chunk.nHigh, chunk.nLow, chunk.nTail) <
               std::tie(pivot.nHigh, pivot.nLow, pivot.nTail);
    });
    RunSideBySide([&] { SortTexts(itFirst, itMiddle, 0, fnText, fnAsk, fnEqual, pStop); },
                  [&] { SortTexts(itMiddle, itLast, 0, fnText, fnAsk, fnEqual, pStop); });
}

// Open addressing over numbers 0 and up, at most half full. Each slot keeps the low half of its
// value's hash: most mismatches are told apart there, without reading the value.
class CNumberSlots {
public:
    // Makes room for nValues numbers at once, rather than growing a step at a time.
    void Reserve(std::size_t nValues) {
        std::size_t nSlots = 1024;
        while (nSlots < 2 * nValues) {
            nSlots *= 2;
        }
        if (nSlots > m_arrSlots.size()) {
            Resize(nSlots);
        }
    }
    // Asks for the first slot of a hash ahead of its Find.
    void Prefetch(std::size_t nHash) const {
        if (!m_arrSlots.empty()) {
            __builtin_prefetch(&m_arrSlots[nHash & m_nMask]);
        }
    }
    // Walks the slots in probe order for nHash until fnFound(number) says yes, or a free slot
    // comes, which then holds nCount, a new number, after fnNew().
    template <typename TFound, typename TNew>
    std::uint32_t Find(std::size_t nHash, std::size_t nCount, const TFound& fnFound,
                       const TNew& fnNew) {
        if (nCount * 2 >= m_arrSlots.size()) {
            Grow();
        }
        const auto nTag = static_cast<std::uint32_t>(nHash);
        for (std::size_t nSlot = nHash & m_nMask;; nSlot = (nSlot + 1) & m_nMask) {
            SSlot& slot = m_arrSlots[nSlot];
            if (slot.nNumber == 0) {
                slot = {static_cast<std::uint32_t>(nCount + 1), nTag};
                fnNew();
                return static_cast<std::uint32_t>(nCount);
            }
            if (slot.nTag == nTag && fnFound(slot.nNumber - 1)) {
                return slot.nNumber - 1;
            }
        }
    }

private:
    struct SSlot {
        std::uint32_t nNumber; // the number + 1, 0 for a free slot
        std::uint32_t nTag;
    };

    void Grow() { Resize(std::max<std::size_t>(1024, m_arrSlots.size() * 2)); }

    void Resize(std::size_t nSlots) {
        std::vector<SSlot> arrOld(nSlots, SSlot{0, 0});
        arrOld.swap(m_arrSlots);
        m_nMask = m_arrSlots.size() - 1;
        for (const SSlot& slot : arrOld) {
            if (slot.nNumber != 0) {
                std::size_t nSlot = slot.nTag & m_nMask;
                while (m_arrSlots[nSlot].nNumber != 0) {
                    nSlot = (nSlot + 1) & m_nMask;
                }
                m_arrSlots[nSlot] = slot;
            }
        }
    }

    std::vector<SSlot> m_arrSlots;
    std::size_t m_nMask = 0;
};

// The distinct texts of a column, each with a number in order of first sight, ready to sort.
// Most columns of a large library hold far fewer texts than rows (artists, albums, years): only
// the distinct ones are sorted. Each is copied once into blocks of our own, where it stays in the
// cache while the rows that repeat it are compared with it; the record it came from would be a
// cache miss at every comparison.
class CColumnTexts {
public:
    static std::size_t Hash(std::string_view strText) {
        return std::hash<std::string_view>()(strText);
    }
    void Prefetch(std::size_t nHash) const { m_slots.Prefetch(nHash); }
    void Reserve(std::size_t nTexts) { m_slots.Reserve(nTexts); }
    std::uint32_t Add(std::string_view strText) { return Add(strText, Hash(strText)); }
    std::uint32_t Add(std::string_view strText, std::size_t nHash) {
        return m_slots.Find(
            nHash, m_arrTexts.size(),
            [&](std::uint32_t nText) { return m_arrTexts[nText] == strText; },
            [&] { m_arrTexts.push_back(Keep(strText)); });
    }
    std::size_t Count() const { return m_arrTexts.size(); }
    // Once every text is in, the table that found them goes before the sort's memory comes.
    void EndAdding() { m_slots = CNumberSlots(); }
    std::string_view Text(std::uint32_t nText) const { return m_arrTexts[nText]; }

private:
    static constexpr std::size_t BLOCK_BYTES = std::size_t{1} << 20;

    std::string_view Keep(std::string_view strText) {
        if (m_arrBlocks.empty() || m_nBlockUsed + strText.size() > m_nBlockSize) {
            m_nBlockSize = std::max(BLOCK_BYTES, strText.size());
            m_arrBlocks.push_back(std::make_unique<char[]>(m_nBlockSize));
            m_nBlockUsed = 0;
        }
        char* pCopy = m_arrBlocks.back().get() + m_nBlockUsed;
        std::copy(strText.begin(), strText.end(), pCopy);
        m_nBlockUsed += strText.size();
        return std::string_view(pCopy, strText.size());
    }

    CNumberSlots m_slots;
    std::vector<std::string_view> m_arrTexts;
    std::vector<std::unique_ptr<char[]>> m_arrBlocks;
    std::size_t m_nBlockSize = 0;
    std::size_t m_nBlockUsed = 0;
};

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

// For each row, the number of its key text among the texts of texts.
std::vector<std::uint32_t> TextNumbers(const CTrackList& arrRows, int nKey, CColumnTexts& texts,
                                       const std::atomic<bool>* pStop) {
    // Three steps ahead of the row being numbered: the record of the row 2 * AHEAD on is asked
    // for, then the text of the row AHEAD on, then the slot of the row HASHED on, whose text
    // has come by then and is hashed.
    constexpr std::size_t HASHED = AHEAD / 2;
    const std::size_t nRows = arrRows.size();
    const auto Text = [&arrRows, nKey](std::size_t nRow) { return *KeyText(*arrRows[nRow], nKey); };
    std::array<std::size_t, AHEAD> aHashes{}; // of the rows HASHED on, at their row % AHEAD
    const auto HashAhead = [&](std::size_t nRow) {
        aHashes[nRow % AHEAD] = CColumnTexts::Hash(Text(nRow));
        texts.Prefetch(aHashes[nRow % AHEAD]);
    };
    for (std::size_t nRow = 0; nRow < std::min(nRows, 2 * AHEAD); ++nRow) {
        __builtin_prefetch(arrRows[nRow]);
    }
    for (std::size_t nRow = 0; nRow < std::min(nRows, AHEAD); ++nRow) {
        arrRows[nRow]->PrefetchTexts();
    }
    for (std::size_t nRow = 0; nRow < std::min(nRows, HASHED); ++nRow) {
        HashAhead(nRow);
    }
    std::vector<std::uint32_t> arrNumbers(nRows);
    std::string_view strPrevious;
    std::uint32_t nPrevious = 0;
    for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
        if (IsStopped(pStop, nRow + 1)) {
            return {};
        }
        if (nRow + 2 * AHEAD < nRows) {
            __builtin_prefetch(arrRows[nRow + 2 * AHEAD]);
        }
        if (nRow + AHEAD < nRows) {
            arrRows[nRow + AHEAD]->PrefetchTexts();
        }
        if (nRow + HASHED < nRows) {
            HashAhead(nRow + HASHED);
        }
        // Neighbours often share a text (the files of one folder, of one album).
        const std::string_view strText = Text(nRow);
        if (nRow == 0 || strText != strPrevious) {
            nPrevious = texts.Add(strText, aHashes[nRow % AHEAD]);
            strPrevious = strText;
        }
        arrNumbers[nRow] = nPrevious;
    }
    return arrNumbers;
}

// The same for the location, which the records of one folder share as one object: each
// folder's text is read once, not once a row.
std::vector<std::uint32_t> LocationNumbers(const CTrackList& arrRows, CColumnTexts& texts,
                                           const std::atomic<bool>* pStop) {
    const std::size_t nRows = arrRows.size();
    for (std::size_t nRow = 0; nRow < std::min(nRows, AHEAD); ++nRow) {
        __builtin_prefetch(arrRows[nRow]);
    }
    CColumnObjects folders;
    std::vector<std::uint32_t> arrNumbers(nRows);
    for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
        if (IsStopped(pStop, nRow + 1)) {
            return {};
        }
        if (nRow + AHEAD < nRows) {
            __builtin_prefetch(arrRows[nRow + AHEAD]);
        }
        arrNumbers[nRow] = folders.Add(&arrRows[nRow]->GetLocation());
    }
    std::vector<std::uint32_t> arrTextOfFolder;
    arrTextOfFolder.reserve(folders.Objects().size());
    for (const void* pFolder : folders.Objects()) {
        arrTextOfFolder.push_back(texts.Add(*static_cast<const std::string*>(pFolder)));
    }
    for (std::uint32_t& nNumber : arrNumbers) {
        nNumber = arrTextOfFolder[nNumber];
    }
    return arrNumbers;
}

// For each row, the rank of its key text among the texts of all rows in byte order; equal texts
// share a rank. nExpected is the number of distinct texts to make room for.
std::vector<std::uint32_t> TextRanks(const CTrackList& arrRows, int nKey, std::size_t nExpected,
                                     const std::atomic<bool>* pStop) {
    CColumnTexts texts;
    texts.Reserve(nExpected);
    std::vector<std::uint32_t> arrRanks = nKey == CTrackSort::KEY_LOCATION
                                              ? LocationNumbers(arrRows, texts, pStop)
                                              : TextNumbers(arrRows, nKey, texts, pStop);
    if (IsStopped(pStop)) {
        return {};
    }
    texts.EndAdding();
    std::vector<SChunk> arrChunks(texts.Count());
    for (std::size_t nText = 0; nText < arrChunks.size(); ++nText) {
        arrChunks[nText].nOwner = static_cast<std::uint32_t>(nText);
    }
    const auto Text = [&texts](std::uint32_t nText) { return texts.Text(nText); };
    const auto Ask = [&texts](std::uint32_t nText, int nStep) {
        if (nStep == 2) {
            __builtin_prefetch(texts.Text(nText).data());
        }
    };
    LoadColumn(arrChunks.begin(), arrChunks.end(), Text, Ask, pStop);
    std::vector<std::uint32_t> arrRankOfText(arrChunks.size());
    const ChunkIt itBegin = arrChunks.begin();
    SortColumn(
        itBegin, arrChunks.end(), Text, Ask,
        [&](ChunkIt itRun, ChunkIt itEnd) {
            // The texts are distinct: each run is one text, and its place is its rank.
            arrRankOfText[itRun->nOwner] = static_cast<std::uint32_t>(itRun - itBegin);
            (void)itEnd;
        },
        pStop);
    arrChunks = std::vector<SChunk>();
    for (std::uint32_t& nRank : arrRanks) {
        nRank = arrRankOfText[nRank];
    }
    return arrRanks;
}

// The stable order of the rows by their key texts, each row's text sorted where it lies in its
// record: for a column of mostly distinct texts (file names, titles) this takes a third of the
// memory of numbering the distinct texts first, and no table of them. Equal texts come out
// together in the rows' order, so both directions are read off the sorted rows.
template <std::string_view (CTrackInfo::*GET_TEXT)() const>
std::vector<std::uint32_t> RowTextOrder(const CTrackList& arrRows, bool bReverse,
                                        const std::atomic<bool>* pStop) {
    const std::size_t nRows = arrRows.size();
    std::vector<SChunk> arrChunks(nRows);
    for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
        arrChunks[nRow].nOwner = static_cast<std::uint32_t>(nRow);
    }
    const auto Text = [&arrRows](std::uint32_t nRow) { return (arrRows[nRow]->*GET_TEXT)(); };
    const auto Ask = [&arrRows](std::uint32_t nRow, int nStep) {
        if (nStep == 0) {
            __builtin_prefetch(&arrRows[nRow]);
        } else if (nStep == 1) {
            __builtin_prefetch(arrRows[nRow]);
        } else {
            arrRows[nRow]->PrefetchTexts();
        }
    };
    LoadColumn(arrChunks.begin(), arrChunks.end(), Text, Ask, pStop);
    std::vector<std::uint32_t> arrOrder(nRows);
    const ChunkIt itBegin = arrChunks.begin();
    SortColumn(
        itBegin, arrChunks.end(), Text, Ask,
        [&](ChunkIt itRun, ChunkIt itEnd) {
            // Reversed, the run of equal texts takes the mirror place, its rows still in order.
            std::size_t nAt =
                static_cast<std::size_t>(bReverse ? nRows - (itEnd - itBegin) : itRun - itBegin);
            for (auto it = itRun; it != itEnd; ++it) {
                arrOrder[nAt++] = it->nOwner;
            }
        },
        pStop);
    return arrOrder;
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

// The stable order of the rows by their keys, smallest first: a radix sort, eleven bits at a
// time, that skips the digits all keys share. Ties keep the rows' order. The keys are taken, and
// go as soon as they are copied: the sort's memory at its peak is two entries a row.
template <typename TKey>
std::vector<std::uint32_t> StableOrder(std::vector<TKey>&& arrKeys,
                                       const std::atomic<bool>* pStop) {
    constexpr unsigned DIGIT_BITS = 11;
    constexpr std::size_t BUCKETS = std::size_t{1} << DIGIT_BITS;
    constexpr unsigned DIGITS = (8 * sizeof(TKey) + DIGIT_BITS - 1) / DIGIT_BITS;
    struct SEntry {
        TKey nKey;
        std::uint32_t nRow;
    };
    const std::size_t nRows = arrKeys.size();
    std::vector<SEntry> arrEntries(nRows);
    std::vector<std::array<std::uint32_t, BUCKETS>> arrCounts(DIGITS);
    for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
        const TKey nKey = arrKeys[nRow];
        arrEntries[nRow] = {nKey, static_cast<std::uint32_t>(nRow)};
        for (unsigned nDigit = 0; nDigit < DIGITS; ++nDigit) {
            ++arrCounts[nDigit][(nKey >> (nDigit * DIGIT_BITS)) & (BUCKETS - 1)];
        }
    }
    const TKey nFirstKey = nRows == 0 ? TKey{0} : arrKeys[0];
    arrKeys = std::vector<TKey>();
    std::vector<SEntry> arrSpare;
    for (unsigned nDigit = 0; nDigit < DIGITS; ++nDigit) {
        if (IsStopped(pStop)) {
            return {};
        }
        std::array<std::uint32_t, BUCKETS>& arrCount = arrCounts[nDigit];
        if (nRows == 0 || arrCount[(nFirstKey >> (nDigit * DIGIT_BITS)) & (BUCKETS - 1)] == nRows) {
            continue; // every key has the same digit here
        }
        arrSpare.resize(nRows);
        std::uint32_t nStart = 0;
        for (std::uint32_t& nCount : arrCount) {
            nStart += std::exchange(nCount, nStart);
        }
        for (const SEntry& entry : arrEntries) {
            arrSpare[arrCount[(entry.nKey >> (nDigit * DIGIT_BITS)) & (BUCKETS - 1)]++] = entry;
        }
        arrEntries.swap(arrSpare);
    }
    arrSpare = std::vector<SEntry>();
    std::vector<std::uint32_t> arrOrder(nRows);
    for (std::size_t i = 0; i < nRows; ++i) {
        arrOrder[i] = arrEntries[i].nRow;
    }
    return arrOrder;
}

// The order by size: the sizes of one list mostly lie within four gigabytes of one another, and
// then their distances from the smallest sort as 32-bit keys, in half the memory and fewer passes.
std::vector<std::uint32_t> SizeOrder(const CTrackList& arrRows, bool bReverse,
                                     const std::atomic<bool>* pStop) {
    std::vector<std::uint64_t> arrKeys(arrRows.size());
    for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
        if (IsStopped(pStop, nRow + 1)) {
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
        return StableOrder(std::move(arrKeys), pStop);
    }
    std::vector<std::uint32_t> arrNarrow(arrKeys.size());
    for (std::size_t nRow = 0; nRow < arrKeys.size(); ++nRow) {
        arrNarrow[nRow] = static_cast<std::uint32_t>(arrKeys[nRow] - nLeast);
    }
    arrKeys = std::vector<std::uint64_t>();
    return StableOrder(std::move(arrNarrow), pStop);
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
    if (!IsOrderingKey(nSortKey) || arrRows.size() < 2) {
        std::vector<std::uint32_t> arrOrder(arrRows.size());
        std::iota(arrOrder.begin(), arrOrder.end(), 0U);
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
            if (IsStopped(pStop, nRow + 1)) {
                return {};
            }
            arrKeys[nRow] = static_cast<std::uint32_t>(arrRows[nRow]->GetTrack());
        }
    } else if (nKey != KEY_GENRE && nKey != KEY_LOCATION) {
        // The first rows tell how many distinct texts to expect, and so which way takes less.
        constexpr std::size_t SAMPLE = 4096;
        const std::size_t nSample = std::min(arrRows.size(), SAMPLE);
        CColumnTexts sample;
        TextNumbers(CTrackList(arrRows.begin(), arrRows.begin() + nSample), nKey, sample, pStop);
        if (sample.Count() * 4 > nSample) {
            return RowTextOrder(arrRows, nKey, bReverse, pStop);
        }
        arrKeys = TextRanks(arrRows, nKey, sample.Count() * (arrRows.size() / nSample), pStop);
    } else if (nKey == KEY_GENRE) {
        const std::array<std::uint32_t, 256> arrGenreRanks = GenreNameRanks();
        arrKeys.resize(arrRows.size());
        for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
            if (IsStopped(pStop, nRow + 1)) {
                return {};
            }
            arrKeys[nRow] = arrGenreRanks[arrRows[nRow]->GetGenre()];
        }
    } else {
        arrKeys = TextRanks(arrRows, nKey, 0, pStop);
    }
    if (bReverse) {
        for (std::uint32_t& nRank : arrKeys) {
            nRank = ~nRank;
        }
    }
    if (IsStopped(pStop)) {
        return {};
    }
    return StableOrder(std::move(arrKeys), pStop);
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
                           : KeyText(*pFirst, nKey)->compare(*KeyText(*pSecond, nKey));
    if (nOrder < 0) {
        return -nDirection;
    }
    if (nOrder > 0) {
        return nDirection;
    }
    return 0;
}
