// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/docview.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "panes/leftview.h"
#include "panes/panehost.h"
#include "panes/viewhints.h"
#include "platform/icons.h"
#include "platform/textconv.h"
#include "platform/usersettings.h"
#include "res/strings.h"
#include "tests/support/fakes.h"
#include "tests/support/testfiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QStorageInfo>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t FILE_BYTES = 500000;

// The frame's side and the list pane's side write into one log, so that the order of what the
// tree does to both can be checked.
using Log = std::vector<std::string>;

// Stands for the list pane: records the lists it is given, and how many nodes the tree still
// holds when the rebuild begins.
class CRecordingView final : public CDocView {
public:
    CRecordingView(Log& log, CTunebrDoc& doc) : m_log(log), m_doc(doc) {}
    void OnUpdate(CDocView*, EHint eHint, CTrackList* pTracks) override {
        if (eHint == HINT_SHOW_TRACKS) {
            m_arrShown.push_back(pTracks);
            m_log.push_back(pTracks == m_doc.GetTracks() ? "show all" : "show part");
        } else if (eHint == HINT_REBUILD_BEGIN && m_pTree != nullptr) {
            m_log.push_back("hint1 nodes=" + std::to_string(m_pTree->topLevelItemCount()));
        } else {
            m_log.push_back("hint" + std::to_string(static_cast<int>(eHint)));
        }
    }

    QTreeWidget* m_pTree = nullptr;
    std::vector<CTrackList*> m_arrShown;

private:
    Log& m_log;
    CTunebrDoc& m_doc;
};

// A genre makes its artists' nodes when it is first opened, as the user opens it.
void Open(const QTreeWidgetItem* pItem) {
    pItem->treeWidget()->expandItem(pItem);
}

std::vector<std::string> ChildTexts(const QTreeWidgetItem* pItem) {
    Open(pItem);
    std::vector<std::string> arrTexts;
    for (int i = 0; i < pItem->childCount(); ++i) {
        arrTexts.push_back(ToStdString(pItem->child(i)->text(0)));
    }
    return arrTexts;
}

std::vector<std::string> FileNames(const CTrackList* pTracks) {
    std::vector<std::string> arrNames;
    for (const CTrackInfo* pTrack : *pTracks) {
        arrNames.emplace_back(pTrack->GetFileName());
    }
    std::sort(arrNames.begin(), arrNames.end());
    return arrNames;
}

QImage Picture(const QIcon& icon) {
    return icon.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool HasVisiblePixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0) {
                return true;
            }
        }
    }
    return false;
}

QTreeWidgetItem* FindChild(const QTreeWidgetItem* pParent, const QString& strText) {
    Open(pParent);
    for (int i = 0; i < pParent->childCount(); ++i) {
        if (pParent->child(i)->text(0) == strText) {
            return pParent->child(i);
        }
    }
    return nullptr;
}

using Names = std::vector<std::string>;

// Six files of 500,000 bytes: 3.0 MB in all.
class LeftView : public ::testing::Test {
protected:
    LeftView() {
        Add("a/one.mp3", "alpha", 17);
        Add("a/two.mp3", "alpha", 13);
        Add("b/three.mp3", "Beta", 17);
        Add("b/four.mp3", "beta", 8);
        Add("c/five.mp3", "Gamma", 13);
        WriteBytes(m_dir.Path() / "notag.mp3", Audio(FILE_BYTES));
    }

    void Add(const std::string& strRelative, const std::string& strArtist, unsigned char nGenre) {
        WriteBytes(m_dir.Path() / strRelative,
                   Audio(FILE_BYTES - 128) + MakeTag("Title", strArtist, "", "", "", nGenre));
    }

    // The tree first, then the list pane, as the frame makes them; then the start-up scan.
    void Start(int nViewType = 0) {
        m_settings.m_nViewType = nViewType;
        m_pTree = std::make_unique<CLeftView>(m_doc, m_settings, m_host);
        m_doc.AddView(&m_list);
        m_list.m_pTree = m_pTree.get();
        m_doc.ScanFolder(m_dir.Str());
        m_pTree->OnInitialUpdate();
    }

    ~LeftView() override { m_doc.RemoveView(&m_list); }

    QTreeWidgetItem* Root() const { return m_pTree->topLevelItem(0); }

    std::string RootStatus() const { return "status " + m_dir.Str() + "||6 file(s)|  3.0 MB"; }

    CTempDir m_dir;
    Log m_log;
    CFakeCatalogueHost m_catalogueHost;
    // A call left on a thread of its own may outlive the test: the process's own ops outlive it.
    CFileOps& m_fileOps = SystemFileOps();
    CTunebrDoc m_doc{m_catalogueHost, m_fileOps};
    CUserSettings m_settings;
    CFakePaneHost m_host{m_log};
    CRecordingView m_list{m_log, m_doc};
    std::unique_ptr<CLeftView> m_pTree;
};

} // namespace

TEST_F(LeftView, EveryRebuildEmptiesTheTreeThenShowsTheRootOnceBuilt) {
    Start();
    // A selected artist before the rebuild: its list dies with the rebuild and must not be sent.
    m_pTree->setCurrentItem(FindChild(Root(), "Beta"));

    struct SCase {
        const char* pszName;
        void (*pfnRebuild)(CTunebrDoc& doc, const std::string& strFolder);
        const char* pszModeHint; // what the list pane hears between the two rebuild hints
        Names arrRootChildren;
    };
    const SCase arrCases[] = {
        {"rescan",
         [](CTunebrDoc& doc, const std::string& strFolder) { doc.ScanFolder(strFolder); },
         nullptr,
         {"<Undefined>", "alpha", "Beta", "beta", "Gamma"}},
        {"index rebuild",
         [](CTunebrDoc& doc, const std::string&) { doc.RebuildIndex(); },
         nullptr,
         {"<Undefined>", "alpha", "Beta", "beta", "Gamma"}},
        {"switch to genres",
         [](CTunebrDoc& doc, const std::string&) {
             doc.UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
             doc.UpdateAllViews(nullptr, HINT_BY_GENRE);
             doc.UpdateAllViews(nullptr, HINT_REBUILD_END);
         },
         "hint4",
         {"<Undefined>", "Jazz", "Pop", "Rock"}},
        {"switch back to artists",
         [](CTunebrDoc& doc, const std::string&) {
             doc.UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
             doc.UpdateAllViews(nullptr, HINT_BY_ARTIST);
             doc.UpdateAllViews(nullptr, HINT_REBUILD_END);
         },
         "hint3",
         {"<Undefined>", "alpha", "Beta", "beta", "Gamma"}},
    };
    // A large catalogue's tree and list come over turns of the event loop, after the rebuild's
    // end; a rebuild begun before they come replaces them.
    for (const bool bInTurns : {false, true})
        for (const SCase& c : arrCases) {
            SCOPED_TRACE(std::string(c.pszName) + (bInTurns ? " in turns" : " at once"));
            m_pTree->SetTurnTracks(bInTurns ? 0 : CLeftView::TURN_TRACKS);
            m_log.clear();
            m_list.m_arrShown.clear();
            if (bInTurns) {
                c.pfnRebuild(m_doc, m_dir.Str());
                EXPECT_TRUE(m_pTree->IsBuildPending());
                EXPECT_EQ(m_pTree->topLevelItemCount(), 0);
                m_log.clear();
            }
            c.pfnRebuild(m_doc, m_dir.Str());
            EXPECT_TRUE(QTest::qWaitFor([this] { return !m_pTree->IsBuildPending(); }));

            std::vector<std::string> arrExpected = {"start",      "hint1 nodes=0", "show all",
                                                    RootStatus(), "stop",          "hint2"};
            if (bInTurns) {
                std::rotate(arrExpected.begin() + 2, arrExpected.begin() + 5, arrExpected.end());
            }
            if (c.pszModeHint != nullptr) {
                arrExpected.insert(arrExpected.begin() + 2, c.pszModeHint);
            }
            EXPECT_EQ(m_log, arrExpected);
            ASSERT_EQ(m_pTree->topLevelItemCount(), 1);
            EXPECT_EQ(m_pTree->currentItem(), Root());
            EXPECT_TRUE(Root()->isSelected());
            EXPECT_EQ(ChildTexts(Root()), c.arrRootChildren);
            EXPECT_EQ(m_list.m_arrShown, std::vector<CTrackList*>{m_doc.GetTracks()});
        }
}

TEST_F(LeftView, ByArtistTheRootHoldsEveryTrackAndOneNodePerArtistInCaseInsensitiveOrder) {
    Start(0);
    ASSERT_EQ(m_pTree->topLevelItemCount(), 1);
    EXPECT_EQ(Root()->text(0), ToQString(m_dir.Str()));
    EXPECT_EQ(CLeftView::TracksOf(Root()), m_doc.GetTracks());
    EXPECT_TRUE(Root()->isExpanded());
    EXPECT_EQ(Picture(Root()->icon(0)), Picture(LoadIcon(EIcon::Folder)));
    EXPECT_EQ(ChildTexts(Root()), (Names{"<Undefined>", "alpha", "Beta", "beta", "Gamma"}));

    const struct {
        const char* pszArtist;
        Names arrFiles;
    } arrArtists[] = {{"<Undefined>", {"notag.mp3"}},
                      {"alpha", {"one.mp3", "two.mp3"}},
                      {"Beta", {"three.mp3"}},
                      {"beta", {"four.mp3"}},
                      {"Gamma", {"five.mp3"}}};
    for (const auto& artist : arrArtists) {
        SCOPED_TRACE(artist.pszArtist);
        const QTreeWidgetItem* pNode = FindChild(Root(), QString::fromUtf8(artist.pszArtist));
        ASSERT_NE(pNode, nullptr);
        EXPECT_EQ(CLeftView::TracksOf(pNode), &m_doc.FindArtist(artist.pszArtist)->m_arrTracks);
        EXPECT_EQ(FileNames(CLeftView::TracksOf(pNode)), artist.arrFiles);
        EXPECT_EQ(pNode->childCount(), 0);
        EXPECT_EQ(Picture(pNode->icon(0)), Picture(LoadIcon(EIcon::Face)));
    }
}

TEST_F(LeftView, ByGenreEachGenreHoldsItsArtistsWithOnlyThatGenresTracks) {
    Start(1);
    EXPECT_EQ(ChildTexts(Root()), (Names{"<Undefined>", "Jazz", "Pop", "Rock"}));

    const struct {
        const char* pszGenre;
        Names arrGenreFiles;
        Names arrArtists;
        std::vector<Names> arrArtistFiles;
    } arrGenres[] = {
        {"<Undefined>", {"notag.mp3"}, {"<Undefined>"}, {{"notag.mp3"}}},
        {"Jazz", {"four.mp3"}, {"beta"}, {{"four.mp3"}}},
        {"Pop", {"five.mp3", "two.mp3"}, {"alpha", "Gamma"}, {{"two.mp3"}, {"five.mp3"}}},
        {"Rock", {"one.mp3", "three.mp3"}, {"alpha", "Beta"}, {{"one.mp3"}, {"three.mp3"}}},
    };
    for (const auto& genre : arrGenres) {
        SCOPED_TRACE(genre.pszGenre);
        const QTreeWidgetItem* pGenreNode = FindChild(Root(), QString::fromUtf8(genre.pszGenre));
        ASSERT_NE(pGenreNode, nullptr);
        EXPECT_EQ(CLeftView::TracksOf(pGenreNode), &m_doc.FindGenre(genre.pszGenre)->m_arrTracks);
        EXPECT_EQ(FileNames(CLeftView::TracksOf(pGenreNode)), genre.arrGenreFiles);
        EXPECT_FALSE(pGenreNode->isExpanded());
        EXPECT_EQ(Picture(pGenreNode->icon(0)), Picture(LoadIcon(EIcon::Clef)));
        ASSERT_EQ(ChildTexts(pGenreNode), genre.arrArtists);
        for (int i = 0; i < pGenreNode->childCount(); ++i) {
            const QTreeWidgetItem* pArtistNode = pGenreNode->child(i);
            EXPECT_EQ(FileNames(CLeftView::TracksOf(pArtistNode)), genre.arrArtistFiles[i]);
            EXPECT_EQ(pArtistNode->childCount(), 0);
            EXPECT_EQ(Picture(pArtistNode->icon(0)), Picture(LoadIcon(EIcon::Face)));
        }
    }
}

// A genre's artists are made when it is first opened, by the keyboard too; artists a scan adds
// meanwhile are there whether the genre was open before or not, as a whole build has them.
TEST_F(LeftView, AGenreShowsItsArtistsOnceOpenedAndThoseAScanAddsWhenever) {
    Start(1);
    QTreeWidgetItem* pRock = nullptr;
    for (int i = 0; i < Root()->childCount(); ++i) {
        if (Root()->child(i)->text(0) == QStringLiteral("Rock")) {
            pRock = Root()->child(i);
        }
    }
    ASSERT_NE(pRock, nullptr);
    m_pTree->setCurrentItem(pRock);
    QTest::keyClick(m_pTree.get(), Qt::Key_Right);
    EXPECT_TRUE(pRock->isExpanded());
    ASSERT_EQ(pRock->childCount(), 2);
    EXPECT_EQ(pRock->child(0)->text(0), QStringLiteral("alpha"));

    // Pop stays closed while the scan adds to both.
    Add("d/six.mp3", "delta", 17);
    Add("d/seven.mp3", "Delta", 13);
    std::deque<CTrackInfo> arrAdded;
    for (const char* pszName : {"six.mp3", "seven.mp3"}) {
        CTrackInfo& track = arrAdded.emplace_back((m_dir.Path() / "d").string(), pszName);
        m_doc.GetTracks()->push_back(&track);
        m_doc.AddToArtistIndex(&track);
        m_doc.AddToGenreIndex(&track);
    }
    m_doc.UpdateAllViews(nullptr, HINT_TRACKS_ADDED);
    const struct {
        const char* pszGenre;
        Names arrArtists;
    } arrCases[] = {
        {"Rock", {"alpha", "Beta", "delta"}},
        {"Pop", {"alpha", "Delta", "Gamma"}},
    };
    for (const auto& c : arrCases) {
        SCOPED_TRACE(c.pszGenre);
        EXPECT_EQ(ChildTexts(FindChild(Root(), QString::fromUtf8(c.pszGenre))), c.arrArtists);
    }
    m_doc.ClearCatalogue(); // the records added here go before the document
}

TEST_F(LeftView, SelectingANodeShowsItsTracksAndDescribesItInTheStatusBar) {
    const struct {
        int nViewType;
        const char* pszGenre; // the node's parent, or null for a child of the root
        const char* pszNode;
        const char* pszStatus;
        Names arrFiles;
    } arrCases[] = {
        {0, nullptr, "alpha", "status alpha||2 file(s)|  1.0 MB", {"one.mp3", "two.mp3"}},
        {0, nullptr, "beta", "status beta||1 file(s)|  0.5 MB", {"four.mp3"}},
        {1, nullptr, "Pop", "status Pop||2 file(s)|  1.0 MB", {"five.mp3", "two.mp3"}},
        {1, "Rock", "alpha", "status alpha||1 file(s)|  0.5 MB", {"one.mp3"}},
    };
    for (const auto& c : arrCases) {
        SCOPED_TRACE(std::string(c.pszNode) + " in mode " + std::to_string(c.nViewType));
        m_pTree.reset();
        m_doc.RemoveView(&m_list);
        Start(c.nViewType);

        QTreeWidgetItem* pParent =
            c.pszGenre == nullptr ? Root() : FindChild(Root(), QString::fromUtf8(c.pszGenre));
        ASSERT_NE(pParent, nullptr);
        QTreeWidgetItem* pNode = FindChild(pParent, QString::fromUtf8(c.pszNode));
        ASSERT_NE(pNode, nullptr);
        m_log.clear();
        m_list.m_arrShown.clear();
        m_pTree->setCurrentItem(pNode);
        EXPECT_EQ(m_log, (Names{"show part", c.pszStatus}));
        ASSERT_EQ(m_list.m_arrShown.size(), 1u);
        EXPECT_EQ(m_list.m_arrShown[0], CLeftView::TracksOf(pNode));
        EXPECT_EQ(FileNames(m_list.m_arrShown[0]), c.arrFiles);

        // Back to the root: the complete list again.
        m_log.clear();
        m_pTree->setCurrentItem(Root());
        EXPECT_EQ(m_log, (Names{"show all", RootStatus()}));
    }
}

TEST_F(LeftView, AStoredModeOtherThanArtistOrGenreShowsTheRootAlone) {
    for (const int nViewType : {2, -1, 99}) {
        SCOPED_TRACE(nViewType);
        m_pTree.reset();
        m_doc.RemoveView(&m_list);
        m_log.clear();
        Start(nViewType);
        ASSERT_EQ(m_pTree->topLevelItemCount(), 1);
        EXPECT_EQ(Root()->childCount(), 0);
        EXPECT_TRUE(Root()->isSelected());
        EXPECT_EQ(CLeftView::TracksOf(Root()), m_doc.GetTracks());
        EXPECT_EQ(m_log.back(), "hint2");
        EXPECT_NE(std::find(m_log.begin(), m_log.end(), RootStatus()), m_log.end());
    }
}

TEST_F(LeftView, AMissingFolderGivesTheRootAloneWithNoFiles) {
    Start();
    const std::string strMissing = m_dir.Str() + "/missing";
    m_log.clear();
    m_list.m_arrShown.clear();
    m_doc.ScanFolder(strMissing);

    ASSERT_EQ(m_pTree->topLevelItemCount(), 1);
    EXPECT_EQ(Root()->text(0), ToQString(strMissing));
    EXPECT_EQ(Root()->childCount(), 0);
    const std::string strStatus = "status " + strMissing + "||0 file(s)|  0.0 MB";
    EXPECT_EQ(m_log, (Names{"start", "hint1 nodes=0", "show all", strStatus, "stop", "hint2"}));
    ASSERT_EQ(m_list.m_arrShown.size(), 1u);
    EXPECT_TRUE(m_list.m_arrShown[0]->empty());
}

TEST_F(LeftView, TotalsBeyondTwoGigabytesAreCountedInFull) {
    const CTempDir dir;
    // Sparse files: 3 GB of size on disk costs nothing.
    for (const char* pszName : {"big1.mp3", "big2.mp3"}) {
        WriteBytes(dir.Path() / pszName, "");
        std::filesystem::resize_file(dir.Path() / pszName, 1500000000);
    }
    Start();
    m_log.clear();
    m_doc.ScanFolder(dir.Str());
    EXPECT_EQ(m_log.at(3), "status " + dir.Str() + "||2 file(s)|3000.0 MB");
}

TEST_F(LeftView, TabInEitherDirectionSwitchesPaneAndKeepsTheFocus) {
    m_doc.ScanFolder(m_dir.Str());
    // A window with a neighbour to which the focus chain would otherwise move.
    QWidget window;
    auto* pLayout = new QVBoxLayout(&window);
    auto* pTree = new CLeftView(m_doc, m_settings, m_host, &window);
    pTree->OnInitialUpdate();
    pLayout->addWidget(pTree);
    pLayout->addWidget(new QLineEdit(&window));
    window.show();
    QApplication::setActiveWindow(&window);
    pTree->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(pTree->hasFocus());

    int nSwitches = 0;
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Tab, Qt::NoModifier}, std::pair{Qt::Key_Backtab, Qt::ShiftModifier}}) {
        SCOPED_TRACE(key);
        QTest::keyClick(pTree, key, modifiers);
        EXPECT_EQ(m_host.m_nSwitches, ++nSwitches);
        // Moving the focus is the frame's business, not the focus chain's.
        EXPECT_TRUE(pTree->hasFocus());
        pTree->setFocus();
    }

    // Other keys keep their usual meaning and do not switch.
    pTree->setCurrentItem(pTree->topLevelItem(0)->child(0));
    QTest::keyClick(pTree, Qt::Key_Down);
    EXPECT_EQ(pTree->currentItem(), pTree->topLevelItem(0)->child(1));
    EXPECT_EQ(m_host.m_nSwitches, nSwitches);
}

// The root's status takes a pass over every record: a rebuild gives it once, through the
// selection, or by itself when the tree's signals are blocked and the selection says nothing.
TEST_F(LeftView, ARebuildEndsWithTheRootStatusGivenOnce) {
    Start();
    for (const bool bBlocked : {false, true}) {
        SCOPED_TRACE(bBlocked ? "signals blocked" : "signals through");
        m_log.clear();
        const bool bWasBlocked = m_pTree->blockSignals(bBlocked);
        m_doc.RebuildIndex();
        m_pTree->blockSignals(bWasBlocked);
        EXPECT_EQ(std::count(m_log.begin(), m_log.end(), RootStatus()), 1);
        ASSERT_FALSE(m_log.empty());
        EXPECT_EQ(m_log.back(), "hint2");
        EXPECT_EQ(m_log.end()[-3], RootStatus());
    }
}

TEST_F(LeftView, AViewMadeAfterTheScanBuildsAtItsInitialUpdateAndOnlyOnce) {
    m_doc.ScanFolder(m_dir.Str());
    m_pTree = std::make_unique<CLeftView>(m_doc, m_settings, m_host);
    m_doc.AddView(&m_list);
    EXPECT_EQ(m_pTree->topLevelItemCount(), 0);

    m_pTree->OnInitialUpdate();
    EXPECT_EQ(m_log, (Names{"show all", RootStatus()}));
    EXPECT_EQ(ChildTexts(Root()), (Names{"<Undefined>", "alpha", "Beta", "beta", "Gamma"}));

    m_log.clear();
    m_pTree->OnInitialUpdate();
    EXPECT_TRUE(m_log.empty());
    EXPECT_EQ(m_pTree->topLevelItemCount(), 1);
}

TEST_F(LeftView, ADestroyedViewIsNoLongerTold) {
    Start();
    m_list.m_pTree = nullptr;
    m_pTree.reset();
    m_log.clear();
    m_doc.ScanFolder(m_dir.Str());
    EXPECT_EQ(m_log, (Names{"hint1", "hint2"}));
}

// Files whose tag leaves the artist blank are one group, first among the artists as its empty
// name sorts, whether the tree is built whole or grows during a scan; its label says what it holds.
TEST_F(LeftView, TheBlankArtistGroupHasALabelAndKeepsItsPlace) {
    Add("d/blank.mp3", "", 13);
    const struct {
        int nViewType;
        const char* pszGenre; // the group's parent, or null for the root
        Names arrNodes;
    } arrCases[] = {
        {0, nullptr, {"(no artist)", "<Undefined>", "alpha", "Beta", "beta", "Gamma"}},
        {1, "Pop", {"(no artist)", "alpha", "Gamma"}},
    };
    for (const auto& c : arrCases) {
        SCOPED_TRACE(c.nViewType);
        m_pTree.reset();
        m_doc.RemoveView(&m_list);
        Start(c.nViewType);
        const QTreeWidgetItem* pParent =
            c.pszGenre == nullptr ? Root() : FindChild(Root(), QString::fromUtf8(c.pszGenre));
        ASSERT_NE(pParent, nullptr);
        EXPECT_EQ(ChildTexts(pParent), c.arrNodes);
        EXPECT_EQ(FileNames(CLeftView::TracksOf(pParent->child(0))), Names{"blank.mp3"});
    }

    // An artist added by a scan goes where a whole build puts it: after the empty name, though
    // its own sorts before the label.
    CFakeCatalogueHost host;
    CFileOps fileOps;
    CTunebrDoc doc(host, fileOps);
    doc.AddArtist("b");
    doc.AddArtist("");
    m_settings.m_nViewType = 0;
    CLeftView tree(doc, m_settings, m_host);
    doc.UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    doc.UpdateAllViews(nullptr, HINT_REBUILD_END);
    doc.AddArtist("'Til");
    doc.UpdateAllViews(nullptr, HINT_TRACKS_ADDED);
    EXPECT_EQ(ChildTexts(tree.topLevelItem(0)), (Names{"(no artist)", "'Til", "b"}));
    EXPECT_STREQ(LoadString(IDS_NO_ARTIST, ELanguage::French), "(sans artiste)");
}

TEST_F(LeftView, TwentyThousandArtistsAreBuiltQuicklyInOrder) {
    CFakeCatalogueHost host;
    CFileOps fileOps;
    CTunebrDoc doc(host, fileOps);
    // Names in an order unrelated to the sorted one, half of them capitalised.
    constexpr int ARTISTS = 20000;
    for (int i = 0; i < ARTISTS; ++i) {
        const int n = (i * 7919) % ARTISTS;
        std::string strName = "artist " + std::to_string(n);
        if (n % 2 == 1) {
            strName[0] = 'A';
        }
        doc.AddArtist(strName);
    }
    CLeftView tree(doc, m_settings, m_host);
    QElapsedTimer timer;
    timer.start();
    doc.UpdateAllViews(nullptr, HINT_REBUILD_BEGIN);
    doc.UpdateAllViews(nullptr, HINT_REBUILD_END);
    // Generous for a loaded machine; per-node sorted insertion takes far longer.
    EXPECT_LT(timer.elapsed(), 3000);

    const QTreeWidgetItem* pRoot = tree.topLevelItem(0);
    ASSERT_EQ(pRoot->childCount(), ARTISTS);
    for (int i = 1; i < ARTISTS; ++i) {
        const QString a = pRoot->child(i - 1)->text(0);
        const QString b = pRoot->child(i)->text(0);
        ASSERT_LT(QString::compare(a.toLower(), b.toLower()), 0) << ToStdString(a + " / " + b);
    }
}

TEST(LeftViewRootLabel, MountPointsShowTheirVolumeAndOtherFoldersTheirPath) {
    const CTempDir dir;
    const QStorageInfo root = QStorageInfo::root();
    const QString strRootText =
        root.name().isEmpty() ? QStringLiteral("/") : root.name() + QStringLiteral(" (/)");
    const struct {
        std::string strTitle;
        QString strText;
        bool bDrive;
    } arrCases[] = {
        {"/", strRootText, true},
        {"", strRootText, true}, // the title of a scan of "/"
        {dir.Str(), ToQString(dir.Str()), false},
        {dir.Str() + "/not-there", ToQString(dir.Str() + "/not-there"), false},
    };
    for (const auto& c : arrCases) {
        SCOPED_TRACE(c.strTitle);
        const CLeftView::SRootLabel label = CLeftView::RootLabel(c.strTitle);
        EXPECT_EQ(label.strText, c.strText);
        EXPECT_EQ(label.bDrive, c.bDrive);
    }
}

TEST(LeftViewRootLabel, AMountPointOtherThanTheRootIsADrive) {
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.rootPath() == QStringLiteral("/") || !volume.isValid()) {
            continue;
        }
        const CLeftView::SRootLabel label = CLeftView::RootLabel(ToStdString(volume.rootPath()));
        EXPECT_TRUE(label.bDrive) << ToStdString(volume.rootPath());
        EXPECT_TRUE(label.strText == volume.rootPath() ||
                    label.strText == volume.name() + " (" + volume.rootPath() + ')')
            << ToStdString(label.strText);
        return;
    }
    GTEST_SKIP() << "no mount point besides the root";
}

TEST(LeftViewIcons, EveryIconDrawsWithOrWithoutADesktopTheme) {
    const QString strTheme = QIcon::themeName();
    for (const char* pszTheme : {"", "no-such-theme"}) {
        QIcon::setThemeName(QString::fromLatin1(pszTheme));
        for (int n = 0; n <= static_cast<int>(EIcon::Details); ++n) {
            SCOPED_TRACE(std::string("theme '") + pszTheme + "', icon " + std::to_string(n));
            const QIcon icon = LoadIcon(static_cast<EIcon>(n));
            EXPECT_FALSE(icon.isNull());
            const QPixmap pixmap = icon.pixmap(32);
            ASSERT_FALSE(pixmap.isNull());
            EXPECT_TRUE(HasVisiblePixel(pixmap.toImage().convertToFormat(QImage::Format_ARGB32)));
        }
    }
    QIcon::setThemeName(strTheme);
}

TEST(LeftViewIcons, EachMeaningHasAPictureOfItsOwn) {
    QIcon::setThemeName(QStringLiteral("no-such-theme"));
    std::vector<QImage> arrPictures;
    for (int n = 0; n <= static_cast<int>(EIcon::Details); ++n) {
        arrPictures.push_back(Picture(LoadIcon(static_cast<EIcon>(n))));
    }
    for (std::size_t i = 0; i < arrPictures.size(); ++i) {
        for (std::size_t j = i + 1; j < arrPictures.size(); ++j) {
            EXPECT_NE(arrPictures[i], arrPictures[j]) << "icons " << i << " and " << j;
        }
    }
}
