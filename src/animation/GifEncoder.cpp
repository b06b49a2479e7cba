#include "Encoders.h"
#include "FrameStream.h"
#include "GifPalette.h"

#include <QRect>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <gif_lib.h>

namespace velra::animation {

namespace {

int appendBytes(GifFileType *gif, const GifByteType *bytes, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(bytes), length);
    return length;
}

struct GifCloser
{
    void operator()(GifFileType *gif) const
    {
        int ignored = 0;
        EGifCloseFile(gif, &ignored);
    }
};

// The smallest rectangle holding every index that differs; empty when none does.
QRect changedArea(const quint8 *before, const quint8 *after, QSize size)
{
    const std::size_t width = std::size_t(size.width());
    int top = 0;
    while (top < size.height() && std::memcmp(before + top * width, after + top * width, width) == 0)
        ++top;
    if (top == size.height())
        return QRect();
    int bottom = size.height() - 1;
    while (std::memcmp(before + bottom * width, after + bottom * width, width) == 0)
        --bottom;
    int left = size.width(), right = -1;
    for (int y = top; y <= bottom; ++y) {
        const quint8 *a = before + y * width;
        const quint8 *b = after + y * width;
        int l = 0;
        while (l < left && a[l] == b[l])
            ++l;
        left = std::min(left, l);
        int r = size.width() - 1;
        while (r > right && a[r] == b[r])
            --r;
        right = std::max(right, r);
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The bits giflib's LZW coder writes for the area `area` of `indices` (a whole frame `width` wide),
// each pixel equal to `shown`'s written as `transparent` when `shown` is given: enough to tell which
// of the two ways makes the smaller frame. `codeBits` is the palette's bits.
qint64 lzwBits(const quint8 *indices, const quint8 *shown, int transparent, QRect area, int width, int codeBits)
{
    constexpr int kMostCode = 4095;
    constexpr std::size_t kSlots = 8192;
    const int clear = 1 << codeBits;
    std::vector<qint32> keys(kSlots, -1);
    std::vector<qint16> codes(kSlots, 0);
    int next = clear + 2;
    int bits = codeBits + 1;
    qint64 total = bits; // the clear code that starts it
    int prefix = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(width);
        for (int x = area.left(); x <= area.right(); ++x) {
            const std::size_t at = row + std::size_t(x);
            const int pixel = shown && indices[at] == shown[at] ? transparent : indices[at];
            if (prefix < 0) {
                prefix = pixel;
                continue;
            }
            const qint32 key = qint32(prefix) << 8 | pixel;
            std::size_t slot = (std::size_t(key) * 2654435761u >> 7) & (kSlots - 1);
            while (keys[slot] != -1 && keys[slot] != key)
                slot = (slot + 1) & (kSlots - 1);
            if (keys[slot] == key) {
                prefix = codes[slot];
                continue;
            }
            total += bits;
            if (next >= kMostCode) {
                total += bits; // a clear code, and the table starts again
                std::fill(keys.begin(), keys.end(), -1);
                next = clear + 2;
                bits = codeBits + 1;
            } else {
                keys[slot] = key;
                codes[slot] = qint16(next++);
                if (next > (1 << bits) && bits < 12)
                    ++bits;
            }
            prefix = pixel;
        }
    }
    return total + 2 * bits; // the last code and the end
}

class GifWriter
{
public:
    GifWriter(QByteArray &out, QSize size) : m_size(size)
    {
        int code = 0;
        m_gif.reset(EGifOpen(&out, appendBytes, &code));
    }

    // `transparent`: the entry past the palette that shows the frame before, or none (-1).
    bool begin(const std::vector<quint32> &palette, int transparent, bool loop)
    {
        if (!m_gif)
            return false;
        m_transparent = transparent;
        if (transparent >= 0)
            m_line.resize(std::size_t(m_size.width()));
        int mapSize = 2;
        while (mapSize < int(palette.size()) + (transparent >= 0 ? 1 : 0))
            mapSize *= 2;
        m_codeBits = 1;
        while ((1 << m_codeBits) < mapSize)
            ++m_codeBits;
        std::vector<GifColorType> colours(std::size_t(mapSize), GifColorType{0, 0, 0});
        for (std::size_t i = 0; i < palette.size(); ++i)
            colours[i] = GifColorType{GifByteType(palette[i] >> 16), GifByteType(palette[i] >> 8), GifByteType(palette[i])};
        ColorMapObject *map = GifMakeMapObject(mapSize, colours.data());
        if (!map)
            return false;
        EGifSetGifVersion(m_gif.get(), true);
        const bool described = EGifPutScreenDesc(m_gif.get(), m_size.width(), m_size.height(), 8, 0, map) != GIF_ERROR;
        GifFreeMapObject(map);
        if (!described)
            return false;
        if (!loop)
            return true; // no looping block: browsers play it once
        static const GifByteType kNetscape[] = "NETSCAPE2.0";
        static const GifByteType kForever[] = {1, 0, 0};
        return EGifPutExtensionLeader(m_gif.get(), APPLICATION_EXT_FUNC_CODE) != GIF_ERROR
               && EGifPutExtensionBlock(m_gif.get(), 11, kNetscape) != GIF_ERROR
               && EGifPutExtensionBlock(m_gif.get(), 3, kForever) != GIF_ERROR
               && EGifPutExtensionTrailer(m_gif.get()) != GIF_ERROR;
    }

    // The area `area` of `indices` (a whole frame), shown for `delay` hundredths of a second; where
    // `shown` (the frame on screen before, or null) has the same entry, the pixel is left
    // transparent, which the file holds in fewer bytes. A delay beyond the format's 16 bits goes on
    // in 1 × 1 frames that change nothing.
    bool frame(const quint8 *indices, const quint8 *shown, QRect area, qint64 delay, qint64 &written)
    {
        const qint64 first = piece(delay);
        if (!put(indices, shown, area, int(first)))
            return false;
        ++written;
        for (qint64 left = delay - first; left > 0; ++written) {
            const qint64 more = piece(left);
            if (!put(indices, nullptr, QRect(0, 0, 1, 1), int(more)))
                return false;
            left -= more;
        }
        return true;
    }

    bool finish()
    {
        int code = 0;
        return EGifCloseFile(m_gif.release(), &code) != GIF_ERROR;
    }

private:
    // At most 65,535 hundredths, and never leaving less than 2 for the next piece.
    static qint64 piece(qint64 delay)
    {
        if (delay <= 65535)
            return delay;
        return delay - 65535 < 2 ? 65533 : 65535;
    }

    bool put(const quint8 *indices, const quint8 *shown, QRect area, int delay)
    {
        // Transparent where that makes the frame smaller: within a moving picture's flat colours it
        // often does not.
        if (m_transparent < 0 || (shown && lzwBits(indices, shown, m_transparent, area, m_size.width(), std::max(2, m_codeBits))
                                               >= lzwBits(indices, nullptr, m_transparent, area, m_size.width(), std::max(2, m_codeBits))))
            shown = nullptr;
        GraphicsControlBlock control;
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = delay;
        control.TransparentColor = shown ? m_transparent : NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(m_gif.get(), GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_ERROR
            || EGifPutImageDesc(m_gif.get(), area.x(), area.y(), area.width(), area.height(), false, nullptr) == GIF_ERROR)
            return false;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const std::size_t from = std::size_t(y) * std::size_t(m_size.width()) + std::size_t(area.x());
            auto *line = const_cast<GifPixelType *>(indices + from);
            if (shown) {
                for (int x = 0; x < area.width(); ++x)
                    m_line[std::size_t(x)] = indices[from + std::size_t(x)] == shown[from + std::size_t(x)] ? GifPixelType(m_transparent)
                                                                                                          : indices[from + std::size_t(x)];
                line = m_line.data();
            }
            if (EGifPutLine(m_gif.get(), line, area.width()) == GIF_ERROR)
                return false;
        }
        return true;
    }

    QSize m_size;
    int m_transparent = -1;
    int m_codeBits = 8; // the palette's
    std::vector<GifPixelType> m_line;
    std::unique_ptr<GifFileType, GifCloser> m_gif;
};

} // namespace

bool encodeGif(const FrameStream &stream, const AnimationOptions &options, Animation &made, QString *error)
{
    const QSize size = stream.size();
    if (size.width() > 65535 || size.height() > 65535) {
        *error = QStringLiteral("%1 × %2 ドットの GIF は作れません。").arg(QString::number(size.width()), QString::number(size.height()));
        return false;
    }
    // First every colour of every frame; the frames are drawn again to be written.
    auto census = std::make_unique<ColourCensus>();
    if (!passed(stream.each(
                    [&](qint64, const QImage &frame, bool repeats) {
                        if (!repeats)
                            census->add(frame);
                        return true;
                    },
                    0.0, 0.5),
                error))
        return false;
    // Up to 255 colours stay exact beside the entry for transparency; 256 stay exact without it.
    std::vector<quint32> palette = census->exact(255);
    bool transparency = true;
    if (palette.empty()) {
        palette = census->exact(256);
        transparency = palette.empty();
    }
    if (palette.empty())
        palette = census->quantised(255);
    census.reset();
    if (palette.empty())
        palette.push_back(0);
    const auto index = std::make_unique<ColourIndex>(std::move(palette));
    const std::size_t pixels = std::size_t(size.width()) * std::size_t(size.height());
    std::vector<quint8> pending(pixels), current(pixels), shown(pixels);

    GifWriter writer(made.parts.emplace_back(), size);
    const QString unwritable = QStringLiteral("GIF にできません。");
    if (!writer.begin(index->palette(), transparency ? int(index->palette().size()) : -1, options.loop)) {
        *error = unwritable;
        return false;
    }
    // The frame written last, as it stands on screen once written.
    bool haveShown = false;
    const auto write = [&](QRect area, qint64 delay) {
        if (!writer.frame(pending.data(), haveShown ? shown.data() : nullptr, area, delay, made.fileFrames))
            return false;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const std::size_t from = std::size_t(y) * std::size_t(size.width()) + std::size_t(area.x());
            std::memcpy(shown.data() + from, pending.data() + from, std::size_t(area.width()));
        }
        haveShown = true;
        return true;
    };
    // Each frame is written once the next different one is known, as only then is its delay.
    bool havePending = false;
    QRect pendingArea;
    qint64 pendingStart = 0;
    bool failed = false;
    const FrameStream::Pass pass = stream.each(
        [&](qint64 k, const QImage &frame, bool repeats) {
            if (repeats)
                return true;
            index->map(frame, current.data());
            const QRect area = havePending ? changedArea(pending.data(), current.data(), size) : QRect(QPoint(0, 0), size);
            if (area.isEmpty())
                return true;
            const qint64 start = frameStart(AnimationFormat::Gif, k, options.fps);
            if (havePending && !write(pendingArea, start - pendingStart))
                return !(failed = true);
            pending.swap(current);
            pendingArea = area;
            pendingStart = start;
            havePending = true;
            return true;
        },
        0.5, 1.0);
    if (!failed && !passed(pass, error))
        return false;
    const qint64 total = frameStart(AnimationFormat::Gif, stream.count(), options.fps);
    if (failed || (havePending && !write(pendingArea, total - pendingStart))
        || !writer.finish()) {
        *error = unwritable;
        return false;
    }
    return true;
}

} // namespace velra::animation
