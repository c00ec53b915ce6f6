// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <utility>

// A text that never changes, held by many through one pointer: the records of a folder share its
// location, and a large library has a million records. The holders are counted atomically:
// records are made on a scan's threads or a kept catalogue's, then kept, copied and dropped on
// the window's, and whichever lets go last, on whatever thread, frees the text.
class CSharedText {
public:
    // No text: reads as the empty text. A text moved away leaves this behind.
    CSharedText() noexcept = default;
    explicit CSharedText(std::string strText) : m_pBlock(new SBlock(std::move(strText))) {}
    CSharedText(const CSharedText& other) noexcept : m_pBlock(other.m_pBlock) { Hold(); }
    CSharedText(CSharedText&& other) noexcept : m_pBlock(std::exchange(other.m_pBlock, nullptr)) {}
    // By value: a copy is held before the text this one held is let go, which may be the same.
    CSharedText& operator=(CSharedText other) noexcept {
        std::swap(m_pBlock, other.m_pBlock);
        return *this;
    }
    ~CSharedText() { Release(); }

    // Valid while any holder of the text is.
    const std::string& Get() const { return m_pBlock ? m_pBlock->strText : Empty(); }

private:
    struct SBlock {
        explicit SBlock(std::string str) : strText(std::move(str)) {}
        std::atomic<std::size_t> nHolders{1};
        const std::string strText;
    };

    static const std::string& Empty() {
        static const std::string s_strEmpty;
        return s_strEmpty;
    }
    // A new holder comes from an existing one, which keeps the text alive meanwhile: nothing
    // need be ordered.
    void Hold() const noexcept {
        if (m_pBlock) {
            m_pBlock->nHolders.fetch_add(1, std::memory_order_relaxed);
        }
    }
    // Release, so that each holder's reads of the text come before the free; acquire, so that
    // the last holder's free comes after all of them.
    void Release() noexcept {
        if (m_pBlock && m_pBlock->nHolders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete m_pBlock;
        }
    }

    SBlock* m_pBlock = nullptr;
};
