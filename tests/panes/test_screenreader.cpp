// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
// What a screen reader is told while the list is walked with the keys: runs where Qt reports to
// assistive tools (an X server with the accessibility bus), the reports caught before they leave.
#include "panes/listviewex.h"

#include <QAccessible>
#include <QListView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using Style = CListViewEx::EDisplayStyle;

struct SReport {
    QObject* pObject;
    QString strText;
};

std::vector<SReport>& FocusReports() {
    static std::vector<SReport> s_arrReports;
    return s_arrReports;
}

void CatchReport(QAccessibleEvent* pEvent) {
    if (pEvent->type() != QAccessible::Focus || pEvent->child() < 0) {
        return;
    }
    QAccessibleInterface* pInterface = pEvent->accessibleInterface();
    FocusReports().push_back({pEvent->object(), pInterface != nullptr
                                                    ? pInterface->text(QAccessible::Name)
                                                    : QString()});
}

class ScreenReader : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (int nTry = 0; nTry < 100 && !QAccessible::isActive(); ++nTry) {
            QTest::qWait(50);
        }
    }

    ScreenReader() : m_model(ROWS, 3) {
        // Every column says which row and column it is, so a wrong cell shows in the text.
        for (int nRow = 0; nRow < ROWS; ++nRow) {
            for (int nColumn = 0; nColumn < 3; ++nColumn) {
                m_model.setItem(
                    nRow, nColumn,
                    new QStandardItem(QStringLiteral("row %1 column %2").arg(nRow).arg(nColumn)));
            }
        }
        m_list.SetModel(&m_model);
        m_list.resize(600, 400);
        m_list.show();
        QAccessible::installUpdateHandler(&CatchReport);
    }
    ~ScreenReader() override { QAccessible::installUpdateHandler(nullptr); }

    static constexpr int ROWS = 6;
    QStandardItemModel m_model;
    CListViewEx m_list;
};

} // namespace

TEST_F(ScreenReader, OnlyTheViewOnScreenReportsTheCurrentRowByItsFirstCell) {
    ASSERT_TRUE(QAccessible::isActive()) << "run under tests/a11y/with_atspi.sh";
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_list));
    m_list.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_list));
    m_list.GetActiveView()->setCurrentIndex(m_model.index(0, 0));
    m_list.setFocus();
    struct {
        const char* pszStep;
        std::function<void()> step;
        Style eStyle;
        int nRow;
    } const aSteps[] = {
        {"Down", [this] { QTest::keyClick(m_list.GetActiveView(), Qt::Key_Down); }, Style::Details,
         1},
        {"End", [this] { QTest::keyClick(m_list.GetActiveView(), Qt::Key_End); }, Style::Details,
         ROWS - 1},
        {"to List", [this] { m_list.SetDisplayStyle(Style::List); }, Style::List, ROWS - 1},
        {"Home", [this] { QTest::keyClick(m_list.GetActiveView(), Qt::Key_Home); }, Style::List, 0},
        {"Down", [this] { QTest::keyClick(m_list.GetActiveView(), Qt::Key_Down); }, Style::List, 1},
        {"to large icons", [this] { m_list.SetDisplayStyle(Style::LargeIcons); }, Style::LargeIcons,
         1},
        {"Right", [this] { QTest::keyClick(m_list.GetActiveView(), Qt::Key_Right); },
         Style::LargeIcons, 2},
        {"to details", [this] { m_list.SetDisplayStyle(Style::Details); }, Style::Details, 2},
        {"Up", [this] { QTest::keyClick(m_list.GetActiveView(), Qt::Key_Up); }, Style::Details, 1},
    };
    for (const auto& step : aSteps) {
        FocusReports().clear();
        step.step();
        ASSERT_FALSE(FocusReports().empty()) << step.pszStep;
        // A reader speaks the last focus it was told of.
        const SReport& last = FocusReports().back();
        EXPECT_EQ(last.pObject, m_list.GetActiveView()) << step.pszStep;
        EXPECT_EQ(last.strText.toStdString(),
                  QStringLiteral("row %1 column 0").arg(step.nRow).toStdString())
            << step.pszStep;
        for (const SReport& report : FocusReports()) {
            EXPECT_TRUE(static_cast<QWidget*>(report.pObject)->isVisible()) << step.pszStep;
        }
    }
}
