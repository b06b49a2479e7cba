#include "ScrollScript.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "handoff/HandoffFiles.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <climits>
#include <algorithm>
#include <optional>

namespace velra {
namespace {

constexpr int kInt16Min = -32768;
constexpr int kInt16Max = 32767;

bool fitsInt16(qint64 v)
{
    return v >= kInt16Min && v <= kInt16Max;
}

// Converts values to 16-bit whole numbers; the first failure is kept as the message.
// The text of a value of the simple mode's run, named by its field.
const QString &textOf(const Run &run, Field field)
{
    static const QString none;
    switch (field) {
    case Field::ScrollImageFile:
        return run.scroll.file;
    case Field::ScrollImageWidth:
        return run.scroll.width;
    case Field::ScrollImageHeight:
        return run.scroll.height;
    case Field::BackgroundFile:
        return run.background.file;
    case Field::BackgroundWidth:
        return run.background.width;
    case Field::BackgroundHeight:
        return run.background.height;
    case Field::WindowWidth:
        return run.windowWidth;
    case Field::WindowHeight:
        return run.windowHeight;
    case Field::ScrollStep:
        return run.simple.step;
    case Field::MoveCount:
        return run.simple.moves;
    default:
        return none;
    }
}

class Converter
{
public:
    explicit Converter(const Run &run)
        : m_run(run)
    {
    }

    std::optional<int> value(Field field)
    {
        if (failed())
            return std::nullopt;
        const QString &text = textOf(m_run, field);
        bool ok = false;
        const qint64 v = text.toLongLong(&ok);
        // Only digits with an optional sign: the pages store digit texts, and anything else
        // (spaces, decimals) can only come from a hand-edited log.
        const bool wellFormed = ok && !text.isEmpty() && !text.front().isSpace() && !text.back().isSpace();
        if (!wellFormed && !isWholeNumberText(text)) {
            m_error = text.isEmpty()
                ? QStringLiteral("%1が空です。整数が必要です。").arg(fieldLabel(field))
                : QStringLiteral("%1の値「%2」は整数ではありません。").arg(fieldLabel(field), shownValue(text));
            return std::nullopt;
        }
        if (!wellFormed || !fitsInt16(v)) {
            m_error = QStringLiteral("%1の値「%2」は -32768 から 32767 の範囲外です。").arg(fieldLabel(field), shownValue(text));
            return std::nullopt;
        }
        return int(v);
    }

    std::optional<int> checked(qint64 result, const QString &what)
    {
        if (failed())
            return std::nullopt;
        if (!fitsInt16(result)) {
            m_error = QStringLiteral("%1 %2 が -32768 から 32767 の範囲外です。").arg(what, QString::number(result));
            return std::nullopt;
        }
        return int(result);
    }

    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    void fail(const QString &message) { m_error = message; }

private:
    const Run &m_run;
    QString m_error;
};

QString sumText(Field a, Field b)
{
    return QStringLiteral("%1と%2の和").arg(fieldLabel(a), fieldLabel(b));
}

QString differenceText(Field a, Field b)
{
    return QStringLiteral("%1から%2を引いた差").arg(fieldLabel(a), fieldLabel(b));
}

// The fixed coordinate is a whole number or a whole number plus one half; `twice` is its double.
QByteArray formatHalves(qint64 twice)
{
    QByteArray text;
    if (twice < 0)
        text.append('-');
    const qint64 magnitude = twice < 0 ? -twice : twice;
    text.append(QByteArray::number(magnitude / 2));
    if (magnitude % 2)
        text.append(".5");
    return text;
}

struct Layout
{
    bool vertical = true;
    int direction = 4;
    int alignment = 3;
    int endMode = 3;
};

// Everything before the moving coordinate and everything after it, for one frame.
struct FramePieces
{
    QByteArray before; // CR LF, background line, CR LF, picture line up to the moving coordinate
    QByteArray after;  // the rest of the picture line
};

bool encodeField(const Run &run, Field field, QByteArray &out, QString *error)
{
    const QString &text = textOf(run, field);
    // Checked as the pages check them: a line break would write lines of its own into the script,
    // and a double quote would end the command's text early.
    if (hasControlCharacter(text) || text.contains(QLatin1Char('"'))) {
        return fail(error, QStringLiteral("%1の値「%2」に改行などの制御文字か二重引用符（\"）が含まれています。")
                               .arg(fieldLabel(field), shownValue(text)));
    }
    qsizetype bad = 0;
    if (cp932::encode(text, out, &bad))
        return true;
    return fail(error, QStringLiteral("%1の %2 は Shift_JIS（CP932）で書き出せない文字です。")
                           .arg(fieldLabel(field), cp932::describeUnencodable(text, bad)));
}

// The two Graphic line forms, both modes' own: the whole background line, and the picture line
// around its position ("…/POS:" before, ",width,height\"" after).
struct LineForms
{
    QByteArray background;
    QByteArray pictureStart;
    QByteArray pictureEnd;
};

bool buildLineForms(const Run &values, LineForms &forms, QString *error)
{
    QByteArray &g = forms.background;
    g = "Graphic \"";
    if (!encodeField(values, Field::BackgroundFile, g, error))
        return false;
    g += "\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,";
    if (!encodeField(values, Field::BackgroundWidth, g, error))
        return false;
    g += ',';
    if (!encodeField(values, Field::BackgroundHeight, g, error))
        return false;
    g += '"';
    QByteArray &p = forms.pictureStart;
    p = "Graphic \"";
    if (!encodeField(values, Field::ScrollImageFile, p, error))
        return false;
    p += "\",0,0,0,1,\"None\",0,0,0,\"/POS:";
    QByteArray &e = forms.pictureEnd;
    e = ",";
    if (!encodeField(values, Field::ScrollImageWidth, e, error))
        return false;
    e += ',';
    if (!encodeField(values, Field::ScrollImageHeight, e, error))
        return false;
    e += '"';
    return true;
}

bool buildPieces(const Run &values, bool vertical, const QByteArray &fixed, FramePieces &pieces,
                 QString *error)
{
    LineForms forms;
    if (!buildLineForms(values, forms, error))
        return false;
    pieces.before = "\r\n" + forms.background + "\r\n" + forms.pictureStart;
    pieces.after.clear();
    if (vertical)
        pieces.before += fixed + ',';
    else
        pieces.after += ',' + fixed;
    pieces.after += forms.pictureEnd;
    return true;
}

} // namespace

static bool generateSimpleScript(const Run &values, QByteArray &script, GenerationProgress *progress, QString *error)
{
    script.clear();
    Converter convert(values);
    Layout layout;
    layout.direction = values.simple.direction;
    layout.alignment = values.simple.alignment;
    layout.endMode = values.simple.endMode;
    if (layout.direction < 1 || layout.direction > 3)
        layout.direction = 4;
    if (layout.alignment < 1 || layout.alignment > 2)
        layout.alignment = 3;
    if (layout.endMode < 1 || layout.endMode > 2)
        layout.endMode = 3;
    layout.vertical = layout.direction <= 2;

    // Across the scroll: x of a vertical scroll, y of a horizontal one.
    const Field windowAcross = layout.vertical ? Field::WindowWidth : Field::WindowHeight;
    const Field pictureAcross = layout.vertical ? Field::ScrollImageWidth : Field::ScrollImageHeight;
    qint64 fixedTwice = 0;
    if (layout.alignment != 1) {
        const auto window = convert.value(windowAcross);
        const auto picture = convert.value(pictureAcross);
        if (layout.alignment == 2 && window && picture) {
            fixedTwice = qint64(*window) - *picture; // window / 2 - picture / 2, exactly
        } else if (window && picture) {
            if (const auto d = convert.checked(qint64(*window) - *picture, differenceText(windowAcross, pictureAcross)))
                fixedTwice = 2 * qint64(*d);
        }
    }

    // Along the scroll.
    const Field windowAlong = layout.vertical ? Field::WindowHeight : Field::WindowWidth;
    const Field pictureAlong = layout.vertical ? Field::ScrollImageHeight : Field::ScrollImageWidth;
    const bool fromWindow = layout.direction == 2 || layout.direction == 3; // up, left
    qint64 distance = 0;
    if (layout.endMode == 1) {
        if (const auto d = convert.value(fromWindow ? windowAlong : pictureAlong))
            distance = *d;
    } else if (layout.endMode == 2) {
        const auto window = convert.value(windowAlong);
        const auto picture = convert.value(pictureAlong);
        if (window && picture) {
            if (const auto d = convert.checked(qint64(*window) + *picture, sumText(windowAlong, pictureAlong)))
                distance = *d;
        }
    } else {
        const auto step = convert.value(Field::ScrollStep);
        const auto count = convert.value(Field::MoveCount);
        if (step && count) {
            const QString what = QStringLiteral("%1と%2の積").arg(fieldLabel(Field::ScrollStep), fieldLabel(Field::MoveCount));
            if (const auto d = convert.checked(qint64(*step) * *count, what))
                distance = *d;
        }
    }
    const auto stepValue = convert.value(Field::ScrollStep);
    const auto movingBase = convert.value(fromWindow ? windowAlong : pictureAlong);
    if (convert.failed())
        return fail(error, convert.error());
    const qint64 step = *stepValue;
    if (step == 0)
        return fail(error, QStringLiteral("%1が 0 です。1 ドット以上の間隔が必要です。").arg(fieldLabel(Field::ScrollStep)));
    if (step < 0)
        return fail(error, QStringLiteral("%1が負の値（%2）です。1 ドット以上の間隔が必要です。")
                        .arg(fieldLabel(Field::ScrollStep), QString::number(step)));

    if (layout.endMode == 2 && distance % step > 0)
        distance += step;
    const qint64 progressCount = distance / step + (distance % step > 0 ? 1 : 0);

    FramePieces pieces;
    if (!buildPieces(values, layout.vertical, formatHalves(fixedTwice), pieces, error))
        return false;

    // The loop stops after the first frame whose moved distance exceeds the distance.
    const qint64 loopFrames = distance >= 0 ? distance / step + 2 : 1;
    const qint64 frames = loopFrames + (layout.endMode == 1 ? 1 : 0);
    constexpr qint64 kMaxDigits = 20;
    const qint64 perFrame = pieces.before.size() + kMaxDigits + pieces.after.size();
    if (frames * perFrame > kMaxScriptBytes)
        return fail(error, QStringLiteral("生成されるスクリプトが大きすぎます（約 %1 MB）。ファイル名や設定を見直してください。")
                        .arg(frames * perFrame / 1000000));

    if (progress)
        progress->setMaximum(int(progressCount + 3));

    // One allocation for the whole text; the loop only copies bytes.
    script.resize(frames * perFrame);
    char *const begin = script.data();
    char *out = begin;
    const char *before = pieces.before.constData();
    const qsizetype beforeSize = pieces.before.size();
    const char *after = pieces.after.constData();
    const qsizetype afterSize = pieces.after.size();
    const auto appendFrame = [&](qint64 moving, bool first) {
        const qsizetype skip = first ? 2 : 0; // no CR LF before the first line
        std::memcpy(out, before + skip, size_t(beforeSize - skip));
        out += beforeSize - skip;
        out = std::to_chars(out, out + kMaxDigits, moving).ptr;
        std::memcpy(out, after, size_t(afterSize));
        out += afterSize;
    };

    const qint64 base = *movingBase;
    const bool decreasing = fromWindow;
    qint64 moving = 0;
    for (qint64 k = 0;; ++k) {
        const qint64 moved = k * step;
        // Closing on the window's edge, a frame past it would only twitch back: not written.
        if (layout.endMode == 1 && k > 0 && moved > distance)
            break;
        if (progress)
            progress->setValue(int(k));
        moving = decreasing ? base - moved : moved - base;
        appendFrame(moving, k == 0);
        if (distance - moved < 0)
            break;
    }
    // End mode 1 closes on the window's edge: the moving coordinate back at 0, the fixed one kept.
    if (layout.endMode == 1 && moving != 0)
        appendFrame(0, false);
    script.truncate(out - begin);
    if (progress)
        progress->setValue(int(progressCount + 3));
    return true;
}


namespace {

// (start * den + delta * num) / den, the position itself rounded to the nearest whole number with
// an exact half away from zero: rounding only the offset from the start would round a half towards
// the start instead. |position| <= 32,768 and den <= 32,767^3 keep every product inside 63 bits.
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

// c(t) = Y(s) where X(s) = t. s by Newton's method, kept inside a bracket that every step narrows
// (a step that would leave it bisects instead), until it no longer moves: full double precision in
// a few steps where 64 bisections took 64. X is monotonic, as x1 and x2 lie in 0 to 1. Only + - * /
// in double precision, never fused (this file is built without contraction), so that every system
// writes the same bytes.
double bezierAt(const Bezier &b, double t)
{
    const double x1 = b.x1 / 10000.0;
    const double y1 = b.y1 / 10000.0;
    const double x2 = b.x2 / 10000.0;
    const double y2 = b.y2 / 10000.0;
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
    return cubic(y1, y2, s);
}

qint64 roundHalfAway(double v)
{
    return v < 0 ? -qint64(std::floor(-v + 0.5)) : qint64(std::floor(v + 0.5));
}

} // namespace

void segmentPosition(const Segment &segment, qint64 fromX, qint64 fromY, qint64 i, qint64 n, qint64 &x, qint64 &y)
{
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
        const double c = bezierAt(segment.bezier, double(i) / double(m));
        x = roundHalfAway(double(fromX) + double(segment.x - fromX) * c);
        y = roundHalfAway(double(fromY) + double(segment.y - fromY) * c);
        return;
    }
    // c(i / m) as num / den, whole numbers only.
    qint64 num = i;
    qint64 den = m;
    switch (segment.curve) {
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
    x = roundedPosition(fromX, segment.x - fromX, num, den);
    y = roundedPosition(fromY, segment.y - fromY, num, den);
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
        if (s.motion == Segment::Motion::Frames) {
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
        // One frame is only the frame it starts from: the target is never reached.
        if (part.moving > 1) {
            x = s.x;
            y = s.y;
        }
        part.toX = x;
        part.toY = y;
        plan.parts.append(part);
    }
    // Every frame a curve could carry out of range is computed as the generation computes it, in the
    // order it is written; the first one out is named.
    for (qsizetype k = 0; k < chain.segments.size(); ++k) {
        const Segment &s = chain.segments[k];
        const Part &part = plan.parts[k];
        if (!mayLeaveRange(s, part.fromX, part.fromY))
            continue;
        for (qint64 i = 1; i + 1 < part.moving; ++i) {
            qint64 px = 0;
            qint64 py = 0;
            segmentPosition(s, part.fromX, part.fromY, i, part.moving, px, py);
            if (!fitsInt16(px) || !fitsInt16(py)) {
                plan = ChainPlan();
                return fail(error, QStringLiteral("%1曲線が位置を -32768 から 32767 の範囲外（%2, %3）に出します。曲線の値を見直してください。")
                                       .arg(which(k), QString::number(px), QString::number(py)));
            }
        }
    }
    return true;
}

namespace {

bool generateChainScript(const Run &run, QByteArray &script, GenerationProgress *progress, QString *error)
{
    script.clear();
    const Chain &chain = run.chain;
    ChainPlan plan;
    if (!ChainPlan::make(chain, plan, error))
        return false;
    LineForms forms;
    if (!buildLineForms(run, forms, error))
        return false;
    const QByteArray background = forms.background + "\r\n";
    const QByteArray &before = forms.pictureStart;
    const QByteArray after = forms.pictureEnd + "\r\n";

    constexpr qint64 kMaxDigits = 2 * 12 + 1;
    const qint64 perFrame = background.size() + before.size() + kMaxDigits + after.size();
    if (plan.frames * perFrame > kMaxScriptBytes)
        return fail(error, QStringLiteral("生成されるスクリプトが大きすぎます（約 %1 MB）。").arg(plan.frames * perFrame / 1000000));
    if (progress)
        progress->setMaximum(int(plan.frames));

    // One allocation; the loop only copies bytes.
    script.resize(plan.frames * perFrame);
    char *const begin = script.data();
    char *out = begin;
    const auto put = [&out](const QByteArray &bytes) {
        std::memcpy(out, bytes.constData(), size_t(bytes.size()));
        out += bytes.size();
    };
    qint64 written = 0;
    const auto frame = [&](qint64 x, qint64 y) {
        if (progress && (written & 255) == 0)
            progress->setValue(int(written));
        if (chain.background == Chain::Background::EveryFrame || (chain.background == Chain::Background::FirstFrame && written == 0))
            put(background);
        put(before);
        out = std::to_chars(out, out + 12, x).ptr;
        *out++ = ',';
        out = std::to_chars(out, out + 12, y).ptr;
        put(after);
        ++written;
    };
    for (qsizetype k = 0; k < chain.segments.size(); ++k) {
        const Segment &s = chain.segments[k];
        const ChainPlan::Part &part = plan.parts[k];
        qint64 x = part.fromX;
        qint64 y = part.fromY;
        for (qint64 h = 0; k == 0 && h < chain.holdStart; ++h)
            frame(x, y);
        for (qint64 i = k == 0 ? 0 : 1; i < part.moving; ++i) {
            // The plan has refused any curve that leaves what the host can place.
            segmentPosition(s, part.fromX, part.fromY, i, part.moving, x, y);
            frame(x, y);
        }
        for (qint64 h = 0; h < s.hold; ++h)
            frame(x, y);
    }
    script.truncate(out - begin - 2); // no CR LF after the last line
    if (progress)
        progress->setValue(int(plan.frames));
    return true;
}

} // namespace

bool generateScript(const Run &run, QByteArray &script, GenerationProgress *progress, QString *error)
{
    script.clear();
    if (!run.isComplete())
        return fail(error, QStringLiteral("設定の値が足りません（%1 行目までしかありません）。").arg(QString::number(run.lines)));
    return run.isDetailed() ? generateChainScript(run, script, progress, error)
                            : generateSimpleScript(run, script, progress, error);
}

} // namespace velra
