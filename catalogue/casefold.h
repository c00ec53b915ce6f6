// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// The character a letter stands for when letter case does not count: Unicode's simple case
// folding, one character to one ("É" to "é", "Σ" and "ς" to "σ"). Anything else is itself.
char32_t FoldCase(char32_t nCode);
