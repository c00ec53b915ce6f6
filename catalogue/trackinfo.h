#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CTagBlock;

// One audio file of the catalogue: where it lies, its size and the fields of its ID3v1 tag.
// Texts are UTF-8; the file name and location are the file system's own bytes.
class CTrackInfo {
public:
    // Reads the file's tag.
    CTrackInfo(std::string strLocation, std::string strFileName);
    // Takes the size and tag from bytes the scan has already read. The records of one folder
    // share its location text.
    CTrackInfo(std::shared_ptr<const std::string> pLocation, std::string strFileName,
               const CTagBlock& block);

    const std::string& GetFileName() const { return m_strFileName; }
    const std::string& GetLocation() const { return *m_pLocation; }
    const std::string& GetTitle() const { return m_strTitle; }
    const std::string& GetArtist() const { return m_strArtist; }
    const std::string& GetAlbum() const { return m_strAlbum; }
    const std::string& GetYear() const { return m_strYear; }
    const std::string& GetComment() const { return m_strComment; }
    unsigned char GetGenre() const { return m_nGenre; }
    std::string GetGenreName() const;
    std::int64_t GetSize() const { return m_nSize; }
    std::string GetSizeText() const;
    bool HasTag() const { return m_bHasTag; }

    // Folder, "/", file name; a file in the root ("" location) gives "/name".
    std::string GetFullPath() const;

    // The clipboard line: nine fields separated by TABs, ending in CR LF.
    std::string GetCopyText() const;

    // Setters change the record only; WriteTag stores the fields in the file.
    void SetTitle(std::string strTitle) { m_strTitle = std::move(strTitle); }
    void SetArtist(std::string strArtist) { m_strArtist = std::move(strArtist); }
    void SetAlbum(std::string strAlbum) { m_strAlbum = std::move(strAlbum); }
    void SetYear(std::string strYear) { m_strYear = std::move(strYear); }
    void SetComment(std::string strComment) { m_strComment = std::move(strComment); }
    void SetGenre(unsigned char nGenre) { m_nGenre = nGenre; }

    // False when the file cannot be opened for writing; throws CFileException when it was opened
    // but the tag could not be checked or written.
    bool WriteTag();

private:
    void ReadTag(const CTagBlock& block);

    std::string m_strFileName;
    std::shared_ptr<const std::string> m_pLocation;
    std::string m_strTitle;
    std::string m_strArtist;
    std::string m_strAlbum;
    std::string m_strYear;
    unsigned char m_nGenre;
    std::string m_strComment;
    std::int64_t m_nSize = 0;
    bool m_bHasTag = false;
};

// Decimal megabytes with one decimal, as the size column shows them.
std::string FormatSize(std::int64_t nBytes);
