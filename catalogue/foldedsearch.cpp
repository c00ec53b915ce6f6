// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/foldedsearch.h"

#include "catalogue/casefold.h"
#include "catalogue/utf8.h"

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

} // namespace

CFoldedSearch::CFoldedSearch(std::string_view strWord) : m_strFolded(FoldText(strWord)) {
    for (std::size_t nPos = 0; nPos < m_strFolded.size();) {
        m_arrFolded.push_back(DecodeUtf8(m_strFolded, nPos));
    }
    if (m_arrFolded.empty()) {
        return;
    }
    for (const char32_t nCode : CharactersFoldingTo(m_arrFolded.front())) {
        std::string strBytes;
        AppendUtf8(strBytes, nCode);
        m_aFirstBytes[static_cast<unsigned char>(strBytes.front())] = true;
    }
}

bool CFoldedSearch::IsIn(std::string_view strText) const {
    // Every character takes a byte at least.
    if (strText.size() < m_arrFolded.size()) {
        return false;
    }
    if (!m_arrFolded.empty() && m_arrFolded.front() == REPLACEMENT) {
        // Any byte beyond ASCII may begin it: only the places where characters begin are tried,
        // lest the end of one be taken for a byte that begins none.
        for (std::size_t nPos = 0; nPos < strText.size(); DecodeUtf8(strText, nPos)) {
            if (MatchesAt(strText, nPos)) {
                return true;
            }
        }
        return false;
    }
    const auto* pText = reinterpret_cast<const unsigned char*>(strText.data());
    const std::size_t nLast = strText.size() - m_arrFolded.size();
    for (std::size_t nPos = 0; nPos <= nLast; ++nPos) {
        if (m_aFirstBytes[pText[nPos]] && MatchesAt(strText, nPos)) {
            return true;
        }
    }
    return m_arrFolded.empty();
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
