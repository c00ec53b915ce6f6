// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "actions/playerhandoff.h"
#include "actions/tagundohistory.h"
#include "actions/tagwriterun.h"
#include "platform/handoffwatch.h"

#include <QPoint>
#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CFileOps;
class CId3v2Tag;
class COtherTagsRead;
class CTagWriteRun;
class CTrackInfo;
class CMessageSink;
class CModalRunner;
class CNameFormatDialog;
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
    // A write still running stops after the file it is in, which it is given a moment to
    // finish: a tag is never left half written by a quit. A share that stopped answering is not
    // waited for longer.
    ~CTrackCommands();
    CTrackCommands(const CTrackCommands&) = delete;
    CTrackCommands& operator=(const CTrackCommands&) = delete;

    void OnPlay();
    void OnEnqueue();
    // Opens the tag editor once the one file's other tags are read (off the window's thread),
    // and writes what OK asks for off it too. Nothing while a write runs or the editor opens.
    void OnProperties();
    void OnEditCopy();
    // Asks for a format and renames the selected files from their tags, or writes into their
    // tags the fields their names give, off the window's thread. Nothing while a write runs.
    void OnRenameFromTags();
    void OnTagsFromNames();
    // Takes the last tag edit or rename back, off the window's thread; nothing when there is none
    // or a write runs.
    void OnUndo();
    const CTagUndoHistory& GetUndoHistory() const { return m_history; }

    // The editor is opening or a run of writes is on: no other may start.
    bool IsBusy() const;
    // The run of writes going on, or the last one; null before the first.
    CTagWriteRun* GetWriteRun() const { return m_pRun.get(); }
    // The read of the file's tags before the editor opens, while it runs.
    COtherTagsRead* GetOtherTagsRead() const { return m_pOpening; }
    // Stops the running write after the file it is in.
    // Stops the editor's opening read, or a write after the file it is writing.
    void Cancel();
    // Told when IsBusy changes, and when a run of writes starts (GetWriteRun is the new one).
    void SetBusyListener(std::function<void()> fnBusyChanged) {
        m_fnBusyChanged = std::move(fnBusyChanged);
    }
    // Told what the status bar should say of a command: the rows Play and Enqueue left out.
    void SetStatusListener(std::function<void(const QString&)> fnStatus) {
        m_fnStatus = std::move(fnStatus);
    }
    // The programs Play and Enqueue started, while they pass the tracks on.
    CHandoffWatch& GetHandoffWatch() { return m_watch; }

    // Enter and double click: the action chosen in the options, whatever the selection; an
    // unknown stored value does nothing.
    void DoDoubleClickAction();

    // The window's commands the list's context menu offers, enabled as they are.
    struct SMenuCommands {
        QAction* pPlay;
        QAction* pEnqueue;
        QAction* pCopy;
        QAction* pProperties;
        QAction* pRenameFromTags;
        QAction* pTagsFromNames;
    };
    void ShowContextMenu(const QPoint& ptScreen, const SMenuCommands& commands);

private:
    void FollowHandoff(const SHandoffResult& result);
    // nRebuilds: the document's count when the read began.
    void OnOtherTagsRead(const std::vector<CTrackInfo*>& arrSelected, std::size_t nRebuilds,
                         std::optional<CId3v2Tag> tag);
    void OpenEditor(const std::vector<CTrackInfo*>& arrSelected, const CId3v2Tag* pOtherTags);
    void StartRun(std::unique_ptr<CTagWriteRun> pRun);
    // False when the dialog was cancelled or its records went meanwhile; strFormat is the one
    // last used, and becomes the one given, in the settings too.
    bool AskNameFormat(CNameFormatDialog& dialog, std::string& strFormat,
                       const char* pszSettingName);
    STagRunContext MakeRunContext(const CTagWriter& writer);
    void TellBusyChanged();
    // The settings of the moment: the codec and whether times are kept may have changed since
    // the last edit.
    // An undo needs no option of its own: what it takes back is in the history.
    CTagWriter MakeWriter(bool bAlsoId3v2 = false) const;

    CTunebrView& m_view;
    CTunebrDoc& m_doc;
    const CUserSettings& m_settings;
    bool m_bAlsoId3v2; // the editor's box, as last left
    CShellHandoff& m_shell;
    CFileOps& m_fileOps;
    CMessageSink& m_messages;
    CModalRunner& m_modals;
    // The name dialogs' formats, as last used.
    std::string m_strRenameFormat;
    std::string m_strTagsFromNameFormat;
    CTagUndoHistory m_history;
    CHandoffWatch m_watch;
    // As long as the window: the playlist it writes goes with it.
    CPlayerHandoff m_handoff;
    // Kept after its end, until the next: it may be reporting from inside its own call.
    std::unique_ptr<CTagWriteRun> m_pRun;
    COtherTagsRead* m_pOpening = nullptr; // deleted later: it calls back from inside itself
    std::function<void()> m_fnBusyChanged;
    std::function<void(const QString&)> m_fnStatus;
    static constexpr std::chrono::milliseconds QUIT_WAIT{1000};
};
