// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/workergroup.h"

#include <algorithm>
#include <utility>

CWorkerGroup::CWorkerGroup(std::size_t nMost, CThreadStarter& starter, FnRun fnRun, EEnd end)
    : m_nMost(nMost), m_starter(starter), m_fnRun(std::move(fnRun)), m_end(end) {
    m_arrThreads.reserve(nMost);
}

CWorkerGroup::~CWorkerGroup() {
    for (std::thread& thread : m_arrThreads) {
        if (m_end == EEnd::Join) {
            thread.join();
        } else {
            thread.detach();
        }
    }
}

std::size_t CWorkerGroup::SetActive(std::size_t nCount) {
    if (m_bStopping) {
        return m_nActive;
    }
    m_nActive = std::min(nCount, m_nMost);
    while (m_arrThreads.size() < m_nActive) {
        const std::size_t nIndex = m_arrThreads.size();
        // Its own copy of the work: an abandoned worker may outlive the group.
        std::thread thread = m_starter.Start([fnRun = m_fnRun, nIndex] { fnRun(nIndex); });
        if (!thread.joinable()) {
            m_nActive = m_arrThreads.size();
            break;
        }
        m_arrThreads.push_back(std::move(thread)); // reserved: never throws
    }
    if (m_arrThreads.size() == m_nMost) {
        // What the work holds (a request, shared state) goes with the last worker.
        m_fnRun = nullptr;
    }
    return m_nActive;
}

void CWorkerGroup::Shrink(std::size_t nFewest) {
    if (m_nActive > nFewest) {
        --m_nActive;
    }
}
