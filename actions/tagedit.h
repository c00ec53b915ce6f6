#pragma once

#include "catalogue/fileexception.h"
#include "catalogue/genres.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class CTrackInfo;

// What the tag editor's page holds. An empty text and the genre GENRE_NONE mean "leave each
// file's own value": the editor can set fields, never clear them.
struct SPageValues {
    int m_nGenre = GENRE_NONE;
    std::string m_strAlbum;
    std::string m_strArtist;
    std::string m_strComment;
    std::string m_strTitle;
    std::string m_strYear;
};

// The text fields of the page, in the order in which OK checks them.
enum class ETagField { Album, Artist, Comment, Title, Year };

// One file shows its own fields, with a title made from the file name when it has none; any
// other number of files starts from empty fields, so that only what the user types is applied.
SPageValues InitialPageValues(const std::vector<CTrackInfo*>& arrSelected);

// The file name without its last four bytes (normally the extension), as a UTF-8 text.
std::string TitleFromFileName(const std::string& strFileName);

// The width in bytes of the tag field that stores the text.
std::size_t FieldLimit(ETagField eField);

// The first field, in checking order, whose text would not fit its tag field once encoded;
// nothing when every text fits and none would be cut on writing.
std::optional<ETagField> FindOverlongField(const SPageValues& values);

// Copies the non-empty texts and a chosen genre into the record, leaving the rest alone.
void ApplyPageValues(const SPageValues& values, CTrackInfo& track);

struct STagWriteOutcome {
    // Records whose file could not be opened for writing, in selection order. They keep the new
    // values in memory.
    std::vector<CTrackInfo*> m_arrNotWritten;
    // The error that stopped the run; the files after it were neither changed nor written.
    std::optional<CFileException> m_error;
};

// Applies the values to every selected record in order and writes its tag, whether or not
// anything changed. Stops at the first write that fails after its file was opened.
STagWriteOutcome WriteSelectedTags(const SPageValues& values,
                                   const std::vector<CTrackInfo*>& arrSelected);

// True when the edit may have moved tracks between the groups the tree shows: the artist text
// changed, or the genre changed while the tree groups by genre. Otherwise refilling the list is
// enough.
bool NeedsIndexRebuild(const SPageValues& before, const SPageValues& after, bool bByGenre);
