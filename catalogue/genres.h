// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <string_view>

// Genre numbers are the byte stored in the tag: 0 to 147 have names, 148 to 255 have none.
constexpr unsigned char GENRE_NONE = 148;
// The genre byte of a new tag: every reader takes 255 for "no genre", while some show 148 as a
// genre of their own.
constexpr unsigned char GENRE_UNSET = 255;
constexpr int GENRE_COUNT = 149;

// Names of the genres 0 to 147, and the empty name at GENRE_NONE that the tag editor offers for
// "leave the genre as it is".
extern const char* const g_szGenreNames[GENRE_COUNT];

// The name shown and grouped for a genre byte: the table's name, or the text for "undefined".
std::string_view GenreName(unsigned char nGenre);
