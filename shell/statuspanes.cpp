// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/statuspanes.h"

#include "platform/icons.h"
#include "platform/textconv.h"
#include "platform/usersettings.h"
#include "res/strings.h"

#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

namespace {

constexpr int ICON_SIZE = 16;
constexpr int LOCATION_WIDTH = 150;

QLabel* MakeTextPane(int nWidth) {
    auto* pLabel = new QLabel;
    pLabel->setMinimumWidth(nWidth);
    pLabel->setTextFormat(Qt::PlainText);
    return pLabel;
}

} // namespace

CStatusPanes::CStatusPanes(QWidget* pParent) : QStatusBar(pParent) {
    m_apText[0] = MakeTextPane(LOCATION_WIDTH);
    addWidget(m_apText[0]);

    // The description pane takes the free width, with room for the note icon in front.
    auto* pDescription = new QWidget;
    auto* pLayout = new QHBoxLayout(pDescription);
    pLayout->setContentsMargins(0, 0, 0, 0);
    m_pDescriptionIcon = new QLabel;
    m_pDescriptionIcon->setFixedSize(ICON_SIZE, ICON_SIZE);
    m_apText[1] = MakeTextPane(100);
    pLayout->addWidget(m_pDescriptionIcon);
    pLayout->addWidget(m_apText[1], 1);
    addWidget(pDescription, 1);

    m_pOrganisationIcon = new QLabel;
    m_pOrganisationIcon->setFixedSize(ICON_SIZE + 4, ICON_SIZE);
    addWidget(m_pOrganisationIcon);

    m_apText[3] = MakeTextPane(150);
    addWidget(m_apText[3]);
    m_apText[4] = MakeTextPane(65);
    addWidget(m_apText[4]);
}

void CStatusPanes::SetStatusTexts(const SStatusTexts& texts) {
    if (!texts.strLocation.isNull()) {
        m_apText[0]->setText(texts.strLocation);
    }
    m_apText[1]->setText(texts.strDescription);
    m_pDescriptionIcon->setPixmap(texts.strDescription.isEmpty()
                                      ? QPixmap()
                                      : LoadIcon(EIcon::Note).pixmap(ICON_SIZE, ICON_SIZE));
    if (!texts.strCount.isNull()) {
        m_apText[3]->setText(texts.strCount);
    }
    if (!texts.strSize.isNull()) {
        m_apText[4]->setText(texts.strSize);
    }
}

void CStatusPanes::SetLocationText(const QString& strText, bool bWhole) {
    QLabel* pPane = m_apText[0];
    // A path may be cut; a text that says what the window is doing must be read whole, at any
    // font: the description pane beside it gives up the width.
    const int nWidth =
        bWhole ? pPane->fontMetrics().horizontalAdvance(strText) + 2 * pPane->margin() + 4 : 0;
    pPane->setMinimumWidth(std::max(LOCATION_WIDTH, nWidth));
    pPane->setText(strText);
}

bool CStatusPanes::IsPaneTextWhole(int nPane) const {
    const QLabel* pPane = nPane >= 0 && nPane < 5 ? m_apText[nPane] : nullptr;
    return pPane != nullptr &&
           pPane->contentsRect().width() >= pPane->fontMetrics().horizontalAdvance(pPane->text());
}

void CStatusPanes::SetOrganisationIcon(int nViewType) {
    const EIcon eIcon = nViewType == CUserSettings::VIEW_BY_ARTIST  ? EIcon::Face
                        : nViewType == CUserSettings::VIEW_BY_GENRE ? EIcon::Clef
                                                                    : EIcon::Note;
    m_nOrganisationIcon = static_cast<int>(eIcon);
    m_pOrganisationIcon->setPixmap(LoadIcon(eIcon).pixmap(ICON_SIZE, ICON_SIZE));
    // A picture alone says nothing to a screen reader.
    m_pOrganisationIcon->setAccessibleName(
        nViewType == CUserSettings::VIEW_BY_ARTIST  ? LoadQString(IDS_BY_ARTIST)
        : nViewType == CUserSettings::VIEW_BY_GENRE ? LoadQString(IDS_BY_GENRE)
                                                    : QString());
}

QString CStatusPanes::GetPaneText(int nPane) const {
    return nPane >= 0 && nPane < 5 && m_apText[nPane] ? m_apText[nPane]->text() : QString();
}

bool CStatusPanes::HasDescriptionIcon() const {
    return !m_pDescriptionIcon->pixmap().isNull();
}
