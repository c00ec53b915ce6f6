// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "actions/tagedit.h"
#include "actions/tageditrun.h"
#include "catalogue/tagcodec.h"
#include "platform/messagesink.h"

#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CId3v2Tag;
class CModalRunner;
class CTagUndoHistory;
class CTagWriter;
struct STagUndoRun;
class CTrackInfo;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

// The page "ID3 Tag": five texts, a track number and a genre, exchanged with the values it
// derives from. Each text shows the bytes it takes in the codec it will be written in; each field
// can be cleared in every selected file (its context menu, Ctrl+Delete).
class CMp3PropertyPage1 final : public QWidget, public SPageValues {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMp3PropertyPage1)

public:
    // The fields' context menus run through modals.
    CMp3PropertyPage1(CTagCodec codec, CModalRunner& modals);
    ~CMp3PropertyPage1() override;

    // Values to controls when the page opens; controls to values on OK. The genre needs no
    // saving: it follows the list's selection as it changes.
    void LoadFields();
    void SaveFields();
    // The values as LoadFields showed them: what OK compares the page with.
    const SPageValues& GetShown() const { return m_shown; }

    QLineEdit* GetEdit(ETagField eField) const;
    QComboBox* GetGenreBox() const { return m_pGenre; }
    // "12/30": the bytes the field's text takes of its width.
    QString GetByteCountText(ETagField eField) const;

    // Empties the field and marks it to be emptied in every file.
    void ClearField(ETagField eField);

    // One file: names its other tags and offers to copy from its ID3v2 tag.
    void SetOtherTags(const CId3v2Tag& tag);
    // Fills the fields from the ID3v2 tag, cut to the tag fields' widths in the codec; a genre
    // the table lacks leaves the genre alone.
    void CopyFromId3v2();
    // Several files: offers to fill each file's empty fields from its ID3v2 tag.
    void ShowFillFromId3v2(bool bShow);
    bool IsFillFromId3v2Checked() const;
    // Offers to write the fields set into the ID3v2 tag too, checked as last left.
    void ShowAlsoId3v2(bool bShow, bool bChecked);
    // The box's state while it is shown; nothing when it is not.
    std::optional<bool> GetAlsoId3v2() const;
    QCheckBox* GetAlsoId3v2Box() const { return m_pAlsoId3v2; }
    QLabel* GetOtherTagsLabel() const { return m_pOtherTags; }
    QPushButton* GetCopyButton() const { return m_pCopyId3v2; }
    QCheckBox* GetFillCheckBox() const { return m_pFillEmpty; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void OnSelchangeGenre(int nIndex);
    void UpdateCommentLimit();
    void UpdateByteCount(ETagField eField);
    void ShowPlaceholder(ETagField eField);
    void OnEdited(ETagField eField);
    void ShowFieldMenu(ETagField eField, const QPoint& ptLocal);
    void LayOut();

    CTagCodec m_codec;
    CModalRunner& m_modals;
    SPageValues m_shown;
    std::unique_ptr<CId3v2Tag> m_pId3v2;
    QLabel* m_apByteCount[6] = {};
    QLabel* m_pOtherTags = nullptr;
    QPushButton* m_pCopyId3v2 = nullptr;
    QCheckBox* m_pFillEmpty = nullptr;
    QCheckBox* m_pAlsoId3v2 = nullptr;

    QLineEdit* m_apEdit[6] = {}; // by ETagField
    QComboBox* m_pGenre = nullptr;
};

// The modal tag editor: one page, OK and Cancel. OK is refused while the track number is not
// one, a text has no bytes in the code page it will be written in, would not fit its tag field,
// or the edit would lose a track number or a comment's end in a file without being asked to.
class CMp3PropertySheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMp3PropertySheet)

public:
    // Refusals are shown through messages; the page's menus run through modals.
    CMp3PropertySheet(QWidget* pParent, CTagCodec codec, CMessageSink& messages,
                      CModalRunner& modals);

    CMp3PropertyPage1& GetPage() { return *m_pPage; }
    // The records edited, when more than the one file the page shows: OK checks each for what
    // the edit would lose.
    void SetFiles(std::vector<CTrackInfo*> arrSelected) { m_arrFiles = std::move(arrSelected); }

    void accept() override;

private:
    void Refuse(ETagField eField, const QString& strMessage);
    QString OverlongMessage(ETagField eField) const;
    QString LossMessage(const SEditLoss& loss) const;
    bool IsOneFile() const { return m_arrFiles.size() <= 1; }

    CTagCodec m_codec;
    CMessageSink& m_messages;
    std::vector<CTrackInfo*> m_arrFiles;
    QTabWidget* m_pTabs = nullptr;
    CMp3PropertyPage1* m_pPage = nullptr;
};

// What OK asked for: the changes typed, and whether each file's empty fields are to be filled
// from its ID3v2 tag.
struct STagEdit {
    STagChanges m_changes;
    bool m_bFillFromId3v2 = false;
    // "Also write to the ID3v2 tag", when the editor showed it: to write and to remember.
    std::optional<bool> m_bAlsoId3v2;

    // No file is to be opened for writing, no time to change.
    bool IsEmpty() const { return m_changes.IsEmpty() && !m_bFillFromId3v2; }
};

// The Properties command's dialog on the selected tracks, in list order: one file shows its
// other tags, read beforehand into pOtherTags (none: not read). "Also write to the ID3v2 tag"
// is offered, checked as bAlsoId3v2 says, when the one file has an ID3v2 tag it can read, and
// with several files (whose tags are not read beforehand: each is written where it has one).
// Returns the edit chosen on OK, nothing on Cancel.
std::optional<STagEdit> RunTagEditor(QWidget* pParent, CMessageSink& messages, CModalRunner& modals,
                                     const std::vector<CTrackInfo*>& arrSelected,
                                     const CTagCodec& codec, const CId3v2Tag* pOtherTags,
                                     bool bAlsoId3v2 = false);

// Starts writing the edit to every selected file, off the window's thread (CTagEditRun); none
// when the edit writes nothing.
std::unique_ptr<CTagEditRun> StartTagEdit(const STagRunContext& context,
                                          const std::vector<CTrackInfo*>& arrSelected,
                                          const STagEdit& edit);

// The messages for what went wrong in a run of writes: one for all the files, when any was left
// as it was: those not written with the reason (the error that stopped the run among them, and
// those the user stopped the run before), then those written, the first 20 of each named and the
// rest counted; then one per file whose time could not be kept.
void ReportTagWrites(QWidget* pParent, CMessageSink& messages, const STagWriteOutcome& outcome);

// Tells the user of the files an undo left alone, of the error that stopped it, and of the
// files a cancel left to be put back.
void ReportTagUndo(QWidget* pParent, CMessageSink& messages, const STagUndoRun& run,
                   std::size_t nCancelled);

// The Undo command's text: what it would take back.
QString UndoCommandText(const CTagUndoHistory& history);
