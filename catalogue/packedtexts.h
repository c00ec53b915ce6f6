// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string_view>

// A few texts kept end to end in one allocation. A large library holds millions of short texts:
// one block per record, instead of one string object (and often one allocation) per text, keeps
// the catalogue small. The block starts with where each text ends, so that the object itself is
// one pointer: two bytes an end while the texts come to less than 64 KB together, as a tag's and
// a file name's always do, four bytes an end after a marker for longer texts set in memory.
template <std::size_t N> class CPackedTexts {
public:
    CPackedTexts(std::initializer_list<std::string_view> texts) {
        std::array<std::string_view, N> aTexts{};
        std::copy_n(texts.begin(), std::min(N, texts.size()), aTexts.begin());
        Assign(aTexts);
    }
    CPackedTexts(const CPackedTexts& other) { Assign(other.All()); }
    CPackedTexts& operator=(const CPackedTexts& other) {
        if (this != &other) {
            Assign(other.All());
        }
        return *this;
    }
    CPackedTexts(CPackedTexts&&) noexcept = default;
    CPackedTexts& operator=(CPackedTexts&&) noexcept = default;

    // Read for every row of every sort and filter: the short layout is told once and read
    // directly.
    std::string_view Get(std::size_t i) const {
        const char* pBytes = m_pBytes.get();
        std::uint16_t aEnds[2] = {0, 0}; // the ends of texts i - 1 and i
        std::memcpy(aEnds, pBytes + (i == 0 ? 0 : i - 1) * sizeof aEnds[0], sizeof aEnds);
        if (i == 0) {
            aEnds[1] = aEnds[0];
            aEnds[0] = 0;
        }
        std::uint16_t nFirst;
        std::memcpy(&nFirst, pBytes, sizeof nFirst);
        if (nFirst != WIDE) {
            return std::string_view(pBytes + SHORT_HEADER + aEnds[0], aEnds[1] - aEnds[0]);
        }
        const std::size_t nBegin = i == 0 ? 0 : End(i - 1);
        return std::string_view(Texts() + nBegin, End(i) - nBegin);
    }

    // Every text end to end, in order.
    std::string_view GetAll() const { return std::string_view(Texts(), End(N - 1)); }

    // Where the block lies, to ask for it ahead of reading it: unlike a text's address, which
    // takes the ends read from the block, this reads nothing.
    const char* GetBlock() const { return m_pBytes.get(); }

    void Set(std::size_t i, std::string_view strText) {
        std::array<std::string_view, N> aTexts = All();
        aTexts[i] = strText;
        Assign(aTexts); // copies before the old block goes: strText may point into it
    }

private:
    static constexpr std::uint16_t WIDE = 0xFFFF; // first of the short ends: four-byte ends follow
    static constexpr std::size_t SHORT_HEADER = N * sizeof(std::uint16_t);
    static constexpr std::size_t WIDE_HEADER = sizeof(std::uint16_t) + N * sizeof(std::uint32_t);

    bool IsWide() const {
        std::uint16_t nFirst;
        std::memcpy(&nFirst, m_pBytes.get(), sizeof nFirst);
        return nFirst == WIDE;
    }
    std::size_t End(std::size_t i) const {
        if (IsWide()) {
            std::uint32_t nEnd;
            std::memcpy(&nEnd, m_pBytes.get() + sizeof(std::uint16_t) + i * sizeof nEnd,
                        sizeof nEnd);
            return nEnd;
        }
        std::uint16_t nEnd;
        std::memcpy(&nEnd, m_pBytes.get() + i * sizeof nEnd, sizeof nEnd);
        return nEnd;
    }
    const char* Texts() const { return m_pBytes.get() + (IsWide() ? WIDE_HEADER : SHORT_HEADER); }

    std::array<std::string_view, N> All() const {
        std::array<std::string_view, N> aTexts{};
        for (std::size_t i = 0; i < N; ++i) {
            aTexts[i] = Get(i);
        }
        return aTexts;
    }

    void Assign(const std::array<std::string_view, N>& aTexts) {
        std::size_t nTotal = 0;
        for (const std::string_view strText : aTexts) {
            nTotal += strText.size();
        }
        const bool bWide = nTotal >= WIDE;
        const std::size_t nHeader = bWide ? WIDE_HEADER : SHORT_HEADER;
        std::unique_ptr<char[]> pBytes(new char[nHeader + nTotal]); // all written below
        char* pHeader = pBytes.get();
        if (bWide) {
            std::memcpy(pHeader, &WIDE, sizeof WIDE);
            pHeader += sizeof WIDE;
        }
        char* pText = pBytes.get() + nHeader;
        std::size_t nEnd = 0;
        for (const std::string_view strText : aTexts) {
            if (!strText.empty()) { // an empty view may hold no pointer at all
                std::memcpy(pText + nEnd, strText.data(), strText.size());
            }
            nEnd += strText.size();
            if (bWide) {
                const auto nWideEnd = static_cast<std::uint32_t>(nEnd);
                std::memcpy(pHeader, &nWideEnd, sizeof nWideEnd);
                pHeader += sizeof nWideEnd;
            } else {
                const auto nShortEnd = static_cast<std::uint16_t>(nEnd);
                std::memcpy(pHeader, &nShortEnd, sizeof nShortEnd);
                pHeader += sizeof nShortEnd;
            }
        }
        m_pBytes = std::move(pBytes);
    }

    std::unique_ptr<char[]> m_pBytes;
};
