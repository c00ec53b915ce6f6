// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/codepage.h"

#include "catalogue/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;
constexpr const char* WINDOWS_1252 = "WINDOWS-1252";
constexpr unsigned char s_aUndefinedIn1252[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};

const iconv_t s_cdInvalid = reinterpret_cast<iconv_t>(-1);

enum class EConverted { Done, Invalid, Incomplete };

// Converts the whole input through cd. A sequence that cannot be converted becomes U+FFFD when
// bReplace is set, its first byte skipped, and ends the conversion otherwise. Every pass of the
// loop consumes input or makes room, so no input can make it spin.
EConverted Convert(iconv_t cd, std::string_view strIn, bool bReplace, std::string& strOut) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* pIn = const_cast<char*>(strIn.data()); // iconv takes char** but does not write
    std::size_t nIn = strIn.size();
    strOut.clear();
    std::size_t nDone = 0;
    while (nIn > 0) {
        // a byte of these code pages never takes more than three bytes of UTF-8
        strOut.resize(nDone + nIn * 3 + 8);
        char* pOut = strOut.data() + nDone;
        std::size_t nOut = strOut.size() - nDone;
        const std::size_t nResult = iconv(cd, &pIn, &nIn, &pOut, &nOut);
        nDone = static_cast<std::size_t>(pOut - strOut.data());
        if (nResult != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        if (!bReplace) {
            return errno == EINVAL ? EConverted::Incomplete : EConverted::Invalid;
        }
        strOut.resize(nDone);
        AppendUtf8(strOut, REPLACEMENT);
        nDone = strOut.size();
        ++pIn;
        --nIn;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    strOut.resize(nDone);
    return EConverted::Done;
}

} // namespace

CCodePage::CCodePage(std::string strName, iconv_t cdDecode, iconv_t cdEncode)
    : m_strName(std::move(strName)), m_cdDecode(cdDecode), m_cdEncode(cdEncode) {
}

CCodePage::~CCodePage() {
    iconv_close(m_cdDecode);
    iconv_close(m_cdEncode);
}

std::shared_ptr<const CCodePage> CCodePage::Open(const std::string& strName,
                                                 const char* szIconvName) {
    const iconv_t cdDecode = iconv_open("UTF-8", szIconvName);
    if (cdDecode == s_cdInvalid) {
        return nullptr;
    }
    const iconv_t cdEncode = iconv_open(szIconvName, "UTF-8");
    if (cdEncode == s_cdInvalid) {
        iconv_close(cdDecode);
        return nullptr;
    }
    std::shared_ptr<CCodePage> pPage(new CCodePage(strName, cdDecode, cdEncode));
    pPage->ReadSingleBytes(std::strcmp(szIconvName, WINDOWS_1252) == 0);
    return pPage;
}

const CCodePage& CCodePage::Windows1252() {
    // The C library's iconv always has Latin-1, which Windows-1252 extends: without the code page
    // the texts keep at least their letters.
    static const std::shared_ptr<const CCodePage> s_pPage = [] {
        std::shared_ptr<const CCodePage> pPage = Open("Windows-1252", WINDOWS_1252);
        return pPage ? pPage : Open("Windows-1252", "ISO-8859-1");
    }();
    return *s_pPage;
}

void CCodePage::ReadSingleBytes(bool bUndefinedKeepTheirNumber) {
    std::vector<std::pair<char32_t, unsigned char>> arrEncode;
    std::string strDecoded;
    for (unsigned nByte = 0; nByte < m_aDecode.size(); ++nByte) {
        const char cByte = static_cast<char>(nByte);
        const EConverted eConverted =
            Convert(m_cdDecode, std::string_view(&cByte, 1), false, strDecoded);
        if (eConverted == EConverted::Incomplete) {
            return; // a byte that begins a longer character
        }
        std::size_t nPos = 0;
        char32_t nCode = REPLACEMENT;
        if (eConverted == EConverted::Done && !strDecoded.empty()) {
            nCode = DecodeUtf8(strDecoded, nPos);
        } else if (bUndefinedKeepTheirNumber &&
                   std::find(std::begin(s_aUndefinedIn1252), std::end(s_aUndefinedIn1252), nByte) !=
                       std::end(s_aUndefinedIn1252)) {
            nCode = nByte;
        }
        m_aDecode[nByte] = nCode;
        if (nCode != REPLACEMENT) {
            arrEncode.emplace_back(nCode, static_cast<unsigned char>(nByte));
        }
    }
    std::sort(arrEncode.begin(), arrEncode.end());
    m_arrEncode = std::move(arrEncode);
}

std::string CCodePage::Decode(std::string_view strBytes) const {
    std::string strText;
    if (IsSingleByte()) {
        strText.reserve(strBytes.size() * 2);
        for (const char c : strBytes) {
            AppendUtf8(strText, m_aDecode[static_cast<unsigned char>(c)]);
        }
        return strText;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    Convert(m_cdDecode, strBytes, true, strText);
    return strText;
}

std::optional<std::string> CCodePage::Encode(std::string_view strText) const {
    if (!IsValidUtf8(strText)) {
        return std::nullopt;
    }
    std::string strBytes;
    if (IsSingleByte()) {
        for (std::size_t nPos = 0; nPos < strText.size();) {
            const char32_t nCode = DecodeUtf8(strText, nPos);
            const auto it = std::lower_bound(m_arrEncode.begin(), m_arrEncode.end(),
                                             std::make_pair(nCode, static_cast<unsigned char>(0)));
            if (it == m_arrEncode.end() || it->first != nCode) {
                return std::nullopt;
            }
            strBytes += static_cast<char>(it->second);
        }
        return strBytes;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (Convert(m_cdEncode, strText, false, strBytes) != EConverted::Done) {
        return std::nullopt;
    }
    return strBytes;
}
