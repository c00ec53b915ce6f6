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
#include <cstdint>
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
};
constexpr std::size_t FILE_OP_COUNT = static_cast<std::size_t>(EFileOp::ListFolder) + 1;

// One call through the fake, its arguments as given; a rule may change them before the system
// gets them (a shorter count, for a short write).
struct SFileCall {
    EFileOp eOp;
    std::size_t nCall = 0; // 1 for the operation's first call, counted over every thread
    int nDirFd = -1;
    int nFd = -1;
    const char* pszPath = nullptr; // a name in nDirFd, a path, or where a rename or link starts
    const char* pszTo = nullptr;
    int nFlags = 0;
    mode_t nMode = 0;
    void* pBuffer = nullptr; // read or listed into
    const void* pData = nullptr;
    std::size_t nCount = 0;
    off_t nOffset = 0; // also a truncation's length
    struct stat* pStat = nullptr;
    const struct timespec* pTimes = nullptr;
    uid_t nOwner = 0;
    gid_t nGroup = 0;
};

// The file operations of a test: each call goes to the system unless the test made it otherwise.
// Dials (a delay, a stall, a record of paths) may be turned at any time, also while scan threads
// call in; rules may be added at any time too, and each call sees the rules of its start. Rules
// apply in the order added, after the stall and the delay.
// Calls from different threads meet on no lock of the fake's unless a stall, a delay in turn or a
// record asks for one: ThreadSanitizer must still see the races of the code under test.
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

    // Each call of eOp waits tDelay first; bOneAtATime: its calls wait in turn, as on a share
    // answering one request at a time.
    void SetDelay(EFileOp eOp, std::chrono::milliseconds tDelay, bool bOneAtATime = false) {
        Dial(eOp).nDelayMs = static_cast<int>(tDelay.count());
        Dial(eOp).bOneAtATime = bOneAtATime;
    }
    // Calls of the operations given wait until they are no longer stalled, as on a share that
    // stopped answering; none given lets every waiting call go on.
    void Stall(std::initializer_list<EFileOp> arrOps) {
        std::uint32_t nMask = 0;
        for (const EFileOp eOp : arrOps) {
            nMask |= Bit(eOp);
        }
        {
            const std::lock_guard<std::mutex> lock(m_stallMutex);
            m_nStalled = nMask;
            m_nStalledNow = nMask;
        }
        m_cvStall.notify_all();
    }
    bool IsAnyoneStalled() const {
        const std::lock_guard<std::mutex> lock(m_stallMutex);
        return m_nStalled != 0 && m_nWaiting > 0;
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

    // Back to the system's calls, with nothing stalled, recorded or counted.
    void Reset() {
        for (SDial& dial : m_aDials) {
            dial.nDelayMs = 0;
            dial.bOneAtATime = false;
            dial.bRecorded = false;
            dial.nCalls = 0;
        }
        Stall({});
        {
            const std::lock_guard<std::mutex> lock(m_recordMutex);
            m_arrRecorded.clear();
        }
        const std::lock_guard<std::mutex> lock(m_rulesMutex);
        Publish(std::make_unique<CRules>());
    }

    int OpenAt(int nDirFd, const char* pszPath, int nFlags) override {
        SFileCall call{EFileOp::OpenAt};
        call.nDirFd = nDirFd;
        call.pszPath = pszPath;
        call.nFlags = nFlags;
        return static_cast<int>(Run(call));
    }
    int Fstat(int nFd, struct stat* pStat) override {
        SFileCall call{EFileOp::Fstat};
        call.nFd = nFd;
        call.pStat = pStat;
        return static_cast<int>(Run(call));
    }
    int FstatAt(int nDirFd, const char* pszPath, struct stat* pStat) override {
        SFileCall call{EFileOp::FstatAt};
        call.nDirFd = nDirFd;
        call.pszPath = pszPath;
        call.pStat = pStat;
        return static_cast<int>(Run(call));
    }
    ssize_t Pread(int nFd, void* pBuffer, std::size_t nCount, off_t nOffset) override {
        SFileCall call{EFileOp::Pread};
        call.nFd = nFd;
        call.pBuffer = pBuffer;
        call.nCount = nCount;
        call.nOffset = nOffset;
        return Run(call);
    }
    ssize_t Pwrite(int nFd, const void* pBuffer, std::size_t nCount, off_t nOffset) override {
        SFileCall call{EFileOp::Pwrite};
        call.nFd = nFd;
        call.pData = pBuffer;
        call.nCount = nCount;
        call.nOffset = nOffset;
        return Run(call);
    }
    int Ftruncate(int nFd, off_t nLength) override {
        SFileCall call{EFileOp::Ftruncate};
        call.nFd = nFd;
        call.nOffset = nLength;
        return static_cast<int>(Run(call));
    }
    int Futimens(int nFd, const struct timespec aTimes[2]) override {
        SFileCall call{EFileOp::Futimens};
        call.nFd = nFd;
        call.pTimes = aTimes;
        return static_cast<int>(Run(call));
    }
    int Close(int nFd) override { return OnDescriptor(EFileOp::Close, nFd); }
    int LockForWrite(int nFd) override { return OnDescriptor(EFileOp::LockForWrite, nFd); }
    int CreateAt(int nDirFd, const char* pszPath, mode_t nMode) override {
        SFileCall call{EFileOp::CreateAt};
        call.nDirFd = nDirFd;
        call.pszPath = pszPath;
        call.nMode = nMode;
        return static_cast<int>(Run(call));
    }
    int Fchown(int nFd, uid_t nOwner, gid_t nGroup) override {
        SFileCall call{EFileOp::Fchown};
        call.nFd = nFd;
        call.nOwner = nOwner;
        call.nGroup = nGroup;
        return static_cast<int>(Run(call));
    }
    int Fchmod(int nFd, mode_t nMode) override {
        SFileCall call{EFileOp::Fchmod};
        call.nFd = nFd;
        call.nMode = nMode;
        return static_cast<int>(Run(call));
    }
    int Fsync(int nFd) override { return OnDescriptor(EFileOp::Fsync, nFd); }
    int Rename(const char* pszFrom, const char* pszTo) override {
        return OnTwoPaths(EFileOp::Rename, pszFrom, pszTo);
    }
    int Unlink(const char* pszPath) override {
        SFileCall call{EFileOp::Unlink};
        call.pszPath = pszPath;
        return static_cast<int>(Run(call));
    }
    int RenameNoReplace(const char* pszFrom, const char* pszTo) override {
        return OnTwoPaths(EFileOp::RenameNoReplace, pszFrom, pszTo);
    }
    int Link(const char* pszFrom, const char* pszTo) override {
        return OnTwoPaths(EFileOp::Link, pszFrom, pszTo);
    }
    int Lstat(const char* pszPath, struct stat* pStat) override {
        SFileCall call{EFileOp::Lstat};
        call.pszPath = pszPath;
        call.pStat = pStat;
        return static_cast<int>(Run(call));
    }
    int OpenFolderAt(int nDirFd, const char* pszPath) override {
        SFileCall call{EFileOp::OpenFolderAt};
        call.nDirFd = nDirFd;
        call.pszPath = pszPath;
        return static_cast<int>(Run(call));
    }
    ssize_t ListFolder(int nFd, void* pBuffer, std::size_t nSize) override {
        SFileCall call{EFileOp::ListFolder};
        call.nFd = nFd;
        call.pBuffer = pBuffer;
        call.nCount = nSize;
        return Run(call);
    }

private:
    struct SRule {
        EFileOp eOp;
        FnAround fnAround;
    };
    using CRules = std::vector<SRule>;
    struct SDial {
        std::atomic<int> nDelayMs{0};
        std::atomic<bool> bOneAtATime{false};
        std::atomic<bool> bRecorded{false};
        std::atomic<std::size_t> nCalls{0};
    };

    static const CRules* EmptyRules() {
        static const CRules s_empty;
        return &s_empty;
    }
    static std::size_t Index(EFileOp eOp) { return static_cast<std::size_t>(eOp); }
    static std::uint32_t Bit(EFileOp eOp) { return std::uint32_t{1} << Index(eOp); }
    SDial& Dial(EFileOp eOp) { return m_aDials[Index(eOp)]; }

    int OnDescriptor(EFileOp eOp, int nFd) {
        SFileCall call{eOp};
        call.nFd = nFd;
        return static_cast<int>(Run(call));
    }
    int OnTwoPaths(EFileOp eOp, const char* pszFrom, const char* pszTo) {
        SFileCall call{eOp};
        call.pszPath = pszFrom;
        call.pszTo = pszTo;
        return static_cast<int>(Run(call));
    }

    // Earlier sets stay alive: a call may still go through the one it started with.
    void Publish(std::unique_ptr<CRules> pRules) {
        m_pRules.store(pRules.get(), std::memory_order_release);
        m_arrRuleSets.push_back(std::move(pRules));
    }

    ssize_t Run(SFileCall& call) {
        SDial& dial = Dial(call.eOp);
        call.nCall = dial.nCalls.fetch_add(1, std::memory_order_relaxed) + 1;
        if (dial.bRecorded) {
            Note(call);
        }
        if ((m_nStalledNow.load(std::memory_order_relaxed) & Bit(call.eOp)) != 0) {
            WaitWhileStalled(call.eOp);
        }
        if (const int nDelayMs = dial.nDelayMs; nDelayMs > 0) {
            std::unique_lock<std::mutex> turn(m_turnMutex, std::defer_lock);
            if (dial.bOneAtATime) {
                turn.lock();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(nDelayMs));
        }
        return Apply(call, *m_pRules.load(std::memory_order_acquire), 0);
    }

    ssize_t Apply(SFileCall& call, const CRules& arrRules, std::size_t nFrom) {
        for (std::size_t i = nFrom; i < arrRules.size(); ++i) {
            if (arrRules[i].eOp == call.eOp) {
                return arrRules[i].fnAround(call, [&, i] { return Apply(call, arrRules, i + 1); });
            }
        }
        return CallSystem(call);
    }

    ssize_t CallSystem(const SFileCall& c) {
        switch (c.eOp) {
        case EFileOp::OpenAt:
            return CFileOps::OpenAt(c.nDirFd, c.pszPath, c.nFlags);
        case EFileOp::Fstat:
            return CFileOps::Fstat(c.nFd, c.pStat);
        case EFileOp::FstatAt:
            return CFileOps::FstatAt(c.nDirFd, c.pszPath, c.pStat);
        case EFileOp::Pread:
            return CFileOps::Pread(c.nFd, c.pBuffer, c.nCount, c.nOffset);
        case EFileOp::Pwrite:
            return CFileOps::Pwrite(c.nFd, c.pData, c.nCount, c.nOffset);
        case EFileOp::Ftruncate:
            return CFileOps::Ftruncate(c.nFd, c.nOffset);
        case EFileOp::Futimens:
            return CFileOps::Futimens(c.nFd, c.pTimes);
        case EFileOp::Close:
            return CFileOps::Close(c.nFd);
        case EFileOp::LockForWrite:
            return CFileOps::LockForWrite(c.nFd);
        case EFileOp::CreateAt:
            return CFileOps::CreateAt(c.nDirFd, c.pszPath, c.nMode);
        case EFileOp::Fchown:
            return CFileOps::Fchown(c.nFd, c.nOwner, c.nGroup);
        case EFileOp::Fchmod:
            return CFileOps::Fchmod(c.nFd, c.nMode);
        case EFileOp::Fsync:
            return CFileOps::Fsync(c.nFd);
        case EFileOp::Rename:
            return CFileOps::Rename(c.pszPath, c.pszTo);
        case EFileOp::Unlink:
            return CFileOps::Unlink(c.pszPath);
        case EFileOp::RenameNoReplace:
            return CFileOps::RenameNoReplace(c.pszPath, c.pszTo);
        case EFileOp::Link:
            return CFileOps::Link(c.pszPath, c.pszTo);
        case EFileOp::Lstat:
            return CFileOps::Lstat(c.pszPath, c.pStat);
        case EFileOp::OpenFolderAt:
            return CFileOps::OpenFolderAt(c.nDirFd, c.pszPath);
        case EFileOp::ListFolder:
            return CFileOps::ListFolder(c.nFd, c.pBuffer, c.nCount);
        }
        errno = ENOSYS;
        return -1;
    }

    void WaitWhileStalled(EFileOp eOp) {
        std::unique_lock<std::mutex> lock(m_stallMutex);
        ++m_nWaiting;
        m_cvStall.wait(lock, [this, eOp] { return (m_nStalled & Bit(eOp)) == 0; });
        --m_nWaiting;
    }

    void Note(const SFileCall& call) {
        std::string strPath;
        if (call.pszPath != nullptr) {
            strPath = call.pszPath;
        } else {
            const std::string strLink = "/proc/self/fd/" + std::to_string(call.nFd);
            strPath.resize(4096);
            const ssize_t nLength = ::readlink(strLink.c_str(), strPath.data(), strPath.size());
            strPath.resize(nLength > 0 ? static_cast<std::size_t>(nLength) : 0);
        }
        const std::lock_guard<std::mutex> lock(m_recordMutex);
        m_arrRecorded.push_back(std::move(strPath));
    }

    std::array<SDial, FILE_OP_COUNT> m_aDials;
    mutable std::mutex m_stallMutex;
    std::condition_variable m_cvStall;
    std::uint32_t m_nStalled = 0;                // a bit per operation
    std::atomic<std::uint32_t> m_nStalledNow{0}; // the same, looked at without the lock
    int m_nWaiting = 0;
    std::mutex m_turnMutex;
    mutable std::mutex m_recordMutex;
    std::vector<std::string> m_arrRecorded;
    std::mutex m_rulesMutex; // for those who add rules
    std::vector<std::unique_ptr<const CRules>> m_arrRuleSets;
    std::atomic<const CRules*> m_pRules{EmptyRules()};
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
