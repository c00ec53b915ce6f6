// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// What a screen reader is told about the tag editor's genre box and the display style buttons:
// runs where Qt reports to assistive tools (an X server with the accessibility bus), the reports
// caught before they leave.
#include "actions/mp3propertysheet.h"
#include "catalogue/genres.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "shell/mainframe.h"
#include "tests/support/fakes.h"
#include "tests/support/scanwait.h"
#include "tests/support/testfiles.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct SReport {
    QAccessible::Event eType;
    QObject* pObject;
    QString strValue; // what a value change carries
    QString strName;  // what the object is called when it is read back
    bool bChecked;
};

std::vector<SReport>& Reports() {
    static std::vector<SReport> s_arrReports;
    return s_arrReports;
}

void CatchReport(QAccessibleEvent* pEvent) {
    QAccessibleInterface* pInterface = pEvent->accessibleInterface();
    SReport report{pEvent->type(), pEvent->object(), {}, {}, false};
    if (pEvent->type() == QAccessible::ValueChanged) {
        report.strValue = static_cast<QAccessibleValueChangeEvent*>(pEvent)->value().toString();
    }
    if (pInterface != nullptr) {
        report.strName = pInterface->text(QAccessible::Name);
        report.bChecked = pInterface->state().checked;
    }
    Reports().push_back(report);
}

std::vector<SReport> ReportsOf(const QObject* pObject, QAccessible::Event eType) {
    std::vector<SReport> arrFound;
    for (const SReport& report : Reports()) {
        if (report.pObject == pObject && report.eType == eType) {
            arrFound.push_back(report);
        }
    }
    return arrFound;
}

class ScreenReaderControls : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (int nTry = 0; nTry < 100 && !QAccessible::isActive(); ++nTry) {
            QTest::qWait(50);
        }
    }
    ScreenReaderControls() { QAccessible::installUpdateHandler(&CatchReport); }
    ~ScreenReaderControls() override {
        QAccessible::installUpdateHandler(nullptr);
        Reports().clear();
    }
};

} // namespace

// Focus reads the box's text, the unchanged entry's words included; each arrow key is told as a
// change to the genre now shown.
TEST_F(ScreenReaderControls, TheGenreBoxIsReadOnFocusAndOnEveryArrowKey) {
    ASSERT_TRUE(QAccessible::isActive()) << "run under tests/a11y/with_atspi.sh";
    CRecordingMessages messages;
    CScriptedModals modals;
    CMp3PropertySheet sheet(nullptr, CTagCodec(), messages, modals);
    QComboBox* pGenre = sheet.GetPage().GetGenreBox();
    const int nJazz = pGenre->findData(8);
    ASSERT_GT(nJazz, 0);
    const struct {
        const char* pszCase;
        int nLoaded;
        QString strOnFocus;
        std::vector<std::pair<Qt::Key, QString>> arrKeys;
    } aCases[] = {
        {"Jazz",
         8,
         QStringLiteral("Jazz"),
         {{Qt::Key_Down, pGenre->itemText(nJazz + 1)},
          {Qt::Key_Up, QStringLiteral("Jazz")},
          {Qt::Key_Up, pGenre->itemText(nJazz - 1)}}},
        {"left unchanged",
         GENRE_NONE,
         QStringLiteral("(unchanged)"),
         {{Qt::Key_Down, QStringLiteral("(unchanged)")},
          {Qt::Key_Down, pGenre->itemText(1)},
          {Qt::Key_Up, QStringLiteral("(unchanged)")}}},
    };
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
    for (const auto& c : aCases) {
        sheet.GetPage().m_nGenre = c.nLoaded;
        sheet.GetPage().LoadFields();
        sheet.GetPage().GetEdit(ETagField::Track)->setFocus(Qt::OtherFocusReason);
        Reports().clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), pGenre) << c.pszCase;
        const std::vector<SReport> arrFocus = ReportsOf(pGenre, QAccessible::Focus);
        ASSERT_FALSE(arrFocus.empty()) << c.pszCase;
        EXPECT_EQ(arrFocus.back().strName, c.strOnFocus) << c.pszCase;
        for (const auto& [eKey, strSpoken] : c.arrKeys) {
            Reports().clear();
            QTest::keyClick(pGenre, eKey);
            const std::vector<SReport> arrChanges = ReportsOf(pGenre, QAccessible::ValueChanged);
            ASSERT_EQ(arrChanges.size(), 1u) << c.pszCase;
            EXPECT_EQ(arrChanges.front().strValue, strSpoken) << c.pszCase;
            EXPECT_EQ(arrChanges.front().strName, strSpoken) << c.pszCase;
        }
    }
}

// Made while a screen reader listens, the four style buttons are radio buttons; choosing one
// tells of the two that changed, and one alone is checked.
TEST_F(ScreenReaderControls, TheStyleButtonsTellWhichOneIsChosen) {
    ASSERT_TRUE(QAccessible::isActive()) << "run under tests/a11y/with_atspi.sh";
    CTempDir library;
    WriteBytes(library.Path() / "a.mp3", Audio(1000) + MakeTag("One", "Zoe"));
    CSettingsStore store;
    store.WriteString(CUserSettings::SECTION_MP3, "FilePath", library.Str());
    CUserSettings settings;
    settings.LoadSettings(store);
    CMainFrame frame(settings, store);
    frame.show();
    frame.StartUp(nullptr);
    EXPECT_TRUE(WaitForFolder(frame));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    const unsigned aStyles[] = {ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST,
                                ID_VIEW_DETAILS};
    unsigned nBefore = ID_VIEW_DETAILS;
    for (const unsigned nChosen : {ID_VIEW_LIST, ID_VIEW_LARGEICON, ID_VIEW_DETAILS}) {
        Reports().clear();
        frame.GetAction(nChosen)->trigger();
        int nChecked = 0;
        for (const unsigned nId : aStyles) {
            QWidget* pButton = frame.GetToolBar()->widgetForAction(frame.GetAction(nId));
            QAccessibleInterface* pInterface = QAccessible::queryAccessibleInterface(pButton);
            EXPECT_EQ(pInterface->role(), QAccessible::RadioButton) << nId;
            nChecked += pInterface->state().checked ? 1 : 0;
            EXPECT_EQ(pInterface->state().checked, nId == nChosen) << nId;
            const std::vector<SReport> arrChanges = ReportsOf(pButton, QAccessible::StateChanged);
            if (nId == nChosen || nId == nBefore) {
                ASSERT_FALSE(arrChanges.empty()) << nId;
                EXPECT_EQ(arrChanges.back().bChecked, nId == nChosen) << nId;
            } else {
                EXPECT_TRUE(arrChanges.empty()) << nId;
            }
        }
        EXPECT_EQ(nChecked, 1);
        nBefore = nChosen;
    }
}
