// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/listingqueue.h"

#include <algorithm>
#include <utility>

class CListingQueue::CNode {
public:
    enum class EState { Queued, Listing, Done, Taken };

    // The folder's place in walk order: its index among its parent's sub-folders, after its
    // parent's key. Compared element by element, keys sort in pre-order.
    std::vector<std::uint32_t> arrKey;
    // The folders above it, itself included once listed: a folder found among them is a link
    // cycle and is not listed below.
    std::vector<std::pair<dev_t, ino_t>> arrAncestors;
    CSharedFd pParent; // until handed out; null for the root, opened by its path
    std::string strName;
    EState state = EState::Queued;
    bool bAhead = false;     // listed ahead of the walk, so counted in m_nAhead until taken
    bool bAbandoned = false; // the walk will not take it
    SListing listing;
};

bool CListingQueue::SKeyLess::operator()(const CNodePtr& a, const CNodePtr& b) const {
    return a->arrKey < b->arrKey;
}

CListingQueue::CListingQueue(std::size_t nMaxAhead)
    : m_nMaxAhead(std::max<std::size_t>(nMaxAhead, 1)) {
}

CListingQueue::CNodePtr CListingQueue::QueueRoot(std::string strPath) {
    auto pRoot = std::make_shared<CNode>();
    pRoot->strName = std::move(strPath);
    m_setQueued.insert(pRoot);
    return pRoot;
}

void CListingQueue::Queue(const CNodePtr& pParent, const CSharedFd& pFd, const std::string& strName,
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

void CListingQueue::QueueChildren(const CNodePtr& pParent, const CSharedFd& pFd,
                                  const std::vector<std::string>& arrFolders, std::size_t nFirst,
                                  std::vector<CNodePtr>& arrChildren) {
    arrChildren.resize(arrFolders.size());
    for (std::size_t i = nFirst; i < arrFolders.size(); ++i) {
        if (!arrChildren[i]) {
            Queue(pParent, pFd, arrFolders[i], i, arrChildren[i]);
        }
    }
}

bool CListingQueue::IsQueued(const CNodePtr& pNode) const {
    return pNode != nullptr && pNode->state == CNode::EState::Queued;
}

bool CListingQueue::IsListed(const CNodePtr& pNode) const {
    return pNode->state == CNode::EState::Done;
}

bool CListingQueue::HasFolderToList() const {
    return IsQueued(m_pWanted) || (!m_setQueued.empty() && m_nAhead < m_nMaxAhead);
}

// The folder the walk waits for goes first: it is not listed ahead, so it is listed even when as
// many listings wait ahead as may.
CListingQueue::STask CListingQueue::Next() {
    if (IsQueued(m_pWanted)) {
        return Begin(m_setQueued.find(m_pWanted), false);
    }
    return Begin(m_setQueued.begin(), true);
}

CListingQueue::STask CListingQueue::Begin(const CNodePtr& pNode) {
    return Begin(m_setQueued.find(pNode), false);
}

CListingQueue::STask CListingQueue::Begin(std::set<CNodePtr, SKeyLess>::iterator itNode,
                                          bool bAhead) {
    CNodePtr pNode = *itNode;
    m_setQueued.erase(itNode);
    pNode->state = CNode::EState::Listing;
    pNode->bAhead = bAhead;
    m_nAhead += bAhead ? 1 : 0;
    STask task{pNode, std::move(pNode->pParent), std::move(pNode->strName)};
    return task;
}

bool CListingQueue::Finish(const CNodePtr& pNode, SFolderListing&& listing, bool bQueueChildren) {
    if (pNode->bAbandoned) {
        // Its listing goes with it; the descriptor it held is no longer counted.
        m_nAhead -= pNode->bAhead ? 1 : 0;
        pNode->bAhead = false;
        pNode->state = CNode::EState::Taken;
        return false;
    }
    SListing& kept = pNode->listing;
    static_cast<SFolderListing&>(kept) = std::move(listing);
    pNode->state = CNode::EState::Done;
    if (!kept.pFd) {
        return false;
    }
    const std::pair<dev_t, ino_t> id(kept.nDevice, kept.nInode);
    const bool bCycle = std::find(pNode->arrAncestors.begin(), pNode->arrAncestors.end(), id) !=
                        pNode->arrAncestors.end();
    pNode->arrAncestors.push_back(id);
    if (bCycle || !bQueueChildren) {
        return false;
    }
    kept.arrChildren.resize(kept.arrFolders.size());
    for (std::size_t i = 0; i < kept.arrFolders.size(); ++i) {
        Queue(pNode, kept.pFd, kept.arrFolders[i], i, kept.arrChildren[i]);
    }
    return !kept.arrFolders.empty();
}

bool CListingQueue::Take(const CNodePtr& pNode, SListing& listing) {
    listing = std::move(pNode->listing);
    return MarkTaken(*pNode);
}

bool CListingQueue::MarkTaken(CNode& node) {
    node.listing = SListing();
    node.state = CNode::EState::Taken;
    if (!node.bAhead) {
        return false;
    }
    node.bAhead = false;
    --m_nAhead;
    return m_nAhead <= m_nMaxAhead / 2;
}

CListingQueue::CNodePtr CListingQueue::Unqueue(CNodePtr pNode) {
    if (IsQueued(pNode)) {
        m_setQueued.erase(pNode);
        return nullptr;
    }
    return pNode;
}

bool CListingQueue::Release(std::vector<CNodePtr>& arrChildren) {
    std::vector<CNodePtr> arrLeft;
    arrLeft.swap(arrChildren);
    bool bWake = false;
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
            bWake = MarkTaken(*pNode) || bWake;
        }
    }
    return bWake;
}
