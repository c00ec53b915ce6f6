#include "actions/mp3propertysheet.h"

#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "platform/messagebox.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
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

// Wide enough for a four-digit year and a little room, as narrow as the field is short.
int YearEditWidth(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    const QFontMetrics metrics(edit.font());
    const QSize content(metrics.horizontalAdvance(QStringLiteral("00000")), metrics.height());
    return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, content, &edit).width();
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
        box.addItem(arrNames[nGenre], nGenre);
    }
}

// The edit's limit counts characters while the tag counts bytes, so OK checks again. A text
// already longer than the limit is shown whole: the user sees what OK will refuse, rather than
// a silent cut.
void LoadEdit(QLineEdit& edit, const std::string& strText, ETagField eField) {
    const QString strShown = ToQString(strText);
    edit.setMaxLength(
        std::max(static_cast<int>(FieldLimit(eField)), static_cast<int>(strShown.size())));
    edit.setText(strShown);
}

} // namespace

CMp3PropertyPage1::CMp3PropertyPage1(QWidget* pParent) : QWidget(pParent) {
    m_pTitle = MakeEdit(QStringLiteral("Title"));
    m_pArtist = MakeEdit(QStringLiteral("Artist"));
    m_pAlbum = MakeEdit(QStringLiteral("Album"));
    m_pYear = MakeEdit(QStringLiteral("Year"));
    m_pYear->setFixedWidth(YearEditWidth(*m_pYear));
    m_pGenre = new QComboBox;
    m_pGenre->setEditable(false);
    m_pGenre->setAccessibleName(QStringLiteral("Genre"));
    m_pGenre->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pGenre->setMinimumContentsLength(12);
    FillGenres(*m_pGenre);
    m_pGenre->setCurrentIndex(-1);
    m_pComment = MakeEdit(QStringLiteral("Comment"));
    for (ETagField eField : {ETagField::Title, ETagField::Artist, ETagField::Album, ETagField::Year,
                             ETagField::Comment}) {
        GetEdit(eField)->setMaxLength(static_cast<int>(FieldLimit(eField)));
    }

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(MakeLabel(QStringLiteral("&Title :"), m_pTitle), 0, 0);
    pGrid->addWidget(m_pTitle, 0, 1, 1, 3);
    pGrid->addWidget(MakeLabel(QStringLiteral("&Artist :"), m_pArtist), 1, 0);
    pGrid->addWidget(m_pArtist, 1, 1, 1, 3);
    pGrid->addWidget(MakeLabel(QStringLiteral("A&lbum :"), m_pAlbum), 2, 0);
    pGrid->addWidget(m_pAlbum, 2, 1, 1, 3);
    pGrid->addWidget(MakeLabel(QStringLiteral("&Year :"), m_pYear), 3, 0);
    pGrid->addWidget(m_pYear, 3, 1, Qt::AlignLeft);
    pGrid->addWidget(MakeLabel(QStringLiteral("&Genre :"), m_pGenre), 3, 2, Qt::AlignRight);
    pGrid->addWidget(m_pGenre, 3, 3);
    pGrid->addWidget(MakeLabel(QStringLiteral("Co&mment. :"), m_pComment), 4, 0);
    pGrid->addWidget(m_pComment, 4, 1, 1, 3);
    pGrid->setColumnStretch(3, 1);
    pGrid->setRowStretch(5, 1);

    setTabOrder(m_pTitle, m_pArtist);
    setTabOrder(m_pArtist, m_pAlbum);
    setTabOrder(m_pAlbum, m_pYear);
    setTabOrder(m_pYear, m_pGenre);
    setTabOrder(m_pGenre, m_pComment);

    connect(m_pGenre, &QComboBox::currentIndexChanged, this, &CMp3PropertyPage1::OnSelchangeGenre);
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
    case ETagField::Year:
        break;
    }
    return m_pYear;
}

void CMp3PropertyPage1::LoadFields() {
    LoadEdit(*m_pTitle, m_strTitle, ETagField::Title);
    LoadEdit(*m_pArtist, m_strArtist, ETagField::Artist);
    LoadEdit(*m_pAlbum, m_strAlbum, ETagField::Album);
    LoadEdit(*m_pYear, m_strYear, ETagField::Year);
    LoadEdit(*m_pComment, m_strComment, ETagField::Comment);
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
}

void CMp3PropertyPage1::OnSelchangeGenre(int nIndex) {
    if (nIndex >= 0) {
        m_nGenre = m_pGenre->itemData(nIndex).toInt();
    }
}

CMp3PropertySheet::CMp3PropertySheet(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(LoadQString(IDS_PROPERTIES));
    m_pPage = new CMp3PropertyPage1;
    m_pTabs = new QTabWidget;
    m_pTabs->addTab(m_pPage, QStringLiteral("ID3 Tag"));
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
    if (const std::optional<ETagField> eField = FindOverlongField(*m_pPage)) {
        ShowMessageText(
            this,
            LoadQString(IDS_FIELD_TOO_LONG).arg(static_cast<qulonglong>(FieldLimit(*eField))));
        m_pTabs->setCurrentWidget(m_pPage);
        QLineEdit* pEdit = m_pPage->GetEdit(*eField);
        pEdit->setFocus();
        pEdit->selectAll();
        return;
    }
    QDialog::accept();
}

void ReportTagWrites(QWidget* pParent, const STagWriteOutcome& outcome) {
    for (std::size_t i = 0; i < outcome.m_arrNotWritten.size(); ++i) {
        ShowMessage(pParent, IDS_TAG_WRITE_FAILED);
    }
    if (outcome.m_error) {
        // One pass over both markers: a path may itself contain "%2".
        ShowMessageText(pParent, LoadQString(IDS_FILE_ERROR)
                                     .arg(ToQString(outcome.m_error->GetPath()),
                                          ToQString(std::strerror(outcome.m_error->GetErrno()))));
    }
}

bool RunTagEditor(QWidget* pParent, const std::vector<CTrackInfo*>& arrSelected, CTunebrDoc& doc,
                  bool bByGenre, const std::function<void()>& refreshList) {
    const SPageValues before = InitialPageValues(arrSelected);
    CMp3PropertySheet sheet(pParent);
    CMp3PropertyPage1& page = sheet.GetPage();
    static_cast<SPageValues&>(page) = before;
    page.LoadFields();
    if (sheet.exec() != QDialog::Accepted) {
        return false;
    }
    const SPageValues after = page;
    const STagWriteOutcome outcome =
        WriteSelectedTags(ChangesFromPage(before, after, arrSelected.size() == 1), arrSelected,
                          CTagWriter(CFileOps::Current(), doc.GetTagCodec(), false));
    ReportTagWrites(pParent, outcome);
    // The records took the new values even where a write failed or stopped the run, so the panes
    // are brought up to date in every case.
    if (NeedsIndexRebuild(outcome, bByGenre)) {
        doc.RebuildIndex();
    } else if (refreshList) {
        refreshList();
    }
    return true;
}
