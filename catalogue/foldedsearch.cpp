// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/foldedsearch.h"

#include "catalogue/casefold.h"
#include "catalogue/utf8.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

// Whether the character can only be one byte of a text: ASCII that nothing beyond ASCII folds to
// (the Kelvin sign folds to "k", the long s to "s").
bool IsOneByteOnly(char32_t nFolded) {
    const std::vector<char32_t> arrFrom = CharactersFoldingTo(nFolded);
    return std::all_of(arrFrom.begin(), arrFrom.end(), [](char32_t nCode) { return nCode < 0x80; });
}

} // namespace

CFoldedSearch::CFoldedSearch(std::string_view strWord) : m_strFolded(FoldText(strWord)) {
    for (std::size_t nPos = 0; nPos < m_strFolded.size();) {
        m_arrFolded.push_back(DecodeUtf8(m_strFolded, nPos));
    }
    if (!m_arrFolded.empty()) {
        ChooseAnchor();
    }
}

void CFoldedSearch::ChooseAnchor() {
    for (std::size_t i = 0; i < m_arrFolded.size() && IsOneByteOnly(m_arrFolded[i]); ++i) {
        if (i + 1 < m_arrFolded.size() && m_arrFolded[i + 1] >= 0x80 &&
            m_arrFolded[i + 1] != REPLACEMENT) {
            m_nAnchor = i + 1;
            break;
        }
    }
    int nAnchorBytes = 0;
    for (const char32_t nCode : CharactersFoldingTo(m_arrFolded[m_nAnchor])) {
        std::string strBytes;
        AppendUtf8(strBytes, nCode);
        const auto nByte = static_cast<unsigned char>(strBytes.front());
        nAnchorBytes += m_aAnchorBytes[nByte] ? 0 : 1;
        m_aAnchorBytes[nByte] = true;
        m_nOnlyAnchorByte = nByte;
    }
    if (nAnchorBytes != 1) {
        m_nOnlyAnchorByte = -1;
    }
}

bool CFoldedSearch::IsIn(std::string_view strText) const {
    // Every character takes a byte at least.
    if (strText.size() < m_arrFolded.size()) {
        return false;
    }
    if (m_arrFolded.empty()) {
        return true;
    }
    if (m_arrFolded.front() == REPLACEMENT) {
        return IsInByCharacters(strText);
    }
    const std::size_t nLast = strText.size() - (m_arrFolded.size() - m_nAnchor);
    if (m_nOnlyAnchorByte >= 0) {
        const char* pText = strText.data();
        for (std::size_t nPos = m_nAnchor; nPos <= nLast; ++nPos) {
            const void* pFound = std::memchr(pText + nPos, m_nOnlyAnchorByte, nLast + 1 - nPos);
            if (pFound == nullptr) {
                return false;
            }
            nPos = static_cast<std::size_t>(static_cast<const char*>(pFound) - pText);
            if (MatchesAt(strText, nPos - m_nAnchor)) {
                return true;
            }
        }
        return false;
    }
    const auto* pText = reinterpret_cast<const unsigned char*>(strText.data());
    for (std::size_t nPos = m_nAnchor; nPos <= nLast; ++nPos) {
        if (m_aAnchorBytes[pText[nPos]] && MatchesAt(strText, nPos - m_nAnchor)) {
            return true;
        }
    }
    return false;
}

// Any byte beyond ASCII may begin U+FFFD: only the places where characters begin are tried, lest
// the end of one be taken for a byte that begins none.
bool CFoldedSearch::IsInByCharacters(std::string_view strText) const {
    for (std::size_t nPos = 0; nPos < strText.size(); DecodeUtf8(strText, nPos)) {
        if (MatchesAt(strText, nPos)) {
            return true;
        }
    }
    return false;
}

bool CFoldedSearch::MatchesAt(std::string_view strText, std::size_t nPos) const {
    for (const char32_t nFolded : m_arrFolded) {
        if (nPos >= strText.size()) {
            return false;
        }
        const auto c = static_cast<unsigned char>(strText[nPos]);
        char32_t nCode = 0;
        if (c < 0x80) {
            nCode = c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
            ++nPos;
        } else {
            nCode = FoldCase(DecodeUtf8(strText, nPos));
        }
        if (nCode != nFolded) {
            return false;
        }
    }
    return true;
}
