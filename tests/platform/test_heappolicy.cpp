// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/heappolicy.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

long ResidentBytes() {
    long nPages = 0;
    long nResident = 0;
    FILE* pFile = std::fopen("/proc/self/statm", "r");
    if (pFile == nullptr) {
        return -1;
    }
    const int nRead = std::fscanf(pFile, "%ld %ld", &nPages, &nResident);
    std::fclose(pFile);
    return nRead == 2 ? nResident * sysconf(_SC_PAGESIZE) : -1;
}

} // namespace

// A large block, used and freed, leaves the process, whatever blocks came and went before it:
// the sizes are those of a sort's arrays on lists of a million rows, largest first, as after the
// largest the C library would by default keep the smaller ones in its heap.
TEST(HeapPolicy, FreedLargeBlocksLeaveTheProcess) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator holds freed blocks back on purpose";
#endif
    ReturnLargeBlocksToSystem();
    constexpr std::size_t MB = 1024 * 1024;
    for (const std::size_t nBytes : {30 * MB, 24 * MB, 8 * MB, 4 * MB, 1 * MB}) {
        const long nBefore = ResidentBytes();
        ASSERT_GE(nBefore, 0);
        auto* pBlock = static_cast<char*>(std::malloc(nBytes));
        ASSERT_NE(pBlock, nullptr);
        std::memset(pBlock, 1, nBytes);
        asm volatile("" : : "r"(pBlock) : "memory"); // the block is used: it must be made
        const long nUsed = ResidentBytes();
        std::free(pBlock);
        const long nAfter = ResidentBytes();
        EXPECT_GE(nUsed - nBefore, static_cast<long>(nBytes / 2)) << nBytes / MB << " MB";
        EXPECT_LT(nAfter - nBefore, static_cast<long>(nBytes / 4)) << nBytes / MB << " MB";
    }
}
