// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 as the catalogue holds its texts. A character is well-formed only in its shortest form,
// never a surrogate and never past U+10FFFF: anything else is a byte that begins no character,
// which file names and tags in other character sets are full of.

// The bytes of the well-formed character at nPos, or 0 when none begins there.
std::size_t Utf8SequenceLength(std::string_view str, std::size_t nPos = 0);

// The character at nPos, nPos moved past it. A byte that begins no character stands for U+FFFD
// and is passed alone, so that a loop over any bytes ends.
char32_t DecodeUtf8(std::string_view str, std::size_t& nPos);

bool IsValidUtf8(std::string_view str);
bool IsAscii(std::string_view str);

void AppendUtf8(std::string& str, char32_t nCode);

inline bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// How many bytes of str fit in nWidth without splitting a character; a byte that begins none
// counts as one.
std::size_t Utf8CutLength(std::string_view str, std::size_t nWidth);
