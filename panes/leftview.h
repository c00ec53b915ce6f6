// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/docview.h"
#include "panes/runningsize.h"

#include <QString>
#include <QTreeWidget>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CPaneHost;
class CTunebrDoc;
class CUserSettings;

// The left pane: the scanned folder as a single root with, below it, the catalogue's artists, or
// its genres with their artists. Each node stands for a track list of the document; selecting a
// node hands that list to the other views and describes it in the status bar.
class CLeftView final : public QTreeWidget, public CDocView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLeftView)

public:
    struct SRootLabel {
        QString strText;
        bool bDrive = false; // a mount point, shown with the drive icon
    };

    // The node's track list is kept under this role, as a plain pointer into the document.
    static constexpr int ROLE_TRACKS = Qt::UserRole;

    CLeftView(CTunebrDoc& doc, const CUserSettings& settings, CPaneHost& host,
              QWidget* pParent = nullptr);
    ~CLeftView() override;

    // Builds the tree when no rebuild has reached this view yet, that is when the view was made
    // after the document's scan; otherwise the tree stands as the last rebuild left it.
    void OnInitialUpdate();

    void OnUpdate(CDocView* pSender, EHint eHint, CTrackList* pTracks) override;

    // A catalogue of this many tracks or more is shown over turns of the event loop: its tree in
    // one, the root's list in the next.
    void SetTurnTracks(std::size_t nTracks) { m_nTurnTracks = nTracks; }
    static constexpr std::size_t TURN_TRACKS = 100000;
    bool IsBuildPending() const { return m_bBuildPending; }

    // The root's text for a document title (the scanned folder, "" for the file system's root).
    static SRootLabel RootLabel(const std::string& strTitle);

    static CTrackList* TracksOf(const QTreeWidgetItem* pItem);

protected:
    bool event(QEvent* pEvent) override;

private:
    void ClearTree();
    void AddNewGroups();
    void BuildTree();
    void FillGenreNode(QTreeWidgetItem* pItem);
    void BuildInTurns();
    void RebuildAndSelectRoot();
    void SelectRoot();
    void ShowNodeStatus(const QString& strLabel, const CTrackList* pTracks);
    void OnSelectionChanged();

    CTunebrDoc& m_doc;
    CPaneHost& m_host;

    // Set from the document's rebuild-begin to its rebuild-end: the nodes are gone or going, and
    // their lists with them, so selection changes must not reach the other views.
    bool m_bRebuilding = false;
    // Set by each ShowNodeStatus: the status of a large list takes a pass over all its records,
    // which a rebuild makes only once.
    bool m_bStatusShown = false;
    std::size_t m_nTurnTracks = TURN_TRACKS;
    CRunningSize m_nodeSize; // of the node whose status was shown last
    bool m_bBuildPending = false;
    std::uint64_t m_nRebuilds = 0; // the document's rebuilds begun
    // 0 by artist, 1 by genre then artist, anything else the root alone; read at each build.
    int m_nOrganisation;
    QTreeWidgetItem* m_hRoot = nullptr;
    // By genre: the genre nodes in the order of the document's genres.
    std::vector<QTreeWidgetItem*> m_arrGenreNodes;
};
