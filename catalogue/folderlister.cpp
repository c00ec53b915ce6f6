// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/folderlister.h"

#include "catalogue/backgroundthread.h"
#include "catalogue/posixio.h"
#include "catalogue/waitgauge.h"
#include "catalogue/wildcard.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <utility>

class CFolderLister::CNode {
public:
    enum class EState { Queued, Listing, Done, Taken };

    // The folder's place in walk order: its index among its parent's sub-folders, after its
    // parent's key. Compared element by element, keys sort in pre-order.
    std::vector<std::uint32_t> arrKey;
    // The folders above it, itself included once listed: a folder found among them is a link
    // cycle and is not listed below.
    std::vector<std::pair<dev_t, ino_t>> arrAncestors;
    CSharedFd pParent; // until opened; null for the root, opened by its path
    std::string strName;
    EState state = EState::Queued;
    bool bAhead = false;     // listed by a lister, so counted in m_nAhead until taken
    bool bAbandoned = false; // the walk will not take it
    SListing listing;
};

bool CFolderLister::SKeyLess::operator()(const CNodePtr& a, const CNodePtr& b) const {
    return a->arrKey < b->arrKey;
}

CFolderLister::CFolderLister(CFileOps& ops, std::string strPattern, std::size_t nMaxListers,
                             std::size_t nMaxAhead, CThreadStarter& starter)
    : m_ops(ops), m_starter(starter), m_strPattern(std::move(strPattern)),
      m_nMaxListers(nMaxListers), m_nMaxAhead(std::max<std::size_t>(nMaxAhead, 1)) {
    m_arrListers.reserve(nMaxListers);
}

CFolderLister::~CFolderLister() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
        m_setQueued.clear();
    }
    m_cvWork.notify_all();
    m_cvParked.notify_all();
    for (std::thread& lister : m_arrListers) {
        lister.join();
    }
}

CFolderLister::CNodePtr CFolderLister::QueueRoot(std::string strPath) {
    auto pRoot = std::make_shared<CNode>();
    pRoot->strName = std::move(strPath);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_setQueued.insert(pRoot);
    Grow(); // the first lister
    m_cvWork.notify_one();
    return pRoot;
}

// Called with the lock held.
void CFolderLister::Queue(const CNodePtr& pParent, const CSharedFd& pFd, const std::string& strName,
                          std::size_t nIndex, CNodePtr& pChild) {
    pChild = std::make_shared<CNode>();
    pChild->arrKey.reserve(pParent->arrKey.size() + 1);
    pChild->arrKey = pParent->arrKey;
    pChild->arrKey.push_back(static_cast<std::uint32_t>(nIndex));
    pChild->arrAncestors = pParent->arrAncestors;
    pChild->pParent = pFd;
    pChild->strName = strName;
    m_setQueued.insert(pChild);
}

void CFolderLister::QueueChildren(const CNodePtr& pParent, const CSharedFd& pFd,
                                  const std::vector<std::string>& arrFolders, std::size_t nFirst,
                                  std::vector<CNodePtr>& arrChildren) {
    arrChildren.resize(arrFolders.size());
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (std::size_t i = nFirst; i < arrFolders.size(); ++i) {
        if (!arrChildren[i]) {
            Queue(pParent, pFd, arrFolders[i], i, arrChildren[i]);
        }
    }
    m_cvWork.notify_all();
}

// The entries sorted by name, byte for byte, so that a catalogue does not depend on the order a
// file system happens to list in. Read with getdents64 on the folder's own descriptor: no second
// descriptor, no extra system calls per folder.
void CFolderLister::List(CNode& node, std::vector<std::uint64_t>& arrBuffer) const {
    SListing& listing = node.listing;
    const int nAt = node.pParent ? node.pParent->Get() : AT_FDCWD;
    auto pFd = std::make_shared<const CFileDescriptor>(
        OpenWaitingForDescriptor([&] { return m_ops.OpenFolderAt(nAt, node.strName.c_str()); }));
    node.pParent.reset();
    struct stat st;
    if (!pFd->IsValid() || ::fstat(pFd->Get(), &st) != 0) {
        listing.nError = errno;
        return;
    }
    listing.pFd = std::move(pFd);
    listing.nDevice = st.st_dev;
    listing.nInode = st.st_ino;
    const int nFd = listing.pFd->Get();
    std::vector<SEntry> arrEntries;
    for (;;) {
        const ssize_t nBytes =
            m_ops.ListFolder(nFd, arrBuffer.data(), arrBuffer.size() * sizeof(arrBuffer[0]));
        if (nBytes <= 0) {
            break;
        }
        const char* pBytes = reinterpret_cast<const char*>(arrBuffer.data());
        for (ssize_t nPos = 0; nPos < nBytes;) {
            const auto* pEntry = reinterpret_cast<const struct dirent64*>(pBytes + nPos);
            const std::string_view strName(pEntry->d_name);
            if (strName != "." && strName != "..") {
                arrEntries.push_back({std::string(strName), pEntry->d_type});
            }
            nPos += pEntry->d_reclen;
        }
    }
    std::sort(arrEntries.begin(), arrEntries.end(),
              [](const SEntry& a, const SEntry& b) { return a.strName < b.strName; });
    for (const SEntry& entry : arrEntries) {
        // Links count as what they point to. A folder named like its parent is entered as any
        // other (a self-titled album): cycles are caught by device and inode, not by name.
        bool bFolder = entry.nType == DT_DIR;
        if (entry.nType == DT_LNK || entry.nType == DT_UNKNOWN) {
            bFolder = ::fstatat(nFd, entry.strName.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (bFolder) {
            listing.arrFolders.push_back(entry.strName);
        }
    }
    for (SEntry& entry : arrEntries) {
        if (MatchWildcard(m_strPattern, entry.strName)) {
            listing.arrFiles.push_back(std::move(entry));
        }
    }
}

// Queues what was found below a folder, unless the folder closes a link cycle; called with the
// lock held.
void CFolderLister::Finish(const CNodePtr& pNode) {
    SListing& listing = pNode->listing;
    pNode->state = CNode::EState::Done;
    if (!listing.pFd || pNode->bAbandoned) {
        return;
    }
    const std::pair<dev_t, ino_t> id(listing.nDevice, listing.nInode);
    const bool bCycle = std::find(pNode->arrAncestors.begin(), pNode->arrAncestors.end(), id) !=
                        pNode->arrAncestors.end();
    pNode->arrAncestors.push_back(id);
    if (bCycle || m_nActive == 0) {
        return;
    }
    listing.arrChildren.resize(listing.arrFolders.size());
    for (std::size_t i = 0; i < listing.arrFolders.size(); ++i) {
        Queue(pNode, listing.pFd, listing.arrFolders[i], i, listing.arrChildren[i]);
    }
    if (!listing.arrFolders.empty()) {
        m_cvWork.notify_all();
    }
}

// Lists a folder without holding the lock, so that the walk and the other listers go on, and adds
// listers when the listing had to wait.
CWaitGauge::EVerdict CFolderLister::ListUnlocked(CNode& node, std::vector<std::uint64_t>& arrBuffer,
                                                 CWaitGauge& gauge,
                                                 std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    gauge.Begin();
    List(node, arrBuffer);
    const CWaitGauge::EVerdict verdict = gauge.End();
    lock.lock();
    if (gauge.KeepsWaiting(verdict)) {
        Grow();
    }
    return verdict;
}

bool CFolderLister::Take(const CNodePtr& pNode, SListing& listing,
                         std::chrono::milliseconds tWait) {
    std::unique_lock<std::mutex> lock(m_mutex);
    // Without a lister, no one else would ever list it.
    if (pNode->state == CNode::EState::Queued && m_arrListers.empty()) {
        m_setQueued.erase(pNode);
        pNode->state = CNode::EState::Listing;
        List(*pNode, m_arrBuffer);
        Finish(pNode);
    }
    if (pNode->state != CNode::EState::Done) {
        m_pWanted = pNode;
        m_cvWork.notify_all(); // a lister held back by the listings ahead may take it
        m_cvDone.wait_for(lock, tWait, [&pNode] { return pNode->state == CNode::EState::Done; });
        m_pWanted = nullptr;
        if (pNode->state != CNode::EState::Done) {
            return false;
        }
    }
    listing = std::move(pNode->listing);
    MarkTaken(*pNode);
    return true;
}

// Called with the lock held. A folder listed ahead of the walk no longer counts against the
// listings kept in advance. A lister held back by them is woken once half are taken, not at
// every folder: a wake-up costs more than listing a small folder.
void CFolderLister::MarkTaken(CNode& node) {
    node.listing = SListing();
    node.state = CNode::EState::Taken;
    if (node.bAhead) {
        node.bAhead = false;
        --m_nAhead;
        if (m_nAhead <= m_nMaxAhead / 2) {
            m_cvWork.notify_one();
        }
    }
}

CFolderLister::CNodePtr CFolderLister::Unqueue(CNodePtr pNode) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (pNode && pNode->state == CNode::EState::Queued) {
        m_setQueued.erase(pNode);
        return nullptr;
    }
    return pNode;
}

void CFolderLister::Release(std::vector<CNodePtr>& arrChildren) {
    std::vector<CNodePtr> arrLeft;
    arrLeft.swap(arrChildren);
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!arrLeft.empty()) {
        const CNodePtr pNode = std::move(arrLeft.back());
        arrLeft.pop_back();
        if (!pNode) {
            continue;
        }
        pNode->bAbandoned = true;
        if (pNode->state == CNode::EState::Queued) {
            m_setQueued.erase(pNode);
        } else if (pNode->state == CNode::EState::Done) {
            for (CNodePtr& pChild : pNode->listing.arrChildren) {
                arrLeft.push_back(std::move(pChild));
            }
            MarkTaken(*pNode);
        }
    }
}

std::size_t CFolderLister::GetMostListers() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_arrListers.size();
}

// Called with the lock held.
bool CFolderLister::IsWantedQueued() const {
    return m_pWanted != nullptr && m_pWanted->state == CNode::EState::Queued;
}

// Called with the lock held.
bool CFolderLister::HasFolderToList() const {
    return IsWantedQueued() || (!m_setQueued.empty() && m_nAhead < m_nMaxAhead);
}

// Called with the lock held. The listers there are go on alone when no more can be started.
void CFolderLister::Grow() {
    if (m_bStopping || m_nActive >= m_nMaxListers) {
        return;
    }
    m_nActive = std::min(m_nMaxListers, std::max<std::size_t>(m_nActive * 2, 1));
    while (m_arrListers.size() < m_nActive) {
        const std::size_t nIndex = m_arrListers.size();
        std::thread lister = m_starter.Start([this, nIndex] { RunLister(nIndex); });
        if (!lister.joinable()) {
            m_nActive = m_arrListers.size();
            break;
        }
        m_arrListers.push_back(std::move(lister)); // reserved: never throws
    }
    m_cvParked.notify_all();
}

void CFolderLister::RunLister(std::size_t nIndex) {
    LowerThisThreadPriority();
    std::vector<std::uint64_t> arrBuffer(4096);
    CWaitGauge gauge;
    std::size_t nQuickInARow = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        while (!m_bStopping && (nIndex >= m_nActive || !HasFolderToList())) {
            (nIndex >= m_nActive ? m_cvParked : m_cvWork).wait(lock);
        }
        if (m_bStopping) {
            return;
        }
        // The folder the walk waits for goes first: it is not listed ahead, so it is listed
        // even when as many listings wait ahead as may.
        const bool bWanted = IsWantedQueued();
        const auto itNode = bWanted ? m_setQueued.find(m_pWanted) : m_setQueued.begin();
        const CNodePtr pNode = *itNode;
        m_setQueued.erase(itNode);
        pNode->state = CNode::EState::Listing;
        pNode->bAhead = !bWanted;
        m_nAhead += bWanted ? 0 : 1;
        const CWaitGauge::EVerdict verdict = ListUnlocked(*pNode, arrBuffer, gauge, lock);
        nQuickInARow = verdict == CWaitGauge::EVerdict::Quick ? nQuickInARow + 1 : 0;
        if (nQuickInARow >= QUICK_TO_SHRINK && m_nActive > 1) {
            // Quick folders need no second lister.
            --m_nActive;
            nQuickInARow = 0;
        }
        if (pNode->bAbandoned) {
            // Its listing goes with the node; the descriptor it holds is no longer counted.
            m_nAhead -= pNode->bAhead ? 1 : 0;
            pNode->bAhead = false;
            pNode->listing = SListing();
            pNode->state = CNode::EState::Taken;
            continue;
        }
        Finish(pNode);
        if (m_pWanted == pNode) {
            m_cvDone.notify_one();
        }
    }
}
