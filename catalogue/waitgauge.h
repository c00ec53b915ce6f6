// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <chrono>

// Tells, for the thread that owns it, work that waited (for a disk, a file server) from work
// served from memory. Only what the thread itself saw counts, so that it holds on any file
// system: the work took well over the processor time it used, and the thread blocked on its
// own rather than being preempted by a busy machine.
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
    // Wall time over processor time beyond which the work mostly waited.
    static constexpr long WAIT_FACTOR = 4;

    void Sample(long& nCpuMicros, long& nBlocks) const;

    std::chrono::steady_clock::time_point m_tBegin;
    std::chrono::steady_clock::time_point m_tSampled;
    long m_nCpuMicros = 0; // at the last sample
    long m_nBlocks = 0;    // voluntary context switches at the last sample
    static constexpr int WAIT_SCORE = 4;
    int m_nScore = 0;
};
