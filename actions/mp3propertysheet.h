// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "actions/tagedit.h"
#include "catalogue/tagcodec.h"

#include <QDialog>
#include <QWidget>

#include <functional>
#include <vector>

class CTagUndoHistory;
class CTagWriter;
class CTrackInfo;
class CTunebrDoc;
class QComboBox;
class QLineEdit;
class QTabWidget;

// The page "ID3 Tag": five texts, a track number and a genre, exchanged with the values it
// derives from.
class CMp3PropertyPage1 final : public QWidget, public SPageValues {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMp3PropertyPage1)

public:
    explicit CMp3PropertyPage1(QWidget* pParent = nullptr);

    // Values to controls when the page opens; controls to values on OK. The genre needs no
    // saving: it follows the list's selection as it changes.
    void LoadFields();
    void SaveFields();

    QLineEdit* GetEdit(ETagField eField) const;
    QComboBox* GetGenreBox() const { return m_pGenre; }

private:
    void OnSelchangeGenre(int nIndex);
    void UpdateCommentLimit();

    QLineEdit* m_pTitle = nullptr;
    QLineEdit* m_pArtist = nullptr;
    QLineEdit* m_pAlbum = nullptr;
    QLineEdit* m_pYear = nullptr;
    QLineEdit* m_pComment = nullptr;
    QLineEdit* m_pTrack = nullptr;
    QComboBox* m_pGenre = nullptr;
};

// The modal tag editor: one page, OK and Cancel. OK is refused while the track number is not
// one, a text has no bytes in the code page it will be written in, or would not fit its tag field.
class CMp3PropertySheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMp3PropertySheet)

public:
    explicit CMp3PropertySheet(QWidget* pParent = nullptr, CTagCodec codec = CTagCodec());

    CMp3PropertyPage1& GetPage() { return *m_pPage; }

    void accept() override;

private:
    void Refuse(ETagField eField, const QString& strMessage);

    CTagCodec m_codec;
    QTabWidget* m_pTabs = nullptr;
    CMp3PropertyPage1* m_pPage = nullptr;
};

// The Properties command on the selected tracks, in list order. Cancel changes nothing. OK
// writes what the user changed to every selected file, tells the user of each file left as it
// was, keeps what the edit needs to be taken back in the history, then either has the document
// regroup its tracks or calls refreshList so the list shows the files as they are. Returns
// whether the user chose OK.
bool RunTagEditor(QWidget* pParent, const std::vector<CTrackInfo*>& arrSelected, CTunebrDoc& doc,
                  const CTagWriter& writer, CTagUndoHistory& history, bool bByGenre,
                  const std::function<void()>& refreshList);

// The messages for what went wrong in a run of writes: one per file that could not be opened,
// one per file that is no longer the one listed, one per file whose time could not be kept,
// then the error that stopped the run, if any.
void ReportTagWrites(QWidget* pParent, const STagWriteOutcome& outcome);

// Takes the last edit of the history back, shows the restored files' fields in the catalogue
// and tells the user of the files left alone and of an error. Nothing without an edit.
void RunTagUndo(QWidget* pParent, CTagUndoHistory& history, CTunebrDoc& doc,
                const CTagWriter& writer);

// The Undo command's text: what it would take back.
QString UndoCommandText(const CTagUndoHistory& history);
