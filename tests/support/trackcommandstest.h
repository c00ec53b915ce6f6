// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/cataloguehost.h"
#include "catalogue/hints.h"
#include "catalogue/posixio.h"
#include "catalogue/tunebrdoc.h"
#include "panes/panehost.h"
#include "panes/tracklistmodel.h"
#include "panes/tunebrview.h"
#include "platform/shellhandoff.h"
#include "platform/usersettings.h"
#include "shell/trackcommands.h"
#include "tests/support/fakes.h"
#include "tests/support/fakeshell.h"
#include "tests/support/testfiles.h"

#include <QItemSelectionModel>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// The track commands over the list of a folder of the test's own, which the test fills.
class CTrackCommandsTest : public ::testing::Test {
protected:
    CTrackCommandsTest() {
        m_view.OnInitialUpdate();
        m_view.resize(600, 300);
        m_view.show();
    }

    // Lays each file (name, bytes) in the folder, then lists the whole folder anew, as a click
    // on the tree's root would.
    void Lay(const std::vector<std::pair<std::string, std::string>>& arrFiles) {
        for (const auto& [strName, strBytes] : arrFiles) {
            WriteBytes(m_dir.Path() / strName, strBytes);
        }
        m_doc.ScanFolder(m_dir.Str());
        m_view.OnUpdate(nullptr, HINT_SHOW_TRACKS, m_doc.GetTracks());
    }

    void Select(std::initializer_list<int> rows) {
        QItemSelectionModel* pSelection = m_view.GetSelectionModel();
        pSelection->clearSelection();
        for (const int nRow : rows) {
            pSelection->select(m_view.GetModel()->index(nRow, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    // The rows of the files of those names.
    void SelectFiles(const std::vector<std::string>& arrNames) {
        QItemSelectionModel* pSelection = m_view.GetSelectionModel();
        pSelection->clearSelection();
        for (int nRow = 0; nRow < m_view.GetModel()->rowCount(); ++nRow) {
            const std::string strName(m_view.GetModel()->GetTrack(nRow)->GetFileName());
            if (std::find(arrNames.begin(), arrNames.end(), strName) != arrNames.end()) {
                pSelection->select(m_view.GetModel()->index(nRow, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        }
    }

    std::string Path(const char* pszName) const { return m_dir.Str() + "/" + pszName; }

    CTempDir m_dir;
    CFakeCatalogueHost m_host;
    CFakePaneHost m_paneHost;
    // A call left on a thread of its own may outlive the test: the process's own ops outlive it.
    CFileOps& m_fileOps = SystemFileOps();
    CRecordingMessages m_messages;
    CScriptedModals m_modals;
    CTunebrDoc m_doc{m_host, m_fileOps};
    CUserSettings m_settings;
    CTunebrView m_view{m_doc, m_settings, m_paneHost};
    CFakeShell m_shell;
    CTrackCommands m_commands{m_view, m_doc, m_settings, m_shell, m_fileOps, m_messages, m_modals};
};
