// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/wildcard.h"

#include "catalogue/casefold.h"
#include "catalogue/utf8.h"

#include <cstddef>

namespace {

// The character at nPos folded, nPos moved past it. Names and patterns that are text compare
// letter by letter; anything else byte by byte, only ASCII letters folded, as a name that is no
// text has no letters to speak of.
char32_t NextFolded(std::string_view str, std::size_t& nPos, bool bText) {
    if (bText) {
        return FoldCase(DecodeUtf8(str, nPos));
    }
    const auto c = static_cast<unsigned char>(str[nPos++]);
    return c < 0x80 ? FoldCase(c) : c;
}

} // namespace

bool MatchWildcard(std::string_view strPattern, std::string_view strName) {
    const bool bText = IsValidUtf8(strPattern) && IsValidUtf8(strName);
    std::size_t p = 0;
    std::size_t n = 0;
    // Where the last "*" stood and the name position it currently stands for: on a mismatch the
    // star swallows one more character. Earlier stars never need to be revisited.
    std::size_t nStar = std::string_view::npos;
    std::size_t nStarName = 0;
    while (n < strName.size()) {
        const char cPattern = p < strPattern.size() ? strPattern[p] : '\0';
        std::size_t pNext = p;
        std::size_t nNext = n;
        if (p < strPattern.size() && cPattern == '*') {
            nStar = p++;
            nStarName = n;
        } else if (p < strPattern.size() && cPattern == '?') {
            ++p;
            DecodeUtf8(strName, n);
        } else if (p < strPattern.size() &&
                   NextFolded(strPattern, pNext, bText) == NextFolded(strName, nNext, bText)) {
            p = pNext;
            n = nNext;
        } else if (nStar != std::string_view::npos) {
            p = nStar + 1;
            DecodeUtf8(strName, nStarName);
            n = nStarName;
        } else {
            return false;
        }
    }
    while (p < strPattern.size() && strPattern[p] == '*') {
        ++p;
    }
    return p == strPattern.size();
}
