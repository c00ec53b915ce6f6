// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/posixio.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// File operations as a slow share gives them, so that a scan or a run of writes lasts long
// enough to act during it: opens one at a time with a wait each (m_bSlow), each write after a
// wait of its own (m_nWriteDelayMs); or, while stalled, opens and writes that do not return, as
// a share that stopped answering. A job left behind on a stall may use it after its test: it
// lives as long as the process.
class CSlowOps final : public CFileOps {
public:
    static CSlowOps& Instance() {
        static CSlowOps* s_pOps = new CSlowOps;
        return *s_pOps;
    }

    int OpenAt(int nDirFd, const char* pszPath, int nFlags) override {
        WaitWhileStalled();
        if (m_bSlow) {
            const std::lock_guard<std::mutex> lock(m_slowMutex);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return CFileOps::OpenAt(nDirFd, pszPath, nFlags);
    }

    int Lstat(const char* pszPath, struct stat* pStat) override {
        WaitWhileStalled();
        return CFileOps::Lstat(pszPath, pStat);
    }

    ssize_t Pwrite(int nFd, const void* pBuffer, std::size_t nCount, off_t nOffset) override {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_arrWritten.push_back(PathOf(nFd));
        }
        if (m_bStallWrites) {
            WaitWhileStalled();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(m_nWriteDelayMs.load()));
        return CFileOps::Pwrite(nFd, pBuffer, nCount, nOffset);
    }

    void SetStalled(bool bStall) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bStall = bStall;
        }
        m_cvStall.notify_all();
    }
    bool IsAnyoneStalled() const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_bStall && m_nStalled > 0;
    }
    // The paths of the writes begun, in order, one per call.
    std::vector<std::string> GetWrites() const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrWritten;
    }
    void Reset() {
        m_bSlow = false;
        m_bStallWrites = false;
        m_nWriteDelayMs = 0;
        SetStalled(false);
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_arrWritten.clear();
    }

    std::atomic<bool> m_bSlow{false};
    std::atomic<bool> m_bStallWrites{false}; // a stall holds writes too, not only opens
    std::atomic<int> m_nWriteDelayMs{0};

private:
    static std::string PathOf(int nFd) {
        const std::string strLink = "/proc/self/fd/" + std::to_string(nFd);
        std::string strPath(4096, '\0');
        const ssize_t nLength = ::readlink(strLink.c_str(), strPath.data(), strPath.size());
        strPath.resize(nLength > 0 ? static_cast<std::size_t>(nLength) : 0);
        return strPath;
    }

    void WaitWhileStalled() {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_nStalled;
        m_cvStall.wait(lock, [this] { return !m_bStall; });
        --m_nStalled;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cvStall;
    bool m_bStall = false;
    int m_nStalled = 0;
    std::vector<std::string> m_arrWritten;
    std::mutex m_slowMutex;
};
