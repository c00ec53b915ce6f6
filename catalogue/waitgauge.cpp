// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/waitgauge.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>

CWaitGauge::CWaitGauge()
    : m_schedStat(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)),
      m_tBegin(std::chrono::steady_clock::now()), m_sampled(Sample()) {
}

// The scheduler's figures hold the time spent waiting for a processor; without them (a kernel
// that keeps none) that time counts as a wait, as the processor time alone tells no more.
CWaitGauge::SSample CWaitGauge::Sample() const {
    struct rusage usage {};
    ::getrusage(RUSAGE_THREAD, &usage);
    SSample sample;
    sample.nBlocks = usage.ru_nvcsw;
    char szStat[96] = {};
    unsigned long long nCpuNanos = 0;
    unsigned long long nRunDelayNanos = 0;
    if (m_schedStat.IsValid() && ::pread(m_schedStat.Get(), szStat, sizeof szStat - 1, 0) > 0 &&
        std::sscanf(szStat, "%llu %llu", &nCpuNanos, &nRunDelayNanos) == 2) {
        sample.nCpuMicros = static_cast<long>(nCpuNanos / 1000);
        sample.nRunDelayMicros = static_cast<long>(nRunDelayNanos / 1000);
        return sample;
    }
    sample.nCpuMicros = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L +
                        usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    return sample;
}

// The pieces' times are summed since the last sample rather than taken since Begin(), so that a
// run of quick work between two slow pieces is weighed with them; the time between pieces (a
// thread waiting for work) is no wait of the work's.
CWaitGauge::EVerdict CWaitGauge::End() {
    const auto tPiece = std::chrono::steady_clock::now() - m_tBegin;
    m_tPieces += tPiece;
    if (tPiece < SLOW) {
        return EVerdict::Quick;
    }
    const SSample sample = Sample();
    const long nWallMicros =
        static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(m_tPieces).count());
    const long nCpuMicros = sample.nCpuMicros - m_sampled.nCpuMicros;
    const long nBlockedMicros =
        nWallMicros - nCpuMicros - (sample.nRunDelayMicros - m_sampled.nRunDelayMicros);
    const bool bWaited = sample.nBlocks != m_sampled.nBlocks && nBlockedMicros >= SLOW.count() &&
                         nBlockedMicros > (WAIT_FACTOR - 1) * nCpuMicros;
    m_tPieces = {};
    m_sampled = sample;
    return bWaited ? EVerdict::Waited : EVerdict::Busy;
}

bool CWaitGauge::KeepsWaiting(EVerdict verdict) {
    if (verdict == EVerdict::Waited) {
        m_nScore += 2;
    } else if (verdict == EVerdict::Quick && m_nScore > 0) {
        --m_nScore;
    }
    if (m_nScore < WAIT_SCORE) {
        return false;
    }
    m_nScore = 0;
    return true;
}
