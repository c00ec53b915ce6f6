// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Another tag in place of the file's last 128 bytes, its times set back as they were: only the
// change time tells the file changed.
inline void EditTagKeepingTimes(const std::filesystem::path& path, const std::string& strTag) {
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const int nFd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(::pwrite(nFd, strTag.data(), strTag.size(), st.st_size - 128), 128);
    const struct timespec aTimes[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::futimens(nFd, aTimes), 0);
    ::close(nFd);
}

// The tree changes between two runs: each change remembers the paths whose files it touched.
struct STreeChanges {
    std::filesystem::path root;
    std::mt19937 rng;
    std::set<std::string> setTouched;

    std::vector<std::filesystem::path> Files() {
        std::vector<std::filesystem::path> arr;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            if (entry.is_regular_file() && !entry.is_symlink() &&
                entry.path().extension() == ".mp3" && entry.file_size() >= 128) {
                arr.push_back(entry.path());
            }
        }
        return arr;
    }
    std::vector<std::filesystem::path> Folders() {
        std::vector<std::filesystem::path> arr;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            if (entry.is_directory() && !entry.is_symlink() && entry.path().extension() != ".mp3") {
                arr.push_back(entry.path());
            }
        }
        return arr;
    }
    template <typename T> const T& Pick(const std::vector<T>& arr) {
        return arr[rng() % arr.size()];
    }

    // Another tag in place of the last 128 bytes, the times set back as they were.
    void EditKeepingTimes(int nCount) {
        const std::vector<std::filesystem::path> arrFiles = Files();
        for (int i = 0; i < nCount; ++i) {
            const std::filesystem::path& path = Pick(arrFiles);
            EditTagKeepingTimes(path, MakeTag("Edited " + std::to_string(i), "Someone else"));
            setTouched.insert(path.string());
        }
    }
    // Picks a file no earlier change of the same kind took.
    std::filesystem::path TakeFile(std::vector<std::filesystem::path>& arrFiles) {
        const std::size_t nAt = rng() % arrFiles.size();
        std::filesystem::path path = std::move(arrFiles[nAt]);
        arrFiles.erase(arrFiles.begin() + static_cast<std::ptrdiff_t>(nAt));
        return path;
    }
    void Delete(int nCount) {
        std::vector<std::filesystem::path> arrFiles = Files();
        for (int i = 0; i < nCount; ++i) {
            std::filesystem::remove(TakeFile(arrFiles));
        }
    }
    void Add(int nCount) {
        const std::vector<std::filesystem::path> arrFolders = Folders();
        for (int i = 0; i < nCount; ++i) {
            const std::filesystem::path folder =
                i % 5 == 0 ? Pick(arrFolders) / ("new" + std::to_string(i)) : Pick(arrFolders);
            const std::filesystem::path path = folder / ("added" + std::to_string(i) + ".mp3");
            WriteBytes(path, Audio(300) + MakeTag("Added", "Artist 3"));
            setTouched.insert(path.string());
        }
    }
    void Rename(int nCount) {
        std::vector<std::filesystem::path> arrFiles = Files();
        for (int i = 0; i < nCount; ++i) {
            const std::filesystem::path path = TakeFile(arrFiles);
            const std::filesystem::path to =
                path.parent_path() / ("renamed" + std::to_string(i) + ".mp3");
            std::filesystem::rename(path, to);
            setTouched.insert(to.string());
        }
    }
    void MoveFolders(int nCount) {
        for (int i = 0; i < nCount; ++i) {
            const std::vector<std::filesystem::path> arrFolders = Folders();
            const std::filesystem::path from = Pick(arrFolders);
            if (from == root) {
                continue;
            }
            const std::filesystem::path to = root / ("moved" + std::to_string(i));
            std::error_code ec;
            std::filesystem::rename(from, to, ec);
            if (!ec) {
                for (const auto& entry : std::filesystem::recursive_directory_iterator(to)) {
                    setTouched.insert(entry.path().string());
                }
            }
        }
    }
};
