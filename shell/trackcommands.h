#pragma once

#include <QPoint>

class CShellHandoff;
class CTunebrDoc;
class CTunebrView;
class CUserSettings;
class QAction;

// What the user does with the list's selected rows: play, enqueue, edit the tags, copy. The
// commands take the selection from the top row down, as shown.
class CTrackCommands final {
public:
    CTrackCommands(CTunebrView& view, CTunebrDoc& doc, const CUserSettings& settings,
                   CShellHandoff& shell);

    void OnPlay();
    void OnEnqueue();
    void OnProperties();
    void OnEditCopy();

    // Enter and double click: the action chosen in the options, whatever the selection; an
    // unknown stored value does nothing.
    void DoDoubleClickAction();

    // Play, Enqueue, Copy and Properties, enabled as their window commands are.
    void ShowContextMenu(const QPoint& ptScreen, QAction* pPlay, QAction* pEnqueue, QAction* pCopy,
                         QAction* pProperties);

private:
    CTunebrView& m_view;
    CTunebrDoc& m_doc;
    const CUserSettings& m_settings;
    CShellHandoff& m_shell;
};
