// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/fileexception.h"
#include "catalogue/genres.h"
#include "catalogue/tagchanges.h"
#include "catalogue/tagwriter.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class CTrackInfo;

// What the tag editor's page holds. With several files an empty text and the genre GENRE_NONE
// mean "leave each file's own value"; with one file, what the user left as shown is left alone.
struct SPageValues {
    int m_nGenre = GENRE_NONE;
    std::string m_strAlbum;
    std::string m_strArtist;
    std::string m_strComment;
    std::string m_strTitle;
    std::string m_strYear;
    std::string m_strTrack; // empty, or a number from 1 to 255
    // The title shown was made from the file name: it counts as entered.
    bool m_bTitleFromFileName = false;
};

// The fields of the page, in the order in which OK checks them.
enum class ETagField { Album, Artist, Comment, Title, Year, Track };

// One file shows its own fields, with a title made from the file name when it has none; any
// other number of files starts from empty fields, so that only what the user types is applied.
SPageValues InitialPageValues(const std::vector<CTrackInfo*>& arrSelected);

// The file name without its last four bytes (normally the extension), as a UTF-8 text.
std::string TitleFromFileName(const std::string& strFileName);

// The width in bytes of the tag field that stores the text: the comment leaves two bytes to a
// track number when the page sets one.
std::size_t FieldLimit(ETagField eField, const SPageValues& values = {});

// The first field, in checking order, whose text would not fit its tag field once encoded;
// nothing when every text fits and none would be cut on writing. Texts the codec cannot encode
// are FindUnencodableField's.
std::optional<ETagField> FindOverlongField(const SPageValues& values,
                                           const CTagCodec& codec = CTagCodec());
// The first text field holding a character the codec has no bytes for.
std::optional<ETagField> FindUnencodableField(const SPageValues& values, const CTagCodec& codec);
// Empty, or a whole number from 1 to 255.
bool IsValidTrackText(const std::string& strTrack);

// What OK writes. With one file: each field the user changed, and a title made from the file
// name; with several: each text filled in, a chosen genre, a track number. The artist
// placeholder shown for files without a tag is never written: a field holding it is written
// empty.
STagChanges ChangesFromPage(const SPageValues& before, const SPageValues& after, bool bOneFile);

struct STagWriteOutcome {
    // Records whose file could not be written, in selection order.
    std::vector<CTrackInfo*> m_arrNotWritten;
    // Records whose path no longer leads to the file that was listed: nothing was written.
    std::vector<CTrackInfo*> m_arrChanged;
    // Written, but the modification time could not be kept.
    std::vector<CTrackInfo*> m_arrTimesNotKept;
    // What each written file needs to take the edit back, in selection order.
    std::vector<STagUndo> m_arrUndo;
    // A record's artist or genre is not what it was: the groups the tree shows may be stale.
    bool m_bArtistChanged = false;
    bool m_bGenreChanged = false;
    // The error that stopped the run; the files after it were not written.
    std::optional<CFileException> m_error;
};

// Writes the changes to every selected file in order; each record then shows its file as it
// is. Stops at the first write that fails after its file was opened.
STagWriteOutcome WriteSelectedTags(const STagChanges& changes,
                                   const std::vector<CTrackInfo*>& arrSelected,
                                   const CTagWriter& writer);

// True when the edit may have moved tracks between the groups the tree shows: an artist
// changed, or a genre changed while the tree groups by genre. Otherwise refilling the list is
// enough.
bool NeedsIndexRebuild(const STagWriteOutcome& outcome, bool bByGenre);
