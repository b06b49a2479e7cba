#pragma once

#include <QByteArray>

#include <cstring>
#include <gif_lib.h>

namespace velra::test {

// giflib's reader fed from bytes in memory: DGifOpen(&bytes, readGifBytes, &error) takes them from
// the front of `bytes` as it reads.
inline int readGifBytes(GifFileType *gif, GifByteType *into, int length)
{
    auto *source = static_cast<QByteArray *>(gif->UserData);
    const int n = int(qMin<qsizetype>(length, source->size()));
    std::memcpy(into, source->constData(), size_t(n));
    source->remove(0, n);
    return n;
}

} // namespace velra::test
