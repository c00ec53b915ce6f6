// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The text field rule and the decoding of tag bytes, on fields of any width and content.
#include "catalogue/tagtext.h"
#include "catalogue/utf8.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool IsTagWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    const std::string_view strBytes(reinterpret_cast<const char*>(pData), nSize);
    const std::string strText = ReadTagText(pData, nSize);
    FUZZ_CHECK(IsValidUtf8(strText));
    FUZZ_CHECK(strText.empty() || !IsTagWhiteSpace(strText.back()));
    FUZZ_CHECK(strText.find('\0') == std::string::npos);

    // The field's bytes up to the first zero, without trailing white space: valid UTF-8 is kept
    // as it is, and every other byte sequence decodes to at least as many characters.
    std::string_view strField = strBytes.substr(0, strBytes.find('\0'));
    while (!strField.empty() && IsTagWhiteSpace(strField.back())) {
        strField.remove_suffix(1);
    }
    if (IsValidUtf8(strField)) {
        FUZZ_CHECK(strText == strField);
    } else {
        FUZZ_CHECK(strText.size() > strField.size());
    }

    // Decoding is total and stable: what was decoded encodes to bytes that decode to it again.
    const std::string strDecoded = DecodeTagText(strBytes);
    FUZZ_CHECK(IsValidUtf8(strDecoded));
    FUZZ_CHECK(DecodeTagText(EncodeTagText(strDecoded)) == strDecoded);
    return 0;
}
