#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

// The motion as one file any browser or chat program plays: an animated WebP (lossless) or GIF made
// from the renderer's frames, streamed one frame at a time into the encoder.
namespace velra::render {
class FrameRenderer;
}

namespace velra::animation {

enum class AnimationFormat { WebP, Gif };

// The preview window's speed when none is named.
inline constexpr int kDefaultFps = 30;

struct AnimationOptions
{
    AnimationFormat format = AnimationFormat::WebP;
    int fps = kDefaultFps;
    bool half = false; // each frame scaled smoothly to half the window's size
    bool loop = true;  // forever, else once
};

// What an export made: the file's bytes, the run's frames, and the frames the file holds once
// repeats are merged.
struct Animation
{
    QByteArray bytes;
    qint64 runFrames = 0;
    qint64 fileFrames = 0;
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
// The size of the file's frames for a window of `window` pixels.
QSize exportedSize(QSize window, bool half);
// Frame `frame` as the file holds it: as drawn, or halved smoothly.
QImage exportedFrame(const QImage &frame, bool half);

// The file's bytes in memory. `progress` hears the share done (0 to 1) after every frame and stops
// the export by answering false. False with `error` on a failure (nothing made) or a stop (`error`
// empty). Writing them to a file is exportAnimation's (Export.h).
bool encodeAnimation(const render::FrameRenderer &renderer, const AnimationOptions &options, Animation &made, QString *error,
                     const std::function<bool(double done)> &progress = {});

} // namespace velra::animation
