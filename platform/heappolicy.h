// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// Makes the process give large freed blocks back to the system at once. A sort or a fill of a
// large list makes arrays of many megabytes and frees them; the C library would otherwise keep
// such memory resident, so that the window grew by the sizes of its temporaries one after the
// other. Call first thing in main().
void ReturnLargeBlocksToSystem();

// Gives back the free pages inside the heap, which the C library keeps once the blocks around
// them are still in use: after a scan of a million files, the batches it filed and the lists that
// grew leave megabytes of them. Takes a few milliseconds on such a heap.
void ReturnFreePagesToSystem();

// Linked with this file, the program's large C++ blocks (four megabytes and more) ask the system
// for 2 MB pages, where it lets a program ask (transparent huge pages, "madvise" or "always").
