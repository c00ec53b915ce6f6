// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// Lowers the calling thread's scheduling priority to the lowest. A scan's readers and listers
// are many; when a cold disk answers a burst of them at once they would share the processors
// evenly with the thread that files their results and paints the window, which would then go
// without a turn for a tenth of a second and more. Their own work is mostly waiting, so on an
// otherwise idle machine giving way costs the scan nothing; beside busy programs of the same
// session the scan gives way to them too, and takes longer while the window stays quick.
// Call it only on a thread started for the work, never on the caller's own.
void LowerThisThreadPriority();
