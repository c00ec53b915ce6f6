// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/genres.h"
#include "catalogue/posixio.h"
#include "catalogue/tagblock.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tracksort.h"
#include "catalogue/tunebrdoc.h"
#include "panes/filterworker.h"
#include "panes/panehost.h"
#include "panes/trackfilter.h"
#include "panes/tracklistmodel.h"
#include "panes/tunebrview.h"
#include "panes/viewhints.h"
#include "platform/textconv.h"
#include "platform/usersettings.h"
#include "tests/support/fakes.h"
#include "tests/support/listpanetest.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

using Names = std::vector<std::string>;

CFields Named(const std::string& strFile) {
    CFields fields;
    fields.strFile = strFile;
    return fields;
}

Names FileNames(const CTrackListModel& model) {
    Names arrNames;
    for (int nRow = 0; nRow < model.rowCount(); ++nRow) {
        arrNames.emplace_back(model.GetTrack(nRow)->GetFileName());
    }
    return arrNames;
}

Names FileNames(const CTrackList& arrTracks) {
    Names arrNames;
    for (const CTrackInfo* pTrack : arrTracks) {
        arrNames.emplace_back(pTrack->GetFileName());
    }
    return arrNames;
}

class TunebrView : public CListPaneTest {
protected:
    void SetUp() override {
        m_settings.m_bFullRowSelection = 1;
        OpenPane(1200, 400);
    }

    // Four files whose every column orders them differently.
    void AddSampleTracks() {
        m_list.push_back(
            m_tracks.Add({"b.mp3", "Zebra", "Nina", "Pastel", "/m/2", 3000, "1999", 17, "x"}));
        m_list.push_back(m_tracks.Add({"Z.mp3", "apple", "Abba", "", "/m/1", 1000, "98", 20, ""}));
        m_list.push_back(
            m_tracks.Add({"a.mp3", "", "Nina", "Gold", "/m/3", 4000, "", GENRE_NONE, "c"}));
        m_list.push_back(
            m_tracks.Add({"c.mp3", "Mango", "Cure", "Wish", "/m/1", 2000, "2001", 0, "b"}));
    }

    void Show(CTrackList& arrTracks) { m_pView->OnUpdate(nullptr, HINT_SHOW_TRACKS, &arrTracks); }

    Names Shown() const { return FileNames(*m_pView->GetModel()); }

    void ClickHeader(int nColumn) { ClickHeader(*m_pView, nColumn); }

    static void ClickHeader(const CTunebrView& view, int nColumn) {
        QHeaderView* pHeader = view.GetDetailsView()->horizontalHeader();
        const QPoint point(pHeader->sectionViewportPosition(nColumn) +
                               pHeader->sectionSize(nColumn) / 2,
                           pHeader->height() / 2);
        QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {}, point);
    }

    void SelectRows(const std::vector<int>& arrRows) {
        QItemSelectionModel* pSelection = m_pView->GetSelectionModel();
        pSelection->clear();
        for (const int nRow : arrRows) {
            pSelection->select(m_pView->GetModel()->index(nRow, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
};

} // namespace

TEST(TunebrViewModel, ShowsTheColumnTextsInTheirOrder) {
    CTrackStore tracks;
    CTrackList arrTracks{tracks.Add({"song.mp3", "Sinnerman", "Nina", "Pastel Blues", "/m/jazz",
                                     3456789, "1965", 0, "live"}),
                         tracks.Add({"none.mp3", "", "", "", "/m", 0, "", 255, ""})};
    CTrackListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.Fill(&arrTracks, 0);

    const auto Row = [&model](int nRow) {
        std::vector<std::string> arrTexts;
        for (int nColumn = 0; nColumn < model.columnCount(); ++nColumn) {
            arrTexts.push_back(ToStdString(model.index(nRow, nColumn).data().toString()));
        }
        return arrTexts;
    };
    using Texts = std::vector<std::string>;
    EXPECT_EQ(Row(0), (Texts{"song.mp3", "Sinnerman", "Pastel Blues", "/m/jazz", "  3.5 MB", "Nina",
                             "1965", "Blues", "live", ""}));
    EXPECT_EQ(Row(1), (Texts{"none.mp3", "", "", "/m", "  0.0 MB", "", "", "<Undefined>", "", ""}));

    Texts arrTitles;
    for (int nColumn = 0; nColumn < model.columnCount(); ++nColumn) {
        arrTitles.push_back(ToStdString(model.headerData(nColumn, Qt::Horizontal).toString()));
    }
    EXPECT_EQ(arrTitles, (Texts{"File", "Title", "Album", "Location", "Size", "Artist", "Date",
                                "Genre", "Comment", "Track"}));

    for (int nColumn = 0; nColumn < model.columnCount(); ++nColumn) {
        const QModelIndex index = model.index(1, nColumn);
        EXPECT_EQ(index.data(Qt::DecorationRole).isValid(), nColumn == 0) << nColumn;
        EXPECT_EQ(index.data(CTrackListModel::TrackRole).value<CTrackInfo*>(), arrTracks[1])
            << nColumn;
    }
}

TEST(TunebrViewModel, AlignmentFollowsTheColumnAlignmentSetting) {
    constexpr Qt::Alignment L = Qt::AlignLeft;
    constexpr Qt::Alignment C = Qt::AlignHCenter;
    constexpr Qt::Alignment R = Qt::AlignRight;
    struct {
        int nSetting;
        Qt::Alignment aExpected[CTrackListModel::COLUMN_COUNT];
    } const cases[] = {
        {0, {L, L, L, L, C, L, L, L, L, R}},
        {1, {L, C, C, C, C, C, C, C, L, R}},
        {2, {L, L, L, L, C, L, L, L, L, R}},
        {-1, {L, L, L, L, C, L, L, L, L, R}},
    };
    CTrackStore tracks;
    CTrackList arrTracks{tracks.Add(Named("a.mp3"))};
    CTrackListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.Fill(&arrTracks, 0);
    for (const auto& test : cases) {
        model.SetColumnAlignment(test.nSetting);
        for (int nColumn = 0; nColumn < CTrackListModel::COLUMN_COUNT; ++nColumn) {
            const auto eCell =
                model.index(0, nColumn).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
            const auto eTitle = model.headerData(nColumn, Qt::Horizontal, Qt::TextAlignmentRole)
                                    .value<Qt::Alignment>();
            EXPECT_EQ(eCell & Qt::AlignHorizontal_Mask, test.aExpected[nColumn])
                << "setting " << test.nSetting << " column " << nColumn;
            EXPECT_EQ(eTitle & Qt::AlignHorizontal_Mask, test.aExpected[nColumn])
                << "setting " << test.nSetting << " column " << nColumn;
        }
    }
}

// Fill and Sort must order exactly as CompareTracks does, ties in list order, on texts that
// share long starts, run in blocks of equal values, end inside one another, hold bytes above
// 0x7F or a NUL; and many rows must not take long.
TEST(TunebrViewModel, HundredThousandRowsOrderAsCompareTracksSays) {
    constexpr int ROWS = 100000;
    const std::string arrTails[] = {"", "é", "e", std::string("e\0", 2), "Disc 1", "Disc 10"};
    CTrackStore tracks;
    CTrackList arrTracks;
    arrTracks.reserve(ROWS);
    for (int i = 0; i < ROWS; ++i) {
        const int nScrambled = static_cast<int>((i * 7919LL) % ROWS);
        const std::string strFolder =
            "/home/someone/Music/Artist " + std::to_string(i / 120) + "/" + arrTails[(i / 12) % 6];
        arrTracks.push_back(tracks.Add(
            {"f" + std::to_string(nScrambled) + ".mp3", "t" + std::to_string(i % 977),
             "a" + std::to_string(i % 13), arrTails[i % 6], strFolder, nScrambled % 5000 * 10LL,
             std::to_string(i % 50), i % 256, std::string(i % 20, 'x') + arrTails[i % 5]}));
    }
    std::unordered_map<const CTrackInfo*, int> mapListIndex;
    for (int i = 0; i < ROWS; ++i) {
        mapListIndex.emplace(arrTracks[i], i);
    }
    CTrackListModel model;
    for (const int nKey : {1, -1, 2, -2, 3, 4, -4, 5, -5, 6, 7, -7, 8, 9, -9}) {
        // Half through Fill, half through Sort, which must agree.
        if (nKey > 0) {
            model.Fill(&arrTracks, nKey);
        } else {
            model.Fill(&arrTracks, 0);
            model.Sort(nKey);
        }
        ASSERT_EQ(model.rowCount(), ROWS);
        int nOutOfOrder = 0;
        for (int nRow = 1; nRow < ROWS; ++nRow) {
            const CTrackInfo* pAbove = model.GetTrack(nRow - 1);
            const CTrackInfo* pBelow = model.GetTrack(nRow);
            const int nOrder = CTrackSort::CompareTracks(pAbove, pBelow, nKey);
            if (nOrder > 0 || (nOrder == 0 && mapListIndex.at(pAbove) > mapListIndex.at(pBelow))) {
                ++nOutOfOrder;
            }
        }
        EXPECT_EQ(nOutOfOrder, 0) << nKey;
    }
}

TEST_F(TunebrView, HeaderClicksChooseAndStoreTheSortKey) {
    AddSampleTracks();
    struct {
        const char* pszName;
        int nStoredKey;
        std::vector<int> arrClicks;
        int nExpectedKey;
        Names arrExpected;
    } const cases[] = {
        {"no key keeps the list order", 0, {}, 0, {"b.mp3", "Z.mp3", "a.mp3", "c.mp3"}},
        {"file", 0, {0}, 1, {"Z.mp3", "a.mp3", "b.mp3", "c.mp3"}},
        {"file twice", 0, {0, 0}, -1, {"c.mp3", "b.mp3", "a.mp3", "Z.mp3"}},
        {"file three times", 0, {0, 0, 0}, 1, {"Z.mp3", "a.mp3", "b.mp3", "c.mp3"}},
        {"title", 0, {1}, 3, {"a.mp3", "c.mp3", "b.mp3", "Z.mp3"}},
        {"album", 0, {2}, 6, {"Z.mp3", "a.mp3", "b.mp3", "c.mp3"}},
        {"location, ties in list order", 0, {3}, 4, {"Z.mp3", "c.mp3", "b.mp3", "a.mp3"}},
        {"size: largest first", 0, {4}, 5, {"a.mp3", "b.mp3", "c.mp3", "Z.mp3"}},
        {"artist, ties in list order", 0, {5}, 2, {"Z.mp3", "c.mp3", "b.mp3", "a.mp3"}},
        {"artist reversed, ties in list order",
         0,
         {5, 5},
         -2,
         {"b.mp3", "a.mp3", "c.mp3", "Z.mp3"}},
        {"date as text", 0, {6}, 8, {"a.mp3", "b.mp3", "c.mp3", "Z.mp3"}},
        {"genre by name", 0, {7}, 7, {"a.mp3", "Z.mp3", "c.mp3", "b.mp3"}},
        {"comment", 0, {8}, 9, {"Z.mp3", "c.mp3", "a.mp3", "b.mp3"}},
        {"stored -5: smallest first", -5, {}, -5, {"Z.mp3", "c.mp3", "b.mp3", "a.mp3"}},
        {"stored -5 then size", -5, {4}, 5, {"a.mp3", "b.mp3", "c.mp3", "Z.mp3"}},
        {"stored -1 then file", -1, {0}, 1, {"Z.mp3", "a.mp3", "b.mp3", "c.mp3"}},
        {"another column starts positive", -1, {5}, 2, {"Z.mp3", "c.mp3", "b.mp3", "a.mp3"}},
        {"stored out of range", 12, {}, 12, {"b.mp3", "Z.mp3", "a.mp3", "c.mp3"}},
        {"out of range then file", INT_MIN, {0}, 1, {"Z.mp3", "a.mp3", "b.mp3", "c.mp3"}},
    };
    for (const auto& test : cases) {
        m_settings.m_nSortingColumn = test.nStoredKey;
        CTunebrView view(m_doc, m_settings, m_host);
        view.resize(1200, 300);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.OnUpdate(nullptr, HINT_SHOW_TRACKS, &m_list);
        // A sort moves the rows: the views keep their selection and scroll place.
        QSignalSpy layouts(view.GetModel(), &QAbstractItemModel::layoutChanged);
        QSignalSpy resets(view.GetModel(), &QAbstractItemModel::modelReset);
        for (const int nColumn : test.arrClicks) {
            ClickHeader(view, nColumn);
        }
        EXPECT_EQ(layouts.count(), static_cast<int>(test.arrClicks.size())) << test.pszName;
        EXPECT_EQ(resets.count(), 0) << test.pszName;
        EXPECT_EQ(view.GetSortKey(), test.nExpectedKey) << test.pszName;
        EXPECT_EQ(m_settings.m_nSortingColumn, test.nExpectedKey) << test.pszName;
        EXPECT_EQ(FileNames(*view.GetModel()), test.arrExpected) << test.pszName;
    }
}

TEST_F(TunebrView, HeaderArrowShowsTheVisibleOrder) {
    AddSampleTracks();
    Show(m_list);
    QHeaderView* pHeader = m_pView->GetDetailsView()->horizontalHeader();
    EXPECT_FALSE(pHeader->isSortIndicatorShown());

    struct {
        int nColumn;
        int nExpectedSection;
        Qt::SortOrder eExpected;
    } const cases[] = {
        {0, 0, Qt::AscendingOrder}, {0, 0, Qt::DescendingOrder}, {4, 4, Qt::DescendingOrder},
        {4, 4, Qt::AscendingOrder}, {7, 7, Qt::AscendingOrder},
    };
    for (const auto& test : cases) {
        ClickHeader(test.nColumn);
        EXPECT_TRUE(pHeader->isSortIndicatorShown()) << test.nColumn;
        EXPECT_EQ(pHeader->sortIndicatorSection(), test.nExpectedSection) << test.nColumn;
        EXPECT_EQ(pHeader->sortIndicatorOrder(), test.eExpected) << test.nColumn;
    }
}

TEST_F(TunebrView, StartsFromTheStoredSettings) {
    struct {
        int nViewType;
        int nSortingColumn;
        bool bByGenre;
    } const cases[] = {{0, 0, false}, {1, -5, true}, {2, 7, false}};
    for (const auto& test : cases) {
        m_settings.m_nViewType = test.nViewType;
        m_settings.m_nSortingColumn = test.nSortingColumn;
        const CTunebrView view(m_doc, m_settings, m_host);
        EXPECT_EQ(view.IsByGenre(), test.bByGenre) << test.nViewType;
        EXPECT_EQ(view.GetSortKey(), test.nSortingColumn) << test.nViewType;
        EXPECT_EQ(view.GetDisplayStyle(), CListViewEx::EDisplayStyle::Details);
        EXPECT_TRUE(view.IsFullRowSelect());
    }
}

TEST_F(TunebrView, HintsAdoptListsAndRefillOnce) {
    AddSampleTracks();
    CTrackList arrOther{m_list[3], m_list[1]};
    Show(m_list);
    QSignalSpy resets(m_pView->GetModel(), &QAbstractItemModel::modelReset);
    // Read at the options hint only.
    m_settings.m_bFullRowSelection = 0;
    m_settings.m_nColumnAlignment = 1;

    struct {
        const char* pszName;
        EHint eHint;
        CTrackList* pObject;
        CTrackList* pExpectedList;
        int nExpectedResets;
        bool bExpectedByGenre;
        bool bExpectedOptions;
    } const cases[] = {
        {"show tracks adopts", HINT_SHOW_TRACKS, &arrOther, &arrOther, 1, false, false},
        {"show tracks without object", HINT_SHOW_TRACKS, nullptr, &arrOther, 0, false, false},
        {"rebuild end does nothing", HINT_REBUILD_END, nullptr, &arrOther, 0, false, false},
        {"by genre", HINT_BY_GENRE, nullptr, &arrOther, 0, true, false},
        {"by artist", HINT_BY_ARTIST, nullptr, &arrOther, 0, false, false},
        {"by genre with a list adopts it", HINT_BY_GENRE, &m_list, &m_list, 1, true, false},
        {"options refill the same list", HINT_OPTIONS_CHANGED, nullptr, &m_list, 1, true, true},
        {"options with a list adopt it", HINT_OPTIONS_CHANGED, &arrOther, &arrOther, 1, true, true},
        {"an unknown hint with a list", EHint{42}, &m_list, &m_list, 1, true, true},
    };
    for (const auto& test : cases) {
        SelectRows({0});
        resets.clear();
        m_pView->OnUpdate(nullptr, test.eHint, test.pObject);
        EXPECT_EQ(m_pView->GetTrackList(), test.pExpectedList) << test.pszName;
        EXPECT_EQ(FileNames(*m_pView->GetModel()), FileNames(*test.pExpectedList)) << test.pszName;
        EXPECT_EQ(resets.count(), test.nExpectedResets) << test.pszName;
        // A refill drops the selection; anything else keeps it.
        EXPECT_EQ(m_pView->HasSelection(), test.nExpectedResets == 0) << test.pszName;
        EXPECT_EQ(m_pView->IsByGenre(), test.bExpectedByGenre) << test.pszName;
        EXPECT_EQ(m_pView->IsFullRowSelect(), !test.bExpectedOptions) << test.pszName;
        const QModelIndex title = m_pView->GetModel()->index(0, CTrackListModel::COL_TITLE);
        EXPECT_EQ(title.data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                      Qt::AlignHorizontal_Mask,
                  test.bExpectedOptions ? Qt::AlignHCenter : Qt::AlignLeft)
            << test.pszName;
    }
}

TEST_F(TunebrView, RebuildBeginDropsEveryRowAtOnce) {
    AddSampleTracks();
    Show(m_list);
    SelectRows({1});
    QSignalSpy state(m_pView.get(), &CTunebrView::selectionStateChanged);
    m_pView->OnUpdate(nullptr, HINT_REBUILD_BEGIN, nullptr);
    EXPECT_EQ(m_pView->GetModel()->rowCount(), 0);
    EXPECT_EQ(m_pView->GetTrackList(), nullptr);
    EXPECT_TRUE(m_pView->GetSelectedTracks().empty());
    ASSERT_EQ(state.count(), 1);
    EXPECT_FALSE(state.at(0).at(0).toBool());
    // Options applied in between refill from nothing rather than from a freed list.
    m_pView->OnUpdate(nullptr, HINT_OPTIONS_CHANGED, nullptr);
    EXPECT_EQ(m_pView->GetModel()->rowCount(), 0);
}

TEST_F(TunebrView, InitialUpdateShowsTheWholeCatalogueThroughTheDocument) {
    AddSampleTracks();
    *m_doc.GetTracks() = m_list;
    m_settings.m_bFullRowSelection = 0;
    m_pView->OnInitialUpdate();
    EXPECT_EQ(m_pView->GetTrackList(), m_doc.GetTracks());
    EXPECT_EQ(Shown(), FileNames(m_list));
    EXPECT_FALSE(m_pView->IsFullRowSelect());

    // Registered with the document: its updates arrive, and stop once the view is gone.
    CTrackList arrOne{m_list[2]};
    m_doc.UpdateAllViews(nullptr, HINT_SHOW_TRACKS, &arrOne);
    EXPECT_EQ(Shown(), Names{"a.mp3"});
    m_pView.reset();
    m_doc.UpdateAllViews(nullptr, HINT_SHOW_TRACKS, &m_list);
}

TEST_F(TunebrView, SelectedTracksComeInDisplayOrder) {
    AddSampleTracks();
    Show(m_list);
    ClickHeader(0); // Z a b c
    SelectRows({3, 0, 2});
    m_pView->GetSelectionModel()->setCurrentIndex(m_pView->GetModel()->index(1, 2),
                                                  QItemSelectionModel::NoUpdate);
    const auto CurrentName = [this] {
        return m_pView->GetModel()
            ->GetTrack(m_pView->GetDetailsView()->currentIndex().row())
            ->GetFileName();
    };
    EXPECT_EQ(FileNames(m_pView->GetSelectedTracks()), (Names{"Z.mp3", "b.mp3", "c.mp3"}));
    // The selection and the current row stay on their records, shown from the other end.
    ClickHeader(0); // c b a Z
    EXPECT_EQ(FileNames(m_pView->GetSelectedTracks()), (Names{"c.mp3", "b.mp3", "Z.mp3"}));
    EXPECT_EQ(CurrentName(), "a.mp3");
    ClickHeader(4); // a b c Z by size
    EXPECT_EQ(FileNames(m_pView->GetSelectedTracks()), (Names{"b.mp3", "c.mp3", "Z.mp3"}));
    EXPECT_EQ(CurrentName(), "a.mp3");
    EXPECT_EQ(m_pView->GetDetailsView()->currentIndex().column(), 2);
}

TEST_F(TunebrView, SelectionIsDescribedInTheStatusBarInEveryStyle) {
    m_list.push_back(
        m_tracks.Add({"a.mp3", "Sinnerman", "Nina", "Pastel Blues", "/m", 3456789, "1965", 0, ""}));
    m_list.push_back(m_tracks.Add({"b.mp3", "Jóga", "Björk", "", "/m", 1000000, "", 148, ""}));
    QSignalSpy state(m_pView.get(), &CTunebrView::selectionStateChanged);
    Show(m_list);
    using Style = CListViewEx::EDisplayStyle;
    for (const Style eStyle : {Style::Details, Style::LargeIcons, Style::SmallIcons, Style::List}) {
        m_pView->SetDisplayStyle(eStyle);
        QAbstractItemView* pView = m_pView->GetActiveView();
        pView->setFocus();
        const auto Click = [pView](int nRow, Qt::KeyboardModifiers eModifiers) {
            const QRect rc = pView->visualRect(pView->model()->index(nRow, 0));
            QTest::mouseClick(pView->viewport(), Qt::LeftButton, eModifiers,
                              rc.topLeft() + QPoint(8, rc.height() / 2));
        };
        struct {
            int nRow;
            Qt::KeyboardModifiers eModifiers;
            const char* pszDescription;
            const char* pszCount;
            const char* pszSize;
        } const clicks[] = {
            {0, Qt::NoModifier, "Nina - Sinnerman - Album : Pastel Blues - 1965 [ Blues ]",
             "1 file selected", "  3.5 MB"},
            {1, Qt::NoModifier, "Björk - Jóga", "1 file selected", "  1.0 MB"},
            {0, Qt::ControlModifier, "", "2 files selected", "  4.5 MB"},
        };
        for (const auto& click : clicks) {
            m_host.m_arrStatus.clear();
            Click(click.nRow, click.eModifiers);
            ASSERT_FALSE(m_host.m_arrStatus.empty()) << int(eStyle);
            const SStatusTexts& status = m_host.m_arrStatus.back();
            EXPECT_EQ(status.strLocation, QString()) << int(eStyle);
            EXPECT_EQ(status.strDescription, QString::fromUtf8(click.pszDescription))
                << int(eStyle);
            EXPECT_EQ(status.strCount, QString::fromUtf8(click.pszCount)) << int(eStyle);
            EXPECT_EQ(status.strSize, QString::fromUtf8(click.pszSize)) << int(eStyle);
        }
        EXPECT_EQ(state.count(), 1) << int(eStyle);
        EXPECT_TRUE(state.takeLast().at(0).toBool()) << int(eStyle);

        m_host.m_arrStatus.clear();
        m_pView->GetSelectionModel()->clearSelection();
        ASSERT_FALSE(m_host.m_arrStatus.empty());
        const SStatusTexts& cleared = m_host.m_arrStatus.back();
        EXPECT_EQ(cleared.strDescription, QString());
        // With nothing selected, the count and size of the list shown: never a stale count of
        // selected files beside a size of nothing.
        EXPECT_EQ(cleared.strCount, QStringLiteral("2 file(s)"));
        EXPECT_EQ(cleared.strSize, QStringLiteral("  4.5 MB"));
        EXPECT_EQ(state.count(), 1) << int(eStyle);
        EXPECT_FALSE(state.takeLast().at(0).toBool()) << int(eStyle);
    }
}

TEST_F(TunebrView, TabInEitherViewSwitchesPanesAndNothingElse) {
    AddSampleTracks();
    Show(m_list);
    // Something else to take the focus, were Tab to move it.
    QWidget window;
    auto* pLayout = new QVBoxLayout(&window);
    auto* pEdit = new QLineEdit(&window);
    pLayout->addWidget(m_pView.get());
    pLayout->addWidget(pEdit);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    using Style = CListViewEx::EDisplayStyle;
    struct {
        Style eStyle;
        Qt::Key eKey;
        Qt::KeyboardModifiers eModifiers;
        int nExpectedSwitches;
    } const cases[] = {
        {Style::Details, Qt::Key_Tab, Qt::NoModifier, 1},
        {Style::Details, Qt::Key_Backtab, Qt::ShiftModifier, 1},
        {Style::LargeIcons, Qt::Key_Tab, Qt::NoModifier, 1},
        {Style::List, Qt::Key_Tab, Qt::NoModifier, 1},
        {Style::Details, Qt::Key_Tab, Qt::ControlModifier, 0},
    };
    for (const auto& test : cases) {
        m_pView->SetDisplayStyle(test.eStyle);
        QAbstractItemView* pView = m_pView->GetActiveView();
        pView->setFocus();
        ASSERT_TRUE(pView->hasFocus());
        m_host.m_nSwitches = 0;
        QTest::keyClick(pView, test.eKey, test.eModifiers);
        EXPECT_EQ(m_host.m_nSwitches, test.nExpectedSwitches) << int(test.eStyle);
        if (test.nExpectedSwitches != 0) {
            EXPECT_TRUE(pView->hasFocus()) << int(test.eStyle);
            EXPECT_TRUE(m_pView->HasFocusWithin()) << int(test.eStyle);
        }
    }
    pEdit->setFocus();
    EXPECT_FALSE(m_pView->HasFocusWithin());
    m_pView->setParent(nullptr);
}

namespace {

// nRows files "f0.mp3"... by Jim, every fourth by Joe instead.
CTrackList NumberedTracks(CTrackStore& tracks, int nRows, const std::string& strComment = "") {
    CTrackList arrTracks;
    for (int i = 0; i < nRows; ++i) {
        arrTracks.push_back(
            tracks.Add({"f" + std::to_string(i) + ".mp3", "", i % 4 == 0 ? "Joe" : "Jim", "",
                        "/m/x", 1000, "", 0, strComment}));
    }
    return arrTracks;
}

class TunebrViewFilter : public TunebrView {
protected:
    void AddFilterSamples() {
        m_list.push_back(m_tracks.Add({"Summer.mp3", "ÉTÉ INDIEN", "Joe", "Gold", "/m/Chansons",
                                       3500000, "1975", 17, "live"}));
        m_list.push_back(m_tracks.Add(
            {"b.mp3", "Straße", "Ärzte", "", "/m/Deutsch", 1200000, "1998", 43, "mar\u212Aet"}));
        m_list.push_back(m_tracks.Add(
            {"c.MP3", "Hello", "Nina", "", "/m/Misc", 10000000, "", GENRE_NONE, "日本語"}));
    }

    // Returns once the rows of the filter text show.
    void WaitForRows() const {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !m_pView->IsFilterPending(); }, 10000));
    }

    Names Fresh(const QString& strText, const CTrackList& arrRows) const {
        return FileNames(CTrackFilter(strText).Apply(arrRows));
    }

    // The list holds every record of arrList, in the order it shows now, and shows those strText
    // lets through.
    void ExpectRowsOf(const CTrackList& arrList, const QString& strText) const {
        const CTrackList& arrOrdered = m_pView->GetModel()->GetAllRows();
        Names arrAll = FileNames(arrList);
        Names arrShownAll = FileNames(arrOrdered);
        std::sort(arrAll.begin(), arrAll.end());
        std::sort(arrShownAll.begin(), arrShownAll.end());
        EXPECT_EQ(arrShownAll, arrAll);
        EXPECT_EQ(Shown(), Fresh(strText, arrOrdered));
    }

    CTrackList m_other;
};

// A comment, and a text of hundreds of words every one of which it holds: each row takes long.
const std::string SLOW_COMMENT = "qvxwzkyqxzvwkyzqxkvwyxzqkwvzyx";

QString SlowText() {
    std::set<std::string> setWords;
    for (std::size_t nLength = 3; nLength <= SLOW_COMMENT.size(); ++nLength) {
        for (std::size_t nAt = 0; nAt + nLength <= SLOW_COMMENT.size(); ++nAt) {
            setWords.insert(SLOW_COMMENT.substr(nAt, nLength));
        }
    }
    QString strText;
    for (const std::string& strWord : setWords) {
        strText += QString::fromStdString(strWord) + QLatin1Char(' ');
    }
    return strText;
}

// Longer than the view matches on the window's thread, with the few words of strWords.
QString LongText(const QString& strWords) {
    QString strText;
    while (strText.size() <= 300) {
        strText += strWords + QLatin1Char(' ');
    }
    return strText;
}

} // namespace

TEST_F(TunebrViewFilter, RowsPassWhenEveryWordIsInSomeColumnWhateverTheLetterCase) {
    AddFilterSamples();
    Show(m_list);
    struct {
        const char* pszText;
        Names arrExpected;
    } const cases[] = {
        {"", {"Summer.mp3", "b.mp3", "c.MP3"}},
        {"été", {"Summer.mp3"}},                    // folding beyond ASCII
        {"   ÉTÉ    indien ", {"Summer.mp3"}},      // spaces around and between words
        {"joe gold", {"Summer.mp3"}},               // two words, two columns
        {"Joe gold joe JOE", {"Summer.mp3"}},       // a word repeated counts once
        {"joe 1998", {}},                           // two words, two rows
        {"ärzte", {"b.mp3"}},                       // artist
        {"STRAẞE", {"b.mp3"}},                      // capital sharp s folds to ß
        {"market", {"b.mp3"}},                      // the Kelvin sign folds to an ASCII k
        {"rock", {"Summer.mp3"}},                   // genre name, not number
        {"undefined", {"c.MP3"}},                   // the name shown for no genre
        {"3.5", {"Summer.mp3"}},                    // size text
        {"10.0 mb", {"c.MP3"}},                     // size text, value and unit
        {"chansons", {"Summer.mp3"}},               // location
        {"1998", {"b.mp3"}},                        // year
        {"LIVE", {"Summer.mp3"}},                   // comment
        {"日本", {"c.MP3"}},                        // comment, three-byte characters
        {".mp3", {"Summer.mp3", "b.mp3", "c.MP3"}}, // file name
        {"zzz", {}},
    };
    for (const auto& test : cases) {
        m_pView->SetFilterText(QString::fromUtf8(test.pszText));
        EXPECT_EQ(Shown(), test.arrExpected) << test.pszText;
    }
}

// Words beyond ASCII are looked for from each place their first such letter could start, in
// any of its cases, and must lie within one field.
TEST_F(TunebrViewFilter, WordsBeyondAsciiMatchFromAnyCaseOfTheirFirstSuchLetter) {
    m_list.push_back(m_tracks.Add(
        {"d.mp3", "Crème BRÛLÉE", "Noël", "ŒUVRES", "/m/Plats", 1000, "", 0, "fin é"}));
    m_list.push_back(m_tracks.Add({"e.mp3", "caf\xE9 bar", "Ééé", "", "/m/x", 1000, "", 0, ""}));
    Show(m_list);
    struct {
        const char* pszText;
        Names arrExpected;
    } const cases[] = {
        {"crème", {"d.mp3"}},        // ASCII before the first letter beyond it
        {"brûlée", {"d.mp3"}},       // capitals after it
        {"CRÈME brûlÉe", {"d.mp3"}}, // two words, each in its case
        {"lée", {"d.mp3"}},          // inside a word
        {"éenoël", {}},              // across the end of one field into the next
        {"noËl", {"d.mp3"}},         // one field, the artist
        {"œuvres", {"d.mp3"}},       // a capital ligature
        {"éf", {}},                  // letters in another order
        {"éé", {"e.mp3"}},           // a second occurrence after a first that fails
        {"éééé", {}},                // longer than any run
        {"café", {}},                // a byte that is no UTF-8 is not é
        {"é", {"d.mp3", "e.mp3"}},   // any field
    };
    for (const auto& test : cases) {
        m_pView->SetFilterText(QString::fromUtf8(test.pszText));
        EXPECT_EQ(Shown(), test.arrExpected) << test.pszText;
    }
}

TEST_F(TunebrViewFilter, TypingAndErasingGiveTheSameRowsAsAFreshFilter) {
    AddFilterSamples();
    for (int i = 0; i < 40; ++i) {
        m_list.push_back(m_tracks.Add({"f" + std::to_string(i) + ".mp3", "t" + std::to_string(i),
                                       i % 3 ? "Joe" : "Jim", "", "/m/x", 1000 * i, "", 0, ""}));
    }
    Show(m_list);
    const char* const aSteps[] = {"j", "jo", "joe", "joe 1", "joe 12", "joe 1",  "jo",
                                  "j", "",   "1",   "12",    "t1",     "jim t1", "t1"};
    for (const char* pszStep : aSteps) {
        m_pView->SetFilterText(QString::fromUtf8(pszStep));
        const CTrackFilter fresh{QString::fromUtf8(pszStep)};
        EXPECT_EQ(Shown(), FileNames(fresh.Apply(m_list))) << pszStep;
    }
}

TEST_F(TunebrViewFilter, SelectionSortAndCountWorkOnTheFilteredRows) {
    AddFilterSamples();
    Show(m_list);
    SelectRows({0, 1}); // Summer and b
    m_pView->SetFilterText("mb");
    EXPECT_EQ(FileNames(m_pView->GetSelectedTracks()), (Names{"Summer.mp3", "b.mp3"}));
    m_pView->SetFilterText("1998");
    EXPECT_EQ(FileNames(m_pView->GetSelectedTracks()), (Names{"b.mp3"})); // Summer went out
    EXPECT_EQ(m_pView->GetFilterCountText(), "1 of 3 file(s)");
    // A selection is described as such, filter or not; the rows shown are counted without one.
    EXPECT_EQ(m_host.m_arrStatus.back().strCount, "1 file selected");

    m_pView->SetFilterText("mb");
    ClickHeader(CTrackListModel::COL_SIZE); // largest first
    EXPECT_EQ(Shown(), (Names{"c.MP3", "Summer.mp3", "b.mp3"}));
    m_pView->SetFilterText("m");
    ClickHeader(CTrackListModel::COL_SIZE); // smallest first, among the filtered rows
    m_pView->SetFilterText("");
    EXPECT_EQ(Shown(), (Names{"b.mp3", "Summer.mp3", "c.MP3"})); // the whole list sorted too
    EXPECT_TRUE(m_pView->GetFilterCountText().isEmpty());
    EXPECT_EQ(m_host.m_arrStatus.back().strCount, "1 file selected");
    m_pView->GetSelectionModel()->clearSelection();
    EXPECT_EQ(m_host.m_arrStatus.back().strCount, "3 file(s)");
}

TEST_F(TunebrViewFilter, CountShowsThousandsGrouped) {
    for (int i = 0; i < 3000; ++i) {
        m_list.push_back(m_tracks.Add(Named((i < 12 ? "hit" : "f") + std::to_string(i) + ".mp3")));
    }
    Show(m_list);
    m_pView->SetFilterText("hit");
    EXPECT_EQ(m_pView->GetFilterCountText(), "12 of 3,000 file(s)");
}

TEST_F(TunebrViewFilter, KeptAcrossARefillAndARescanClearedByAnotherList) {
    AddFilterSamples();
    m_other.push_back(m_tracks.Add({"joe2.mp3", "x", "Joe", "", "/m", 0, "", 0, ""}));
    Show(m_list);
    QSignalSpy cleared(m_pView.get(), &CTunebrView::filterCleared);
    m_pView->SetFilterText("joe");
    ASSERT_EQ(Shown(), (Names{"Summer.mp3"}));

    // A tag edit refills the same list.
    m_list[1]->SetArtist("Joe");
    Show(m_list);
    EXPECT_EQ(Shown(), (Names{"Summer.mp3", "b.mp3"}));

    // A rescan ends with new lists.
    CTrackList rescanned = m_list;
    rescanned.push_back(m_tracks.Add({"new.mp3", "", "joe", "", "/m", 0, "", 0, ""}));
    m_pView->OnUpdate(nullptr, HINT_REBUILD_BEGIN, nullptr);
    m_pView->OnUpdate(nullptr, HINT_SHOW_TRACKS, &rescanned);
    m_pView->OnUpdate(nullptr, HINT_REBUILD_END, nullptr);
    EXPECT_EQ(Shown(), (Names{"Summer.mp3", "b.mp3", "new.mp3"}));
    EXPECT_EQ(m_pView->GetFilterText(), "joe");
    EXPECT_EQ(cleared.count(), 0);

    // Another node chosen in the tree.
    Show(m_other);
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_TRUE(m_pView->GetFilterText().isEmpty());
    EXPECT_FALSE(m_pView->IsFiltered());
    EXPECT_EQ(Shown(), (Names{"joe2.mp3"}));
}

// A long text, or many rows to test, are matched on another thread: until the rows come the list
// shows those of the previous text, and so does the count. Taking letters back on a long list
// finds the rows kept, at once.
TEST_F(TunebrViewFilter, LongTextsAndLongListsAreMatchedOffTheWindowsThread) {
    const struct {
        const char* pszCase;
        int nRows;
        std::vector<std::pair<QString, bool>> arrSteps; // text, matched off the window's thread
    } aCases[] = {
        {"short list", 40, {{"joe", false}, {LongText("joe f1"), true}, {"jo", false}}},
        {"long list",
         30000,
         {{"j", true},
          {"jo", true},
          {"joe", false},
          {"joe f1", false},
          {"jo", false},
          {LongText("f2 joe"), true},
          {"", false}}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        m_list = NumberedTracks(m_tracks, c.nRows);
        Show(m_list);
        for (const auto& [strText, bOffThread] : c.arrSteps) {
            SCOPED_TRACE(strText.left(20).toStdString());
            const Names arrBefore = Shown();
            const QString strCountBefore = m_pView->GetFilterCountText();
            m_pView->SetFilterText(strText);
            EXPECT_EQ(m_pView->IsFilterPending(), bOffThread);
            if (bOffThread) {
                EXPECT_EQ(Shown(), arrBefore);
                EXPECT_EQ(m_pView->GetFilterCountText(), strCountBefore);
            }
            WaitForRows();
            const Names arrExpected = Fresh(strText, m_list);
            EXPECT_EQ(Shown(), arrExpected);
            if (!strText.isEmpty()) {
                const QLocale english(QLocale::English);
                EXPECT_EQ(m_host.m_arrStatus.back().strCount,
                          english.toString(static_cast<int>(arrExpected.size())) + " of " +
                              english.toString(c.nRows) + " file(s)");
            }
        }
    }
}

// Whatever happens while a match runs elsewhere, the rows that finally show are the text's on
// the list as it is then: a result made for older rows, or from records changed or deleted
// meanwhile, is never shown, and no match reads a record once it may change.
TEST_F(TunebrViewFilter, APendingMatchGivesWayToWhatHappensMeanwhile) {
    CTrackStore otherTracks;
    m_other.push_back(otherTracks.Add({"joe2.mp3", "", "Joe", "", "/m", 0, "", 0, ""}));
    m_other.push_back(otherTracks.Add({"jim2.mp3", "", "Jim", "", "/m", 0, "", 0, ""}));
    const QString strLong = LongText("joe f1");
    const QString strSlow = SlowText();
    const struct {
        const char* pszCase;
        QString strPending; // matched when it happens
        std::function<void()> fnMeanwhile;
        const CTrackList* pList; // shown in the end
        QString strText;         // in the end
    } aCases[] = {
        {"a newer text", strLong, [&] { m_pView->SetFilterText("jim f1"); }, &m_list, "jim f1"},
        {"a rebuild that deletes the records", strSlow,
         [&] {
             m_pView->OnUpdate(nullptr, HINT_REBUILD_BEGIN, nullptr);
             EXPECT_TRUE(Shown().empty());
             m_list.clear();
             m_tracks = CTrackStore();
             m_pView->OnUpdate(nullptr, HINT_SHOW_TRACKS, &m_other);
             m_pView->OnUpdate(nullptr, HINT_REBUILD_END, nullptr);
         },
         &m_other, strSlow},
        {"a sort", strLong, [&] { ClickHeader(CTrackListModel::COL_FILE); }, &m_list, strLong},
        {"another list chosen", strLong, [&] { Show(m_other); }, &m_other, ""},
        {"a tag edit", strLong,
         [&] {
             const CTunebrView::CRecordChange change(*m_pView);
             m_list[1]->SetArtist("Joe");
             Show(m_list);
             QTest::qWait(100);
             EXPECT_TRUE(m_pView->IsFilterPending());
         },
         &m_list, strLong},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        m_list = NumberedTracks(m_tracks, 30000, c.strPending == strSlow ? SLOW_COMMENT : "");
        Show(m_list);
        m_pView->SetFilterText("");
        m_pView->SetFilterText(c.strPending);
        ASSERT_TRUE(m_pView->IsFilterPending());
        c.fnMeanwhile();
        WaitForRows();
        EXPECT_EQ(m_pView->GetFilterText(), c.strText);
        ExpectRowsOf(*c.pList, c.strText);
    }
}

// Many rows are sorted on the sort thread: they keep their order until the new one comes, and
// whatever happens meanwhile they end in the order of the key on the list as it is then, the
// selection on its records. No sort reads a record once it may change or go.
TEST_F(TunebrViewFilter, ManyRowsAreSortedOffTheWindowsThread) {
    constexpr int MANY = 60000;
    CTrackStore otherTracks;
    const struct {
        const char* pszCase;
        QString strFilter;
        int nColumn; // clicked once the list shows, by file name
        std::function<void()> fnMeanwhile;
        const CTrackList* pList; // shown in the end, the selection kept when it is m_list
    } aCases[] = {
        {"a click", "", CTrackListModel::COL_FILE, [] {}, &m_list},
        {"a click on filtered rows", "joe", CTrackListModel::COL_FILE, [] {}, &m_list},
        {"a second click", "", CTrackListModel::COL_FILE,
         [&] { ClickHeader(CTrackListModel::COL_FILE); }, &m_list},
        {"another column", "", CTrackListModel::COL_FILE,
         [&] { ClickHeader(CTrackListModel::COL_ARTIST); }, &m_list},
        {"another list filled", "", CTrackListModel::COL_ARTIST,
         [&] {
             m_other = NumberedTracks(otherTracks, MANY);
             Show(m_other);
         },
         &m_other},
        {"a tag edit", "", CTrackListModel::COL_ARTIST,
         [&] {
             const CTunebrView::CRecordChange change(*m_pView);
             m_list[MANY - 1]->SetArtist("Ann");
             EXPECT_TRUE(m_pView->IsSortPending());
         },
         &m_list},
        {"a rebuild that deletes the records", "", CTrackListModel::COL_FILE,
         [&] {
             m_pView->OnUpdate(nullptr, HINT_REBUILD_BEGIN, nullptr);
             m_list.clear();
             m_tracks = CTrackStore();
             m_other = NumberedTracks(otherTracks, MANY);
             m_pView->OnUpdate(nullptr, HINT_SHOW_TRACKS, &m_other);
             m_pView->OnUpdate(nullptr, HINT_REBUILD_END, nullptr);
         },
         &m_other},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        m_list = NumberedTracks(m_tracks, MANY);
        Show(m_list);
        m_pView->SetFilterText(c.strFilter);
        WaitForRows();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !m_pView->IsSortPending(); }, 10000));
        SelectRows({3});
        const CTrackInfo* pSelected = m_pView->GetSelectedTracks().at(0);
        const Names arrBefore = Shown();
        ClickHeader(c.nColumn);
        ASSERT_TRUE(m_pView->IsSortPending());
        EXPECT_EQ(Shown(), arrBefore);
        c.fnMeanwhile();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !m_pView->IsSortPending(); }, 10000));
        WaitForRows();

        ExpectRowsOf(*c.pList, c.strFilter);
        const CTrackList& arrOrdered = m_pView->GetModel()->GetAllRows();
        const int nKey = m_pView->GetSortKey();
        EXPECT_EQ(m_pView->GetModel()->GetSortKey(), nKey);
        const auto itUnordered =
            std::adjacent_find(arrOrdered.begin(), arrOrdered.end(),
                               [nKey](const CTrackInfo* pA, const CTrackInfo* pB) {
                                   return CTrackSort::CompareTracks(pA, pB, nKey) > 0;
                               });
        EXPECT_EQ(itUnordered, arrOrdered.end());
        if (c.pList == &m_list) {
            EXPECT_EQ(m_pView->GetSelectedTracks(), CTrackList{const_cast<CTrackInfo*>(pSelected)});
        }
        m_pView->SetFilterText("");
        WaitForRows();
    }
    // The rows go before the records of the other list.
    m_pView->OnUpdate(nullptr, HINT_REBUILD_BEGIN, nullptr);
}

// The worker hands over the newest job's rows alone, each job's as a fresh filter gives them,
// whether it has threads or not; without any it matches on the caller's thread, every job.
// Stopped and waited for, it hands over nothing more.
TEST(FilterWorker, NewestJobsRowsComeWithTheThreadsThereAre) {
    CTrackStore tracks;
    const CTrackList arrRows = NumberedTracks(tracks, 30000, SLOW_COMMENT);
    const QString strSlow = SlowText();
    // The last is posted once the one before has come, and stopped at once.
    const QString aTexts[] = {strSlow, strSlow + "f1", "joe f2", strSlow};
    const struct {
        const char* pszCase;
        std::size_t nThreads;
        std::vector<std::size_t> arrHandedOver; // of aTexts
    } aCases[] = {
        {"threads to be had", SIZE_MAX, {2}},
        {"the worker's thread alone", 1, {2}},
        {"no thread", 0, {0, 1, 2, 3}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        CThreadQuota quota(c.nThreads);
        std::mutex mutex;
        std::vector<std::shared_ptr<CFilterWorker::SResult>> arrResults;
        std::vector<std::thread::id> arrThreads;
        CFilterWorker worker(
            [&](std::shared_ptr<CFilterWorker::SResult> pResult) {
                const std::lock_guard<std::mutex> lock(mutex);
                arrResults.push_back(std::move(pResult));
                arrThreads.push_back(std::this_thread::get_id());
            },
            quota);
        std::vector<std::uint64_t> arrJobs;
        const auto post = [&](const QString& strText) {
            CFilterWorker::SJob job;
            job.strText = strText;
            job.arrRows = arrRows;
            arrJobs.push_back(worker.Post(std::move(job)));
        };
        for (std::size_t i = 0; i + 1 < std::size(aTexts); ++i) {
            post(aTexts[i]);
        }
        const auto lastCame = [&] {
            const std::lock_guard<std::mutex> lock(mutex);
            return !arrResults.empty() && arrResults.back()->nJob == arrJobs.back();
        };
        ASSERT_TRUE(QTest::qWaitFor(lastCame, 10000));
        post(aTexts[std::size(aTexts) - 1]);
        worker.StopAndWait();
        QTest::qWait(50);

        const std::lock_guard<std::mutex> lock(mutex);
        ASSERT_EQ(arrResults.size(), c.arrHandedOver.size());
        for (std::size_t i = 0; i < arrResults.size(); ++i) {
            const std::size_t nText = c.arrHandedOver[i];
            EXPECT_EQ(arrResults[i]->nJob, arrJobs[nText]);
            EXPECT_EQ(FileNames(arrResults[i]->arrPassed),
                      FileNames(CTrackFilter(aTexts[nText]).Apply(arrRows)));
            EXPECT_EQ(arrThreads[i] == std::this_thread::get_id(), c.nThreads == 0);
        }
        EXPECT_LE(quota.Started(), c.nThreads);
        if (c.nThreads == 1 && std::thread::hardware_concurrency() > 1) {
            EXPECT_GT(quota.Refused(), 0u); // the list's second part was tested on the worker's
        }
    }
}
