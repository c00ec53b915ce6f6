// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "panes/fullrowdelegate.h"
#include "panes/listviewex.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using Style = CListViewEx::EDisplayStyle;

const QColor FOCUSED_HIGHLIGHT(200, 0, 0);
const QColor UNFOCUSED_HIGHLIGHT(0, 0, 200);
const QColor BASE(255, 255, 255);

// The backing store may hold fewer bits per channel than QColor.
bool Near(const QColor& actual, const QColor& expected) {
    return std::abs(actual.red() - expected.red()) <= 3 &&
           std::abs(actual.green() - expected.green()) <= 3 &&
           std::abs(actual.blue() - expected.blue()) <= 3;
}

QString Fit(const QFontMetrics& metrics, const QString& strText, int nWidth, int nMargin) {
    return CFullRowDelegate::FitTextToWidth(metrics, strText, nWidth, nMargin);
}

// Code units of the character that starts at nPos.
qsizetype CharLength(const QString& strText, qsizetype nPos) {
    return nPos + 1 < strText.size() && strText[nPos].isHighSurrogate() &&
                   strText[nPos + 1].isLowSurrogate()
               ? 2
               : 1;
}

// Checks a result of FitTextToWidth against the rule it follows, measuring with the same font.
void ExpectFitRule(const QFontMetrics& metrics, const QString& strText, int nWidth, int nMargin) {
    const QString strResult = Fit(metrics, strText, nWidth, nMargin);
    const auto Where = [&] {
        return strText.toStdString() + " in " + std::to_string(nWidth) + " margin " +
               std::to_string(nMargin) + " gave " + strResult.toStdString();
    };
    if (strText.isEmpty() || metrics.horizontalAdvance(strText) + nMargin <= nWidth) {
        EXPECT_EQ(strResult, strText) << Where();
        return;
    }
    ASSERT_TRUE(strResult.endsWith(QStringLiteral("..."))) << Where();
    const QString strKept = strResult.chopped(3);
    EXPECT_TRUE(strText.startsWith(strKept)) << Where();
    EXPECT_GE(strKept.size(), CharLength(strText, 0)) << Where();
    // Shorter than the text, but for a text of one character, which stays whole.
    EXPECT_TRUE(strKept.size() < strText.size() || strKept.size() == CharLength(strText, 0))
        << Where();
    EXPECT_FALSE(strKept.back().isHighSurrogate()) << Where();

    const int nEllipsis = metrics.horizontalAdvance(QStringLiteral("..."));
    const bool bFits = metrics.horizontalAdvance(strKept) + nEllipsis + nMargin <= nWidth;
    const bool bFirstCharOnly = strKept.size() == CharLength(strText, 0);
    EXPECT_TRUE(bFits || bFirstCharOnly) << Where();
    // The longest start that fits: one more character would not.
    const qsizetype nLonger = strKept.size() + CharLength(strText, strKept.size());
    if (nLonger < strText.size()) {
        EXPECT_GT(metrics.horizontalAdvance(strText.left(nLonger)) + nEllipsis + nMargin, nWidth)
            << Where();
    }
}

QStandardItemModel* MakeModel(QObject* pParent, int nRows) {
    auto* pModel = new QStandardItemModel(nRows, 3, pParent);
    for (int nRow = 0; nRow < nRows; ++nRow) {
        pModel->setItem(nRow, 0, new QStandardItem(QStringLiteral("r%1").arg(nRow)));
        pModel->setItem(nRow, 1, new QStandardItem(QStringLiteral("x")));
        pModel->setItem(nRow, 2, new QStandardItem(QString()));
    }
    return pModel;
}

// A list in a window beside a line edit, so that the focus can leave the list.
class ListViewEx : public ::testing::Test {
protected:
    void SetUp() override {
        auto* pLayout = new QVBoxLayout(&m_window);
        m_pList = new CListViewEx(&m_window);
        m_pEdit = new QLineEdit(&m_window);
        pLayout->addWidget(m_pList);
        pLayout->addWidget(m_pEdit);
        m_pModel = MakeModel(&m_window, 6);
        m_pList->SetModel(m_pModel);

        QPalette palette = m_pList->palette();
        palette.setColor(QPalette::Active, QPalette::Highlight, FOCUSED_HIGHLIGHT);
        palette.setColor(QPalette::Inactive, QPalette::Highlight, UNFOCUSED_HIGHLIGHT);
        for (const auto eGroup : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(eGroup, QPalette::Base, BASE);
            palette.setColor(eGroup, QPalette::HighlightedText, BASE);
        }
        m_pList->setPalette(palette);

        QTableView* pDetails = m_pList->GetDetailsView();
        for (int nColumn = 0; nColumn < 3; ++nColumn) {
            pDetails->horizontalHeader()->resizeSection(nColumn, 60);
        }
        m_window.resize(400, 300);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    }

    void SelectRow(int nRow) {
        m_pList->GetSelectionModel()->setCurrentIndex(m_pModel->index(nRow, 0),
                                                      QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    }

    // Colour of the details view at x in the middle of a row.
    QColor Pixel(int nRow, int nX) const {
        QTableView* pDetails = m_pList->GetDetailsView();
        const QImage image = pDetails->viewport()->grab().toImage();
        const QRect rcRow = pDetails->visualRect(m_pModel->index(nRow, 0));
        const qreal dScale = image.devicePixelRatio();
        return image.pixelColor(int(nX * dScale), int(rcRow.center().y() * dScale));
    }

    bool RowHasColour(int nRow, int nFromX, int nToX, const QColor& colour) const {
        for (int nX = nFromX; nX < nToX; ++nX) {
            if (Near(Pixel(nRow, nX), colour)) {
                return true;
            }
        }
        return false;
    }

    QWidget m_window;
    CListViewEx* m_pList = nullptr;
    QLineEdit* m_pEdit = nullptr;
    QStandardItemModel* m_pModel = nullptr;
};

} // namespace

TEST(ListViewExFit, KeepsTheLongestStartThatFits) {
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 9));
    const QString arrTexts[] = {
        QString(),
        QStringLiteral("W"),
        QStringLiteral("Sinnerman"),
        QStringLiteral("A title far wider than the column it is shown in"),
        QStringLiteral("Mot&ley\tCrüe"),
        QString::fromUtf8("\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80 smile"),
        QString::fromUtf8("ab\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5 notes"),
    };
    for (const QString& strText : arrTexts) {
        for (const int nMargin : {CFullRowDelegate::FIRST_MARGIN, CFullRowDelegate::OTHER_MARGIN}) {
            for (const int nWidth : {-5, 0, 8, 20, 35, 50, 65, 100, 150, 400}) {
                ExpectFitRule(metrics, strText, nWidth, nMargin);
            }
            const int nExact = metrics.horizontalAdvance(strText) + nMargin;
            ExpectFitRule(metrics, strText, nExact, nMargin);
            ExpectFitRule(metrics, strText, nExact - 1, nMargin);
        }
    }
}

TEST(ListViewExFit, EdgesOfTheRule) {
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 9));
    const QString strTitle = QStringLiteral("Sinnerman");
    const int nTitle = metrics.horizontalAdvance(strTitle);
    const QString strSmile = QString::fromUtf8("\xF0\x9F\x98\x80xyz");
    const QString SHORTENED = QStringLiteral("(any shortened text)");
    struct {
        const char* pszName;
        QString strText;
        int nWidth;
        int nMargin;
        QString strExpected;
    } const cases[] = {
        {"exactly fits with its margin", strTitle, nTitle + 12, 12, strTitle},
        {"one pixel short", strTitle, nTitle + 11, 12, SHORTENED},
        {"one character in no room", QStringLiteral("W"), 3, 12, QStringLiteral("W...")},
        {"long text in no room", strTitle, 0, 4, QStringLiteral("S...")},
        {"a surrogate pair stays whole", strSmile, 0, 4, QString::fromUtf8("\xF0\x9F\x98\x80...")},
        {"empty stays empty", QString(), 0, 12, QString()},
    };
    for (const auto& test : cases) {
        const QString strResult = Fit(metrics, test.strText, test.nWidth, test.nMargin);
        if (test.strExpected == SHORTENED) {
            EXPECT_NE(strResult, test.strText) << test.pszName;
            EXPECT_TRUE(strResult.endsWith(QStringLiteral("..."))) << test.pszName;
        } else {
            EXPECT_EQ(strResult, test.strExpected) << test.pszName;
        }
    }
}

// Cut in the middle, a text keeps as many characters as fit around "...", its start having the
// odd one, and at least its first character.
TEST(ListViewExFit, InTheMiddleKeepsBothEnds) {
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 9));
    const QString arrTexts[] = {
        QStringLiteral("/music/Some Artist/Some Album (Disc 1)"),
        QStringLiteral("W"),
        QString::fromUtf8("ab\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x8E\xB5z"),
    };
    const int nEllipsis = metrics.horizontalAdvance(QStringLiteral("..."));
    for (const QString& strText : arrTexts) {
        const QList<uint> arrChars = strText.toUcs4();
        const auto Kept = [&](qsizetype nKept) {
            const QList<uint> arrStart = arrChars.first((nKept + 1) / 2);
            const QList<uint> arrEnd = arrChars.last(nKept / 2);
            return std::pair(
                QString::fromUcs4(reinterpret_cast<const char32_t*>(arrStart.data()),
                                  arrStart.size()),
                QString::fromUcs4(reinterpret_cast<const char32_t*>(arrEnd.data()), arrEnd.size()));
        };
        const int nWhole = metrics.horizontalAdvance(strText) + CFullRowDelegate::OTHER_MARGIN;
        for (const int nWidth : {0, 20, 50, 80, 120, 400, nWhole, nWhole - 1}) {
            const QString strResult = CFullRowDelegate::FitTextToWidth(
                metrics, strText, nWidth, CFullRowDelegate::OTHER_MARGIN, Qt::ElideMiddle);
            const std::string strWhere = strText.toStdString() + " in " + std::to_string(nWidth) +
                                         " gave " + strResult.toStdString();
            if (nWidth >= nWhole) {
                EXPECT_EQ(strResult, strText) << strWhere;
                continue;
            }
            const qsizetype nAt = strResult.indexOf(QStringLiteral("..."));
            ASSERT_GT(nAt, 0) << strWhere;
            const qsizetype nKept =
                strResult.left(nAt).toUcs4().size() + strResult.mid(nAt + 3).toUcs4().size();
            ASSERT_TRUE(nKept < arrChars.size() || nKept == 1) << strWhere;
            const auto [strStart, strEnd] = Kept(nKept);
            EXPECT_EQ(strResult, strStart + QStringLiteral("...") + strEnd) << strWhere;
            const int nRoom = nWidth - CFullRowDelegate::OTHER_MARGIN - nEllipsis;
            const auto Width = [&](const std::pair<QString, QString>& kept) {
                return metrics.horizontalAdvance(kept.first) +
                       metrics.horizontalAdvance(kept.second);
            };
            EXPECT_TRUE(nKept == 1 || Width(Kept(nKept)) <= nRoom) << strWhere;
            if (nKept + 1 < arrChars.size()) {
                EXPECT_GT(Width(Kept(nKept + 1)), nRoom) << strWhere;
            }
        }
    }
}

TEST(ListViewExDelegate, SizeHintIsTheWidthThatShowsTheTextWhole) {
    QStandardItemModel model(1, 2);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("01 - Sinnerman.mp3")));
    model.setItem(0, 1, new QStandardItem(QStringLiteral("Pastel Blues")));
    const CFullRowDelegate delegate;
    QStyleOptionViewItem option;
    option.font = QFont(QStringLiteral("DejaVu Sans"), 9);
    option.fontMetrics = QFontMetrics(option.font);
    struct {
        int nColumn;
        int nLabelOffset;
        int nMargin;
    } const cases[] = {
        {0, CFullRowDelegate::ICON_LEFT + CFullRowDelegate::ICON_SIZE,
         CFullRowDelegate::FIRST_MARGIN},
        {1, 0, CFullRowDelegate::OTHER_MARGIN},
    };
    for (const auto& test : cases) {
        const QModelIndex index = model.index(0, test.nColumn);
        const QString strText = index.data().toString();
        const QSize size = delegate.sizeHint(option, index);
        const int nLabel = size.width() - test.nLabelOffset;
        EXPECT_EQ(Fit(option.fontMetrics, strText, nLabel, test.nMargin), strText) << test.nColumn;
        EXPECT_NE(Fit(option.fontMetrics, strText, nLabel - 1, test.nMargin), strText)
            << test.nColumn;
        EXPECT_GE(size.height(), CFullRowDelegate::ICON_SIZE) << test.nColumn;
        EXPECT_GE(size.height(), option.fontMetrics.height()) << test.nColumn;
    }
}

TEST_F(ListViewEx, SelectedRowIsHighlightedToTheRightEdge) {
    SelectRow(1);
    m_pList->GetDetailsView()->setFocus();
    ASSERT_TRUE(m_pList->GetDetailsView()->hasFocus());
    const int nRight = m_pList->GetDetailsView()->viewport()->width() - 10;
    struct {
        const char* pszName;
        int nRow;
        int nX;
        QColor expected;
    } const cases[] = {
        {"past the last column", 1, nRight, FOCUSED_HIGHLIGHT},
        {"in an empty cell", 1, 150, FOCUSED_HIGHLIGHT},
        {"in a cell beside its text", 1, 110, FOCUSED_HIGHLIGHT},
        {"left of the first label", 1, 1, BASE},
        {"another row", 0, nRight, BASE},
        {"another row, in a cell", 2, 150, BASE},
    };
    for (const auto& test : cases) {
        EXPECT_TRUE(Near(Pixel(test.nRow, test.nX), test.expected))
            << test.pszName << " " << Pixel(test.nRow, test.nX).name().toStdString();
    }

    // Without the focus the row stays selected, in the inactive colours.
    m_pEdit->setFocus();
    ASSERT_FALSE(m_pList->HasFocusWithin());
    EXPECT_TRUE(Near(Pixel(1, nRight), UNFOCUSED_HIGHLIGHT));
    EXPECT_TRUE(Near(Pixel(1, 150), UNFOCUSED_HIGHLIGHT));
}

TEST_F(ListViewEx, WithoutFullRowOnlyTheFirstColumnShowsTheSelection) {
    struct {
        bool bFullRow;
        bool bExpectedChange;
    } const changes[] = {{true, false}, {false, true}, {false, false}, {true, true}, {false, true}};
    for (const auto& change : changes) {
        EXPECT_EQ(m_pList->SetFullRowSelect(change.bFullRow), change.bExpectedChange)
            << change.bFullRow;
        EXPECT_EQ(m_pList->IsFullRowSelect(), change.bFullRow);
    }
    SelectRow(1);
    m_pList->GetDetailsView()->setFocus();
    const int nRight = m_pList->GetDetailsView()->viewport()->width() - 10;
    EXPECT_TRUE(Near(Pixel(1, nRight), BASE));
    EXPECT_TRUE(Near(Pixel(1, 150), BASE));
    EXPECT_FALSE(RowHasColour(1, 60, 180, FOCUSED_HIGHLIGHT));
    EXPECT_TRUE(RowHasColour(1, 0, 60, FOCUSED_HIGHLIGHT));

    EXPECT_TRUE(m_pList->SetFullRowSelect(true));
    EXPECT_TRUE(Near(Pixel(1, nRight), FOCUSED_HIGHLIGHT));
}

TEST_F(ListViewEx, DisplayStylesShareOneSelection) {
    EXPECT_EQ(m_pList->GetDisplayStyle(), Style::Details);
    EXPECT_EQ(m_pList->GetIconView()->selectionModel(), m_pList->GetSelectionModel());
    EXPECT_EQ(m_pList->GetDetailsView()->selectionModel(), m_pList->GetSelectionModel());
    SelectRow(2);
    m_pList->setFocus();
    ASSERT_TRUE(m_pList->GetDetailsView()->hasFocus());

    struct {
        Style eStyle;
        QListView::ViewMode eMode;
        QListView::Flow eFlow;
        int nIconSize;
    } const cases[] = {
        {Style::LargeIcons, QListView::IconMode, QListView::LeftToRight, 32},
        {Style::SmallIcons, QListView::ListMode, QListView::LeftToRight, 16},
        {Style::List, QListView::ListMode, QListView::TopToBottom, 16},
        {Style::LargeIcons, QListView::IconMode, QListView::LeftToRight, 32},
    };
    QListView* pIcons = m_pList->GetIconView();
    for (const auto& test : cases) {
        m_pList->SetDisplayStyle(test.eStyle);
        EXPECT_EQ(m_pList->GetDisplayStyle(), test.eStyle);
        EXPECT_EQ(m_pList->GetActiveView(), pIcons);
        EXPECT_TRUE(pIcons->isVisible());
        EXPECT_FALSE(m_pList->GetDetailsView()->isVisible());
        EXPECT_EQ(pIcons->viewMode(), test.eMode) << int(test.eStyle);
        EXPECT_EQ(pIcons->flow(), test.eFlow) << int(test.eStyle);
        EXPECT_TRUE(pIcons->isWrapping()) << int(test.eStyle);
        EXPECT_EQ(pIcons->iconSize(), QSize(test.nIconSize, test.nIconSize)) << int(test.eStyle);
        EXPECT_TRUE(pIcons->hasFocus()) << int(test.eStyle);
        EXPECT_TRUE(pIcons->selectionModel()->isSelected(m_pModel->index(2, 0)));
        EXPECT_EQ(pIcons->currentIndex().row(), 2);
    }

    // A click in the icon view selects the whole row for the details view.
    const QRect rc = pIcons->visualRect(m_pModel->index(4, 0));
    QTest::mouseClick(pIcons->viewport(), Qt::LeftButton, {}, rc.center());
    m_pList->SetDisplayStyle(Style::Details);
    EXPECT_EQ(m_pList->GetActiveView(), m_pList->GetDetailsView());
    EXPECT_TRUE(m_pList->GetDetailsView()->hasFocus());
    const QModelIndexList arrRows = m_pList->GetSelectionModel()->selectedRows();
    ASSERT_EQ(arrRows.size(), 1);
    EXPECT_EQ(arrRows.front().row(), 4);
    EXPECT_EQ(m_pList->GetDetailsView()->currentIndex().row(), 4);
}
