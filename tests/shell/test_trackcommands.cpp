// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/cataloguehost.h"
#include "catalogue/posixio.h"
#include "catalogue/tunebrdoc.h"
#include "panes/panehost.h"
#include "panes/tracklistmodel.h"
#include "panes/tunebrview.h"
#include "platform/settingsstore.h"
#include "platform/shellhandoff.h"
#include "platform/textconv.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/mainframe.h"
#include "shell/statuspanes.h"
#include "shell/trackcommands.h"
#include "tests/support/fakes.h"
#include "tests/support/fakeshell.h"
#include "tests/support/scanwait.h"
#include "tests/support/testfiles.h"
#include "tests/support/trackcommandstest.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class TrackCommands : public CTrackCommandsTest {
protected:
    TrackCommands() {
        Lay({{"a.mp3", Audio(300) + MakeTag("a.mp3", "Artist")},
             {"b.mp3", Audio(300) + MakeTag("b.mp3", "Artist")},
             {"c.mp3", Audio(300) + MakeTag("c.mp3", "Artist")}});
    }
};

} // namespace

TEST_F(TrackCommands, DoubleClickActionFollowsTheStoredChoice) {
    const struct {
        int nAction;
        std::initializer_list<int> rows;
        std::vector<std::string> arrCalls;
    } aCases[] = {
        {0, {1}, {"play " + Path("b.mp3")}},
        {1, {0, 2}, {"enqueue " + Path("a.mp3") + " " + Path("c.mp3")}},
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

// An empty playlist would make many players empty their own list.
TEST_F(TrackCommands, PlayAndEnqueueWithNothingSelectedDoNothing) {
    Select({});
    for (const int nAction : {0, 1}) {
        m_settings.m_nDoubleClickAction = nAction;
        m_commands.DoDoubleClickAction();
    }
    m_commands.OnPlay();
    m_commands.OnEnqueue();
    EXPECT_EQ(m_shell.m_arrCalls, std::vector<std::string>{});
}

TEST_F(TrackCommands, EnterAndDoubleClickAnywhereAskForTheAction) {
    int nRequests = 0;
    QObject::connect(&m_view, &CTunebrView::doubleClickActionRequested, [&] { ++nRequests; });
    QTableView* pDetails = m_view.GetDetailsView();
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

TEST_F(TrackCommands, ContextMenuOffersTheCommandsWithTheirState) {
    QAction play(nullptr), enqueue(nullptr), copy(nullptr), properties(nullptr), rename(nullptr),
        tags(nullptr);
    enqueue.setEnabled(false);
    tags.setEnabled(false);
    bool bTriggered = false;
    QObject::connect(&copy, &QAction::triggered, [&] { bTriggered = true; });
    const QPoint ptAsked = m_view.mapToGlobal(QPoint(10, 10));
    m_modals.OnMenu([&](QMenu& menu, const QPoint& ptScreen) {
        EXPECT_EQ(ptScreen, ptAsked);
        QStringList arrTexts;
        std::vector<bool> arrEnabled;
        for (QAction* pItem : menu.actions()) {
            arrTexts.append(pItem->isSeparator() ? QStringLiteral("-") : pItem->text());
            arrEnabled.push_back(pItem->isEnabled());
        }
        EXPECT_EQ(arrTexts,
                  (QStringList{"&Play", "&Enqueue", "-", "&Copy", "-", "&Rename Files from Tags...",
                               "&Tags from File Names...", "-", "&Properties ..."}));
        EXPECT_EQ(arrEnabled,
                  (std::vector<bool>{true, false, true, true, true, true, false, true, true}));
        return menu.actions()[3];
    });
    m_commands.ShowContextMenu(ptAsked, {&play, &enqueue, &copy, &properties, &rename, &tags});
    EXPECT_TRUE(bTriggered);
}

// The player's command runs on while the window goes on: the event loop never stands still, the
// busy cursor and the status text show from the first second to the command's end, and a command
// that failed is reported once it ends.
TEST(TrackCommandsInTheWindow, AHandoffTakingItsTimeLeavesTheWindowResponsive) {
    const struct {
        const char* pszCase;
        std::vector<std::string> arrProgram;
        bool bBusy;
        const char* pszMessage;
    } arrCases[] = {
        {"player taking 2 s", {"/bin/sleep", "2"}, true, nullptr},
        {"player refusing", {"/bin/sh", "-c", "exit 3"}, false, "status 3"},
    };
    for (const auto& testCase : arrCases) {
        SCOPED_TRACE(testCase.pszCase);
        CTempDir library;
        for (const char* pszName : {"a.mp3", "b.mp3", "c.mp3"}) {
            WriteBytes(library.Path() / pszName, Audio(300) + MakeTag(pszName, "Artist"));
        }
        CSettingsStore store;
        store.WriteString(CUserSettings::SECTION_MP3, "FilePath", library.Str());
        CUserSettings settings;
        settings.LoadSettings(store);
        CFakeShell shell;
        shell.m_arrProgram = testCase.arrProgram;
        CRecordingMessages messages;
        CMainFrame frame(settings, store, {&shell, nullptr, &messages});
        frame.show();
        frame.StartUp(nullptr);
        EXPECT_TRUE(WaitForFolder(frame));
        frame.SwitchPane();
        frame.GetRightPane()->GetDetailsView()->selectAll();
        const QString strIdle = frame.GetStatusPanes()->GetPaneText(0);

        QElapsedTimer clock;
        qint64 nLast = 0, nLongestGap = 0, nBusyFrom = -1;
        bool bStatusShown = false;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            nLongestGap = std::max(nLongestGap, clock.elapsed() - nLast);
            nLast = clock.elapsed();
            const QCursor* pCursor = QApplication::overrideCursor();
            if (pCursor != nullptr && pCursor->shape() == Qt::BusyCursor && nBusyFrom < 0) {
                nBusyFrom = nLast;
            }
            bStatusShown = bStatusShown ||
                           frame.GetStatusPanes()->GetPaneText(0) == LoadQString(IDS_HANDING_OVER);
        });
        clock.start();
        tick.start(10);
        frame.GetAction(ID_ENQUEUE)->trigger();
        QTest::qWait(3000);

        EXPECT_EQ(shell.m_arrCalls.size(), 1u);
        EXPECT_LT(nLongestGap, 250) << "the window stood still";
        EXPECT_EQ(nBusyFrom >= 900, testCase.bBusy) << nBusyFrom;
        EXPECT_EQ(bStatusShown, testCase.bBusy);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(frame.GetStatusPanes()->GetPaneText(0), strIdle);
        if (testCase.pszMessage != nullptr) {
            ASSERT_EQ(messages.m_arrTexts.size(), 1);
            EXPECT_TRUE(
                messages.m_arrTexts.front().contains(QString::fromUtf8(testCase.pszMessage)));
        } else {
            EXPECT_EQ(messages.m_arrTexts, QStringList{});
        }
    }
}
