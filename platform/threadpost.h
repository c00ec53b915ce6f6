// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QMetaObject>
#include <QObject>

#include <utility>

#if defined(__SANITIZE_THREAD__)
#define TUNEBR_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TUNEBR_THREAD_SANITIZER 1
#endif
#endif

#if defined(TUNEBR_THREAD_SANITIZER)
#include <sanitizer/tsan_interface.h>
#endif

namespace ThreadPost {

// Qt's event queue orders a posted call after everything its thread did before posting, through
// locks of Qt's own. The system's Qt is not built with ThreadSanitizer, which cannot see those
// locks and would take every result handed over this way for a race: the hand-over is told to it
// here. One mark for all, as Qt's queue is one per receiving thread. Nothing in other builds.
inline void* Mark() {
    static char s_mark;
    return &s_mark;
}

inline void Release() {
#if defined(TUNEBR_THREAD_SANITIZER)
    __tsan_release(Mark());
#endif
}

inline void Acquire() {
#if defined(TUNEBR_THREAD_SANITIZER)
    __tsan_acquire(Mark());
#endif
}

} // namespace ThreadPost

// Calls fn on pReceiver's thread from its event loop, after what this thread did so far; the call
// is dropped when pReceiver goes first.
template <typename TFn> void PostToThreadOf(QObject* pReceiver, TFn&& fn) {
    ThreadPost::Release();
    QMetaObject::invokeMethod(
        pReceiver,
        [fn = std::forward<TFn>(fn)]() mutable {
            ThreadPost::Acquire();
            fn();
        },
        Qt::QueuedConnection);
}
