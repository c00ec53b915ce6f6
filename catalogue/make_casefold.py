#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
"""Writes catalogue/casefold_table.h: the simple (one character to one) case folding of
Unicode, as runs of code points that fold by the same offset, every one or every other code point.
Run it again with a newer Python to follow a newer Unicode version."""
import sys
import unicodedata


def fold(cp):
    c = chr(cp)
    f = c.casefold()
    if len(f) == 1:
        return ord(f)
    # Full folding makes more than one character (German sharp s): keep the simple mapping.
    low = c.lower()
    return ord(low) if len(low) == 1 else cp


def main():
    pairs = [(cp, fold(cp)) for cp in range(0x110000)
             if not 0xD800 <= cp <= 0xDFFF and fold(cp) != cp]
    runs = []
    for cp, to in pairs:
        delta = to - cp
        if runs:
            start, end, rdelta, stride = runs[-1]
            if rdelta == delta and stride in (0, cp - end) and cp - end in (1, 2):
                runs[-1] = (start, cp, delta, cp - end)
                continue
        runs.append((cp, cp, delta, 0))
    out = [
        "// SPDX-License-Identifier: GPL-3.0-or-later",
        "// Copyright 2026 Quillon Softs",
        "// Written by catalogue/make_casefold.py from Unicode %s: do not edit." %
        unicodedata.unidata_version,
        "#pragma once",
        "",
        "// First and last code point of a run, the offset to add, and the step between the code",
        "// points of the run (1 or 2; 0 for a run of one).",
        "struct SFoldRun {",
        "    char32_t nFirst;",
        "    char32_t nLast;",
        "    int nDelta;",
        "    int nStep;",
        "};",
        "",
        "// clang-format off",
        "inline constexpr SFoldRun s_aFoldRuns[] = {",
    ]
    for start, end, delta, stride in runs:
        out.append("    {0x%04X, 0x%04X, %d, %d}," % (start, end, delta, stride))
    out.append("};")
    out.append("// clang-format on")
    sys.stdout.write("\n".join(out) + "\n")


main()
