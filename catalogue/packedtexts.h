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

#include "catalogue/textarena.h"

// A few texts kept end to end in one block. A large library holds millions of short texts: one
// block per record, instead of one string object (and often one allocation) per text, keeps the
// catalogue small, and the blocks come from the text arena, without the heap's header and
// rounding. The block starts with where each text ends, so that the object itself is one
// pointer: one byte an end while the texts come to less than 254 bytes together, as a tag's and
// a file name's nearly always do, two bytes an end after a marker below 64 KB, four beyond.
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

    // Read for every row of every sort and filter: the byte layout is told by its first byte and
    // read directly.
    std::string_view Get(std::size_t i) const {
        const auto* pEnds = reinterpret_cast<const unsigned char*>(m_pBytes.get());
        if (pEnds[0] < SHORT_MARK) {
            const std::size_t nBegin = i == 0 ? 0 : pEnds[i - 1];
            return std::string_view(m_pBytes.get() + N + nBegin, pEnds[i] - nBegin);
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
    // The first byte of the wider layouts; one of the byte layout is the first text's end.
    static constexpr unsigned char SHORT_MARK = 0xFE;
    static constexpr unsigned char WIDE_MARK = 0xFF;
    static constexpr std::size_t BYTE_TOTAL = SHORT_MARK; // the byte layout's texts come to less
    static constexpr std::size_t SHORT_TOTAL = 0xFFFF;

    unsigned char Layout() const { return static_cast<unsigned char>(m_pBytes[0]); }
    static std::size_t HeaderBytes(unsigned char nLayout) {
        return nLayout < SHORT_MARK    ? N
               : nLayout == SHORT_MARK ? 1 + N * sizeof(std::uint16_t)
                                       : 1 + N * sizeof(std::uint32_t);
    }
    std::size_t End(std::size_t i) const {
        const unsigned char nLayout = Layout();
        if (nLayout < SHORT_MARK) {
            return static_cast<unsigned char>(m_pBytes[i]);
        }
        if (nLayout == SHORT_MARK) {
            std::uint16_t nEnd;
            std::memcpy(&nEnd, m_pBytes.get() + 1 + i * sizeof nEnd, sizeof nEnd);
            return nEnd;
        }
        std::uint32_t nEnd;
        std::memcpy(&nEnd, m_pBytes.get() + 1 + i * sizeof nEnd, sizeof nEnd);
        return nEnd;
    }
    const char* Texts() const { return m_pBytes.get() + HeaderBytes(Layout()); }

    std::array<std::string_view, N> All() const {
        std::array<std::string_view, N> aTexts{};
        for (std::size_t i = 0; i < N; ++i) {
            aTexts[i] = Get(i);
        }
        return aTexts;
    }

    template <typename TEnd> static char* PutEnd(char* pHeader, std::size_t nEnd) {
        const auto nTyped = static_cast<TEnd>(nEnd);
        std::memcpy(pHeader, &nTyped, sizeof nTyped);
        return pHeader + sizeof nTyped;
    }

    void Assign(const std::array<std::string_view, N>& aTexts) {
        std::size_t nTotal = 0;
        for (const std::string_view strText : aTexts) {
            nTotal += strText.size();
        }
        const unsigned char nLayout = nTotal < BYTE_TOTAL    ? 0
                                      : nTotal < SHORT_TOTAL ? SHORT_MARK
                                                             : WIDE_MARK;
        const std::size_t nHeader = HeaderBytes(nLayout);
        CBlock pBytes(TextArena::Allocate(nHeader + nTotal)); // all written below
        char* pHeader = pBytes.get();
        if (nLayout != 0) {
            *pHeader++ = static_cast<char>(nLayout);
        }
        char* pText = pBytes.get() + nHeader;
        std::size_t nEnd = 0;
        for (const std::string_view strText : aTexts) {
            if (!strText.empty()) { // an empty view may hold no pointer at all
                std::memcpy(pText + nEnd, strText.data(), strText.size());
            }
            nEnd += strText.size();
            pHeader = nLayout == 0            ? PutEnd<std::uint8_t>(pHeader, nEnd)
                      : nLayout == SHORT_MARK ? PutEnd<std::uint16_t>(pHeader, nEnd)
                                              : PutEnd<std::uint32_t>(pHeader, nEnd);
        }
        m_pBytes = std::move(pBytes);
    }

    using CBlock = std::unique_ptr<char[], TextArena::SRelease>;
    CBlock m_pBytes;
};
