// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "actions/tagwriterun.h"
#include "catalogue/filerenamer.h"
#include "catalogue/renameplan.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

// Renames files, or takes the history's last renames back, off the window's thread: a folder on
// a share may answer slowly however short each rename is. A record of the catalogue follows its
// file's new name as soon as the window takes the file's batch; records are found by path and
// by the file they were read from, so that a catalogue read again meanwhile is followed too.
class CRenameRun final : public CTagWriteRun {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CRenameRun)

public:
    // Renames the steps in order; each is one the plan lets go (ERenameVerdict::Rename).
    static std::unique_ptr<CRenameRun> StartRenames(STagRunContext context,
                                                    std::vector<SRenameStep> arrSteps);
    // Takes the history's last renames back, the last one done first; a history whose last step
    // is no rename gives a run of no file.
    static std::unique_ptr<CRenameRun> StartUndo(STagRunContext context);
    ~CRenameRun() override;

    // The files left with the name they had, with why, once finished.
    const std::vector<std::pair<SRenameStep, SRenameOutcome>>& GetFailures() const {
        return m_arrFailures;
    }

private:
    CRenameRun(STagRunContext context, std::vector<SRenameStep> arrSteps, bool bUndo);

    const SRenameStep& StepOf(std::size_t nFile) const;
    void ApplyDone(std::size_t nFrom, std::size_t nTo, bool bApply) override;
    void Finish(std::size_t nDone, bool bApply) override;
    void Report() override;

    bool m_bUndo;
    // Shared with the run's thread, which only reads the steps and fills one outcome per file.
    std::shared_ptr<const std::vector<SRenameStep>> m_pSteps;
    std::shared_ptr<std::vector<SRenameOutcome>> m_pOutcomes;
    std::vector<SRenameStep> m_arrDone;
    std::vector<std::pair<SRenameStep, SRenameOutcome>> m_arrFailures;
    std::size_t m_nCancelled = 0;
    bool m_bApplied = true;
};
