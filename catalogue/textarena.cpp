// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/textarena.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <sys/mman.h>

// AddressSanitizer finds a text read past its end only in a block of its own.
#if defined(__SANITIZE_ADDRESS__)

char* TextArena::Allocate(std::size_t nBytes) {
    return new char[nBytes];
}

void TextArena::Release(const char* pBlock) noexcept {
    delete[] pBlock;
}

#else

namespace {

// A power of two: a block's chunk is found by rounding its address down, and a block larger
// than a chunk gets a mapping of its own that starts the same way.
constexpr std::size_t CHUNK_BYTES = 256 * 1024;
constexpr std::size_t OWN_MAPPING_BYTES = CHUNK_BYTES / 8;
constexpr std::size_t MAPPING_STEP = 64 * 1024; // a multiple of every page size

struct SChunkHead {
    // The blocks not yet released, plus HOLD while a thread still cuts from the chunk: the
    // cutting thread counts its blocks alone, and settles the count once it leaves the chunk.
    std::atomic<std::size_t> nCount;
    std::size_t nMappedBytes;
};
constexpr std::size_t HEAD_BYTES = sizeof(SChunkHead);
constexpr std::size_t HOLD = std::size_t{1} << 40;

// Maps nBytes or a little more, starting at a multiple of CHUNK_BYTES.
SChunkHead* MapChunk(std::size_t nBytes, std::size_t nCount) {
    nBytes = (nBytes + MAPPING_STEP - 1) & ~(MAPPING_STEP - 1);
    void* pMapped = ::mmap(nullptr, nBytes + CHUNK_BYTES, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pMapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    const auto nMapped = reinterpret_cast<std::uintptr_t>(pMapped);
    const std::uintptr_t nBegin = (nMapped + CHUNK_BYTES - 1) & ~(CHUNK_BYTES - 1);
    if (nBegin > nMapped) {
        ::munmap(pMapped, nBegin - nMapped);
    }
    ::munmap(reinterpret_cast<void*>(nBegin + nBytes), nMapped + CHUNK_BYTES - nBegin);
    auto* pHead = new (reinterpret_cast<void*>(nBegin)) SChunkHead{{nCount}, nBytes};
    return pHead;
}

void Drop(SChunkHead* pHead, std::size_t nCount) noexcept {
    if (pHead->nCount.fetch_sub(nCount, std::memory_order_acq_rel) == nCount) {
        const std::size_t nBytes = pHead->nMappedBytes;
        pHead->~SChunkHead();
        ::munmap(pHead, nBytes);
    }
}

// The chunk this thread cuts from.
class CThreadChunk {
public:
    CThreadChunk() = default;
    CThreadChunk(const CThreadChunk&) = delete;
    CThreadChunk& operator=(const CThreadChunk&) = delete;
    ~CThreadChunk() { Leave(); }

    char* Cut(std::size_t nBytes) {
        if (m_pHead == nullptr || m_nUsed + nBytes > CHUNK_BYTES) {
            Leave();
            m_pHead = MapChunk(CHUNK_BYTES, HOLD);
            m_nUsed = HEAD_BYTES;
        }
        char* pBlock = reinterpret_cast<char*>(m_pHead) + m_nUsed;
        m_nUsed += nBytes;
        ++m_nBlocks;
        return pBlock;
    }

private:
    void Leave() noexcept {
        if (m_pHead != nullptr) {
            Drop(m_pHead, HOLD - m_nBlocks);
            m_pHead = nullptr;
            m_nBlocks = 0;
        }
    }

    SChunkHead* m_pHead = nullptr;
    std::size_t m_nUsed = 0;
    std::size_t m_nBlocks = 0;
};

// One per thread, like the heap's own caches: the only state is where the thread cuts next.
thread_local CThreadChunk t_chunk;

} // namespace

char* TextArena::Allocate(std::size_t nBytes) {
    if (nBytes > OWN_MAPPING_BYTES) {
        return reinterpret_cast<char*>(MapChunk(HEAD_BYTES + nBytes, 1)) + HEAD_BYTES;
    }
    return t_chunk.Cut(nBytes);
}

void TextArena::Release(const char* pBlock) noexcept {
    if (pBlock != nullptr) {
        const auto nAt = reinterpret_cast<std::uintptr_t>(pBlock);
        Drop(reinterpret_cast<SChunkHead*>(nAt & ~(CHUNK_BYTES - 1)), 1);
    }
}

#endif
