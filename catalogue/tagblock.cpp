#include "catalogue/tagblock.h"

#include "catalogue/filedescriptor.h"
#include "catalogue/posixio.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr off_t TAG_SIZE = static_cast<off_t>(CId3v1Tag::SIZE);

} // namespace

CTagBlock CTagBlock::Read(int nDirFd, const char* pszName) {
    // Non-blocking, so that a FIFO or a device that happens to match the pattern cannot stall
    // a scan.
    constexpr int READ_FLAGS = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    CFileOps& ops = CFileOps::Current();
    CTagBlock block;
    const CFileDescriptor fd(ops.OpenAt(nDirFd >= 0 ? nDirFd : AT_FDCWD, pszName, READ_FLAGS));
    struct stat st;
    if (!fd.IsValid() || ops.Fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size < TAG_SIZE) {
        return block;
    }
    block.m_nSize = st.st_size - TAG_SIZE;
    block.m_bRead = ReadAt(fd.Get(), block.m_bytes.data(), block.m_bytes.size(), block.m_nSize,
                           ops) == TAG_SIZE;
    return block;
}
