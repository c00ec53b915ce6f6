// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The window during a scan: the scan runs on a thread of its own, the window keeps its input,
// rows appear as they are read, and a stop, a new folder or a close frees the window at once,
// even when the file system stopped answering.
#include "catalogue/keptcatalogue.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "panes/leftview.h"
#include "panes/tunebrview.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/addressbox.h"
#include "shell/busyanimation.h"
#include "shell/mainframe.h"
#include "shell/optionsheet.h"
#include "shell/statuspanes.h"
#include "tests/support/fakefileops.h"
#include "tests/support/fakes.h"
#include "tests/support/scanwait.h"
#include "tests/support/testfiles.h"
#include "tests/support/treechanges.h"

#include <QAction>
#include <QCheckBox>
#include <QCompleter>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int FILES = 400;

class ScanWindow : public ::testing::Test {
protected:
    ScanWindow() {
        Ops().HoldWhileStalled({EFileOp::OpenAt, EFileOp::Lstat}); // as a share that stopped
        for (int i = 0; i < FILES; ++i) {
            WriteBytes(m_library.Path() / ("d" + std::to_string(i % 20)) /
                           ("t" + std::to_string(i) + ".mp3"),
                       Audio(300) + MakeTag("Title", "Artist " + std::to_string(i % 9)));
        }
        WriteBytes(m_other.Path() / "other.mp3", Audio(300) + MakeTag("Other", "Someone"));
        CSettingsStore().WriteString(CUserSettings::SECTION_MP3, "FilePath", "/nonexistent");
        m_settings.LoadSettings(m_store);
        m_pFrame = std::make_unique<CMainFrame>(
            m_settings, m_store, SFrameSeams{nullptr, &Ops(), &m_messages, &m_modals});
        m_pFrame->show();
        m_pFrame->StartUp(nullptr);
        EXPECT_TRUE(WaitForFolder(*m_pFrame));
    }
    ~ScanWindow() override {
        SetSlow(false);
        if (!m_bLeaveStalled) {
            Ops().SetStalled(false);
        }
        if (m_pFrame) {
            EXPECT_TRUE(WaitForFolder(*m_pFrame));
        }
    }

    // A scan left behind on a stall may use it after its test.
    static CFakeFileOps& Ops() { return CFakeFileOps::Lasting(); }
    // Opens one at a time with a wait each, as on a slow share, so that a scan lasts long enough
    // to act during it.
    static void SetSlow(bool bSlow) { Ops().SetDelay(EFileOp::OpenAt, bSlow ? 10 : 0, true); }
    const CTunebrDoc& Doc() const { return m_pFrame->GetDocument(); }

    // Starts a slow scan of the library and lets the window run until fnUntil holds.
    void ScanSlowlyUntil(const std::function<bool()>& fnUntil) {
        SetSlow(true);
        m_pFrame->OpenAddress(m_library.Str());
        EXPECT_TRUE(Doc().IsScanning());
        const QDeadlineTimer deadline(20000);
        while (!fnUntil() && !deadline.hasExpired()) {
            QTest::qWait(5);
        }
        ASSERT_TRUE(fnUntil());
    }

    std::size_t Tracks() const { return m_pFrame->GetDocument().GetTracks()->size(); }
    int ListRows() const { return m_pFrame->GetRightPane()->GetDetailsView()->model()->rowCount(); }
    QString PaneText() const { return m_pFrame->GetStatusPanes()->GetPaneText(0); }
    std::string StoredFolder() const {
        return m_store.ReadPath(CUserSettings::SECTION_MP3, "FilePath", "");
    }

    // What a stopped scan leaves, at once: the files read so far, listed, counted, and the
    // folder stored.
    void ExpectStoppedScan() const {
        EXPECT_FALSE(Doc().IsScanning());
        EXPECT_TRUE(Doc().WasScanStopped());
        EXPECT_LT(Tracks(), static_cast<std::size_t>(FILES));
        EXPECT_EQ(ListRows(), static_cast<int>(Tracks()));
        EXPECT_EQ(PaneText(), QStringLiteral("Scan stopped: %1 file(s)").arg(Tracks()));
        EXPECT_EQ(StoredFolder(), m_library.Str());
        EXPECT_FALSE(m_pFrame->GetAnimation()->IsRunning());
    }

    void OpenWindow() {
        m_pFrame = std::make_unique<CMainFrame>(
            m_settings, m_store, SFrameSeams{nullptr, &Ops(), &m_messages, &m_modals});
        m_pFrame->show();
    }

    // The records as a view shows them, in catalogue order.
    static std::vector<std::string> Describe(const CTrackList& arrTracks) {
        std::vector<std::string> arr;
        for (const CTrackInfo* pTrack : arrTracks) {
            arr.push_back(pTrack->GetFullPath() + "|" + std::string(pTrack->GetTitle()) + "|" +
                          std::string(pTrack->GetArtist()) + "|" +
                          std::to_string(pTrack->GetSize()));
        }
        return arr;
    }

    CTempDir m_library;
    CTempDir m_other;
    CSettingsStore m_store;
    CUserSettings m_settings;
    CRecordingMessages m_messages;
    CScriptedModals m_modals; // no step: a dialog opened fails the test
    std::unique_ptr<CMainFrame> m_pFrame;
    bool m_bLeaveStalled = false;
};

} // namespace

TEST_F(ScanWindow, RowsAppearAndTheCountRisesWhileTheScanRuns) {
    QStringList arrTexts;
    std::set<int> setFrames;
    std::set<int> setRowsWhileScanning;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        arrTexts.push_back(PaneText());
        setFrames.insert(m_pFrame->GetAnimation()->GetFrame());
        if (Doc().IsScanning()) {
            setRowsWhileScanning.insert(ListRows());
        }
    });
    sampler.start(20);
    ScanSlowlyUntil([this] { return !Doc().IsScanning(); });
    sampler.stop();

    EXPECT_EQ(Tracks(), static_cast<std::size_t>(FILES));
    EXPECT_EQ(ListRows(), FILES);
    EXPECT_FALSE(Doc().WasScanStopped());
    EXPECT_EQ(PaneText(), QString::fromStdString(m_library.Str()));
    QStringList arrCounts = arrTexts.filter(QRegularExpression("^Reading: \\d+ file\\(s\\)$"));
    arrCounts.removeDuplicates();
    EXPECT_GE(arrCounts.size(), 2) << arrTexts.join(", ").toStdString();
    EXPECT_GE(setFrames.size(), 2u);
    // Rows were listed before the scan's end, and their number grew.
    setRowsWhileScanning.erase(0);
    EXPECT_GE(setRowsWhileScanning.size(), 2u);
    // The tree grew its groups meanwhile: all nine artists under the root.
    EXPECT_EQ(m_pFrame->GetLeftPane()->topLevelItem(0)->childCount(), 9);
}

// Every input reaches the window while it scans; a stop, however asked for, frees it at once.
TEST_F(ScanWindow, InputIsTakenAndEachWayOfStoppingKeepsWhatWasRead) {
    QWindow* pWindow = m_pFrame->windowHandle();
    const auto clickOn = [pWindow, this](QWidget* pWidget) {
        QTest::mouseClick(pWindow, Qt::LeftButton, {},
                          pWidget->mapTo(m_pFrame.get(), pWidget->rect().center()));
    };
    const struct {
        const char* pszWay;
        std::function<void()> fnStop;
    } aWays[] = {
        {"Escape", [&] { QTest::keyClick(pWindow, Qt::Key_Escape); }},
        {"click on the animation", [&] { clickOn(m_pFrame->GetAnimation()); }},
        {"File menu",
         [&] {
             for (QAction* pAction : m_pFrame->actions()) {
                 if (pAction->text() == "S&top Scan") {
                     pAction->trigger();
                 }
             }
         }},
    };
    for (const auto& way : aWays) {
        SCOPED_TRACE(way.pszWay);
        ScanSlowlyUntil([this] { return Tracks() > 0; });
        // Typing reaches the address box; a click makes the other pane the active one.
        QLineEdit* pAddress = m_pFrame->GetAddressBox()->lineEdit();
        pAddress->setFocus();
        pAddress->clear();
        QTest::keyClick(pWindow, Qt::Key_X);
        QTest::keyClick(pWindow, Qt::Key_Y);
        EXPECT_EQ(pAddress->text(), "xy");
        clickOn(m_pFrame->GetRightPane()->GetDetailsView()->viewport());
        EXPECT_EQ(m_pFrame->GetActiveView(), m_pFrame->GetRightPane());
        way.fnStop();
        ExpectStoppedScan();
        SetSlow(false);
    }
}

TEST_F(ScanWindow, AnotherFolderOpenedDuringAScanReplacesIt) {
    ScanSlowlyUntil([this] { return Tracks() > 0; });
    m_pFrame->OpenAddress(m_other.Str());
    SetSlow(false);
    ASSERT_TRUE(WaitForFolder(*m_pFrame));
    EXPECT_EQ(Doc().GetTitle(), m_other.Str());
    EXPECT_FALSE(Doc().WasScanStopped());
    ASSERT_EQ(Tracks(), 1u);
    EXPECT_EQ(m_pFrame->GetDocument().GetTracks()->front()->GetTitle(), "Other");
    EXPECT_EQ(ListRows(), 1);
    EXPECT_EQ(StoredFolder(), m_other.Str());
}

// A share that stops answering holds a scan's thread in the kernel; the window never waits for
// it: Escape frees it, another folder opens, the window closes, while the stall lasts.
TEST_F(ScanWindow, AStalledFileSystemNeverHoldsTheWindow) {
    Ops().SetStalled(true);
    ScanSlowlyUntil([] { return Ops().IsAnyoneStalled(); });
    QTest::keyClick(m_pFrame->windowHandle(), Qt::Key_Escape);
    ExpectStoppedScan();

    Ops().SetStalled(false);
    m_pFrame->OpenAddress(m_other.Str());
    ASSERT_TRUE(WaitForFolder(*m_pFrame));
    EXPECT_EQ(Tracks(), 1u);

    Ops().SetStalled(true);
    ScanSlowlyUntil([] { return Ops().IsAnyoneStalled(); });
    const auto tStart = std::chrono::steady_clock::now();
    m_pFrame->close();
    m_pFrame.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(1));
    EXPECT_EQ(StoredFolder(), m_library.Str());
    // The scan left behind stays on the stall to the process's end, as on a share that never
    // answers again. Released, its readers would go on reading and starting threads while the
    // process exits, and the leak checker's exit under AddressSanitizer can deadlock on threads
    // that start meanwhile.
    m_bLeaveStalled = true;
}

// Reading the tracks goes on while the user looks at them: what only reads them (play, copy)
// stays, what would replace them (an edit, its undo) waits for the scan's end, in every way of
// asking for it.
TEST_F(ScanWindow, CommandsThatReplaceTracksWaitForTheScan) {
    m_settings.m_nDoubleClickAction = 2; // Enter edits the tags
    ScanSlowlyUntil([this] { return ListRows() > 0; });
    QTableView* pList = m_pFrame->GetRightPane()->GetDetailsView();
    pList->setFocus();
    pList->selectionModel()->select(pList->model()->index(0, 0),
                                    QItemSelectionModel::ClearAndSelect |
                                        QItemSelectionModel::Rows);
    const struct {
        unsigned nId;
        bool bWhileScanning;
    } aCommands[] = {
        {ID_PLAY, true}, {ID_EDIT_COPY, true}, {ID_PROPERTIES, false}, {ID_EDIT_UNDO, false}};
    for (const auto& c : aCommands) {
        EXPECT_EQ(m_pFrame->GetAction(c.nId)->isEnabled(), c.bWhileScanning) << c.nId;
    }
    // Enter on a row, with editing as the list's action: no editor opens.
    QTest::keyClick(pList, Qt::Key_Return);
    EXPECT_TRUE(m_modals.Done());

    SetSlow(false);
    ASSERT_TRUE(WaitForFolder(*m_pFrame));
    pList->selectionModel()->select(pList->model()->index(0, 0),
                                    QItemSelectionModel::ClearAndSelect |
                                        QItemSelectionModel::Rows);
    EXPECT_TRUE(m_pFrame->GetAction(ID_PROPERTIES)->isEnabled());
}

// While a folder is read, the count and size panes give its running count, or nothing: never
// the numbers of the folder shown before.
TEST_F(ScanWindow, TheCountAndSizePanesFollowTheScanNotTheFolderBefore) {
    CTempDir big;
    WriteBytes(big.Path() / "big.mp3", Audio(2500000) + MakeTag("Big", "Someone"));
    m_pFrame->OpenAddress(big.Str());
    ASSERT_TRUE(WaitForFolder(*m_pFrame));
    const CStatusPanes* pStatus = m_pFrame->GetStatusPanes();
    ASSERT_EQ(pStatus->GetPaneText(4), "  2.5 MB");
    QStringList arrWrong;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const QString strCount = pStatus->GetPaneText(3);
        const QString strRunning = QStringLiteral("%1 file(s)").arg(ListRows());
        if (Doc().IsScanning() && ((!strCount.isEmpty() && strCount != strRunning) ||
                                   pStatus->GetPaneText(4) == "  2.5 MB")) {
            arrWrong.push_back(strCount + " / " + pStatus->GetPaneText(4));
        }
    });
    sampler.start(5);
    ScanSlowlyUntil([this] { return !Doc().IsScanning(); });
    EXPECT_TRUE(arrWrong.isEmpty()) << arrWrong.join(", ").toStdString();
    EXPECT_EQ(pStatus->GetPaneText(3), "400 file(s)");
}

// The address box completes folder names from a listing made off the window's thread: a share
// that stops answering holds that listing, never the window or its close.
TEST(AddressBoxCompletion, SubFoldersOfTheTypedFolderCompleteTheText) {
    CTempDir dir;
    for (const char* pszName : {"Beta", "Alpha"}) {
        std::filesystem::create_directories(dir.Path() / pszName);
    }
    WriteBytes(dir.Path() / "Alpha.mp3", "not a folder");
    CAddressBox box;
    QSignalSpy listed(&box, &CAddressBox::completionsChanged);
    QTest::keyClicks(box.lineEdit(), QString::fromStdString(dir.Str() + "/Al"));
    ASSERT_TRUE(listed.wait(5000));
    const QString strFolder = QString::fromStdString(dir.Str() + "/");
    const auto* pNames = qobject_cast<QStringListModel*>(box.completer()->model());
    ASSERT_NE(pNames, nullptr);
    EXPECT_EQ(pNames->stringList(), QStringList({strFolder + "Alpha", strFolder + "Beta"}));
    box.completer()->setCompletionPrefix(strFolder + "B");
    EXPECT_EQ(box.completer()->currentCompletion(), strFolder + "Beta");
}

TEST_F(ScanWindow, TheNextRunShowsTheKeptCatalogueAtOnceAndEndsWithWhatTheDiskHolds) {
    m_pFrame->OpenAddress(m_library.Str());
    ASSERT_TRUE(WaitForFolder(*m_pFrame));
    m_pFrame->GetDocument().WaitForKeptWrite();
    const std::filesystem::path kept =
        std::filesystem::path(qgetenv("XDG_CACHE_HOME").toStdString()) / "tunebrowse" /
        CKeptCatalogue::FileName(m_library.Str());
    ASSERT_TRUE(std::filesystem::exists(kept));
    // Between the runs, a change the times hide, a file gone and one new.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EditTagKeepingTimes(m_library.Path() / "d0" / "t0.mp3", MakeTag("Edited", "Artist 0"));
    std::filesystem::remove(m_library.Path() / "d1" / "t1.mp3");
    WriteBytes(m_library.Path() / "d2" / "new.mp3", Audio(300) + MakeTag("New", "Artist 1"));

    m_pFrame.reset();
    OpenWindow();
    m_pFrame->OpenAddress(m_library.Str());
    // Before the window has handled a single event.
    EXPECT_TRUE(Doc().IsChecking());
    EXPECT_EQ(Tracks(), static_cast<std::size_t>(FILES));
    EXPECT_EQ(ListRows(), FILES);
    EXPECT_EQ(PaneText(), QStringLiteral("Checking…"));
    ASSERT_TRUE(WaitForFolder(*m_pFrame));

    CFakeCatalogueHost host;
    CTunebrDoc fresh(host, SystemFileOps());
    fresh.ScanFolder(m_library.Str());
    const std::vector<std::string> arrFresh = Describe(*fresh.GetTracks());
    EXPECT_EQ(Describe(*m_pFrame->GetDocument().GetTracks()), arrFresh);
    EXPECT_EQ(ListRows(), static_cast<int>(arrFresh.size()));
    EXPECT_NE(std::find(arrFresh.begin(), arrFresh.end(),
                        (m_library.Path() / "d0" / "t0.mp3").string() + "|Edited|Artist 0|300"),
              arrFresh.end());

    // F5 trusts nothing kept.
    for (QAction* pAction : m_pFrame->findChildren<QAction*>()) {
        if (pAction->shortcut() == QKeySequence(Qt::Key_F5)) {
            pAction->trigger();
        }
    }
    EXPECT_TRUE(Doc().IsScanning());
    EXPECT_FALSE(Doc().IsChecking());
    ASSERT_TRUE(WaitForFolder(*m_pFrame));

    // Turned off, the kept catalogues go, and none is used or written again.
    m_modals.OnDialog<COptionSheet>([](COptionSheet& sheet) {
        sheet.GetPage().m_pKeepCatalogue->setChecked(false);
        sheet.accept();
    });
    m_pFrame->OnOptions();
    EXPECT_FALSE(std::filesystem::exists(kept));
    m_pFrame->OpenAddress(m_library.Str());
    EXPECT_FALSE(Doc().IsChecking());
    ASSERT_TRUE(WaitForFolder(*m_pFrame));
    m_pFrame->GetDocument().WaitForKeptWrite();
    EXPECT_FALSE(std::filesystem::exists(kept));
}
