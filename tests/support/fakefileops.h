// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/posixio.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

enum class EFileOp {
    OpenAt,
    Fstat,
    FstatAt,
    Pread,
    Pwrite,
    Ftruncate,
    Futimens,
    Close,
    LockForWrite,
    CreateAt,
    Fchown,
    Fchmod,
    Fsync,
    Rename,
    Unlink,
    RenameNoReplace,
    Link,
    Lstat,
    OpenFolderAt,
    ListFolder,
    Count
};

// A call through the fake as rules see it; a rule may lower nCount (a short read or write) before
// the system gets it.
struct SFileCall {
    EFileOp eOp = EFileOp::Count;
    int nFd = -1;                  // the file's descriptor, or the folder's a name is in
    const char* pszPath = nullptr; // the name or path; where a rename or link starts
    std::size_t nCount = 0;        // bytes to read, write or list
    off_t nOffset = 0;             // also a truncation's length
    struct stat* pStat = nullptr;  // what a look at a file fills in
    std::size_t nCall = 0;         // 1 for the operation's first call, counted over every thread
};

// The file operations of a test: each call goes to the system unless the test made it otherwise.
// Dials (a delay, a stall, a record of paths) may be turned at any time, also while scan threads
// call in; rules may be added at any time too, each call going by the rules of its start, in the
// order they were added, after the stall and the delay. Calls from different threads meet on no
// lock of the fake's unless a stall, a delay in turn or a record asks for one: ThreadSanitizer
// must still see the races of the code under test.
class CFakeFileOps final : public CFileOps {
public:
    using FnWhen = std::function<bool(const SFileCall&)>;
    using FnGoOn = std::function<ssize_t()>;
    // Runs instead of the call; fnGoOn hands it, as call now is, to the next rule or the system.
    using FnAround = std::function<ssize_t(SFileCall& call, const FnGoOn& fnGoOn)>;

    // For jobs that may outlive their test (a scan left behind on a stalled share): never freed.
    static CFakeFileOps& Lasting() {
        static CFakeFileOps* s_pOps = new CFakeFileOps;
        return *s_pOps;
    }

    void Around(EFileOp eOp, FnAround fnAround) {
        const std::lock_guard<std::mutex> lock(m_rulesMutex);
        auto pRules = std::make_unique<CRules>(*m_pRules.load());
        pRules->push_back({eOp, std::move(fnAround)});
        Publish(std::move(pRules));
    }
    void Before(EFileOp eOp, std::function<void(const SFileCall&)> fnBefore) {
        Around(eOp, [fnBefore = std::move(fnBefore)](SFileCall& call, const FnGoOn& fnGoOn) {
            fnBefore(call);
            return fnGoOn();
        });
    }
    // The calls fnWhen picks (every call without it) fail with nErrno, and do nothing.
    void Fail(EFileOp eOp, int nErrno, FnWhen fnWhen = {}) {
        Around(eOp, [nErrno, fnWhen = std::move(fnWhen)](SFileCall& call, const FnGoOn& fnGoOn) {
            if (fnWhen && !fnWhen(call)) {
                return fnGoOn();
            }
            errno = nErrno;
            return ssize_t{-1};
        });
    }
    // Reads or writes of at most nMaxBytes each, as the system may give them.
    void Shorten(EFileOp eOp, std::size_t nMaxBytes) {
        Around(eOp, [nMaxBytes](SFileCall& call, const FnGoOn& fnGoOn) {
            call.nCount = std::min(call.nCount, nMaxBytes);
            return fnGoOn();
        });
    }

    // Each call of eOp waits first; bOneAtATime: in turn, as on a share answering one at a time.
    void SetDelay(EFileOp eOp, int nDelayMs, bool bOneAtATime = false) {
        Dial(eOp).nDelayMs = nDelayMs;
        Dial(eOp).bOneAtATime = bOneAtATime;
    }
    // The operations that wait while the fake is stalled, as on a share that stopped answering.
    void HoldWhileStalled(std::initializer_list<EFileOp> arrOps) {
        for (const EFileOp eOp : arrOps) {
            Dial(eOp).bHeld = true;
        }
    }
    void SetStalled(bool bStall) {
        {
            const std::lock_guard<std::mutex> lock(m_stallMutex);
            m_bStalled = bStall;
            m_bStalledNow = bStall;
        }
        m_cvStall.notify_all();
    }
    bool IsAnyoneStalled() const {
        const std::lock_guard<std::mutex> lock(m_stallMutex);
        return m_bStalled && m_nWaiting > 0;
    }
    // Records the path of each call of eOp: the name given, or what the descriptor leads to.
    void Record(EFileOp eOp) { Dial(eOp).bRecorded = true; }
    std::vector<std::string> GetRecorded() const {
        const std::lock_guard<std::mutex> lock(m_recordMutex);
        return m_arrRecorded;
    }
    std::size_t Calls(EFileOp eOp) const {
        return m_aDials[Index(eOp)].nCalls.load(std::memory_order_relaxed);
    }

    // Back to the system's calls, with nothing stalled, held, recorded or counted.
    void Reset() {
        for (SDial& dial : m_aDials) {
            dial.nDelayMs = 0;
            dial.bOneAtATime = dial.bHeld = dial.bRecorded = false;
            dial.nCalls = 0;
        }
        SetStalled(false);
        {
            const std::lock_guard<std::mutex> lock(m_recordMutex);
            m_arrRecorded.clear();
        }
        const std::lock_guard<std::mutex> lock(m_rulesMutex);
        Publish(std::make_unique<CRules>());
    }

    int OpenAt(int nDirFd, const char* pszPath, int nFlags) override {
        return Run({EFileOp::OpenAt, nDirFd, pszPath},
                   [&](const SFileCall&) { return CFileOps::OpenAt(nDirFd, pszPath, nFlags); });
    }
    int Fstat(int nFd, struct stat* pStat) override {
        return Run({EFileOp::Fstat, nFd, nullptr, 0, 0, pStat},
                   [&](const SFileCall&) { return CFileOps::Fstat(nFd, pStat); });
    }
    int FstatAt(int nDirFd, const char* pszPath, struct stat* pStat) override {
        return Run({EFileOp::FstatAt, nDirFd, pszPath, 0, 0, pStat},
                   [&](const SFileCall&) { return CFileOps::FstatAt(nDirFd, pszPath, pStat); });
    }
    ssize_t Pread(int nFd, void* pBuffer, std::size_t nCount, off_t nOffset) override {
        return Run({EFileOp::Pread, nFd, nullptr, nCount, nOffset}, [&](const SFileCall& call) {
            return CFileOps::Pread(nFd, pBuffer, call.nCount, nOffset);
        });
    }
    ssize_t Pwrite(int nFd, const void* pBuffer, std::size_t nCount, off_t nOffset) override {
        return Run({EFileOp::Pwrite, nFd, nullptr, nCount, nOffset}, [&](const SFileCall& call) {
            return CFileOps::Pwrite(nFd, pBuffer, call.nCount, nOffset);
        });
    }
    int Ftruncate(int nFd, off_t nLength) override {
        return Run({EFileOp::Ftruncate, nFd, nullptr, 0, nLength},
                   [&](const SFileCall&) { return CFileOps::Ftruncate(nFd, nLength); });
    }
    int Futimens(int nFd, const struct timespec aTimes[2]) override {
        return Run({EFileOp::Futimens, nFd},
                   [&](const SFileCall&) { return CFileOps::Futimens(nFd, aTimes); });
    }
    int Close(int nFd) override {
        return Run({EFileOp::Close, nFd}, [&](const SFileCall&) { return CFileOps::Close(nFd); });
    }
    int LockForWrite(int nFd) override {
        return Run({EFileOp::LockForWrite, nFd},
                   [&](const SFileCall&) { return CFileOps::LockForWrite(nFd); });
    }
    int CreateAt(int nDirFd, const char* pszPath, mode_t nMode) override {
        return Run({EFileOp::CreateAt, nDirFd, pszPath},
                   [&](const SFileCall&) { return CFileOps::CreateAt(nDirFd, pszPath, nMode); });
    }
    int Fchown(int nFd, uid_t nOwner, gid_t nGroup) override {
        return Run({EFileOp::Fchown, nFd},
                   [&](const SFileCall&) { return CFileOps::Fchown(nFd, nOwner, nGroup); });
    }
    int Fchmod(int nFd, mode_t nMode) override {
        return Run({EFileOp::Fchmod, nFd},
                   [&](const SFileCall&) { return CFileOps::Fchmod(nFd, nMode); });
    }
    int Fsync(int nFd) override {
        return Run({EFileOp::Fsync, nFd}, [&](const SFileCall&) { return CFileOps::Fsync(nFd); });
    }
    int Rename(const char* pszFrom, const char* pszTo) override {
        return Run({EFileOp::Rename, -1, pszFrom},
                   [&](const SFileCall&) { return CFileOps::Rename(pszFrom, pszTo); });
    }
    int Unlink(const char* pszPath) override {
        return Run({EFileOp::Unlink, -1, pszPath},
                   [&](const SFileCall&) { return CFileOps::Unlink(pszPath); });
    }
    int RenameNoReplace(const char* pszFrom, const char* pszTo) override {
        return Run({EFileOp::RenameNoReplace, -1, pszFrom},
                   [&](const SFileCall&) { return CFileOps::RenameNoReplace(pszFrom, pszTo); });
    }
    int Link(const char* pszFrom, const char* pszTo) override {
        return Run({EFileOp::Link, -1, pszFrom},
                   [&](const SFileCall&) { return CFileOps::Link(pszFrom, pszTo); });
    }
    int Lstat(const char* pszPath, struct stat* pStat) override {
        return Run({EFileOp::Lstat, -1, pszPath, 0, 0, pStat},
                   [&](const SFileCall&) { return CFileOps::Lstat(pszPath, pStat); });
    }
    int OpenFolderAt(int nDirFd, const char* pszPath) override {
        return Run({EFileOp::OpenFolderAt, nDirFd, pszPath},
                   [&](const SFileCall&) { return CFileOps::OpenFolderAt(nDirFd, pszPath); });
    }
    ssize_t ListFolder(int nFd, void* pBuffer, std::size_t nSize) override {
        return Run({EFileOp::ListFolder, nFd, nullptr, nSize}, [&](const SFileCall& call) {
            return CFileOps::ListFolder(nFd, pBuffer, call.nCount);
        });
    }

private:
    struct SRule {
        EFileOp eOp;
        FnAround fnAround;
    };
    using CRules = std::vector<SRule>;
    using FnSystem = std::function<ssize_t(const SFileCall&)>;
    struct SDial {
        std::atomic<int> nDelayMs{0};
        std::atomic<bool> bOneAtATime{false};
        std::atomic<bool> bHeld{false};
        std::atomic<bool> bRecorded{false};
        std::atomic<std::size_t> nCalls{0};
    };

    static const CRules* NoRules() {
        static const CRules s_none;
        return &s_none;
    }
    static std::size_t Index(EFileOp eOp) { return static_cast<std::size_t>(eOp); }
    SDial& Dial(EFileOp eOp) { return m_aDials[Index(eOp)]; }

    // Earlier sets stay alive: a call may still go by the one it started with.
    void Publish(std::unique_ptr<CRules> pRules) {
        m_pRules.store(pRules.get(), std::memory_order_release);
        m_arrRuleSets.push_back(std::move(pRules));
    }

    template <class FCall>
    auto Run(SFileCall call, const FCall& fnSystem) -> decltype(fnSystem(call)) {
        SDial& dial = Dial(call.eOp);
        call.nCall = dial.nCalls.fetch_add(1, std::memory_order_relaxed) + 1;
        if (dial.bRecorded) {
            Note(call);
        }
        if (dial.bHeld && m_bStalledNow.load(std::memory_order_relaxed)) {
            WaitWhileStalled();
        }
        if (const int nDelayMs = dial.nDelayMs; nDelayMs > 0) {
            std::unique_lock<std::mutex> turn(m_turnMutex, std::defer_lock);
            if (dial.bOneAtATime) {
                turn.lock();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(nDelayMs));
        }
        const CRules& arrRules = *m_pRules.load(std::memory_order_acquire);
        return static_cast<decltype(fnSystem(call))>(Apply(call, arrRules, 0, fnSystem));
    }

    ssize_t Apply(SFileCall& call, const CRules& arrRules, std::size_t nFrom,
                  const FnSystem& fnSystem) {
        for (std::size_t i = nFrom; i < arrRules.size(); ++i) {
            if (arrRules[i].eOp == call.eOp) {
                return arrRules[i].fnAround(
                    call, [&, i] { return Apply(call, arrRules, i + 1, fnSystem); });
            }
        }
        return fnSystem(call);
    }

    void WaitWhileStalled() {
        std::unique_lock<std::mutex> lock(m_stallMutex);
        ++m_nWaiting;
        m_cvStall.wait(lock, [this] { return !m_bStalled; });
        --m_nWaiting;
    }

    void Note(const SFileCall& call) {
        std::string strPath = call.pszPath != nullptr ? call.pszPath : "";
        if (call.pszPath == nullptr) {
            const std::string strLink = "/proc/self/fd/" + std::to_string(call.nFd);
            strPath.resize(4096);
            const ssize_t nLength = ::readlink(strLink.c_str(), strPath.data(), strPath.size());
            strPath.resize(nLength > 0 ? static_cast<std::size_t>(nLength) : 0);
        }
        const std::lock_guard<std::mutex> lock(m_recordMutex);
        m_arrRecorded.push_back(std::move(strPath));
    }

    std::array<SDial, static_cast<std::size_t>(EFileOp::Count)> m_aDials;
    mutable std::mutex m_stallMutex;
    std::condition_variable m_cvStall;
    bool m_bStalled = false;
    int m_nWaiting = 0;
    std::atomic<bool> m_bStalledNow{false}; // m_bStalled, looked at without the lock
    std::mutex m_turnMutex;
    mutable std::mutex m_recordMutex;
    std::vector<std::string> m_arrRecorded;
    std::mutex m_rulesMutex; // for those who add rules
    std::vector<std::unique_ptr<const CRules>> m_arrRuleSets;
    std::atomic<const CRules*> m_pRules{NoRules()};
};

// Opens of names starting with "denied" (EACCES), "gone" (ENOENT) or "io" (EIO) fail, files and
// folders alike, as on a share refusing them.
inline void RefuseOpensByName(CFakeFileOps& ops) {
    const std::pair<const char*, int> aRefusals[] = {
        {"denied", EACCES}, {"gone", ENOENT}, {"io", EIO}};
    for (const auto& [pszPrefix, nErrno] : aRefusals) {
        const std::string strPrefix = pszPrefix;
        for (const EFileOp eOp : {EFileOp::OpenAt, EFileOp::OpenFolderAt}) {
            ops.Fail(eOp, nErrno, [strPrefix](const SFileCall& call) {
                return std::string(call.pszPath).rfind(strPrefix, 0) == 0;
            });
        }
    }
}
