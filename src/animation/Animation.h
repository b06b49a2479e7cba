#pragma once

#include <QByteArray>
#include <QList>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The motion as one file any browser or chat program plays: an animated WebP (lossless or lossy) or
// GIF made from the renderer's frames, streamed one frame at a time into the encoder.
namespace velra::render {
class FrameRenderer;
}

namespace velra::animation {

enum class AnimationFormat { WebP, Gif };

// The preview window's speed when none is named.
inline constexpr int kDefaultFps = 30;

// The scales an export offers: the window's size divided by 1 to 4.
inline constexpr int kMostScale = 4;
// Frames kept: every one, or every K-th at most.
inline constexpr int kMostEvery = 10;

struct AnimationOptions
{
    AnimationFormat format = AnimationFormat::WebP;
    int fps = kDefaultFps;
    int scale = 1;   // each frame scaled smoothly to 1/scale of the window's size
    int every = 1;   // every K-th frame kept, shown K times as long: the motion keeps its length
    int quality = 0; // WebP: 0 lossless, else lossy at libwebp's quality 1-100
    bool loop = true; // forever, else once
    // The largest file wanted, in bytes (0: any): the export writes the best that fits, lowering
    // the quality (WebP), then the size. Heeded by exportAnimation (Export.h).
    qint64 maxBytes = 0;
};

// "4000000", "4000K", "4M" (K and M are 1,000 and 1,000,000) as bytes; 0 for anything else.
qint64 sizeOf(const QString &text);

// What an export made: the file's bytes, the run's frames, and the frames the file holds once
// repeats are merged. The bytes are in parts that may be the encoder's own buffers, held by
// `owners`: no copy is made of a file that may be hundreds of megabytes.
struct Animation
{
    std::vector<std::shared_ptr<void>> owners; // before the parts: they go first
    QList<QByteArray> parts;                   // the file, in order
    qint64 runFrames = 0;
    qint64 fileFrames = 0;

    qint64 size() const
    {
        qint64 total = 0;
        for (const QByteArray &part : parts)
            total += part.size();
        return total;
    }
    // The whole file in one piece (a copy: for reading it back).
    QByteArray bytes() const
    {
        QByteArray whole;
        for (const QByteArray &part : parts)
            whole += part;
        return whole;
    }
};

// The format named by the file's extension (".webp", ".gif", any case); false for any other.
bool animationFormatOf(const QString &path, AnimationFormat &format);
// The highest speed a format plays as timed: a frame of 10 ms or less plays as 100 ms in browsers,
// so a GIF (hundredths) takes 50 frames a second and a WebP (milliseconds) 90.
int fpsLimit(AnimationFormat format);
// Empty when `fps` can be exported; else the sentence refusing it, naming the limit.
QString fpsRefusal(AnimationFormat format, int fps);
// When frame k starts, in the format's grain (milliseconds for WebP, hundredths for GIF): k / fps
// rounded, so that the rounding never accumulates. frameStart(count) is the whole run's length.
qint64 frameStart(AnimationFormat format, qint64 k, int fps);
// The size of the file's frames for a window of `window` pixels: 1/scale of it, rounded to the
// nearest pixel (1/3 of 640 × 480 is 213 × 160).
QSize exportedSize(QSize window, int scale);
// Frame `frame` as the file holds it: as drawn, or scaled down smoothly.
QImage exportedFrame(const QImage &frame, int scale);
// The scale as the author names it: "等倍", "1/2"...
QString scaleName(int scale);

// The file's bytes in memory. `progress` hears the share done (0 to 1) after every frame and stops
// the export by answering false. False with `error` on a failure (nothing made) or a stop (`error`
// empty). Writing them to a file is exportAnimation's (Export.h).
bool encodeAnimation(const render::FrameRenderer &renderer, const AnimationOptions &options, Animation &made, QString *error,
                     const std::function<bool(double done)> &progress = {});

namespace testing {
// How much a WebP's stretch may make before it is assembled (64 MiB; a test makes long runs short).
void setWebPStretchBytes(qint64 bytes);
} // namespace testing

} // namespace velra::animation
