// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/casefold.h"

#include "catalogue/casefold_table.h"
#include "catalogue/utf8.h"

#include <algorithm>
#include <iterator>

namespace {

bool IsInRun(const SFoldRun& run, char32_t nCode) {
    return nCode >= run.nFirst && nCode <= run.nLast &&
           (run.nStep != 2 || (nCode - run.nFirst) % 2 == 0);
}

// The next character of a text, folded; ASCII, most of any text, without a search.
char32_t NextFolded(std::string_view str, std::size_t& nPos) {
    const auto c = static_cast<unsigned char>(str[nPos]);
    if (c < 0x80) {
        ++nPos;
        return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    }
    return FoldCase(DecodeUtf8(str, nPos));
}

} // namespace

char32_t FoldCase(char32_t nCode) {
    // The last run starting at or before the code point.
    const SFoldRun* pRun =
        std::upper_bound(std::begin(s_aFoldRuns), std::end(s_aFoldRuns), nCode,
                         [](char32_t nValue, const SFoldRun& run) { return nValue < run.nFirst; });
    if (pRun == std::begin(s_aFoldRuns) || !IsInRun(*--pRun, nCode)) {
        return nCode;
    }
    return static_cast<char32_t>(static_cast<long>(nCode) + pRun->nDelta);
}

std::vector<char32_t> CharactersFoldingTo(char32_t nFolded) {
    std::vector<char32_t> arrCodes{nFolded};
    for (const SFoldRun& run : s_aFoldRuns) {
        const auto nCode = static_cast<char32_t>(static_cast<long>(nFolded) - run.nDelta);
        if (nCode != nFolded && IsInRun(run, nCode)) {
            arrCodes.push_back(nCode);
        }
    }
    return arrCodes;
}

std::string FoldText(std::string_view strText) {
    std::string strFolded;
    strFolded.reserve(strText.size());
    for (std::size_t nPos = 0; nPos < strText.size();) {
        AppendUtf8(strFolded, NextFolded(strText, nPos));
    }
    return strFolded;
}

int CompareFolded(std::string_view str1, std::string_view str2) {
    std::size_t nPos1 = 0;
    std::size_t nPos2 = 0;
    while (nPos1 < str1.size() && nPos2 < str2.size()) {
        const char32_t nCode1 = NextFolded(str1, nPos1);
        const char32_t nCode2 = NextFolded(str2, nPos2);
        if (nCode1 != nCode2) {
            return nCode1 < nCode2 ? -1 : 1;
        }
    }
    return (nPos1 < str1.size() ? 1 : 0) - (nPos2 < str2.size() ? 1 : 0);
}

bool IsBeforeFolded(std::string_view strFolded1, std::string_view strName1,
                    std::string_view strFolded2, std::string_view strName2) {
    const int nOrder = strFolded1.compare(strFolded2);
    return nOrder != 0 ? nOrder < 0 : strName1 < strName2;
}
