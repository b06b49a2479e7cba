#pragma once

#include "FrameRenderer.h"

#include <QImage>

#include <map>

// Playing a script frame after frame, as the host draws it: each frame onto the one before (a
// script that draws the background once or never is otherwise drawn from its first line, slower
// with every frame), with checkpoints along the way so that a jump anywhere draws few lines.
namespace velra::render {

class FramePlayer
{
public:
    explicit FramePlayer(const FrameRenderer &renderer, qint64 memoryBudget = qint64(256) << 20);

    // The canvas: the renderer's view area drawn at `size` pixels. Changing it starts afresh.
    void setCanvasSize(QSize size);
    QSize canvasSize() const { return m_size; }

    // Frame k drawn on the canvas, without what render() draws over it.
    const QImage &frame(qsizetype k);
    // Draws towards frame k for about `milliseconds` (negative: as long as it takes) and keeps
    // where it got to; true once the canvas holds frame k. A window asks again in its next
    // moment, so that a far jump never holds it up.
    bool approach(qsizetype k, int milliseconds);
    const QImage &canvas() const { return m_canvas; }
    // The frame the canvas holds (-1: none).
    qsizetype canvasFrame() const { return m_at; }

    // Draws ahead for about `milliseconds`, leaving checkpoints, so that later jumps are quick;
    // false once the whole script has been drawn through.
    bool prepare(int milliseconds);

    qsizetype checkpointCount() const { return qsizetype(m_checkpoints.size()); }

private:
    void keepCheckpoint(qsizetype j, const QImage &canvas);
    // A canvas of the player's size (drawOnto paints it black when it starts afresh).
    void fresh(QImage &canvas) const;

    const FrameRenderer &m_renderer;
    qint64 m_budget;
    QSize m_size;
    QImage m_canvas;
    qsizetype m_at = -1; // the frame m_canvas holds
    QImage m_ahead;      // what prepare() draws on
    qsizetype m_aheadAt = -1;
    std::map<qsizetype, QImage> m_checkpoints;
    qsizetype m_every = 32; // frames between checkpoints, doubled whenever the budget is reached
};

} // namespace velra::render
