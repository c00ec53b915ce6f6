// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

class QString;

// What the panes ask of the main window. Implemented by the frame; the panes never include it.
class CPaneHost {
public:
    virtual ~CPaneHost() = default;

    // Status bar: a null text0, text3 or text4 leaves its pane unchanged, an empty one clears it;
    // text1 always replaces the description pane, with the note icon when it is not empty.
    virtual void SetStatusTexts(const QString& strText0, const QString& strText1,
                                const QString& strText3, const QString& strText4) = 0;
    virtual void StartAnimation() = 0;
    virtual void StopAnimation() = 0;
    // Makes the other pane the active one, as Tab and F6 do.
    virtual void SwitchPane() = 0;
};
