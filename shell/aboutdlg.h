// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QDialog>

#include <functional>
#include <string>

// The About box: icon, name and version, a line about the program, and, where there is one, the
// home page as a link that hands the address to the desktop.
class CAboutDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAboutDlg)

public:
    using COpenUrl = std::function<void(const std::string&)>;

    // Without strHomePage no link is shown: a made-up address would send users nowhere.
    explicit CAboutDlg(COpenUrl openUrl, QString strHomePage = QString(),
                       QWidget* pParent = nullptr);

    void OnLinkClicked();

    const QString m_strLink;

private:
    COpenUrl m_openUrl;
};
