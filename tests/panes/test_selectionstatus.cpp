// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/genres.h"
#include "catalogue/tagblock.h"
#include "catalogue/trackinfo.h"
#include "panes/selectionstatus.h"
#include "res/strings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

struct CFields {
    std::string strArtist;
    std::string strTitle;
    std::string strAlbum;
    std::string strYear;
    int nGenre = GENRE_NONE;
    std::int64_t nSize = 0;
};

// Records built in memory: the status never reads a file.
class CTracks {
public:
    const CTrackInfo* Add(const CFields& fields) {
        CTagBlock block;
        block.m_bRead = true;
        block.m_identity.m_nFileSize = fields.nSize + 128;
        CTrackInfo& track = m_store.emplace_back(CSharedText("/music"), "track.mp3", block);
        track.SetArtist(fields.strArtist);
        track.SetTitle(fields.strTitle);
        track.SetAlbum(fields.strAlbum);
        track.SetYear(fields.strYear);
        track.SetGenre(static_cast<unsigned char>(fields.nGenre));
        return &track;
    }

private:
    std::deque<CTrackInfo> m_store;
};

struct CDescriptionCase {
    const char* pszName;
    CFields fields;
    const char* pszExpected;
};

const CDescriptionCase DESCRIPTION_CASES[] = {
    {"artist and title only", {"Nina", "Sinnerman", "", "", GENRE_NONE}, "Nina - Sinnerman"},
    {"every field",
     {"Nina", "Sinnerman", "Pastel Blues", "1965", 0},
     "Nina - Sinnerman - Album : Pastel Blues - 1965 [ Blues ]"},
    {"album without year", {"A", "T", "Al", "", GENRE_NONE}, "A - T - Album : Al"},
    {"year without album", {"A", "T", "", "1999", GENRE_NONE}, "A - T - 1999"},
    {"genre 0 is a genre", {"A", "T", "", "", 0}, "A - T [ Blues ]"},
    {"genre by name", {"A", "T", "", "", 17}, "A - T [ Rock ]"},
    {"first number without a name", {"A", "T", "", "", 149}, "A - T [ <Undefined> ]"},
    {"highest tag value", {"A", "T", "", "", 255}, "A - T [ <Undefined> ]"},
    {"empty artist and title stay", {"", "", "", "", GENRE_NONE}, " - "},
    {"texts kept as they are",
     {"Björk", "Jóga", "Homogenic", "97", GENRE_NONE},
     "Björk - Jóga - Album : Homogenic - 97"},
};

} // namespace

TEST(SelectionStatus, OneTrackIsDescribedFromItsFields) {
    CTracks tracks;
    for (const CDescriptionCase& test : DESCRIPTION_CASES) {
        const CSelectionStatus status = CSelectionStatus::Describe({tracks.Add(test.fields)});
        EXPECT_EQ(status.m_strDescription, test.pszExpected) << test.pszName;
        EXPECT_EQ(status.m_strCount, "1 file selected") << test.pszName;
    }
}

TEST(SelectionStatus, CountAndSizeFollowTheNumberOfRows) {
    CTracks tracks;
    const CTrackInfo* pFirst = tracks.Add({"A", "One", "", "", 0, 3456789});
    const CTrackInfo* pSecond = tracks.Add({"B", "Two", "", "", 0, 1000000});
    const CTrackInfo* pThird = tracks.Add({"C", "Three", "", "", 0, 543211});

    struct {
        std::vector<const CTrackInfo*> arrTracks;
        const char* pszDescription;
        const char* pszCount;
        const char* pszSize;
    } const cases[] = {
        {{}, "", "", "  0.0 MB"},
        {{pFirst}, "A - One [ Blues ]", "1 file selected", "  3.5 MB"},
        {{pFirst, pSecond}, "", "2 files selected", "  4.5 MB"},
        {{pFirst, pSecond, pThird}, "", "3 files selected", "  5.0 MB"},
    };
    for (const auto& test : cases) {
        const CSelectionStatus status = CSelectionStatus::Describe(test.arrTracks);
        EXPECT_EQ(status.m_strDescription, test.pszDescription) << test.arrTracks.size();
        EXPECT_EQ(status.m_strCount, test.pszCount) << test.arrTracks.size();
        EXPECT_EQ(status.m_strSize, test.pszSize) << test.arrTracks.size();
    }
}

TEST(SelectionStatus, TotalDoesNotWrapPastTwoGigabytes) {
    CTracks tracks;
    std::vector<const CTrackInfo*> arrTracks;
    for (int i = 0; i < 3; ++i) {
        arrTracks.push_back(tracks.Add({"A", "T", "", "", 0, 1500000000}));
    }
    EXPECT_EQ(CSelectionStatus::Describe(arrTracks).m_strSize, "4500.0 MB");
}

// Every count the user reads is grouped the one way of the user's language.
TEST(SelectionStatus, CountsAreGroupedAsTheLanguageWritesThem) {
    const struct {
        unsigned long long nCount;
        const char* pszEnglish;
        const char* pszFrench;
    } cases[] = {
        {0, "0", "0"},
        {999, "999", "999"},
        {1000, "1,000", "1\u202F000"},
        {2000, "2,000", "2\u202F000"},
        {123456, "123,456", "123\u202F456"},
        {1234567, "1,234,567", "1\u202F234\u202F567"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatCount(c.nCount, ELanguage::English), c.pszEnglish) << c.nCount;
        EXPECT_EQ(FormatCount(c.nCount, ELanguage::French), c.pszFrench) << c.nCount;
    }
    EXPECT_EQ(CSelectionStatus::CountText(2000), "2,000 file(s)");
    CTracks tracks;
    const std::vector<const CTrackInfo*> arrMany(1234, tracks.Add({"A", "T", "", "", 0, 1000}));
    EXPECT_EQ(CSelectionStatus::Describe(arrMany).m_strCount, "1,234 files selected");
}
