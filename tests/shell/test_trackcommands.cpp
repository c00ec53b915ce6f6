// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/cataloguehost.h"
#include "catalogue/tunebrdoc.h"
#include "panes/panehost.h"
#include "panes/tracklistmodel.h"
#include "panes/tunebrview.h"
#include "platform/shellhandoff.h"
#include "platform/usersettings.h"
#include "shell/trackcommands.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

class CFakeShell final : public CShellHandoff {
public:
    bool Play(const std::string& strPath) override {
        m_arrCalls.push_back("play " + strPath);
        return true;
    }
    bool Enqueue(const std::string& strPath) override {
        m_arrCalls.push_back("enqueue " + strPath);
        return true;
    }
    bool Open(const std::string& strUrl) override {
        m_arrCalls.push_back("open " + strUrl);
        return true;
    }
    std::vector<std::string> m_arrCalls;
};

class CQuietHost final : public CCatalogueHost, public CPaneHost {
public:
    std::string GetFileExt() const override { return "*.mp3"; }
    void WriteFilePath(const std::string&) override {}
    void SetStatusTexts(const QString&, const QString&, const QString&, const QString&) override {}
    void StartAnimation() override {}
    void StopAnimation() override {}
    void SwitchPane() override {}
};

class TrackCommands : public ::testing::Test {
protected:
    TrackCommands() {
        for (const char* pszName : {"a.mp3", "b.mp3", "c.mp3"}) {
            WriteBytes(m_dir.Path() / pszName, Audio(300) + MakeTag(pszName, "Artist"));
        }
        m_doc.ScanFolder(m_dir.Str());
        m_view.OnInitialUpdate();
        m_view.resize(600, 300);
        m_view.show();
    }

    void Select(std::initializer_list<int> rows) {
        QItemSelectionModel* pSelection = m_view.GetSelectionModel();
        pSelection->clearSelection();
        for (const int nRow : rows) {
            pSelection->select(m_view.GetModel()->index(nRow, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    std::string Path(const char* pszName) const { return m_dir.Str() + "/" + pszName; }

    CTempDir m_dir;
    CQuietHost m_host;
    CTunebrDoc m_doc{m_host};
    CUserSettings m_settings;
    CTunebrView m_view{m_doc, m_settings, m_host};
    CFakeShell m_shell;
    CTrackCommands m_commands{m_view, m_doc, m_settings, m_shell};
};

} // namespace

TEST_F(TrackCommands, DoubleClickActionFollowsTheStoredChoice) {
    const struct {
        int nAction;
        std::initializer_list<int> rows;
        std::vector<std::string> arrCalls;
    } aCases[] = {
        {0, {1}, {"play " + Path("b.mp3")}},
        {1, {0, 2}, {"enqueue " + Path("a.mp3"), "enqueue " + Path("c.mp3")}},
        {1, {}, {}},
        {7, {0, 1}, {}},
    };
    for (const auto& c : aCases) {
        m_shell.m_arrCalls.clear();
        m_settings.m_nDoubleClickAction = c.nAction;
        Select(c.rows);
        m_commands.DoDoubleClickAction();
        EXPECT_EQ(m_shell.m_arrCalls, c.arrCalls) << "action " << c.nAction;
    }
}

TEST_F(TrackCommands, PlayWithNothingSelectedHandsAnEmptyPlaylist) {
    Select({});
    m_commands.OnPlay();
    ASSERT_EQ(m_shell.m_arrCalls.size(), 1u);
    const std::string strPlaylist = m_shell.m_arrCalls[0].substr(5);
    EXPECT_NE(strPlaylist.find("~playlst.m3u"), std::string::npos);
    EXPECT_EQ(ReadBytes(strPlaylist), "");
}

TEST_F(TrackCommands, EnterAndDoubleClickAnywhereAskForTheAction) {
    int nRequests = 0;
    QObject::connect(&m_view, &CTunebrView::doubleClickActionRequested, [&] { ++nRequests; });
    QTreeView* pDetails = m_view.GetDetailsView();
    pDetails->setFocus();
    QTest::keyClick(pDetails, Qt::Key_Return);
    // a held key repeats, and every repeat runs the action again
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(pDetails, &repeat);
    EXPECT_EQ(nRequests, 2);
    // below the last row: empty space
    QTest::mouseDClick(pDetails->viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(20, pDetails->viewport()->height() - 5));
    EXPECT_EQ(nRequests, 3);
    QTest::keyClick(pDetails, Qt::Key_Return, Qt::ControlModifier); // the Properties shortcut
    EXPECT_EQ(nRequests, 3);
}

TEST_F(TrackCommands, ContextMenuOffersTheFourCommandsWithTheirState) {
    QAction play(nullptr), enqueue(nullptr), copy(nullptr), properties(nullptr);
    enqueue.setEnabled(false);
    bool bTriggered = false;
    QObject::connect(&copy, &QAction::triggered, [&] { bTriggered = true; });
    QTimer::singleShot(0, [&] {
        auto* pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(pMenu, nullptr);
        QStringList arrTexts;
        std::vector<bool> arrEnabled;
        for (QAction* pItem : pMenu->actions()) {
            arrTexts.append(pItem->isSeparator() ? QStringLiteral("-") : pItem->text());
            arrEnabled.push_back(pItem->isEnabled());
        }
        EXPECT_EQ(arrTexts,
                  (QStringList{"&Play", "&Enqueue", "-", "&Copy", "-", "&Properties ..."}));
        EXPECT_TRUE(arrEnabled[0]);
        EXPECT_FALSE(arrEnabled[1]);
        pMenu->actions()[3]->trigger();
        pMenu->close();
    });
    m_commands.ShowContextMenu(m_view.mapToGlobal(QPoint(10, 10)), &play, &enqueue, &copy,
                               &properties);
    EXPECT_TRUE(bTriggered);
}
