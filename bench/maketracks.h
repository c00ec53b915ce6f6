// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/tagblock.h"
#include "catalogue/trackinfo.h"

#include <cctype>
#include <cstdint>
#include <deque>
#include <iterator>
#include <random>
#include <string>
#include <vector>

// Records made in memory with texts as a library's: albums of twelve files in folders of their own,
// a few thousand artists, titles of two words of English and French, or of two words and a name
// (bDistinctTitles), which makes most titles and file names differ as in a real library.
inline std::deque<CTrackInfo> MakeTracks(std::size_t nTracks, bool bDistinctTitles = false) {
    static const char* const s_apWords[] = {
        "love",  "night", "été",     "cœur",   "rain",    "Blue",  "fire",    "Château",
        "river", "moon",  "chanson", "rêve",   "heart",   "dance", "Élan",    "song",
        "road",  "star",  "soleil",  "garçon", "forever", "Time",  "mémoire", "light"};
    static const char* const s_apSyllables[] = {"ka", "lo", "mi", "ra", "ne", "so",
                                                "tu", "vé", "da", "ri", "bo", "zé"};
    std::mt19937 random(1);
    const auto pick = [&random](std::size_t nCount) {
        return std::uniform_int_distribution<std::size_t>(0, nCount - 1)(random);
    };
    const auto name = [&](std::size_t nSyllables) {
        std::string strName;
        for (std::size_t i = 0; i < nSyllables; ++i) {
            strName += s_apSyllables[pick(std::size(s_apSyllables))];
        }
        strName[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(strName[0])));
        return strName;
    };
    std::vector<std::string> arrArtists;
    for (int i = 0; i < 3000; ++i) {
        arrArtists.push_back(name(2 + pick(3)) + " " + name(2 + pick(2)));
    }
    std::deque<CTrackInfo> tracks;
    CSharedText location;
    std::string strArtist, strAlbum;
    for (std::size_t n = 0; n < nTracks; ++n) {
        if (n % 12 == 0) { // an album of twelve tracks in a folder of its own
            strArtist = arrArtists[pick(arrArtists.size())];
            strAlbum = std::string(s_apWords[pick(std::size(s_apWords))]) + " " + name(2);
            location = CSharedText("/music/" + strArtist + "/" + strAlbum);
        }
        std::string strTitle = s_apWords[pick(std::size(s_apWords))];
        strTitle += ' ';
        strTitle += s_apWords[pick(std::size(s_apWords))];
        if (bDistinctTitles) {
            strTitle += ' ';
            strTitle += name(2);
        }
        CTagBlock block;
        block.m_bRead = true;
        block.m_identity.m_nFileSize = 2000000 + static_cast<std::int64_t>(pick(8000000));
        CTrackInfo& track = tracks.emplace_back(
            location, std::to_string(n % 12 + 1) + " - " + strTitle + ".mp3", block);
        track.SetTitle(strTitle);
        track.SetArtist(strArtist);
        track.SetAlbum(strAlbum);
        track.SetYear(std::to_string(1960 + pick(60)));
        track.SetGenre(static_cast<unsigned char>(pick(80)));
        if (pick(3) == 0) {
            track.SetComment("ripped by " + name(2));
        }
    }
    return tracks;
}
