// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// How many times the time a check of pace allows (the longest a window or a walk goes without a
// turn) is stretched. Under ThreadSanitizer every access of ours costs several times more, which
// such a check would measure instead of the order of the threads the build is there to check.
#if defined(__SANITIZE_THREAD__)
constexpr int PACE_SCALE = 5;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr int PACE_SCALE = 5;
#else
constexpr int PACE_SCALE = 1;
#endif
#else
constexpr int PACE_SCALE = 1;
#endif
