// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/folderlisting.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

// The folders of a scan to be listed ahead of its walk, each as a node: queued, being listed,
// listed, taken by the walk. Folders are listed earliest in walk order first (pre-order, names
// sorted), and what is found below a folder is queued in turn. The walk takes each listing in its
// own order and decides alone what it enters. Listings done ahead hold a descriptor each; there
// are never more than nMaxAhead of them, beside the folder the walk waits for.
//
// No lock and no thread: its owner holds a lock for every call, and lists the folders Begin
// hands out without it.
class CListingQueue {
public:
    using CSharedFd = std::shared_ptr<const CFileDescriptor>;
    class CNode;
    using CNodePtr = std::shared_ptr<CNode>;

    struct SListing : SFolderListing {
        std::vector<CNodePtr> arrChildren; // the sub-folders' nodes, when queued already
    };

    // A folder handed out to be listed: where it lies, and the node its listing goes back to.
    struct STask {
        CNodePtr pNode;
        CSharedFd pParent; // null for the root, opened by its path
        std::string strName;
    };

    explicit CListingQueue(std::size_t nMaxAhead);

    // The scan's first folder, opened by its path.
    CNodePtr QueueRoot(std::string strPath);
    // Queues the sub-folders arrFolders[nFirst...] of the folder pParent, open as pFd, that have
    // no node in arrChildren yet.
    void QueueChildren(const CNodePtr& pParent, const CSharedFd& pFd,
                       const std::vector<std::string>& arrFolders, std::size_t nFirst,
                       std::vector<CNodePtr>& arrChildren);

    // The folder the walk waits for, which Next hands out before any other; null for none.
    void SetWanted(CNodePtr pNode) { m_pWanted = std::move(pNode); }
    bool IsWanted(const CNodePtr& pNode) const { return m_pWanted == pNode; }
    bool IsQueued(const CNodePtr& pNode) const;
    bool IsListed(const CNodePtr& pNode) const;

    // True when Next has a folder: the wanted one, or one ahead while listings ahead are fewer
    // than allowed.
    bool HasFolderToList() const;
    // Hands out the next folder to list.
    STask Next();
    // Hands out the folder pNode, which must be queued, to be listed by the walk itself.
    STask Begin(const CNodePtr& pNode);
    // Files a folder's listing; with bQueueChildren its sub-folders are queued, unless it closes
    // a link cycle. A folder the walk gave up is forgotten with its listing. True when folders
    // were queued.
    bool Finish(const CNodePtr& pNode, SFolderListing&& listing, bool bQueueChildren);
    // Moves a listed folder's listing out. True when a lister held back by the listings ahead
    // may go on: it is woken once half are taken, not at every folder, as a wake-up costs more
    // than listing a small folder.
    bool Take(const CNodePtr& pNode, SListing& listing);
    // A queued folder no one began is forgotten, so that it no longer keeps its parent open:
    // null then, otherwise the node.
    CNodePtr Unqueue(CNodePtr pNode);
    // Gives back what was listed below a folder the walk does not enter. True as for Take.
    bool Release(std::vector<CNodePtr>& arrChildren);
    // Forgets every queued folder: no one will list them.
    void Clear() { m_setQueued.clear(); }

private:
    struct SKeyLess {
        bool operator()(const CNodePtr& a, const CNodePtr& b) const;
    };

    void Queue(const CNodePtr& pParent, const CSharedFd& pFd, const std::string& strName,
               std::size_t nIndex, CNodePtr& pChild);
    STask Begin(std::set<CNodePtr, SKeyLess>::iterator itNode, bool bAhead);
    bool MarkTaken(CNode& node);

    const std::size_t m_nMaxAhead;
    std::set<CNodePtr, SKeyLess> m_setQueued;
    CNodePtr m_pWanted;       // the folder the walk waits for
    std::size_t m_nAhead = 0; // listed or being listed ahead of the walk and not taken yet
};
