// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/docview.h"
#include "catalogue/genres.h"
#include "catalogue/groupindex.h"
#include "catalogue/hints.h"
#include "catalogue/keptcatalogue.h"
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "res/strings.h"
#include "tests/support/fakes.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TunebrDoc : public ::testing::Test {
protected:
    TunebrDoc() { m_doc.AddView(&m_view); }

    void Add(const std::string& strRelative, const std::string& strBytes = Audio(200)) {
        WriteBytes(m_dir.Path() / strRelative, strBytes);
    }

    std::vector<std::string> ScanNames() {
        std::vector<std::string> arrNames;
        for (const CTrackInfo* pTrack : *m_doc.GetTracks()) {
            arrNames.emplace_back(pTrack->GetFileName());
        }
        return arrNames;
    }

    static std::vector<std::string> GroupNames(const CTrackList& arrTracks) {
        std::vector<std::string> arrNames;
        for (const CTrackInfo* pTrack : arrTracks) {
            arrNames.emplace_back(pTrack->GetFileName());
        }
        return arrNames;
    }

    CTempDir m_dir;
    CFakeCatalogueHost m_host;
    CFileOps m_fileOps;
    CCallQueue m_calls; // outlives the document, which posts to it
    CTunebrDoc m_doc{m_host, m_fileOps};
    CHintLog m_view;
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(TunebrDoc, ScanListsFolderFilesFirstThenEachSubFolderInNameOrder) {
    Add("b.mp3");
    Add("a.mp3");
    Add("cover.jpg");
    Add("Sub/c.mp3");
    Add("Sub/Deeper/d.mp3");
    Add("Another/e.MP3");
    Add("z.mp3");
    m_doc.ScanFolder(m_dir.Str());
    EXPECT_EQ(ScanNames(), (Names{"a.mp3", "b.mp3", "z.mp3", "e.MP3", "c.mp3", "d.mp3"}));
    const CTrackList& arrTracks = *m_doc.GetTracks();
    EXPECT_EQ(arrTracks[0]->GetLocation(), m_dir.Str());
    EXPECT_EQ(arrTracks[3]->GetLocation(), m_dir.Str() + "/Another");
    EXPECT_EQ(arrTracks[5]->GetLocation(), m_dir.Str() + "/Sub/Deeper");
    EXPECT_EQ(m_doc.GetTitle(), m_dir.Str());
    EXPECT_EQ(m_host.m_arrWritten, Names{m_dir.Str()});
    EXPECT_EQ(m_view.m_arrHints, (std::vector<EHint>{HINT_REBUILD_BEGIN, HINT_REBUILD_END}));
    EXPECT_EQ(m_host.m_nWaitDepth, 0);
}

TEST_F(TunebrDoc, TrailingSlashIsRemovedOnce) {
    Add("Music/a.mp3");
    m_doc.ScanFolder(m_dir.Str() + "/Music/");
    EXPECT_EQ(m_doc.GetTitle(), m_dir.Str() + "/Music");
    EXPECT_EQ(m_host.m_arrWritten, Names{m_dir.Str() + "/Music"});
    ASSERT_EQ(m_doc.GetTracks()->size(), 1u);
    EXPECT_EQ(m_doc.GetTracks()->front()->GetLocation(), m_dir.Str() + "/Music");
}

// A self-titled album (Artist/Artist) is a folder like any other; only a folder met before, by
// device and inode, is left out, whatever its name.
TEST_F(TunebrDoc, SubFolderNamedLikeItsParentIsEnteredAndOnlyCyclesAreSkipped) {
    Add("Rock/a.mp3");
    Add("Rock/Rock/b.mp3");
    Add("Rock/Rock/Rock/c.mp3");
    Add("Rock/rock/d.mp3");
    fs::create_directory_symlink("..", m_dir.Path() / "Rock/Rock/Rock/Rock");
    m_doc.ScanFolder(m_dir.Str() + "/Rock");
    EXPECT_EQ(ScanNames(), (Names{"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));
    ASSERT_EQ(m_doc.GetTracks()->size(), 4u);
    EXPECT_EQ((*m_doc.GetTracks())[2]->GetLocation(), m_dir.Str() + "/Rock/Rock/Rock");
}

TEST_F(TunebrDoc, MatchingFolderGetsADefaultRecordAndIsWalked) {
    fs::create_directories(m_dir.Path() / "Best.mp3");
    Add("Best.mp3/inner.mp3");
    Add(".hidden.mp3", Audio(300) + MakeTag("Hidden", "H"));
    m_doc.ScanFolder(m_dir.Str());
    EXPECT_EQ(ScanNames(), (Names{".hidden.mp3", "Best.mp3", "inner.mp3"}));
    const CTrackInfo* pFolder = (*m_doc.GetTracks())[1];
    EXPECT_EQ(pFolder->GetSize(), 0);
    EXPECT_EQ(pFolder->GetArtist(), "<Undefined>");
}

TEST_F(TunebrDoc, PatternComesFromTheHost) {
    Add("a.mp3");
    Add("b.ogg");
    Add("c.OGG");
    m_host.m_strPattern = "*.ogg";
    m_doc.ScanFolder(m_dir.Str());
    EXPECT_EQ(ScanNames(), (Names{"b.ogg", "c.OGG"}));
}

TEST_F(TunebrDoc, MissingFolderStillTitlesWritesAndSendsBothHints) {
    Add("a.mp3");
    m_doc.ScanFolder(m_dir.Str());
    m_view.m_arrHints.clear();
    const std::string strMissing = m_dir.Str() + "/nothing-here";
    m_doc.ScanFolder(strMissing);
    EXPECT_TRUE(m_doc.GetTracks()->empty());
    EXPECT_TRUE(m_doc.GetArtists().empty());
    EXPECT_TRUE(m_doc.GetGenres().empty());
    EXPECT_EQ(m_doc.GetTitle(), strMissing);
    EXPECT_EQ(m_host.m_arrWritten.back(), strMissing);
    EXPECT_EQ(m_view.m_arrHints, (std::vector<EHint>{HINT_REBUILD_BEGIN, HINT_REBUILD_END}));
}

TEST_F(TunebrDoc, SymbolicLinksAreFollowedButNoFolderIsEnteredTwice) {
    Add("Real/a.mp3");
    Add("b.mp3");
    fs::create_directory_symlink(m_dir.Path() / "Real", m_dir.Path() / "Link1");
    fs::create_directory_symlink(m_dir.Path() / "Real", m_dir.Path() / "Link2");
    fs::create_directory_symlink(m_dir.Path(), m_dir.Path() / "Real" / "Cycle");
    fs::create_symlink(m_dir.Path() / "b.mp3", m_dir.Path() / "c.mp3");
    fs::create_symlink(m_dir.Path() / "nowhere.mp3", m_dir.Path() / "dangling.mp3");
    m_doc.ScanFolder(m_dir.Str());
    // Link1 is met first and stands for Real; Link2, Real itself and the cycle are not entered.
    EXPECT_EQ(ScanNames(), (Names{"b.mp3", "c.mp3", "dangling.mp3", "a.mp3"}));
    EXPECT_EQ((*m_doc.GetTracks())[3]->GetLocation(), m_dir.Str() + "/Link1");
    EXPECT_EQ((*m_doc.GetTracks())[1]->GetSize(), 200 - 128);
}

TEST_F(TunebrDoc, SpecialFilesNeitherBlockNorGetRead) {
    ASSERT_EQ(::mkfifo((m_dir.Path() / "fifo.mp3").c_str(), 0600), 0);
    Add("real.mp3", Audio(400) + MakeTag("T", "A"));
    m_doc.ScanFolder(m_dir.Str());
    EXPECT_EQ(ScanNames(), (Names{"fifo.mp3", "real.mp3"}));
    EXPECT_EQ((*m_doc.GetTracks())[0]->GetSize(), 0);
    EXPECT_TRUE((*m_doc.GetTracks())[1]->HasTag());
}

TEST_F(TunebrDoc, RescanReadsEverythingAfresh) {
    Add("a.mp3", Audio(300) + MakeTag("One", "A"));
    m_doc.ScanFolder(m_dir.Str());
    Add("a.mp3", Audio(300) + MakeTag("Two", "A"));
    m_doc.ScanFolder(m_dir.Str());
    ASSERT_EQ(m_doc.GetTracks()->size(), 1u);
    EXPECT_EQ(m_doc.GetTracks()->front()->GetTitle(), "Two");
    EXPECT_EQ(m_doc.GetArtists().size(), 1u);
}

TEST_F(TunebrDoc, IndexGroupsByExactArtistAndByGenreName) {
    Add("1.mp3", Audio(200) + MakeTag("t1", "Abba", "", "", "", 17));
    Add("2.mp3", Audio(200) + MakeTag("t2", "ABBA", "", "", "", 13));
    Add("3.mp3", Audio(200) + MakeTag("t3", "Abba", "", "", "", 255));
    Add("4.mp3", Audio(200));
    Add("5.mp3", Audio(200) + MakeTag("t5", "", "", "", "", 17));
    m_doc.ScanFolder(m_dir.Str());

    const auto& arrArtists = m_doc.GetArtists();
    ASSERT_EQ(arrArtists.size(), 4u);
    EXPECT_EQ(arrArtists[0]->GetName(), "Abba");
    EXPECT_EQ(GroupNames(arrArtists[0]->m_arrTracks), (Names{"1.mp3", "3.mp3"}));
    EXPECT_EQ(arrArtists[1]->GetName(), "ABBA");
    EXPECT_EQ(arrArtists[2]->GetName(), "<Undefined>");
    EXPECT_EQ(arrArtists[3]->GetName(), "");

    const auto& arrGenres = m_doc.GetGenres();
    ASSERT_EQ(arrGenres.size(), 3u);
    EXPECT_EQ(arrGenres[0]->GetName(), "Rock");
    EXPECT_EQ(GroupNames(arrGenres[0]->m_arrTracks), (Names{"1.mp3", "5.mp3"}));
    EXPECT_EQ(arrGenres[1]->GetName(), "Pop");
    EXPECT_EQ(arrGenres[2]->GetName(), "<Undefined>");
    EXPECT_EQ(GroupNames(arrGenres[2]->m_arrTracks), (Names{"3.mp3", "4.mp3"}));
    // the same artist in two genres: one sub-group in each, holding only that genre's records
    ASSERT_EQ(arrGenres[0]->GetArtists().size(), 2u);
    EXPECT_EQ(arrGenres[0]->GetArtists()[0]->GetName(), "Abba");
    EXPECT_EQ(GroupNames(arrGenres[0]->GetArtists()[0]->m_arrTracks), Names{"1.mp3"});
    ASSERT_EQ(arrGenres[2]->GetArtists().size(), 2u);
    EXPECT_EQ(arrGenres[2]->GetArtists()[1]->GetName(), "<Undefined>");
}

TEST_F(TunebrDoc, IndexInvariantsHoldOnAMixedTree) {
    for (int i = 0; i < 60; ++i) {
        const std::string strArtist = "Artist " + std::to_string(i % 7);
        Add("F" + std::to_string(i % 4) + "/" + std::to_string(i) + ".mp3",
            Audio(200 + i) +
                MakeTag("T", strArtist, "", "", "", static_cast<unsigned char>(i % 5)));
    }
    m_doc.ScanFolder(m_dir.Str());
    const CTrackList& arrAll = *m_doc.GetTracks();
    ASSERT_EQ(arrAll.size(), 60u);
    std::map<const CTrackInfo*, std::size_t> mapOrder;
    for (std::size_t i = 0; i < arrAll.size(); ++i) {
        mapOrder[arrAll[i]] = i;
    }
    auto checkOrdered = [&](const CTrackList& arrTracks) {
        ASSERT_FALSE(arrTracks.empty());
        for (std::size_t i = 1; i < arrTracks.size(); ++i) {
            EXPECT_LT(mapOrder.at(arrTracks[i - 1]), mapOrder.at(arrTracks[i]));
        }
    };
    std::size_t nInArtists = 0;
    std::size_t nPreviousFirst = 0;
    for (const auto& pArtist : m_doc.GetArtists()) {
        checkOrdered(pArtist->m_arrTracks);
        for (const CTrackInfo* pTrack : pArtist->m_arrTracks) {
            EXPECT_EQ(pTrack->GetArtist(), pArtist->GetName());
        }
        // groups stand in the order of their first record
        EXPECT_GE(mapOrder.at(pArtist->m_arrTracks.front()), nPreviousFirst);
        nPreviousFirst = mapOrder.at(pArtist->m_arrTracks.front());
        nInArtists += pArtist->m_arrTracks.size();
    }
    EXPECT_EQ(nInArtists, 60u);
    std::size_t nInGenres = 0;
    for (const auto& pGenre : m_doc.GetGenres()) {
        checkOrdered(pGenre->m_arrTracks);
        std::size_t nInSubGroups = 0;
        for (const auto& pArtist : pGenre->GetArtists()) {
            checkOrdered(pArtist->m_arrTracks);
            nInSubGroups += pArtist->m_arrTracks.size();
        }
        EXPECT_EQ(nInSubGroups, pGenre->m_arrTracks.size());
        nInGenres += pGenre->m_arrTracks.size();
    }
    EXPECT_EQ(nInGenres, 60u);
}

TEST_F(TunebrDoc, RebuildFollowsChangedRecordsAndKeepsTheTrackList) {
    Add("1.mp3", Audio(200) + MakeTag("t", "A", "", "", "", 1));
    Add("2.mp3", Audio(200) + MakeTag("t", "C", "", "", "", 1));
    Add("3.mp3", Audio(200) + MakeTag("t", "B", "", "", "", 1));
    m_doc.ScanFolder(m_dir.Str());
    CTrackList* pAll = m_doc.GetTracks();
    const CTrackList arrBefore = *pAll;
    m_view.m_arrHints.clear();

    (*pAll)[0]->SetArtist("B");
    (*pAll)[1]->SetGenre(2);
    m_doc.RebuildIndex();
    EXPECT_EQ(m_view.m_arrHints, (std::vector<EHint>{HINT_REBUILD_BEGIN, HINT_REBUILD_END}));
    EXPECT_EQ(*m_doc.GetTracks(), arrBefore);
    ASSERT_EQ(m_doc.GetArtists().size(), 2u);
    EXPECT_EQ(m_doc.GetArtists()[0]->GetName(), "B");
    EXPECT_EQ(GroupNames(m_doc.GetArtists()[0]->m_arrTracks), (Names{"1.mp3", "3.mp3"}));
    EXPECT_EQ(m_doc.GetArtists()[1]->GetName(), "C");
    ASSERT_EQ(m_doc.GetGenres().size(), 2u);
    EXPECT_EQ(m_doc.GetGenres()[1]->GetName(), "Country");

    m_doc.RebuildIndex();
    EXPECT_EQ(m_doc.GetArtists()[0]->GetName(), "B");
    EXPECT_EQ(m_doc.GetArtists()[1]->GetName(), "C");
}

namespace {

// The index as filing every record afresh gives it: groups in the order of their first record,
// each with its records in catalogue order, and a genre's artists likewise; one line per group.
Names FreshIndex(const CTrackList& arrTracks) {
    struct SGroup {
        std::string strName;
        Names arrFiles;
        std::vector<SGroup> arrSubGroups;
    };
    const auto Find = [](std::vector<SGroup>& arrGroups, std::string_view strName) -> SGroup& {
        for (SGroup& group : arrGroups) {
            if (group.strName == strName) {
                return group;
            }
        }
        return arrGroups.emplace_back(SGroup{std::string(strName), {}, {}});
    };
    std::vector<SGroup> arrArtists;
    std::vector<SGroup> arrGenres;
    for (const CTrackInfo* pTrack : arrTracks) {
        const std::string strFile(pTrack->GetFileName());
        Find(arrArtists, pTrack->GetArtist()).arrFiles.push_back(strFile);
        SGroup& genre = Find(arrGenres, pTrack->GetGenreName());
        genre.arrFiles.push_back(strFile);
        Find(genre.arrSubGroups, pTrack->GetArtist()).arrFiles.push_back(strFile);
    }
    Names arrLines;
    const auto Line = [&arrLines](const std::string& strIndent, const SGroup& group) {
        std::string strLine = strIndent + group.strName + ":";
        for (const std::string& strFile : group.arrFiles) {
            strLine += " " + strFile;
        }
        arrLines.push_back(strLine);
    };
    for (const SGroup& artist : arrArtists) {
        Line("", artist);
    }
    for (const SGroup& genre : arrGenres) {
        Line("", genre);
        for (const SGroup& artist : genre.arrSubGroups) {
            Line("  ", artist);
        }
    }
    return arrLines;
}

Names IndexOf(const CTunebrDoc& doc) {
    Names arrLines;
    const auto Line = [&arrLines](const std::string& strIndent, const auto& group) {
        std::string strLine = strIndent + group.GetName() + ":";
        for (const CTrackInfo* pTrack : group.m_arrTracks) {
            strLine += " " + std::string(pTrack->GetFileName());
        }
        arrLines.push_back(strLine);
    };
    for (const auto& pArtist : doc.GetArtists()) {
        Line("", *pArtist);
    }
    for (const auto& pGenre : doc.GetGenres()) {
        Line("", *pGenre);
        for (const auto& pArtist : pGenre->GetArtists()) {
            Line("  ", *pArtist);
        }
    }
    return arrLines;
}

} // namespace

// Rounds of edits that empty groups, make new ones and move first records about: each rebuild
// gives the index that filing all the records afresh gives, and a rescan the same again.
TEST_F(TunebrDoc, RebuildAfterEditsGivesTheIndexOfAFreshFiling) {
    const char* const apArtists[] = {"A", "B", "C", "D", "E", ""};
    const int aGenres[] = {0, 1, 2, 17, GENRE_NONE, 200};
    for (int i = 0; i < 40; ++i) {
        Add(std::to_string(100 + i) + ".mp3",
            Audio(200) + MakeTag("t", apArtists[i % 3], "", "", "", aGenres[i % 2]));
    }
    m_doc.ScanFolder(m_dir.Str());
    ASSERT_EQ(m_doc.GetTracks()->size(), 40u);
    EXPECT_EQ(IndexOf(m_doc), FreshIndex(*m_doc.GetTracks()));
    std::mt19937 random(3);
    for (int nRound = 0; nRound < 30; ++nRound) {
        for (int nEdit = 0; nEdit < 1 + nRound % 6; ++nEdit) {
            CTrackInfo* pTrack = (*m_doc.GetTracks())[random() % 40];
            if (random() % 2 == 0) {
                pTrack->SetArtist(apArtists[random() % std::size(apArtists)]);
            } else {
                pTrack->SetGenre(
                    static_cast<unsigned char>(aGenres[random() % std::size(aGenres)]));
            }
        }
        m_doc.RebuildIndex();
        ASSERT_EQ(IndexOf(m_doc), FreshIndex(*m_doc.GetTracks())) << "round " << nRound;
        for (const auto& pArtist : m_doc.GetArtists()) {
            EXPECT_EQ(m_doc.FindArtist(pArtist->GetName()), pArtist.get());
        }
    }
    const Names arrRebuilt = IndexOf(m_doc);
    m_doc.ScanFolder(m_dir.Str()); // the edits were in memory only
    EXPECT_EQ(IndexOf(m_doc), FreshIndex(*m_doc.GetTracks()));
    EXPECT_NE(IndexOf(m_doc), arrRebuilt);
}

// The window paints between the end of the filing and the views' rebuild: the last report of a
// scan, whole or stopped, comes after the last record is filed and before the rebuild's end.
TEST_F(TunebrDoc, ScanReportsOnceMoreBeforeTheViewsRebuild) {
    class CProgressAtEnd final : public CDocView {
    public:
        explicit CProgressAtEnd(const CFakeCatalogueHost& host) : m_host(host) {}
        void OnUpdate(CDocView*, EHint eHint, CTrackList*) override {
            if (eHint == HINT_REBUILD_END) {
                m_arrAtEnd = m_host.m_arrProgress;
            }
        }
        const CFakeCatalogueHost& m_host;
        std::vector<std::size_t> m_arrAtEnd;
    } probe(m_host);
    m_doc.AddView(&probe);
    for (int i = 0; i < 3; ++i) {
        Add(std::to_string(i) + ".mp3");
    }
    for (const std::size_t nStopAt : {SIZE_MAX, std::size_t{1}}) {
        SCOPED_TRACE(nStopAt == SIZE_MAX ? "whole scan" : "scan stopped");
        m_host.m_arrProgress.clear();
        m_host.m_nStopAtCall = nStopAt;
        m_doc.ScanFolder(m_dir.Str());
        ASSERT_FALSE(probe.m_arrAtEnd.empty());
        EXPECT_EQ(probe.m_arrAtEnd, m_host.m_arrProgress); // nothing after the rebuild's end
        EXPECT_EQ(probe.m_arrAtEnd.back(), m_doc.GetTracks()->size());
    }
    m_doc.RemoveView(&probe);
}

namespace {

// Records made in memory, albums of a few files by one artist in one genre, into the list given.
void AddAlbums(CTrackStore& store, CTrackList& arrTracks, int nTracks, std::mt19937& random) {
    const char* const apArtists[] = {"A", "a", "B", "", "C c", "Dé"};
    const int aGenres[] = {0, 1, 17};
    CFields fields;
    for (int i = 0; i < nTracks; ++i) {
        if (i % 12 == 0) {
            fields.strArtist = apArtists[random() % std::size(apArtists)];
            fields.nGenre = aGenres[random() % std::size(aGenres)];
        }
        fields.strFile = std::to_string(i);
        arrTracks.push_back(store.Add(fields));
    }
}

} // namespace

// A catalogue large enough to be filed by two threads, groups that appear, move and empty between
// rebuilds: each rebuild, at once or aside, gives what a fresh filing gives. Aside, the views are
// told nothing and the groups of before stay until the new ones are whole.
TEST_F(TunebrDoc, RebuildOfALargeCatalogueGivesTheIndexOfAFreshFiling) {
    const char* const apArtists[] = {"A", "a", "B", "", "C c", "Dé", "E", "F"};
    const int aGenres[] = {0, 1, 17, GENRE_NONE, 200};
    std::mt19937 random(5);
    CTrackStore store;
    CTrackList& arrTracks = *m_doc.GetTracks();
    AddAlbums(store, arrTracks, 60000, random);
    for (const bool bAside : {false, true}) {
        SCOPED_TRACE(bAside ? "aside" : "at once");
        if (bAside) {
            m_doc.RegroupAside(0, m_calls.Poster());
        }
        for (int nRound = 0; nRound < 3; ++nRound) {
            const Names arrShown = IndexOf(m_doc);
            m_view.m_arrHints.clear();
            m_doc.RebuildIndex();
            if (bAside) {
                EXPECT_TRUE(m_doc.IsRegrouping());
                EXPECT_TRUE(m_view.m_arrHints.empty());
                EXPECT_EQ(IndexOf(m_doc), arrShown);
                ASSERT_TRUE(m_calls.RunUntil([this] { return !m_doc.IsRegrouping(); }));
            }
            EXPECT_EQ(m_view.m_arrHints,
                      (std::vector<EHint>{HINT_REBUILD_BEGIN, HINT_REBUILD_END}));
            ASSERT_EQ(IndexOf(m_doc), FreshIndex(arrTracks)) << "round " << nRound;
            for (int nEdit = 0; nEdit < 200 * (nRound + 1); ++nEdit) {
                CTrackInfo* pTrack = arrTracks[random() % arrTracks.size()];
                pTrack->SetArtist(apArtists[random() % std::size(apArtists)]);
                pTrack->SetGenre(
                    static_cast<unsigned char>(aGenres[random() % std::size(aGenres)]));
            }
        }
    }
    m_doc.ClearCatalogue();
}

// A regrouping aside reads the records and their list while the window goes on: whatever comes
// first stops it, and what the views are then told and shown follows what came.
TEST_F(TunebrDoc, ARegroupingAsideGivesWayToWhatComesMeanwhile) {
    struct SCase {
        const char* pszWhat;
        std::function<void(CTunebrDoc&, CTrackList&)> fnMeanwhile;
        std::vector<EHint> arrHints; // told from the rebuild's start on
    };
    const std::vector<EHint> arrEdited{HINT_TRACKS_CHANGING, HINT_TRACKS_CHANGED,
                                       HINT_REBUILD_BEGIN, HINT_REBUILD_END};
    const SCase aCases[] = {
        {"an edit, regrouped again after it",
         [](CTunebrDoc& doc, CTrackList& arrTracks) {
             doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGING);
             arrTracks[7]->SetArtist("Edited");
             arrTracks[19000]->SetGenre(40);
             doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGED);
         },
         arrEdited},
        {"a newer rebuild, whose groups alone are shown",
         [](CTunebrDoc& doc, CTrackList&) { doc.RebuildIndex(); },
         {HINT_REBUILD_BEGIN, HINT_REBUILD_END}},
        {"the catalogue emptied", [](CTunebrDoc& doc, CTrackList&) { doc.ClearCatalogue(); }, {}},
    };
    m_doc.RegroupAside(0, m_calls.Poster());
    std::mt19937 random(8);
    for (const SCase& test : aCases) {
        SCOPED_TRACE(test.pszWhat);
        CTrackStore store;
        CTrackList& arrTracks = *m_doc.GetTracks();
        AddAlbums(store, arrTracks, 20000, random);
        m_doc.RebuildIndex();
        ASSERT_TRUE(m_calls.RunUntil([this] { return !m_doc.IsRegrouping(); }));
        arrTracks[3]->SetArtist("Before");
        m_view.m_arrHints.clear();
        m_doc.RebuildIndex();
        test.fnMeanwhile(m_doc, arrTracks);
        ASSERT_TRUE(m_calls.RunUntil([this] { return !m_doc.IsRegrouping(); }));
        m_calls.RunPosted(); // a result of before the change, were one posted, changes nothing
        EXPECT_EQ(m_view.m_arrHints, test.arrHints);
        EXPECT_EQ(IndexOf(m_doc), FreshIndex(arrTracks));
        m_doc.ClearCatalogue();
    }
}

// The document may go while its regrouping's result waits to be handed over: under
// AddressSanitizer, a call that still reached the document would fail the run.
TEST_F(TunebrDoc, ARegroupingHandedOverAfterTheDocumentsEndIsDropped) {
    CTrackStore store;
    std::mt19937 random(2);
    {
        CTunebrDoc doc(m_host, m_fileOps);
        doc.RegroupAside(0, m_calls.Poster());
        AddAlbums(store, *doc.GetTracks(), 5000, random);
        doc.RebuildIndex();
        ASSERT_TRUE(m_calls.WaitForPosted());
    }
    m_calls.RunPosted();
}

// A scan's records are filed a turn's worth at a time, each turn told to the views, as the
// window's loop calls for them: when the scan says records wait, and again while the document is
// behind. The catalogue is the one a scan in one go gives, however the turns fall.
TEST_F(TunebrDoc, AScanIsFiledInTurnsIntoTheWholeCatalogue) {
    for (int i = 0; i < 60; ++i) {
        Add(std::to_string(i % 7) + "/" + std::to_string(i) + ".mp3");
    }
    m_doc.ScanFolder(m_dir.Str());
    const Names arrWhole = ScanNames();
    for (const std::size_t nTurn : {std::size_t{1}, std::size_t{7}, std::size_t{1000}}) {
        SCOPED_TRACE("turns of " + std::to_string(nTurn));
        m_doc.SetFilingTurn(nTurn);
        std::atomic<bool> bReady{false};
        m_doc.BeginScan(m_dir.Str(), [&bReady] { bReady = true; });
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        bool bEnded = false;
        while (!bEnded && std::chrono::steady_clock::now() < tEnd) {
            if (!bReady.exchange(false) && !m_doc.IsFilingBehind()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const std::size_t nBefore = m_doc.GetTracks()->size();
            bEnded = m_doc.FileScanned();
            EXPECT_LE(m_doc.GetTracks()->size() - nBefore, nTurn);
        }
        ASSERT_TRUE(bEnded);
        EXPECT_EQ(ScanNames(), arrWhole);
        EXPECT_EQ(IndexOf(m_doc), FreshIndex(*m_doc.GetTracks()));
    }
}

TEST_F(TunebrDoc, SenderIsNotToldOfItsOwnUpdate) {
    CHintLog other;
    m_doc.AddView(&other);
    CTrackList arrTracks;
    m_doc.UpdateAllViews(&m_view, HINT_SHOW_TRACKS, &arrTracks);
    EXPECT_TRUE(m_view.m_arrHints.empty());
    ASSERT_EQ(other.m_arrHints.size(), 1u);
    EXPECT_EQ(other.m_arrLists[0], &arrTracks);
    m_doc.RemoveView(&other);
    // The document passes on any hint, its own or the views'.
    constexpr EHint HINT_OF_A_VIEW{5};
    m_doc.UpdateAllViews(nullptr, HINT_OF_A_VIEW);
    EXPECT_EQ(other.m_arrHints.size(), 1u);
    EXPECT_EQ(m_view.m_arrHints, std::vector<EHint>{HINT_OF_A_VIEW});
}

// Names are matched exactly (case, spaces and the empty name are names of their own), groups stay
// in order of creation, and the keys stay valid while the list grows far past its first capacity.
TEST(GroupIndex, FindsOrAddsByExactNameInOrderOfCreation) {
    std::vector<std::unique_ptr<CArtistEntry>> arrArtists;
    CGroupIndex<CArtistEntry> index(arrArtists);
    const struct {
        std::string strName;
        std::size_t nIndex; // of the group it lands in
    } aSteps[] = {
        {"Abba", 0}, {"abba", 1}, {"", 2}, {"Abba", 0}, {"Abba ", 3}, {"", 2}, {"abba", 1},
    };
    for (const auto& step : aSteps) {
        CArtistEntry* pArtist = index.FindOrAdd(step.strName);
        ASSERT_LT(step.nIndex, arrArtists.size()) << step.strName;
        EXPECT_EQ(pArtist, arrArtists[step.nIndex].get()) << step.strName;
        EXPECT_EQ(pArtist->GetName(), step.strName);
    }
    EXPECT_EQ(arrArtists.size(), 4u);
    for (int i = 0; i < 1000; ++i) {
        index.Add("n" + std::to_string(i));
    }
    EXPECT_EQ(index.Find("Abba"), arrArtists[0].get());
    EXPECT_EQ(index.Find("n999"), arrArtists.back().get());
    EXPECT_EQ(index.Find("n1000"), nullptr);
    index.Clear();
    EXPECT_TRUE(arrArtists.empty());
    EXPECT_EQ(index.Find("Abba"), nullptr);
}

namespace {

// The records the document's kept file holds for its folder, in scan order, as "name title".
std::vector<std::string> KeptNames(const CTunebrDoc& doc, const std::string& strCache,
                                   const std::string& strFolder, const std::string& strPattern) {
    const SKeptOptions options{strFolder, strPattern, doc.GetTagCodec().GetName(),
                               LoadString(IDS_UNDEFINED)};
    std::vector<CTrackInfo> arrRecords;
    std::int64_t nReadSince = 0;
    if (!CKeptCatalogue::Decode(ReadBytes(fs::path(strCache) / CKeptCatalogue::FileName(strFolder)),
                                options, arrRecords, nReadSince)) {
        return {"(no kept catalogue)"};
    }
    std::vector<std::string> arrNames;
    for (const CTrackInfo& track : arrRecords) {
        arrNames.push_back(std::string(track.GetFileName()) + " " + std::string(track.GetTitle()));
    }
    return arrNames;
}

std::vector<std::string> RecordNames(const CTrackList& arrTracks) {
    std::vector<std::string> arrNames;
    for (const CTrackInfo* pTrack : arrTracks) {
        arrNames.push_back(std::string(pTrack->GetFileName()) + " " +
                           std::string(pTrack->GetTitle()));
    }
    return arrNames;
}

} // namespace

// The catalogue is kept from the records on a thread of its own, while the window goes on: an
// edit of the records made meanwhile, a new scan, or the document's end never meets a record
// being read, and the file holds a whole catalogue, the last one or the one before an edit.
TEST_F(TunebrDoc, TheKeptFileHoldsAWholeCatalogueWhateverComesMeanwhile) {
    for (int n = 0; n < 3000; ++n) {
        Add("f" + std::to_string(n / 100) + "/t" + std::to_string(n) + ".mp3",
            Audio(64) + MakeTag("Song " + std::to_string(n), "Band"));
    }
    const CTempDir cache;
    const struct {
        const char* pszName;
        std::function<void(CTunebrDoc&)> fnMeanwhile;
        bool bEditedMayBeKept; // the file holds the records before or after the edit
    } aCases[] = {
        {"nothing", [](CTunebrDoc&) {}, false},
        {"a record edited at once",
         [](CTunebrDoc& doc) {
             doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGING);
             CTrackList arrChanged{doc.GetTracks()->front()};
             arrChanged.front()->SetTitle("Edited");
             doc.UpdateAllViews(nullptr, HINT_TRACKS_CHANGED, &arrChanged);
         },
         true},
        {"the folder read again at once",
         [this](CTunebrDoc& doc) {
             Add("new.mp3", Audio(64) + MakeTag("New", "Band"));
             doc.ScanFolder(m_dir.Str());
         },
         false},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszName);
        std::vector<std::string> arrBefore;
        std::vector<std::string> arrAfter;
        {
            CTunebrDoc doc(m_host, m_fileOps);
            doc.SetKeptFolder(cache.Str());
            doc.ScanFolder(m_dir.Str());
            arrBefore = RecordNames(*doc.GetTracks());
            c.fnMeanwhile(doc);
            arrAfter = RecordNames(*doc.GetTracks());
        } // the document's end waits for the file
        const auto arrKept = KeptNames(m_doc, cache.Str(), m_dir.Str(), m_host.GetFileExt());
        if (c.bEditedMayBeKept && arrKept != arrAfter) {
            EXPECT_EQ(arrKept, arrBefore);
        } else {
            EXPECT_EQ(arrKept, arrAfter);
        }
    }
}
