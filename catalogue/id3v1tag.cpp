#include "catalogue/id3v1tag.h"

#include "catalogue/tagtext.h"

#include <cstring>

namespace {

// Field offsets and widths of the tag; the comment keeps all 30 bytes, so a track number stored
// behind a zero byte is not seen and is overwritten by a write.
constexpr std::size_t TITLE = 3, ARTIST = 33, ALBUM = 63, YEAR = 93, COMMENT = 97, GENRE = 127;
constexpr std::size_t TEXT_WIDTH = 30, YEAR_WIDTH = 4;

} // namespace

bool CId3v1Tag::HasMarker(const unsigned char* pBytes) {
    return std::memcmp(pBytes, "TAG", 3) == 0;
}

CId3v1Tag CId3v1Tag::Parse(const CBytes& bytes) {
    CId3v1Tag tag;
    tag.m_strTitle = ReadTagText(&bytes[TITLE], TEXT_WIDTH);
    tag.m_strArtist = ReadTagText(&bytes[ARTIST], TEXT_WIDTH);
    tag.m_strAlbum = ReadTagText(&bytes[ALBUM], TEXT_WIDTH);
    tag.m_strYear = ReadTagText(&bytes[YEAR], YEAR_WIDTH);
    tag.m_strComment = ReadTagText(&bytes[COMMENT], TEXT_WIDTH);
    tag.m_nGenre = bytes[GENRE];
    return tag;
}

std::array<std::string_view, 5> CId3v1Tag::ParseTexts(const CBytes& bytes,
                                                      std::array<std::string, 5>& arrDecoded) {
    return {ReadTagTextView(&bytes[TITLE], TEXT_WIDTH, arrDecoded[0]),
            ReadTagTextView(&bytes[ARTIST], TEXT_WIDTH, arrDecoded[1]),
            ReadTagTextView(&bytes[ALBUM], TEXT_WIDTH, arrDecoded[2]),
            ReadTagTextView(&bytes[YEAR], YEAR_WIDTH, arrDecoded[3]),
            ReadTagTextView(&bytes[COMMENT], TEXT_WIDTH, arrDecoded[4])};
}

CId3v1Tag::CBytes CId3v1Tag::Format() const {
    CBytes bytes{};
    std::memcpy(bytes.data(), "TAG", 3);
    WriteTagText(m_strTitle, &bytes[TITLE], TEXT_WIDTH);
    WriteTagText(m_strArtist, &bytes[ARTIST], TEXT_WIDTH);
    WriteTagText(m_strAlbum, &bytes[ALBUM], TEXT_WIDTH);
    WriteTagText(m_strYear, &bytes[YEAR], YEAR_WIDTH);
    WriteTagText(m_strComment, &bytes[COMMENT], TEXT_WIDTH);
    bytes[GENRE] = m_nGenre;
    return bytes;
}
