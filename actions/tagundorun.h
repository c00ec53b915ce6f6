// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "actions/tagundohistory.h"
#include "actions/tagwriterun.h"

#include <memory>
#include <vector>

// Takes the last edit of the history back off the window's thread, its files from the last
// written to the first. Each file put back shows in the catalogue as soon as the window takes its
// batch; the groups are made again once, at the end. The files the run did not reach (cancelled,
// or from an error on) stay in the history as its last edit, so that the user can try again.
class CTagUndoRun final : public CTagWriteRun {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTagUndoRun)

public:
    // Takes the last edit out of the context's history; a history without one gives a run of no
    // file.
    explicit CTagUndoRun(STagRunContext context);
    ~CTagUndoRun() override;

    // What the run did, once finished.
    const STagUndoRun& GetRun() const { return m_run; }

private:
    CTagUndoRun(STagRunContext context, std::vector<STagUndo> arrEdit);

    struct SFileUndo {
        std::optional<STagWriteResult> m_result;
        std::optional<CFileException> m_error;
    };

    void ApplyDone(std::size_t nFrom, std::size_t nTo, bool bApply) override;
    void Finish(std::size_t nDone, bool bApply) override;
    void Report() override;

    // Shared with the run's thread, which only reads the edit and fills one result per file:
    // the edit's files in the order written, the results in the order taken back.
    std::shared_ptr<std::vector<STagUndo>> m_pEdit;
    std::shared_ptr<std::vector<SFileUndo>> m_pResults;
    STagUndoRun m_run;
    std::size_t m_nCancelled = 0;
    bool m_bApplied = true;
};
