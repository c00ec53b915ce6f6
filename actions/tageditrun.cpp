// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/tageditrun.h"

#include "actions/mp3propertysheet.h"
#include "actions/tagundohistory.h"
#include "catalogue/hints.h"
#include "catalogue/tunebrdoc.h"

#include <utility>

CTagEditRun::CTagEditRun(STagRunContext context, const std::vector<CTrackInfo*>& arrSelected,
                         std::function<STagChanges(const CTrackInfo&)> changesFor,
                         std::function<void()> reportMore)
    : CTagWriteRun(std::move(context), arrSelected.size()), m_arrLive(arrSelected),
      m_pCopies(std::make_shared<std::vector<CTrackInfo>>()),
      m_pResults(std::make_shared<std::vector<STagFileWrite>>(arrSelected.size())),
      m_reportMore(std::move(reportMore)) {
    m_pCopies->reserve(arrSelected.size());
    for (const CTrackInfo* pTrack : arrSelected) {
        m_pCopies->push_back(*pTrack);
    }
    Start([pCopies = std::shared_ptr<const std::vector<CTrackInfo>>(m_pCopies),
           pResults = m_pResults, changesFor = std::move(changesFor),
           writer = Context().writer](std::size_t nFile) {
        STagFileWrite& write = (*pResults)[nFile];
        write = WriteOneFile((*pCopies)[nFile], changesFor, writer);
        return !write.m_error;
    });
}

CTagEditRun::~CTagEditRun() = default;

void CTagEditRun::ApplyDone(std::size_t nFrom, std::size_t nTo, bool bApply) {
    m_bApplied = m_bApplied && bApply;
    if (bApply) {
        // Views that read records on other threads let go of them first.
        Context().doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGING);
    }
    CTrackList arrChanged;
    for (std::size_t nFile = nFrom; nFile < nTo; ++nFile) {
        STagFileWrite& write = (*m_pResults)[nFile];
        CTrackInfo* pCopy = &(*m_pCopies)[nFile];
        if (write.m_error) {
            m_outcome.m_error = std::move(write.m_error);
            for (std::size_t nAfter = nFile + 1; nAfter < GetFileCount(); ++nAfter) {
                m_outcome.m_arrNotTried.push_back(&(*m_pCopies)[nAfter]);
            }
            continue;
        }
        if (!write.m_result) {
            continue;
        }
        AddToOutcome(m_outcome, pCopy, write);
        const EWriteStatus eStatus = write.m_result->m_eStatus;
        if (bApply && (eStatus == EWriteStatus::Written || eStatus == EWriteStatus::Unchanged)) {
            *m_arrLive[nFile] = std::move(*write.m_after);
            arrChanged.push_back(m_arrLive[nFile]);
        }
        write = STagFileWrite(); // taken: the copy of the record and the undo are not kept twice
    }
    if (bApply) {
        Context().doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGED, &arrChanged);
    }
}

void CTagEditRun::Finish(std::size_t nDone, bool bApply) {
    if (!m_outcome.m_error) {
        for (std::size_t nFile = nDone; nFile < GetFileCount(); ++nFile) {
            m_outcome.m_arrCancelled.push_back(&(*m_pCopies)[nFile]);
        }
    }
    // What reached the files can be taken back, however the run ended.
    Context().history.Push(m_outcome.m_arrUndo);
    if (!bApply || !m_bApplied) {
        return; // the catalogue was read anew: it shows the files as they are
    }
    if (NeedsIndexRebuild(m_outcome, Context().bByGenre)) {
        Context().doc.RebuildIndex();
    } else if (Context().refreshList) {
        Context().refreshList();
    }
}

void CTagEditRun::Report() {
    ReportTagWrites(Context().pParent, Context().messages, m_outcome);
    if (m_reportMore) {
        m_reportMore();
    }
}
