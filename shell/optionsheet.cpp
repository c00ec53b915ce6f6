// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/optionsheet.h"

#include "platform/icons.h"
#include "platform/messagesink.h"
#include "platform/modalrunner.h"
#include "platform/onepagesheet.h"
#include "platform/settingsstore.h"
#include "platform/textconv.h"
#include "platform/usersettings.h"
#include "res/strings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QGroupBox* MakeGroup(const QString& strTitle, std::initializer_list<QAbstractButton*> buttons) {
    auto* pGroup = new QGroupBox(strTitle);
    auto* pLayout = new QVBoxLayout(pGroup);
    for (QAbstractButton* pButton : buttons) {
        pLayout->addWidget(pButton);
    }
    return pGroup;
}

// Radio buttons that exclude each other, numbered in order from 0.
QGroupBox* MakeChoice(const QString& strTitle, QButtonGroup& choice,
                      std::initializer_list<QString> texts) {
    auto* pGroup = new QGroupBox(strTitle);
    auto* pLayout = new QVBoxLayout(pGroup);
    for (const QString& strText : texts) {
        auto* pButton = new QRadioButton(strText);
        choice.addButton(pButton, static_cast<int>(choice.buttons().size()));
        pLayout->addWidget(pButton);
    }
    return pGroup;
}

// A stored value out of range sets no button: the choice starts empty, and OK keeps the value.
void Check(QButtonGroup& choice, int nId) {
    // An exclusive group refuses to clear its checked button by setChecked(false) alone.
    choice.setExclusive(false);
    for (QAbstractButton* pButton : choice.buttons()) {
        pButton->setChecked(choice.id(pButton) == nId);
    }
    choice.setExclusive(true);
}

void StoreChoice(const QButtonGroup& choice, int& nValue) {
    if (choice.checkedId() >= 0) {
        nValue = choice.checkedId();
    }
}

// A label's text as a screen reader should say it: no mnemonic marker, no colon.
QString AccessibleName(QString strLabel) {
    strLabel.remove(QLatin1Char('&'));
    while (strLabel.endsWith(QLatin1Char(':')) || strLabel.endsWith(QChar::Nbsp) ||
           strLabel.endsWith(QLatin1Char(' '))) {
        strLabel.chop(1);
    }
    return strLabel;
}

} // namespace

COptionPage1::COptionPage1(QWidget* pParent) : QWidget(pParent) {
    m_pAction = new QButtonGroup(this);
    m_pFullRow = new QCheckBox(tr("&Full row selection"));
    m_pAlignment = new QButtonGroup(this);
    m_pKeepTimes = new QCheckBox(LoadQString(IDS_OPT_KEEP_TIMES));
    m_pEncoding = new QComboBox;
    m_pEncoding->setAccessibleName(AccessibleName(LoadQString(IDS_OPT_ENCODING)));
    // The automatic rule is named in the user's language; code pages have names of their own.
    for (const std::string& strName : CTagCodec::Names()) {
        m_pEncoding->addItem(m_pEncoding->count() == 0 ? LoadQString(IDS_ENCODING_AUTOMATIC)
                                                       : ToQString(strName),
                             ToQString(strName));
    }
    m_pPattern = new QLineEdit;
    m_pKeepCatalogue = new QCheckBox(tr("Keep the catalo&gue between runs"));
    m_pPattern->setAccessibleName(AccessibleName(LoadQString(IDS_OPT_PATTERN)));
    auto* pPatternLabel = new QLabel(LoadQString(IDS_OPT_PATTERN));
    pPatternLabel->setBuddy(m_pPattern);
    auto* pEncodingLabel = new QLabel(LoadQString(IDS_OPT_ENCODING));
    pEncodingLabel->setBuddy(m_pEncoding);

    auto* pIcon = new QLabel;
    pIcon->setPixmap(LoadIcon(EIcon::App).pixmap(32, 32));
    pIcon->setAlignment(Qt::AlignTop);
    auto* pGroups = new QVBoxLayout;
    pGroups->addWidget(MakeChoice(tr("Enter key and double-click action"), *m_pAction,
                                  {tr("&Play"), tr("&Enqueue"), tr("P&roperties")}));
    pGroups->addWidget(MakeGroup(tr("Row selection"), {m_pFullRow}));
    pGroups->addWidget(
        MakeChoice(tr("Columns alignment"), *m_pAlignment, {tr("&Left justify"), tr("&Center")}));
    QGroupBox* pTags = MakeGroup(tr("Tags"), {m_pKeepTimes});
    auto* pEncoding = new QHBoxLayout;
    pEncoding->addWidget(pEncodingLabel);
    pEncoding->addWidget(m_pEncoding, 1);
    static_cast<QVBoxLayout*>(pTags->layout())->addLayout(pEncoding);
    pGroups->addWidget(pTags);
    auto* pPattern = new QHBoxLayout;
    pPattern->addWidget(pPatternLabel);
    pPattern->addWidget(m_pPattern, 1);
    pGroups->addLayout(pPattern);
    pGroups->addWidget(m_pKeepCatalogue);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->addWidget(pIcon);
    pLayout->addLayout(pGroups, 1);
}

COptionSheet::COptionSheet(CMessageSink& messages, QWidget* pParent)
    : QDialog(pParent), m_messages(messages) {
    setWindowTitle(LoadQString(IDS_OPTIONS));
    m_pPage = new COptionPage1;
    LayOutOnePageSheet(*this, m_pPage, tr("List options"));
}

void COptionSheet::LoadOptions(const CUserSettings& settings, COptionPage1& page) {
    page.m_pFullRow->setChecked(settings.m_bFullRowSelection == 1);
    Check(*page.m_pAlignment, settings.m_nColumnAlignment);
    Check(*page.m_pAction, settings.m_nDoubleClickAction);
    page.m_pKeepTimes->setChecked(settings.m_bKeepFileTimes != 0);
    page.m_pKeepCatalogue->setChecked(settings.m_bKeepCatalogue != 0);
    const QString strEncoding = ToQString(TagCodecOf(settings.m_strTagEncoding).GetName());
    page.m_pEncoding->setCurrentIndex(std::max(0, page.m_pEncoding->findData(strEncoding)));
    // An empty stored pattern finds nothing: the sheet offers the usual one instead.
    page.m_pPattern->setText(settings.m_strFileExt.empty() ? QStringLiteral("*.mp3")
                                                           : ToQString(settings.m_strFileExt));
}

void COptionSheet::accept() {
    if (m_pPage->m_pPattern->text().trimmed().isEmpty()) {
        m_messages.Show(this, LoadQString(IDS_PATTERN_EMPTY));
        m_pPage->m_pPattern->setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::accept();
}

CTagCodec COptionSheet::TagCodecOf(const std::string& strName) {
    return CTagCodec::FromName(strName).value_or(CTagCodec());
}

void COptionSheet::StoreOptions(const COptionPage1& page, CUserSettings& settings,
                                CSettingsStore& store) {
    const char* pszUser = CUserSettings::SECTION_USER;
    settings.m_bFullRowSelection = page.m_pFullRow->isChecked() ? 1 : 0;
    store.WriteInt(pszUser, "FullRowSelection", settings.m_bFullRowSelection);
    StoreChoice(*page.m_pAlignment, settings.m_nColumnAlignment);
    store.WriteInt(pszUser, "ColumnAlignment", settings.m_nColumnAlignment);
    StoreChoice(*page.m_pAction, settings.m_nDoubleClickAction);
    store.WriteInt(pszUser, "DoubleClickAction", settings.m_nDoubleClickAction);
    settings.m_bKeepFileTimes = page.m_pKeepTimes->isChecked() ? 1 : 0;
    store.WriteInt(pszUser, "KeepFileTimes", settings.m_bKeepFileTimes);
    settings.m_bKeepCatalogue = page.m_pKeepCatalogue->isChecked() ? 1 : 0;
    store.WriteInt(pszUser, "KeepCatalogue", settings.m_bKeepCatalogue);
    settings.m_strTagEncoding = ToStdString(page.m_pEncoding->currentData().toString());
    store.WriteString(pszUser, "TagEncoding", settings.m_strTagEncoding);
    const std::string strPattern = ToStdString(page.m_pPattern->text().trimmed());
    if (!strPattern.empty()) {
        settings.m_strFileExt = strPattern;
        store.WriteString(CUserSettings::SECTION_MP3, "FileExt", settings.m_strFileExt);
    }
}

bool COptionSheet::RunOptions(QWidget* pParent, CMessageSink& messages, CModalRunner& modals,
                              CUserSettings& settings, CSettingsStore& store) {
    COptionSheet sheet(messages, pParent);
    LoadOptions(settings, sheet.GetPage());
    if (modals.Exec(sheet) != QDialog::Accepted) {
        return false;
    }
    StoreOptions(sheet.GetPage(), settings, store);
    // The options are kept at once, in one pass over the file.
    store.Flush();
    return true;
}
