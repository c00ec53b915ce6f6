// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "panes/panehost.h"

#include <QStatusBar>

class QLabel;

// The five panes of the status bar: location, description (with the note icon), organisation
// icon, count and size. Menu prompts use Qt's temporary messages, which cover the panes while a
// menu is open and give them back when it closes.
class CStatusPanes final : public QStatusBar {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CStatusPanes)

public:
    explicit CStatusPanes(QWidget* pParent = nullptr);

    void SetStatusTexts(const SStatusTexts& texts);
    // Pane 0 alone, for the running count of a scan. A whole text keeps its width whatever the
    // window's; the next text that is not whole gives it back.
    void SetLocationText(const QString& strText, bool bWhole = false);
    // 0 by artist (face), 1 by genre (clef), anything else the note.
    void SetOrganisationIcon(int nViewType);

    QString GetPaneText(int nPane) const;
    bool HasDescriptionIcon() const;
    // The pane is wide enough for its text, as laid out now.
    bool IsPaneTextWhole(int nPane) const;
    int GetOrganisationIconKind() const { return m_nOrganisationIcon; }

private:
    QLabel* m_apText[5] = {};
    QLabel* m_pDescriptionIcon = nullptr;
    QLabel* m_pOrganisationIcon = nullptr;
    int m_nOrganisationIcon = -1;
};
