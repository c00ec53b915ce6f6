// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "tests/support/testfiles.h"

#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

// A random tree of nested folders holding tagged, untagged, short and empty files, files the
// pattern does not take, folders named like files, and links.
inline void MakeTree(const std::filesystem::path& root, unsigned nSeed, int nFiles) {
    std::mt19937 rng(nSeed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::vector<std::filesystem::path> arrFolders{root};
    for (int i = 0; i < nFiles; ++i) {
        if (pick(8) == 0) {
            arrFolders.push_back(arrFolders[pick(static_cast<int>(arrFolders.size()))] /
                                 ("d" + std::to_string(i)));
            std::filesystem::create_directories(arrFolders.back());
        }
        const std::filesystem::path& folder = arrFolders[pick(static_cast<int>(arrFolders.size()))];
        const std::string strName = "t" + std::to_string(pick(100000));
        const std::string strArtist = "Artist " + std::to_string(pick(7));
        switch (pick(10)) {
        case 0:
            WriteBytes(folder / (strName + ".mp3"), Audio(pick(128)));
            break;
        case 1:
            WriteBytes(folder / (strName + ".MP3"), Audio(500));
            break;
        case 2:
            WriteBytes(folder / (strName + ".txt"), Audio(300) + MakeTag("Not", strArtist));
            break;
        case 3:
            std::filesystem::create_directories(folder / (strName + ".mp3"));
            break;
        case 4:
            if (i > 0) {
                std::error_code ec;
                std::filesystem::create_symlink(root / "t-target.bin", folder / (strName + ".mp3"),
                                                ec);
            }
            break;
        default:
            WriteBytes(folder / (strName + ".mp3"),
                       Audio(200 + pick(900)) + MakeTag("Title " + strName, strArtist, "Album",
                                                        "1999", "",
                                                        static_cast<unsigned char>(pick(150))));
        }
    }
    WriteBytes(root / "t-target.bin", Audio(150) + MakeTag("Linked", "Artist 1"));
}
