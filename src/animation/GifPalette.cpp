#include "GifPalette.h"
#include "FrameStream.h"

#include <gif_lib.h>

namespace velra::animation {

bool quantisedPalette(const FrameStream &stream, std::vector<quint32> &palette)
{
    const qint64 count = stream.count();
    const qint64 samples = std::min<qint64>(count, 16);
    const qint64 pixels = samples * stream.size().width() * stream.size().height();
    const qint64 wanted = 2 * 1024 * 1024;
    const qint64 stride = std::max<qint64>(1, (pixels + wanted - 1) / wanted);
    std::vector<GifByteType> red, green, blue;
    red.reserve(std::size_t(pixels / stride + 1));
    green.reserve(red.capacity());
    blue.reserve(red.capacity());
    qint64 at = 0;
    for (qint64 i = 0; i < samples; ++i) {
        const QImage frame = stream.frame(samples == 1 ? 0 : i * (count - 1) / (samples - 1));
        if (frame.isNull())
            return false;
        for (int y = 0; y < frame.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x, ++at)
                if (at % stride == 0) {
                    red.push_back(GifByteType(line[x] >> 16));
                    green.push_back(GifByteType(line[x] >> 8));
                    blue.push_back(GifByteType(line[x]));
                }
        }
    }
    std::vector<GifByteType> indices(red.size());
    GifColorType map[256];
    int size = 256;
    if (GifQuantizeBuffer(unsigned(red.size()), 1, &size, red.data(), green.data(), blue.data(), indices.data(), map) == GIF_ERROR)
        return false;
    palette.clear();
    for (int i = 0; i < size; ++i)
        palette.push_back(quint32(map[i].Red) << 16 | quint32(map[i].Green) << 8 | map[i].Blue);
    return true;
}

} // namespace velra::animation
