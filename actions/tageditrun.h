// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "actions/tagedit.h"
#include "actions/tagwriterun.h"

#include <functional>
#include <memory>
#include <vector>

// An edit's writes to the selected files, in selection order, off the window's thread. Each
// record shows its file as written as soon as the window takes the file's batch; at the end the
// history gets what was written, cancelled or not, the groups are made again once when the edit
// moved tracks between them, and the user hears of every file left as it was.
class CTagEditRun final : public CTagWriteRun {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTagEditRun)

public:
    // changesFor runs on the run's thread, on a copy of each record taken now: it must not reach
    // the catalogue, and reads files only through the writer's operations.
    // reportMore, when given, tells what else the run found, after its own report.
    CTagEditRun(STagRunContext context, const std::vector<CTrackInfo*>& arrSelected,
                std::function<STagChanges(const CTrackInfo&)> changesFor,
                std::function<void()> reportMore = {});
    ~CTagEditRun() override;

    // What the run did, once finished; its records are the copies the run was given.
    const STagWriteOutcome& GetOutcome() const { return m_outcome; }

private:
    void ApplyDone(std::size_t nFrom, std::size_t nTo, bool bApply) override;
    void Finish(std::size_t nDone, bool bApply) override;
    void Report() override;

    std::vector<CTrackInfo*> m_arrLive; // the catalogue's records, valid while it keeps them
    // Shared with the run's thread, which only reads the copies and fills one result per file.
    std::shared_ptr<std::vector<CTrackInfo>> m_pCopies;
    std::shared_ptr<std::vector<STagFileWrite>> m_pResults;
    STagWriteOutcome m_outcome;
    std::function<void()> m_reportMore;
    bool m_bApplied = true; // every batch went to the catalogue's records
};
