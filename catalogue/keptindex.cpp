// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/keptindex.h"

#include "catalogue/mutexlock.h"
#include "catalogue/threadstarter.h"
#include "catalogue/trackinfo.h"

#include <algorithm>

CKeptIndex::CKeptIndex(std::int64_t nTrustedBefore) : m_nTrustedBefore(nTrustedBefore) {
}

CKeptIndex::CKeptIndex(const CTrackList& arrRecords, std::int64_t nTrustedBefore)
    : m_nTrustedBefore(nTrustedBefore) {
    Reserve(arrRecords.size());
    for (const CTrackInfo* pTrack : arrRecords) {
        Add(pTrack->GetLocation(), pTrack->GetFileName(),
            {pTrack->GetIdentity(), pTrack->GetStamp()}, pTrack->WasRead());
    }
    EndFilling();
}

CKeptIndex::~CKeptIndex() {
    if (m_filler.joinable()) {
        m_filler.join();
    }
}

std::shared_ptr<const CKeptIndex> CKeptIndex::FillAside(std::int64_t nTrustedBefore,
                                                        std::function<void(CKeptIndex&)> fnFill,
                                                        CThreadStarter& starter) {
    // Not made through make_shared: the constructor is private.
    std::shared_ptr<CKeptIndex> pIndex(new CKeptIndex(nTrustedBefore));
    pIndex->m_bFilled = false;
    // The thread is joined by the index's destructor, so it holds the index by a plain pointer.
    CKeptIndex* pFilled = pIndex.get();
    const auto fnRun = [pFilled, fnFill = std::move(fnFill)] {
        fnFill(*pFilled);
        pFilled->EndFilling();
    };
    pIndex->m_filler = starter.Start(fnRun);
    if (!pIndex->m_filler.joinable()) {
        fnRun();
    }
    return pIndex;
}

void CKeptIndex::Reserve(std::size_t nRecords) {
    m_arrFiles.reserve(nRecords);
    m_arrTrusted.reserve(nRecords);
    m_arrNameEnds.reserve(nRecords);
}

void CKeptIndex::Add(std::string_view strLocation, std::string_view strName, const SKnownFile& file,
                     bool bRead) {
    const std::size_t nIndex = m_arrFiles.size();
    if (nIndex == 0 || m_folder.first != strLocation) {
        if (nIndex > 0) {
            m_mapFolders[m_folder.first] = {m_folder.second, nIndex};
        }
        m_folder = {std::string(strLocation), nIndex};
    }
    m_arrFiles.push_back(file);
    // A file never read (unreadable, too short, not a file) is looked at again: a fresh scan
    // would try it, and count it when it still cannot be opened.
    m_arrTrusted.push_back(bRead && file.m_stamp.m_nChanged < m_nTrustedBefore);
    m_strNames += strName;
    m_arrNameEnds.push_back(m_strNames.size());
}

void CKeptIndex::EndFilling() {
    if (!m_arrFiles.empty()) {
        m_mapFolders[m_folder.first] = {m_folder.second, m_arrFiles.size()};
    }
    m_folder = {};
    {
        const CMutexLock lock(m_mutex);
        m_bFilled = true;
    }
    m_cvFilled.notify_all();
}

void CKeptIndex::WaitFilled() const {
    if (m_bFilled) {
        return;
    }
    CMutexLock lock(m_mutex);
    while (!m_bFilled) {
        lock.Wait(m_cvFilled);
    }
}

std::size_t CKeptIndex::GetCount() const {
    WaitFilled();
    return m_arrFiles.size();
}

std::string_view CKeptIndex::NameAt(std::size_t nIndex) const {
    const std::size_t nBegin = nIndex == 0 ? 0 : m_arrNameEnds[nIndex - 1];
    return std::string_view(m_strNames).substr(nBegin, m_arrNameEnds[nIndex] - nBegin);
}

const SKnownFile* CKeptIndex::Find(const std::string& strLocation, std::string_view strName) const {
    WaitFilled();
    const auto it = m_mapFolders.find(strLocation);
    if (it == m_mapFolders.end()) {
        return nullptr;
    }
    // Names in a folder are sorted byte for byte, as std::string_view compares them.
    std::size_t nLow = it->second.first;
    std::size_t nHigh = it->second.second;
    while (nLow < nHigh) {
        const std::size_t nMiddle = nLow + (nHigh - nLow) / 2;
        if (NameAt(nMiddle) < strName) {
            nLow = nMiddle + 1;
        } else {
            nHigh = nMiddle;
        }
    }
    if (nLow == it->second.second || NameAt(nLow) != strName || !m_arrTrusted[nLow]) {
        return nullptr;
    }
    return &m_arrFiles[nLow];
}
