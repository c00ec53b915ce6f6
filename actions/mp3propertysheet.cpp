// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/mp3propertysheet.h"

#include "actions/tagundohistory.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "platform/messagebox.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

QLineEdit* MakeEdit(const QString& strAccessibleName) {
    auto* pEdit = new QLineEdit;
    pEdit->setAccessibleName(strAccessibleName);
    return pEdit;
}

QLabel* MakeLabel(const QString& strText, QWidget* pBuddy) {
    auto* pLabel = new QLabel(strText);
    pLabel->setBuddy(pBuddy);
    return pLabel;
}

// Wide enough for nDigits digits and a little room, as narrow as the field is short.
int DigitsEditWidth(const QLineEdit& edit, int nDigits) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    const QFontMetrics metrics(edit.font());
    const QSize content(metrics.horizontalAdvance(QString(nDigits + 1, QLatin1Char('0'))),
                        metrics.height());
    return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, content, &edit).width();
}

// The name the messages give a field: its column's heading.
QString FieldName(ETagField eField) {
    switch (eField) {
    case ETagField::Album:
        return LoadQString(IDS_COL_ALBUM);
    case ETagField::Artist:
        return LoadQString(IDS_COL_ARTIST);
    case ETagField::Comment:
        return LoadQString(IDS_COL_COMMENT);
    case ETagField::Title:
        return LoadQString(IDS_COL_TITLE);
    case ETagField::Track:
        return LoadQString(IDS_COL_TRACK);
    case ETagField::Year:
        break;
    }
    return LoadQString(IDS_COL_YEAR);
}

// A path as the user knows it: the file system's bytes in the locale's character set.
QString DisplayPath(const std::string& strPath) {
    return QFile::decodeName(QByteArray::fromStdString(strPath));
}

// Every genre with its number as item data, sorted by name so that the empty entry (the genre
// left as it is) comes first.
void FillGenres(QComboBox& box) {
    std::vector<int> arrGenres(GENRE_COUNT);
    std::iota(arrGenres.begin(), arrGenres.end(), 0);
    std::vector<QString> arrNames;
    for (const int nGenre : arrGenres) {
        arrNames.push_back(ToQString(g_szGenreNames[nGenre]));
    }
    std::stable_sort(arrGenres.begin(), arrGenres.end(), [&arrNames](int nLeft, int nRight) {
        return QString::compare(arrNames[nLeft], arrNames[nRight], Qt::CaseInsensitive) < 0;
    });
    for (const int nGenre : arrGenres) {
        // The empty entry gets words, so that a screen reader has something to say for it.
        box.addItem(nGenre == GENRE_NONE ? LoadQString(IDS_GENRE_UNCHANGED) : arrNames[nGenre],
                    nGenre);
    }
}

// The edit's limit counts characters while the tag counts bytes, so OK checks again. A text
// already longer than the limit is shown whole: the user sees what OK will refuse, rather than
// a silent cut.
void LoadEdit(QLineEdit& edit, const std::string& strText, ETagField eField,
              const SPageValues& values) {
    const QString strShown = ToQString(strText);
    edit.setMaxLength(
        std::max(static_cast<int>(FieldLimit(eField, values)), static_cast<int>(strShown.size())));
    edit.setText(strShown);
}

void ReportFileError(QWidget* pParent, const std::optional<CFileException>& error) {
    if (error) {
        // One pass over both markers: a path may itself contain "%2".
        ShowMessageText(pParent, LoadQString(IDS_FILE_ERROR)
                                     .arg(DisplayPath(error->GetPath()),
                                          ToQString(std::strerror(error->GetErrno()))));
    }
}

} // namespace

CMp3PropertyPage1::CMp3PropertyPage1(QWidget* pParent) : QWidget(pParent) {
    m_pTitle = MakeEdit(tr("Title"));
    m_pArtist = MakeEdit(tr("Artist"));
    m_pAlbum = MakeEdit(tr("Album"));
    m_pYear = MakeEdit(tr("Year"));
    m_pYear->setFixedWidth(DigitsEditWidth(*m_pYear, 4));
    m_pTrack = MakeEdit(tr("Track"));
    m_pTrack->setFixedWidth(DigitsEditWidth(*m_pTrack, 3));
    m_pTrack->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pTrack));
    m_pGenre = new QComboBox;
    m_pGenre->setEditable(false);
    m_pGenre->setAccessibleName(tr("Genre"));
    m_pGenre->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pGenre->setMinimumContentsLength(12);
    FillGenres(*m_pGenre);
    m_pGenre->setCurrentIndex(-1);
    // Shown, and spoken, while no genre is chosen.
    m_pGenre->setPlaceholderText(LoadQString(IDS_GENRE_UNCHANGED));
    m_pComment = MakeEdit(tr("Comment"));
    for (ETagField eField : {ETagField::Title, ETagField::Artist, ETagField::Album, ETagField::Year,
                             ETagField::Comment, ETagField::Track}) {
        GetEdit(eField)->setMaxLength(static_cast<int>(FieldLimit(eField)));
    }

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(MakeLabel(tr("&Title :"), m_pTitle), 0, 0);
    pGrid->addWidget(m_pTitle, 0, 1, 1, 3);
    pGrid->addWidget(MakeLabel(tr("&Artist :"), m_pArtist), 1, 0);
    pGrid->addWidget(m_pArtist, 1, 1, 1, 3);
    pGrid->addWidget(MakeLabel(tr("A&lbum :"), m_pAlbum), 2, 0);
    pGrid->addWidget(m_pAlbum, 2, 1, 1, 3);
    pGrid->addWidget(MakeLabel(tr("&Year :"), m_pYear), 3, 0);
    auto* pNumbers = new QHBoxLayout;
    pNumbers->addWidget(m_pYear);
    pNumbers->addSpacing(8);
    pNumbers->addWidget(MakeLabel(tr("T&rack :"), m_pTrack));
    pNumbers->addWidget(m_pTrack);
    pNumbers->addStretch(1);
    pGrid->addLayout(pNumbers, 3, 1);
    pGrid->addWidget(MakeLabel(tr("&Genre :"), m_pGenre), 3, 2, Qt::AlignRight);
    pGrid->addWidget(m_pGenre, 3, 3);
    pGrid->addWidget(MakeLabel(tr("Co&mment. :"), m_pComment), 4, 0);
    pGrid->addWidget(m_pComment, 4, 1, 1, 3);
    pGrid->setColumnStretch(3, 1);
    pGrid->setRowStretch(5, 1);

    setTabOrder(m_pTitle, m_pArtist);
    setTabOrder(m_pArtist, m_pAlbum);
    setTabOrder(m_pAlbum, m_pYear);
    setTabOrder(m_pYear, m_pTrack);
    setTabOrder(m_pTrack, m_pGenre);
    setTabOrder(m_pGenre, m_pComment);

    connect(m_pGenre, &QComboBox::currentIndexChanged, this, &CMp3PropertyPage1::OnSelchangeGenre);
    connect(m_pTrack, &QLineEdit::textChanged, this, &CMp3PropertyPage1::UpdateCommentLimit);
}

QLineEdit* CMp3PropertyPage1::GetEdit(ETagField eField) const {
    switch (eField) {
    case ETagField::Album:
        return m_pAlbum;
    case ETagField::Artist:
        return m_pArtist;
    case ETagField::Comment:
        return m_pComment;
    case ETagField::Title:
        return m_pTitle;
    case ETagField::Track:
        return m_pTrack;
    case ETagField::Year:
        break;
    }
    return m_pYear;
}

void CMp3PropertyPage1::LoadFields() {
    LoadEdit(*m_pTitle, m_strTitle, ETagField::Title, *this);
    LoadEdit(*m_pArtist, m_strArtist, ETagField::Artist, *this);
    LoadEdit(*m_pAlbum, m_strAlbum, ETagField::Album, *this);
    LoadEdit(*m_pYear, m_strYear, ETagField::Year, *this);
    LoadEdit(*m_pTrack, m_strTrack, ETagField::Track, *this);
    LoadEdit(*m_pComment, m_strComment, ETagField::Comment, *this);
    // Genres without a name (and the empty entry's own number) show as no selection: choosing
    // nothing must keep them.
    const int nIndex = m_nGenre >= 0 && m_nGenre < GENRE_NONE ? m_pGenre->findData(m_nGenre) : -1;
    const QSignalBlocker blocker(m_pGenre);
    m_pGenre->setCurrentIndex(nIndex);
}

void CMp3PropertyPage1::SaveFields() {
    m_strTitle = ToStdString(m_pTitle->text());
    m_strArtist = ToStdString(m_pArtist->text());
    m_strAlbum = ToStdString(m_pAlbum->text());
    m_strYear = ToStdString(m_pYear->text());
    m_strComment = ToStdString(m_pComment->text());
    m_strTrack = ToStdString(m_pTrack->text());
}

// A track number takes the comment's last two bytes. A comment already longer stays whole
// (shortening the edit would cut it silently): OK tells the user instead.
void CMp3PropertyPage1::UpdateCommentLimit() {
    SPageValues values;
    values.m_strTrack = ToStdString(m_pTrack->text());
    m_pComment->setMaxLength(std::max(static_cast<int>(FieldLimit(ETagField::Comment, values)),
                                      static_cast<int>(m_pComment->text().size())));
}

void CMp3PropertyPage1::OnSelchangeGenre(int nIndex) {
    if (nIndex >= 0) {
        m_nGenre = m_pGenre->itemData(nIndex).toInt();
    }
}

CMp3PropertySheet::CMp3PropertySheet(QWidget* pParent, CTagCodec codec)
    : QDialog(pParent), m_codec(std::move(codec)) {
    setWindowTitle(LoadQString(IDS_PROPERTIES));
    m_pPage = new CMp3PropertyPage1;
    m_pTabs = new QTabWidget;
    m_pTabs->addTab(m_pPage, tr("ID3 Tag"));
    // Changes take effect on OK only: there is no Apply.
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTabs);
    pLayout->addWidget(pButtons);
    m_pPage->GetEdit(ETagField::Title)->setFocus();
}

void CMp3PropertySheet::accept() {
    m_pPage->SaveFields();
    if (!IsValidTrackText(m_pPage->m_strTrack)) {
        Refuse(ETagField::Track, LoadQString(IDS_TRACK_INVALID));
        return;
    }
    if (const std::optional<ETagField> eField = FindUnencodableField(*m_pPage, m_codec)) {
        Refuse(*eField, LoadQString(IDS_FIELD_NOT_ENCODABLE)
                            .arg(FieldName(*eField), ToQString(m_codec.GetName())));
        return;
    }
    if (const std::optional<ETagField> eField = FindOverlongField(*m_pPage, m_codec)) {
        Refuse(*eField, LoadQString(IDS_FIELD_TOO_LONG)
                            .arg(static_cast<qulonglong>(FieldLimit(*eField, *m_pPage))));
        return;
    }
    QDialog::accept();
}

void CMp3PropertySheet::Refuse(ETagField eField, const QString& strMessage) {
    ShowMessageText(this, strMessage);
    m_pTabs->setCurrentWidget(m_pPage);
    QLineEdit* pEdit = m_pPage->GetEdit(eField);
    pEdit->setFocus();
    pEdit->selectAll();
}

void ReportTagWrites(QWidget* pParent, const STagWriteOutcome& outcome) {
    for (std::size_t i = 0; i < outcome.m_arrNotWritten.size(); ++i) {
        ShowMessage(pParent, IDS_TAG_WRITE_FAILED);
    }
    for (const CTrackInfo* pTrack : outcome.m_arrChanged) {
        ShowMessageText(
            pParent, LoadQString(IDS_CHANGED_SINCE_LISTED).arg(DisplayPath(pTrack->GetFullPath())));
    }
    for (const CTrackInfo* pTrack : outcome.m_arrTimesNotKept) {
        ShowMessageText(pParent,
                        LoadQString(IDS_TIMES_NOT_KEPT).arg(DisplayPath(pTrack->GetFullPath())));
    }
    ReportFileError(pParent, outcome.m_error);
}

bool RunTagEditor(QWidget* pParent, const std::vector<CTrackInfo*>& arrSelected, CTunebrDoc& doc,
                  const CTagWriter& writer, CTagUndoHistory& history, bool bByGenre,
                  const std::function<void()>& refreshList) {
    const SPageValues before = InitialPageValues(arrSelected);
    CMp3PropertySheet sheet(pParent, writer.GetCodec());
    CMp3PropertyPage1& page = sheet.GetPage();
    static_cast<SPageValues&>(page) = before;
    page.LoadFields();
    if (sheet.exec() != QDialog::Accepted) {
        return false;
    }
    const STagChanges changes = ChangesFromPage(before, page, arrSelected.size() == 1);
    if (changes.IsEmpty()) {
        return true; // no file is opened for writing, no time changes
    }
    STagWriteOutcome outcome = WriteSelectedTags(changes, arrSelected, writer);
    history.Push(std::move(outcome.m_arrUndo));
    ReportTagWrites(pParent, outcome);
    // The records show their files as they are now, written or not.
    if (NeedsIndexRebuild(outcome, bByGenre)) {
        doc.RebuildIndex();
    } else if (refreshList) {
        refreshList();
    }
    return true;
}

void RunTagUndo(QWidget* pParent, CTagUndoHistory& history, CTunebrDoc& doc,
                const CTagWriter& writer) {
    if (!history.CanUndo()) {
        return;
    }
    const STagUndoRun run = history.UndoLast(writer);
    RefreshRestoredTracks(doc, run);
    // An undo may give back any artist and genre: the groups are made again.
    doc.RebuildIndex();
    if (!run.m_arrSkipped.empty()) {
        QStringList arrPaths;
        for (const std::string& strPath : run.m_arrSkipped) {
            arrPaths.push_back(DisplayPath(strPath));
        }
        ShowMessageText(pParent,
                        LoadQString(IDS_UNDO_SKIPPED).arg(arrPaths.join(QLatin1Char('\n'))));
    }
    ReportFileError(pParent, run.m_error);
}

QString UndoCommandText(const CTagUndoHistory& history) {
    const std::size_t nFiles = history.LastEditFileCount();
    if (!history.CanUndo()) {
        return LoadQString(IDS_UNDO);
    }
    if (nFiles == 1) {
        return LoadQString(IDS_UNDO_ONE_FILE);
    }
    return LoadQString(IDS_UNDO_FILES).arg(static_cast<qulonglong>(nFiles));
}
