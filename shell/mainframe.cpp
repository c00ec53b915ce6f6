// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "shell/mainframe.h"

#include "actions/mp3propertysheet.h"
#include "actions/tagwriterun.h"
#include "catalogue/keptcatalogue.h"
#include "catalogue/tunebrdoc.h"
#include "panes/leftview.h"
#include "panes/tunebrview.h"
#include "panes/viewhints.h"
#include "platform/accessibility.h"
#include "platform/folders.h"
#include "platform/heappolicy.h"
#include "platform/icons.h"
#include "platform/messagebox.h"
#include "platform/messagesink.h"
#include "platform/modalrunner.h"
#include "platform/settingsstore.h"
#include "platform/shellhandoff.h"
#include "platform/textconv.h"
#include "platform/threadpost.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/aboutdlg.h"
#include "shell/addressbox.h"
#include "shell/busyanimation.h"
#include "shell/filterbox.h"
#include "shell/frameplacement.h"
#include "shell/optionsheet.h"
#include "shell/statuspanes.h"
#include "shell/trackcommands.h"
#include "shell/writeprogress.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTableView>
#include <QToolBar>

#include <algorithm>
#include <cerrno>

namespace {

constexpr int TREE_WIDTH = 250;

std::string HomeFolder() {
    const QByteArray home = qgetenv("HOME");
    return home.isEmpty() ? PathOfDisplay(QDir::homePath()) : home.toStdString();
}
constexpr int BUTTON_ICON_SIZE = 22;

// A command string holds the status-bar prompt, "\n", then the tool tip.
void SetPrompt(QAction* pAction, unsigned nId) {
    const QString strPrompt = LoadQString(nId);
    const qsizetype nBreak = strPrompt.indexOf(QLatin1Char('\n'));
    pAction->setStatusTip(nBreak < 0 ? strPrompt : strPrompt.left(nBreak));
    if (nBreak >= 0) {
        pAction->setToolTip(strPrompt.mid(nBreak + 1));
    }
}

using EDisplayStyle = CListViewEx::EDisplayStyle;

EDisplayStyle StyleOfCommand(unsigned nId) {
    switch (nId) {
    case ID_VIEW_SMALLICON:
        return EDisplayStyle::SmallIcons;
    case ID_VIEW_LARGEICON:
        return EDisplayStyle::LargeIcons;
    case ID_VIEW_LIST:
        return EDisplayStyle::List;
    default:
        return EDisplayStyle::Details;
    }
}

constexpr unsigned s_aStyleCommands[] = {ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST,
                                         ID_VIEW_DETAILS};
constexpr unsigned s_aTrackCommands[] = {ID_PLAY,      ID_ENQUEUE,          ID_PROPERTIES,
                                         ID_EDIT_COPY, ID_RENAME_FROM_TAGS, ID_TAGS_FROM_NAMES};
// They replace records a scan is filing, or that a run of writes holds.
constexpr unsigned s_aWritingCommands[] = {ID_PROPERTIES, ID_RENAME_FROM_TAGS, ID_TAGS_FROM_NAMES};

} // namespace

CMainFrame::CMainFrame(CUserSettings& settings, CSettingsStore& store, const SFrameSeams& seams)
    : m_settings(settings), m_store(store),
      m_shell(seams.pShell != nullptr ? *seams.pShell : SystemShellHandoff()),
      m_fileOps(seams.pFileOps != nullptr ? *seams.pFileOps : SystemFileOps()),
      m_messages(seams.pMessages != nullptr ? *seams.pMessages : SystemMessages()),
      m_modals(seams.pModals != nullptr ? *seams.pModals : SystemModals()),
      m_pDoc(std::make_unique<CTunebrDoc>(*this, m_fileOps)),
      m_bShowLabels(settings.m_bShowLabels != 0), m_nViewType(settings.m_nViewType) {
    // Before the first control is made: Qt keeps the interface it first gave a control.
    InstallAccessibleInterfaces();
    // Every scan, the first included, reads tag texts in the encoding the user chose.
    m_pDoc->SetTagCodec(COptionSheet::TagCodecOf(m_settings.m_strTagEncoding));
    m_pDoc->SetKeptFolder(m_settings.m_bKeepCatalogue != 0 ? KeptCatalogueFolder() : "");
    // Catalogues the tree shows in turns are regrouped after an edit beside the window too.
    m_pDoc->RegroupAside(CLeftView::TURN_TRACKS, [this](std::function<void()> fnCall) {
        PostToThreadOf(this, std::move(fnCall));
    });
    m_pDoc->SetFreePagesReturn(ReturnFreePagesToSystem);
    RestorePlacement();

    CreateActions();
    CreateScanControls();
    CreateMenus();
    CreateToolBars();
    m_pStatusBar = new CStatusPanes(this);
    setStatusBar(m_pStatusBar);
    m_pWriteProgress = new CWriteProgress;
    m_pStatusBar->addPermanentWidget(m_pWriteProgress);
    m_pWriteProgress->hide();
    CreateClient();
    LayoutBands();
    FollowBarVisibility(m_pToolBar, ID_VIEW_TOOLBAR, &m_bShowToolBar);
    FollowBarVisibility(m_pAddressBar, ID_VIEW_ADDRESSBAR, &m_bShowAddressBar);
    // Until the user's first look at a menu: the settings will not be saved.
    if (!m_store.IsUsable()) {
        m_pStatusBar->showMessage(m_store.GetProblemText());
    }
    // Once the window shows: a file that cannot be written is known before anything is lost.
    QMetaObject::invokeMethod(this, &CMainFrame::ReportSettingsProblem, Qt::QueuedConnection);

    // The saved history, oldest first so that the newest ends on top, then the start folder.
    for (int i = CUserSettings::ADDRESS_COUNT - 1; i >= 0; --i) {
        if (!m_settings.m_strAddress[i].empty()) {
            AddAddress(m_settings.m_strAddress[i]);
        }
    }
    AddAddress(m_settings.m_strFilePath);

    m_focusConnection = connect(qApp, &QApplication::focusChanged, this,
                                [this](QWidget*, QWidget* pNow) { OnFocusChanged(pNow); });
    // The tree is the pane the keyboard starts in.
    SetActiveView(m_pLeftView);
    m_pLeftView->setFocus(Qt::OtherFocusReason);
    UpdateTitle();
}

CMainFrame::~CMainFrame() {
    // A window destroyed while it holds the focus hands the focus on from inside ~QWidget, when
    // this frame is no longer whole: the connection goes first.
    disconnect(m_focusConnection);
    if (m_pCommands->GetHandoffWatch().IsBusy()) {
        QApplication::restoreOverrideCursor();
    }
    // The panes are views of the document: they go before it does.
    std::unique_ptr<QWidget> pClient(takeCentralWidget());
}

QAction* CMainFrame::GetAction(unsigned nId) const {
    const auto it = m_mapActions.find(nId);
    return it == m_mapActions.end() ? nullptr : it->second;
}

// One row per command; the menus and the tool bar take the actions by id.
struct CMainFrame::SCommand {
    unsigned nId;
    const char* pszText;      // translated; null for a text set by the command's own state
    QKeySequence key, altKey; // the menu shows the first
    ECommandGroup eGroup;
    void (CMainFrame::*pfnRun)(); // null for the display styles, which run OnViewStyle
    bool CMainFrame::*pbShown;    // what a toggle shows or hides
    unsigned nLabel;              // tool bar label, 0 for a command without a button
    EIcon eIcon;
};

void CMainFrame::CreateActions() {
    using K = QKeySequence;
    constexpr ECommandGroup eNone = ECommandGroup::None;
    constexpr ECommandGroup eStyle = ECommandGroup::Style;
    constexpr ECommandGroup eToggle = ECommandGroup::Toggle;
    constexpr ECommandGroup eMode = ECommandGroup::Organisation;
    const EIcon eNoIcon = EIcon::Note; // not shown: the command has no button
    const SCommand aCommands[] = {
        {ID_PLAY, QT_TR_NOOP("&Play"), K(Qt::CTRL | Qt::Key_P), K(), eNone, &CMainFrame::OnPlay,
         nullptr, IDS_BTN_PLAY, EIcon::Play},
        {ID_ENQUEUE, QT_TR_NOOP("&Enqueue"), K(Qt::CTRL | Qt::Key_E), K(), eNone,
         &CMainFrame::OnEnqueue, nullptr, IDS_BTN_ENQUEUE, EIcon::Enqueue},
        {ID_EDIT_COPY, QT_TR_NOOP("&Copy"), K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert),
         eNone, &CMainFrame::OnEditCopy, nullptr, IDS_BTN_COPY, EIcon::Copy},
        {ID_PROPERTIES, QT_TR_NOOP("&Properties"), K(Qt::CTRL | Qt::Key_Return),
         K(Qt::CTRL | Qt::Key_Enter), eNone, &CMainFrame::OnProperties, nullptr, IDS_BTN_PROPERTIES,
         EIcon::Properties},
        {ID_VIEW_ARTIST, QT_TR_NOOP("&Artist"), K(), K(), eMode, &CMainFrame::OnViewArtist, nullptr,
         IDS_COL_ARTIST, EIcon::Face},
        {ID_VIEW_GENRE, QT_TR_NOOP("Gen&re / Artist"), K(), K(), eMode, &CMainFrame::OnViewGenre,
         nullptr, IDS_COL_GENRE, EIcon::Clef},
        {ID_VIEW_LARGEICON, QT_TR_NOOP("Lar&ge Icons"), K(), K(), eStyle, nullptr, nullptr,
         IDS_BTN_LARGE, EIcon::LargeIcons},
        {ID_VIEW_SMALLICON, QT_TR_NOOP("S&mall Icons"), K(), K(), eStyle, nullptr, nullptr,
         IDS_BTN_SMALL, EIcon::SmallIcons},
        {ID_VIEW_LIST, QT_TR_NOOP("&List"), K(), K(), eStyle, nullptr, nullptr, IDS_BTN_LIST,
         EIcon::List},
        {ID_VIEW_DETAILS, QT_TR_NOOP("&Details"), K(), K(), eStyle, nullptr, nullptr,
         IDS_BTN_DETAIL, EIcon::Details},
        {ID_EDIT_UNDO, nullptr, K(K::Undo), K(), eNone, &CMainFrame::OnUndo, nullptr, 0, eNoIcon},
        {ID_RENAME_FROM_TAGS, QT_TR_NOOP("&Rename Files from Tags..."), K(), K(), eNone,
         &CMainFrame::OnRenameFromTags, nullptr, 0, eNoIcon},
        {ID_TAGS_FROM_NAMES, QT_TR_NOOP("&Tags from File Names..."), K(), K(), eNone,
         &CMainFrame::OnTagsFromNames, nullptr, 0, eNoIcon},
        {ID_APP_EXIT, QT_TR_NOOP("E&xit"), K(), K(), eNone, &CMainFrame::OnAppExit, nullptr, 0,
         eNoIcon},
        {ID_FILE_OPEN_FOLDER, QT_TR_NOOP("&Open Folder..."), K(Qt::CTRL | Qt::Key_O), K(), eNone,
         &CMainFrame::OnOpenFolder, nullptr, 0, eNoIcon},
        {ID_VIEW_REFRESH, QT_TR_NOOP("&Refresh"), K(Qt::Key_F5), K(), eNone, &CMainFrame::OnRescan,
         nullptr, 0, eNoIcon},
        // The keys file managers use to reach their address field.
        {ID_FOCUS_ADDRESS, QT_TR_NOOP("&Go to Address"), K(Qt::CTRL | Qt::Key_L),
         K(Qt::ALT | Qt::Key_D), eNone, &CMainFrame::OnFocusAddress, nullptr, 0, eNoIcon},
        {ID_FOCUS_FILTER, QT_TR_NOOP("&Filter"), K(K::Find), K(), eNone, &CMainFrame::OnFocusFilter,
         nullptr, 0, eNoIcon},
        {ID_NEXT_PANE, QT_TR_NOOP("Next Pane"), K(Qt::Key_F6), K(), eNone, &CMainFrame::SwitchPane,
         nullptr, 0, eNoIcon},
        {ID_PREV_PANE, QT_TR_NOOP("Previous Pane"), K(Qt::SHIFT | Qt::Key_F6), K(), eNone,
         &CMainFrame::SwitchPane, nullptr, 0, eNoIcon},
        {ID_VIEW_TOOLBAR, QT_TR_NOOP("Standard buttons"), K(), K(), eToggle, nullptr,
         &CMainFrame::m_bShowToolBar, 0, eNoIcon},
        {ID_VIEW_ADDRESSBAR, QT_TR_NOOP("Address bar"), K(), K(), eToggle, nullptr,
         &CMainFrame::m_bShowAddressBar, 0, eNoIcon},
        {ID_VIEW_LABELS, QT_TR_NOOP("Show text labels"), K(), K(), eToggle, nullptr,
         &CMainFrame::m_bShowLabels, 0, eNoIcon},
        {ID_VIEW_STATUS_BAR, QT_TR_NOOP("&Status bar"), K(), K(), eToggle, nullptr,
         &CMainFrame::m_bShowStatusBar, 0, eNoIcon},
        {ID_VIEW_OPTIONS, QT_TR_NOOP("&Options..."), K(), K(), eNone, &CMainFrame::OnOptions,
         nullptr, 0, eNoIcon},
        {ID_APP_ABOUT, QT_TR_NOOP("&About Tunebrowse ..."), K(), K(), eNone,
         &CMainFrame::OnAppAbout, nullptr, 0, eNoIcon},
    };
    // Radio marks; for the organisation none shows for a stored mode other than 0 or 1.
    auto* pOrganisation = new QActionGroup(this);
    pOrganisation->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    auto* pStyles = new QActionGroup(this);
    for (const SCommand& command : aCommands) {
        QAction* pAction = AddCommand(command);
        if (command.eGroup == eMode || command.eGroup == eStyle) {
            (command.eGroup == eMode ? pOrganisation : pStyles)->addAction(pAction);
        }
    }
}

void CMainFrame::CreateScanControls() {
    m_pStop = new QAction(tr("S&top Scan"), this);
    m_pStop->setShortcut(QKeySequence(Qt::Key_Escape));
    m_pStop->setEnabled(false);
    addAction(m_pStop);
    connect(m_pStop, &QAction::triggered, this, [this] {
        OnStopScan();
        OnStopWork();
    });
    m_scanBatchTimer.setSingleShot(true);
    connect(&m_scanBatchTimer, &QTimer::timeout, this, &CMainFrame::FileScanBatch);
}

QAction* CMainFrame::AddCommand(const SCommand& command) {
    auto* pAction = new QAction(command.pszText != nullptr ? tr(command.pszText) : QString(), this);
    pAction->setShortcuts(command.altKey.isEmpty()
                              ? QList<QKeySequence>{command.key}
                              : QList<QKeySequence>{command.key, command.altKey});
    SetPrompt(pAction, command.nId);
    if (command.nLabel != 0) {
        pAction->setIcon(LoadIcon(command.eIcon));
        pAction->setIconText(LoadQString(command.nLabel));
    }
    pAction->setCheckable(command.eGroup != ECommandGroup::None);
    addAction(pAction); // shortcuts work with the menu bar hidden too
    m_mapActions[command.nId] = pAction;
    // First: a command may open a dialog, and the prompt of its entry must not outlive the choice.
    connect(pAction, &QAction::triggered, this, &CMainFrame::ClearPrompt);
    const unsigned nId = command.nId;
    if (command.eGroup == ECommandGroup::Style) {
        connect(pAction, &QAction::triggered, this, [this, nId] { OnViewStyle(nId); });
    } else if (command.eGroup == ECommandGroup::Toggle) {
        bool CMainFrame::*pbShown = command.pbShown;
        connect(pAction, &QAction::triggered, this, [this, pbShown] {
            this->*pbShown = !(this->*pbShown);
            LayoutBands();
        });
    } else {
        connect(pAction, &QAction::triggered, this, command.pfnRun);
    }
    return pAction;
}

// The track commands and the undo; an edit may have added a step to take back.
void CMainFrame::OnPlay() {
    m_pCommands->OnPlay();
}

void CMainFrame::OnEnqueue() {
    m_pCommands->OnEnqueue();
}

void CMainFrame::OnProperties() {
    m_pCommands->OnProperties();
    UpdateUndoCommand();
}

void CMainFrame::OnEditCopy() {
    m_pCommands->OnEditCopy();
}

void CMainFrame::OnUndo() {
    m_pCommands->OnUndo();
    UpdateUndoCommand();
}

void CMainFrame::OnRenameFromTags() {
    m_pCommands->OnRenameFromTags();
    UpdateUndoCommand();
}

void CMainFrame::OnTagsFromNames() {
    m_pCommands->OnTagsFromNames();
    UpdateUndoCommand();
}

void CMainFrame::OnAppExit() {
    close();
}

void CMainFrame::OnFocusAddress() {
    m_bShowAddressBar = true;
    LayoutBands();
    m_pAddress->setFocus(Qt::ShortcutFocusReason);
    m_pAddress->lineEdit()->selectAll();
}

void CMainFrame::OnFocusFilter() {
    m_bShowAddressBar = true;
    LayoutBands();
    m_pFilter->setFocus(Qt::ShortcutFocusReason);
    m_pFilter->selectAll();
}

void CMainFrame::CreateMenus() {
    QMenu* pFile = menuBar()->addMenu(tr("&File"));
    pFile->addAction(GetAction(ID_PLAY));
    pFile->addAction(GetAction(ID_ENQUEUE));
    pFile->addSeparator();
    pFile->addAction(GetAction(ID_PROPERTIES));
    pFile->addSeparator();
    pFile->addAction(GetAction(ID_FILE_OPEN_FOLDER));
    pFile->addAction(GetAction(ID_VIEW_REFRESH));
    pFile->addAction(m_pStop);
    pFile->addSeparator();
    pFile->addAction(GetAction(ID_APP_EXIT));

    QMenu* pEdit = menuBar()->addMenu(tr("&Edit"));
    pEdit->addAction(GetAction(ID_EDIT_UNDO));
    pEdit->addSeparator();
    pEdit->addAction(GetAction(ID_EDIT_COPY));
    pEdit->addSeparator();
    pEdit->addAction(GetAction(ID_RENAME_FROM_TAGS));
    pEdit->addAction(GetAction(ID_TAGS_FROM_NAMES));

    QMenu* pView = menuBar()->addMenu(tr("&View"));
    QMenu* pBars = pView->addMenu(tr("&Tool bar"));
    pBars->addAction(GetAction(ID_VIEW_TOOLBAR));
    pBars->addAction(GetAction(ID_VIEW_ADDRESSBAR));
    pBars->addSeparator();
    pBars->addAction(GetAction(ID_VIEW_LABELS));
    pView->addAction(GetAction(ID_VIEW_STATUS_BAR));
    pView->addSeparator();
    pView->addAction(GetAction(ID_VIEW_ARTIST));
    pView->addAction(GetAction(ID_VIEW_GENRE));
    pView->addSeparator();
    for (const unsigned nId : s_aStyleCommands) {
        pView->addAction(GetAction(nId));
    }
    pView->addSeparator();
    pView->addAction(GetAction(ID_FOCUS_ADDRESS));
    pView->addAction(GetAction(ID_FOCUS_FILTER));
    pView->addSeparator();
    pView->addAction(GetAction(ID_VIEW_OPTIONS));

    QMenu* pHelp = menuBar()->addMenu(tr("&?"));
    pHelp->addAction(GetAction(ID_APP_ABOUT));
}

void CMainFrame::CreateToolBars() {
    m_pToolBar = addToolBar(tr("Standard buttons"));
    m_pToolBar->setObjectName(QStringLiteral("StandardButtons"));
    m_pToolBar->setIconSize(QSize(BUTTON_ICON_SIZE, BUTTON_ICON_SIZE));
    for (const unsigned nId :
         {ID_PLAY, ID_ENQUEUE, ID_EDIT_COPY, ID_PROPERTIES, ID_VIEW_ARTIST, ID_VIEW_GENRE,
          ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST, ID_VIEW_DETAILS}) {
        QAction* pAction = GetAction(nId);
        m_pToolBar->addAction(pAction);
        // Shown without labels the buttons are pictures only: a screen reader reads this name.
        QWidget* pButton = m_pToolBar->widgetForAction(pAction);
        pButton->setAccessibleName(pAction->toolTip());
        pButton->setAccessibleDescription(pAction->statusTip());
    }
    addToolBarBreak();
    m_pAddressBar = addToolBar(LoadQString(IDS_ADDRESS));
    m_pAddressBar->setObjectName(QStringLiteral("AddressBar"));
    auto* pLabel = new QLabel(LoadQString(IDS_ADDRESS) + QLatin1Char(' '));
    m_pAddress = new CAddressBox;
    pLabel->setBuddy(m_pAddress);
    // The edit field inside the box takes the focus, and is what a screen reader announces.
    m_pAddress->setAccessibleName(LoadQString(IDS_ADDRESS));
    m_pAddress->lineEdit()->setAccessibleName(LoadQString(IDS_ADDRESS));
    // Tab moves between the panes, so the box is reached by its keys: the tip tells them.
    m_pAddress->setToolTip(LoadQString(IDS_ADDRESS_TIP));
    m_pAnimate = new CBusyAnimation;
    m_pAddressBar->addWidget(pLabel);
    m_pAddressBar->addWidget(m_pAddress);
    m_pAddressBar->addWidget(m_pAnimate);
    m_pFilter = new CFilterBox;
    m_pAddressBar->addWidget(m_pFilter);
    connect(m_pAnimate, &CBusyAnimation::clicked, this, &CMainFrame::OnStopScan);
    connect(m_pAddress, &CAddressBox::addressEntered, this, &CMainFrame::OnAddressEnter);
    connect(m_pAddress, &CAddressBox::addressSelected, this, &CMainFrame::OnAddressSelected);
}

void CMainFrame::CreateClient() {
    m_pSplitter = new QSplitter(Qt::Horizontal);
    m_pLeftView = new CLeftView(*m_pDoc, m_settings, *this);
    m_pRightView = new CTunebrView(*m_pDoc, m_settings, *this);
    m_pLeftView->setAccessibleName(LoadQString(IDS_TREE_PANE));
    for (QWidget* pList : {static_cast<QWidget*>(m_pRightView),
                           static_cast<QWidget*>(m_pRightView->GetDetailsView()),
                           static_cast<QWidget*>(m_pRightView->GetIconView())}) {
        pList->setAccessibleName(LoadQString(IDS_LIST_PANE));
    }
    m_pSplitter->addWidget(m_pLeftView);
    m_pSplitter->addWidget(m_pRightView);
    m_pSplitter->setStretchFactor(1, 1);
    m_pSplitter->setSizes({TREE_WIDTH, qMax(100, width() - TREE_WIDTH)});
    setCentralWidget(m_pSplitter);

    m_pLeftView->OnInitialUpdate();
    m_pRightView->OnInitialUpdate();
    connect(m_pRightView, &CTunebrView::selectionStateChanged, this, &CMainFrame::UpdateCommands);
    connect(m_pFilter, &QLineEdit::textChanged, m_pRightView, &CTunebrView::SetFilterText);
    connect(m_pFilter, &CFilterBox::leaveRequested, this, [this] {
        SetActiveView(m_pRightView);
        m_pRightView->setFocus(Qt::OtherFocusReason);
    });
    connect(m_pRightView, &CTunebrView::filterCleared, this, [this] {
        const QSignalBlocker blocker(m_pFilter);
        m_pFilter->clear();
    });

    m_pCommands = std::make_unique<CTrackCommands>(*m_pRightView, *m_pDoc, m_settings, m_shell,
                                                   m_fileOps, m_messages, m_modals);
    CTrackCommands* pCommands = m_pCommands.get();
    pCommands->SetBusyListener([this] { OnWriteStateChanged(); });
    pCommands->SetStatusListener([this](const QString& strText) { ShowNotice(strText); });
    connect(m_pWriteProgress, &CWriteProgress::cancelRequested, this, &CMainFrame::OnStopWork);
    CHandoffWatch* pWatch = &pCommands->GetHandoffWatch();
    connect(pWatch, &CHandoffWatch::busyChanged, this, &CMainFrame::ShowHandoffBusy);
    // Queued: the box must not open inside the watch's own polling.
    connect(
        pWatch, &CHandoffWatch::handoffFailed, this,
        [this](int nStatus) {
            m_messages.Show(this, LoadQString(IDS_HANDOFF_FAILED).arg(nStatus));
        },
        Qt::QueuedConnection);
    connect(m_pRightView, &CTunebrView::doubleClickActionRequested, this, [this, pCommands] {
        // Editing waits, as its command does, while the tracks are being read.
        if (m_settings.m_nDoubleClickAction == CUserSettings::DOUBLE_CLICK_EDITS &&
            m_pDoc->IsScanning()) {
            return;
        }
        pCommands->DoDoubleClickAction();
        UpdateUndoCommand();
    });
    connect(m_pRightView, &CTunebrView::contextMenuRequested, this, [this](const QPoint& pt) {
        SetActiveView(m_pRightView); // the right click made the list the active pane
        m_pCommands->ShowContextMenu(pt, {GetAction(ID_PLAY), GetAction(ID_ENQUEUE),
                                          GetAction(ID_EDIT_COPY), GetAction(ID_PROPERTIES),
                                          GetAction(ID_RENAME_FROM_TAGS),
                                          GetAction(ID_TAGS_FROM_NAMES)});
    });
    connect(m_pRightView, &CTunebrView::columnMenuRequested, this, [this](const QPoint& pt) {
        QMenu menu(this);
        m_pRightView->FillColumnMenu(menu);
        m_modals.Exec(menu, pt);
    });
    OnViewStyle(ID_VIEW_DETAILS);
    UpdateUndoCommand();
}

// A bar can also be hidden or shown by Qt's own menu of the bars: the View menu's marks follow
// the bar, so that the next click on them does what it says.
void CMainFrame::FollowBarVisibility(QToolBar* pBar, unsigned nId, bool* pbShow) {
    connect(pBar, &QToolBar::visibilityChanged, this, [this, nId, pbShow](bool bVisible) {
        *pbShow = bVisible;
        GetAction(nId)->setChecked(bVisible);
    });
}

void CMainFrame::LayoutBands() {
    m_pToolBar->setToolButtonStyle(m_bShowLabels ? Qt::ToolButtonTextUnderIcon
                                                 : Qt::ToolButtonIconOnly);
    m_pToolBar->setVisible(m_bShowToolBar);
    m_pAddressBar->setVisible(m_bShowAddressBar);
    statusBar()->setVisible(m_bShowStatusBar);
    GetAction(ID_VIEW_TOOLBAR)->setChecked(m_bShowToolBar);
    GetAction(ID_VIEW_ADDRESSBAR)->setChecked(m_bShowAddressBar);
    GetAction(ID_VIEW_LABELS)->setChecked(m_bShowLabels);
    GetAction(ID_VIEW_STATUS_BAR)->setChecked(m_bShowStatusBar);
}

void CMainFrame::StartUp(const std::optional<std::string>& strFolder) {
    if (!strFolder) {
        OpenAddress(m_settings.m_strFilePath);
        return;
    }
    // A folder named on the command line is relative to where the program was started.
    const std::string strPath =
        ResolveFolder(*strFolder, PathOfDisplay(QDir::currentPath()), HomeFolder());
    CheckFolder(strPath, [this, strNamed = *strFolder, strPath](int nError) {
        if (nError == 0) {
            AddAddress(strPath);
            OpenAddress(strPath);
            return;
        }
        std::fprintf(stderr, "tunebrowse: cannot open folder '%s'\n", strNamed.c_str());
        // The start folder is read meanwhile: the box does not hold the window's first look.
        OpenAddress(m_settings.m_strFilePath);
        ReportFolderError(nError, strPath);
    });
}

// The folder is looked at on a thread of its own: a share that stopped answering would hold the
// window. Only the newest look counts; the window shows that it is busy meanwhile.
void CMainFrame::CheckFolder(const std::string& strFolder, std::function<void(int)> fnChecked) {
    ++m_nFolderChecks;
    StartAnimation();
    UpdateScanCommands();
    m_folderChecks.Run<int>([strFolder] { return FolderError(strFolder); },
                            [this, fnChecked = std::move(fnChecked)](int nError) {
                                m_nFolderChecks = 0;
                                if (!m_pDoc->IsScanning()) {
                                    StopAnimation();
                                }
                                UpdateScanCommands();
                                fnChecked(nError);
                            });
}

void CMainFrame::StartUp(const QString* pFolder) {
    StartUp(pFolder != nullptr ? std::optional<std::string>(PathOfDisplay(*pFolder))
                               : std::nullopt);
}

void CMainFrame::AddAddress(const std::string& strPath) {
    m_pAddress->AddAddress(strPath);
}

// A new scan replaces the one running, which is left to end on its own.
void CMainFrame::OpenAddress(const std::string& strPath, bool bFromKept) {
    m_scanBatchTimer.stop();
    m_bFirstBatch = true;
    m_pDoc->BeginScan(
        strPath, [this] { PostToThreadOf(this, [this] { OnScanReady(); }); }, bFromKept);
    // The count of what could not be opened was of the folder that goes.
    ClearNotice();
    UpdateTitle();
    StartAnimation();
    ShowScanProgress();
    UpdateScanCommands();
}

// A check of a kept catalogue shows its records all along: only a scan has a count to tell.
void CMainFrame::ShowScanProgress() {
    m_pStatusBar->SetLocationText(
        m_pDoc->IsChecking()
            ? tr("Checking…")
            : LoadQString(IDS_SCANNING).arg(ToQString(FormatCount(m_pDoc->GetTracks()->size()))),
        true);
}

// The user's cache folder as the environment names it now.
std::string CMainFrame::KeptCatalogueFolder() {
    const QByteArray cacheHome = qgetenv("XDG_CACHE_HOME");
    const QByteArray home = qgetenv("HOME");
    return CKeptCatalogue::FolderFor(cacheHome.isNull() ? nullptr : cacheHome.constData(),
                                     home.isNull() ? nullptr : home.constData());
}

// Records wait to be filed. The first ones are shown at once; later ones are gathered for a
// while, so that each batch is worth the views' work.
void CMainFrame::OnScanReady() {
    if (m_pDoc->IsScanning() && !m_scanBatchTimer.isActive()) {
        m_scanBatchTimer.start(m_bFirstBatch ? 0 : SCAN_BATCH_INTERVAL);
        m_bFirstBatch = false;
    }
}

// Turns follow each other until the budget is spent, so that the views repaint once for
// several: a repaint of the list costs more than filing a turn, and repainting after each
// turn left the window's thread busy enough to slow the readers down.
void CMainFrame::FileScanBatch() {
    if (!m_pDoc->IsScanning()) {
        return;
    }
    const QDeadlineTimer budget(FILING_BUDGET_MS);
    do {
        if (m_pDoc->FileScanned()) {
            EndScan();
            return;
        }
    } while (m_pDoc->IsFilingBehind() && !budget.hasExpired());
    if (m_pDoc->IsFilingBehind()) {
        m_scanBatchTimer.start(0); // the rest on the loop's next turn, after what waits
    }
    ShowScanProgress();
}

// Escape, or a click on the animation: the files read so far stay, and the window is free at
// once, even when the scan waits on a file system that stopped answering.
void CMainFrame::OnStopScan() {
    if (m_nFolderChecks > 0) {
        m_folderChecks.Forget();
        m_nFolderChecks = 0;
        StopAnimation();
        UpdateScanCommands();
    }
    if (!m_pDoc->IsScanning()) {
        return;
    }
    m_scanBatchTimer.stop();
    m_pDoc->StopScan();
    EndScan();
}

void CMainFrame::EndScan() {
    StopAnimation();
    UpdateScanCommands();
    // A session that ends, or a crash, must not lose the folder just read.
    SaveBrowseSettings();
    FlushSettings();
    // The tree's last word on its node replaces the count of files read.
    const QList<QTreeWidgetItem*> arrSelected = m_pLeftView->selectedItems();
    if (!arrSelected.isEmpty()) {
        m_pStatusBar->SetLocationText(arrSelected.first()->text(0));
    }
    if (m_pDoc->WasScanStopped()) {
        m_pStatusBar->SetLocationText(
            LoadQString(IDS_SCAN_STOPPED).arg(ToQString(FormatCount(m_pDoc->GetTracks()->size()))),
            true);
    }
    // Never dropped silently: what could not be opened is missing from the catalogue.
    if (const std::size_t nUnopened = m_pDoc->GetUnopenedCount(); nUnopened > 0) {
        ShowNotice(LoadQString(IDS_NOT_OPENED).arg(ToQString(FormatCount(nUnopened))));
    }
}

// Edits and their undo would replace records a scan is filing into groups: they wait for its end.
void CMainFrame::UpdateScanCommands() {
    UpdateStopCommand();
    UpdateCommands();
    UpdateUndoCommand();
}

// One key stops whatever keeps the window busy: Escape ends a scan, a write or the editor's
// opening read alike, and the menu names what it stops.
void CMainFrame::UpdateStopCommand() {
    const bool bCommandsBusy = m_pCommands && m_pCommands->IsBusy();
    m_pStop->setEnabled(IsOpeningFolder() || bCommandsBusy);
    if (IsOpeningFolder() || !bCommandsBusy) {
        m_pStop->setText(tr("S&top Scan"));
    } else {
        m_pStop->setText(m_pCommands->GetWriteRun() && m_pCommands->GetWriteRun()->IsBusy()
                             ? tr("S&top Writing Tags")
                             : tr("S&top Reading Tags"));
    }
}

// A write stops after the file it is writing: the Cancel button says it is heard meanwhile.
void CMainFrame::OnStopWork() {
    if (!m_pCommands->IsBusy()) {
        return;
    }
    m_pCommands->Cancel();
    m_pWriteProgress->GetCancelButton()->setEnabled(false);
}

bool CMainFrame::IsOpeningFolder() const {
    return m_nFolderChecks > 0 || m_pDoc->IsScanning();
}

// A write runs: the window stays free to look around and to read folders, but no other write
// starts until it ends. Its progress shows in the status bar.
void CMainFrame::OnWriteStateChanged() {
    UpdateStopCommand();
    UpdateCommands();
    UpdateUndoCommand();
    CTagWriteRun* pRun = m_pCommands->GetWriteRun();
    if (pRun == nullptr || !pRun->IsBusy()) {
        m_pWriteProgress->hide();
        return;
    }
    if (pRun != m_pShownRun) {
        m_pShownRun = pRun;
        connect(pRun, &CTagWriteRun::progressed, m_pWriteProgress, &CWriteProgress::SetDone);
        m_pWriteProgress->Begin(pRun->GetFileCount());
    }
    m_pWriteProgress->show();
}

void CMainFrame::OnAddressEnter(const QString& strText) {
    OpenTypedFolder(m_pAddress->PathOfText(strText));
}

void CMainFrame::OpenTypedFolder(const std::string& strTyped) {
    const std::string strFolder = ResolveFolder(strTyped, m_pDoc->GetTitle(), HomeFolder());
    CheckFolder(strFolder, [this, strFolder](int nError) {
        if (nError != 0) {
            ReportFolderError(nError, strFolder);
            return;
        }
        AddAddress(strFolder);
        OpenAddress(strFolder);
    });
}

void CMainFrame::ReportFolderError(int nError, const std::string& strFolder) {
    const unsigned nText = nError == ENOENT    ? IDS_FOLDER_MISSING
                           : nError == ENOTDIR ? IDS_NOT_A_FOLDER
                                               : IDS_FOLDER_UNREADABLE;
    m_messages.Show(this, LoadQString(nText).arg(strFolder.empty() ? QStringLiteral("/")
                                                                   : DisplayPath(strFolder)));
}

void CMainFrame::OnAddressSelected(const QByteArray& strPath) {
    OpenAddress(strPath.toStdString());
}

// Through the modal runner like every other dialog, so that tests can play the user's part.
void CMainFrame::OnOpenFolder() {
    QFileDialog dialog(this, LoadQString(IDS_OPEN_FOLDER_TITLE), DisplayPath(m_pDoc->GetTitle()));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (m_modals.Exec(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        OpenTypedFolder(PathOfDisplay(dialog.selectedFiles().constFirst()));
    }
}

// F5 trusts nothing kept: every file is read again.
void CMainFrame::OnRescan() {
    OpenAddress(m_pDoc->GetTitle(), false);
}

// A notice covers the panes until they have something new to say: it must not go on hiding
// what is shown and selected.
void CMainFrame::ShowNotice(const QString& strText) {
    m_strNotice = strText;
    m_pStatusBar->showMessage(strText);
}

void CMainFrame::ClearNotice() {
    if (!m_strNotice.isEmpty() && m_pStatusBar->currentMessage() == m_strNotice) {
        m_pStatusBar->clearMessage();
    }
    m_strNotice.clear();
}

void CMainFrame::SetStatusTexts(const SStatusTexts& texts) {
    ClearNotice();
    if (m_bViewIconDirty) {
        m_pStatusBar->SetOrganisationIcon(m_nViewType);
        m_bViewIconDirty = false;
    }
    // The tree describes its node after the list has taken the node's list in. The node's whole
    // list is what the list shows unless a filter hides rows or rows are selected: then the list
    // alone knows what to say.
    const bool bFromTree = !texts.strLocation.isNull();
    const bool bListKnowsBetter = m_pRightView != nullptr &&
                                  m_pRightView->GetTrackList() != nullptr &&
                                  (m_pRightView->IsFiltered() || m_pRightView->HasSelection());
    if (!bFromTree || !bListKnowsBetter) {
        m_pStatusBar->SetStatusTexts(texts);
        return;
    }
    SStatusTexts shown = m_pRightView->GetStatusTexts();
    shown.strLocation = texts.strLocation;
    m_pStatusBar->SetStatusTexts(shown);
}

void CMainFrame::StartAnimation() {
    m_pAnimate->Start();
}

void CMainFrame::StopAnimation() {
    m_pAnimate->Stop();
}

// The window stays usable while a player takes its time: the busy cursor, not the wait cursor.
void CMainFrame::ShowHandoffBusy(bool bBusy) {
    const QString strHandingOver = LoadQString(IDS_HANDING_OVER);
    if (bBusy) {
        m_strStatusBeforeHandoff = m_pStatusBar->GetPaneText(0);
        m_pStatusBar->SetLocationText(strHandingOver, true);
        QApplication::setOverrideCursor(Qt::BusyCursor);
        return;
    }
    QApplication::restoreOverrideCursor();
    // A scan may have written its own text meanwhile.
    if (m_pStatusBar->GetPaneText(0) == strHandingOver) {
        m_pStatusBar->SetLocationText(m_strStatusBeforeHandoff);
    }
}

void CMainFrame::SwitchPane() {
    if (m_pActiveView == m_pLeftView) {
        SetActiveView(m_pRightView);
        m_pRightView->setFocus(Qt::OtherFocusReason);
    } else if (m_pActiveView == m_pRightView) {
        SetActiveView(m_pLeftView);
        m_pLeftView->setFocus(Qt::OtherFocusReason);
    }
}

void CMainFrame::OnFocusChanged(QWidget* pNow) {
    if (pNow == nullptr) {
        return;
    }
    if (pNow == m_pLeftView || m_pLeftView->isAncestorOf(pNow)) {
        SetActiveView(m_pLeftView);
    } else if (pNow == m_pRightView || m_pRightView->isAncestorOf(pNow)) {
        SetActiveView(m_pRightView);
    }
}

void CMainFrame::SetActiveView(QWidget* pView) {
    m_pActiveView = pView;
    UpdateCommands();
}

// The track commands belong to the list pane: they work only while it is the active view and
// has a selected row.
void CMainFrame::UpdateCommands() {
    const bool bTracks = m_pActiveView == m_pRightView && m_pRightView->HasSelection();
    for (const unsigned nId : s_aTrackCommands) {
        GetAction(nId)->setEnabled(bTracks);
    }
    if (m_pDoc->IsScanning() || (m_pCommands && m_pCommands->IsBusy())) {
        for (const unsigned nId : s_aWritingCommands) {
            GetAction(nId)->setEnabled(false);
        }
    }
    GetAction(ID_VIEW_ARTIST)->setChecked(m_nViewType == CUserSettings::VIEW_BY_ARTIST);
    GetAction(ID_VIEW_GENRE)->setChecked(m_nViewType == CUserSettings::VIEW_BY_GENRE);
    const EDisplayStyle eStyle = m_pRightView->GetDisplayStyle();
    for (const unsigned nId : s_aStyleCommands) {
        GetAction(nId)->setChecked(StyleOfCommand(nId) == eStyle);
    }
}

void CMainFrame::UpdateUndoCommand() {
    const CTagUndoHistory& history = m_pCommands->GetUndoHistory();
    QAction* pUndo = GetAction(ID_EDIT_UNDO);
    pUndo->setText(UndoCommandText(history));
    pUndo->setEnabled(history.CanUndo() && !m_pDoc->IsScanning() && !m_pCommands->IsBusy());
}

void CMainFrame::OnViewArtist() {
    if (m_nViewType != CUserSettings::VIEW_BY_ARTIST) {
        SetViewType(CUserSettings::VIEW_BY_ARTIST, HINT_BY_ARTIST);
    }
    UpdateCommands();
}

void CMainFrame::OnViewGenre() {
    if (m_nViewType != CUserSettings::VIEW_BY_GENRE) {
        SetViewType(CUserSettings::VIEW_BY_GENRE, HINT_BY_GENRE);
    }
    UpdateCommands();
}

// The tree is torn down, told the new mode and built again from the index; nothing is rescanned.
void CMainFrame::SetViewType(int nViewType, EHint eHint) {
    m_nViewType = nViewType;
    m_bViewIconDirty = true;
    m_pDoc->UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    m_pDoc->UpdateAllViews(nullptr, eHint);
    m_pDoc->UpdateAllViews(nullptr, HINT_REBUILD_END);
}

void CMainFrame::OnViewStyle(unsigned nId) {
    m_pRightView->SetDisplayStyle(StyleOfCommand(nId));
    UpdateCommands();
}

// On OK the new options are stored already; the views apply them. The folder is read again for
// a new file pattern, or when its texts were read in another encoding than the one now chosen.
void CMainFrame::OnOptions() {
    const std::string strPattern = m_settings.m_strFileExt;
    if (!COptionSheet::RunOptions(this, m_messages, m_modals, m_settings, m_store)) {
        return;
    }
    ApplyKeepCatalogue();
    m_pDoc->UpdateAllViews(nullptr, HINT_OPTIONS_CHANGED);
    const CTagCodec codec = COptionSheet::TagCodecOf(m_settings.m_strTagEncoding);
    const bool bNewCodec = codec.GetName() != m_pDoc->GetTagCodec().GetName();
    m_pDoc->SetTagCodec(codec);
    if (bNewCodec || m_settings.m_strFileExt != strPattern) {
        OnRescan();
    }
}

// Turned off, the catalogues kept go with it: they would only grow stale in the cache.
void CMainFrame::ApplyKeepCatalogue() {
    const std::string strFolder = KeptCatalogueFolder();
    if (m_settings.m_bKeepCatalogue != 0) {
        m_pDoc->SetKeptFolder(strFolder);
        return;
    }
    m_pDoc->SetKeptFolder(std::string());
    m_pDoc->WaitForKeptWrite();
    CKeptCatalogue::RemoveAll(strFolder);
}

void CMainFrame::OnAppAbout() {
    // The project has no home page of its own: no link rather than a made-up address.
    CAboutDlg dialog([this](const std::string& strUrl) { m_shell.Open(strUrl); }, QString(), this);
    m_modals.Exec(dialog);
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(DisplayPath(m_pDoc->GetTitle()) + QStringLiteral(" - ") +
                   LoadQString(IDS_APP_TITLE));
}

std::string CMainFrame::GetFileExt() const {
    return m_settings.m_strFileExt;
}

void CMainFrame::WriteFilePath(const std::string& strFolder) {
    m_store.WritePath(CUserSettings::SECTION_MP3, "FilePath", strFolder);
}

void CMainFrame::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CMainFrame::EndWaitCursor() {
    QApplication::restoreOverrideCursor();
}

void CMainFrame::SaveFrameSettings() {
    SaveBrowseSettings();
    // A window left where it was placed gives back the stored values, frame or no frame.
    const QRect rect = GetOuterNormalGeometry();
    const char* pszUser = CUserSettings::SECTION_USER;
    m_store.WriteInt(pszUser, "cx", rect.width());
    m_store.WriteInt(pszUser, "cy", rect.height());
    m_store.WriteInt(pszUser, "x", rect.left());
    m_store.WriteInt(pszUser, "y", rect.top());
}

// What the user browsed: the organisation, the folders' history and the sort. The start folder is
// the document's to write, at each scan's end.
void CMainFrame::SaveBrowseSettings() {
    CSettingsStore& store = m_store;
    const char* pszUser = CUserSettings::SECTION_USER;
    store.WriteInt(pszUser, "ShowLabels", m_bShowLabels ? 1 : 0);
    store.WriteInt(pszUser, "ViewType", m_nViewType);
    const std::vector<std::string> arrAddresses = m_pAddress->GetAddresses();
    for (std::size_t i = 0;
         i < std::min<std::size_t>(arrAddresses.size(), CUserSettings::ADDRESS_COUNT); ++i) {
        const std::string strName = "Address" + std::to_string(i);
        store.WritePath(pszUser, strName.c_str(), arrAddresses[i]);
    }
    store.WriteInt(pszUser, "SortingColumn", m_settings.m_nSortingColumn);
    // Columns the user never changed are not stored: they follow the font.
    if (!m_settings.m_strColumnWidths.empty()) {
        store.WriteString(pszUser, "ColumnWidths", m_settings.m_strColumnWidths);
        store.WriteString(pszUser, "ColumnOrder", m_settings.m_strColumnOrder);
        store.WriteString(pszUser, "HiddenColumns", m_settings.m_strHiddenColumns.value_or(""));
    }
}

// The settings reach the file now, and a file that cannot be written is told once.
void CMainFrame::FlushSettings() {
    m_store.Flush();
    ReportSettingsProblem();
}

void CMainFrame::ReportSettingsProblem() {
    const QString strProblem = m_store.GetWriteProblemText();
    if (strProblem.isEmpty() || m_bSettingsProblemTold) {
        return;
    }
    m_bSettingsProblemTold = true;
    m_messages.Show(this, strProblem);
}

// A scan running is stopped, not waited for: the folder read so far is the one stored. A write
// running stops after the file it is writing, which the track commands wait for as they go.
void CMainFrame::closeEvent(QCloseEvent* pEvent) {
    // Told already, if at all: a box would hold the window that is closing.
    m_bSettingsProblemTold = true;
    OnStopScan();
    m_pCommands->Cancel();
    SaveFrameSettings();
    m_store.Flush();
    pEvent->accept();
}

// The stored rectangle is the window's outer one. It opens on the screen under its centre and
// fits that screen's free area.
void CMainFrame::RestorePlacement() {
    int nWidth = 0, nHeight = 0, nLeft = 0, nTop = 0;
    m_settings.GetFramePlacement(nWidth, nHeight, nLeft, nTop);
    const QRect rectStored(nLeft, nTop, nWidth, nHeight);
    const QScreen* pScreen = QGuiApplication::screenAt(rectStored.center());
    if (pScreen == nullptr) {
        pScreen = QGuiApplication::primaryScreen();
    }
    m_rectPlaced = pScreen != nullptr
                       ? CFramePlacement::Fit(rectStored, pScreen->availableGeometry())
                       : rectStored;
    move(m_rectPlaced.topLeft()); // a top-level window's position is its frame's
    resize(m_rectPlaced.size());
}

// A window manager adds its frame after the window is shown, at a time of its own: the first
// move or resize that shows a frame takes it off the inner size.
void CMainFrame::FitFrame() {
    if (m_bPlaced || !isVisible()) {
        return;
    }
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    if (frameExtra.isEmpty()) {
        return;
    }
    m_bPlaced = true;
    if (size() == m_rectPlaced.size()) {
        resize(m_rectPlaced.size() - frameExtra);
    }
}

QRect CMainFrame::GetOuterNormalGeometry() const {
    QRect rect = frameGeometry();
    // A maximised or minimised window keeps the place it will come back to.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        const QMargins frame(geometry().left() - rect.left(), geometry().top() - rect.top(),
                             rect.right() - geometry().right(),
                             rect.bottom() - geometry().bottom());
        rect = normalGeometry().marginsAdded(frame);
    }
    return rect;
}

// A command's prompt covers the panes while the pointer is on its button or menu entry. Qt takes
// it away when the pointer moves to another control, but not when the pointer leaves the window,
// nor when the command opened a dialog: the prompt then stayed over the panes. Other messages
// (the settings notice) are left to their own end.
bool CMainFrame::event(QEvent* pEvent) {
    switch (pEvent->type()) {
    case QEvent::StatusTip:
        m_strPrompt = static_cast<QStatusTipEvent*>(pEvent)->tip();
        break;
    case QEvent::Leave:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        ClearPrompt();
        break;
    default:
        break;
    }
    return QMainWindow::event(pEvent);
}

void CMainFrame::ClearPrompt() {
    if (!m_strPrompt.isEmpty() && m_pStatusBar->currentMessage() == m_strPrompt) {
        m_pStatusBar->clearMessage();
    }
    m_strPrompt.clear();
}

void CMainFrame::showEvent(QShowEvent* pEvent) {
    QMainWindow::showEvent(pEvent);
    FitFrame();
}

void CMainFrame::moveEvent(QMoveEvent* pEvent) {
    QMainWindow::moveEvent(pEvent);
    FitFrame();
}

void CMainFrame::resizeEvent(QResizeEvent* pEvent) {
    QMainWindow::resizeEvent(pEvent);
    FitFrame();
}
