// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "actions/tagundohistory.h"
#include "platform/handoffwatch.h"

#include <QPoint>

class CFileOps;
class CMessageSink;
class CModalRunner;
class CShellHandoff;
class CTunebrDoc;
class CTunebrView;
class CUserSettings;
class QAction;
struct SHandoffResult;

// What the user does with the list's selected rows: play, enqueue, edit the tags, copy; and
// taking the last tag edits back. The commands take the selection from the top row down, as
// shown.
class CTrackCommands final {
public:
    // Tags are written through ops; what went wrong is told through messages; the tag editor
    // and the context menu run through modals.
    CTrackCommands(CTunebrView& view, CTunebrDoc& doc, const CUserSettings& settings,
                   CShellHandoff& shell, CFileOps& ops, CMessageSink& messages,
                   CModalRunner& modals);

    void OnPlay();
    void OnEnqueue();
    void OnProperties();
    void OnEditCopy();
    // Takes the last tag edit back; nothing when there is none.
    void OnUndo();
    const CTagUndoHistory& GetUndoHistory() const { return m_history; }
    // The programs Play and Enqueue started, while they pass the tracks on.
    CHandoffWatch& GetHandoffWatch() { return m_watch; }

    // Enter and double click: the action chosen in the options, whatever the selection; an
    // unknown stored value does nothing.
    void DoDoubleClickAction();

    // Play, Enqueue, Copy and Properties, enabled as their window commands are.
    void ShowContextMenu(const QPoint& ptScreen, QAction* pPlay, QAction* pEnqueue, QAction* pCopy,
                         QAction* pProperties);

private:
    void FollowHandoff(const SHandoffResult& result);
    // The settings of the moment: the codec and whether times are kept may have changed since
    // the last edit.
    CTagWriter MakeWriter() const;

    CTunebrView& m_view;
    CTunebrDoc& m_doc;
    const CUserSettings& m_settings;
    CShellHandoff& m_shell;
    CFileOps& m_fileOps;
    CMessageSink& m_messages;
    CModalRunner& m_modals;
    CTagUndoHistory m_history;
    CHandoffWatch m_watch;
};
