#pragma once

#include <cstddef>
#include <sys/types.h>

// Positioned reads and writes that survive interruptions and short transfers.

// Bytes read (fewer only at the end of the file), or -1 with errno set.
ssize_t ReadAt(int nFd, void* pBuffer, std::size_t nCount, off_t nOffset);

// 0 when everything was written, otherwise the error (EIO for a write that made no progress).
int WriteAllAt(int nFd, const void* pBuffer, std::size_t nCount, off_t nOffset);
