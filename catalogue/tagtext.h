// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Tag texts are bytes of an unknown character set on disk and UTF-8 inside the program.
// They are decoded once when read and encoded once when written.

// The bytes of a text field that hold its text: those before the first zero byte, trailing white
// space removed.
std::string_view TagFieldBytes(const unsigned char* pField, std::size_t nWidth);

// A text field as read: its bytes up to the first zero byte, trailing white space removed,
// then decoded to UTF-8.
std::string ReadTagText(const unsigned char* pField, std::size_t nWidth);
// The same text without a copy when the bytes are UTF-8 already: a view into the field, or into
// strDecoded, which receives the decoded text otherwise.
std::string_view ReadTagTextView(const unsigned char* pField, std::size_t nWidth,
                                 std::string& strDecoded);

// Fills a field of nWidth bytes with the encoded text, cut at a character boundary and padded
// with spaces. Never writes a zero byte and never more than nWidth bytes.
void WriteTagText(std::string_view strText, unsigned char* pField, std::size_t nWidth);
// Fills a field of nWidth bytes with encoded bytes that fit, padded with spaces; a zero byte
// becomes a space.
void FillTagField(std::string_view strBytes, unsigned char* pField, std::size_t nWidth);

// The bytes that WriteTagText would store for the text, before any cut: its length is what a
// field must hold to keep the text whole.
std::string EncodeTagText(std::string_view strText);

// Valid UTF-8 stays as it is; anything else is read as Windows-1252.
std::string DecodeTagText(std::string_view strBytes);

// Text from another tag made fit for a field: a C1 character becomes the Windows-1252 character
// of its byte where there is one, each run of control characters (C0, DEL, the rest of C1, the
// line and paragraph separators) becomes one space, each byte that begins no valid UTF-8
// character becomes '?', and spaces at either end go. A zero byte would end the field early, a
// line break or an escape code would reach whatever prints the field.
std::string CleanCopiedText(std::string_view strText);
