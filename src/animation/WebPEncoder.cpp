#include "Encoders.h"
#include "FrameStream.h"

#include <climits>
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

} // namespace

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
    std::unique_ptr<WebPAnimEncoder, WebPEncoderDeleter> encoder(WebPAnimEncoderNew(size.width(), size.height(), &encoderOptions));
    if (!encoder) {
        *error = noMemoryText();
        return false;
    }
    QString failed;
    qint64 lastAdded = 0;
    const auto add = [&](const QImage &frame, qint64 start) {
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = frame.width();
        picture.height = frame.height();
        // The frame's own pixels, borrowed: the encoder copies what it keeps.
        picture.argb = reinterpret_cast<uint32_t *>(const_cast<uchar *>(frame.constBits()));
        picture.argb_stride = int(frame.bytesPerLine() / 4);
        if (!WebPAnimEncoderAdd(encoder.get(), &picture, int(start), &config)) {
            failed = QStringLiteral("WebP にできません（%1）。").arg(QString::fromUtf8(WebPAnimEncoderGetError(encoder.get())));
            return false;
        }
        lastAdded = start;
        ++made.fileFrames;
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
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAdd(encoder.get(), nullptr, int(total), nullptr) || !WebPAnimEncoderAssemble(encoder.get(), &data)) {
        *error = QStringLiteral("WebP にできません（%1）。").arg(QString::fromUtf8(WebPAnimEncoderGetError(encoder.get())));
        WebPDataClear(&data);
        return false;
    }
    // The encoded frames go before the file is written: it is written from the assembled data.
    encoder.reset();
    const std::shared_ptr<WebPData> file(new WebPData(data), [](WebPData *whole) {
        WebPDataClear(whole);
        delete whole;
    });
    // The format counts its length in 32 bits.
    if (file->size > 0xffffffffu || file->size > size_t(std::numeric_limits<qsizetype>::max())) {
        *error = QStringLiteral("WebP ファイルが 4 GiB を超えるため、書き出せません（小さな大きさか GIF をお試しください）。");
        return false;
    }
    // The encoder merges what it finds unchanged: the file's own count of frames, read without a copy.
    if (WebPMux *mux = WebPMuxCreate(file.get(), 0)) {
        int frames = 0;
        if (WebPMuxNumChunks(mux, WEBP_CHUNK_ANMF, &frames) == WEBP_MUX_OK)
            made.fileFrames = frames;
        WebPMuxDelete(mux);
    }
    made.owner = file;
    made.bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(file->bytes), qsizetype(file->size));
    return true;
}

} // namespace velra::animation
