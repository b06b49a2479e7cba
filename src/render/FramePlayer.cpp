#include "FramePlayer.h"

#include <QElapsedTimer>

namespace velra::render {

FramePlayer::FramePlayer(const FrameRenderer &renderer, qint64 memoryBudget)
    : m_renderer(renderer)
    , m_budget(memoryBudget)
{
}

void FramePlayer::setCanvasSize(QSize size)
{
    if (size == m_size)
        return;
    m_size = size;
    m_canvas = QImage();
    m_ahead = QImage();
    m_at = m_aheadAt = -1;
    m_checkpoints.clear();
    m_every = 32;
}

void FramePlayer::fresh(QImage &canvas) const
{
    if (canvas.size() != m_size)
        canvas = QImage(m_size, QImage::Format_ARGB32_Premultiplied);
}

void FramePlayer::keepCheckpoint(qsizetype j, const QImage &canvas)
{
    if (j % m_every != 0 || m_checkpoints.count(j) || canvas.isNull())
        return;
    m_checkpoints.emplace(j, canvas.copy());
    // Within the budget: every other checkpoint goes, and they are kept twice as far apart.
    const qint64 each = qint64(canvas.sizeInBytes());
    while (each > 0 && qint64(m_checkpoints.size()) * each > m_budget && m_every < (qsizetype(1) << 40)) {
        m_every *= 2;
        for (auto it = m_checkpoints.begin(); it != m_checkpoints.end();)
            it = it->first % m_every ? m_checkpoints.erase(it) : std::next(it);
    }
}

const QImage &FramePlayer::frame(qsizetype k)
{
    approach(k, -1);
    return m_canvas;
}

bool FramePlayer::approach(qsizetype k, int milliseconds)
{
    const ScriptFrames &frames = m_renderer.frames();
    if (m_size.isEmpty() || frames.frameCount() == 0)
        return true;
    k = qBound(qsizetype(0), k, frames.frameCount() - 1);
    if (k == m_at && !m_canvas.isNull())
        return true;
    QElapsedTimer spent;
    spent.start();
    // Where to start: frame k's own first line, the frame the canvas holds, or a checkpoint -
    // whichever leaves the fewest lines to draw. A frame continues another only when both are
    // drawn from the same first line: the picture is then exactly the one drawn from scratch.
    const qsizetype first = m_renderer.firstLineOf(k);
    qsizetype start = -1; // -1: fresh from `first`
    qsizetype cost = frames.frameEnd(k) - first;
    const auto consider = [&](qsizetype j) {
        if (j >= 0 && j <= k && m_renderer.firstLineOf(j) == first && frames.frameEnd(k) - frames.frameEnd(j) < cost) {
            cost = frames.frameEnd(k) - frames.frameEnd(j);
            start = j;
        }
    };
    if (!m_canvas.isNull() && m_at >= 0)
        consider(m_at);
    auto checkpoint = m_checkpoints.upper_bound(k);
    if (checkpoint != m_checkpoints.begin())
        consider(std::prev(checkpoint)->first);
    if (start < 0) {
        // Fresh: from the first frame drawn from the same first line as k.
        qsizetype j = k;
        while (j > 0 && m_renderer.firstLineOf(j - 1) == first)
            --j;
        fresh(m_canvas);
        m_renderer.drawOnto(m_canvas, j, true, m_renderer.viewArea());
        keepCheckpoint(j, m_canvas);
        start = j;
    } else if (start != m_at) {
        m_canvas = m_checkpoints.at(start).copy();
    }
    m_at = start;
    while (m_at < k) {
        if (milliseconds >= 0 && spent.elapsed() >= milliseconds)
            return false;
        m_renderer.drawOnto(m_canvas, m_at + 1, false, m_renderer.viewArea());
        ++m_at;
        keepCheckpoint(m_at, m_canvas);
    }
    return true;
}

bool FramePlayer::prepare(int milliseconds)
{
    const ScriptFrames &frames = m_renderer.frames();
    if (m_size.isEmpty() || m_aheadAt + 1 >= frames.frameCount())
        return false;
    QElapsedTimer spent;
    spent.start();
    while (m_aheadAt + 1 < frames.frameCount() && spent.elapsed() < milliseconds) {
        const qsizetype j = m_aheadAt + 1;
        const bool isFresh = m_aheadAt < 0 || m_renderer.firstLineOf(j) != m_renderer.firstLineOf(m_aheadAt);
        if (isFresh)
            fresh(m_ahead);
        m_renderer.drawOnto(m_ahead, j, isFresh, m_renderer.viewArea());
        keepCheckpoint(j, m_ahead);
        m_aheadAt = j;
    }
    return m_aheadAt + 1 < frames.frameCount();
}

} // namespace velra::render
