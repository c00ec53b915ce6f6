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
// the catalogue small.
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

    std::string_view Get(std::size_t i) const {
        const std::uint32_t nBegin = i == 0 ? 0 : m_aEnds[i - 1];
        return std::string_view(m_pBytes.get() + nBegin, m_aEnds[i] - nBegin);
    }

    // Every text end to end, in order.
    std::string_view GetAll() const { return std::string_view(m_pBytes.get(), m_aEnds[N - 1]); }

    void Set(std::size_t i, std::string_view strText) {
        std::array<std::string_view, N> aTexts = All();
        aTexts[i] = strText;
        Assign(aTexts); // copies before the old block goes: strText may point into it
    }

private:
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
        auto pBytes = std::make_unique<char[]>(std::max<std::size_t>(nTotal, 1));
        std::uint32_t nEnd = 0;
        for (std::size_t i = 0; i < N; ++i) {
            if (!aTexts[i].empty()) { // an empty view may hold no pointer at all
                std::memcpy(pBytes.get() + nEnd, aTexts[i].data(), aTexts[i].size());
            }
            nEnd += static_cast<std::uint32_t>(aTexts[i].size());
            m_aEnds[i] = nEnd;
        }
        m_pBytes = std::move(pBytes);
    }

    std::unique_ptr<char[]> m_pBytes;
    std::array<std::uint32_t, N> m_aEnds{};
};
