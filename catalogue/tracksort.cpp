// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tracksort.h"

#include "catalogue/genres.h"
#include "catalogue/trackinfo.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace {

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
    for (std::size_t i = nOffset; i < nOffset + sizeof nValue; ++i) {
        nValue <<= 8;
        if (i < strText.size()) {
            nValue |= static_cast<unsigned char>(strText[i]);
        }
    }
    return nValue;
}

constexpr std::size_t CHUNK_BYTES = 2 * sizeof(std::uint64_t);

// One row's key text, with the chunk of it being compared at hand.
struct CTextEntry {
    std::uint64_t nHigh = 0;
    std::uint64_t nLow = 0;
    std::string_view strText;
    std::uint32_t nTail = 0; // bytes from the chunk's start, CHUNK_BYTES + 1 for "and more"
    std::uint32_t nRun = 0;

    void LoadChunk(std::size_t nOffset) {
        nHigh = LoadBytes(strText, nOffset);
        nLow = LoadBytes(strText, nOffset + sizeof nHigh);
        nTail =
            strText.size() <= nOffset
                ? 0
                : static_cast<std::uint32_t>(std::min(strText.size() - nOffset, CHUNK_BYTES + 1));
    }
    bool SameChunk(const CTextEntry& other) const {
        return nHigh == other.nHigh && nLow == other.nLow && nTail == other.nTail;
    }
    // Within equal zero-padded chunks, a text that ends sooner is a start of the other.
    bool operator<(const CTextEntry& other) const {
        return std::tie(nHigh, nLow, nTail, nRun) <
               std::tie(other.nHigh, other.nLow, other.nTail, other.nRun);
    }
};

// Orders texts that agree on their first nOffset bytes, one chunk at a time: only rows that
// still tie read their next chunk.
void SortTexts(std::vector<CTextEntry>::iterator itFirst, std::vector<CTextEntry>::iterator itLast,
               std::size_t nOffset) {
    std::sort(itFirst, itLast);
    for (auto itRun = itFirst; itRun != itLast;) {
        auto itEnd = std::next(itRun);
        while (itEnd != itLast && itEnd->SameChunk(*itRun)) {
            ++itEnd;
        }
        if (itRun->nTail > CHUNK_BYTES && std::distance(itRun, itEnd) > 1) {
            for (auto it = itRun; it != itEnd; ++it) {
                it->LoadChunk(nOffset + CHUNK_BYTES);
            }
            SortTexts(itRun, itEnd, nOffset + CHUNK_BYTES);
        }
        itRun = itEnd;
    }
}

// For each row, the rank of its key text among the texts of all rows in byte order; equal texts
// share a rank.
std::vector<std::uint64_t> TextRanks(const std::vector<CTrackInfo*>& arrRows, int nKey) {
    // Reading a record costs more than comparing texts, as the records lie scattered over
    // memory: each is read once, its text copied into one block that the sort reads instead.
    // Neighbouring rows often share a text (the files of one folder, of one album): they are
    // sorted as one entry.
    struct CRun {
        std::size_t nFirstRow;
        std::size_t nOffset;
        std::size_t nLength;
    };
    std::string strTexts;
    std::vector<CRun> arrRuns;
    for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
        const std::string_view strText = *KeyText(*arrRows[nRow], nKey);
        if (!arrRuns.empty() &&
            std::string_view(strTexts).substr(arrRuns.back().nOffset) == strText) {
            continue;
        }
        arrRuns.push_back({nRow, strTexts.size(), strText.size()});
        strTexts += strText;
    }
    std::vector<CTextEntry> arrEntries(arrRuns.size());
    for (std::size_t nRun = 0; nRun < arrRuns.size(); ++nRun) {
        CTextEntry& entry = arrEntries[nRun];
        entry.strText =
            std::string_view(strTexts).substr(arrRuns[nRun].nOffset, arrRuns[nRun].nLength);
        entry.nRun = static_cast<std::uint32_t>(nRun);
        entry.LoadChunk(0);
    }
    SortTexts(arrEntries.begin(), arrEntries.end(), 0);

    std::vector<std::uint64_t> arrRanks(arrRows.size());
    std::uint64_t nRank = 0;
    for (std::size_t i = 0; i < arrEntries.size(); ++i) {
        if (i > 0 && arrEntries[i].strText != arrEntries[i - 1].strText) {
            ++nRank;
        }
        const std::size_t nRun = arrEntries[i].nRun;
        const std::size_t nEnd =
            nRun + 1 < arrRuns.size() ? arrRuns[nRun + 1].nFirstRow : arrRows.size();
        std::fill(arrRanks.begin() + static_cast<std::ptrdiff_t>(arrRuns[nRun].nFirstRow),
                  arrRanks.begin() + static_cast<std::ptrdiff_t>(nEnd), nRank);
    }
    return arrRanks;
}

// Ranks of the names of all 256 genre bytes in text order; equal names share a rank.
std::array<std::uint64_t, 256> GenreNameRanks() {
    std::array<std::string, 256> arrNames;
    std::array<int, 256> arrOrder;
    for (int nGenre = 0; nGenre < 256; ++nGenre) {
        arrNames[nGenre] = GenreName(static_cast<unsigned char>(nGenre));
        arrOrder[nGenre] = nGenre;
    }
    std::sort(arrOrder.begin(), arrOrder.end(), [&arrNames](int nFirst, int nSecond) {
        return arrNames[nFirst] < arrNames[nSecond];
    });
    std::array<std::uint64_t, 256> arrRanks{};
    std::uint64_t nRank = 0;
    for (std::size_t i = 0; i < arrOrder.size(); ++i) {
        if (i > 0 && arrNames[arrOrder[i]] != arrNames[arrOrder[i - 1]]) {
            ++nRank;
        }
        arrRanks[arrOrder[i]] = nRank;
    }
    return arrRanks;
}

} // namespace

std::vector<std::uint32_t> CTrackSort::SortedOrder(const CTrackList& arrRows, int nSortKey) {
    if (!IsOrderingKey(nSortKey)) {
        std::vector<std::uint32_t> arrOrder(arrRows.size());
        std::iota(arrOrder.begin(), arrOrder.end(), 0U);
        return arrOrder;
    }
    // One number per row is sorted instead of the records: for many rows, reading records
    // scattered over memory at every comparison costs more than the sort itself.
    struct CEntry {
        std::uint64_t nValue; // in the order of the positive key
        std::uint32_t nRow;
    };
    const int nKey = nSortKey < 0 ? -nSortKey : nSortKey;
    std::vector<CEntry> arrEntries(arrRows.size());
    if (nKey == CTrackSort::KEY_SIZE) {
        for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
            // Largest first for the positive key; the flipped sign bit keeps the signed order.
            const auto nSize = static_cast<std::uint64_t>(arrRows[nRow]->GetSize());
            arrEntries[nRow] = {~(nSize ^ (1ULL << 63)), static_cast<std::uint32_t>(nRow)};
        }
    } else if (nKey == CTrackSort::KEY_GENRE) {
        const std::array<std::uint64_t, 256> arrGenreRanks = GenreNameRanks();
        for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
            arrEntries[nRow] = {arrGenreRanks[arrRows[nRow]->GetGenre()],
                                static_cast<std::uint32_t>(nRow)};
        }
    } else {
        const std::vector<std::uint64_t> arrRanks = TextRanks(arrRows, nKey);
        for (std::size_t nRow = 0; nRow < arrRows.size(); ++nRow) {
            arrEntries[nRow] = {arrRanks[nRow], static_cast<std::uint32_t>(nRow)};
        }
    }
    // Ties keep the list's order in both directions: that makes the sort stable.
    const bool bReverse = nSortKey < 0;
    std::sort(arrEntries.begin(), arrEntries.end(),
              [bReverse](const CEntry& first, const CEntry& second) {
                  if (first.nValue != second.nValue) {
                      return bReverse ? first.nValue > second.nValue : first.nValue < second.nValue;
                  }
                  return first.nRow < second.nRow;
              });
    std::vector<std::uint32_t> arrOrder(arrEntries.size());
    for (std::size_t i = 0; i < arrEntries.size(); ++i) {
        arrOrder[i] = arrEntries[i].nRow;
    }
    return arrOrder;
}

bool CTrackSort::IsOrderingKey(int nSortKey) {
    // Written without abs(): a stored INT_MIN must not overflow.
    return nSortKey != 0 && nSortKey >= -KEY_COMMENT && nSortKey <= KEY_COMMENT;
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
