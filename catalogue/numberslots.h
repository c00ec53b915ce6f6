// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// Open addressing over numbers 0 and up, at most half full. Each slot keeps the low half of its
// value's hash: most mismatches are told apart there, without reading the value.
class CNumberSlots {
public:
    // Makes room for nValues numbers at once, rather than growing a step at a time.
    void Reserve(std::size_t nValues) {
        std::size_t nSlots = 1024;
        while (nSlots < 2 * nValues) {
            nSlots *= 2;
        }
        if (nSlots > m_arrSlots.size()) {
            Resize(nSlots);
        }
    }
    // Asks for the first slot of a hash ahead of its Find.
    void Prefetch(std::size_t nHash) const {
        if (!m_arrSlots.empty()) {
            __builtin_prefetch(&m_arrSlots[nHash & m_nMask]);
        }
    }
    // Walks the slots in probe order for nHash until fnFound(number) says yes, or a free slot
    // comes, which then holds nCount, a new number, after fnNew().
    template <typename TFound, typename TNew>
    std::uint32_t Find(std::size_t nHash, std::size_t nCount, const TFound& fnFound,
                       const TNew& fnNew) {
        if (nCount * 2 >= m_arrSlots.size()) {
            Grow();
        }
        const auto nTag = static_cast<std::uint32_t>(nHash);
        for (std::size_t nSlot = nHash & m_nMask;; nSlot = (nSlot + 1) & m_nMask) {
            SSlot& slot = m_arrSlots[nSlot];
            if (slot.nNumber == 0) {
                slot = {static_cast<std::uint32_t>(nCount + 1), nTag};
                fnNew();
                return static_cast<std::uint32_t>(nCount);
            }
            if (slot.nTag == nTag && fnFound(slot.nNumber - 1)) {
                return slot.nNumber - 1;
            }
        }
    }

private:
    struct SSlot {
        std::uint32_t nNumber; // the number + 1, 0 for a free slot
        std::uint32_t nTag;
    };

    void Grow() { Resize(std::max<std::size_t>(1024, m_arrSlots.size() * 2)); }

    void Resize(std::size_t nSlots) {
        std::vector<SSlot> arrOld(nSlots, SSlot{0, 0});
        arrOld.swap(m_arrSlots);
        m_nMask = m_arrSlots.size() - 1;
        for (const SSlot& slot : arrOld) {
            if (slot.nNumber != 0) {
                std::size_t nSlot = slot.nTag & m_nMask;
                while (m_arrSlots[nSlot].nNumber != 0) {
                    nSlot = (nSlot + 1) & m_nMask;
                }
                m_arrSlots[nSlot] = slot;
            }
        }
    }

    std::vector<SSlot> m_arrSlots;
    std::size_t m_nMask = 0;
};
