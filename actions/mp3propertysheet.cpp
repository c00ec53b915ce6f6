// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/mp3propertysheet.h"

#include "actions/tagundohistory.h"
#include "catalogue/id3v2tag.h"
#include "catalogue/trackinfo.h"
#include "platform/accessibility.h"
#include "platform/folders.h"
#include "platform/modalrunner.h"
#include "platform/onepagesheet.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>

#include <algorithm>
#include <cstring>
#include <mutex>
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

void ReportFileError(QWidget* pParent, CMessageSink& messages,
                     const std::optional<CFileException>& error) {
    if (error) {
        // One pass over both markers: a path may itself contain "%2".
        messages.Show(pParent, LoadQString(IDS_FILE_ERROR)
                                   .arg(DisplayPath(error->GetPath()),
                                        ToQString(std::strerror(error->GetErrno()))));
    }
}

constexpr ETagField s_aTextFields[] = {ETagField::Title, ETagField::Artist, ETagField::Album,
                                       ETagField::Year, ETagField::Comment};
constexpr ETagField s_aAllFields[] = {ETagField::Title, ETagField::Artist,  ETagField::Album,
                                      ETagField::Year,  ETagField::Comment, ETagField::Track};

int FieldIndex(ETagField eField) {
    return static_cast<int>(eField);
}

// Shown in place of the bytes' count while a text has none in the codec.
QLabel* MakeByteCount() {
    auto* pLabel = new QLabel;
    pLabel->setTextFormat(Qt::PlainText);
    pLabel->setForegroundRole(QPalette::PlaceholderText);
    return pLabel;
}

constexpr std::size_t MAX_NAMED_FAILURES = 20;

} // namespace

CMp3PropertyPage1::CMp3PropertyPage1(CTagCodec codec, CModalRunner& modals)
    : m_codec(std::move(codec)), m_modals(modals) {
    // The genre box shows "(unchanged)" while no genre is chosen, and must say so.
    InstallAccessibleInterfaces();
    const std::pair<ETagField, QString> aNames[] = {
        {ETagField::Title, tr("Title")}, {ETagField::Artist, tr("Artist")},
        {ETagField::Album, tr("Album")}, {ETagField::Year, tr("Year")},
        {ETagField::Track, tr("Track")}, {ETagField::Comment, tr("Comment")}};
    for (const auto& [eField, strName] : aNames) {
        m_apEdit[FieldIndex(eField)] = MakeEdit(strName);
        GetEdit(eField)->setMaxLength(static_cast<int>(FieldLimit(eField)));
    }
    QLineEdit* const pYear = GetEdit(ETagField::Year);
    QLineEdit* const pTrack = GetEdit(ETagField::Track);
    pYear->setFixedWidth(DigitsEditWidth(*pYear, 4));
    pTrack->setFixedWidth(DigitsEditWidth(*pTrack, 3));
    pTrack->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), pTrack));
    m_pGenre = new QComboBox;
    m_pGenre->setEditable(false);
    m_pGenre->setAccessibleName(tr("Genre"));
    m_pGenre->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pGenre->setMinimumContentsLength(12);
    FillGenres(*m_pGenre);
    m_pGenre->setCurrentIndex(-1);
    // Shown, and spoken, while no genre is chosen.
    m_pGenre->setPlaceholderText(LoadQString(IDS_GENRE_UNCHANGED));

    for (const ETagField eField : s_aTextFields) {
        m_apByteCount[FieldIndex(eField)] = MakeByteCount();
    }
    m_pOtherTags = new QLabel;
    m_pOtherTags->setTextFormat(Qt::PlainText);
    m_pCopyId3v2 = new QPushButton(tr("Co&py from ID3v2"));
    m_pFillEmpty = new QCheckBox(tr("&Fill empty fields from each file's ID3v2 tag"));
    m_pOtherTags->hide();
    m_pCopyId3v2->hide();
    m_pFillEmpty->hide();
    m_pAlsoId3v2 = new QCheckBox(tr("Also &write to the ID3v2 tag"));
    m_pAlsoId3v2->setToolTip(tr("Players show the ID3v2 tag first: the fields you set are "
                                "written into it too, where a file has one"));
    m_pAlsoId3v2->hide();
    LayOut();

    connect(m_pGenre, &QComboBox::currentIndexChanged, this, &CMp3PropertyPage1::OnSelchangeGenre);
    connect(pTrack, &QLineEdit::textChanged, this, &CMp3PropertyPage1::UpdateCommentLimit);
    connect(m_pCopyId3v2, &QPushButton::clicked, this, &CMp3PropertyPage1::CopyFromId3v2);
    for (const ETagField eField : s_aAllFields) {
        QLineEdit* pEdit = GetEdit(eField);
        pEdit->installEventFilter(this);
        pEdit->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(pEdit, &QWidget::customContextMenuRequested, this,
                [this, eField](const QPoint& pt) { ShowFieldMenu(eField, pt); });
        connect(pEdit, &QLineEdit::textEdited, this, [this, eField] { OnEdited(eField); });
        connect(pEdit, &QLineEdit::textChanged, this, [this, eField] { UpdateByteCount(eField); });
    }
    connect(pTrack, &QLineEdit::textChanged, this, [this] { UpdateByteCount(ETagField::Comment); });
}

// Title, artist and album take a row each with their byte counts; year, track and genre share
// the fourth; Tab follows the rows.
void CMp3PropertyPage1::LayOut() {
    auto* pGrid = new QGridLayout(this);
    const auto addTextRow = [&](ETagField eField, const QString& strLabel, int nRow) {
        pGrid->addWidget(MakeLabel(strLabel, GetEdit(eField)), nRow, 0);
        pGrid->addWidget(GetEdit(eField), nRow, 1, 1, 3);
        pGrid->addWidget(m_apByteCount[FieldIndex(eField)], nRow, 4);
    };
    addTextRow(ETagField::Title, tr("&Title :"), 0);
    addTextRow(ETagField::Artist, tr("&Artist :"), 1);
    addTextRow(ETagField::Album, tr("A&lbum :"), 2);
    addTextRow(ETagField::Comment, tr("Co&mment :"), 4);
    QLineEdit* const pYear = GetEdit(ETagField::Year);
    QLineEdit* const pTrack = GetEdit(ETagField::Track);
    pGrid->addWidget(MakeLabel(tr("&Year :"), pYear), 3, 0);
    auto* pNumbers = new QHBoxLayout;
    pNumbers->addWidget(pYear);
    pNumbers->addWidget(m_apByteCount[FieldIndex(ETagField::Year)]);
    pNumbers->addSpacing(8);
    pNumbers->addWidget(MakeLabel(tr("T&rack :"), pTrack));
    pNumbers->addWidget(pTrack);
    pNumbers->addStretch(1);
    pGrid->addLayout(pNumbers, 3, 1);
    pGrid->addWidget(MakeLabel(tr("&Genre :"), m_pGenre), 3, 2, Qt::AlignRight);
    pGrid->addWidget(m_pGenre, 3, 3);
    auto* pOther = new QHBoxLayout;
    pOther->addWidget(m_pOtherTags, 1);
    pOther->addWidget(m_pCopyId3v2);
    pGrid->addLayout(pOther, 5, 0, 1, 5);
    pGrid->addWidget(m_pFillEmpty, 6, 0, 1, 5);
    pGrid->addWidget(m_pAlsoId3v2, 7, 0, 1, 5);
    pGrid->setColumnStretch(3, 1);
    pGrid->setRowStretch(8, 1);

    QWidget* const apTabOrder[] = {GetEdit(ETagField::Title),
                                   GetEdit(ETagField::Artist),
                                   GetEdit(ETagField::Album),
                                   pYear,
                                   pTrack,
                                   m_pGenre,
                                   GetEdit(ETagField::Comment),
                                   m_pCopyId3v2,
                                   m_pFillEmpty,
                                   m_pAlsoId3v2};
    for (std::size_t i = 1; i < std::size(apTabOrder); ++i) {
        setTabOrder(apTabOrder[i - 1], apTabOrder[i]);
    }
}

CMp3PropertyPage1::~CMp3PropertyPage1() = default;

QString CMp3PropertyPage1::GetByteCountText(ETagField eField) const {
    const QLabel* pLabel = m_apByteCount[FieldIndex(eField)];
    return pLabel != nullptr ? pLabel->text() : QString();
}

// The tag counts bytes, and a character beyond ASCII may take several: the count shows it before
// OK has to refuse.
void CMp3PropertyPage1::UpdateByteCount(ETagField eField) {
    QLabel* pLabel = m_apByteCount[FieldIndex(eField)];
    if (pLabel == nullptr) {
        return;
    }
    SPageValues values;
    values.m_strTrack = ToStdString(GetEdit(ETagField::Track)->text());
    const std::size_t nLimit = FieldLimit(eField, values);
    std::string strText = ToStdString(GetEdit(eField)->text());
    if (eField == ETagField::Artist && IsArtistPlaceholder(strText)) {
        strText.clear(); // shown for a missing artist, never written
    }
    const std::optional<std::size_t> nBytes = EncodedSize(strText, m_codec);
    pLabel->setText(nBytes ? QStringLiteral("%1/%2").arg(*nBytes).arg(nLimit)
                           : QStringLiteral("?/%1").arg(nLimit));
    const bool bOver = !nBytes || *nBytes > nLimit;
    pLabel->setForegroundRole(bOver ? QPalette::Highlight : QPalette::PlaceholderText);
    pLabel->setAccessibleName(tr("%1 bytes used").arg(pLabel->text()));
}

void CMp3PropertyPage1::ShowPlaceholder(ETagField eField) {
    QString strPlaceholder;
    QString strShort;
    if ((m_nCleared & FieldBit(eField)) != 0) {
        strPlaceholder = tr("(cleared in every file)");
        strShort = QStringLiteral("\u2205"); // empty set
    } else if ((m_nDifferent & FieldBit(eField)) != 0) {
        strPlaceholder = tr("(different values)");
        strShort = QStringLiteral("\u2260"); // not equal
    }
    QLineEdit* pEdit = GetEdit(eField);
    // The year and track boxes are a few digits wide: the words would show as "(d...". They get
    // a sign, and the words as their tip and description.
    const bool bNarrow = eField == ETagField::Year || eField == ETagField::Track;
    pEdit->setPlaceholderText(bNarrow ? strShort : strPlaceholder);
    if (bNarrow) {
        pEdit->setToolTip(strPlaceholder);
        pEdit->setAccessibleDescription(strPlaceholder);
    }
}

void CMp3PropertyPage1::ClearField(ETagField eField) {
    m_nCleared |= FieldBit(eField);
    GetEdit(eField)->clear();
    ShowPlaceholder(eField);
}

// Typing in a field to be cleared gives it a value instead.
void CMp3PropertyPage1::OnEdited(ETagField eField) {
    if ((m_nCleared & FieldBit(eField)) != 0 && !GetEdit(eField)->text().isEmpty()) {
        m_nCleared &= ~FieldBit(eField);
        ShowPlaceholder(eField);
    }
}

void CMp3PropertyPage1::ShowFieldMenu(ETagField eField, const QPoint& ptLocal) {
    QLineEdit* pEdit = GetEdit(eField);
    std::unique_ptr<QMenu> pMenu(pEdit->createStandardContextMenu());
    pMenu->addSeparator();
    QAction* pClear =
        pMenu->addAction(tr("C&lear in Every File"), this, [this, eField] { ClearField(eField); });
    pClear->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    m_modals.Exec(*pMenu, pEdit->mapToGlobal(ptLocal));
}

// Ctrl+Delete deletes a word in a line edit: in these fields it clears the field instead, so the
// key must be caught before the edit sees it.
bool CMp3PropertyPage1::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() == QEvent::KeyPress || pEvent->type() == QEvent::ShortcutOverride) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if (pKey->key() == Qt::Key_Delete && pKey->modifiers() == Qt::ControlModifier) {
            for (const ETagField eField : s_aAllFields) {
                if (pWatched == GetEdit(eField)) {
                    if (pEvent->type() == QEvent::KeyPress) {
                        ClearField(eField);
                    }
                    pEvent->accept();
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

void CMp3PropertyPage1::SetOtherTags(const CId3v2Tag& tag) {
    m_pId3v2 = std::make_unique<CId3v2Tag>(tag);
    QStringList arrLines;
    if (tag.m_bRefused) {
        arrLines.push_back(tr("Has an ID3v2.%1 tag that was not read: it would take more memory "
                              "than any tag needs")
                               .arg(tag.m_nVersion));
    } else if (tag.m_nVersion != 0) {
        arrLines.push_back(tr("Also has an ID3v2.%1 tag").arg(tag.m_nVersion));
    }
    if (tag.m_bHasApe) {
        arrLines.push_back(tr("Also has an APE tag"));
    }
    m_pOtherTags->setText(arrLines.join(QLatin1Char('\n')));
    m_pOtherTags->setVisible(!arrLines.isEmpty());
    m_pCopyId3v2->setVisible(tag.m_nVersion != 0 && !tag.m_bRefused);
}

void CMp3PropertyPage1::CopyFromId3v2() {
    if (!m_pId3v2) {
        return;
    }
    const STagChanges changes = m_pId3v2->ToChanges(m_codec);
    const auto put = [this](ETagField eField, const std::optional<std::string>& strValue) {
        if (strValue) {
            m_nCleared &= ~FieldBit(eField);
            GetEdit(eField)->setText(ToQString(*strValue));
            ShowPlaceholder(eField);
        }
    };
    // The track goes first: it decides how long the comment may be.
    if (changes.m_nTrack) {
        put(ETagField::Track, std::to_string(*changes.m_nTrack));
    }
    put(ETagField::Title, changes.m_strTitle);
    put(ETagField::Artist, changes.m_strArtist);
    put(ETagField::Album, changes.m_strAlbum);
    put(ETagField::Year, changes.m_strYear);
    put(ETagField::Comment, changes.m_strComment);
    if (changes.m_nGenre) {
        m_pGenre->setCurrentIndex(m_pGenre->findData(static_cast<int>(*changes.m_nGenre)));
    }
}

void CMp3PropertyPage1::ShowFillFromId3v2(bool bShow) {
    m_pFillEmpty->setVisible(bShow);
}

bool CMp3PropertyPage1::IsFillFromId3v2Checked() const {
    return !m_pFillEmpty->isHidden() && m_pFillEmpty->isChecked();
}

void CMp3PropertyPage1::ShowAlsoId3v2(bool bShow, bool bChecked) {
    m_pAlsoId3v2->setChecked(bChecked);
    m_pAlsoId3v2->setVisible(bShow);
}

std::optional<bool> CMp3PropertyPage1::GetAlsoId3v2() const {
    if (m_pAlsoId3v2->isHidden()) {
        return std::nullopt;
    }
    return m_pAlsoId3v2->isChecked();
}

QLineEdit* CMp3PropertyPage1::GetEdit(ETagField eField) const {
    return m_apEdit[FieldIndex(eField)];
}

void CMp3PropertyPage1::LoadFields() {
    m_shown = static_cast<const SPageValues&>(*this);
    for (const ETagField eField : s_aAllFields) {
        LoadEdit(*GetEdit(eField), FieldText(*this, eField), eField, *this);
    }
    for (const ETagField eField : s_aAllFields) {
        ShowPlaceholder(eField);
        UpdateByteCount(eField);
    }
    // Genres without a name (and the empty entry's own number) show as no selection: choosing
    // nothing must keep them.
    const int nIndex = m_nGenre >= 0 && m_nGenre < GENRE_NONE ? m_pGenre->findData(m_nGenre) : -1;
    const QSignalBlocker blocker(m_pGenre);
    m_pGenre->setCurrentIndex(nIndex);
}

void CMp3PropertyPage1::SaveFields() {
    for (const ETagField eField : s_aAllFields) {
        FieldText(*this, eField) = ToStdString(GetEdit(eField)->text());
    }
}

// A track number takes the comment's last two bytes. A comment already longer stays whole
// (shortening the edit would cut it silently): OK tells the user instead.
void CMp3PropertyPage1::UpdateCommentLimit() {
    SPageValues values;
    values.m_strTrack = ToStdString(GetEdit(ETagField::Track)->text());
    GetEdit(ETagField::Comment)
        ->setMaxLength(std::max(static_cast<int>(FieldLimit(ETagField::Comment, values)),
                                static_cast<int>(GetEdit(ETagField::Comment)->text().size())));
}

void CMp3PropertyPage1::OnSelchangeGenre(int nIndex) {
    if (nIndex >= 0) {
        m_nGenre = m_pGenre->itemData(nIndex).toInt();
    }
}

CMp3PropertySheet::CMp3PropertySheet(QWidget* pParent, CTagCodec codec, CMessageSink& messages,
                                     CModalRunner& modals)
    : QDialog(pParent), m_codec(std::move(codec)), m_messages(messages) {
    setWindowTitle(LoadQString(IDS_PROPERTIES));
    m_pPage = new CMp3PropertyPage1(m_codec, modals);
    m_pTabs = LayOutOnePageSheet(*this, m_pPage, tr("ID3 Tag"));
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
        Refuse(*eField, OverlongMessage(*eField));
        return;
    }
    const SPageValues& shown = m_pPage->GetShown();
    const STagChanges changes = ChangesFromPage(shown, *m_pPage, IsOneFile());
    const SEditLoss loss = IsOneFile() ? FindSilentLoss(changes, shown, m_codec)
                                       : FindSilentLoss(changes, m_arrFiles, m_codec);
    if (loss.m_eLoss != ETagLoss::None) {
        // The field to mend first is the one the edit typed: the comment that is too long for the
        // track number the files keep, or the track number the comments have no room for.
        Refuse(loss.m_eLoss == ETagLoss::TrackNumber ? ETagField::Comment : ETagField::Track,
               LossMessage(loss));
        return;
    }
    QDialog::accept();
}

// The prompt counts characters: right while each takes one byte. Otherwise the user must hear
// that the limit is in bytes, or the refusal of a short text makes no sense.
QString CMp3PropertySheet::OverlongMessage(ETagField eField) const {
    const std::string& strText = FieldText(*m_pPage, eField);
    const qulonglong nLimit = FieldLimit(eField);
    const std::optional<std::size_t> nBytes = EncodedSize(strText, m_codec);
    if (!nBytes || static_cast<qsizetype>(*nBytes) == ToQString(strText).size()) {
        return tr("%1: %2").arg(FieldName(eField), LoadQString(IDS_FIELD_TOO_LONG).arg(nLimit));
    }
    return tr("The %1 field holds no more than %2 bytes, and its text takes %3: some of its "
              "characters take more than one byte.")
        .arg(FieldName(eField))
        .arg(nLimit)
        .arg(static_cast<qulonglong>(*nBytes));
}

QString CMp3PropertySheet::LossMessage(const SEditLoss& loss) const {
    const QString strComment = FieldName(ETagField::Comment);
    const QString strTrack = FieldName(ETagField::Track);
    const auto nFiles = static_cast<qulonglong>(loss.m_nFiles);
    if (loss.m_eLoss == ETagLoss::TrackNumber) {
        if (IsOneFile()) {
            return tr("A comment of more than 28 bytes would take the place of the track number. "
                      "Shorten the %1 field to 28 bytes, or empty the %2 field to take the track "
                      "number away.")
                .arg(strComment, strTrack);
        }
        return tr("A comment of more than 28 bytes would take the place of the track number in %1 "
                  "of the selected files. Shorten the %2 field to 28 bytes, or clear the %3 field "
                  "in every file to take the track numbers away.")
            .arg(ToQString(FormatCount(nFiles)))
            .arg(strComment, strTrack);
    }
    if (IsOneFile()) {
        return tr("A track number takes the comment's last two bytes, and this comment needs them. "
                  "Shorten the %1 field to 28 bytes, or leave the %2 field empty.")
            .arg(strComment, strTrack);
    }
    return tr("A track number takes the comment's last two bytes, and the comments of %1 of the "
              "selected files need them. Type a text of 28 bytes at most in the %2 field, or "
              "leave the %3 field empty.")
        .arg(ToQString(FormatCount(nFiles)))
        .arg(strComment, strTrack);
}

void CMp3PropertySheet::Refuse(ETagField eField, const QString& strMessage) {
    m_messages.Show(this, strMessage);
    m_pTabs->setCurrentWidget(m_pPage);
    QLineEdit* pEdit = m_pPage->GetEdit(eField);
    pEdit->setFocus();
    pEdit->selectAll();
}

namespace {

// Why a file was left as it was, in words.
QString FailureReason(const CTrackInfo& track, bool bChanged) {
    if (!bChanged) {
        return CMp3PropertySheet::tr("read-only");
    }
    const QFileInfo info(DisplayPath(track.GetFullPath()));
    return info.exists() || info.isSymLink() ? CMp3PropertySheet::tr("changed since listed")
                                             : CMp3PropertySheet::tr("vanished");
}

// A heading with the count, the first lines, and a count of the lines left out.
void AppendNamedLines(QStringList& arrLines, const QString& strHeading,
                      const QStringList& arrNamed) {
    arrLines.push_back(strHeading.arg(ToQString(FormatCount(arrNamed.size()))));
    const auto nShown = std::min<qsizetype>(arrNamed.size(), MAX_NAMED_FAILURES);
    arrLines.append(arrNamed.mid(0, nShown));
    if (arrNamed.size() > nShown) {
        arrLines.push_back(CMp3PropertySheet::tr("... and %1 more file(s).")
                               .arg(ToQString(FormatCount(arrNamed.size() - nShown))));
    }
}

QString FailureLine(const std::string& strPath, const QString& strReason) {
    return QStringLiteral("%1 (%2)").arg(DisplayPath(strPath), strReason);
}

} // namespace

void ReportTagWrites(QWidget* pParent, CMessageSink& messages, const STagWriteOutcome& outcome) {
    // One message for every file: a thousand read-only files must not take a thousand clicks,
    // and after a full disk the user must learn which files hold the edit and which do not.
    QStringList arrFailed;
    for (const CTrackInfo* pTrack : outcome.m_arrNotWritten) {
        arrFailed.push_back(FailureLine(pTrack->GetFullPath(), FailureReason(*pTrack, false)));
    }
    for (const CTrackInfo* pTrack : outcome.m_arrChanged) {
        arrFailed.push_back(FailureLine(pTrack->GetFullPath(), FailureReason(*pTrack, true)));
    }
    for (const auto& [pTrack, strWhy] : outcome.m_arrId3v2NotWritten) {
        arrFailed.push_back(FailureLine(
            pTrack->GetFullPath(),
            CMp3PropertySheet::tr("its ID3v2 tag could not be written (%1), so neither tag was "
                                  "changed")
                .arg(QString::fromStdString(strWhy))));
    }
    if (outcome.m_error) {
        arrFailed.push_back(FailureLine(outcome.m_error->GetPath(),
                                        ToQString(std::strerror(outcome.m_error->GetErrno()))));
    }
    for (const CTrackInfo* pTrack : outcome.m_arrNotTried) {
        arrFailed.push_back(FailureLine(pTrack->GetFullPath(),
                                        CMp3PropertySheet::tr("not tried after that error")));
    }
    // Stopped by the user, and nothing else went wrong: no failure to announce.
    const bool bOnlyCancelled = arrFailed.isEmpty();
    for (const CTrackInfo* pTrack : outcome.m_arrCancelled) {
        arrFailed.push_back(FailureLine(pTrack->GetFullPath(), CMp3PropertySheet::tr("cancelled")));
    }
    if (!arrFailed.isEmpty()) {
        QStringList arrLines{bOnlyCancelled
                                 ? CMp3PropertySheet::tr("The edit was stopped before every "
                                                         "file was written.")
                                 : LoadQString(IDS_TAG_WRITE_FAILED),
                             QString()};
        AppendNamedLines(arrLines, CMp3PropertySheet::tr("Not written, %1 file(s):"), arrFailed);
        if (!outcome.m_arrWritten.empty()) {
            QStringList arrWritten;
            for (const CTrackInfo* pTrack : outcome.m_arrWritten) {
                arrWritten.push_back(DisplayPath(pTrack->GetFullPath()));
            }
            arrLines.push_back(QString());
            AppendNamedLines(arrLines, CMp3PropertySheet::tr("Written, %1 file(s):"), arrWritten);
        }
        messages.Show(pParent, arrLines.join(QLatin1Char('\n')));
    }
    for (const CTrackInfo* pTrack : outcome.m_arrTimesNotKept) {
        messages.Show(pParent,
                      LoadQString(IDS_TIMES_NOT_KEPT).arg(DisplayPath(pTrack->GetFullPath())));
    }
}

namespace {

// The files whose hostile ID3v2 tags filled nothing: their own edits were still written.
void ReportRefusedId3v2(QWidget* pParent, CMessageSink& messages,
                        const std::vector<std::string>& arrPaths) {
    if (arrPaths.empty()) {
        return;
    }
    QStringList arrLines{CMp3PropertySheet::tr("These files' ID3v2 tags were not read, so their "
                                               "empty fields were not filled from them: they "
                                               "would take more memory than any tag needs."),
                         QString()};
    for (std::size_t i = 0; i < std::min(arrPaths.size(), MAX_NAMED_FAILURES); ++i) {
        arrLines.push_back(DisplayPath(arrPaths[i]));
    }
    if (arrPaths.size() > MAX_NAMED_FAILURES) {
        arrLines.push_back(CMp3PropertySheet::tr("... and %1 more file(s).")
                               .arg(ToQString(FormatCount(arrPaths.size() - MAX_NAMED_FAILURES))));
    }
    messages.Show(pParent, arrLines.join(QLatin1Char('\n')));
}

} // namespace

std::optional<STagEdit> RunTagEditor(QWidget* pParent, CMessageSink& messages, CModalRunner& modals,
                                     const std::vector<CTrackInfo*>& arrSelected,
                                     const CTagCodec& codec, const CId3v2Tag* pOtherTags,
                                     bool bAlsoId3v2) {
    const SPageValues before = InitialPageValues(arrSelected);
    CMp3PropertySheet sheet(pParent, codec, messages, modals);
    sheet.SetFiles(arrSelected);
    CMp3PropertyPage1& page = sheet.GetPage();
    static_cast<SPageValues&>(page) = before;
    page.LoadFields();
    if (pOtherTags != nullptr) {
        page.SetOtherTags(*pOtherTags);
    }
    page.ShowFillFromId3v2(arrSelected.size() > 1);
    const bool bOneWithId3v2 =
        pOtherTags != nullptr && pOtherTags->m_nVersion != 0 && !pOtherTags->m_bRefused;
    page.ShowAlsoId3v2(arrSelected.size() > 1 || bOneWithId3v2, bAlsoId3v2);
    if (modals.Exec(sheet) != QDialog::Accepted) {
        return std::nullopt;
    }
    STagEdit edit;
    edit.m_changes = ChangesFromPage(before, page, arrSelected.size() == 1);
    edit.m_bFillFromId3v2 = page.IsFillFromId3v2Checked();
    edit.m_bAlsoId3v2 = page.GetAlsoId3v2();
    return edit;
}

std::unique_ptr<CTagEditRun> StartTagEdit(const STagRunContext& context,
                                          const std::vector<CTrackInfo*>& arrSelected,
                                          const STagEdit& edit) {
    if (edit.IsEmpty()) {
        return nullptr;
    }
    // The files whose hostile ID3v2 tags filled nothing, gathered by the run's thread.
    struct SRefused {
        std::mutex mutex;
        std::vector<std::string> arrPaths;
    };
    const auto pRefused = std::make_shared<SRefused>();
    // Runs on the run's thread: the codec and the file operations are safe to share.
    auto changesFor = [edit, codec = context.writer.GetCodec(), pOps = &context.writer.GetOps(),
                       pRefused](const CTrackInfo& track) {
        if (!edit.m_bFillFromId3v2) {
            return edit.m_changes;
        }
        const CId3v2Tag tag = CId3v2Tag::Read(track.GetFullPath(), *pOps);
        if (tag.m_bRefused) {
            const std::lock_guard<std::mutex> lock(pRefused->mutex);
            pRefused->arrPaths.push_back(track.GetFullPath());
        }
        return WithEmptyFieldsFilled(edit.m_changes, tag.ToChanges(codec), track, codec);
    };
    // Their own edits were still written: the files are named after the run's report.
    auto reportMore = [pRefused, pParent = context.pParent, &messages = context.messages] {
        const std::lock_guard<std::mutex> lock(pRefused->mutex);
        ReportRefusedId3v2(pParent, messages, pRefused->arrPaths);
    };
    return std::make_unique<CTagEditRun>(context, arrSelected, std::move(changesFor),
                                         std::move(reportMore));
}

void ReportTagUndo(QWidget* pParent, CMessageSink& messages, const STagUndoRun& run,
                   std::size_t nCancelled) {
    if (!run.m_arrSkipped.empty()) {
        QStringList arrPaths;
        for (const std::string& strPath : run.m_arrSkipped) {
            arrPaths.push_back(DisplayPath(strPath));
        }
        messages.Show(pParent, LoadQString(IDS_UNDO_SKIPPED).arg(arrPaths.join(QLatin1Char('\n'))));
    }
    ReportFileError(pParent, messages, run.m_error);
    if (nCancelled > 0) {
        messages.Show(pParent, CMp3PropertySheet::tr("The undo was stopped before %1 file(s): "
                                                     "Undo takes them back.")
                                   .arg(ToQString(FormatCount(nCancelled))));
    }
}

QString UndoCommandText(const CTagUndoHistory& history) {
    const std::size_t nFiles = history.LastEditFileCount();
    if (!history.CanUndo()) {
        return LoadQString(IDS_UNDO);
    }
    const bool bRename = history.IsLastRename();
    if (nFiles == 1) {
        return LoadQString(bRename ? IDS_UNDO_RENAME_ONE_FILE : IDS_UNDO_ONE_FILE);
    }
    return LoadQString(bRename ? IDS_UNDO_RENAME_FILES : IDS_UNDO_FILES)
        .arg(ToQString(FormatCount(nFiles)));
}
