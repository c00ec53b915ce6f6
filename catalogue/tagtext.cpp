// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagtext.h"

#include <algorithm>
#include <cstring>

namespace {

// Windows-1252 0x80 to 0x9F; the five bytes the code page leaves undefined map to the same code
// point, so that every byte sequence decodes and re-encodes to itself.
constexpr char16_t s_aCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsTagWhiteSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void AppendUtf8(std::string& str, char32_t cp) {
    if (cp < 0x80) {
        str += static_cast<char>(cp);
    } else if (cp < 0x800) {
        str += static_cast<char>(0xC0 | (cp >> 6));
        str += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        str += static_cast<char>(0xE0 | (cp >> 12));
        str += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        str += static_cast<char>(0xF0 | (cp >> 18));
        str += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        str += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at the start of the bytes, or 0 if there is none.
std::size_t Utf8SequenceLength(std::string_view str) {
    const auto c0 = static_cast<unsigned char>(str[0]);
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
    if (str.size() < nLength) {
        return 0;
    }
    const auto c1 = static_cast<unsigned char>(str[1]);
    if (c1 < lo || c1 > hi) {
        return 0;
    }
    for (std::size_t i = 2; i < nLength; ++i) {
        const auto c = static_cast<unsigned char>(str[i]);
        if (c < 0x80 || c > 0xBF) {
            return 0;
        }
    }
    return nLength;
}

char32_t DecodeUtf8At(std::string_view str, std::size_t nLength) {
    const auto c0 = static_cast<unsigned char>(str[0]);
    if (nLength == 1) {
        return c0;
    }
    char32_t cp = c0 & (0x7F >> nLength);
    for (std::size_t i = 1; i < nLength; ++i) {
        cp = (cp << 6) | (static_cast<unsigned char>(str[i]) & 0x3F);
    }
    return cp;
}

int Cp1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<int>(cp);
    }
    for (int i = 0; i < 32; ++i) {
        if (s_aCp1252High[i] == cp) {
            return 0x80 + i;
        }
    }
    return -1;
}

bool HasHighByte(std::string_view str) {
    for (const char c : str) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

// Windows-1252 bytes for a UTF-8 text, or false when a character has no such byte.
bool EncodeCp1252(std::string_view strUtf8, std::string& strOut) {
    strOut.clear();
    for (std::size_t i = 0; i < strUtf8.size();) {
        const std::size_t nLength = Utf8SequenceLength(strUtf8.substr(i));
        if (nLength == 0) {
            return false;
        }
        const int nByte = Cp1252Byte(DecodeUtf8At(strUtf8.substr(i), nLength));
        if (nByte < 0) {
            return false;
        }
        strOut += static_cast<char>(nByte);
        i += nLength;
    }
    return true;
}

// Bytes that fit in nWidth without splitting a UTF-8 character.
std::size_t Utf8CutLength(std::string_view str, std::size_t nWidth) {
    std::size_t nCut = 0;
    while (nCut < str.size()) {
        std::size_t nLength = Utf8SequenceLength(str.substr(nCut));
        if (nLength == 0) {
            nLength = 1;
        }
        if (nCut + nLength > nWidth) {
            break;
        }
        nCut += nLength;
    }
    return nCut;
}

// Encodes and cuts one field. A Windows-1252 form that would itself read back as valid UTF-8
// would decode to other characters, so such texts are stored as UTF-8 instead.
std::string EncodeAndCut(std::string_view strText, std::size_t nWidth) {
    std::string strBytes;
    if (EncodeCp1252(strText, strBytes)) {
        strBytes.resize(std::min(strBytes.size(), nWidth));
        if (!HasHighByte(strBytes) || !IsValidUtf8(strBytes)) {
            return strBytes;
        }
    }
    strBytes.assign(strText.substr(0, Utf8CutLength(strText, nWidth)));
    return strBytes;
}

} // namespace

bool IsValidUtf8(std::string_view strBytes) {
    for (std::size_t i = 0; i < strBytes.size();) {
        const std::size_t nLength = Utf8SequenceLength(strBytes.substr(i));
        if (nLength == 0) {
            return false;
        }
        i += nLength;
    }
    return true;
}

std::string CleanCopiedText(std::string_view strText) {
    std::string strClean;
    strClean.reserve(strText.size());
    bool bInControls = false;
    for (std::size_t i = 0; i < strText.size();) {
        const std::size_t nLength = Utf8SequenceLength(strText.substr(i));
        char32_t cp = nLength == 0 ? U'?' : DecodeUtf8At(strText.substr(i), nLength);
        // Taggers write Windows-1252 bytes into frames that declare Latin-1: 0x92 is the
        // apostrophe meant, not a control character.
        if (cp >= 0x80 && cp < 0xA0) {
            cp = s_aCp1252High[cp - 0x80];
        }
        const bool bControl =
            cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp == 0x2028 || cp == 0x2029;
        if (!bControl) {
            AppendUtf8(strClean, cp);
        } else if (!bInControls) {
            strClean += ' ';
        }
        bInControls = bControl;
        i += nLength == 0 ? 1 : nLength;
    }
    const std::size_t nBegin = strClean.find_first_not_of(' ');
    if (nBegin == std::string::npos) {
        return std::string();
    }
    return strClean.substr(nBegin, strClean.find_last_not_of(' ') + 1 - nBegin);
}

std::string DecodeTagText(std::string_view strBytes) {
    if (IsValidUtf8(strBytes)) {
        return std::string(strBytes);
    }
    std::string strText;
    strText.reserve(strBytes.size() * 2);
    for (const char c : strBytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0) {
            AppendUtf8(strText, s_aCp1252High[b - 0x80]);
        } else {
            AppendUtf8(strText, b);
        }
    }
    return strText;
}

std::string_view TagFieldBytes(const unsigned char* pField, std::size_t nWidth) {
    const void* pZero = std::memchr(pField, 0, nWidth);
    std::size_t nLength = pZero ? static_cast<const unsigned char*>(pZero) - pField : nWidth;
    while (nLength > 0 && IsTagWhiteSpace(pField[nLength - 1])) {
        --nLength;
    }
    return std::string_view(reinterpret_cast<const char*>(pField), nLength);
}

std::string_view ReadTagTextView(const unsigned char* pField, std::size_t nWidth,
                                 std::string& strDecoded) {
    const std::string_view strBytes = TagFieldBytes(pField, nWidth);
    if (IsValidUtf8(strBytes)) {
        return strBytes;
    }
    strDecoded = DecodeTagText(strBytes);
    return strDecoded;
}

std::string ReadTagText(const unsigned char* pField, std::size_t nWidth) {
    std::string strDecoded;
    return std::string(ReadTagTextView(pField, nWidth, strDecoded));
}

std::string EncodeTagText(std::string_view strText) {
    return EncodeAndCut(strText, strText.size() * 4);
}

void WriteTagText(std::string_view strText, unsigned char* pField, std::size_t nWidth) {
    const std::string strBytes = EncodeAndCut(strText, nWidth);
    // A zero byte would end the field early when read back.
    std::replace_copy(strBytes.begin(), strBytes.end(), pField, '\0', ' ');
    std::memset(pField + strBytes.size(), ' ', nWidth - strBytes.size());
}
