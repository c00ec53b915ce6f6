// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <string_view>

// File-name pattern of the scan: "*" matches any run of characters, "?" any one character
// (a whole UTF-8 character where the name holds one), letters match without regard to case: every
// letter of names and patterns that are UTF-8, ASCII letters alone in anything else.
// Time is linear in the product of the lengths at worst, whatever the pattern.
bool MatchWildcard(std::string_view strPattern, std::string_view strName);
