// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/posixio.h"
#include "catalogue/tunebrdoc.h"
#include "panes/columnlayout.h"
#include "panes/fullrowdelegate.h"
#include "panes/itemroles.h"
#include "panes/tracklistmodel.h"
#include "panes/tunebrview.h"
#include "panes/viewhints.h"
#include "platform/settingsstore.h"
#include "platform/usersettings.h"
#include "tests/support/fakes.h"
#include "tests/support/listpanetest.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPaintEngine>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;
constexpr int COLUMNS = CTrackListModel::COLUMN_COUNT;

// A list pane on tracks of the test's own, at the application font the test sets.
class Columns : public CListPaneTest {
protected:
    ~Columns() override { QApplication::setFont(m_fontBefore); }

    CTunebrView& MakeView() {
        OpenPane(1400, 300).OnUpdate(nullptr, HINT_SHOW_TRACKS, &m_list);
        return *m_pView;
    }
    QHeaderView& Header() const { return *m_pView->GetDetailsView()->horizontalHeader(); }
    std::vector<QAction*> MenuActions(QMenu& menu) const {
        m_pView->FillColumnMenu(menu);
        const QList<QAction*> arrActions = menu.actions();
        return {arrActions.begin(), arrActions.end()};
    }

    const QFont m_fontBefore = QApplication::font();
};

} // namespace

// At every font size the fixed-form values (the largest size, a year, a track number), a common
// genre and every title with its sort arrow show whole in the first layout, and the columns of
// free text grow with the font.
TEST_F(Columns, DefaultWidthsFollowTheFont) {
    m_list.push_back(m_tracks.Add({"a.mp3", "", "", "", "/m", 999999999, "1999", 40, "", 255}));
    std::vector<int> arrTitleWidths;
    for (const int nPoints : {8, 10, 11, 14}) {
        SCOPED_TRACE(nPoints);
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), nPoints));
        CTunebrView& view = MakeView();
        const QFontMetrics metrics = view.GetDetailsView()->fontMetrics();
        Header().setSortIndicatorShown(true);
        for (const int nColumn :
             {int(CTrackListModel::COL_SIZE), int(CTrackListModel::COL_DATE),
              int(CTrackListModel::COL_GENRE), int(CTrackListModel::COL_TRACK)}) {
            const QString strValue = view.GetModel()->index(0, nColumn).data().toString();
            const int nWidth = view.GetColumnLayout().m_arrWidths[nColumn];
            EXPECT_EQ(CFullRowDelegate::FitTextToWidth(metrics, strValue, nWidth,
                                                       CFullRowDelegate::OTHER_MARGIN),
                      strValue)
                << nColumn;
        }
        for (int nColumn = 0; nColumn < COLUMNS; ++nColumn) {
            EXPECT_GE(view.GetColumnLayout().m_arrWidths[nColumn],
                      Header().sectionSizeHint(nColumn))
                << nColumn;
        }
        const int nTitle = view.GetColumnLayout().m_arrWidths[CTrackListModel::COL_TITLE];
        EXPECT_TRUE(arrTitleWidths.empty() || nTitle > arrTitleWidths.back());
        arrTitleWidths.push_back(nTitle);
    }
}

// What the settings hold, over the defaults: a width at a time, the order and the hidden columns
// as a whole; and the three keys come back from the settings file as written.
TEST_F(Columns, StoredLayoutsAreReadOverTheDefaults) {
    CColumnLayout defaults = CColumnLayout::Defaults(QFontMetrics(QApplication::font()), {});
    const std::vector<int> arrWidths = defaults.m_arrWidths;
    const std::vector<int> arrOrder = defaults.m_arrOrder;
    const std::vector<bool> arrHidden = defaults.m_arrHidden;
    const auto Widths = [&](std::size_t nColumn, int nWidth) {
        std::vector<int> arr = arrWidths;
        arr[nColumn] = nWidth;
        return arr;
    };
    std::vector<bool> arrNoneHidden(COLUMNS, false);
    std::vector<bool> arrTwoHidden = arrNoneHidden;
    arrTwoHidden[3] = arrTwoHidden[9] = true;
    const struct {
        const char* pszName;
        std::string strWidths, strOrder;
        std::optional<std::string> strHidden;
        std::vector<int> arrWidths, arrOrder;
        std::vector<bool> arrHidden;
    } cases[] = {
        {"nothing stored", "", "", std::nullopt, arrWidths, arrOrder, arrHidden},
        {"a width stored", "200", "", std::nullopt, Widths(0, 200), arrOrder, arrHidden},
        {"widths out of range", "7,10001,0,-3", "", std::nullopt, arrWidths, arrOrder, arrHidden},
        {"widths not numbers", "wide,10", "", std::nullopt, Widths(1, 10), arrOrder, arrHidden},
        {"the last of more", ",,,,,,,,, 33 ,5,6", "", std::nullopt, Widths(9, 33), arrOrder,
         arrHidden},
        {"spaces around", " 8 ,", "", std::nullopt, Widths(0, 8), arrOrder, arrHidden},
        {"an order, the rest after it", "", "0,9,3", std::nullopt, arrWidths,
         std::vector<int>{0, 9, 3, 1, 2, 4, 5, 6, 7, 8}, arrHidden},
        {"the file column moved", "", "1,0", std::nullopt, arrWidths, arrOrder, arrHidden},
        {"a column twice", "", "0,2,2", std::nullopt, arrWidths, arrOrder, arrHidden},
        {"no such column", "", "0,10", std::nullopt, arrWidths, arrOrder, arrHidden},
        {"none hidden", "", "", "", arrWidths, arrOrder, arrNoneHidden},
        {"two hidden", "", "", "3, 9", arrWidths, arrOrder, arrTwoHidden},
        {"the file column hidden", "", "", "0", arrWidths, arrOrder, arrHidden},
        {"hidden not numbers", "", "", "3;9", arrWidths, arrOrder, arrHidden},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.pszName);
        CUserSettings settings;
        settings.m_strColumnWidths = test.strWidths;
        settings.m_strColumnOrder = test.strOrder;
        settings.m_strHiddenColumns = test.strHidden;
        const CColumnLayout layout = CColumnLayout::FromSettings(settings, defaults);
        EXPECT_EQ(layout.m_arrWidths, test.arrWidths);
        EXPECT_EQ(layout.m_arrOrder, test.arrOrder);
        EXPECT_EQ(layout.m_arrHidden, test.arrHidden);
    }

    // Texts with commas and an empty one survive the settings file.
    defaults.m_arrWidths[2] = 77;
    defaults.m_arrHidden = arrNoneHidden;
    CUserSettings written;
    defaults.StoreIn(written);
    {
        CSettingsStore store;
        for (const auto& [pszName, strValue] :
             {std::pair("ColumnWidths", written.m_strColumnWidths),
              std::pair("ColumnOrder", written.m_strColumnOrder),
              std::pair("HiddenColumns", *written.m_strHiddenColumns)}) {
            store.WriteString(CUserSettings::SECTION_USER, pszName, strValue);
        }
    }
    CUserSettings read;
    read.LoadSettings(CSettingsStore());
    EXPECT_EQ(CColumnLayout::FromSettings(
                  read, CColumnLayout::Defaults(QFontMetrics(QApplication::font()), {})),
              defaults);
}

// The user's widths, order and hidden columns go to the settings as they change, and a new list
// starts with them.
TEST_F(Columns, TheUsersLayoutIsStoredAndRestored) {
    CTunebrView& view = MakeView();
    EXPECT_EQ(m_settings.m_strColumnWidths, "") << "nothing is stored before the user acts";
    EXPECT_TRUE(Header().isSectionHidden(CTrackListModel::COL_TRACK));
    EXPECT_TRUE(Header().sectionsMovable());
    EXPECT_FALSE(Header().isFirstSectionMovable());

    Header().resizeSection(CTrackListModel::COL_SIZE, 123);
    Header().moveSection(Header().visualIndex(CTrackListModel::COL_COMMENT), 1);
    view.SetColumnShown(CTrackListModel::COL_TRACK, true);
    view.SetColumnShown(CTrackListModel::COL_ALBUM, false);
    const CColumnLayout layout = view.GetColumnLayout();
    EXPECT_EQ(layout.m_arrWidths[CTrackListModel::COL_SIZE], 123);
    EXPECT_EQ(layout.m_arrOrder, (std::vector<int>{0, 8, 1, 2, 3, 4, 5, 6, 7, 9}));

    const CUserSettings stored = m_settings;
    CUserSettings expected;
    layout.StoreIn(expected);
    EXPECT_EQ(stored.m_strColumnWidths, expected.m_strColumnWidths);
    EXPECT_EQ(stored.m_strColumnOrder, "0,8,1,2,3,4,5,6,7,9");
    EXPECT_EQ(stored.m_strHiddenColumns, "2");

    MakeView();
    EXPECT_EQ(m_pView->GetColumnLayout(), layout);
    for (int nColumn = 0; nColumn < COLUMNS; ++nColumn) {
        EXPECT_EQ(Header().visualIndex(layout.m_arrOrder[nColumn]), nColumn);
        EXPECT_EQ(Header().isSectionHidden(nColumn), nColumn == CTrackListModel::COL_ALBUM);
        if (nColumn != CTrackListModel::COL_ALBUM) {
            EXPECT_EQ(Header().sectionSize(nColumn), layout.m_arrWidths[nColumn]) << nColumn;
        }
    }
    // A hidden column comes back as wide as it was.
    m_pView->SetColumnShown(CTrackListModel::COL_ALBUM, true);
    EXPECT_EQ(Header().sectionSize(CTrackListModel::COL_ALBUM),
              layout.m_arrWidths[CTrackListModel::COL_ALBUM]);
}

// The header's menu names every column, ticks those shown, keeps the file column, and shows or
// hides the column chosen; a right click on the header asks for it.
TEST_F(Columns, TheHeaderMenuShowsAndHidesColumns) {
    m_list.push_back(m_tracks.Add({"b.mp3", "", "", "", "/m", 0, "", 0, "", 10}));
    m_list.push_back(m_tracks.Add({"a.mp3", "", "", "", "/m", 0, "", 0, "", 0}));
    m_list.push_back(m_tracks.Add({"c.mp3", "", "", "", "/m", 0, "", 0, "", 2}));
    CTunebrView& view = MakeView();
    QMenu menu;
    const std::vector<QAction*> arrActions = MenuActions(menu);
    Texts arrTitles;
    for (const QAction* pAction : arrActions) {
        arrTitles.push_back(pAction->text().toStdString());
        EXPECT_TRUE(pAction->isCheckable());
        EXPECT_EQ(pAction->isChecked(), pAction != arrActions.back());
        EXPECT_EQ(pAction->isEnabled(), pAction != arrActions.front());
    }
    EXPECT_EQ(arrTitles, (Texts{"File", "Title", "Album", "Location", "Size", "Artist", "Date",
                                "Genre", "Comment", "Track"}));

    arrActions[CTrackListModel::COL_TRACK]->trigger();
    arrActions[CTrackListModel::COL_GENRE]->trigger();
    EXPECT_FALSE(Header().isSectionHidden(CTrackListModel::COL_TRACK));
    EXPECT_TRUE(Header().isSectionHidden(CTrackListModel::COL_GENRE));
    EXPECT_EQ(m_settings.m_strHiddenColumns, "7");

    // The track number: blank when none, sorted as a number, no number first.
    Texts arrCells;
    const auto Cells = [&] {
        Texts arrShown;
        for (int nRow = 0; nRow < view.GetModel()->rowCount(); ++nRow) {
            arrShown.push_back(view.GetModel()
                                   ->index(nRow, CTrackListModel::COL_TRACK)
                                   .data()
                                   .toString()
                                   .toStdString());
        }
        return arrShown;
    };
    EXPECT_EQ(Cells(), (Texts{"10", "", "2"}));
    view.OnColumnClick(CTrackListModel::COL_TRACK);
    EXPECT_EQ(Cells(), (Texts{"", "2", "10"}));
    EXPECT_EQ(m_settings.m_nSortingColumn, 10);
    view.OnColumnClick(CTrackListModel::COL_TRACK);
    EXPECT_EQ(Cells(), (Texts{"10", "2", ""}));
    EXPECT_EQ(m_list[0]->GetCopyText(), "b.mp3\t\t\t/m\t  0.0 MB\t\tBlues\t\t\r\n");

    QSignalSpy asked(&view, &CTunebrView::columnMenuRequested);
    QWidget* pTitles = Header().viewport();
    const QPoint ptScreen = pTitles->mapToGlobal(QPoint(5, 5));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), ptScreen);
    QApplication::sendEvent(pTitles, &event);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked[0][0].toPoint(), ptScreen);
}

// Line breaks and TABs show as signs: every cell is one line, as high as any other.
TEST_F(Columns, CellsAreOneLine) {
    // The first row sets every row's height.
    const struct {
        const char* pszField;
        const char* pszShown;
    } cases[] = {
        {"two\nlines", "two⏎lines"},
        {"plain", "plain"},
        {"dos\r\nline", "dos⏎line"},
        {"old mac\rline", "old mac⏎line"},
        {"\n\n", "⏎⏎"},
        {"form\ffeed\vtab", "form⏎feed⏎tab"},
        {"next\xC2\x85line", "next⏎line"},
        {"line\xE2\x80\xA8paragraph\xE2\x80\xA9", "line⏎paragraph⏎"},
        {"tab\there", "tab→here"},
        {"\t\r\n\t", "→⏎→"},
    };
    for (const auto& test : cases) {
        m_list.push_back(m_tracks.Add({test.pszField, test.pszField, test.pszField, test.pszField,
                                       test.pszField, 0, test.pszField, 0, test.pszField}));
    }
    CTunebrView& view = MakeView();
    for (int nRow = 0; nRow < static_cast<int>(std::size(cases)); ++nRow) {
        for (const int nColumn :
             {int(CTrackListModel::COL_FILE), int(CTrackListModel::COL_TITLE),
              int(CTrackListModel::COL_ALBUM), int(CTrackListModel::COL_LOCATION),
              int(CTrackListModel::COL_ARTIST), int(CTrackListModel::COL_DATE),
              int(CTrackListModel::COL_COMMENT)}) {
            EXPECT_EQ(view.GetModel()->index(nRow, nColumn).data().toString().toStdString(),
                      cases[nRow].pszShown)
                << nRow << ", " << nColumn;
        }
    }

    CTrackList arrPlain{m_list[1]};
    for (const bool bFullRow : {true, false}) {
        view.SetFullRowSelect(bFullRow);
        QTableView* pDetails = view.GetDetailsView();
        const auto RowHeight = [&](CTrackList& arrTracks) {
            view.OnUpdate(nullptr, HINT_SHOW_TRACKS, &arrTracks);
            pDetails->doItemsLayout();
            return pDetails->visualRect(view.GetModel()->index(0, 0)).height();
        };
        const int nPlain = RowHeight(arrPlain);
        EXPECT_EQ(RowHeight(m_list), nPlain) << bFullRow;
        EXPECT_LT(nPlain, 2 * pDetails->fontMetrics().height()) << bFullRow;
    }
}

namespace {

// A paint device that keeps the texts painted on it, as drawn: cut short or whole.
class CTextRecorder final : public QPaintDevice {
public:
    explicit CTextRecorder(QSize size) : m_engine(*this), m_size(size) {}

    QPaintEngine* paintEngine() const override { return &m_engine; }
    const QStringList& Texts() const { return m_engine.m_arrTexts; }

protected:
    int metric(PaintDeviceMetric eMetric) const override {
        switch (eMetric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmWidthMM:
            return m_size.width() * 254 / 960;
        case PdmHeightMM:
            return m_size.height() * 254 / 960;
        case PdmNumColors:
            return 0;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        default:
            return QPaintDevice::metric(eMetric);
        }
    }

private:
    class CEngine final : public QPaintEngine {
    public:
        explicit CEngine(CTextRecorder& device) : QPaintEngine(AllFeatures), m_device(device) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override {
            m_arrTexts.append(item.text());
        }
        Type type() const override { return User; }

        CTextRecorder& m_device;
        QStringList m_arrTexts;
    };

    mutable CEngine m_engine;
    QSize m_size;
};

} // namespace

// A path loses its middle, where it least tells files apart; the other texts their end. Both
// ways of drawing the rows cut alike.
TEST_F(Columns, LocationsAreCutInTheMiddle) {
    m_list.push_back(m_tracks.Add({"a.mp3", "Titlewithoutend", "a", "b",
                                   "/music/one/two/three/four/five", 1, "1", 0, "c", 1}));
    CTunebrView& view = MakeView();
    QTableView* pDetails = view.GetDetailsView();
    for (const int nColumn : {CTrackListModel::COL_TITLE, CTrackListModel::COL_LOCATION}) {
        pDetails->horizontalHeader()->resizeSection(nColumn,
                                                    8 * pDetails->fontMetrics().averageCharWidth());
    }
    // The start kept, or the start and the end, around "..." (ours) or an ellipsis (Qt's).
    const QRegularExpression cutEnd(QStringLiteral("^T[a-z]+(\\.\\.\\.|\u2026)$"));
    const QRegularExpression cutMiddle(QStringLiteral("^/[a-z/]*(\\.\\.\\.|\u2026)[a-z/]+$"));
    for (const bool bFullRow : {true, false}) {
        view.SetFullRowSelect(bFullRow);
        CTextRecorder recorder(pDetails->viewport()->size());
        pDetails->viewport()->render(&recorder);
        const QString strTexts = recorder.Texts().join(QLatin1Char('|'));
        EXPECT_EQ(recorder.Texts().filter(cutEnd).size(), 1)
            << strTexts.toStdString() << (bFullRow ? " full row" : " plain");
        EXPECT_EQ(recorder.Texts().filter(cutMiddle).size(), 1)
            << strTexts.toStdString() << (bFullRow ? " full row" : " plain");
    }
}
