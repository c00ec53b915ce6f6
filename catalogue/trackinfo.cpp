#include "catalogue/trackinfo.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/fileexception.h"
#include "catalogue/id3v1tag.h"
#include "catalogue/posixio.h"
#include "catalogue/tagblock.h"
#include "res/strings.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Never created, never truncated; non-blocking, so that a FIFO cannot stall the editor.
constexpr int WRITE_FLAGS = O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
constexpr off_t TAG_SIZE = static_cast<off_t>(CId3v1Tag::SIZE);

bool HasWriteBit(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

} // namespace

CTrackInfo::CTrackInfo(std::string strLocation, std::string strFileName)
    : CTrackInfo(std::make_shared<const std::string>(strLocation), strFileName,
                 CTagBlock::Read(-1, (strLocation + '/' + strFileName).c_str())) {
}

CTrackInfo::CTrackInfo(std::shared_ptr<const std::string> pLocation, std::string strFileName,
                       const CTagBlock& block)
    : m_texts(ReadTag(strFileName, block)), m_pLocation(std::move(pLocation)),
      m_nSize(block.m_nSize),
      m_nGenre(block.HasTag() ? block.m_bytes[CId3v1Tag::SIZE - 1] : GENRE_NONE),
      m_bHasTag(block.HasTag()) {
}

// A file without a tag keeps the defaults: empty texts, the placeholder artist, no genre.
CPackedTexts<CTrackInfo::TEXT_COUNT> CTrackInfo::ReadTag(std::string_view strFileName,
                                                         const CTagBlock& block) {
    if (!block.HasTag()) {
        return {strFileName, {}, LoadString(IDS_UNDEFINED)};
    }
    std::array<std::string, 5> arrDecoded;
    const std::array<std::string_view, 5> arrTexts =
        CId3v1Tag::ParseTexts(block.m_bytes, arrDecoded);
    return {strFileName, arrTexts[0], arrTexts[1], arrTexts[2], arrTexts[3], arrTexts[4]};
}

bool CTrackInfo::WriteTag() {
    CId3v1Tag tag;
    tag.m_strTitle = GetTitle();
    tag.m_strArtist = GetArtist();
    tag.m_strAlbum = GetAlbum();
    tag.m_strYear = GetYear();
    tag.m_strComment = GetComment();
    tag.m_nGenre = m_nGenre;
    const CId3v1Tag::CBytes bytes = tag.Format();

    CFileOps& ops = CFileOps::Current();
    const std::string strPath = GetFullPath();
    CFileDescriptor fd(ops.OpenAt(AT_FDCWD, strPath.c_str(), WRITE_FLAGS));
    if (!fd.IsValid()) {
        return false;
    }
    struct stat st;
    if (ops.Fstat(fd.Get(), &st) != 0) {
        throw CFileException(strPath, errno);
    }
    // A file without any write permission is read-only for everybody, root included: its owner
    // made it so on purpose.
    if (!S_ISREG(st.st_mode) || !HasWriteBit(st)) {
        return false;
    }
    // The file may have changed since it was scanned: what it ends with now decides whether the
    // tag replaces the last 128 bytes or is appended. The old tag is read whole so that a write
    // that fails half way can put it back.
    off_t nOffset = st.st_size;
    CId3v1Tag::CBytes oldTag{};
    if (st.st_size >= TAG_SIZE) {
        const ssize_t nRead =
            ReadAt(fd.Get(), oldTag.data(), oldTag.size(), nOffset - TAG_SIZE, ops);
        if (nRead != TAG_SIZE) {
            throw CFileException(strPath, nRead < 0 ? errno : EIO);
        }
        if (CId3v1Tag::HasMarker(oldTag.data())) {
            nOffset -= TAG_SIZE;
        }
    }
    // The marker goes last: a write that stops early never leaves something that reads as a tag
    // at the end of a file that had none.
    constexpr std::size_t MARKER = 3;
    std::size_t nWritten = 0;
    int nError = WriteAllAt(fd.Get(), bytes.data() + MARKER, bytes.size() - MARKER,
                            nOffset + static_cast<off_t>(MARKER), ops, &nWritten);
    if (nError == 0) {
        nError = WriteAllAt(fd.Get(), bytes.data(), MARKER, nOffset, ops);
    }
    if (nError != 0) {
        // Without a copy of the file this is the best that can be done: an appended tag is cut
        // off again and an overwritten one gets its old bytes back. Either step may fail in
        // turn; the caller hears of the failed write in any case.
        if (nOffset == st.st_size) {
            ops.Ftruncate(fd.Get(), st.st_size);
        } else if (nWritten > 0) {
            WriteAllAt(fd.Get(), oldTag.data() + MARKER, nWritten,
                       nOffset + static_cast<off_t>(MARKER), ops);
        }
        throw CFileException(strPath, nError);
    }
    if (ops.Close(fd.Release()) != 0) {
        throw CFileException(strPath, errno);
    }
    m_bHasTag = true;
    return true;
}

std::string_view CTrackInfo::GetGenreName() const {
    return GenreName(m_nGenre);
}

std::string CTrackInfo::GetSizeText() const {
    return FormatSize(m_nSize);
}

std::string CTrackInfo::GetFullPath() const {
    std::string strPath = *m_pLocation;
    strPath += '/';
    strPath += GetFileName();
    return strPath;
}

std::string CTrackInfo::GetCopyText() const {
    const std::string strSize = GetSizeText();
    const std::string_view strGenre = GetGenreName();
    std::string strLine;
    for (const std::string_view strField :
         {GetFileName(), GetTitle(), GetAlbum(), std::string_view(*m_pLocation),
          std::string_view(strSize), GetArtist(), std::string_view(strGenre), GetYear()}) {
        strLine += strField;
        strLine += '\t';
    }
    strLine += GetComment();
    strLine += "\r\n";
    return strLine;
}

std::string FormatSize(std::int64_t nBytes) {
    char szText[64];
    std::snprintf(szText, sizeof szText, LoadString(IDS_SIZE_FORMAT),
                  static_cast<double>(nBytes) * 0.000001);
    return szText;
}
