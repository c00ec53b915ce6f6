// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/renamerun.h"

#include "actions/tagundohistory.h"
#include "catalogue/hints.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "platform/folders.h"
#include "platform/messagesink.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <QStringList>

#include <cstring>
#include <map>

namespace {

// The records of the files renamed, by the path they had: a record stands for the file only
// while it was read from it.
CTrackList FollowRenames(CTunebrDoc& doc, const std::vector<const SRenameStep*>& arrRenamed,
                         bool bUndo) {
    std::map<std::string, const SRenameStep*> mapByPath;
    for (const SRenameStep* pStep : arrRenamed) {
        mapByPath[bUndo ? pStep->NewPath() : pStep->OldPath()] = pStep;
    }
    CTrackList arrChanged;
    for (CTrackInfo* pTrack : *doc.GetTracks()) {
        const auto it = mapByPath.find(pTrack->GetFullPath());
        if (it == mapByPath.end()) {
            continue;
        }
        const SRenameStep& step = *it->second;
        const SFileIdentity identity = pTrack->GetIdentity();
        if (identity.m_nDevice == SFileIdentity::DeviceOf(step.m_nDevice) &&
            identity.m_nInode == step.m_nInode) {
            pTrack->SetFileName(bUndo ? step.m_strOldName : step.m_strNewName);
            arrChanged.push_back(pTrack);
        }
    }
    return arrChanged;
}

QString WhyNotRenamed(const SRenameOutcome& outcome) {
    switch (outcome.m_eResult) {
    case ERenameResult::Exists:
        return CRenameRun::tr("a file of that name exists");
    case ERenameResult::Changed:
        return CRenameRun::tr("it was moved or replaced since");
    case ERenameResult::Failed:
        return QString::fromLocal8Bit(std::strerror(outcome.m_nErrno));
    case ERenameResult::Renamed:
        break;
    }
    return QString();
}

} // namespace

std::unique_ptr<CRenameRun> CRenameRun::StartRenames(STagRunContext context,
                                                     std::vector<SRenameStep> arrSteps) {
    if (arrSteps.empty()) {
        return nullptr;
    }
    return std::unique_ptr<CRenameRun>(
        new CRenameRun(std::move(context), std::move(arrSteps), false));
}

std::unique_ptr<CRenameRun> CRenameRun::StartUndo(STagRunContext context) {
    std::vector<SRenameStep> arrSteps = context.history.TakeLastRenames();
    return std::unique_ptr<CRenameRun>(
        new CRenameRun(std::move(context), std::move(arrSteps), true));
}

CRenameRun::CRenameRun(STagRunContext context, std::vector<SRenameStep> arrSteps, bool bUndo)
    : CTagWriteRun(std::move(context), arrSteps.size()), m_bUndo(bUndo),
      m_pSteps(std::make_shared<const std::vector<SRenameStep>>(std::move(arrSteps))),
      m_pOutcomes(std::make_shared<std::vector<SRenameOutcome>>(m_pSteps->size())) {
    Start([pSteps = m_pSteps, pOutcomes = m_pOutcomes, bUndo,
           renamer = CFileRenamer(Context().writer.GetOps())](std::size_t nFile) {
        const SRenameStep& step = (*pSteps)[bUndo ? pSteps->size() - 1 - nFile : nFile];
        (*pOutcomes)[nFile] = bUndo ? renamer.Undo(step) : renamer.Rename(step);
        return true; // each rename stands alone: one refused says nothing of the next
    });
}

CRenameRun::~CRenameRun() = default;

const SRenameStep& CRenameRun::StepOf(std::size_t nFile) const {
    return (*m_pSteps)[m_bUndo ? m_pSteps->size() - 1 - nFile : nFile];
}

void CRenameRun::ApplyDone(std::size_t nFrom, std::size_t nTo, bool bApply) {
    m_bApplied = m_bApplied && bApply;
    std::vector<const SRenameStep*> arrRenamed;
    for (std::size_t nFile = nFrom; nFile < nTo; ++nFile) {
        const SRenameOutcome& outcome = (*m_pOutcomes)[nFile];
        if (outcome.m_eResult == ERenameResult::Renamed) {
            arrRenamed.push_back(&StepOf(nFile));
            m_arrDone.push_back(StepOf(nFile));
        } else {
            m_arrFailures.emplace_back(StepOf(nFile), outcome);
        }
    }
    if (bApply && !arrRenamed.empty()) {
        // Views that read records on other threads let go of them first.
        Context().doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGING);
        CTrackList arrChanged = FollowRenames(Context().doc, arrRenamed, m_bUndo);
        Context().doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGED, &arrChanged);
    }
}

void CRenameRun::Finish(std::size_t nDone, bool bApply) {
    m_nCancelled = GetFileCount() - nDone;
    if (m_bUndo) {
        // The renames not reached, the first ones done, stay the last step to take back.
        std::vector<SRenameStep> arrLeft(m_pSteps->begin(), m_pSteps->begin() + m_nCancelled);
        Context().history.PushRenames(std::move(arrLeft));
    } else {
        Context().history.PushRenames(m_arrDone);
    }
    // The list's order may follow the names.
    if (bApply && m_bApplied && Context().refreshList) {
        Context().refreshList();
    }
}

void CRenameRun::Report() {
    if (!m_arrFailures.empty()) {
        QStringList arrLines;
        for (const auto& [step, outcome] : m_arrFailures) {
            arrLines.push_back(tr("%1: %2").arg(
                DisplayPath(m_bUndo ? step.NewPath() : step.OldPath()), WhyNotRenamed(outcome)));
        }
        const QString strHead = m_bUndo ? tr("These files were left with the name they have now:")
                                        : tr("These files were not renamed:");
        Context().messages.Show(Context().pParent,
                                strHead + QLatin1Char('\n') + arrLines.join(QLatin1Char('\n')));
    }
    if (m_nCancelled > 0) {
        const QString strCount = ToQString(FormatCount(m_nCancelled));
        Context().messages.Show(
            Context().pParent,
            m_bUndo
                ? tr("The undo was stopped before %1 file(s): Undo takes them back.").arg(strCount)
                : tr("The renames were stopped before %1 file(s), which keep their names.")
                      .arg(strCount));
    }
}
