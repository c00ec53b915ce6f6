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
    : m_strFileName(std::move(strFileName)),
      m_pLocation(std::make_shared<const std::string>(std::move(strLocation))),
      m_strArtist(LoadString(IDS_UNDEFINED)), m_nGenre(GENRE_NONE) {
    ReadTag(CTagBlock::Read(-1, GetFullPath().c_str()));
}

CTrackInfo::CTrackInfo(std::shared_ptr<const std::string> pLocation, std::string strFileName,
                       const CTagBlock& block)
    : m_strFileName(std::move(strFileName)), m_pLocation(std::move(pLocation)),
      m_strArtist(LoadString(IDS_UNDEFINED)), m_nGenre(GENRE_NONE) {
    ReadTag(block);
}

void CTrackInfo::ReadTag(const CTagBlock& block) {
    m_nSize = block.m_nSize;
    if (!block.HasTag()) {
        return;
    }
    CId3v1Tag tag = CId3v1Tag::Parse(block.m_bytes);
    m_strTitle = std::move(tag.m_strTitle);
    m_strArtist = std::move(tag.m_strArtist);
    m_strAlbum = std::move(tag.m_strAlbum);
    m_strYear = std::move(tag.m_strYear);
    m_strComment = std::move(tag.m_strComment);
    m_nGenre = tag.m_nGenre;
    m_bHasTag = true;
}

bool CTrackInfo::WriteTag() {
    CId3v1Tag tag;
    tag.m_strTitle = m_strTitle;
    tag.m_strArtist = m_strArtist;
    tag.m_strAlbum = m_strAlbum;
    tag.m_strYear = m_strYear;
    tag.m_strComment = m_strComment;
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

std::string CTrackInfo::GetGenreName() const {
    return GenreName(m_nGenre);
}

std::string CTrackInfo::GetSizeText() const {
    return FormatSize(m_nSize);
}

std::string CTrackInfo::GetFullPath() const {
    return *m_pLocation + '/' + m_strFileName;
}

std::string CTrackInfo::GetCopyText() const {
    std::string strLine;
    const std::string strSize = GetSizeText();
    const std::string strGenre = GetGenreName();
    for (const std::string* pField : {&m_strFileName, &m_strTitle, &m_strAlbum, m_pLocation.get(),
                                      &strSize, &m_strArtist, &strGenre, &m_strYear}) {
        const std::string& strField = *pField;
        strLine += strField;
        strLine += '\t';
    }
    strLine += m_strComment;
    strLine += "\r\n";
    return strLine;
}

std::string FormatSize(std::int64_t nBytes) {
    char szText[64];
    std::snprintf(szText, sizeof szText, LoadString(IDS_SIZE_FORMAT),
                  static_cast<double>(nBytes) * 0.000001);
    return szText;
}
