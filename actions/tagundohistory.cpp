// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/tagundohistory.h"

#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"

#include <string_view>
#include <unordered_map>

void CTagUndoHistory::Push(std::vector<STagUndo> arrEdit) {
    if (!arrEdit.empty()) {
        PushEdit({std::move(arrEdit), {}});
    }
}

void CTagUndoHistory::PushRenames(std::vector<SRenameStep> arrRenames) {
    if (!arrRenames.empty()) {
        PushEdit({{}, std::move(arrRenames)});
    }
}

void CTagUndoHistory::PushEdit(SEdit edit) {
    m_edits.push_back(std::move(edit));
    while (m_edits.size() > MAX_EDITS) {
        m_edits.pop_front();
    }
}

std::size_t CTagUndoHistory::LastEditFileCount() const {
    if (m_edits.empty()) {
        return 0;
    }
    return m_edits.back().m_arrTags.size() + m_edits.back().m_arrRenames.size();
}

STagUndoRun CTagUndoHistory::UndoLast(const CTagWriter& writer) {
    STagUndoRun run;
    if (m_edits.empty() || IsLastRename()) {
        return run;
    }
    std::vector<STagUndo>& arrEdit = m_edits.back().m_arrTags;
    while (!arrEdit.empty()) {
        const STagUndo& undo = arrEdit.back();
        try {
            STagWriteResult result = writer.Undo(undo);
            if (result.m_eStatus == EWriteStatus::Written) {
                run.m_arrRestored.emplace_back(undo.m_strPath, result.m_block);
            } else {
                run.m_arrSkipped.push_back(undo.m_strPath);
            }
        } catch (const CFileException& e) {
            run.m_error = e;
            return run;
        }
        arrEdit.pop_back();
    }
    m_edits.pop_back();
    return run;
}

std::vector<STagUndo> CTagUndoHistory::TakeLast() {
    if (m_edits.empty() || IsLastRename()) {
        return {};
    }
    std::vector<STagUndo> arrEdit = std::move(m_edits.back().m_arrTags);
    m_edits.pop_back();
    return arrEdit;
}

std::vector<SRenameStep> CTagUndoHistory::TakeLastRenames() {
    if (!IsLastRename()) {
        return {};
    }
    std::vector<SRenameStep> arrRenames = std::move(m_edits.back().m_arrRenames);
    m_edits.pop_back();
    return arrRenames;
}

std::vector<CTrackInfo*> RefreshRestoredTracks(CTunebrDoc& doc, const STagUndoRun& run) {
    std::vector<CTrackInfo*> arrRefreshed;
    if (run.m_arrRestored.empty()) {
        return arrRefreshed;
    }
    std::unordered_map<std::string_view, const CTagBlock*> mapBlocks;
    for (const auto& [strPath, block] : run.m_arrRestored) {
        mapBlocks[strPath] = &block;
    }
    for (CTrackInfo* pTrack : *doc.GetTracks()) {
        const auto it = mapBlocks.find(pTrack->GetFullPath());
        if (it != mapBlocks.end()) {
            pTrack->Refresh(*it->second, doc.GetTagCodec());
            arrRefreshed.push_back(pTrack);
        }
    }
    return arrRefreshed;
}
