// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/tagundorun.h"

#include "actions/mp3propertysheet.h"
#include "catalogue/hints.h"
#include "catalogue/tunebrdoc.h"

#include <iterator>
#include <utility>

CTagUndoRun::CTagUndoRun(STagRunContext context)
    : CTagUndoRun(context, context.history.TakeLast()) {
}

CTagUndoRun::CTagUndoRun(STagRunContext context, std::vector<STagUndo> arrEdit)
    : CTagWriteRun(std::move(context), arrEdit.size()),
      m_pEdit(std::make_shared<std::vector<STagUndo>>(std::move(arrEdit))),
      m_pResults(std::make_shared<std::vector<SFileUndo>>(m_pEdit->size())) {
    Start([pEdit = std::shared_ptr<const std::vector<STagUndo>>(m_pEdit), pResults = m_pResults,
           writer = Context().writer](std::size_t nFile) {
        SFileUndo& undo = (*pResults)[nFile];
        try {
            undo.m_result = writer.Undo((*pEdit)[pEdit->size() - 1 - nFile]);
        } catch (const CFileException& e) {
            undo.m_error = e;
        }
        return !undo.m_error;
    });
}

CTagUndoRun::~CTagUndoRun() = default;

void CTagUndoRun::ApplyDone(std::size_t nFrom, std::size_t nTo, bool bApply) {
    m_bApplied = m_bApplied && bApply;
    STagUndoRun batch;
    for (std::size_t nFile = nFrom; nFile < nTo; ++nFile) {
        const SFileUndo& undo = (*m_pResults)[nFile];
        const std::string& strPath = (*m_pEdit)[m_pEdit->size() - 1 - nFile].m_strPath;
        if (undo.m_error) {
            m_run.m_error = undo.m_error;
        } else if (undo.m_result->m_eStatus == EWriteStatus::Written) {
            batch.m_arrRestored.emplace_back(strPath, undo.m_result->m_block);
        } else {
            m_run.m_arrSkipped.push_back(strPath);
        }
    }
    if (bApply) {
        // Views that read records on other threads let go of them first.
        Context().doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGING);
        CTrackList arrChanged = RefreshRestoredTracks(Context().doc, batch);
        Context().doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGED, &arrChanged);
    }
    std::move(batch.m_arrRestored.begin(), batch.m_arrRestored.end(),
              std::back_inserter(m_run.m_arrRestored));
}

void CTagUndoRun::Finish(std::size_t nDone, bool bApply) {
    // The files not put back stay the last edit, the one that failed among them.
    std::size_t nLeft = m_pEdit->size() - nDone + (m_run.m_error ? 1 : 0);
    m_nCancelled = m_run.m_error ? 0 : m_pEdit->size() - nDone;
    m_pEdit->resize(nLeft);
    Context().history.Push(std::move(*m_pEdit));
    // An undo may give back any artist and genre: the groups are made again.
    if (bApply && m_bApplied) {
        Context().doc.RebuildIndex();
    }
}

void CTagUndoRun::Report() {
    ReportTagUndo(Context().pParent, Context().messages, m_run, m_nCancelled);
}
