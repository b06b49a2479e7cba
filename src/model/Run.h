#pragma once

#include "LogFormat.h"

#include <QList>
#include <QString>

#include <optional>

// A run's settings, read from the settings log once: the pictures, the window, the mode, and either
// the simple settings or the chain of moves. Texts the author typed stay as typed (the script writes
// them back exactly); what the chain computes with is whole numbers, checked on reading.
namespace velra {

// A number the author typed: the text as it stands in the log, which the script and the log write
// back exactly, and what it says, read once. Only a field the generation uses refuses its text, so
// a number that is not one is kept as it is and refused where it is used.
class Number
{
public:
    enum class State {
        Empty,
        NotWhole,   // not digits with an optional sign ("1.5", " 2")
        OutOfRange, // digits, beyond -32768 to 32767
        Whole,
    };

    Number() = default;
    // Not explicit: a log's text is a number's text.
    Number(const QString &text);

    const QString &text() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }
    State state() const { return m_state; }
    // The whole number, when the text is one within 16 bits.
    std::optional<int> value() const;
    // The value when it is above 0.
    std::optional<int> positive() const;
    // The value of digits with an optional sign, beyond 16 bits too (the pages' own checks), when it
    // fits an int.
    std::optional<int> intValue() const;

    friend bool operator==(const Number &a, const Number &b) { return a.m_text == b.m_text; }

private:
    QString m_text;
    State m_state = State::Empty;
    bool m_digits = false; // digits with an optional sign, within 64 bits
    qint64 m_value = 0;
};

// A picture, its file name and size as they stand in the log.
struct RunPicture
{
    QString file;
    Number width;
    Number height;
};

// Line 4 of the simple mode. The choices are codes (0 where the log holds no number); the step and
// the number of moves are numbers that the generation converts, naming what is wrong with them.
struct SimpleSettings
{
    int direction = 0;
    Number step;
    int alignment = 0;
    int endMode = 0;
    Number moves;
};

// A cubic Bézier timing function, as in CSS cubic-bezier(x1, y1, x2, y2): each value in ten
// thousandths, as the log's texts give at most four decimals.
struct Bezier
{
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    friend bool operator==(const Bezier &, const Bezier &) = default;
};

// A shake's own settings: how many swings, how they die down, and whether they alternate or are
// drawn from a seeded sequence.
struct Shake
{
    enum class Decay { None = 1, Linear = 2, Quadratic = 3 };
    enum class Pattern { Alternate = 1, Random = 2 };

    int swings = 5; // N
    Decay decay = Decay::Linear;
    Pattern pattern = Pattern::Alternate;
    quint32 seed = 1; // Pattern::Random's; kept as typed for Alternate too

    friend bool operator==(const Shake &, const Shake &) = default;
};

// One part of a chain: a move from where the last one stopped to its target, or a shake about
// where it stands that comes back to rest there.
struct Segment
{
    enum class Motion { DotsPerFrame = 1, Frames = 2, Shake = 3 };
    enum class Curve { Linear = 1, EaseIn = 2, EaseOut = 3, EaseInOut = 4, Bezier = 5, BounceOut = 6, BounceIn = 7, BounceInOut = 8 };

    int x = 0; // the target: the picture's top-left corner in window pixels; a shake's amplitudes
    int y = 0;
    Motion motion = Motion::DotsPerFrame;
    int amount = 1; // dots a frame, or moving frames; a shake's frames a swing
    Curve curve = Curve::Linear; // a shake's swings take curves 1 to 4
    Bezier bezier; // Curve::Bezier only
    int hold = 0;  // extra copies of the last frame written
    Shake shake;   // Motion::Shake only

    bool isShake() const { return motion == Motion::Shake; }
    friend bool operator==(const Segment &, const Segment &) = default;
};

// A shake's limits: amplitudes, swings and frames a swing.
constexpr int kMaxShakeAmplitude = 1000;
constexpr int kMaxShakeSwings = 100;
constexpr int kMaxShakeSwingFrames = 60;

// The detailed mode: a start, then one segment after another.
struct Chain
{
    enum class Background { EveryFrame = 1, FirstFrame = 2, Never = 3 };

    int startX = 0;
    int startY = 0;
    int holdStart = 0;
    Background background = Background::EveryFrame;
    QList<Segment> segments;

    friend bool operator==(const Chain &, const Chain &) = default;
};

constexpr int kMaxSegments = 32;
constexpr qint64 kMaxSegmentFrames = 32768;
constexpr qint64 kMaxChainFrames = 262144;

// The ten values of the detailed mode's line 4, named as the page names its boxes.
enum class DetailField { StartX, StartY, EndX, EndY, MoveKind, MoveAmount, Curve, HoldStart, HoldEnd, BackgroundMode };
QString detailFieldLabel(DetailField field);

// What is wrong with a log, and where: the line (1 is the first), the segment of a chain (1 is the
// first, 0 for none) and the value.
struct RunError
{
    QString message;
    int line = 0;
    int segment = 0;
    std::optional<Field> field;
    std::optional<DetailField> detail;
};

struct Run
{
    enum class Mode { Simple, Detailed };

    RunPicture scroll;
    RunPicture background;
    Number windowWidth;
    Number windowHeight;
    Mode mode = Mode::Simple;
    SimpleSettings simple; // Mode::Simple
    Chain chain;           // Mode::Detailed
    // The detailed mode's lines as the log holds them, values the chain refuses included: what the
    // chain editor shows again of a chain that was being typed.
    QList<LogLine> typedChain;
    // How many of the log's first four lines were there: a run being entered has fewer.
    int lines = 0;

    bool isDetailed() const { return mode == Mode::Detailed; }
    bool isComplete() const { return lines >= 4; }
};

namespace runlog {

// Reads the log's text. `upToLine` 4 wants the whole run; fewer reads only the lines a page needs
// (a run being entered), and more lines than present is not an error then: `run.lines` says how
// many there are.
bool parse(QStringView text, Run &run, RunError *error, int upToLine = 4);

// The detailed mode's lines from line 4 on: the record with the first segment, one line for each
// further segment.
QList<LogLine> chainLines(const Chain &chain);
// How a refused value is named: by the log's line, or by the chain editor's row ("2 番目の動きの…").
enum class Naming { LogLines, EditorRows };
// A chain's values as the page's boxes give them, checked as a log's are: line 4's ten values (with
// four more for a Bézier curve), then one line of six (or ten) for each further segment.
bool chainFromLines(const QList<LogLine> &lines, Chain &chain, RunError *error, Naming naming = Naming::LogLines);
// Whether the chain's lines hold a shake or a bounce curve, which versions before them do not know:
// a settings file holding them is written as the next version.
bool holdsNewerMotion(const QList<LogLine> &lines);

} // namespace runlog
} // namespace velra
