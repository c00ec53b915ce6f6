// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/fileexception.h"
#include "catalogue/renameplan.h"
#include "catalogue/tagblock.h"
#include "catalogue/tagwriter.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CTrackInfo;
class CTunebrDoc;

// What taking back one edit did.
struct STagUndoRun {
    // Each file put back, with how it ends now.
    std::vector<std::pair<std::string, CTagBlock>> m_arrRestored;
    // Files left alone: changed since the edit, gone, or no longer writable.
    std::vector<std::string> m_arrSkipped;
    // The error that stopped the run; the files not reached stay in the history.
    std::optional<CFileException> m_error;
};

// The last tag edits and renames, newest last, each as the files it wrote or renamed. Older
// edits than the limit are forgotten: they are unlikely to be wanted, and their files may have
// changed many times since.
class CTagUndoHistory {
public:
    static constexpr std::size_t MAX_EDITS = 50;

    // An edit that wrote no file is no step to take back.
    void Push(std::vector<STagUndo> arrEdit);
    // The renames done, in the order done; none is no step either.
    void PushRenames(std::vector<SRenameStep> arrRenames);
    bool CanUndo() const { return !m_edits.empty(); }
    // The last step renamed files rather than wrote tags.
    bool IsLastRename() const { return !m_edits.empty() && !m_edits.back().m_arrRenames.empty(); }
    std::size_t LastEditFileCount() const;

    // Takes the last tag edit back, its files from the last written to the first, and forgets
    // it. A file no longer as the edit left it keeps what it holds now. When a file cannot be
    // written to the end, the run stops there and the files not yet put back remain the last
    // edit, so that the user can try again. A rename is no tag edit: nothing is done.
    STagUndoRun UndoLast(const CTagWriter& writer);
    // Forgets the last tag edit and gives its files, in the order written, to be taken back
    // elsewhere; what is not taken back is pushed again. Nothing when the last step is a rename.
    std::vector<STagUndo> TakeLast();
    // The same for the last step's renames; nothing when it is a tag edit.
    std::vector<SRenameStep> TakeLastRenames();

private:
    // One of the two is empty.
    struct SEdit {
        std::vector<STagUndo> m_arrTags;
        std::vector<SRenameStep> m_arrRenames;
    };
    void PushEdit(SEdit edit);

    std::deque<SEdit> m_edits;
};

// Gives every record of the catalogue whose file was put back the file's new fields. The
// catalogue may have been read again since the edit: records are found by their path. Returns
// the records refreshed.
std::vector<CTrackInfo*> RefreshRestoredTracks(CTunebrDoc& doc, const STagUndoRun& run);
