// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/wildcard.h"

#include "catalogue/casefold.h"

#include <cstddef>

namespace {

unsigned char FoldAscii(char c) {
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

// The code point of a character CharacterLength() measured.
char32_t CodePoint(std::string_view str, std::size_t nPos, std::size_t nLength) {
    const auto b = static_cast<unsigned char>(str[nPos]);
    if (nLength == 1) {
        return b;
    }
    char32_t nCode = b & (0x7F >> nLength);
    for (std::size_t i = 1; i < nLength; ++i) {
        nCode = (nCode << 6) | (static_cast<unsigned char>(str[nPos + i]) & 0x3F);
    }
    return nCode;
}

// Whether every byte belongs to a well-formed UTF-8 character (shortest form, no surrogates).
bool IsUtf8(std::string_view str) {
    for (std::size_t i = 0; i < str.size();) {
        const std::size_t nLength = CharacterLength(str, i);
        const auto b = static_cast<unsigned char>(str[i]);
        if (nLength == 1 && b >= 0x80) {
            return false;
        }
        const char32_t nCode = CodePoint(str, i, nLength);
        const char32_t aMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (nCode < aMinimum[nLength] || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)) {
            return false;
        }
        i += nLength;
    }
    return true;
}

} // namespace

bool MatchWildcard(std::string_view strPattern, std::string_view strName) {
    // Names and patterns that are text compare letter by letter, folded; anything else byte by
    // byte, only ASCII letters folded, as a name that is no text has no letters to speak of.
    const bool bText = IsUtf8(strPattern) && IsUtf8(strName);
    std::size_t p = 0;
    std::size_t n = 0;
    // Where the last "*" stood and the name position it currently stands for: on a mismatch the
    // star swallows one more character. Earlier stars never need to be revisited.
    std::size_t nStar = std::string_view::npos;
    std::size_t nStarName = 0;
    while (n < strName.size()) {
        std::size_t nPatternStep = 1;
        std::size_t nNameStep = 1;
        bool bSame = false;
        if (p < strPattern.size() && strPattern[p] != '*' && strPattern[p] != '?') {
            const bool bAscii = static_cast<unsigned char>(strPattern[p]) < 0x80 &&
                                static_cast<unsigned char>(strName[n]) < 0x80;
            if (bText && !bAscii) {
                nPatternStep = CharacterLength(strPattern, p);
                nNameStep = CharacterLength(strName, n);
                bSame = FoldCase(CodePoint(strPattern, p, nPatternStep)) ==
                        FoldCase(CodePoint(strName, n, nNameStep));
            } else {
                bSame = FoldAscii(strPattern[p]) == FoldAscii(strName[n]);
            }
        }
        if (p < strPattern.size() && strPattern[p] == '*') {
            nStar = p++;
            nStarName = n;
        } else if (p < strPattern.size() && strPattern[p] == '?') {
            ++p;
            n += CharacterLength(strName, n);
        } else if (bSame) {
            p += nPatternStep;
            n += nNameStep;
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
