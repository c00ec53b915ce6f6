// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

// The lock rules, written where clang checks them (-Wthread-safety): which mutex guards a
// member, which functions run with it held. Other compilers see nothing.
#if defined(__clang__)
#define TUNEBR_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define TUNEBR_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) TUNEBR_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY TUNEBR_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) TUNEBR_THREAD_ATTRIBUTE(guarded_by(x))
#define REQUIRES(...) TUNEBR_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) TUNEBR_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) TUNEBR_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TUNEBR_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
