// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/packedtexts.h"
#include "catalogue/sharedtext.h"
#include "catalogue/tagblock.h"

class CTagCodec;
class CTagWriter;
struct STagChanges;
struct STagWriteResult;

// One audio file of the catalogue: where it lies, its size and the fields of its ID3v1 tag.
// Texts are UTF-8; the file name and location are the file system's own bytes.
class CTrackInfo {
public:
    // Reads the file's tag, its texts by the automatic rule.
    CTrackInfo(std::string strLocation, std::string strFileName);
    // Takes the identity and tag from bytes the scan has already read. The records of one
    // folder share its location text.
    CTrackInfo(CSharedText location, std::string strFileName, const CTagBlock& block);
    CTrackInfo(CSharedText location, std::string strFileName, const CTagBlock& block,
               const CTagCodec& codec);
    // The record again from what a kept catalogue holds of it: the texts in the order of
    // GetTextBlock, the rest as read then.
    CTrackInfo(CSharedText location, const std::array<std::string_view, 6>& arrTexts,
               const SKnownFile& file, unsigned char nGenre, unsigned char nTrack, bool bHasTag,
               bool bRead);

    // Views into the record: valid until the record changes or goes.
    std::string_view GetFileName() const { return m_texts.Get(FILE_NAME); }
    const std::string& GetLocation() const { return m_location.Get(); }
    std::string_view GetTitle() const { return m_texts.Get(TITLE); }
    std::string_view GetArtist() const { return m_texts.Get(ARTIST); }
    std::string_view GetAlbum() const { return m_texts.Get(ALBUM); }
    std::string_view GetYear() const { return m_texts.Get(YEAR); }
    std::string_view GetComment() const { return m_texts.Get(COMMENT); }
    // The file name, title, artist, album, year and comment end to end, in that order, each of
    // the views above a part of it: one pass over memory reads them all.
    std::string_view GetTextBlock() const { return m_texts.GetAll(); }
    // Asks for the record's texts ahead of reading them, without waiting for any of their bytes:
    // the texts' own addresses are read from the start of their block.
    void PrefetchTexts() const {
        __builtin_prefetch(m_texts.GetBlock());
        __builtin_prefetch(m_texts.GetBlock() + 64); // most records' texts end in the next line
    }
    unsigned char GetGenre() const { return m_nGenre; }
    // The ID3v1.1 track number, or 0.
    int GetTrack() const { return m_nTrack; }
    // Text of static storage: the table's name or the "undefined" text.
    std::string_view GetGenreName() const;
    std::int64_t GetSize() const {
        return m_bRead ? m_nFileSize - static_cast<std::int64_t>(CId3v1Tag::SIZE) : 0;
    }
    std::string GetSizeText() const;
    bool HasTag() const { return m_bHasTag; }
    // The file this record was read from; a write goes nowhere else.
    SFileIdentity GetIdentity() const { return {m_nDevice, m_nInode, m_nFileSize}; }
    // When the file last changed, as it was read; with the identity, what a later look at the
    // file compares to know whether the record still shows it.
    const SFileStamp& GetStamp() const { return m_stamp; }
    // The file's last bytes were read (they may hold no tag).
    bool WasRead() const { return m_bRead; }

    // The file gave its number anew, unchanged otherwise (see SKnownFile).
    void SetIdentity(const SFileIdentity& identity);

    // Everything the record holds is the same, the file's times included.
    bool IsSameAs(const CTrackInfo& other) const;

    // Folder, "/", file name; a file in the root ("" location) gives "/name".
    std::string GetFullPath() const;

    // The clipboard line: nine fields separated by TABs, ending in CR LF.
    std::string GetCopyText() const;

    // Setters change the record only, for records made in memory; WriteTag changes the file.
    void SetTitle(std::string_view strTitle) { m_texts.Set(TITLE, strTitle); }
    void SetArtist(std::string_view strArtist) { m_texts.Set(ARTIST, strArtist); }
    void SetAlbum(std::string_view strAlbum) { m_texts.Set(ALBUM, strAlbum); }
    void SetYear(std::string_view strYear) { m_texts.Set(YEAR, strYear); }
    void SetComment(std::string_view strComment) { m_texts.Set(COMMENT, strComment); }
    void SetGenre(unsigned char nGenre) { m_nGenre = nGenre; }
    // The record follows its file's rename: the file, and so its identity, stays the same.
    void SetFileName(std::string_view strFileName) { m_texts.Set(FILE_NAME, strFileName); }

    // Writes the changes to the file this record was read from, then takes the fields from
    // what the file ends with, so that the record shows the file as it is. Throws
    // CFileException when the file was opened but could not be read or written. Fields only
    // emptied leave a file without a tag as it is (Unchanged, the record too).
    STagWriteResult WriteTag(const STagChanges& changes, const CTagWriter& writer);
    // Takes the fields and identity from the file's new last bytes.
    void Refresh(const CTagBlock& block, const CTagCodec& codec);

private:
    enum ETextField { FILE_NAME, TITLE, ARTIST, ALBUM, YEAR, COMMENT, TEXT_COUNT };

    static CPackedTexts<TEXT_COUNT> ReadTag(std::string_view strFileName, const CTagBlock& block,
                                            const CTagCodec& codec);

    // The identity's parts apart, so that its 32-bit device fills out the one-byte fields' word
    // instead of taking one of its own.
    CPackedTexts<TEXT_COUNT> m_texts;
    CSharedText m_location;
    ino_t m_nInode;
    std::int64_t m_nFileSize;
    SFileStamp m_stamp;
    std::uint32_t m_nDevice;
    unsigned char m_nGenre;
    unsigned char m_nTrack;
    bool m_bHasTag = false;
    bool m_bRead = false;
};
// A large library keeps a million records in the window, and each of their bytes is a megabyte.
static_assert(sizeof(CTrackInfo) <= 56, "a record grew: a million of them live in the window");

// Decimal megabytes with one decimal, as the size column shows them.
std::string FormatSize(std::int64_t nBytes);
