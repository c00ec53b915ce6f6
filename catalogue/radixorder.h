// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/sortpace.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// The stable order of the rows by their keys, smallest first: a radix sort, eleven bits at a
// time, that skips the digits all keys share. Ties keep the rows' order. The keys are taken, and
// go as soon as they are copied: the sort's memory at its peak is two entries a row.
template <typename TKey>
std::vector<std::uint32_t> RadixOrder(std::vector<TKey>&& arrKeys, const std::atomic<bool>* pStop) {
    constexpr unsigned DIGIT_BITS = 11;
    constexpr std::size_t BUCKETS = std::size_t{1} << DIGIT_BITS;
    constexpr unsigned DIGITS = (8 * sizeof(TKey) + DIGIT_BITS - 1) / DIGIT_BITS;
    struct SEntry {
        TKey nKey;
        std::uint32_t nRow;
    };
    const std::size_t nRows = arrKeys.size();
    std::vector<SEntry> arrEntries;
    arrEntries.reserve(nRows);
    std::vector<std::array<std::uint32_t, BUCKETS>> arrCounts(DIGITS);
    for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
        const TKey nKey = arrKeys[nRow];
        arrEntries.push_back({nKey, static_cast<std::uint32_t>(nRow)});
        for (unsigned nDigit = 0; nDigit < DIGITS; ++nDigit) {
            ++arrCounts[nDigit][(nKey >> (nDigit * DIGIT_BITS)) & (BUCKETS - 1)];
        }
    }
    const TKey nFirstKey = nRows == 0 ? TKey{0} : arrKeys[0];
    arrKeys = std::vector<TKey>();
    std::vector<SEntry> arrSpare;
    for (unsigned nDigit = 0; nDigit < DIGITS; ++nDigit) {
        if (SortPace::IsStopped(pStop)) {
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
    std::vector<std::uint32_t> arrOrder;
    arrOrder.reserve(nRows);
    for (const SEntry& entry : arrEntries) {
        arrOrder.push_back(entry.nRow);
    }
    return arrOrder;
}
