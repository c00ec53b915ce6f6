// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/trackcommands.h"

#include "actions/clipboardcopy.h"
#include "actions/mp3propertysheet.h"
#include "actions/nameformatdialog.h"
#include "actions/othertagsread.h"
#include "actions/playerhandoff.h"
#include "actions/renamerun.h"
#include "actions/tageditrun.h"
#include "actions/tagundorun.h"
#include "catalogue/hints.h"
#include "catalogue/nameformat.h"
#include "catalogue/posixio.h"
#include "catalogue/tunebrdoc.h"
#include "panes/tunebrview.h"
#include "platform/folders.h"
#include "platform/modalrunner.h"
#include "platform/settingsstore.h"
#include "platform/textconv.h"
#include "platform/usersettings.h"

#include "res/strings.h"

#include <QCoreApplication>
#include <QMenu>
#include <QStringList>

namespace {

// The rows left out, by name, the first few: a status bar holds one line.
QString NotFilesText(const std::vector<std::string>& arrPaths) {
    constexpr std::size_t NAMES_SHOWN = 5;
    QStringList arrNames;
    for (std::size_t i = 0; i < arrPaths.size() && i < NAMES_SHOWN; ++i) {
        const std::string& strPath = arrPaths[i];
        const std::size_t nSlash = strPath.rfind('/');
        const std::string strName =
            nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
        arrNames.append(DisplayPath(strName));
    }
    if (arrPaths.size() > NAMES_SHOWN) {
        arrNames.append(QStringLiteral("\u2026 (%1)").arg(ToQString(FormatCount(arrPaths.size()))));
    }
    return LoadQString(IDS_NOT_FILES).arg(arrNames.join(QStringLiteral(", ")));
}

} // namespace

CTrackCommands::CTrackCommands(CTunebrView& view, CTunebrDoc& doc, const CUserSettings& settings,
                               CShellHandoff& shell, CFileOps& ops, CMessageSink& messages,
                               CModalRunner& modals)
    : m_view(view), m_doc(doc), m_settings(settings), m_bAlsoId3v2(settings.m_bAlsoWriteId3v2 != 0),
      m_shell(shell), m_fileOps(ops), m_messages(messages), m_modals(modals),
      m_strRenameFormat(settings.m_strRenameFormat),
      m_strTagsFromNameFormat(settings.m_strTagsFromNameFormat), m_handoff(shell) {
}

CTrackCommands::~CTrackCommands() {
    delete m_pOpening;
    if (m_pRun) {
        m_pRun->Cancel();
        (void)m_pRun->WaitForThread(QUIT_WAIT);
    }
}

void CTrackCommands::OnPlay() {
    FollowHandoff(m_handoff.Play(m_view.GetSelectedTracks()));
}

void CTrackCommands::OnEnqueue() {
    FollowHandoff(m_handoff.Enqueue(m_view.GetSelectedTracks()));
}

void CTrackCommands::FollowHandoff(const SHandoffResult& result) {
    m_watch.Watch(result.nPid, result.bEnds);
    if (!result.arrNotFiles.empty() && m_fnStatus) {
        m_fnStatus(NotFilesText(result.arrNotFiles));
    }
    ShowHandoffResult(&m_view, m_messages, result);
}

// Writing a tag replaces its record: no filter match may read the records meanwhile.
void CTrackCommands::OnProperties() {
    if (IsBusy()) {
        return;
    }
    const std::vector<CTrackInfo*> arrSelected = m_view.GetSelectedTracks();
    if (arrSelected.size() != 1) {
        OpenEditor(arrSelected, nullptr);
        return;
    }
    m_pOpening = new COtherTagsRead(
        m_view.window(), arrSelected.front()->GetFullPath(), m_fileOps,
        [this, arrSelected, nRebuilds = m_doc.GetRebuildCount()](std::optional<CId3v2Tag> tag) {
            OnOtherTagsRead(arrSelected, nRebuilds, std::move(tag));
        });
    TellBusyChanged();
}

void CTrackCommands::OnOtherTagsRead(const std::vector<CTrackInfo*>& arrSelected,
                                     std::size_t nRebuilds, std::optional<CId3v2Tag> tag) {
    m_pOpening->deleteLater();
    m_pOpening = nullptr;
    TellBusyChanged();
    // The record may have gone with a scan started meanwhile.
    if (tag && nRebuilds == m_doc.GetRebuildCount() && !m_doc.IsScanning()) {
        OpenEditor(arrSelected, &*tag);
    }
}

void CTrackCommands::OpenEditor(const std::vector<CTrackInfo*>& arrSelected,
                                const CId3v2Tag* pOtherTags) {
    const std::optional<STagEdit> edit = RunTagEditor(
        &m_view, m_messages, m_modals, arrSelected, m_doc.GetTagCodec(), pOtherTags, m_bAlsoId3v2);
    if (!edit) {
        return;
    }
    if (edit->m_bAlsoId3v2 && *edit->m_bAlsoId3v2 != m_bAlsoId3v2) {
        m_bAlsoId3v2 = *edit->m_bAlsoId3v2;
        CSettingsStore().WriteInt(CUserSettings::SECTION_USER, "AlsoWriteId3v2",
                                  m_bAlsoId3v2 ? 1 : 0);
    }
    StartRun(StartTagEdit(MakeRunContext(MakeWriter(edit->m_bAlsoId3v2.value_or(false))),
                          arrSelected, *edit));
}

STagRunContext CTrackCommands::MakeRunContext(const CTagWriter& writer) {
    CTunebrView& view = m_view;
    return STagRunContext{
        &m_view, m_messages, m_doc, m_history, writer, m_view.IsByGenre(), [&view] {
            view.OnUpdate(nullptr, HINT_SHOW_TRACKS, view.GetTrackList());
        }};
}

bool CTrackCommands::AskNameFormat(CNameFormatDialog& dialog, std::string& strFormat,
                                   const char* pszSettingName) {
    const std::size_t nRebuilds = m_doc.GetRebuildCount();
    if (m_modals.Exec(dialog) != QDialog::Accepted) {
        return false;
    }
    strFormat = dialog.GetFormat();
    CSettingsStore().WriteString(CUserSettings::SECTION_USER, pszSettingName, strFormat);
    // The dialog's records may have gone with a scan started meanwhile.
    return nRebuilds == m_doc.GetRebuildCount() && !m_doc.IsScanning();
}

void CTrackCommands::OnRenameFromTags() {
    const std::vector<CTrackInfo*> arrSelected = m_view.GetSelectedTracks();
    if (IsBusy() || arrSelected.empty()) {
        return;
    }
    CNameFormatDialog dialog(&m_view, CNameFormatDialog::EMode::RenameFromTags, arrSelected,
                             m_doc.GetTagCodec(), m_fileOps, m_strRenameFormat);
    if (AskNameFormat(dialog, m_strRenameFormat, "RenameFormat")) {
        StartRun(CRenameRun::StartRenames(MakeRunContext(MakeWriter()), dialog.GetRenames()));
    }
}

void CTrackCommands::OnTagsFromNames() {
    const std::vector<CTrackInfo*> arrSelected = m_view.GetSelectedTracks();
    if (IsBusy() || arrSelected.empty()) {
        return;
    }
    CNameFormatDialog dialog(&m_view, CNameFormatDialog::EMode::TagsFromNames, arrSelected,
                             m_doc.GetTagCodec(), m_fileOps, m_strTagsFromNameFormat);
    if (!AskNameFormat(dialog, m_strTagsFromNameFormat, "TagsFromNameFormat") ||
        dialog.GetTaggedTracks().empty()) {
        return;
    }
    std::string strError;
    // OK is only offered for a format that parses.
    const std::optional<CNameFormat> format = CNameFormat::Parse(m_strTagsFromNameFormat, strError);
    // Runs on the run's thread, on a copy of each record: the same fields the preview showed.
    auto changesFor = [format = *format, codec = m_doc.GetTagCodec()](const CTrackInfo& track) {
        SFieldRefusal refusal;
        const auto arrFound = format.MatchFileName(track.GetFileName(), codec);
        return arrFound ? CNameFormat::ToFittingChanges(*arrFound, codec, refusal)
                              .value_or(STagChanges())
                        : STagChanges();
    };
    StartRun(std::make_unique<CTagEditRun>(MakeRunContext(MakeWriter()), dialog.GetTaggedTracks(),
                                           std::move(changesFor)));
}

void CTrackCommands::OnUndo() {
    if (IsBusy() || !m_history.CanUndo()) {
        return;
    }
    if (m_history.IsLastRename()) {
        StartRun(CRenameRun::StartUndo(MakeRunContext(MakeWriter())));
        return;
    }
    StartRun(std::make_unique<CTagUndoRun>(
        STagRunContext{&m_view, m_messages, m_doc, m_history, MakeWriter(), true, nullptr}));
}

void CTrackCommands::StartRun(std::unique_ptr<CTagWriteRun> pRun) {
    if (!pRun) {
        return;
    }
    m_pRun = std::move(pRun);
    QObject::connect(m_pRun.get(), &CTagWriteRun::finished, [this] { TellBusyChanged(); });
    TellBusyChanged();
}

bool CTrackCommands::IsBusy() const {
    return m_pOpening != nullptr || (m_pRun && m_pRun->IsBusy());
}

void CTrackCommands::Cancel() {
    if (m_pOpening) {
        m_pOpening->Cancel();
    }
    if (m_pRun) {
        m_pRun->Cancel();
    }
}

void CTrackCommands::TellBusyChanged() {
    if (m_fnBusyChanged) {
        m_fnBusyChanged();
    }
}

CTagWriter CTrackCommands::MakeWriter(bool bAlsoId3v2) const {
    CTagWriter::SOptions options;
    options.m_bKeepTimes = m_settings.m_bKeepFileTimes != 0;
    options.m_bAlsoId3v2 = bAlsoId3v2;
    return CTagWriter(m_fileOps, m_doc.GetTagCodec(), options);
}

void CTrackCommands::OnEditCopy() {
    ::OnEditCopy(&m_view, m_messages, m_view.GetSelectedTracks());
}

void CTrackCommands::DoDoubleClickAction() {
    switch (m_settings.m_nDoubleClickAction) {
    case CUserSettings::DOUBLE_CLICK_PLAYS:
        OnPlay();
        break;
    case CUserSettings::DOUBLE_CLICK_ENQUEUES:
        OnEnqueue();
        break;
    case CUserSettings::DOUBLE_CLICK_EDITS:
        OnProperties();
        break;
    default:
        break;
    }
}

void CTrackCommands::ShowContextMenu(const QPoint& ptScreen, const SMenuCommands& commands) {
    QMenu menu(&m_view);
    // The window's actions carry the shortcuts; the menu's own captions differ a little.
    auto add = [&menu](const char* pszText, QAction* pCommand) {
        QAction* pItem = menu.addAction(QCoreApplication::translate("CTrackCommands", pszText),
                                        pCommand, &QAction::trigger);
        pItem->setEnabled(pCommand->isEnabled());
    };
    add(QT_TRANSLATE_NOOP("CTrackCommands", "&Play"), commands.pPlay);
    add(QT_TRANSLATE_NOOP("CTrackCommands", "&Enqueue"), commands.pEnqueue);
    menu.addSeparator();
    add(QT_TRANSLATE_NOOP("CTrackCommands", "&Copy"), commands.pCopy);
    menu.addSeparator();
    add(QT_TRANSLATE_NOOP("CTrackCommands", "&Rename Files from Tags..."),
        commands.pRenameFromTags);
    add(QT_TRANSLATE_NOOP("CTrackCommands", "&Tags from File Names..."), commands.pTagsFromNames);
    menu.addSeparator();
    add(QT_TRANSLATE_NOOP("CTrackCommands", "&Properties ..."), commands.pProperties);
    m_modals.Exec(menu, ptScreen);
}
