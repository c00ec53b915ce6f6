// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/casefold.h"

#include "catalogue/casefold_table.h"

#include <algorithm>
#include <iterator>

char32_t FoldCase(char32_t nCode) {
    // The last run starting at or before the code point.
    const SFoldRun* pRun =
        std::upper_bound(std::begin(s_aFoldRuns), std::end(s_aFoldRuns), nCode,
                         [](char32_t nValue, const SFoldRun& run) { return nValue < run.nFirst; });
    if (pRun == std::begin(s_aFoldRuns)) {
        return nCode;
    }
    --pRun;
    if (nCode > pRun->nLast || (pRun->nStep == 2 && (nCode - pRun->nFirst) % 2 != 0)) {
        return nCode;
    }
    return static_cast<char32_t>(static_cast<long>(nCode) + pRun->nDelta);
}
