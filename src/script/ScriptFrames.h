#pragma once

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
};

struct ScriptFrames
{
    QStringList pictures;    // the file names, in order of first appearance
    QList<Graphic> graphics; // every Graphic line, in order
    int linesPerFrame = 2;   // the background, then the scrolled picture

    qsizetype frameCount() const { return graphics.size() / linesPerFrame; }
    // The lines of frame k, drawn in order.
    const Graphic *frame(qsizetype k) const { return graphics.constData() + k * linesPerFrame; }

    // Reads the CP932 script text. On failure returns false and sets `error` to a Japanese
    // sentence naming the line that could not be read.
    static bool read(QByteArrayView script, ScriptFrames &out, QString *error);
};

} // namespace velra
