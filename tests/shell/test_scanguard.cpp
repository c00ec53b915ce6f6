// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// The window during a long scan: it keeps painting and counting, ignores input, and stops the
// scan on Escape, on a click on the busy animation, or when it is closed.
#include "catalogue/posixio.h"
#include "catalogue/tunebrdoc.h"
#include "panes/leftview.h"
#include "panes/tunebrview.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "shell/addressbox.h"
#include "shell/busyanimation.h"
#include "shell/mainframe.h"
#include "shell/statuspanes.h"
#include "tests/support/testfiles.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace {

constexpr int FILES = 400;

// While slow, every open takes a while, one at a time, as on a slow disk, so that a scan lasts
// long enough to act during it however many readers it starts.
class CSlowOps final : public CFileOps {
public:
    int OpenAt(int nDirFd, const char* pszPath, int nFlags) override {
        if (m_bSlow) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return CFileOps::OpenAt(nDirFd, pszPath, nFlags);
    }

    std::atomic<bool> m_bSlow{false};

private:
    std::mutex m_mutex;
};

class ScanGuard : public ::testing::Test {
protected:
    ScanGuard() {
        for (int i = 0; i < FILES; ++i) {
            WriteBytes(m_library.Path() / ("d" + std::to_string(i % 20)) /
                           ("t" + std::to_string(i) + ".mp3"),
                       Audio(300) + MakeTag("Title", "Artist " + std::to_string(i % 9)));
        }
        CSettingsStore().WriteString(CUserSettings::SECTION_MP3, "FilePath", "/nonexistent");
        m_settings.LoadSettings(m_store);
        m_pFrame =
            std::make_unique<CMainFrame>(m_settings, m_store, SFrameSeams{nullptr, &m_slowOps});
        m_pFrame->show();
        m_pFrame->StartUp(nullptr);
    }

    // Scans the library slowly, calling fnDuring once the scan has run for a while.
    void ScanSlowly(const std::function<void()>& fnDuring) {
        QTimer::singleShot(150, m_pFrame.get(), fnDuring);
        m_slowOps.m_bSlow = true;
        m_pFrame->OpenAddress(m_library.Str());
        m_slowOps.m_bSlow = false;
    }

    std::size_t Tracks() const { return m_pFrame->GetDocument().GetTracks()->size(); }
    int ListRows() const {
        return m_pFrame->GetRightPane()->findChild<QTreeView*>()->model()->rowCount();
    }
    QString PaneText() const { return m_pFrame->GetStatusPanes()->GetPaneText(0); }
    std::string StoredFolder() const {
        return m_store.ReadPath(CUserSettings::SECTION_MP3, "FilePath", "");
    }

    // What a stopped scan leaves: the files read so far, listed, counted, and the folder stored.
    void ExpectStoppedScan() const {
        EXPECT_TRUE(m_pFrame->GetDocument().WasScanStopped());
        EXPECT_GT(Tracks(), 0u);
        EXPECT_LT(Tracks(), static_cast<std::size_t>(FILES));
        EXPECT_EQ(ListRows(), static_cast<int>(Tracks()));
        EXPECT_EQ(PaneText(), QStringLiteral("Scan stopped: %1 file(s)").arg(Tracks()));
        EXPECT_EQ(StoredFolder(), m_library.Str());
        EXPECT_FALSE(m_pFrame->GetAnimation()->IsRunning());
    }

    CTempDir m_library;
    CSettingsStore m_store;
    CUserSettings m_settings;
    CSlowOps m_slowOps;
    std::unique_ptr<CMainFrame> m_pFrame;
};

} // namespace

TEST_F(ScanGuard, WindowCountsAndAnimatesWhileAScanRuns) {
    QStringList arrTexts;
    std::vector<int> arrFrames;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        arrTexts.push_back(PaneText());
        arrFrames.push_back(m_pFrame->GetAnimation()->GetFrame());
    });
    sampler.start(20);
    ScanSlowly([] {});
    sampler.stop();

    EXPECT_EQ(Tracks(), static_cast<std::size_t>(FILES));
    EXPECT_FALSE(m_pFrame->GetDocument().WasScanStopped());
    EXPECT_EQ(PaneText(), QString::fromStdString(m_library.Str()));
    // The count went up while the scan ran, and the animation turned.
    QStringList arrCounts = arrTexts.filter(QRegularExpression("^Reading: \\d+ file\\(s\\)$"));
    arrCounts.removeDuplicates();
    EXPECT_GE(arrCounts.size(), 2) << arrTexts.join(", ").toStdString();
    EXPECT_GE(std::set<int>(arrFrames.begin(), arrFrames.end()).size(), 2u);
}

TEST_F(ScanGuard, EscapeStopsTheScanAndOtherKeysAreIgnored) {
    QLineEdit* pAddress = m_pFrame->GetAddressBox()->lineEdit();
    const QString strAddress = pAddress->text();
    // Keys come through the window, as the desktop delivers them.
    QWindow* pWindow = m_pFrame->windowHandle();
    ScanSlowly([&] {
        pAddress->setFocus();
        QTest::keyClick(pWindow, Qt::Key_X);
        QTest::keyClick(pWindow, Qt::Key_Tab);
        QTest::keyClick(pWindow, Qt::Key_F5); // a rescan inside the scan would be no good
        EXPECT_TRUE(pAddress->hasFocus());
        QTest::keyClick(pWindow, Qt::Key_Escape);
    });
    ExpectStoppedScan();
    EXPECT_EQ(pAddress->text(), strAddress);
}

TEST_F(ScanGuard, ClickOnTheAnimationStopsTheScanAndOtherClicksAreIgnored) {
    // Clicks come through the window, as the desktop delivers them.
    QWindow* pWindow = m_pFrame->windowHandle();
    const auto clickOn = [pWindow, this](QWidget* pWidget) {
        QTest::mouseClick(pWindow, Qt::LeftButton, {},
                          pWidget->mapTo(m_pFrame.get(), pWidget->rect().center()));
    };
    ScanSlowly([&] {
        // A click on the other pane would make it the active one.
        QWidget* pActive = m_pFrame->GetActiveView();
        QAbstractScrollArea* pOther =
            pActive == m_pFrame->GetLeftPane()
                ? static_cast<QAbstractScrollArea*>(
                      m_pFrame->GetRightPane()->findChild<QTreeView*>())
                : static_cast<QAbstractScrollArea*>(m_pFrame->GetLeftPane());
        clickOn(pOther->viewport());
        EXPECT_EQ(m_pFrame->GetActiveView(), pActive);
        clickOn(m_pFrame->GetAnimation());
    });
    ExpectStoppedScan();
}

TEST_F(ScanGuard, NoScanStartsInsideARunningScan) {
    CTempDir other;
    WriteBytes(other.Path() / "other.mp3", Audio(300));
    ScanSlowly([&] {
        m_pFrame->OpenAddress(other.Str());
        QTest::keyClick(m_pFrame->windowHandle(), Qt::Key_Escape);
    });
    ExpectStoppedScan();
    EXPECT_EQ(m_pFrame->GetDocument().GetTitle(), m_library.Str());
}

TEST_F(ScanGuard, ClosingTheWindowStopsTheScanThenCloses) {
    ScanSlowly([&] { m_pFrame->close(); });
    ExpectStoppedScan();
    EXPECT_FALSE(m_pFrame->isVisible());
}
