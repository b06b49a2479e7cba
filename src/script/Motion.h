#pragma once

#include "model/Run.h"

#include <QList>
#include <QString>

#include <array>
#include <vector>

// Where the picture stands in each frame: the curves, the rounding, and how a chain unfolds.
namespace velra {

// The host takes whole numbers of 16 bits: positions, sizes and the values the simple mode computes.
constexpr qint64 kInt16Min = -32768;
constexpr qint64 kInt16Max = 32767;
constexpr bool fitsInt16(qint64 v)
{
    return v >= kInt16Min && v <= kInt16Max;
}

// How a chain unfolds into written frames. Segment k starts where the last frame written before it
// stands (the start for the first), and moves to its target in n moving frames: n is the amount for
// a count of frames; for dots a frame, 1 when it stays, else ceil(longest side / amount) + 1. The
// first segment writes the start hold's copies of its frame 0, then its n frames; a later one its
// frames 1 to n - 1, as its frame 0 is where the last one stopped. So a later segment of one frame
// writes nothing and does not move: the next one starts where the picture stands, not at a target
// it never reached. Each then writes `hold` copies of the last frame written. A shake's n is
// shakeFrames(), and it ends where it began.
struct ChainPlan
{
    struct Part
    {
        qint64 fromX = 0; // where the segment starts
        qint64 fromY = 0;
        qint64 toX = 0; // where it stops: the last frame it writes, or where it started when it writes none
        qint64 toY = 0;
        qint64 moving = 0;     // n
        qint64 firstFrame = 0; // the index of the first frame it writes (its holds included)
        qint64 written = 0;    // frames it writes, holds included
    };
    QList<Part> parts;
    qint64 frames = 0; // written in all
    qint64 moving = 0; // written frames that move (or could): all but the holds' copies
    qint64 held = 0;   // copies written by the holds

    // False when a segment takes more than kMaxSegmentFrames moving frames, the chain writes more
    // than kMaxChainFrames, or a curve puts a written frame outside -32768 to 32767 (the host's
    // positions): `error` names the segment. Whatever the generation refuses is refused here, so a
    // page that makes the plan refuses it before the generation does.
    static bool make(const Chain &chain, ChainPlan &plan, QString *error);
};

// A shake of N swings, m frames a swing, writes (N + 1) m + 1 frames: P, then a move of m + 1
// frames (by the chain's rule, its frames 1 to m) to each peak in turn and back to P.
qint64 shakeFrames(const Segment &shake);
// Its turning points about P = (atX, atY): P, peak i = P + (s round(ax d f), s round(ay d f)) for
// i = 1 to N (s alternating from +1, d the decay, f 1 or drawn from the seed), then P again. Exact:
// whole numbers only, so every system writes the same frames.
void shakePoints(const Segment &shake, qint64 atX, qint64 atY, std::vector<std::array<qint64, 2>> &points);
// The next value of xorshift32 (x ^= x << 13; x ^= x >> 17; x ^= x << 5): a shake's random swings.
quint32 xorshift32(quint32 &state);

// The share of the way c(i / m) that a curve has gone at step i of m (0 to 1, or past them for a
// Bézier curve that overshoots): what every position is made of, and what the curve's picture draws.
double curveShare(Segment::Curve curve, const Bezier &bezier, qint64 i, qint64 m);

// Moving frame i of n of `segment` from (fromX, fromY): the start + (target - start) x c(i / (n - 1)),
// each coordinate rounded to the nearest whole pixel (an exact half away from zero). Curves 1 to 4
// are computed in whole numbers; a Bézier curve in double precision, the last frame exactly the
// target.
void segmentPosition(const Segment &segment, qint64 fromX, qint64 fromY, qint64 i, qint64 n, qint64 &x, qint64 &y);

// The same positions to the bit, for frames taken in order: a Bézier frame starts its solution from
// the frame before's, and is solved afresh only where a quick bound cannot settle its rounding.
class SegmentFrames
{
public:
    SegmentFrames(const Segment &segment, qint64 fromX, qint64 fromY, qint64 n);
    void position(qint64 i, qint64 &x, qint64 &y);

private:
    Segment m_segment;
    qint64 m_fromX = 0;
    qint64 m_fromY = 0;
    qint64 m_n = 0;
    bool m_fast = false;
    double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
    double m_halfWidth = 0; // of the bracket checked around s
    double m_window = 0;    // how far c can be from the c at s, given the bracket
    double m_s = 0;         // the last frame's s; 0 before the first
    std::vector<std::array<qint64, 2>> m_points; // a shake's turning points
};

} // namespace velra
