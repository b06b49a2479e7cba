#pragma once

#include "model/Run.h"
#include "script/Motion.h"
#include "script/StepCheck.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

// What the chain editor shows, computed from the values as typed, without a widget: the page reads
// its boxes into the edit, asks for the findings, and sets its widgets from them.
namespace velra {

// A move as the chain editor's boxes hold it: texts as typed, so that a half-typed value stays as
// it is.
struct ChainRow
{
    QString x;
    QString y;
    Segment::Motion motion = Segment::Motion::DotsPerFrame;
    QString dots = QStringLiteral("4");
    QString frames = QStringLiteral("30");
    Segment::Curve curve = Segment::Curve::Linear;
    std::array<QString, 4> bezier; // kept while another curve is chosen, for カスタム to bring back
    QString hold = QStringLiteral("0");
    // A shake, or a move (`motion` its way of moving). A shake's boxes are kept while the row is a
    // move, and a move's while it shakes: a kind tried and taken back loses nothing.
    bool shake = false;
    QString amplitudeX = QStringLiteral("0");
    QString amplitudeY = QStringLiteral("10");
    QString swings = QStringLiteral("5");
    QString swingFrames = QStringLiteral("2");
    Shake::Decay decay = Shake::Decay::Linear;
    Shake::Pattern pattern = Shake::Pattern::Alternate;
    QString seed = QStringLiteral("1");
    Segment::Curve swingCurve = Segment::Curve::Linear;

    bool isShake() const { return shake; }
    friend bool operator==(const ChainRow &, const ChainRow &) = default;
};

// Everything the author edits on the chain editor, and the move being edited.
struct ChainEdit
{
    QString startX;
    QString startY;
    QString holdStart;
    int background = 1;
    QList<ChainRow> rows;
    int current = 0;

    // The values alone: choosing another move to edit is no edit.
    bool sameValues(const ChainEdit &other) const
    {
        return startX == other.startX && startY == other.startY && holdStart == other.holdStart
            && background == other.background && rows == other.rows;
    }
};

// The speed curves' names, in the order of their codes.
QString curveName(Segment::Curve curve);
// A shake's decays and patterns, by their codes.
QString decayName(Shake::Decay decay);
QString patternName(Shake::Pattern pattern);

// A new seed for 別の揺れ: random, unless a test has set where seeds come from.
quint32 drawShakeSeed();
namespace testing {
void setShakeSeeds(std::function<quint32()> source);
}

// The usual shapes, as CSS and the easing libraries name them; the back ones pull back before
// they go, or overshoot before they stop.
struct CurvePreset
{
    const char *name;
    std::array<const char *, 4> values;
};
inline constexpr std::array<CurvePreset, 7> kCurvePresets{{{"ease", {"0.25", "0.1", "0.25", "1"}},
                                                           {"ease-in", {"0.42", "0", "1", "1"}},
                                                           {"ease-out", {"0", "0", "0.58", "1"}},
                                                           {"ease-in-out", {"0.42", "0", "0.58", "1"}},
                                                           {"back-in", {"0.36", "0", "0.66", "-0.56"}},
                                                           {"back-out", {"0.34", "1.56", "0.64", "1"}},
                                                           {"back-in-out", {"0.68", "-0.6", "0.32", "1.6"}}}};

// A Bézier curve's four values as typed, to draw: none while one is not a number, or an x lies
// outside 0 to 1 (the page refuses it then). Rounded to the four decimals the chain keeps.
std::optional<Bezier> drawableBezier(const std::array<QString, 4> &texts);

// A move of a chain as the boxes show it.
ChainRow rowOf(const Segment &segment);

// How one move unfolds, as its row in the list shows it.
struct RowFindings
{
    QString target;   // "-300, 0"; a shake's "揺れ ±0, 10"
    QString amount;   // "4 ドット", "30 コマ"; a shake's "× 5"
    QString curve;    // "等速"
    QString hold;
    QString frames;   // its moving frames; "－" while the chain is refused
    QString mark;     // "！" uneven, "・" one or two frames, else empty
    QString note;     // what the mark means
};

// Everything the page shows that follows the values.
struct ChainFindings
{
    bool valid = false;
    QList<RowFindings> rows;
    // The line under the list: the chosen move's note, the uneven moves, or why the chain is refused.
    QString words;
    QString frameCount; // "全 137 コマ（動き 131・止め 6）"
    QString problem;    // why the chain is refused; empty when valid
    // The chosen move's suggestions, at most two: the caption and the value a button puts in its box.
    QList<std::pair<QString, QString>> suggestions;
    Run run; // lines 1 to 3 and the chain, when valid
    ChainPlan plan;
};

class ChainEditorModel
{
public:
    // Lines 1 to 3 of the settings log; none read (0 lines) while the page has not loaded them.
    void setFirstLines(const Run &run) { m_firstLines = run; }
    const Run &firstLines() const { return m_firstLines; }

    ChainEdit &edit() { return m_edit; }
    const ChainEdit &edit() const { return m_edit; }
    QList<ChainRow> &rows() { return m_edit.rows; }
    const ChainRow &currentRow() const { return m_edit.rows[m_edit.current]; }

    // Line 4 as the edit stands, then a line for each further move.
    QList<LogLine> record() const;
    // The edit those lines hold, their values as typed (record()'s lines give the edit back).
    static ChainEdit editOf(const QList<LogLine> &lines);
    // The chain the edit gives, and how it unfolds; false (with `error`) when a value is refused.
    bool chain(Run &run, ChainPlan &plan, QString *error) const;
    // The rows' counts and marks, the words, the suggestions, the total.
    ChainFindings findings() const;

    // Row operations, each choosing and answering the row to show next, or -1 when it cannot be done. The new
    // move after the chosen one starts where that one stops, with its settings and no hold.
    int addAfterCurrent();
    int removeCurrent();
    int moveCurrent(int by);

private:
    Run m_firstLines;
    ChainEdit m_edit;
};

} // namespace velra
