// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/aboutdlg.h"

#include "platform/icons.h"
#include "platform/textconv.h"
#include "res/strings.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

// Looks like a link whatever the style: underlined text in the palette's link colour (which
// dark themes lighten), no frame, no pressed state.
class CLinkButton final : public QPushButton {
public:
    explicit CLinkButton(const QString& strText) : QPushButton(strText) {
        setCursor(Qt::PointingHandCursor);
        setFlat(true);
        QFont font = this->font();
        font.setUnderline(true);
        setFont(font);
    }

    QSize sizeHint() const override {
        return fontMetrics().size(Qt::TextSingleLine, text()) + QSize(2, 2);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::Link));
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text());
        if (hasFocus()) {
            // Keyboard users must see where they are.
            painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }
};

} // namespace

CAboutDlg::CAboutDlg(COpenUrl openUrl, QString strHomePage, QWidget* pParent)
    : QDialog(pParent), m_strLink(std::move(strHomePage)), m_openUrl(std::move(openUrl)) {
    setWindowTitle(tr("About Tunebrowse"));
    auto* pIcon = new QLabel;
    pIcon->setPixmap(LoadIcon(EIcon::App).pixmap(32, 32));
    auto* pName = new QLabel(tr("Tunebrowse - version %1").arg(QStringLiteral(TUNEBR_VERSION)));
    pName->setTextFormat(Qt::PlainText);
    auto* pInfo = new QLabel(LoadQString(IDS_ABOUT_INFO));
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok);
    pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(pIcon, 0, 0, 3, 1, Qt::AlignTop);
    pLayout->addWidget(pName, 0, 1);
    pLayout->addWidget(pButtons, 0, 2, Qt::AlignTop);
    pLayout->addWidget(pInfo, 1, 1, 1, 2);
    if (!m_strLink.isEmpty()) {
        auto* pLink = new CLinkButton(m_strLink);
        pLink->setAccessibleName(m_strLink);
        connect(pLink, &QPushButton::clicked, this, &CAboutDlg::OnLinkClicked);
        pLayout->addWidget(new QLabel(tr("Updates, support and informations :")), 2, 1, 1, 2);
        pLayout->addWidget(pLink, 3, 1, 1, 2, Qt::AlignLeft);
    }
    pButtons->button(QDialogButtonBox::Ok)->setFocus();
}

// The result of the request is not looked at: nothing to report if no browser answers.
void CAboutDlg::OnLinkClicked() {
    m_openUrl(ToStdString(m_strLink));
}
