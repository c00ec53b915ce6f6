// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// A word looked for in texts where letter case does not count, folded as FoldCase folds (the
// pattern and the tree fold alike). Texts are UTF-8; a byte that begins no character counts as
// U+FFFD. The texts are not folded beforehand: each place where one of the word's characters (its
// anchor) may stand is tried, character by character from where the word would begin, so a text
// holding no form of the anchor costs one look per byte.
class CFoldedSearch {
public:
    explicit CFoldedSearch(std::string_view strWord);

    // The word folded, UTF-8.
    const std::string& GetFolded() const { return m_strFolded; }
    // Whether the text holds the word; the empty word is in every text.
    bool IsIn(std::string_view strText) const;

private:
    void ChooseAnchor();
    bool MatchesAt(std::string_view strText, std::size_t nPos) const;
    bool IsInByCharacters(std::string_view strText) const;

    std::string m_strFolded;
    std::vector<char32_t> m_arrFolded; // the same, by character
    // The anchor is the word's first character beyond ASCII when every character before it can
    // only be one byte of the text: it then stands that many bytes after the word's beginning,
    // and most texts hold it far less often than a plain letter. Else it is the first character.
    std::size_t m_nAnchor = 0;
    // The bytes that begin a character folding to the anchor; the one such byte, if one alone.
    std::array<bool, 256> m_aAnchorBytes{};
    int m_nOnlyAnchorByte = -1;
};
