// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CCodePage;

// The character set of tag texts. ID3v1 stores bytes and names no character set, so the user
// chooses: the automatic rule reads UTF-8 where the bytes are valid UTF-8 and Windows-1252
// otherwise, and writes Windows-1252 where it holds the text (UTF-8 otherwise); a fixed code page
// reads and writes every text in it. Copies are cheap and may be used from several threads.
class CTagCodec {
public:
    // The automatic rule.
    CTagCodec();

    // The names offered to the user, stored in the settings and taken by --encoding, the
    // automatic rule first.
    static const std::vector<std::string>& Names();
    // The codec of one of Names(), without regard to letter case ("auto" names the automatic
    // rule too); nothing for any other name.
    static std::optional<CTagCodec> FromName(std::string_view strName);

    const std::string& GetName() const;
    bool IsAutomatic() const { return m_pCodePage == nullptr; }

    // A text field as read: its bytes up to the first zero byte, trailing white space removed,
    // decoded to UTF-8. A view into the field when its bytes are the text already, into
    // strDecoded otherwise. Bytes that the code page does not define become U+FFFD.
    std::string_view ReadField(const unsigned char* pField, std::size_t nWidth,
                               std::string& strDecoded) const;
    std::string Decode(std::string_view strBytes) const;

    // The bytes that store the whole text; nothing when one of its characters has none in the
    // code page (never with the automatic rule).
    std::optional<std::string> Encode(std::string_view strText) const;

    // Fills a field of nWidth bytes with the encoded text, cut at a character boundary and
    // padded with spaces; a zero byte becomes a space, since it would end the field when read.
    // False, with the field untouched, when the text cannot be encoded.
    bool WriteField(std::string_view strText, unsigned char* pField, std::size_t nWidth) const;

private:
    explicit CTagCodec(std::shared_ptr<const CCodePage> pCodePage);

    std::shared_ptr<const CCodePage> m_pCodePage; // null for the automatic rule
};
