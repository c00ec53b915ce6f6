// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <string>

// zlib streams for compressed ID3v2 frames, made by zlib itself.

// The prefix, then nBytes of the character c, compressed a piece at a time: a small input that
// inflates to as much as a test wants, without the test ever holding it.
inline std::string DeflatedRun(const std::string& strPrefix, char c, std::size_t nBytes) {
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    const std::string strRun(std::size_t{1} << 20, c);
    std::string strOut;
    char aOut[1 << 16];
    const auto feed = [&](const std::string& strIn, std::size_t nTake, int nFlush) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(strIn.data()));
        stream.avail_in = static_cast<uInt>(nTake);
        do {
            stream.next_out = reinterpret_cast<Bytef*>(aOut);
            stream.avail_out = sizeof(aOut);
            deflate(&stream, nFlush);
            strOut.append(aOut, sizeof(aOut) - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    feed(strPrefix, strPrefix.size(), Z_NO_FLUSH);
    do {
        const std::size_t nTake = std::min(nBytes, strRun.size());
        nBytes -= nTake;
        feed(strRun, nTake, nBytes == 0 ? Z_FINISH : Z_NO_FLUSH);
    } while (nBytes > 0);
    deflateEnd(&stream);
    return strOut;
}

inline std::string Deflated(const std::string& strBytes) {
    uLongf nSize = compressBound(static_cast<uLong>(strBytes.size()));
    std::string strOut(nSize, '\0');
    compress(reinterpret_cast<Bytef*>(strOut.data()), &nSize,
             reinterpret_cast<const Bytef*>(strBytes.data()), static_cast<uLong>(strBytes.size()));
    strOut.resize(nSize);
    return strOut;
}
