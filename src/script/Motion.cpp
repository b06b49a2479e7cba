#include "script/Motion.h"

#include "text/Failure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace velra {

namespace {

// (start * den + delta * num) / den, the position itself rounded to the nearest whole number with
// an exact half away from zero: rounding only the offset from the start would round a half towards
// the start instead. |position| <= 32,768 and den <= 32,767^3 keep every product inside 63 bits.
// (The bounces' den of 128 m^2 is far below.)
qint64 roundedPosition(qint64 start, qint64 delta, qint64 num, qint64 den)
{
    const qint64 scaled = start * den + delta * num;
    const qint64 magnitude = (2 * (scaled < 0 ? -scaled : scaled) + den) / (2 * den);
    return scaled < 0 ? -magnitude : magnitude;
}

// One coordinate of a cubic Bézier through 0, p1, p2 and 1 at s.
double cubic(double p1, double p2, double s)
{
    const double r = 1.0 - s;
    return 3.0 * r * r * s * p1 + 3.0 * r * s * s * p2 + s * s * s;
}

// X'(s) of the cubic through 0, p1, p2 and 1.
double slope(double p1, double p2, double s)
{
    const double r = 1.0 - s;
    return 3.0 * r * r * p1 + 6.0 * r * s * (p2 - p1) + 3.0 * s * s * (1.0 - p2);
}

// s where X(s) = t, for X the cubic through 0, x1, x2 and 1. Newton's method, kept inside a bracket
// that every step narrows (a step that would leave it bisects instead), until it no longer moves:
// full double precision in a few steps where 64 bisections took 64. X is monotonic, as x1 and x2
// lie in 0 to 1. Only + - * / in double precision, never fused (this file is built without
// contraction), so that every system writes the same bytes. This is the solution every frame is
// rounded from; a faster route must arrive at the same whole numbers.
double solveTiming(double x1, double x2, double t)
{
    double low = 0.0;
    double high = 1.0;
    double s = t;
    for (int i = 0; i < 128; ++i) {
        const double x = cubic(x1, x2, s);
        if (x == t)
            break;
        if (x < t)
            low = s;
        else
            high = s;
        const double d = slope(x1, x2, s);
        double next = d > 0.0 ? s - (x - t) / d : (low + high) / 2.0;
        if (!(next > low && next < high))
            next = (low + high) / 2.0;
        if (next == s || !(next > low && next < high))
            break; // the bracket is two neighbouring doubles: nothing finer to find
        s = next;
    }
    return s;
}

struct Controls
{
    double x1, y1, x2, y2;
};

Controls controlsOf(const Bezier &b)
{
    return {b.x1 / 10000.0, b.y1 / 10000.0, b.x2 / 10000.0, b.y2 / 10000.0};
}

qint64 roundHalfAway(double v)
{
    return v < 0 ? -qint64(std::floor(-v + 0.5)) : qint64(std::floor(v + 0.5));
}

// The start + (target - start) x c, rounded. Each step is monotonic in c, so a c known to lie
// between two values gives a position between theirs.
qint64 placed(qint64 from, qint64 delta, double c)
{
    return roundHalfAway(double(from) + double(delta) * c);
}

// The bounce at its end, out(i / m) in 64 m^2-ths: four arcs of 121/16 t^2 meeting the top at
// t = 4/11, 8/11, 10/11 and 1, each lower bounce a quarter of the height before.
qint64 bounceOut64(qint64 i, qint64 m)
{
    const qint64 at = 11 * i;
    if (at < 4 * m)
        return 484 * i * i;
    if (at < 8 * m) {
        const qint64 d = at - 6 * m;
        return 4 * (d * d + 12 * m * m);
    }
    if (at < 10 * m) {
        const qint64 d = at - 9 * m;
        return 4 * (d * d + 15 * m * m);
    }
    const qint64 d = 22 * i - 21 * m;
    return d * d + 63 * m * m;
}

// c(i / m) of curves 1 to 4 and the bounces as num / den, in whole numbers: den is at most
// 128 m^2 <= 2^38, so every position stays inside 63 bits.
void curveFraction(Segment::Curve curve, qint64 i, qint64 m, qint64 &num, qint64 &den)
{
    num = i;
    den = m;
    switch (curve) {
    case Segment::Curve::BounceOut:
        num = bounceOut64(i, m);
        den = 64 * m * m;
        break;
    case Segment::Curve::BounceIn:
        num = 64 * m * m - bounceOut64(m - i, m);
        den = 64 * m * m;
        break;
    case Segment::Curve::BounceInOut:
        num = 2 * i < m ? 64 * m * m - bounceOut64(m - 2 * i, m) : 64 * m * m + bounceOut64(2 * i - m, m);
        den = 128 * m * m;
        break;
    case Segment::Curve::EaseIn:
        num = i * i;
        den = m * m;
        break;
    case Segment::Curve::EaseOut:
        num = m * m - (m - i) * (m - i);
        den = m * m;
        break;
    case Segment::Curve::EaseInOut:
        num = 3 * i * i * m - 2 * i * i * i;
        den = m * m * m;
        break;
    default:
        break;
    }
}

} // namespace

quint32 xorshift32(quint32 &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

qint64 shakeFrames(const Segment &shake)
{
    return qint64(shake.shake.swings + 1) * shake.amount + 1;
}

void shakePoints(const Segment &segment, qint64 atX, qint64 atY, std::vector<std::array<qint64, 2>> &points)
{
    const Shake &k = segment.shake;
    const qint64 n = k.swings;
    points.clear();
    points.reserve(size_t(n + 2));
    points.push_back({atX, atY});
    quint32 state = k.seed == 0 ? 1 : k.seed;
    for (qint64 i = 1; i <= n; ++i) {
        // d = 1, (N - i + 1) / N or its square; f = 1, or 1/2 + r / 2^33 = (2^32 + r) / 2^33. Every
        // product stays below 1000 x 100^2 x 2^33 < 2^63.
        const qint64 left = n - i + 1;
        const qint64 dNum = k.decay == Shake::Decay::None ? 1 : k.decay == Shake::Decay::Linear ? left : left * left;
        const qint64 dDen = k.decay == Shake::Decay::None ? 1 : k.decay == Shake::Decay::Linear ? n : n * n;
        qint64 fx = 1, fy = 1, fDen = 1;
        if (k.pattern == Shake::Pattern::Random) {
            fx = (qint64(1) << 32) + xorshift32(state);
            fy = (qint64(1) << 32) + xorshift32(state);
            fDen = qint64(1) << 33;
        }
        // round(a d f), an exact half away from zero (every term is positive), signed by the swing.
        const auto swing = [&](qint64 amplitude, qint64 f) {
            const qint64 num = amplitude * dNum * f;
            const qint64 den = dDen * fDen;
            const qint64 rounded = (2 * num + den) / (2 * den);
            return i % 2 == 1 ? rounded : -rounded;
        };
        points.push_back({atX + swing(segment.x, fx), atY + swing(segment.y, fy)});
    }
    points.push_back({atX, atY});
}

double curveShare(Segment::Curve curve, const Bezier &bezier, qint64 i, qint64 m)
{
    if (m <= 0 || i <= 0)
        return 0.0;
    if (i >= m)
        return 1.0;
    if (curve == Segment::Curve::Bezier) {
        const Controls k = controlsOf(bezier);
        return cubic(k.y1, k.y2, solveTiming(k.x1, k.x2, double(i) / double(m)));
    }
    qint64 num = 0;
    qint64 den = 1;
    curveFraction(curve, i, m, num, den);
    return double(num) / double(den);
}

void segmentPosition(const Segment &segment, qint64 fromX, qint64 fromY, qint64 i, qint64 n, qint64 &x, qint64 &y)
{
    if (segment.isShake()) {
        SegmentFrames(segment, fromX, fromY, n).position(i, x, y);
        return;
    }
    const qint64 m = n - 1;
    if (m <= 0 || i <= 0) {
        x = fromX;
        y = fromY;
        return;
    }
    if (i >= m) {
        x = segment.x;
        y = segment.y;
        return;
    }
    if (segment.curve == Segment::Curve::Bezier) {
        const Controls k = controlsOf(segment.bezier);
        const double c = cubic(k.y1, k.y2, solveTiming(k.x1, k.x2, double(i) / double(m)));
        x = placed(fromX, segment.x - fromX, c);
        y = placed(fromY, segment.y - fromY, c);
        return;
    }
    // c(i / m) as num / den, whole numbers only.
    qint64 num = 0;
    qint64 den = 1;
    curveFraction(segment.curve, i, m, num, den);
    x = roundedPosition(fromX, segment.x - fromX, num, den);
    y = roundedPosition(fromY, segment.y - fromY, num, den);
}

// The quick route for frame i: one Newton step from the frame before's s (two or three where the
// steps are long), then a bracket [a, b] around it, checked on the curve, that must hold the s the
// solution above arrives at. The computed cubic lies within 1.2e-15 of the exact X on 0 to 1 (its
// terms are all positive there), and the solution's X within 3.7e-15 of t; so a computed X(a) at
// most t - kReach and X(b) at least t + kReach put that s inside the bracket. Across it Y changes
// by at most the largest |Y'| times the half width, so the solution's c lies within m_window of
// the c at s, and where both ends of that window round to the same positions, so does the
// solution. Any other frame (near a half, or where X is flat) is solved in full, so the positions
// are the same to the bit.
namespace {
constexpr double kReach = 1e-14;
}

SegmentFrames::SegmentFrames(const Segment &segment, qint64 fromX, qint64 fromY, qint64 n)
    : m_segment(segment)
    , m_fromX(fromX)
    , m_fromY(fromY)
    , m_n(n)
{
    if (segment.isShake()) {
        shakePoints(segment, fromX, fromY, m_points);
        return;
    }
    if (segment.curve != Segment::Curve::Bezier || n <= 2)
        return;
    const Controls k = controlsOf(segment.bezier);
    m_x1 = k.x1;
    m_x2 = k.x2;
    m_y1 = k.y1;
    m_y2 = k.y2;
    // |Y'| is at most 3 max(|y1|, |y2 - y1|, |1 - y2|), the weights of its quadratic summing to 1;
    // |Y| at most max(|y1|, |y2|, 1). The bracket is made narrow enough that the window moves a
    // position by about a thousandth of a pixel, so that few frames fall back to the full solution.
    const double slopeBound = 3.0 * std::max({std::abs(m_y1), std::abs(m_y2 - m_y1), std::abs(1.0 - m_y2)});
    const double size = std::max({std::abs(m_y1), std::abs(m_y2), 1.0});
    const double longest = double(std::max({qAbs(segment.x - fromX), qAbs(segment.y - fromY), qint64(1)}));
    m_halfWidth = std::clamp(1e-3 / (longest * std::max(slopeBound, 1.0)), 1e-12, 1e-7);
    m_window = slopeBound * m_halfWidth * 1.001 + 1e-14 * size;
    m_fast = true;
}

void SegmentFrames::position(qint64 i, qint64 &x, qint64 &y)
{
    if (m_segment.isShake()) {
        // A move of m + 1 frames from each turning point to the next, by the chain's own rule.
        const qint64 m = m_segment.amount;
        if (i <= 0 || m <= 0) {
            x = m_fromX;
            y = m_fromY;
            return;
        }
        const size_t swing = size_t(std::min<qint64>((i - 1) / m, qint64(m_points.size()) - 2));
        const qint64 step = std::min(i - qint64(swing) * m, m);
        const auto &from = m_points[swing];
        const auto &to = m_points[swing + 1];
        qint64 num = 0;
        qint64 den = 1;
        curveFraction(m_segment.curve, step, m, num, den);
        x = roundedPosition(from[0], to[0] - from[0], num, den);
        y = roundedPosition(from[1], to[1] - from[1], num, den);
        return;
    }
    const qint64 m = m_n - 1;
    if (!m_fast || i <= 0 || i >= m) {
        segmentPosition(m_segment, m_fromX, m_fromY, i, m_n, x, y);
        return;
    }
    const qint64 dx = m_segment.x - m_fromX;
    const qint64 dy = m_segment.y - m_fromY;
    const double t = double(i) / double(m);
    double s = m_s > 0.0 ? m_s : t;
    for (int step = 0; step < 3; ++step) {
        const double d = slope(m_x1, m_x2, s);
        if (!(d > 0.0))
            break;
        s -= (cubic(m_x1, m_x2, s) - t) / d;
        if (!(s > 0.0 && s < 1.0))
            break;
        const double a = std::max(0.0, s - m_halfWidth);
        const double b = std::min(1.0, s + m_halfWidth);
        if (!(cubic(m_x1, m_x2, a) <= t - kReach && cubic(m_x1, m_x2, b) >= t + kReach))
            continue; // not there yet
        const double c = cubic(m_y1, m_y2, s);
        const double low = c - m_window;
        const double high = c + m_window;
        x = placed(m_fromX, dx, low);
        y = placed(m_fromY, dy, low);
        if (x != placed(m_fromX, dx, high) || y != placed(m_fromY, dy, high))
            break; // near a half: only the full solution can say
        m_s = s;
        return;
    }
    m_s = solveTiming(m_x1, m_x2, t);
    const double c = cubic(m_y1, m_y2, m_s);
    x = placed(m_fromX, dx, c);
    y = placed(m_fromY, dy, c);
}

namespace {

// The least and the greatest c(t) of a Bézier curve: its ends, and where Y's slope is 0 inside.
// X is monotonic (x1 and x2 lie in 0 to 1), so these bound c over every t.
void bezierRange(const Bezier &b, double &low, double &high)
{
    const double y1 = b.y1 / 10000.0;
    const double y2 = b.y2 / 10000.0;
    low = 0.0;
    high = 1.0;
    const auto take = [&](double s) {
        if (s <= 0.0 || s >= 1.0)
            return;
        const double v = cubic(y1, y2, s);
        low = std::min(low, v);
        high = std::max(high, v);
    };
    // Y'(s) / 3 = a s^2 + b s + c, from the differences of the control values.
    const double a = y1 - 2.0 * (y2 - y1) + (1.0 - y2);
    const double bb = 2.0 * ((y2 - y1) - y1);
    const double c = y1;
    if (std::abs(a) < 1e-12) {
        if (bb != 0.0)
            take(-c / bb);
        return;
    }
    const double disc = bb * bb - 4.0 * a * c;
    if (disc < 0.0)
        return;
    const double root = std::sqrt(disc);
    take((-bb + root) / (2.0 * a));
    take((-bb - root) / (2.0 * a));
}

// Whether some moving frame could be placed outside what the host takes. Curves 1 to 4 stay between
// the start and the target; a Bézier curve can overshoot both, by at most its extremes. The margin
// is far wider than the solver's error, so a frame this says nothing of is certainly in range.
bool mayLeaveRange(const Segment &s, qint64 fromX, qint64 fromY)
{
    if (s.curve != Segment::Curve::Bezier)
        return false;
    double low = 0.0;
    double high = 1.0;
    bezierRange(s.bezier, low, high);
    constexpr double kMargin = 1e-3;
    for (const auto &[from, to] : {std::pair{fromX, qint64(s.x)}, std::pair{fromY, qint64(s.y)}}) {
        const double a = double(from) + double(to - from) * low;
        const double b = double(from) + double(to - from) * high;
        if (std::min(a, b) < kInt16Min - 0.5 + kMargin || std::max(a, b) > kInt16Max + 0.5 - kMargin)
            return true;
    }
    return false;
}

} // namespace

bool ChainPlan::make(const Chain &chain, ChainPlan &plan, QString *error)
{
    plan = ChainPlan();
    if (chain.segments.isEmpty())
        return fail(error, QStringLiteral("動きがありません。"));
    qint64 x = chain.startX;
    qint64 y = chain.startY;
    const bool one = chain.segments.size() == 1;
    const auto which = [one](qsizetype k) {
        return one ? QString() : QStringLiteral("%1 番目の動きの").arg(QString::number(k + 1));
    };
    for (qsizetype k = 0; k < chain.segments.size(); ++k) {
        const Segment &s = chain.segments[k];
        Part part;
        part.fromX = x;
        part.fromY = y;
        if (s.isShake()) {
            part.moving = shakeFrames(s);
        } else if (s.motion == Segment::Motion::Frames) {
            part.moving = s.amount;
        } else {
            const qint64 longest = qMax(qAbs(s.x - x), qAbs(s.y - y));
            part.moving = longest == 0 ? 1 : (longest + s.amount - 1) / s.amount + 1;
        }
        if (part.moving > kMaxSegmentFrames)
            return fail(error, QStringLiteral("%1動くコマが %2 コマになります。%3 コマまでにしてください（移動の量を見直してください）。")
                                   .arg(which(k), QString::number(part.moving), QString::number(kMaxSegmentFrames)));
        const qint64 moving = k == 0 ? part.moving : part.moving - 1;
        const qint64 held = s.hold + (k == 0 ? chain.holdStart : 0);
        part.firstFrame = plan.frames;
        part.written = moving + held;
        plan.frames += part.written;
        plan.moving += moving;
        plan.held += held;
        if (plan.frames > kMaxChainFrames)
            return fail(error, QStringLiteral("%1ところで書き出すコマが %2 コマを超えます。動きかコマ数を減らしてください。")
                                   .arg(which(k), QString::number(kMaxChainFrames)));
        // One frame is only the frame it starts from: the target is never reached. A shake comes
        // back to where it began.
        if (part.moving > 1 && !s.isShake()) {
            x = s.x;
            y = s.y;
        }
        part.toX = x;
        part.toY = y;
        plan.parts.append(part);
    }
    // Every frame a curve could carry out of range is computed as the generation computes it, in the
    // order it is written; the first one out is named.
    std::vector<std::array<qint64, 2>> points;
    for (qsizetype k = 0; k < chain.segments.size(); ++k) {
        const Segment &s = chain.segments[k];
        const Part &part = plan.parts[k];
        if (s.isShake()) {
            // Its swings stay between its turning points (curves 1 to 4 never overshoot).
            shakePoints(s, part.fromX, part.fromY, points);
            for (const auto &[px, py] : points) {
                if (!fitsInt16(px) || !fitsInt16(py)) {
                    plan = ChainPlan();
                    return fail(error, QStringLiteral("%1揺れが位置を -32768 から 32767 の範囲外（%2, %3）に出します。揺れ幅か位置を見直してください。")
                                           .arg(which(k), QString::number(px), QString::number(py)));
                }
            }
            continue;
        }
        if (!mayLeaveRange(s, part.fromX, part.fromY))
            continue;
        SegmentFrames frames(s, part.fromX, part.fromY, part.moving);
        for (qint64 i = 1; i + 1 < part.moving; ++i) {
            qint64 px = 0;
            qint64 py = 0;
            frames.position(i, px, py);
            if (!fitsInt16(px) || !fitsInt16(py)) {
                plan = ChainPlan();
                return fail(error, QStringLiteral("%1曲線が位置を -32768 から 32767 の範囲外（%2, %3）に出します。曲線の値を見直してください。")
                                       .arg(which(k), QString::number(px), QString::number(py)));
            }
        }
    }
    return true;
}

} // namespace velra
