// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <system_error>
#include <thread>

// Runs fnOther on a thread of its own while fnHere runs on the caller's, and returns once both
// are done. Where no thread can be started (the process is at its limit of threads or memory),
// both run on the caller's, one after the other: the work is only slower, never lost.
template <typename TOther, typename THere> void RunSideBySide(TOther&& fnOther, THere&& fnHere) {
    std::thread other;
    try {
        other = std::thread([&fnOther] { fnOther(); });
    } catch (const std::system_error&) {
        fnOther();
    }
    // The other thread is waited for even when fnHere throws: a thread never joined ends the
    // process.
    struct SJoin {
        std::thread& thread;
        ~SJoin() {
            if (thread.joinable()) {
                thread.join();
            }
        }
    } join{other};
    fnHere();
}
