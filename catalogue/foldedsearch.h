// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// A word looked for in texts where letter case does not count, folded as FoldCase folds (the
// pattern and the tree fold alike). Texts are UTF-8; a byte that begins no character counts as
// U+FFFD. The texts are not folded beforehand: each place a character folding to the word's first
// may begin is tried, character by character, so a text that holds none costs one look per byte.
class CFoldedSearch {
public:
    explicit CFoldedSearch(std::string_view strWord);

    // The word folded, UTF-8.
    const std::string& GetFolded() const { return m_strFolded; }
    // Whether the text holds the word; the empty word is in every text.
    bool IsIn(std::string_view strText) const;

private:
    bool MatchesAt(std::string_view strText, std::size_t nPos) const;

    std::string m_strFolded;
    std::vector<char32_t> m_arrFolded; // the same, by character
    // The bytes that begin a character folding to the word's first.
    std::array<bool, 256> m_aFirstBytes{};
};
