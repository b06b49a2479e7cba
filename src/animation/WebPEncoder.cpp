#include "Encoders.h"
#include "FrameStream.h"

#include <climits>
#include <cstring>
#include <limits>
#include <memory>

#include <webp/encode.h>
#include <webp/mux.h>

namespace velra::animation {

namespace {

struct WebPEncoderDeleter
{
    void operator()(WebPAnimEncoder *encoder) const { WebPAnimEncoderDelete(encoder); }
};

// Longer than this, a still stretch is cut: the format's 24-bit durations end at 2^24 - 1 ms.
constexpr qint64 kLongestStill = qint64(1) << 23;
// What the frames of one stretch of a long run may make before it is assembled (tests make it small).
qint64 kStretchBytes = qint64(64) << 20;

quint32 littleEndian32(const uint8_t *at)
{
    return quint32(at[0]) | quint32(at[1]) << 8 | quint32(at[2]) << 16 | quint32(at[3]) << 24;
}

// Where the frames (ANMF chunks) of an assembled animation begin: after its head (RIFF, VP8X,
// ANIM); 0 when it is not laid out so.
std::size_t framesStart(const WebPData &data)
{
    std::size_t at = 12;
    while (at + 8 <= data.size) {
        if (std::memcmp(data.bytes + at, "ANMF", 4) == 0)
            return at;
        at += 8 + ((std::size_t(littleEndian32(data.bytes + at + 4)) + 1) & ~std::size_t(1));
    }
    return 0;
}

// The stretches as one file: the first's head, its RIFF size and VP8X flags made the whole's,
// then every stretch's frames as they lie in its assembled data (no copy). One stretch is its
// own file.
bool joined(const std::vector<std::shared_ptr<WebPData>> &stretches, Animation &made, QString *error)
{
    const auto view = [](const WebPData &data, std::size_t from, std::size_t to) {
        return QByteArray::fromRawData(reinterpret_cast<const char *>(data.bytes) + from, qsizetype(to - from));
    };
    std::size_t total = 0;
    for (const auto &stretch : stretches)
        total += stretch->size;
    QByteArray head;
    if (stretches.size() > 1) {
        const std::size_t first = framesStart(*stretches.front());
        if (first < 30) {
            *error = QStringLiteral("WebP にできません（組み立てた形が読めません）。");
            return false;
        }
        quint8 flags = 0;
        for (const auto &stretch : stretches) {
            const std::size_t start = framesStart(*stretch);
            if (start < 30) {
                *error = QStringLiteral("WebP にできません（組み立てた形が読めません）。");
                return false;
            }
            flags |= stretch->bytes[20]; // VP8X's flags: alpha in any stretch is the file's
            total -= start;
        }
        total += first;
        head = view(*stretches.front(), 0, first);
        head.detach();
        const quint32 riff = quint32(total - 8);
        for (int i = 0; i < 4; ++i)
            head[4 + i] = char(riff >> (8 * i));
        head[20] = char(flags);
    }
    // The format counts its length in 32 bits.
    if (total > 0xffffffffu || total > std::size_t(std::numeric_limits<qsizetype>::max())) {
        *error = QStringLiteral("WebP ファイルが 4 GiB を超えるため、書き出せません（小さな大きさか GIF をお試しください）。");
        return false;
    }
    made.fileFrames = 0;
    for (const auto &stretch : stretches) {
        // The encoder merges what it finds unchanged: the file's own count of frames.
        if (WebPMux *mux = WebPMuxCreate(stretch.get(), 0)) {
            int frames = 0;
            if (WebPMuxNumChunks(mux, WEBP_CHUNK_ANMF, &frames) == WEBP_MUX_OK)
                made.fileFrames += frames;
            WebPMuxDelete(mux);
        }
        made.owners.push_back(stretch);
    }
    if (stretches.size() == 1) {
        made.parts = {view(*stretches.front(), 0, stretches.front()->size)};
        return true;
    }
    made.parts = {head};
    for (const auto &stretch : stretches)
        made.parts.append(view(*stretch, framesStart(*stretch), stretch->size));
    return true;
}

} // namespace

void testing::setWebPStretchBytes(qint64 bytes)
{
    kStretchBytes = bytes;
}

bool encodeWebP(const FrameStream &stream, const AnimationOptions &options, Animation &made, QString *error)
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
    if (options.quality > 0) {
        // libwebp's own lossy settings at the author's quality, as its img2webp -lossy makes them.
        config.lossless = 0;
        config.quality = float(options.quality);
    } else {
        config.lossless = 1;
        config.exact = 1;
        // The fastest lossless effort: the frames of a scroll differ by a shift, which the
        // sub-frames already catch; a slower method saves little on them.
        config.method = 0;
        config.quality = 25;
    }
    // A long run is encoded a stretch at a time: libwebp's encoder holds every encoded frame until
    // it assembles them into a second whole copy, so each stretch is assembled once its frames
    // would make about kStretchBytes, and its frames are kept as assembled. The stretches' frames
    // follow one another in one file; each stretch starts with a whole frame.
    std::unique_ptr<WebPAnimEncoder, WebPEncoderDeleter> encoder;
    qint64 stretchStart = 0;  // when the stretch's first frame starts
    qint64 stretchBytes = 0;  // what its frames may make, at most
    std::vector<std::shared_ptr<WebPData>> stretches;
    QImage last; // the frame added last, to see how much of the next one changed
    QString failed;
    qint64 lastAdded = 0;
    const auto encoderFailed = [&] {
        failed = QStringLiteral("WebP にできません（%1）。").arg(QString::fromUtf8(WebPAnimEncoderGetError(encoder.get())));
        return false;
    };
    // The stretch so far as one assembled animation, its last frame lasting until `end`.
    const auto closeStretch = [&](qint64 end) {
        WebPData data;
        WebPDataInit(&data);
        if (!WebPAnimEncoderAdd(encoder.get(), nullptr, int(end - stretchStart), nullptr) || !WebPAnimEncoderAssemble(encoder.get(), &data)) {
            WebPDataClear(&data);
            return encoderFailed();
        }
        // The encoded frames go before anything else is kept: the file is written from the assembled data.
        encoder.reset();
        stretches.emplace_back(new WebPData(data), [](WebPData *whole) {
            WebPDataClear(whole);
            delete whole;
        });
        return true;
    };
    const auto add = [&](const QImage &frame, qint64 start) {
        if (encoder && stretchBytes >= kStretchBytes && !closeStretch(start))
            return false;
        if (!encoder) {
            encoder.reset(WebPAnimEncoderNew(size.width(), size.height(), &encoderOptions));
            if (!encoder) {
                failed = noMemoryText();
                return false;
            }
            stretchStart = start;
            stretchBytes = 0;
        }
        // At most 4 bytes a changed pixel lossless, 1 lossy, counted by the rows that changed.
        int top = 0, bottom = frame.height() - 1;
        if (!last.isNull()) {
            const std::size_t row = std::size_t(frame.width()) * 4;
            while (top <= bottom && std::memcmp(frame.constScanLine(top), last.constScanLine(top), row) == 0)
                ++top;
            while (bottom >= top && std::memcmp(frame.constScanLine(bottom), last.constScanLine(bottom), row) == 0)
                --bottom;
        }
        stretchBytes += qint64(bottom - top + 1) * frame.width() * (options.quality > 0 ? 1 : 4);
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = frame.width();
        picture.height = frame.height();
        // The frame's own pixels, borrowed: the encoder copies what it keeps.
        picture.argb = reinterpret_cast<uint32_t *>(const_cast<uchar *>(frame.constBits()));
        picture.argb_stride = int(frame.bytesPerLine() / 4);
        if (!WebPAnimEncoderAdd(encoder.get(), &picture, int(start - stretchStart), &config))
            return encoderFailed();
        if (last.isNull())
            last = QImage(frame.size(), QImage::Format_RGB32);
        for (int y = 0; y < frame.height(); ++y)
            std::memcpy(last.scanLine(y), frame.constScanLine(y), std::size_t(frame.width()) * 4);
        lastAdded = start;
        return true;
    };
    const FrameStream::Pass pass = stream.each([&](qint64 k, const QImage &frame, bool repeats) {
        const qint64 start = frameStart(AnimationFormat::WebP, k, options.fps);
        // A frame shows for at most 2^24 - 1 ms: a longer still stretch shows the frame again.
        if (repeats && start - lastAdded < kLongestStill)
            return true;
        return add(frame, start);
    });
    if (!failed.isEmpty()) {
        *error = failed;
        return false;
    }
    if (!passed(pass, error))
        return false;
    if (encoder && !closeStretch(total)) {
        *error = failed;
        return false;
    }
    return joined(stretches, made, error);
}

} // namespace velra::animation
