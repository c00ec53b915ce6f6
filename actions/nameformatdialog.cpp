// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "actions/nameformatdialog.h"

#include "actions/tagedit.h"
#include "catalogue/genres.h"
#include "catalogue/nameformat.h"
#include "catalogue/tagcodec.h"
#include "catalogue/trackinfo.h"
#include "platform/folders.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {

using EField = CNameFormat::EField;

// The list's own column names: the user knows the fields by them.
QString FieldName(EField eField) {
    switch (eField) {
    case EField::Title:
        return LoadQString(IDS_COL_TITLE);
    case EField::Artist:
        return LoadQString(IDS_COL_ARTIST);
    case EField::Album:
        return LoadQString(IDS_COL_ALBUM);
    case EField::Year:
        return LoadQString(IDS_COL_YEAR);
    case EField::Track:
        return LoadQString(IDS_COL_TRACK);
    case EField::Genre:
        return LoadQString(IDS_COL_GENRE);
    case EField::Comment:
        return LoadQString(IDS_COL_COMMENT);
    }
    return QString();
}

QString NameText(std::string_view strName) {
    return DisplayPath(std::string(strName));
}

// What a verdict that leaves the file as it is, or refuses it, tells the user.
QString VerdictText(ERenameVerdict eVerdict) {
    switch (eVerdict) {
    case ERenameVerdict::Same:
        return CNameFormatDialog::tr("already has this name");
    case ERenameVerdict::NoName:
        return CNameFormatDialog::tr("its tag leaves nothing of a name");
    case ERenameVerdict::Exists:
        return CNameFormatDialog::tr("a file of that name exists");
    case ERenameVerdict::TakenBefore:
        return CNameFormatDialog::tr("a file above takes that name");
    case ERenameVerdict::Missing:
        return CNameFormatDialog::tr("the file is not there any more");
    case ERenameVerdict::Duplicate:
        return CNameFormatDialog::tr("listed twice");
    case ERenameVerdict::Rename:
        break;
    }
    return QString();
}

QString LossText(ETagLoss eLoss) {
    switch (eLoss) {
    case ETagLoss::TrackNumber:
        return CNameFormatDialog::tr("the comment would replace its track number");
    case ETagLoss::CommentEnd:
        return CNameFormatDialog::tr(
            "the track number would cut its comment of more than 28 bytes");
    case ETagLoss::None:
        break;
    }
    return QString();
}

// Why a value found in a name is refused, in the user's language, the field by its column's name.
QString RefusalText(const SFieldRefusal& refusal, const CTagCodec& codec) {
    using EWhy = SFieldRefusal::EWhy;
    const auto& arrAll = CNameFormat::Placeholders();
    const auto it = std::find_if(arrAll.begin(), arrAll.end(), [&refusal](const auto& p) {
        return p.pszFieldName != nullptr && refusal.strField == p.pszFieldName;
    });
    if (it == arrAll.end()) {
        return ToQString(refusal.Text());
    }
    const QString strField = FieldName(it->eField);
    const QString strValue = ToQString(refusal.strValue);
    // The options name the automatic encoding in the user's language; code pages by their names.
    const QString strCodec =
        codec.IsAutomatic() ? LoadQString(IDS_ENCODING_AUTOMATIC) : ToQString(refusal.strCodec);
    switch (refusal.eWhy) {
    case EWhy::NotATrack:
        return CNameFormatDialog::tr("%1: \"%2\" is no number from 1 to 255")
            .arg(strField, strValue);
    case EWhy::NotAGenre:
        return CNameFormatDialog::tr(
                   "%1: \"%2\" is neither a number from 0 to 255 nor the name of a genre")
            .arg(strField, strValue);
    case EWhy::NotStorable:
        return CNameFormatDialog::tr("%1: \"%2\" has characters that %3 cannot store")
            .arg(strField, strValue, strCodec);
    case EWhy::TooWide:
        return CNameFormatDialog::tr("%1: %2 bytes in %3, over the field's %4")
            .arg(strField)
            .arg(refusal.nBytes)
            .arg(strCodec)
            .arg(refusal.nWidth);
    case EWhy::CommentBesideTrack:
        return CNameFormatDialog::tr("%1: %2 bytes in %3, over the %4 a track number leaves it")
            .arg(strField)
            .arg(refusal.nBytes)
            .arg(strCodec)
            .arg(refusal.nWidth);
    case EWhy::UnknownField:
        break;
    }
    return ToQString(refusal.Text());
}

// Why the format cannot serve the mode, or nothing.
std::optional<QString> FormatProblem(const std::optional<CNameFormat>& format,
                                     CNameFormatDialog::EMode eMode) {
    if (!format) {
        return CNameFormatDialog::tr(
            "A '%' must be followed by a placeholder letter, or by '%' for a percent sign.");
    }
    if (eMode == CNameFormatDialog::EMode::TagsFromNames && !format->CheckForMatching().empty()) {
        return CNameFormatDialog::tr("To read names the format needs a placeholder, each at most "
                                     "once, and no '/'.");
    }
    return std::nullopt;
}

} // namespace

CNameFormatDialog::CNameFormatDialog(QWidget* pParent, EMode eMode,
                                     std::vector<CTrackInfo*> arrSelected, const CTagCodec& codec,
                                     CFileOps& ops, const std::string& strFormat)
    : QDialog(pParent), m_eMode(eMode), m_arrSelected(std::move(arrSelected)), m_codec(codec),
      m_ops(ops) {
    CreateControls();
    m_pFormat->setText(ToQString(UsableFormat(eMode, strFormat)));
    connect(m_pFormat, &QLineEdit::textChanged, this, &CNameFormatDialog::UpdatePreview);
    UpdatePreview();
}

CNameFormatDialog::~CNameFormatDialog() = default;

std::string CNameFormatDialog::UsableFormat(EMode eMode, const std::string& strStored) {
    std::string strError;
    const std::optional<CNameFormat> format = CNameFormat::Parse(strStored, strError);
    const bool bUsable = !strStored.empty() && !FormatProblem(format, eMode);
    return bUsable ? strStored : DEFAULT_FORMAT;
}

void CNameFormatDialog::CreateControls() {
    const bool bRename = m_eMode == EMode::RenameFromTags;
    setWindowTitle(bRename ? tr("Rename Files from Tags") : tr("Tags from File Names"));
    m_pFormat = new QLineEdit;
    m_pFormat->setAccessibleName(tr("Format"));
    auto* pLabel = new QLabel(tr("&Format:"));
    pLabel->setBuddy(m_pFormat);
    m_pPlaceholders = new QToolButton;
    m_pPlaceholders->setText(tr("&Insert"));
    m_pPlaceholders->setPopupMode(QToolButton::InstantPopup);
    auto* pMenu = new QMenu(m_pPlaceholders);
    for (const CNameFormat::SPlaceholder& placeholder : CNameFormat::Placeholders()) {
        const QString strCode = QStringLiteral("%") + QLatin1Char(placeholder.cLetter);
        pMenu->addAction(strCode + QLatin1Char('\t') + FieldName(placeholder.eField), this,
                         [this, strCode] { InsertPlaceholder(strCode); });
    }
    pMenu->addAction(QStringLiteral("%%\t") + tr("Percent sign"), this,
                     [this] { InsertPlaceholder(QStringLiteral("%%")); });
    m_pPlaceholders->setMenu(pMenu);
    m_pProblem = new QLabel;
    m_pProblem->setWordWrap(true);
    m_pPreview = new QTableWidget(0, COLUMN_COUNT);
    m_pPreview->setHorizontalHeaderLabels(
        {tr("File"), bRename ? tr("New name") : tr("Fields found"), tr("Left alone because")});
    m_pPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pPreview->verticalHeader()->hide();
    m_pPreview->horizontalHeader()->setStretchLastSection(true);
    m_pPreview->setAccessibleName(tr("Preview"));
    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* pFormatRow = new QHBoxLayout;
    pFormatRow->addWidget(pLabel);
    pFormatRow->addWidget(m_pFormat, 1);
    pFormatRow->addWidget(m_pPlaceholders);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pFormatRow);
    pLayout->addWidget(m_pProblem);
    pLayout->addWidget(m_pPreview, 1);
    pLayout->addWidget(m_pButtons);
    resize(640, 400);
}

void CNameFormatDialog::InsertPlaceholder(const QString& strPlaceholder) {
    m_pFormat->insert(strPlaceholder);
    m_pFormat->setFocus(Qt::OtherFocusReason);
}

std::string CNameFormatDialog::GetFormat() const {
    return m_pFormat->text().toStdString();
}

std::vector<SRenameStep> CNameFormatDialog::GetRenames() const {
    std::vector<SRenameStep> arrRenames;
    for (const SRenameStep& step : m_arrPlan) {
        if (step.m_eVerdict == ERenameVerdict::Rename) {
            arrRenames.push_back(step);
        }
    }
    return arrRenames;
}

void CNameFormatDialog::UpdatePreview() {
    m_pPreview->setRowCount(0);
    m_arrPlan.clear();
    m_arrTagged.clear();
    std::string strError;
    const std::optional<CNameFormat> format = CNameFormat::Parse(GetFormat(), strError);
    const std::optional<QString> strProblem = FormatProblem(format, m_eMode);
    m_pProblem->setText(strProblem.value_or(QString()));
    m_pProblem->setVisible(strProblem.has_value());
    // A plan of an older format still on its way is of no use any more.
    m_planCalls.Forget();
    m_bPreviewPending = false;
    if (!strProblem) {
        if (m_eMode == EMode::RenameFromTags) {
            PreviewRenames(*format);
        } else {
            PreviewTags(*format);
        }
    }
    EnableOk();
}

void CNameFormatDialog::EnableOk() {
    const bool bAnything = !GetRenames().empty() || !m_arrTagged.empty();
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(bAnything && !m_bPreviewPending);
}

void CNameFormatDialog::PreviewRenames(const CNameFormat& format) {
    std::vector<CRenamePlan::SWanted> arrWanted;
    arrWanted.reserve(m_arrSelected.size());
    for (const CTrackInfo* pTrack : m_arrSelected) {
        arrWanted.push_back({pTrack->GetFullPath(), format.Expand(*pTrack)});
    }
    // The names are made here, from the records; only the look at the folders goes elsewhere.
    m_bPreviewPending = true;
    m_planCalls.Run<std::vector<SRenameStep>>(
        [arrWanted = std::move(arrWanted), &ops = m_ops] {
            return CRenamePlan::Make(arrWanted, ops);
        },
        [this](std::vector<SRenameStep> arrPlan) { ShowPlan(std::move(arrPlan)); });
}

void CNameFormatDialog::ShowPlan(std::vector<SRenameStep> arrPlan) {
    m_arrPlan = std::move(arrPlan);
    for (const SRenameStep& step : m_arrPlan) {
        AddRow(step.m_strOldName, NameText(step.m_strNewName), VerdictText(step.m_eVerdict),
               step.IsRefused());
    }
    m_bPreviewPending = false;
    EnableOk();
}

void CNameFormatDialog::PreviewTags(const CNameFormat& format) {
    for (CTrackInfo* pTrack : m_arrSelected) {
        const auto arrFound = format.MatchFileName(pTrack->GetFileName(), m_codec);
        if (!arrFound) {
            AddRow(std::string(pTrack->GetFileName()), QString(),
                   tr("the name does not match the format"), true);
            continue;
        }
        QStringList arrFields;
        for (const auto& [eField, strText] : *arrFound) {
            if (!strText.empty()) {
                arrFields.push_back(FieldName(eField) + QStringLiteral(": ") + ToQString(strText));
            }
        }
        const QString strFields = arrFields.join(QStringLiteral("; "));
        SFieldRefusal refusal;
        const std::optional<STagChanges> changes =
            CNameFormat::ToFittingChanges(*arrFound, m_codec, refusal);
        QString strRefusal;
        if (!changes) {
            strRefusal = tr("a value is refused: %1").arg(RefusalText(refusal, m_codec));
        } else if (changes->IsEmpty()) {
            strRefusal = tr("no field is found");
        } else {
            strRefusal = LossText(FindSilentLoss(*changes, {pTrack}, m_codec).m_eLoss);
        }
        if (strRefusal.isEmpty()) {
            m_arrTagged.push_back(pTrack);
        }
        AddRow(std::string(pTrack->GetFileName()), strFields, strRefusal, !strRefusal.isEmpty());
    }
}

void CNameFormatDialog::AddRow(const std::string& strOldName, const QString& strResult,
                               const QString& strWhy, bool bRefused) {
    const int nRow = m_pPreview->rowCount();
    m_pPreview->insertRow(nRow);
    m_pPreview->setItem(nRow, COL_FILE, new QTableWidgetItem(NameText(strOldName)));
    m_pPreview->setItem(nRow, COL_RESULT, new QTableWidgetItem(strResult));
    // The mark tells a refusal from a file simply left as it is, in colour or not.
    auto* pWhy = new QTableWidgetItem(bRefused ? QStringLiteral("\u2716 ") + strWhy : strWhy);
    if (bRefused) {
        QFont font = pWhy->font();
        font.setBold(true);
        pWhy->setFont(font);
    }
    m_pPreview->setItem(nRow, COL_WHY, pWhy);
}
