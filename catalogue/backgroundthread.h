// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// Lowers the calling thread's scheduling priority to the lowest. A scan's readers and
// listers are many; when a cold disk answers a burst of them at once they would share the
// processors evenly with the thread that files their results and paints the window, which would
// then go without a turn for a tenth of a second and more. Their own work is mostly waiting, so
// giving way costs the scan nothing.
void LowerThisThreadPriority();
