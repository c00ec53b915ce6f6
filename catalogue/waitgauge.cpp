// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/waitgauge.h"

#include <sys/resource.h>

CWaitGauge::CWaitGauge() : m_tBegin(std::chrono::steady_clock::now()), m_tSampled(m_tBegin) {
    Sample(m_nCpuMicros, m_nBlocks);
}

void CWaitGauge::Sample(long& nCpuMicros, long& nBlocks) const {
    struct rusage usage {};
    ::getrusage(RUSAGE_THREAD, &usage);
    nCpuMicros = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L +
                 usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    nBlocks = usage.ru_nvcsw;
}

// The processor time and the blocks are counted since the last sample rather than since Begin(),
// so that a run of quick work between two slow pieces is weighed with them.
CWaitGauge::EVerdict CWaitGauge::End() {
    const auto tNow = std::chrono::steady_clock::now();
    if (tNow - m_tBegin < SLOW) {
        return EVerdict::Quick;
    }
    long nCpuMicros = 0;
    long nBlocks = 0;
    Sample(nCpuMicros, nBlocks);
    const long nWallMicros = static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(tNow - m_tSampled).count());
    const bool bWaited =
        nBlocks != m_nBlocks && nWallMicros > WAIT_FACTOR * (nCpuMicros - m_nCpuMicros);
    m_tSampled = tNow;
    m_nCpuMicros = nCpuMicros;
    m_nBlocks = nBlocks;
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
