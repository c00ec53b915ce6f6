// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/cataloguehost.h"
#include "catalogue/hints.h"
#include "catalogue/posixio.h"
#include "panes/panehost.h"
#include "platform/detachedcall.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class CAddressBox;
class CFilterBox;
class CShellHandoff;
class CMessageSink;
class CModalRunner;
class CBusyAnimation;
class CLeftView;
class CStatusPanes;
class CSettingsStore;
class CUserSettings;
class CTunebrDoc;
class CTunebrView;
class CTrackCommands;
class CTagWriteRun;
class CWriteProgress;
class QSplitter;
class QToolBar;

// What the window reaches outside itself through; a null part is the system's own. Tests hand in
// fakes to see what would have been started or to slow and fail file operations.
struct SFrameSeams {
    CShellHandoff* pShell = nullptr;
    CFileOps* pFileOps = nullptr;
    CMessageSink* pMessages = nullptr;
    CModalRunner* pModals = nullptr;
};

// The main window: tool bars with the address box, the tree and list panes side by side, the
// status bar. It owns the catalogue document, switches the organisation mode and the list's
// display style, and saves its settings when it closes.
class CMainFrame final : public QMainWindow, public CPaneHost, public CCatalogueHost {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMainFrame)

public:
    CMainFrame(CUserSettings& settings, CSettingsStore& store, const SFrameSeams& seams = {});
    ~CMainFrame() override;

    // The first scan: the folder named on the command line (its bytes, relative to the current
    // directory) if it can be listed, else the start folder of the settings.
    void StartUp(const std::optional<std::string>& strFolder);
    void StartUp(const QString* pFolder);

    // Address bar. Paths are the system's bytes, "" for the root.
    void AddAddress(const std::string& strPath);
    // A folder whose catalogue was kept shows it at once and checks it against the disk;
    // bFromKept false reads everything again.
    void OpenAddress(const std::string& strPath, bool bFromKept = true);
    // Enter in the address field: the text is made absolute against the folder shown, "~"
    // expanded; a folder that cannot be listed is reported and changes nothing.
    void OnAddressEnter(const QString& strText);
    void OnAddressSelected(const QByteArray& strPath);

    // Pane services.
    void SetStatusTexts(const SStatusTexts& texts) override;
    void StartAnimation() override;
    void StopAnimation() override;
    void SwitchPane() override;

    // Catalogue services.
    std::string GetFileExt() const override;
    void WriteFilePath(const std::string& strFolder) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    CTunebrDoc& GetDocument() { return *m_pDoc; }
    CLeftView* GetLeftPane() const { return m_pLeftView; }
    CTunebrView* GetRightPane() const { return m_pRightView; }
    CAddressBox* GetAddressBox() const { return m_pAddress; }
    CFilterBox* GetFilterBox() const { return m_pFilter; }
    CStatusPanes* GetStatusPanes() const { return m_pStatusBar; }
    CBusyAnimation* GetAnimation() const { return m_pAnimate; }
    // The status bar's progress of a run of tag writes, shown while one runs.
    CWriteProgress* GetWriteProgress() const { return m_pWriteProgress; }
    QAction* GetStopAction() const { return m_pStop; }
    QToolBar* GetToolBar() const { return m_pToolBar; }
    QToolBar* GetAddressBar() const { return m_pAddressBar; }
    // The action of a command id (ID_PLAY, ID_VIEW_ARTIST, ...), or null.
    QAction* GetAction(unsigned nId) const;
    // The pane that last had the keyboard focus.
    QWidget* GetActiveView() const { return m_pActiveView; }
    int GetViewType() const { return m_nViewType; }

    void OnViewArtist();
    void OnViewGenre();
    void OnViewStyle(unsigned nId);
    void OnOptions();
    void OnAppAbout();
    void SaveFrameSettings();
    void SaveBrowseSettings();
    CTrackCommands& GetTrackCommands() { return *m_pCommands; }
    // A folder typed or named at start is being looked at, or read.
    bool IsOpeningFolder() const;

protected:
    bool event(QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void moveEvent(QMoveEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    struct SCommand;
    enum class ECommandGroup { None, Organisation, Style, Toggle };
    void CreateActions();
    void CreateScanControls();
    QAction* AddCommand(const SCommand& command);
    void CreateMenus();
    void CreateToolBars();
    void CreateClient();
    void LayoutBands();
    void FollowBarVisibility(QToolBar* pBar, unsigned nId, bool* pbShow);
    void SetViewType(int nViewType, EHint eHint);
    void SetActiveView(QWidget* pView);
    void UpdateCommands();
    void UpdateUndoCommand();
    void UpdateTitle();
    void ShowNotice(const QString& strText);
    void ClearNotice();
    void OnScanReady();
    void FileScanBatch();
    void OnStopScan();
    void EndScan();
    void UpdateScanCommands();
    void ShowScanProgress();
    static std::string KeptCatalogueFolder();
    void ApplyKeepCatalogue();
    void UpdateStopCommand();
    void OnStopWork();
    void OnWriteStateChanged();
    void RestorePlacement();
    void FitFrame();
    QRect GetOuterNormalGeometry() const;
    void OnFocusChanged(QWidget* pNow);
    void ClearPrompt();
    void FlushSettings();
    void ReportSettingsProblem();
    void ShowHandoffBusy(bool bBusy);
    void CheckFolder(const std::string& strFolder, std::function<void(int)> fnChecked);
    void OnOpenFolder();
    void OpenTypedFolder(const std::string& strTyped);
    void ReportFolderError(int nError, const std::string& strFolder);
    void OnRescan();
    void OnPlay();
    void OnEnqueue();
    void OnProperties();
    void OnEditCopy();
    void OnUndo();
    void OnRenameFromTags();
    void OnTagsFromNames();
    void OnAppExit();
    void OnFocusAddress();
    void OnFocusFilter();

    CUserSettings& m_settings;
    CSettingsStore& m_store;
    CShellHandoff& m_shell;
    CFileOps& m_fileOps;
    CMessageSink& m_messages;
    CModalRunner& m_modals;
    std::unique_ptr<CTunebrDoc> m_pDoc;
    std::map<unsigned, QAction*> m_mapActions;
    std::unique_ptr<CTrackCommands> m_pCommands;

    QSplitter* m_pSplitter = nullptr;
    CLeftView* m_pLeftView = nullptr;
    CTunebrView* m_pRightView = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QToolBar* m_pAddressBar = nullptr;
    CAddressBox* m_pAddress = nullptr;
    CFilterBox* m_pFilter = nullptr;
    CBusyAnimation* m_pAnimate = nullptr;
    QAction* m_pStop = nullptr;
    CDetachedCalls m_folderChecks{*this};
    int m_nFolderChecks = 0; // looks at folders not answered yet
    // Gathers a scan's records between two batches the views take in.
    QTimer m_scanBatchTimer;
    bool m_bFirstBatch = true;
    static constexpr int SCAN_BATCH_INTERVAL = 100; // ms
    static constexpr int FILING_BUDGET_MS = 12;     // of filing turns in one event
    QMetaObject::Connection m_focusConnection;
    CStatusPanes* m_pStatusBar = nullptr;
    CWriteProgress* m_pWriteProgress = nullptr;
    QPointer<CTagWriteRun> m_pShownRun; // the run whose progress the bar follows
    QWidget* m_pActiveView = nullptr;
    QString m_strStatusBeforeHandoff;
    QString m_strPrompt; // the command prompt last shown over the panes
    QString m_strNotice; // shown over the panes until they change
    bool m_bSettingsProblemTold = false;

    bool m_bShowToolBar = true;
    bool m_bShowLabels;
    bool m_bShowAddressBar = true;
    bool m_bShowStatusBar = true;
    int m_nViewType;
    bool m_bViewIconDirty = true;
    int m_nWaitDepth = 0;
    bool m_bPlaced = false; // the frame's size is known and taken off the stored outer size
    QRect m_rectPlaced;     // the outer rectangle given at start, fitted to the screen
};
