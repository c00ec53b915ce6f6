// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A folder of the test's own, removed with everything in it.
class CTempDir {
public:
    CTempDir() {
        std::string strTemplate = (std::filesystem::temp_directory_path() / "tbtest-XXXXXX");
        m_path = ::mkdtemp(strTemplate.data());
    }
    ~CTempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string Str() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& strBytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << strBytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string Padded(const std::string& strText, std::size_t nWidth) {
    std::string str = strText.substr(0, nWidth);
    str.resize(nWidth, ' ');
    return str;
}

// A 128-byte tag built by hand, independent of the code under test.
inline std::string MakeTag(const std::string& strTitle, const std::string& strArtist,
                           const std::string& strAlbum = "", const std::string& strYear = "",
                           const std::string& strComment = "", unsigned char nGenre = 12) {
    return "TAG" + Padded(strTitle, 30) + Padded(strArtist, 30) + Padded(strAlbum, 30) +
           Padded(strYear, 4) + Padded(strComment, 30) + std::string(1, static_cast<char>(nGenre));
}

// Audio bytes that cannot be mistaken for a tag.
inline std::string Audio(std::size_t nBytes) {
    std::string str(nBytes, '\0');
    for (std::size_t i = 0; i < nBytes; ++i) {
        str[i] = static_cast<char>(0xA0 + i % 31);
    }
    return str;
}
