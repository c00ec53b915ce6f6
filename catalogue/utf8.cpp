// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/utf8.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

} // namespace

std::size_t Utf8SequenceLength(std::string_view str, std::size_t nPos) {
    const auto c0 = static_cast<unsigned char>(str[nPos]);
    if (c0 < 0x80) {
        return 1;
    }
    std::size_t nLength = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        nLength = 2;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        nLength = 3;
        lo = c0 == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        hi = c0 == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        nLength = 4;
        lo = c0 == 0xF0 ? 0x90 : 0x80;
        hi = c0 == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (str.size() - nPos < nLength) {
        return 0;
    }
    const auto c1 = static_cast<unsigned char>(str[nPos + 1]);
    if (c1 < lo || c1 > hi) {
        return 0;
    }
    for (std::size_t i = 2; i < nLength; ++i) {
        if (!IsUtf8Continuation(str[nPos + i])) {
            return 0;
        }
    }
    return nLength;
}

char32_t DecodeUtf8(std::string_view str, std::size_t& nPos) {
    const auto c0 = static_cast<unsigned char>(str[nPos]);
    const std::size_t nLength = Utf8SequenceLength(str, nPos);
    if (nLength <= 1) {
        ++nPos;
        return nLength == 1 ? c0 : REPLACEMENT;
    }
    char32_t nCode = c0 & (0x7F >> nLength);
    for (std::size_t i = 1; i < nLength; ++i) {
        nCode = (nCode << 6) | (static_cast<unsigned char>(str[nPos + i]) & 0x3F);
    }
    nPos += nLength;
    return nCode;
}

bool IsValidUtf8(std::string_view str) {
    for (std::size_t i = 0; i < str.size();) {
        const std::size_t nLength = Utf8SequenceLength(str, i);
        if (nLength == 0) {
            return false;
        }
        i += nLength;
    }
    return true;
}

bool IsAscii(std::string_view str) {
    // Eight bytes at a time: most texts are plain ASCII and this runs for every row filtered.
    const char* p = str.data();
    const char* pEnd = p + str.size();
    for (; pEnd - p >= 8; p += 8) {
        std::uint64_t nChunk = 0;
        std::memcpy(&nChunk, p, sizeof nChunk);
        if ((nChunk & 0x8080808080808080ULL) != 0) {
            return false;
        }
    }
    for (; p < pEnd; ++p) {
        if ((static_cast<unsigned char>(*p) & 0x80) != 0) {
            return false;
        }
    }
    return true;
}

void AppendUtf8(std::string& str, char32_t nCode) {
    if (nCode < 0x80) {
        str += static_cast<char>(nCode);
    } else if (nCode < 0x800) {
        str += static_cast<char>(0xC0 | (nCode >> 6));
        str += static_cast<char>(0x80 | (nCode & 0x3F));
    } else if (nCode < 0x10000) {
        str += static_cast<char>(0xE0 | (nCode >> 12));
        str += static_cast<char>(0x80 | ((nCode >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (nCode & 0x3F));
    } else {
        str += static_cast<char>(0xF0 | (nCode >> 18));
        str += static_cast<char>(0x80 | ((nCode >> 12) & 0x3F));
        str += static_cast<char>(0x80 | ((nCode >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (nCode & 0x3F));
    }
}

std::size_t Utf8CutLength(std::string_view str, std::size_t nWidth) {
    std::size_t nCut = 0;
    while (nCut < str.size()) {
        std::size_t nNext = nCut;
        DecodeUtf8(str, nNext);
        if (nNext > nWidth) {
            break;
        }
        nCut = nNext;
    }
    return nCut;
}
