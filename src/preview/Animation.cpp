#include "Animation.h"

#include "FrameRenderer.h"

#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#ifdef VELRA_HAVE_ANIMATION
#include <gif_lib.h>
#include <webp/encode.h>
#include <webp/mux.h>
#endif

namespace velra::preview {

bool animationFormatOf(const QString &path, AnimationFormat &format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("webp"))
        format = AnimationFormat::WebP;
    else if (suffix == QLatin1String("gif"))
        format = AnimationFormat::Gif;
    else
        return false;
    return true;
}

int fpsLimit(AnimationFormat format)
{
    return format == AnimationFormat::Gif ? 50 : 90;
}

QString fpsRefusal(AnimationFormat format, int fps)
{
    if (fps >= 1 && fps <= fpsLimit(format))
        return QString();
    const QString name = format == AnimationFormat::Gif ? QStringLiteral("GIF") : QStringLiteral("WebP");
    return QStringLiteral("%1 の速さは 1 から %2 コマ/秒までです（%3 コマ/秒は指定できません）。")
        .arg(name, QString::number(fpsLimit(format)), QString::number(fps));
}

qint64 frameStart(AnimationFormat format, qint64 k, int fps)
{
    const qint64 grain = format == AnimationFormat::Gif ? 100 : 1000;
    return (2 * k * grain + fps) / (2 * qint64(fps));
}

QSize exportedSize(QSize window, bool half)
{
    return half ? QSize(qMax(1, window.width() / 2), qMax(1, window.height() / 2)) : window;
}

QImage exportedFrame(const QImage &frame, bool half)
{
    if (!half)
        return frame;
    QImage scaled = frame.scaled(exportedSize(frame.size(), true), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.format() != QImage::Format_RGB32)
        scaled = scaled.convertToFormat(QImage::Format_RGB32);
    return scaled;
}

#ifndef VELRA_HAVE_ANIMATION

bool exportAnimation(const FrameRenderer &, const AnimationOptions &, Animation &, QString *error,
                     const std::function<bool(double)> &)
{
    *error = QStringLiteral("この版ではアニメーションを書き出せません。");
    return false;
}

#else

namespace {

const QString kNoMemory = QStringLiteral("メモリが足りないため、アニメーションを作れません。");

// The run's frames in order, as the file holds them, each with whether it shows exactly what the
// frame before showed (then it only lengthens that one).
class FrameStream
{
public:
    enum class Pass { Drawn, Stopped, NoMemory };

    FrameStream(const FrameRenderer &renderer, bool half, const std::function<bool(double)> &progress)
        : m_renderer(renderer)
        , m_half(half)
        , m_progress(progress)
    {
    }

    // `take(k, frame, repeats)` for every frame, until it answers false. The progress hears each
    // frame as a share of the export, from `from` to `to`, and stops the pass by answering false.
    template<typename Take>
    Pass each(Take take, double from = 0.0, double to = 1.0) const
    {
        QImage previous;
        bool stopped = false;
        bool noMemory = false;
        const double count = double(this->count());
        const bool drawn = m_renderer.eachFrameImage([&](qsizetype k, const QImage &drawnFrame) {
            // A held frame is the same picture however it is scaled: no need to look.
            bool repeats = k > 0 && m_renderer.repeatsPrevious(k);
            if (!repeats) {
                QImage frame = exportedFrame(drawnFrame, m_half);
                if (frame.isNull())
                    return !(noMemory = true);
                repeats = !previous.isNull() && samePixels(previous, frame);
                if (m_half) {
                    previous = std::move(frame); // scaled afresh for each frame: nobody else holds it
                } else if (!repeats) {
                    // The renderer's canvas is drawn over in place: the next frame is compared
                    // with a copy, made into the same image each time.
                    if (previous.isNull())
                        previous = QImage(frame.size(), QImage::Format_RGB32);
                    if (previous.isNull())
                        return !(noMemory = true);
                    for (int y = 0; y < frame.height(); ++y)
                        std::memcpy(previous.scanLine(y), frame.constScanLine(y), size_t(frame.width()) * 4);
                }
            }
            if (!take(k, previous, repeats))
                return false;
            if (m_progress && !m_progress(from + (to - from) * double(k + 1) / count))
                return !(stopped = true);
            return true;
        });
        if (!drawn || noMemory || m_renderer.ranOutOfMemory())
            return Pass::NoMemory;
        return stopped ? Pass::Stopped : Pass::Drawn;
    }

    // Frame k alone, drawn afresh.
    QImage frame(qint64 k) const { return exportedFrame(m_renderer.frameImage(k), m_half); }
    qint64 count() const { return m_renderer.frames().frameCount(); }
    QSize size() const { return exportedSize(m_renderer.windowSize(), m_half); }

private:
    static bool samePixels(const QImage &a, const QImage &b)
    {
        for (int y = 0; y < a.height(); ++y)
            if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width()) * 4) != 0)
                return false;
        return true;
    }

    const FrameRenderer &m_renderer;
    bool m_half;
    const std::function<bool(double)> &m_progress;
};

// Whether a pass went through; else `error` says why (empty when the author stopped it).
bool passed(FrameStream::Pass pass, QString *error)
{
    if (pass == FrameStream::Pass::Drawn)
        return true;
    *error = pass == FrameStream::Pass::Stopped ? QString() : kNoMemory;
    return false;
}

// ---- WebP: lossless, through libwebp's animation encoder (which cuts sub-frames itself).

struct WebPEncoderDeleter
{
    void operator()(WebPAnimEncoder *encoder) const { WebPAnimEncoderDelete(encoder); }
};

bool exportWebP(const FrameStream &stream, const AnimationOptions &options, Animation &made, QString *error)
{
    const QSize size = stream.size();
    if (size.width() > WEBP_MAX_DIMENSION || size.height() > WEBP_MAX_DIMENSION) {
        *error = QStringLiteral("%1 × %2 ドットの WebP は作れません（縦横 %3 ドットまでです。半分の大きさならできます）。")
                     .arg(QString::number(size.width()), QString::number(size.height()), QString::number(WEBP_MAX_DIMENSION));
        return false;
    }
    const qint64 total = frameStart(AnimationFormat::WebP, stream.count(), options.fps);
    if (total > INT_MAX) {
        *error = QStringLiteral("再生時間が長すぎるため、WebP にできません。");
        return false;
    }
    WebPAnimEncoderOptions encoderOptions;
    WebPConfig config;
    if (!WebPAnimEncoderOptionsInit(&encoderOptions) || !WebPConfigInit(&config)) {
        *error = QStringLiteral("WebP の書き出しを準備できません。");
        return false;
    }
    // Once: a loop count of 1; forever: 0.
    encoderOptions.anim_params.loop_count = options.loop ? 0 : 1;
    encoderOptions.anim_params.bgcolor = 0xff000000;
    config.lossless = 1;
    config.exact = 1;
    // The fastest lossless effort: the frames of a scroll differ by a shift, which the sub-frames
    // already catch; a slower method saves little on them.
    config.method = 0;
    config.quality = 25;
    const std::unique_ptr<WebPAnimEncoder, WebPEncoderDeleter> encoder(
        WebPAnimEncoderNew(size.width(), size.height(), &encoderOptions));
    if (!encoder) {
        *error = kNoMemory;
        return false;
    }
    QString failed;
    const FrameStream::Pass pass = stream.each([&](qint64 k, const QImage &frame, bool repeats) {
        if (repeats)
            return true;
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = frame.width();
        picture.height = frame.height();
        // The frame's own pixels, borrowed: the encoder copies what it keeps.
        picture.argb = reinterpret_cast<uint32_t *>(const_cast<uchar *>(frame.constBits()));
        picture.argb_stride = int(frame.bytesPerLine() / 4);
        if (!WebPAnimEncoderAdd(encoder.get(), &picture, int(frameStart(AnimationFormat::WebP, k, options.fps)), &config)) {
            failed = QStringLiteral("WebP にできません（%1）。").arg(QString::fromUtf8(WebPAnimEncoderGetError(encoder.get())));
            return false;
        }
        ++made.fileFrames;
        return true;
    });
    if (!failed.isEmpty()) {
        *error = failed;
        return false;
    }
    if (!passed(pass, error))
        return false;
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAdd(encoder.get(), nullptr, int(total), nullptr) || !WebPAnimEncoderAssemble(encoder.get(), &data)) {
        *error = QStringLiteral("WebP にできません（%1）。").arg(QString::fromUtf8(WebPAnimEncoderGetError(encoder.get())));
        WebPDataClear(&data);
        return false;
    }
    // The format counts its length in 32 bits.
    if (data.size > 0xffffffffu || data.size > size_t(std::numeric_limits<qsizetype>::max())) {
        WebPDataClear(&data);
        *error = QStringLiteral("WebP ファイルが 4 GiB を超えるため、書き出せません（半分の大きさか GIF をお試しください）。");
        return false;
    }
    made.bytes = QByteArray(reinterpret_cast<const char *>(data.bytes), qsizetype(data.size));
    WebPDataClear(&data);
    return true;
}

// ---- GIF: one palette and one colour-to-index table for the whole run.

// The colours of the frames, counted up to one past what a palette holds.
class ColourCount
{
public:
    // False once more than 256 colours were seen.
    bool add(const QImage &frame)
    {
        for (int y = 0; y < frame.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                const quint32 rgb = line[x] & 0xffffff;
                if (rgb == m_last)
                    continue;
                m_last = rgb;
                if (!insert(rgb))
                    return false;
            }
        }
        return true;
    }
    std::vector<quint32> colours() const
    {
        std::vector<quint32> sorted;
        for (const quint32 slot : m_slots)
            if (slot != kEmpty)
                sorted.push_back(slot);
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

private:
    static constexpr quint32 kEmpty = 0xffffffffu;
    bool insert(quint32 rgb)
    {
        std::size_t i = (rgb * 2654435761u) >> 22; // 1,024 slots
        while (m_slots[i] != kEmpty) {
            if (m_slots[i] == rgb)
                return true;
            i = (i + 1) & 1023;
        }
        if (++m_count > 256)
            return false;
        m_slots[i] = rgb;
        return true;
    }
    std::vector<quint32> m_slots = std::vector<quint32>(1024, kEmpty);
    int m_count = 0;
    quint32 m_last = kEmpty;
};

// Colour to palette index, the nearest entry, worked out once per colour for the whole run: the
// same colour gets the same index in every frame, so a still background never shimmers.
class ColourIndex
{
public:
    explicit ColourIndex(std::vector<quint32> palette) : m_palette(std::move(palette))
    {
        m_index.assign(std::size_t(1) << 24, 0);
        m_known.assign((std::size_t(1) << 24) / 64, 0);
        for (std::size_t i = 0; i < m_palette.size(); ++i)
            remember(m_palette[i], quint8(i));
    }
    const std::vector<quint32> &palette() const { return m_palette; }

    void map(const QImage &frame, quint8 *out)
    {
        for (int y = 0; y < frame.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                const quint32 rgb = line[x] & 0xffffff;
                if (rgb != m_last) {
                    m_last = rgb;
                    m_lastIndex = indexOf(rgb);
                }
                *out++ = m_lastIndex;
            }
        }
    }

private:
    quint8 indexOf(quint32 rgb)
    {
        if (m_known[rgb >> 6] & (quint64(1) << (rgb & 63)))
            return m_index[rgb];
        int best = 0;
        qint64 bestDistance = LLONG_MAX;
        for (std::size_t i = 0; i < m_palette.size(); ++i) {
            const quint32 p = m_palette[i];
            const qint64 dr = qint64((p >> 16) & 255) - qint64((rgb >> 16) & 255);
            const qint64 dg = qint64((p >> 8) & 255) - qint64((rgb >> 8) & 255);
            const qint64 db = qint64(p & 255) - qint64(rgb & 255);
            const qint64 distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = int(i);
            }
        }
        remember(rgb, quint8(best));
        return quint8(best);
    }
    void remember(quint32 rgb, quint8 index)
    {
        m_index[rgb] = index;
        m_known[rgb >> 6] |= quint64(1) << (rgb & 63);
    }

    std::vector<quint32> m_palette;
    std::vector<quint8> m_index;
    std::vector<quint64> m_known;
    quint32 m_last = 0xffffffffu;
    quint8 m_lastIndex = 0;
};

// A palette for more than 256 colours: giflib's median cut over pixels sampled from frames spread
// over the run, each frame drawn, sampled and let go.
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

class GifWriter
{
public:
    GifWriter(QByteArray &out, QSize size) : m_size(size)
    {
        int code = 0;
        m_gif.reset(EGifOpen(&out, appendBytes, &code));
    }

    bool begin(const std::vector<quint32> &palette, bool loop)
    {
        if (!m_gif)
            return false;
        int mapSize = 2;
        while (mapSize < int(palette.size()))
            mapSize *= 2;
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

    // The area `area` of `indices` (a whole frame), shown for `delay` hundredths of a second. A
    // delay beyond the format's 16 bits goes on in 1 × 1 frames that change nothing.
    bool frame(const quint8 *indices, QRect area, qint64 delay, qint64 &written)
    {
        const qint64 first = piece(delay);
        if (!put(indices, area, int(first)))
            return false;
        ++written;
        for (qint64 left = delay - first; left > 0; ++written) {
            const qint64 more = piece(left);
            if (!put(indices, QRect(0, 0, 1, 1), int(more)))
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

    bool put(const quint8 *indices, QRect area, int delay)
    {
        GraphicsControlBlock control;
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = delay;
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(m_gif.get(), GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_ERROR
            || EGifPutImageDesc(m_gif.get(), area.x(), area.y(), area.width(), area.height(), false, nullptr) == GIF_ERROR)
            return false;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            auto *line = const_cast<GifPixelType *>(indices + std::size_t(y) * std::size_t(m_size.width()) + std::size_t(area.x()));
            if (EGifPutLine(m_gif.get(), line, area.width()) == GIF_ERROR)
                return false;
        }
        return true;
    }

    QSize m_size;
    std::unique_ptr<GifFileType, GifCloser> m_gif;
};

bool exportGif(const FrameStream &stream, const AnimationOptions &options, Animation &made, QString *error)
{
    const QSize size = stream.size();
    if (size.width() > 65535 || size.height() > 65535) {
        *error = QStringLiteral("%1 × %2 ドットの GIF は作れません。").arg(QString::number(size.width()), QString::number(size.height()));
        return false;
    }
    // First the colours: every frame's, while they fit one palette; past that, a palette made from
    // a sample. The count is half the work when it runs to the end.
    ColourCount colours;
    bool few = true;
    if (!passed(stream.each(
                    [&](qint64, const QImage &frame, bool repeats) {
                        if (!repeats && !colours.add(frame))
                            few = false;
                        return few;
                    },
                    0.0, 0.5),
                error))
        return false;
    std::vector<quint32> palette;
    if (few)
        palette = colours.colours();
    else if (!quantisedPalette(stream, palette)) {
        *error = kNoMemory;
        return false;
    }
    if (palette.empty())
        palette.push_back(0);
    const auto index = std::make_unique<ColourIndex>(std::move(palette));
    std::vector<quint8> pending(std::size_t(size.width()) * std::size_t(size.height()));
    std::vector<quint8> current(pending.size());

    GifWriter writer(made.bytes, size);
    const QString unwritable = QStringLiteral("GIF にできません。");
    if (!writer.begin(index->palette(), options.loop)) {
        *error = unwritable;
        return false;
    }
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
            if (havePending && !writer.frame(pending.data(), pendingArea, start - pendingStart, made.fileFrames))
                return !(failed = true);
            pending.swap(current);
            pendingArea = area;
            pendingStart = start;
            havePending = true;
            return true;
        },
        few ? 0.5 : 0.0, 1.0);
    if (!failed && !passed(pass, error))
        return false;
    const qint64 total = frameStart(AnimationFormat::Gif, stream.count(), options.fps);
    if (failed || (havePending && !writer.frame(pending.data(), pendingArea, total - pendingStart, made.fileFrames))
        || !writer.finish()) {
        *error = unwritable;
        return false;
    }
    return true;
}

} // namespace

bool exportAnimation(const FrameRenderer &renderer, const AnimationOptions &options, Animation &made, QString *error,
                     const std::function<bool(double)> &progress)
{
    made = Animation();
    if (const QString refused = fpsRefusal(options.format, options.fps); !refused.isEmpty()) {
        *error = refused;
        return false;
    }
    made.runFrames = renderer.frames().frameCount();
    const FrameStream stream(renderer, options.half, progress);
    bool done = false;
    try {
        done = options.format == AnimationFormat::WebP ? exportWebP(stream, options, made, error)
                                                       : exportGif(stream, options, made, error);
    } catch (const std::bad_alloc &) {
        *error = kNoMemory;
    }
    if (!done)
        made = Animation();
    return done;
}

#endif

} // namespace velra::preview
