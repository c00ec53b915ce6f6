// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <functional>
#include <thread>

// Starts the threads that share out long work. Starting one may fail (the process is at its limit
// of threads, or short of memory); the work must then be done by the threads there are, down to
// the caller's alone, only more slowly: a failure never ends the program.
class CThreadStarter {
public:
    virtual ~CThreadStarter() = default;
    // A thread running fnRun, or a thread that is not joinable when none could be started.
    virtual std::thread Start(std::function<void()> fnRun);
    // The starter of the program's own threads; it holds no state.
    static CThreadStarter& Default();
};
