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
    config.lossless = 1;
    config.exact = 1;
    // The fastest lossless effort: the frames of a scroll differ by a shift, which the sub-frames
    // already catch; a slower method saves little on them.
    config.method = 0;
    config.quality = 25;
    const std::unique_ptr<WebPAnimEncoder, WebPEncoderDeleter> encoder(
        WebPAnimEncoderNew(size.width(), size.height(), &encoderOptions));
    if (!encoder) {
        *error = noMemoryText();
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

} // namespace velra::animation
