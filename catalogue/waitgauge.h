// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/filedescriptor.h"

#include <chrono>

// Tells, for the thread that owns it, work that waited (for a disk, a file server) from work
// served from memory. Only what the thread itself saw counts, so that it holds on any file
// system: the thread spent well over the processor time it used blocked on its own. Neither the
// time between pieces (a thread idle for want of work) nor the time spent waiting for a processor
// counts: a thread below the program's priority waits long after any brief block (a lock in the
// kernel, a page fault) while the machine is busy. Counted, both grew the pools to dozens of
// threads on a warm cache, each read then taken alone. Constructed on the thread it gauges.
class CWaitGauge {
public:
    enum class EVerdict { Quick, Busy, Waited };

    CWaitGauge();

    void Begin() { m_tBegin = std::chrono::steady_clock::now(); }
    // About the work since Begin(). Quick work costs no more than a clock read.
    EVerdict End();
    // True when the pieces wait as a rule, not by chance (a page fault, a lock in the kernel: a
    // busy machine blocks a thread now and then even on a warm cache). A piece that waited
    // counts for two, a quick one against one: waits among quick pieces, as on a cold disk where
    // neighbours come in with one read, still add up. Then the count starts again.
    bool KeepsWaiting(EVerdict verdict);

private:
    // Faster than any network round trip or disk access; slower than any read from memory.
    static constexpr std::chrono::microseconds SLOW{150};
    // Time over processor time beyond which the work mostly waited.
    static constexpr long WAIT_FACTOR = 4;

    struct SSample {
        long nCpuMicros = 0;
        long nRunDelayMicros = 0; // runnable, waiting for a processor
        long nBlocks = 0;         // voluntary context switches
    };
    SSample Sample() const;

    CFileDescriptor m_schedStat; // this thread's scheduler figures, when the kernel keeps them
    std::chrono::steady_clock::time_point m_tBegin;
    std::chrono::steady_clock::duration m_tPieces{}; // of the pieces since the last sample
    SSample m_sampled;
    static constexpr int WAIT_SCORE = 4;
    int m_nScore = 0;
};
