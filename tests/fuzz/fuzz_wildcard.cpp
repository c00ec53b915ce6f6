// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The file-name pattern matcher against a plain recursive definition of the same rules.
#include "catalogue/casefold.h"
#include "catalogue/wildcard.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

char32_t Decode(std::string_view str, std::size_t nPos, std::size_t nLength) {
    if (nLength == 1) {
        return static_cast<unsigned char>(str[nPos]);
    }
    char32_t nCode = static_cast<unsigned char>(str[nPos]) & (0xFFu >> (nLength + 1));
    for (std::size_t i = 1; i < nLength; ++i) {
        nCode = (nCode << 6) | (static_cast<unsigned char>(str[nPos + i]) & 0x3Fu);
    }
    return nCode;
}

// Bytes of the character at nPos: a lead byte with its continuation bytes when they make a
// well-formed character (shortest form, no surrogate, nothing past U+10FFFF), else one byte.
std::size_t CharLength(std::string_view str, std::size_t nPos) {
    const auto b = static_cast<unsigned char>(str[nPos]);
    const std::size_t nLength = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (nLength == 1 || nPos + nLength > str.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < nLength; ++i) {
        if ((static_cast<unsigned char>(str[nPos + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    const char32_t nCode = Decode(str, nPos, nLength);
    const char32_t aMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (b >= 0xF8 || nCode < aMinimum[nLength] || nCode > 0x10FFFF ||
        (nCode >= 0xD800 && nCode <= 0xDFFF)) {
        return 1;
    }
    return nLength;
}

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Well-formed UTF-8: every byte beyond ASCII part of a character.
bool IsText(std::string_view str) {
    for (std::size_t i = 0; i < str.size();) {
        const std::size_t nLength = CharLength(str, i);
        if (nLength == 1 && static_cast<unsigned char>(str[i]) >= 0x80) {
            return false;
        }
        i += nLength;
    }
    return true;
}

// Whether pattern[p..] matches name[n..], memoised: "*" takes none or one more character, "?"
// exactly one character, anything else one character of equal folded value where both are text,
// else one byte of equal ASCII-folded value.
class CReference {
public:
    CReference(std::string_view strPattern, std::string_view strName)
        : m_strPattern(strPattern), m_strName(strName),
          m_arrMemo((strPattern.size() + 1) * (strName.size() + 1), -1),
          m_bText(IsText(strPattern) && IsText(strName)) {}

    bool Match(std::size_t p, std::size_t n) {
        signed char& nMemo = m_arrMemo[p * (m_strName.size() + 1) + n];
        if (nMemo < 0) {
            nMemo = Compute(p, n);
        }
        return nMemo != 0;
    }

private:
    bool Compute(std::size_t p, std::size_t n) {
        if (p == m_strPattern.size()) {
            return n == m_strName.size();
        }
        const char c = m_strPattern[p];
        if (c == '*') {
            return Match(p + 1, n) ||
                   (n < m_strName.size() && Match(p, n + CharLength(m_strName, n)));
        }
        if (n == m_strName.size()) {
            return false;
        }
        if (c == '?') {
            return Match(p + 1, n + CharLength(m_strName, n));
        }
        if (m_bText) {
            const std::size_t nPatternLength = CharLength(m_strPattern, p);
            const std::size_t nNameLength = CharLength(m_strName, n);
            return FoldCase(Decode(m_strPattern, p, nPatternLength)) ==
                       FoldCase(Decode(m_strName, n, nNameLength)) &&
                   Match(p + nPatternLength, n + nNameLength);
        }
        return Fold(c) == Fold(m_strName[n]) && Match(p + 1, n + 1);
    }

    std::string_view m_strPattern;
    std::string_view m_strName;
    std::vector<signed char> m_arrMemo;
    bool m_bText;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    // Pattern and name are separated by the first zero byte; names are short on every file
    // system, so long inputs are cut to keep the reference's table small.
    const std::string_view strInput(reinterpret_cast<const char*>(pData),
                                    nSize < 2048 ? nSize : 2048);
    const std::size_t nZero = strInput.find('\0');
    if (nZero == std::string_view::npos) {
        return 0;
    }
    const std::string_view strPattern = strInput.substr(0, nZero);
    const std::string_view strName = strInput.substr(nZero + 1);
    FUZZ_CHECK(MatchWildcard(strPattern, strName) == CReference(strPattern, strName).Match(0, 0));
    return 0;
}
