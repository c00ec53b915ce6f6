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

// The comment field of a tag with an ID3v1.1 track number: 28 bytes, a zero byte, the number.
inline std::string WithTrack(const std::string& strComment, int nTrack) {
    return Padded(strComment, 28) + '\0' + static_cast<char>(nTrack);
}

// Audio bytes that cannot be mistaken for a tag.
inline std::string Audio(std::size_t nBytes) {
    std::string str(nBytes, '\0');
    for (std::size_t i = 0; i < nBytes; ++i) {
        str[i] = static_cast<char>(0xA0 + i % 31);
    }
    return str;
}

// ID3v2 tags built byte by byte, independent of the reader under test.

inline std::string BigEndian(std::size_t nValue, int nBytes, bool bSyncsafe) {
    std::string str;
    for (int i = nBytes - 1; i >= 0; --i) {
        const int nShift = i * (bSyncsafe ? 7 : 8);
        str += static_cast<char>((nValue >> nShift) & (bSyncsafe ? 0x7F : 0xFF));
    }
    return str;
}

// One frame of the tag's version: 2.2 has three-letter ids and three-byte sizes, 2.4 syncsafe
// sizes.
inline std::string Id3v2Frame(int nVersion, const std::string& strId, const std::string& strBody) {
    if (nVersion == 2) {
        return strId + BigEndian(strBody.size(), 3, false) + strBody;
    }
    return strId + BigEndian(strBody.size(), 4, nVersion == 4) + std::string(2, '\0') + strBody;
}

inline std::string Id3v2Tag(int nVersion, const std::string& strFrames) {
    const std::string strPadding(64, '\0');
    return std::string("ID3") + static_cast<char>(nVersion) + std::string(2, '\0') +
           BigEndian(strFrames.size() + strPadding.size(), 4, true) + strFrames + strPadding;
}

// A frame of ID3v2.3 or 2.4 as a writer, careful or not, may put it: the flag bytes and the
// size it declares are the caller's.
inline std::string Id3v2RawFrame(int nVersion, const std::string& strId, std::size_t nSize,
                                 int nFlags, const std::string& strBody) {
    return strId + BigEndian(nSize, 4, nVersion == 4) + static_cast<char>(nFlags >> 8) +
           static_cast<char>(nFlags & 0xFF) + strBody;
}

// A tag header with the flags and the size it declares, then the content as given.
inline std::string Id3v2RawTag(int nVersion, int nFlags, std::size_t nSize,
                               const std::string& strContent) {
    return std::string("ID3") + static_cast<char>(nVersion) + '\0' + static_cast<char>(nFlags) +
           BigEndian(nSize, 4, true) + strContent;
}

// A zero byte after every 0xFF, as an unsynchronised tag or frame stores its bytes.
inline std::string Unsynchronised(const std::string& strBytes) {
    std::string str;
    for (const char c : strBytes) {
        str += c;
        if (c == '\xFF') {
            str += '\0';
        }
    }
    return str;
}

// Text frames: encoding byte 0 Latin-1, 1 UTF-16 with BOM, 3 UTF-8.
inline std::string Id3v2Text(char nEncoding, const std::string& strBytes) {
    return std::string(1, nEncoding) + strBytes;
}

inline std::string Utf16(const std::u16string& str) {
    std::string strBytes = "\xFF\xFE";
    for (const char16_t c : str) {
        strBytes += static_cast<char>(c & 0xFF);
        strBytes += static_cast<char>(c >> 8);
    }
    return strBytes;
}

inline std::string Id3v2Comment(const std::string& strDescription, const std::string& strText) {
    return "eng" + strDescription + '\0' + strText;
}

// MPEG audio frames, so that the file reads as an MP3 after its tag.
inline std::string MpegFrames() {
    std::string strFrame = std::string("\xFF\xFB\x90\x64") + std::string(413, '\0');
    std::string strAudio;
    for (int i = 0; i < 8; ++i) {
        strAudio += strFrame;
    }
    return strAudio;
}

// A locale whose decimal separator is a comma, compiled into the folder and made findable through
// LOCPATH; empty where the system lacks the locale sources or localedef.
inline std::string MakeCommaLocale(const CTempDir& dir) {
    const std::string strCommand =
        "localedef -i fr_FR -f UTF-8 '" + dir.Str() + "/fr_FR.UTF-8' >/dev/null 2>&1";
    if (std::system(strCommand.c_str()) != 0) {
        return std::string();
    }
    ::setenv("LOCPATH", dir.Str().c_str(), 1);
    return "fr_FR.UTF-8";
}
