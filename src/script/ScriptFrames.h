#pragma once

#include "model/Run.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The frames of a generated script, read back from its text: what the host will show, taken from
// the Graphic lines themselves rather than computed again.
namespace velra {

// One Graphic line: which picture, and its /POS rectangle (x and y may be whole or half pixels).
struct Graphic
{
    int picture = 0; // index into ScriptFrames::pictures
    double x = 0;
    double y = 0;
    int width = 0;
    int height = 0;
    // The script's size cannot be drawn (negative, huge, not a number): an outline stands for it.
    bool sizeUnknown = false;
};

// A frame is the lines up to and including the next line of the moving picture (the picture of the
// script's last line): the background and the picture in the simple mode, and in the detailed mode
// also the picture alone when the background is drawn once or never.
struct ScriptFrames
{
    QStringList pictures;       // the file names, in order of first appearance
    QList<Graphic> graphics;    // every Graphic line, in order
    QList<qsizetype> frameEnds; // one past the last line of each frame
    QStringList unknownSizes;   // the pictures whose size cannot be drawn
    QStringList notes;          // one sentence for each of them

    qsizetype frameCount() const { return frameEnds.size(); }
    qsizetype frameStart(qsizetype k) const { return k == 0 ? 0 : frameEnds[k - 1]; }
    qsizetype frameEnd(qsizetype k) const { return frameEnds[k]; }
    // The first line of frame k; the frame's lines follow it.
    const Graphic *frame(qsizetype k) const { return graphics.constData() + frameStart(k); }

    // Reads the CP932 script text. On failure returns false and sets `error` to a Japanese
    // sentence naming the line that could not be read.
    static bool read(QByteArrayView script, ScriptFrames &out, QString *error);
    // The one frame of the run's picture standing at (x, y) over its background, as a script would
    // give it (the chain editor's last position, drawn without writing a script).
    static ScriptFrames still(const Run &run, double x, double y);
};

} // namespace velra
