// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/posixio.h"
#include "catalogue/trackinfo.h"
#include "catalogue/tunebrdoc.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

const std::string s_strCorpus = CORPUS_DIR;

} // namespace

// Files written by many other programs, read as they are.
TEST(Corpus, EveryFileIsReadAndTheScanMatchesTheFilesOnDisk) {
    if (!fs::is_directory(s_strCorpus)) {
        GTEST_SKIP() << "no corpus at " << s_strCorpus;
    }
    std::size_t nOnDisk = 0;
    for (const auto& entry : fs::recursive_directory_iterator(s_strCorpus)) {
        const std::string strExtension = entry.path().extension().string();
        nOnDisk += entry.is_regular_file() && (strExtension == ".mp3" || strExtension == ".MP3");
    }
    CFakeCatalogueHost host;
    CFileOps fileOps;
    CTunebrDoc doc(host, fileOps);
    doc.ScanFolder(s_strCorpus);
    EXPECT_EQ(doc.GetTracks()->size(), nOnDisk);
    for (const CTrackInfo* pTrack : *doc.GetTracks()) {
        const auto nLength = fs::file_size(pTrack->GetFullPath());
        EXPECT_EQ(pTrack->GetSize(), nLength < 128 ? 0 : static_cast<std::int64_t>(nLength) - 128)
            << pTrack->GetFullPath();
    }
}

TEST(Corpus, KnownTagsReadAsTheirBytesSay) {
    if (!fs::is_directory(s_strCorpus)) {
        GTEST_SKIP() << "no corpus at " << s_strCorpus;
    }
    const struct {
        const char* pszFile;
        const char* pszTitle;
        const char* pszArtist;
        const char* pszAlbum;
        const char* pszYear;
        const char* pszComment;
        const char* pszGenre;
    } aCases[] = {
        // zero-filled fields
        {"atldotnet/id3v1.mp3", "Title", "Artist", "?", "2017", "Test!", "Bluegrass"},
        // space-padded fields with an ID3v1.1 track number hidden behind a zero byte
        {"dhowden-tag/sample.id3v11.mp3", "Test Title", "Test Artist", "Test Album", "2000",
         "Test Comment", "Jazz"},
        {"dhowden-tag/sample_usascii_v1.1.mp3", "Sample Title", "Sample Artist", "Sample Album",
         "1990", "Sample Data with US-ASCII 67", "Vocal"},
        // UTF-8 text stays as it is
        {"dhowden-tag/sample_utf8_v1.mp3",
         "\xE3\x82\xB5\xE3\x83\xB3\xE3\x83\x97\xE3\x83\xAB\xE3\x81\xAE\xE3\x82\xBF\xE3\x82\xA4"
         "\xE3\x83\x88\xE3\x83\xAB",
         nullptr, nullptr, "1990", nullptr, "Vocal"},
        // Shift-JIS is not UTF-8: read as Windows-1252, byte for character
        {"dhowden-tag/sample_ms932_v1.mp3",
         "\xC6\x92T\xC6\x92\xE2\x80\x9C\xC6\x92v\xC6\x92\xE2\x80"
         "\xB9\xE2\x80\x9A\xC3\x8C\xC6\x92^\xC6\x92"
         "C\xC6\x92g\xC6\x92\xE2\x80\xB9",
         nullptr, nullptr, "1990", "Sample Data with MS932 3456789", "Vocal"},
    };
    for (const auto& c : aCases) {
        const fs::path path = fs::path(s_strCorpus) / c.pszFile;
        const CTrackInfo track(path.parent_path().string(), path.filename().string());
        SCOPED_TRACE(c.pszFile);
        EXPECT_TRUE(track.HasTag());
        EXPECT_EQ(track.GetTitle(), c.pszTitle);
        if (c.pszArtist) {
            EXPECT_EQ(track.GetArtist(), c.pszArtist);
        }
        if (c.pszAlbum) {
            EXPECT_EQ(track.GetAlbum(), c.pszAlbum);
        }
        EXPECT_EQ(track.GetYear(), c.pszYear);
        if (c.pszComment) {
            EXPECT_EQ(track.GetComment(), c.pszComment);
        }
        EXPECT_EQ(track.GetGenreName(), c.pszGenre);
    }
}
