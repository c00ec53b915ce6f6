// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include "catalogue/fileexception.h"
#include "catalogue/genres.h"
#include "catalogue/tagchanges.h"
#include "catalogue/tagwriter.h"
#include "catalogue/trackinfo.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The fields of the page, in the order in which OK checks them.
enum class ETagField { Album, Artist, Comment, Title, Year, Track };

constexpr unsigned FieldBit(ETagField eField) {
    return 1U << static_cast<unsigned>(eField);
}

// What the tag editor's page holds. What the user leaves as shown is left alone in every file.
// With one file an emptied text empties the field; with several files a field shows the value
// they share, and where they differ it is empty and stays as each file has it unless typed in
// or cleared (the Clear action). The genre GENRE_NONE is the "(unchanged)" entry: no genre
// chosen, whatever the number of files.
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
    // With several files, the fields whose values differ between them (FieldBit).
    unsigned m_nDifferent = 0;
    // The fields to empty in every selected file (FieldBit).
    unsigned m_nCleared = 0;
};

// One file shows its own fields, with a title made from the file name when it has none; several
// files show the values they share, and mark the fields where they differ.
SPageValues InitialPageValues(const std::vector<CTrackInfo*>& arrSelected);

// The text of a field of the page.
const std::string& FieldText(const SPageValues& values, ETagField eField);
std::string& FieldText(SPageValues& values, ETagField eField);
// How many bytes the text takes once encoded; nothing when the codec cannot hold it.
std::optional<std::size_t> EncodedSize(const std::string& strText, const CTagCodec& codec);

// The file name without its last four bytes (normally the extension), as a UTF-8 text.
std::string TitleFromFileName(const std::string& strFileName);

// The width in bytes of the tag field that stores the text: the comment leaves two bytes to a
// track number when the page sets one.
std::size_t FieldLimit(ETagField eField, const SPageValues& values = {});

// The first field, in checking order, whose text would not fit its tag field once encoded;
// nothing when every text fits. Texts the codec cannot encode are FindUnencodableField's; a
// comment that fits but not beside a track number is FindSilentLoss's.
std::optional<ETagField> FindOverlongField(const SPageValues& values,
                                           const CTagCodec& codec = CTagCodec());
// The first text field holding a character the codec has no bytes for.
std::optional<ETagField> FindUnencodableField(const SPageValues& values, const CTagCodec& codec);
// Empty, or a whole number from 1 to 255.
bool IsValidTrackText(const std::string& strTrack);
// The text shown for a missing artist, in either language: never a name to store.
bool IsArtistPlaceholder(const std::string& strArtist);

// What OK writes: each field the user changed to a text, a track number changed or taken away,
// a genre chosen, each field cleared; with one file also each field emptied and a title made
// from the file name. The artist placeholder shown for files without a tag is never written: a
// field holding it is written empty.
STagChanges ChangesFromPage(const SPageValues& before, const SPageValues& after, bool bOneFile);

// The files in which an edit would lose a track number or a comment's end without the user
// asking (STagChanges::SilentLoss), and which of the two: an edit sets a track number or not,
// so only one kind can occur.
struct SEditLoss {
    ETagLoss m_eLoss = ETagLoss::None;
    std::size_t m_nFiles = 0;
};
// Over the selected records, as read.
SEditLoss FindSilentLoss(const STagChanges& changes, const std::vector<CTrackInfo*>& arrSelected,
                         const CTagCodec& codec);
// Over the one file whose fields the page showed.
SEditLoss FindSilentLoss(const STagChanges& changes, const SPageValues& shown,
                         const CTagCodec& codec);

// The changes with, for each field they leave alone, the file's ID3v2 value where the file's own
// field is empty; a comment so filled in is cut to fit beside the file's track number.
STagChanges WithEmptyFieldsFilled(const STagChanges& changes, const STagChanges& fromId3v2,
                                  const CTrackInfo& track, const CTagCodec& codec);

struct STagWriteOutcome {
    // Records whose file was written, in selection order.
    std::vector<CTrackInfo*> m_arrWritten;
    // Records whose file could not be written, in selection order.
    std::vector<CTrackInfo*> m_arrNotWritten;
    // Records whose ID3v2 tag could not be written, with why: neither tag was changed.
    std::vector<std::pair<CTrackInfo*, std::string>> m_arrId3v2NotWritten;
    // Records whose path no longer leads to the file that was listed: nothing was written.
    std::vector<CTrackInfo*> m_arrChanged;
    // Written, but the modification time could not be kept.
    std::vector<CTrackInfo*> m_arrTimesNotKept;
    // What each written file needs to take the edit back, in selection order.
    std::vector<STagUndo> m_arrUndo;
    // A record's artist or genre is not what it was: the groups the tree shows may be stale.
    bool m_bArtistChanged = false;
    bool m_bGenreChanged = false;
    // The error that stopped the run, and the records after the one it names: never tried, since
    // a disk that refused one write (full, quota, I/O error) would most likely refuse them too.
    std::optional<CFileException> m_error;
    std::vector<CTrackInfo*> m_arrNotTried;
    // Records whose file the user stopped the run before.
    std::vector<CTrackInfo*> m_arrCancelled;
};

// What writing one file gave: nothing when the edit changes nothing in it, or the error that
// must stop the run.
struct STagFileWrite {
    std::optional<STagWriteResult> m_result;
    // The record as it shows its file after the write: its fields read back from what the file
    // ends with when it was written or found as the edit would leave it, else as it was.
    std::optional<CTrackInfo> m_after;
    std::optional<CFileException> m_error;
};

// Writes the changes made for the record to its file, leaving the record as it is.
STagFileWrite WriteOneFile(const CTrackInfo& track,
                           const std::function<STagChanges(const CTrackInfo&)>& changesFor,
                           const CTagWriter& writer);
// Counts a file's write in the outcome, in selection order: pTrack is the record as it was before
// the write, which stays as it is.
void AddToOutcome(STagWriteOutcome& outcome, CTrackInfo* pTrack, const STagFileWrite& write);

// Writes the changes to every selected file in order; each record then shows its file as it
// is. Stops at the first write that fails after its file was opened.
STagWriteOutcome WriteSelectedTags(const STagChanges& changes,
                                   const std::vector<CTrackInfo*>& arrSelected,
                                   const CTagWriter& writer);
// The same with changes of each file's own, made just before its write.
STagWriteOutcome WriteSelectedTags(const std::function<STagChanges(const CTrackInfo&)>& changesFor,
                                   const std::vector<CTrackInfo*>& arrSelected,
                                   const CTagWriter& writer);

// True when the edit may have moved tracks between the groups the tree shows: an artist
// changed, or a genre changed while the tree groups by genre. Otherwise refilling the list is
// enough.
bool NeedsIndexRebuild(const STagWriteOutcome& outcome, bool bByGenre);
