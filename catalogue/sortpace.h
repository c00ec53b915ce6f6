// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <atomic>
#include <cstddef>

namespace SortPace {

// A sort told to stop looks at its flag this often, in rows: often enough to let go of the records
// within a fraction of a millisecond, seldom enough to cost nothing.
constexpr std::size_t STOP_STRIDE = 4096;

// Whether the sort is to stop, looked at once every STOP_STRIDE rows. A stopped sort ends early
// with an order of no use, which its caller drops.
inline bool IsStopped(const std::atomic<bool>* pStop, std::size_t nRow = 0) {
    return nRow % STOP_STRIDE == 0 && pStop != nullptr && pStop->load(std::memory_order_relaxed);
}

// The records lie scattered over memory, and reading them is most of the work: the records
// and texts of the rows a few places on are asked for ahead.
constexpr std::size_t AHEAD = 8;

} // namespace SortPace
