#include "catalogue/posixio.h"

#include <cerrno>
#include <unistd.h>

ssize_t ReadAt(int nFd, void* pBuffer, std::size_t nCount, off_t nOffset) {
    auto* pBytes = static_cast<unsigned char*>(pBuffer);
    std::size_t nDone = 0;
    while (nDone < nCount) {
        const ssize_t nRead = ::pread(nFd, pBytes + nDone, nCount - nDone, nOffset + nDone);
        if (nRead < 0 && errno == EINTR) {
            continue;
        }
        if (nRead < 0) {
            return -1;
        }
        if (nRead == 0) {
            break;
        }
        nDone += static_cast<std::size_t>(nRead);
    }
    return static_cast<ssize_t>(nDone);
}

int WriteAllAt(int nFd, const void* pBuffer, std::size_t nCount, off_t nOffset) {
    const auto* pBytes = static_cast<const unsigned char*>(pBuffer);
    while (nCount > 0) {
        const ssize_t nWritten = ::pwrite(nFd, pBytes, nCount, nOffset);
        if (nWritten < 0 && errno == EINTR) {
            continue;
        }
        if (nWritten < 0) {
            return errno;
        }
        if (nWritten == 0) {
            return EIO;
        }
        pBytes += nWritten;
        nCount -= static_cast<std::size_t>(nWritten);
        nOffset += nWritten;
    }
    return 0;
}
