// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/heappolicy.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

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

// The flags of the mapping that holds pAddress, as /proc/self/smaps lists them ("VmFlags: rd wr
// ..."); empty when no mapping holds it.
std::string MappingFlags(const void* pAddress) {
    const auto nAddress = reinterpret_cast<std::uintptr_t>(pAddress);
    std::ifstream smaps("/proc/self/smaps");
    bool bInside = false;
    for (std::string strLine; std::getline(smaps, strLine);) {
        std::uintptr_t nBegin = 0;
        std::uintptr_t nEnd = 0;
        if (std::sscanf(strLine.c_str(), "%" SCNxPTR "-%" SCNxPTR " ", &nBegin, &nEnd) == 2 &&
            strLine.find(':') > strLine.find(' ')) {
            bInside = nBegin <= nAddress && nAddress < nEnd;
        } else if (bInside && strLine.rfind("VmFlags:", 0) == 0) {
            return strLine;
        }
    }
    return {};
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

// The middle of a large C++ block is advised to go on 2 MB pages, before it is first written;
// smaller blocks are left as they are. The advice shows in the mapping's flags ("hg") whatever
// the system then does with it.
TEST(HeapPolicy, LargeBlocksAskForLargePages) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocation functions replace the program's";
#endif
    ReturnLargeBlocksToSystem();
    constexpr std::size_t MB = 1024 * 1024;
    const struct {
        std::size_t nBytes;
        bool bLargePages;
    } aCases[] = {{1 * MB, false}, {3 * MB, false}, {4 * MB, true}, {64 * MB, true}};
    for (const auto& c : aCases) {
        const std::unique_ptr<char[]> pBlock(new char[c.nBytes]);
        const std::string strFlags = MappingFlags(pBlock.get() + c.nBytes / 2);
        ASSERT_FALSE(strFlags.empty()) << c.nBytes / MB << " MB";
        EXPECT_EQ(strFlags.find(" hg") != std::string::npos, c.bLargePages)
            << c.nBytes / MB << " MB: " << strFlags;
    }
}

// Pages left free inside the heap, between blocks still in use, go back to the system when asked:
// the small blocks are those a scan's batches and growing lists leave behind.
TEST(HeapPolicy, FreePagesBetweenBlocksInUseGoBackWhenAsked) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator holds freed blocks back on purpose";
#endif
    ReturnLargeBlocksToSystem();
    constexpr std::size_t BLOCK = 1000;
    constexpr std::size_t BLOCKS = 64 * 1024;
    constexpr std::size_t KEPT_EVERY = 256; // one block kept in about 250 KB
    std::vector<char*> arrBlocks;
    for (std::size_t i = 0; i < BLOCKS; ++i) {
        arrBlocks.push_back(static_cast<char*>(std::malloc(BLOCK)));
        ASSERT_NE(arrBlocks.back(), nullptr);
        std::memset(arrBlocks.back(), 1, BLOCK);
    }
    for (std::size_t i = 0; i < BLOCKS; ++i) {
        if (i % KEPT_EVERY != 0) {
            std::free(arrBlocks[i]);
        }
    }
    const long nBefore = ResidentBytes();
    ReturnFreePagesToSystem();
    const long nAfter = ResidentBytes();
    EXPECT_GT(nBefore - nAfter, static_cast<long>(BLOCK * BLOCKS / 2));
    for (std::size_t i = 0; i < BLOCKS; i += KEPT_EVERY) {
        std::free(arrBlocks[i]);
    }
}
