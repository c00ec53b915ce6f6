// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The file-name pattern matcher against a plain recursive definition of the same rules.
#include "catalogue/wildcard.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

// Bytes of the character at nPos: a lead byte with its continuation bytes, or one byte.
std::size_t CharLength(std::string_view str, std::size_t nPos) {
    const auto b = static_cast<unsigned char>(str[nPos]);
    const std::size_t nLength = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (nPos + nLength > str.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < nLength; ++i) {
        if ((static_cast<unsigned char>(str[nPos + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return nLength;
}

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether pattern[p..] matches name[n..], memoised: "*" takes none or one more character, "?"
// exactly one character, anything else one byte of equal ASCII-folded value.
class CReference {
public:
    CReference(std::string_view strPattern, std::string_view strName)
        : m_strPattern(strPattern), m_strName(strName),
          m_arrMemo((strPattern.size() + 1) * (strName.size() + 1), -1) {}

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
        return Fold(c) == Fold(m_strName[n]) && Match(p + 1, n + 1);
    }

    std::string_view m_strPattern;
    std::string_view m_strName;
    std::vector<signed char> m_arrMemo;
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
