// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/heappolicy.h"

#include <cstdint>
#include <cstdlib> // defines __GLIBC__ on the C library that has mallopt
#include <new>
#include <sys/mman.h>

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

void ReturnFreePagesToSystem() {
#ifdef __GLIBC__
    (void)malloc_trim(0);
#endif
}

namespace {

constexpr std::size_t LARGE_PAGE = 2 * 1024 * 1024;

// Asks for 2 MB pages under the part of the block they fit in, which no other block shares.
void AdviseLargePages(void* pBlock, std::size_t nBytes) {
    const auto nAt = reinterpret_cast<std::uintptr_t>(pBlock);
    const std::uintptr_t nBegin = (nAt + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
    const std::uintptr_t nEnd = (nAt + nBytes) & ~(LARGE_PAGE - 1);
    if (nEnd > nBegin) {
        (void)::madvise(reinterpret_cast<void*>(nBegin), nEnd - nBegin, MADV_HUGEPAGE);
    }
}

} // namespace

// The sanitizers bring their own allocation functions, which report what they see wrong.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// A sort, a fill or a regrouping of a million rows makes arrays of megabytes, written from end to
// end and freed soon after. Each is a new mapping (see the threshold above), and each 4 KB page of
// it a fault when first written: tens of thousands per sort, a third of its time. On 2 MB pages,
// where the system lets a program ask for them, they are a few dozen.
void* operator new(std::size_t nBytes) {
    constexpr std::size_t LARGE_BLOCK = 2 * LARGE_PAGE;
    for (;;) {
        if (void* pBlock = std::malloc(nBytes == 0 ? 1 : nBytes)) {
            if (nBytes >= LARGE_BLOCK) {
                AdviseLargePages(pBlock, nBytes);
            }
            return pBlock;
        }
        const std::new_handler fnHandler = std::get_new_handler();
        if (fnHandler == nullptr) {
            throw std::bad_alloc();
        }
        fnHandler();
    }
}
#endif
