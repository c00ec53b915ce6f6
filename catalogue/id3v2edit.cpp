// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "catalogue/id3v2edit.h"

#include "catalogue/genres.h"
#include "catalogue/id3v1tag.h"
#include "catalogue/id3v2tag.h"
#include "catalogue/tagchanges.h"
#include "catalogue/tagcodec.h"
#include "catalogue/tagtext.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t HEADER = 10;
constexpr std::size_t MAX_SIZE = (std::size_t{1} << 28) - 1; // what 28 syncsafe bits hold

// Header flags this edit cannot carry over to frames it makes, or keep right when sizes change.
constexpr unsigned char UNSYNCHRONISED = 0x80;
constexpr unsigned char EXTENDED_HEADER = 0x40;
constexpr unsigned char FOOTER = 0x10;

std::size_t Syncsafe(std::string_view str) {
    std::size_t nValue = 0;
    for (const char c : str) {
        nValue = (nValue << 7) | (static_cast<unsigned char>(c) & 0x7F);
    }
    return nValue;
}

std::size_t BigEndian(std::string_view str) {
    std::size_t nValue = 0;
    for (const char c : str) {
        nValue = (nValue << 8) | static_cast<unsigned char>(c);
    }
    return nValue;
}

bool IsSyncsafe(std::string_view str) {
    return std::none_of(str.begin(), str.end(), [](char c) { return (c & 0x80) != 0; });
}

std::string SyncsafeBytes(std::size_t nValue) {
    std::string str(4, '\0');
    for (int i = 3; i >= 0; --i) {
        str[static_cast<std::size_t>(i)] = static_cast<char>(nValue & 0x7F);
        nValue >>= 7;
    }
    return str;
}

bool IsFrameId(std::string_view strId) {
    return std::all_of(strId.begin(), strId.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// One frame as the tag holds it.
struct SFrame {
    std::string strId;
    std::string strBytes; // header and body
};

// A frame's body can be read as it is stored: neither compressed nor encrypted.
bool IsPlain(const SFrame& frame, int nVersion) {
    const auto nFlags = static_cast<unsigned char>(frame.strBytes[9]);
    return (nFlags & (nVersion == 4 ? 0x0C : 0xC0)) == 0;
}

// The frame parsed by TagLib, for its text; only frames the edit replaces, and only plain ones.
std::unique_ptr<TagLib::ID3v2::Frame> Parsed(const SFrame& frame, int nVersion) {
    if (!IsPlain(frame, nVersion)) {
        return nullptr;
    }
    TagLib::ID3v2::Header header;
    header.setMajorVersion(static_cast<unsigned int>(nVersion));
    const TagLib::ByteVector bytes(frame.strBytes.data(),
                                   static_cast<unsigned int>(frame.strBytes.size()));
    return std::unique_ptr<TagLib::ID3v2::Frame>(
        TagLib::ID3v2::FrameFactory::instance()->createFrame(bytes, &header));
}

// Latin-1 where the text allows it, which every reader takes; otherwise what the version has.
TagLib::String::Type EncodingFor(const TagLib::String& strText, int nVersion) {
    if (strText.isLatin1()) {
        return TagLib::String::Latin1;
    }
    return nVersion == 4 ? TagLib::String::UTF8 : TagLib::String::UTF16;
}

// TagLib renders a new frame for ID3v2.4; the 2.3 header differs only in its plain size.
std::string Rendered(const TagLib::ID3v2::Frame& frame, int nVersion) {
    const TagLib::ByteVector bytes = frame.render();
    std::string strBytes(bytes.data(), bytes.size());
    if (nVersion == 3) {
        std::size_t nSize = strBytes.size() - HEADER;
        for (int i = 7; i >= 4; --i) {
            strBytes[static_cast<std::size_t>(i)] = static_cast<char>(nSize & 0xFF);
            nSize >>= 8;
        }
    }
    return strBytes;
}

// The comment a person reads: COMM without a description (what the reader takes first).
bool IsUserComment(const SFrame& frame, int nVersion) {
    if (frame.strId != "COMM") {
        return false;
    }
    const std::unique_ptr<TagLib::ID3v2::Frame> pFrame = Parsed(frame, nVersion);
    const auto* pComment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(pFrame.get());
    return pComment != nullptr && pComment->description().isEmpty();
}

// The frames of a tag and what follows them.
class CFrameEditor {
public:
    CFrameEditor(int nVersion, std::vector<SFrame> arrFrames, const CTagCodec& codec)
        : m_nVersion(nVersion), m_arrFrames(std::move(arrFrames)), m_codec(codec) {}

    // nWidth: the ID3v1 field's, for a text that may be a copy cut from this frame.
    void SetText(const char* pszId, const std::optional<std::string>& strText,
                 std::size_t nWidth = 0) {
        if (!strText) {
            return;
        }
        const TagLib::String strNew(*strText, TagLib::String::UTF8);
        const auto it = Find([pszId](const SFrame& frame) { return frame.strId == pszId; });
        if (it != m_arrFrames.end()) {
            const std::unique_ptr<TagLib::ID3v2::Frame> pOld = Parsed(*it, m_nVersion);
            if (pOld && Covers(pOld->toString(), *strText, {nWidth})) {
                return;
            }
        }
        if (strText->empty()) {
            Remove(it);
            return;
        }
        TagLib::ID3v2::TextIdentificationFrame frame(pszId, EncodingFor(strNew, m_nVersion));
        frame.setText(strNew);
        Put(it, pszId, Rendered(frame, m_nVersion));
    }

    void SetComment(const std::optional<std::string>& strText) {
        if (!strText) {
            return;
        }
        const TagLib::String strNew(*strText, TagLib::String::UTF8);
        const auto it =
            Find([this](const SFrame& frame) { return IsUserComment(frame, m_nVersion); });
        TagLib::ByteVector language("eng");
        if (it != m_arrFrames.end()) {
            const std::unique_ptr<TagLib::ID3v2::Frame> pOld = Parsed(*it, m_nVersion);
            const auto* pComment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(pOld.get());
            if (Covers(pComment->text(), *strText,
                       {CId3v1Tag::TEXT_WIDTH, CId3v1Tag::COMMENT_WITH_TRACK_WIDTH})) {
                return;
            }
            if (pComment->language().size() == 3) {
                language = pComment->language();
            }
        }
        if (strText->empty()) {
            Remove(it);
            return;
        }
        TagLib::ID3v2::CommentsFrame frame(EncodingFor(strNew, m_nVersion));
        frame.setLanguage(language);
        frame.setText(strNew);
        Put(it, "COMM", Rendered(frame, m_nVersion));
    }

    // A total after the number ("3/12") stays.
    void SetTrack(const std::optional<int>& nTrack) {
        if (!nTrack) {
            return;
        }
        std::string strText = *nTrack > 0 ? std::to_string(*nTrack) : std::string();
        const auto it = Find([](const SFrame& frame) { return frame.strId == "TRCK"; });
        if (it != m_arrFrames.end() && !strText.empty()) {
            if (const std::unique_ptr<TagLib::ID3v2::Frame> pOld = Parsed(*it, m_nVersion)) {
                const std::string strOld = pOld->toString().to8Bit(true);
                const std::size_t nSlash = strOld.find('/');
                if (nSlash != std::string::npos) {
                    strText += strOld.substr(nSlash);
                }
            }
        }
        SetText("TRCK", strText);
    }

    void SetGenre(const std::optional<unsigned char>& nGenre) {
        if (nGenre) {
            SetText("TCON",
                    *nGenre < GENRE_NONE ? std::string(g_szGenreNames[*nGenre]) : std::string());
        }
    }

    std::string Frames() const {
        std::string strFrames;
        for (const SFrame& frame : m_arrFrames) {
            strFrames += frame.strBytes;
        }
        return strFrames;
    }

private:
    // The frame says the text already: as it is, or in full where the text is the frame's cut
    // to an ID3v1 field (copied from this tag, it must not cut the frame in turn). A year is
    // the start of a date.
    bool Covers(const TagLib::String& strOld, const std::string& strNew,
                std::initializer_list<std::size_t> arrWidths) const {
        const std::string strOld8 = strOld.to8Bit(true);
        if (strOld8 == strNew ||
            (strNew.size() == CId3v1Tag::YEAR_WIDTH && strOld8.size() > strNew.size() &&
             strOld8.compare(0, strNew.size(), strNew) == 0 && strOld8[strNew.size()] == '-')) {
            return true;
        }
        const std::string strClean = CleanCopiedText(strOld8);
        return !strNew.empty() &&
               std::any_of(arrWidths.begin(), arrWidths.end(), [&](std::size_t nWidth) {
                   return nWidth > 0 && FitTagText(strClean, nWidth, m_codec) == strNew;
               });
    }

    template <class CPredicate> std::vector<SFrame>::iterator Find(CPredicate isWanted) {
        return std::find_if(m_arrFrames.begin(), m_arrFrames.end(), isWanted);
    }

    void Remove(std::vector<SFrame>::iterator it) {
        if (it != m_arrFrames.end()) {
            m_arrFrames.erase(it);
        }
    }

    // In the old frame's place, or after the others.
    void Put(std::vector<SFrame>::iterator it, const char* pszId, std::string strBytes) {
        if (it == m_arrFrames.end()) {
            m_arrFrames.push_back({pszId, std::move(strBytes)});
        } else {
            it->strBytes = std::move(strBytes);
        }
    }

    int m_nVersion;
    std::vector<SFrame> m_arrFrames;
    const CTagCodec& m_codec;
};

// The frames between the header and the padding; nothing with strWhyNot when the tag is not
// one whose other bytes can all be kept.
std::optional<std::vector<SFrame>> SplitFrames(std::string_view strTag, int nVersion,
                                               std::string& strWhyNot) {
    std::vector<SFrame> arrFrames;
    std::size_t nAt = HEADER;
    while (nAt + HEADER <= strTag.size() && strTag[nAt] != '\0') {
        const std::string_view strId = strTag.substr(nAt, 4);
        const std::string_view strSize = strTag.substr(nAt + 4, 4);
        if (!IsFrameId(strId) || (nVersion == 4 && !IsSyncsafe(strSize))) {
            strWhyNot = "its ID3v2 tag holds bytes that are no frame";
            return std::nullopt;
        }
        const std::size_t nSize = nVersion == 4 ? Syncsafe(strSize) : BigEndian(strSize);
        if (nSize > strTag.size() - nAt - HEADER) {
            strWhyNot = "a frame of its ID3v2 tag runs past the tag's end";
            return std::nullopt;
        }
        arrFrames.push_back({std::string(strId), std::string(strTag.substr(nAt, HEADER + nSize))});
        nAt += HEADER + nSize;
    }
    const std::string_view strRest = strTag.substr(nAt);
    if (std::any_of(strRest.begin(), strRest.end(), [](char c) { return c != '\0'; })) {
        strWhyNot = "its ID3v2 tag holds bytes after its frames that are no padding";
        return std::nullopt;
    }
    return arrFrames;
}

} // namespace

std::optional<std::size_t> CId3v2Edit::TagSize(std::string_view strHeader) {
    if (strHeader.size() < HEADER || strHeader.substr(0, 3) != "ID3" ||
        !IsSyncsafe(strHeader.substr(6, 4)) || static_cast<unsigned char>(strHeader[3]) == 0xFF) {
        return std::nullopt;
    }
    const bool bFooter = (static_cast<unsigned char>(strHeader[5]) & FOOTER) != 0;
    return HEADER + Syncsafe(strHeader.substr(6, 4)) + (bFooter ? HEADER : 0);
}

std::optional<std::string> CId3v2Edit::Apply(std::string_view strTag, const STagChanges& changes,
                                             const CTagCodec& codec, std::string& strWhyNot) {
    const std::optional<std::size_t> nSize = TagSize(strTag);
    if (!nSize || *nSize != strTag.size()) {
        strWhyNot = "its ID3v2 tag is cut short";
        return std::nullopt;
    }
    const int nVersion = strTag[3];
    const auto nFlags = static_cast<unsigned char>(strTag[5]);
    if (nVersion != 3 && nVersion != 4) {
        strWhyNot = "its ID3v2 tag is of version 2." + std::to_string(nVersion) +
                    ", which is not written (only 2.3 and 2.4 are)";
        return std::nullopt;
    }
    if ((nFlags & (UNSYNCHRONISED | EXTENDED_HEADER | FOOTER)) != 0) {
        strWhyNot = "its ID3v2 tag is unsynchronised or has an extended header or a footer, "
                    "which are not written";
        return std::nullopt;
    }
    std::optional<std::vector<SFrame>> arrFrames = SplitFrames(strTag, nVersion, strWhyNot);
    if (!arrFrames) {
        return std::nullopt;
    }
    CFrameEditor editor(nVersion, std::move(*arrFrames), codec);
    using T = CId3v1Tag;
    editor.SetText("TIT2", changes.m_strTitle, T::TEXT_WIDTH);
    editor.SetText("TPE1", changes.m_strArtist, T::TEXT_WIDTH);
    editor.SetText("TALB", changes.m_strAlbum, T::TEXT_WIDTH);
    editor.SetText(nVersion == 4 ? "TDRC" : "TYER", changes.m_strYear);
    editor.SetComment(changes.m_strComment);
    editor.SetTrack(changes.m_nTrack);
    editor.SetGenre(changes.m_nGenre);
    const std::string strFrames = editor.Frames();
    const std::size_t nOldBody = strTag.size() - HEADER;
    if (strFrames.size() <= nOldBody) {
        std::string strNew(strTag.substr(0, HEADER));
        strNew += strFrames;
        strNew.resize(strTag.size(), '\0');
        return strNew;
    }
    const std::size_t nNewBody = strFrames.size() + GROWTH_PADDING;
    if (nNewBody > MAX_SIZE) {
        strWhyNot = "its ID3v2 tag would grow past the largest size a tag can have";
        return std::nullopt;
    }
    std::string strNew(strTag.substr(0, 6));
    strNew += SyncsafeBytes(nNewBody);
    strNew += strFrames;
    strNew.resize(HEADER + nNewBody, '\0');
    return strNew;
}
