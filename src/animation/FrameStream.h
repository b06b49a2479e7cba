#pragma once

#include "Animation.h"
#include "render/FrameRenderer.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstring>
#include <functional>

// What every encoder reads: the run's frames in order, as the file holds them.
namespace velra::animation {

// Said when a frame or an encoder's buffer could not be had.
QString noMemoryText();

// The run's frames in order, as the file holds them (every K-th, scaled), each with whether it
// shows exactly what the frame kept before showed (then it only lengthens that one).
class FrameStream
{
public:
    enum class Pass { Drawn, Stopped, NoMemory };

    FrameStream(const render::FrameRenderer &renderer, int scale, int every, const std::function<bool(double)> &progress)
        : m_renderer(renderer)
        , m_scale(scale)
        , m_every(qMax(1, every))
        , m_progress(progress)
    {
    }

    // `take(k, frame, repeats)` for every frame kept (k counts the run's frames), until it answers
    // false. The progress hears each frame as a share of the export, from `from` to `to`, and
    // stops the pass by answering false.
    template<typename Take>
    Pass each(Take take, double from = 0.0, double to = 1.0) const
    {
        QImage previous;
        bool stopped = false;
        bool noMemory = false;
        const double count = double(this->count());
        // Whether every frame since the one kept last was held (the same picture as the one before).
        bool heldSinceKept = true;
        // Frame k is done, kept or not: the progress hears it, and may stop the pass.
        const auto told = [&](qsizetype k) {
            stopped = m_progress && !m_progress(from + (to - from) * double(k + 1) / count);
            return !stopped;
        };
        const bool drawn = m_renderer.eachFrameImage([&](qsizetype k, const QImage &drawnFrame) {
            heldSinceKept = heldSinceKept && k > 0 && m_renderer.repeatsPrevious(k);
            if (k % m_every != 0)
                return told(k);
            // A held frame is the same picture however it is scaled: no need to look.
            bool repeats = heldSinceKept;
            heldSinceKept = true;
            if (!repeats) {
                QImage frame = exportedFrame(drawnFrame, m_scale);
                if (frame.isNull())
                    return !(noMemory = true);
                repeats = !previous.isNull() && samePixels(previous, frame);
                if (m_scale > 1) {
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
            return take(k, previous, repeats) && told(k);
        });
        if (!drawn || noMemory || m_renderer.ranOutOfMemory())
            return Pass::NoMemory;
        return stopped ? Pass::Stopped : Pass::Drawn;
    }

    qint64 count() const { return m_renderer.frames().frameCount(); }
    QSize size() const { return exportedSize(m_renderer.windowSize(), m_scale); }

private:
    static bool samePixels(const QImage &a, const QImage &b);

    const render::FrameRenderer &m_renderer;
    int m_scale;
    int m_every;
    const std::function<bool(double)> &m_progress;
};

// Whether a pass went through; else `error` says why (empty when the author stopped it).
bool passed(FrameStream::Pass pass, QString *error);

} // namespace velra::animation
