#pragma once

#include "Motion.h"

#include <QByteArray>
#include <QString>

namespace velra {

// Receives the progress of the frame loop: the maximum once, then the frame index before each frame.
class GenerationProgress
{
public:
    virtual ~GenerationProgress() = default;
    virtual void setMaximum(int maximum) = 0;
    virtual void setValue(int frameIndex) = 0;
};

// Computes every frame of the run and writes the script text (CP932 bytes, lines joined by CR LF,
// none after the last) into `script`: the simple mode's scroll, or the detailed mode's chain. A pure
// function of the run: nothing is read or written elsewhere. On failure returns false, leaves
// `script` empty and sets `error` to a Japanese sentence naming the value (or the segment) and what
// is wrong with it.
bool generateScript(const Run &run, QByteArray &script, GenerationProgress *progress, QString *error);

// Scripts beyond this size are refused instead of exhausting memory (only hand-edited settings with
// enormous file names come near it).
constexpr qint64 kMaxScriptBytes = qint64(1) << 30;

} // namespace velra
