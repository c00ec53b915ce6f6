// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/posixio.h"
#include "catalogue/tunebrdoc.h"
#include "panes/tunebrview.h"
#include "platform/usersettings.h"
#include "tests/support/fakes.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// A list pane over a document of its own and tracks the test makes: what the pane's tests share.
class CListPaneTest : public ::testing::Test {
protected:
    // A new pane of the given size, shown, its model checked by Qt's tester from then on.
    CTunebrView& OpenPane(int nWidth, int nHeight) {
        m_pView.reset();
        m_pView = std::make_unique<CTunebrView>(m_doc, m_settings, m_host);
        m_pTester = std::make_unique<QAbstractItemModelTester>(
            m_pView->GetModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        m_pView->resize(nWidth, nHeight);
        m_pView->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_pView.get()));
        return *m_pView;
    }

    CFakeCatalogueHost m_catalogueHost;
    // A call left on a thread of its own may outlive the test: the process's own ops outlive it.
    CFileOps& m_fileOps = SystemFileOps();
    CTunebrDoc m_doc{m_catalogueHost, m_fileOps};
    CUserSettings m_settings;
    CFakePaneHost m_host;
    CTrackStore m_tracks;
    CTrackList m_list;
    std::unique_ptr<CTunebrView> m_pView;
    std::unique_ptr<QAbstractItemModelTester> m_pTester;
};
