// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/heappolicy.h"

#include <cstdlib> // defines __GLIBC__ on the C library that has mallopt

#ifdef __GLIBC__
#include <malloc.h>
#endif

void ReturnLargeBlocksToSystem() {
#ifdef __GLIBC__
    // Fixed thresholds: glibc's own rise to the size of each large block freed, up to 32 MB,
    // after which blocks that size come from the heap and stay resident once freed. Setting
    // either stops both from moving.
    constexpr int LARGE_BLOCK = 256 * 1024;
    mallopt(M_MMAP_THRESHOLD, LARGE_BLOCK);
    mallopt(M_TRIM_THRESHOLD, 2 * LARGE_BLOCK);
#endif
}
