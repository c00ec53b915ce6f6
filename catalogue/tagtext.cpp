// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/tagtext.h"

#include "catalogue/codepage.h"
#include "catalogue/utf8.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

bool IsTagWhiteSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Encodes and cuts one field. A Windows-1252 form that would itself read back as valid UTF-8
// would decode to other characters, so such texts are stored as UTF-8 instead.
std::string EncodeAndCut(std::string_view strText, std::size_t nWidth) {
    std::optional<std::string> oBytes = CCodePage::Windows1252().Encode(strText);
    if (oBytes) {
        oBytes->resize(std::min(oBytes->size(), nWidth));
        if (IsAscii(*oBytes) || !IsValidUtf8(*oBytes)) {
            return std::move(*oBytes);
        }
    }
    return std::string(strText.substr(0, Utf8CutLength(strText, nWidth)));
}

} // namespace

std::string CleanCopiedText(std::string_view strText) {
    std::string strClean;
    strClean.reserve(strText.size());
    bool bInControls = false;
    for (std::size_t i = 0; i < strText.size();) {
        const std::size_t nStart = i;
        char32_t cp = DecodeUtf8(strText, i);
        if (cp == 0xFFFD && i == nStart + 1) {
            cp = U'?'; // a byte that begins no character
        }
        // Taggers write Windows-1252 bytes into frames that declare Latin-1: 0x92 is the
        // apostrophe meant, not a control character.
        if (cp >= 0x80 && cp < 0xA0) {
            const char cByte = static_cast<char>(cp);
            const std::string strMeant =
                CCodePage::Windows1252().Decode(std::string_view(&cByte, 1));
            std::size_t nPos = 0;
            cp = DecodeUtf8(strMeant, nPos);
        }
        const bool bControl =
            cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp == 0x2028 || cp == 0x2029;
        if (!bControl) {
            AppendUtf8(strClean, cp);
        } else if (!bInControls) {
            strClean += ' ';
        }
        bInControls = bControl;
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
    return CCodePage::Windows1252().Decode(strBytes);
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
    FillTagField(EncodeAndCut(strText, nWidth), pField, nWidth);
}

void FillTagField(std::string_view strBytes, unsigned char* pField, std::size_t nWidth) {
    // A zero byte would end the field early when read back.
    std::replace_copy(strBytes.begin(), strBytes.end(), pField, '\0', ' ');
    std::memset(pField + strBytes.size(), ' ', nWidth - strBytes.size());
}
