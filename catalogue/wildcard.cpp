// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/wildcard.h"

#include <cstddef>

namespace {

unsigned char FoldCase(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

// Bytes of the character at the start of the name: a UTF-8 lead byte with its continuation
// bytes, or one byte of anything else.
std::size_t CharacterLength(std::string_view strName, std::size_t nPos) {
    const auto b = static_cast<unsigned char>(strName[nPos]);
    std::size_t nLength = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (nPos + nLength > strName.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < nLength; ++i) {
        if ((static_cast<unsigned char>(strName[nPos + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return nLength;
}

} // namespace

bool MatchWildcard(std::string_view strPattern, std::string_view strName) {
    std::size_t p = 0;
    std::size_t n = 0;
    // Where the last "*" stood and the name position it currently stands for: on a mismatch the
    // star swallows one more character. Earlier stars never need to be revisited.
    std::size_t nStar = std::string_view::npos;
    std::size_t nStarName = 0;
    while (n < strName.size()) {
        if (p < strPattern.size() && strPattern[p] == '*') {
            nStar = p++;
            nStarName = n;
        } else if (p < strPattern.size() && strPattern[p] == '?') {
            ++p;
            n += CharacterLength(strName, n);
        } else if (p < strPattern.size() && FoldCase(strPattern[p]) == FoldCase(strName[n])) {
            ++p;
            ++n;
        } else if (nStar != std::string_view::npos) {
            p = nStar + 1;
            nStarName += CharacterLength(strName, nStarName);
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
