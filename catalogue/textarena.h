// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstddef>

// Blocks for the records' texts, cut one after the other from large chunks instead of asked of
// the heap one by one. A million records each ask for one block of about a hundred bytes: the
// heap adds a header to each and rounds it up to sixteen bytes, a sixth of the texts' memory.
// Here a block costs its bytes alone. A chunk goes back to the system once every block cut from
// it is released, from whichever thread. Each thread cuts from a chunk of its own, so that the
// scan's readers never wait for one another.
namespace TextArena {

// nBytes of uninitialised memory, valid until released; throws std::bad_alloc.
char* Allocate(std::size_t nBytes);
// Ends a block that Allocate gave; nullptr is ignored.
void Release(const char* pBlock) noexcept;

struct SRelease {
    void operator()(const char* pBlock) const noexcept { Release(pBlock); }
};

} // namespace TextArena
