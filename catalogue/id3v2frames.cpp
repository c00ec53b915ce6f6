// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/id3v2frames.h"

#include "catalogue/posixio.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr std::size_t TAG_HEADER = 10;
constexpr unsigned char TAG_UNSYNCHRONISED = 0x80;
constexpr unsigned char TAG_EXTENDED_HEADER = 0x40;

std::uint32_t BigEndian(std::string_view str, std::size_t nBytes) {
    std::uint32_t nValue = 0;
    for (std::size_t i = 0; i < nBytes; ++i) {
        nValue = (nValue << 8) | static_cast<unsigned char>(str[i]);
    }
    return nValue;
}

// Seven bits a byte. A byte with its high bit set means a writer put a plain number there: it is
// read as one, as readers commonly do.
std::uint32_t Syncsafe(std::string_view str) {
    std::uint32_t nValue = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(str[i]);
        if (c & 0x80) {
            return BigEndian(str, 4);
        }
        nValue = (nValue << 7) | c;
    }
    return nValue;
}

bool IsFrameId(std::string_view strId) {
    return !strId.empty() && std::all_of(strId.begin(), strId.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// A zero byte after each 0xFF was put there to keep the bytes from looking like audio sync.
std::string Resynchronised(std::string_view str) {
    std::string strOut;
    strOut.reserve(str.size());
    for (std::size_t i = 0; i < str.size(); ++i) {
        strOut += str[i];
        if (str[i] == '\xFF' && i + 1 < str.size() && str[i + 1] == '\0') {
            ++i;
        }
    }
    return strOut;
}

// The ID3v2.3 name of a frame read, or nullptr for every other frame. ID3v2.2 has three-letter
// names; ID3v2.3 tags written by a widespread player hold them too, padded with a zero byte.
const char* KeptName(std::string_view strId) {
    static const char* const s_apNames[] = {"TIT2", "TPE1", "TALB", "TYER",
                                            "TDRC", "COMM", "TRCK", "TCON"};
    static const char* const s_apOld[][2] = {{"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TAL", "TALB"},
                                             {"TYE", "TYER"}, {"COM", "COMM"}, {"TRK", "TRCK"},
                                             {"TCO", "TCON"}};
    if (strId.size() == 4 && strId[3] == '\0') {
        strId.remove_suffix(1);
    }
    for (const char* pszName : s_apNames) {
        if (strId == pszName) {
            return pszName;
        }
    }
    for (const auto& apOld : s_apOld) {
        if (strId == apOld[0]) {
            return apOld[1];
        }
    }
    return nullptr;
}

enum class EInflated { Done, Broken, TooLarge };

// Inflates into strOut, never past nCap bytes. A stream cut short gives what it holds.
EInflated Inflate(std::string_view strIn, std::size_t nCap, std::string& strOut) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return EInflated::Broken;
    }
    strOut.resize(nCap + 1);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(strIn.data()));
    stream.avail_in = static_cast<uInt>(strIn.size());
    stream.next_out = reinterpret_cast<Bytef*>(strOut.data());
    stream.avail_out = static_cast<uInt>(strOut.size());
    const int nResult = inflate(&stream, Z_FINISH);
    const bool bFull = stream.avail_out == 0;
    strOut.resize(strOut.size() - stream.avail_out);
    inflateEnd(&stream);
    if (bFull) {
        return EInflated::TooLarge;
    }
    const bool bRead = nResult == Z_STREAM_END || nResult == Z_OK || nResult == Z_BUF_ERROR;
    return bRead ? EInflated::Done : EInflated::Broken;
}

// Walks the frames of one tag's body, keeping the frames read.
class CFrameWalk {
public:
    CFrameWalk(int nVersion, unsigned char nTagFlags) : m_nVersion(nVersion), m_nFlags(nTagFlags) {}

    bool Walk(std::string_view strBody, std::string& strKept);

private:
    std::size_t HeaderSize() const { return m_nVersion == 2 ? 6 : 10; }
    std::uint32_t FrameSize(std::string_view strFrame) const;
    bool Keep(const char* pszName, std::string_view strFrame, std::uint32_t nSize,
              std::string& strKept);

    int m_nVersion;
    unsigned char m_nFlags;
    // Bytes inflated so far, kept or not: frames that inflate far and then turn out broken
    // count as well.
    std::size_t m_nInflated = 0;
};

std::uint32_t CFrameWalk::FrameSize(std::string_view strFrame) const {
    if (m_nVersion == 2) {
        return BigEndian(strFrame.substr(3), 3);
    }
    if (m_nVersion == 3) {
        return BigEndian(strFrame.substr(4), 4);
    }
    // A widespread player writes ID3v2.4 frames with plain sizes: where the syncsafe size leads
    // to no frame and the plain one does, the plain one is meant.
    const std::uint32_t nSize = Syncsafe(strFrame.substr(4));
    const auto leadsToFrame = [&strFrame](std::uint32_t n) {
        return strFrame.size() >= std::size_t{n} + 14 && IsFrameId(strFrame.substr(n + 10, 4));
    };
    if (nSize > 127 && !leadsToFrame(nSize)) {
        const std::uint32_t nPlain = BigEndian(strFrame.substr(4), 4);
        if (leadsToFrame(nPlain)) {
            return nPlain;
        }
    }
    return nSize;
}

bool CFrameWalk::Walk(std::string_view strBody, std::string& strKept) {
    std::size_t nPos = 0;
    std::size_t nEnd = strBody.size();
    if (m_nVersion >= 3 && (m_nFlags & TAG_EXTENDED_HEADER)) {
        // ID3v2.3 does not count the size's own four bytes, ID3v2.4 does.
        const std::uint64_t nExtended = nEnd < 4          ? nEnd + 1
                                        : m_nVersion == 3 ? std::uint64_t{BigEndian(strBody, 4)} + 4
                                                          : Syncsafe(strBody);
        nPos = static_cast<std::size_t>(std::min<std::uint64_t>(nExtended, nEnd));
    }
    const std::size_t nHeader = HeaderSize();
    std::string strYears;
    // A zero byte where a frame would start is the padding. A frame that runs past what the
    // file holds ends the walk: the frames before it are read.
    while (nEnd - nPos >= nHeader && strBody[nPos] != '\0') {
        const std::string_view strFrame = strBody.substr(nPos, nEnd - nPos);
        const std::string_view strId = strFrame.substr(0, m_nVersion == 2 ? 3 : 4);
        const bool bOldName = m_nVersion == 3 && strId[3] == '\0' && IsFrameId(strId.substr(0, 3));
        const std::uint32_t nSize = FrameSize(strFrame);
        if ((!IsFrameId(strId) && !bOldName) || nSize == 0 || nSize > strFrame.size() - nHeader) {
            break;
        }
        const char* pszName = KeptName(strId);
        // The ID3v2.3 year goes after the ID3v2.4 date: where both are there, the date is read.
        std::string& strTo =
            pszName != nullptr && std::strcmp(pszName, "TYER") == 0 ? strYears : strKept;
        if (pszName != nullptr && !Keep(pszName, strFrame, nSize, strTo)) {
            return false;
        }
        nPos += nHeader + nSize;
    }
    strKept += strYears;
    return strKept.size() <= CId3v2Frames::MAX_KEPT_BYTES;
}

// Appends the frame's content, decoded, as a plain ID3v2.3 frame; false when the frame is too
// large to read.
bool CFrameWalk::Keep(const char* pszName, std::string_view strFrame, std::uint32_t nSize,
                      std::string& strKept) {
    const std::size_t nHeader = HeaderSize();
    std::string strData(strFrame.substr(nHeader, nSize));
    bool bCompressed = false;
    bool bEncrypted = false;
    std::size_t nSkip = 0; // bytes between the header and the content
    std::optional<std::uint32_t> nInflated;
    if (m_nVersion == 3) {
        const auto nFlags = static_cast<unsigned char>(strFrame[9]);
        bCompressed = (nFlags & 0x80) != 0;
        bEncrypted = (nFlags & 0x40) != 0;
        if (bCompressed && strData.size() >= 4) {
            nInflated = BigEndian(strData, 4);
        }
        nSkip = (bCompressed ? 4 : 0) + (bEncrypted ? 1 : 0) + ((nFlags & 0x20) ? 1 : 0);
    } else if (m_nVersion == 4) {
        const auto nFlags = static_cast<unsigned char>(strFrame[9]);
        if ((m_nFlags & TAG_UNSYNCHRONISED) || (nFlags & 0x02)) {
            strData = Resynchronised(strData);
        }
        bCompressed = (nFlags & 0x08) != 0;
        bEncrypted = (nFlags & 0x04) != 0;
        const bool bGrouped = (nFlags & 0x40) != 0;
        // Compressed data follows a data length even where the flag for it is missing.
        const bool bLength = (nFlags & 0x01) || bCompressed;
        const std::size_t nLengthAt = (bGrouped ? 1 : 0) + (bEncrypted ? 1 : 0);
        if (bLength && strData.size() >= nLengthAt + 4) {
            nInflated = Syncsafe(std::string_view(strData).substr(nLengthAt));
        }
        nSkip = nLengthAt + (bLength ? 4 : 0);
    }
    if (bEncrypted || strData.size() <= nSkip) {
        return true; // nothing anyone can read: left out
    }
    std::string strContent = strData.substr(nSkip);
    if (bCompressed) {
        if (nInflated && *nInflated > CId3v2Frames::MAX_FRAME_BYTES) {
            return false; // refused before a byte is inflated
        }
        std::string strInflated;
        const std::size_t nCap =
            std::min(CId3v2Frames::MAX_FRAME_BYTES, CId3v2Frames::MAX_KEPT_BYTES - m_nInflated);
        const EInflated eInflated = Inflate(strContent, nCap, strInflated);
        m_nInflated += strInflated.size();
        if (eInflated == EInflated::TooLarge) {
            return false;
        }
        if (eInflated == EInflated::Broken) {
            return true; // nothing to read in it
        }
        strContent = std::move(strInflated);
    }
    if (strContent.empty()) {
        return true;
    }
    if (strContent.size() > CId3v2Frames::MAX_FRAME_BYTES ||
        strKept.size() + strContent.size() > CId3v2Frames::MAX_KEPT_BYTES) {
        return false;
    }
    strKept += pszName;
    for (int nShift = 24; nShift >= 0; nShift -= 8) {
        strKept += static_cast<char>((strContent.size() >> nShift) & 0xFF);
    }
    strKept += std::string(2, '\0');
    strKept += strContent;
    return true;
}

std::string TagOf(const std::string& strFrames) {
    // Padding after the frames: TagLib stops there, and expects room for a frame header.
    const std::size_t nSize = strFrames.size() + TAG_HEADER;
    std::string strTag = std::string("ID3\x03\x00\x00", 6);
    for (int nShift = 21; nShift >= 0; nShift -= 7) {
        strTag += static_cast<char>((nSize >> nShift) & 0x7F);
    }
    return strTag + strFrames + std::string(TAG_HEADER, '\0');
}

} // namespace

CId3v2Frames CId3v2Frames::Parse(std::string_view strStart) {
    CId3v2Frames result;
    if (strStart.size() < TAG_HEADER || strStart.substr(0, 3) != "ID3") {
        return result;
    }
    const int nVersion = static_cast<unsigned char>(strStart[3]);
    if (nVersion < 2 || nVersion > 4) {
        return result;
    }
    result.m_nVersion = nVersion;
    const std::string_view strSize = strStart.substr(6, 4);
    const auto nFlags = static_cast<unsigned char>(strStart[5]);
    // A size that is not syncsafe makes no tag of it; ID3v2.2 compressed the whole tag in a way
    // it never defined.
    if (std::any_of(strSize.begin(), strSize.end(), [](char c) { return (c & 0x80) != 0; }) ||
        (nVersion == 2 && (nFlags & 0x40))) {
        return result;
    }
    std::string_view strBody = strStart.substr(TAG_HEADER, Syncsafe(strSize));
    std::string strDecoded;
    if (nVersion < 4 && (nFlags & TAG_UNSYNCHRONISED)) {
        strDecoded = Resynchronised(strBody);
        strBody = strDecoded;
    }
    std::string strKept;
    result.m_bRefused = !CFrameWalk(nVersion, nFlags).Walk(strBody, strKept);
    if (!result.m_bRefused && !strKept.empty()) {
        result.m_strTag = TagOf(strKept);
    }
    return result;
}

CId3v2Frames CId3v2Frames::Read(int nFd, std::int64_t nFileSize, CFileOps& ops) {
    std::string strStart(TAG_HEADER, '\0');
    if (ReadAt(nFd, strStart.data(), TAG_HEADER, 0, ops) != static_cast<ssize_t>(TAG_HEADER) ||
        strStart.compare(0, 3, "ID3") != 0) {
        return CId3v2Frames();
    }
    // Never more than the file holds.
    const std::uint64_t nClaimed = Syncsafe(std::string_view(strStart).substr(6, 4));
    const std::uint64_t nHeld =
        nFileSize > static_cast<std::int64_t>(TAG_HEADER) ? nFileSize - TAG_HEADER : 0;
    const auto nWanted = static_cast<std::size_t>(std::min(nClaimed, nHeld));
    strStart.resize(TAG_HEADER + nWanted);
    if (ReadAt(nFd, strStart.data() + TAG_HEADER, nWanted, TAG_HEADER, ops) !=
        static_cast<ssize_t>(nWanted)) {
        return CId3v2Frames(); // an unreadable file has no tag to read
    }
    return Parse(strStart);
}
