// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <QString>

// The texts of the status bar's panes. A null location, count or size leaves its pane as it is,
// an empty one clears it; the description always replaces its pane, with the note icon when it is
// not empty.
struct SStatusTexts {
    QString strLocation;    // the folder or tree node shown
    QString strDescription; // the selected track
    QString strCount;       // how many files
    QString strSize;        // their total size
};

// What the panes ask of the main window. Implemented by the frame; the panes never include it.
class CPaneHost {
public:
    virtual ~CPaneHost() = default;

    virtual void SetStatusTexts(const SStatusTexts& texts) = 0;
    virtual void StartAnimation() = 0;
    virtual void StopAnimation() = 0;
    // Makes the other pane the active one, as Tab and F6 do.
    virtual void SwitchPane() = 0;
};
