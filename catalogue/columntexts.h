// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/numberslots.h"
#include "catalogue/tracklist.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class CTrackInfo;

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
    const std::string_view& Text(std::uint32_t nText) const { return m_arrTexts[nText]; }

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

// The text a sort key compares; the genre key has none (it compares the genre's name).
std::optional<std::string_view> SortKeyText(const CTrackInfo& track, int nKey);
// For each row, the number of its key text among the texts of texts.
std::vector<std::uint32_t> TextNumbers(const CTrackList& arrRows, int nKey, CColumnTexts& texts,
                                       const std::atomic<bool>* pStop);
// For each row, the rank of its key text among the texts of all rows in byte order; equal texts
// share a rank. nExpected is the number of distinct texts to make room for. Nothing once a part
// of the rows holds more than nMostTexts distinct texts (the location never gives up): the table
// of so many takes more memory than sorting the rows' own texts.
std::optional<std::vector<std::uint32_t>> TextRanks(const CTrackList& arrRows, int nKey,
                                                    std::size_t nExpected, std::size_t nMostTexts,
                                                    const std::atomic<bool>* pStop);
