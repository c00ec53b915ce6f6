// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/threadstarter.h"

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

// The threads of one kind of work (a scan's listers or readers, a write, a sort), each running
// fnRun with its index. Workers with an index below the active count take work; the others stay
// parked until the group grows again. A thread that cannot be started is done without: the group
// then has fewer workers, down to none, and its owner does the work on its own thread.
//
// The group has no lock: it is a member of its owner, guarded by the owner's mutex, which is held
// for every call but the destructor's. The owner tells its workers to stop before the group goes
// (the group is its last member, so that the workers go before what they use). A joining group
// then waits for them; an abandoning one lets them end on their own, for work that may block in
// the kernel on a share that stopped answering, which its owner's thread must never wait for.
class CWorkerGroup {
public:
    enum class EEnd { Join, Abandon };
    using FnRun = std::function<void(std::size_t nIndex)>;

    CWorkerGroup(std::size_t nMost, CThreadStarter& starter, FnRun fnRun, EEnd end = EEnd::Join);
    ~CWorkerGroup();
    CWorkerGroup(const CWorkerGroup&) = delete;
    CWorkerGroup& operator=(const CWorkerGroup&) = delete;

    // Lets nCount workers take work, at most as many as the group may have, starting threads
    // where there are fewer; how many now do: fewer when no more threads could be started.
    std::size_t SetActive(std::size_t nCount);
    // Doubles the workers at work, from one: a wait reaches a server's pace in a few steps.
    std::size_t Grow() { return SetActive(m_nActive * 2 > 0 ? m_nActive * 2 : 1); }
    // Parks the last worker at work, never going below nFewest.
    void Shrink(std::size_t nFewest);
    // No worker starts any more; those there are see it and end.
    void Stop() { m_bStopping = true; }

    bool IsStopping() const { return m_bStopping; }
    bool IsParked(std::size_t nIndex) const { return nIndex >= m_nActive; }
    std::size_t GetActive() const { return m_nActive; }
    // Threads started: the most workers there were.
    std::size_t GetStarted() const { return m_arrThreads.size(); }

private:
    const std::size_t m_nMost;
    CThreadStarter& m_starter;
    FnRun m_fnRun; // let go once every worker there may be has its own copy
    const EEnd m_end;
    std::size_t m_nActive = 0;
    bool m_bStopping = false;
    std::vector<std::thread> m_arrThreads;
};
