#pragma once

#include "handoff/SettingsLog.h"

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

// Computes every frame from the fourteen values of the settings log and writes the script text
// (CP932 bytes, lines joined by CR LF, none after the last) into `script`. A pure function of the
// values: nothing is read or written elsewhere. On failure returns false, leaves `script` empty and
// sets `error` to a Japanese sentence naming the value and what is wrong with it.
bool generateScript(const QList<LogValue> &values, QByteArray &script, GenerationProgress *progress,
                    QString *error);

// The detailed mode: line 4 of the settings log holds ten values after SettingMode 2 (fields 10
// to 19, in this order). Texts of the page's boxes are quoted, choices are bare codes:
//   StartX, StartY, EndX, EndY      "text", window pixels of the picture's top-left corner, signed
//   MoveKind                         1: MoveAmount is dots per frame, 2: it is the number of frames
//   MoveAmount                       "text"
//   Curve                            1 constant, 2 slow start, 3 slow end, 4 slow start and end
//   HoldStart, HoldEnd               "text", how many more times the first / last frame is shown
//   BackgroundMode                   1 every frame, 2 the first frame only, 3 never
enum class DetailField { StartX, StartY, EndX, EndY, MoveKind, MoveAmount, Curve, HoldStart, HoldEnd, BackgroundMode };
constexpr int kDetailFieldCount = 10;
constexpr int kDetailedLogFieldCount = 9 + kDetailFieldCount;
constexpr qint64 kMaxMovingFrames = 32768;

QString detailFieldLabel(DetailField field);

// The moving part of a detailed scroll, as whole numbers.
struct DetailedMove
{
    int startX = 0;
    int startY = 0;
    int endX = 0;
    int endY = 0;
    bool byFrameCount = false; // else dots per frame
    int amount = 1;
    int curve = 1;
    int holdStart = 0;
    int holdEnd = 0;
    int background = 1;

    // The number of moving frames, before holds; 0 when the move is refused (`error` says why).
    qint64 movingFrames(QString *error = nullptr) const;
    // The top-left corner in moving frame i of n, exactly (rounded half away from zero).
    void position(qint64 i, qint64 n, qint64 &x, qint64 &y) const;
};

// Reads the ten values of line 4; on failure `error` names the value and what is wrong.
bool readDetailedMove(const QList<LogValue> &values, DetailedMove &move, QString *error);

// The script of a detailed-mode log (nineteen values), in the simple mode's line forms.
bool generateDetailedScript(const QList<LogValue> &values, QByteArray &script, GenerationProgress *progress,
                            QString *error);

// Either mode, as the log's SettingMode says: 14 values for the simple mode, 19 for the detailed.
bool generateFromLog(const QList<LogValue> &values, QByteArray &script, GenerationProgress *progress, QString *error);

// Scripts beyond this size are refused instead of exhausting memory (only hand-edited settings with
// enormous file names come near it).
constexpr qint64 kMaxScriptBytes = qint64(1) << 30;

} // namespace velra
