// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/trackcommands.h"

#include "actions/clipboardcopy.h"
#include "actions/mp3propertysheet.h"
#include "actions/playerhandoff.h"
#include "catalogue/hints.h"
#include "catalogue/posixio.h"
#include "catalogue/tunebrdoc.h"
#include "panes/tunebrview.h"
#include "platform/modalrunner.h"
#include "platform/usersettings.h"

#include <QMenu>

CTrackCommands::CTrackCommands(CTunebrView& view, CTunebrDoc& doc, const CUserSettings& settings,
                               CShellHandoff& shell, CFileOps& ops, CMessageSink& messages,
                               CModalRunner& modals)
    : m_view(view), m_doc(doc), m_settings(settings), m_shell(shell), m_fileOps(ops),
      m_messages(messages), m_modals(modals) {
}

void CTrackCommands::OnPlay() {
    FollowHandoff(CPlayerHandoff(m_shell).Play(m_view.GetSelectedTracks()));
}

void CTrackCommands::OnEnqueue() {
    FollowHandoff(CPlayerHandoff(m_shell).Enqueue(m_view.GetSelectedTracks()));
}

void CTrackCommands::FollowHandoff(const SHandoffResult& result) {
    m_watch.Watch(result.nPid);
    ShowHandoffResult(&m_view, m_messages, result);
}

// Writing a tag replaces its record: no filter match may read the records meanwhile.
void CTrackCommands::OnProperties() {
    CTunebrView& view = m_view;
    const CTunebrView::CRecordChange change(m_view);
    RunTagEditor(&m_view, m_messages, m_modals, m_view.GetSelectedTracks(), m_doc, MakeWriter(),
                 m_history, m_view.IsByGenre(),
                 [&view] { view.OnUpdate(nullptr, HINT_SHOW_TRACKS, view.GetTrackList()); });
}

void CTrackCommands::OnUndo() {
    const CTunebrView::CRecordChange change(m_view);
    RunTagUndo(&m_view, m_messages, m_history, m_doc, MakeWriter());
}

CTagWriter CTrackCommands::MakeWriter() const {
    return CTagWriter(m_fileOps, m_doc.GetTagCodec(), m_settings.m_bKeepFileTimes != 0);
}

void CTrackCommands::OnEditCopy() {
    ::OnEditCopy(&m_view, m_messages, m_view.GetSelectedTracks());
}

void CTrackCommands::DoDoubleClickAction() {
    switch (m_settings.m_nDoubleClickAction) {
    case 0:
        OnPlay();
        break;
    case 1:
        OnEnqueue();
        break;
    case 2:
        OnProperties();
        break;
    default:
        break;
    }
}

void CTrackCommands::ShowContextMenu(const QPoint& ptScreen, QAction* pPlay, QAction* pEnqueue,
                                     QAction* pCopy, QAction* pProperties) {
    QMenu menu(&m_view);
    // The window's actions carry the shortcuts; the menu's own captions differ a little.
    auto add = [&menu](const char* pszText, QAction* pCommand) {
        QAction* pItem = menu.addAction(QString::fromUtf8(pszText), pCommand, &QAction::trigger);
        pItem->setEnabled(pCommand->isEnabled());
    };
    add("&Play", pPlay);
    add("&Enqueue", pEnqueue);
    menu.addSeparator();
    add("&Copy", pCopy);
    menu.addSeparator();
    add("&Properties ...", pProperties);
    m_modals.Exec(menu, ptScreen);
}
