#pragma once

#include "model/Run.h"
#include "script/ScriptFrames.h"

#include <QHash>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QStringList>

#include <functional>
#include <map>
#include <tuple>

class QPainter;

// Drawing the frames of a script as the host will show them. One renderer serves the preview
// window, the command line's contact sheet and single frames, and the tests.
namespace velra::render {

// The host window's size from the settings log's values: false unless both are positive whole
// numbers.
bool windowSizeOf(const Run &run, QSize &size);

class FrameRenderer
{
public:
    // `window` is the host window's size; `paths` says, by the file name in the script, where
    // each picture is on disk. Pictures are decoded here, once.
    // `decoded`, when given, keeps the decoded pictures by path for the next renderer.
    FrameRenderer(const ScriptFrames &frames, QSize window, const QHash<QString, QString> &paths,
                  QHash<QString, QImage> *decoded = nullptr);

    const ScriptFrames &frames() const { return m_frames; }
    QSize windowSize() const { return m_window; }
    // One Japanese sentence for each picture that is drawn as a labelled rectangle instead.
    const QStringList &problems() const { return m_problems; }
    // A picture could not be prepared for drawing for want of memory: what was drawn is incomplete.
    bool ranOutOfMemory() const { return m_outOfMemory; }

    // The area a view shows, in window pixels: the window, and around it as much of the pictures'
    // paths as fits in half a window on each side.
    QRectF viewArea() const { return m_view; }
    // The same for pictures that reach `reach` (window pixels): the window, and `reach` as far as
    // half a window beyond it.
    static QRectF viewAround(const QRectF &reach, QSize window);

    // Draws frame k: the area `view` (window pixels) into `target` of the painter, with what lies
    // outside the host window dimmed.
    void render(QPainter &painter, qsizetype k, const QRectF &target, const QRectF &view) const;
    // Lines [from, to) of the script, in window pixels, onto a painter set up for the view.
    void drawLines(QPainter &painter, qsizetype from, qsizetype to) const;
    // The first line a drawing of frame k must start from (the last that covers the window).
    qsizetype firstLineOf(qsizetype k) const { return m_redrawFrom[k]; }
    // Frame k draws exactly what frame k - 1 drew: drawn onto it, it changes nothing.
    bool repeatsPrevious(qsizetype k) const { return k > 0 && k < m_repeats.size() && m_repeats[k]; }
    // What render() draws over the frame: the outside of the host window dimmed, its edge.
    void renderOverlay(QPainter &painter, const QRectF &target, const QRectF &view) const;

    // Frame k at the window's size, one image pixel per window pixel, the outside cut off. Null
    // when memory ran out.
    QImage frameImage(qsizetype k) const;
    // Frame k onto `canvas`, which shows `view` scaled to it: afresh (black, then from k's first
    // line), or only k's own lines onto the canvas holding frame k - 1 drawn from the same first
    // line (a held frame then draws nothing).
    void drawOnto(QImage &canvas, qsizetype k, bool fresh, const QRectF &view) const;
    // Frame k onto `canvas`, which holds frame `at` (-1: nothing yet) drawn the same way, at
    // `scale` of `view`: the lines of k alone when k follows `at` and both are drawn from the same
    // first line (the picture is then exactly the one drawn afresh), else afresh. Drawing frames
    // in order so costs each frame's own lines, whatever the background choice.
    void advance(QImage &canvas, qsizetype &at, qsizetype k, const QRectF &view) const;
    // Frames 0 to the last at the window's size, in order, each handed to `take` (false stops).
    // `progress` hears the share done (0 to 1) now and then. False when memory ran out.
    bool eachFrameImage(const std::function<bool(qsizetype k, const QImage &frame)> &take,
                        const std::function<void(double done)> &progress = {}) const;
    // `count` frames evenly spaced from the first to the last, `columns` to a row, each labelled
    // with its number ("12 / 742"), each `cellWidth` pixels wide. Null when memory ran out.
    QImage contactSheet(int count, int columns = 4, int cellWidth = 320,
                        const std::function<void(double done)> &progress = {}) const;

    // The frame shown as number `number` (1-based) of `count` frames.
    static QString frameLabel(qsizetype number, qsizetype count);

private:
    struct Picture
    {
        QString name;
        QImage image; // null when the picture is missing or unreadable
    };

    void drawGraphic(QPainter &painter, const Graphic &g) const;
    void drawFrame(QPainter &painter, qsizetype k) const;
    const QImage &prepared(int picture, int width, int height, bool halfX, bool halfY) const;
    // The picture at `size` device pixels, for a view that shows the window scaled.
    const QImage &scaledFor(int picture, QSize size) const;

    ScriptFrames m_frames;
    QSize m_window;
    QRectF m_view;
    QList<Picture> m_pictures;
    // For each frame, the first line to draw: the host draws onto what the lines before left, so a
    // frame is everything since the last line that covered the whole window.
    QList<qsizetype> m_redrawFrom;
    QList<bool> m_repeats;
    QStringList m_problems;
    // The pictures at the size the script gives and shifted by the half pixel it asks for.
    mutable std::map<std::tuple<int, int, int, bool, bool>, QImage> m_prepared;
    mutable bool m_outOfMemory = false;
    mutable QList<std::pair<std::pair<int, QSize>, QImage>> m_scaled;
};

} // namespace velra::render
