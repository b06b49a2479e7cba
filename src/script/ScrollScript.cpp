#include "ScrollScript.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "text/Shown.h"
#include "platform/Memory.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <climits>
#include <algorithm>
#include <optional>

namespace velra {
namespace {

// A number of the simple mode's run, named by its field.
const Number &numberOf(const Run &run, Field field)
{
    static const Number none;
    switch (field) {
    case Field::ScrollImageWidth:
        return run.scroll.width;
    case Field::ScrollImageHeight:
        return run.scroll.height;
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

// The text of a value as the log holds it, named by its field.
const QString &textOf(const Run &run, Field field)
{
    if (field == Field::ScrollImageFile)
        return run.scroll.file;
    if (field == Field::BackgroundFile)
        return run.background.file;
    return numberOf(run, field).text();
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
        const Number &number = numberOf(m_run, field);
        switch (number.state()) {
        case Number::State::Empty:
            m_error = QStringLiteral("%1が空です。整数が必要です。").arg(fieldLabel(field));
            break;
        case Number::State::NotWhole:
            m_error = QStringLiteral("%1の値「%2」は整数ではありません。").arg(fieldLabel(field), shownValue(number.text()));
            break;
        case Number::State::OutOfRange:
            m_error = QStringLiteral("%1の値「%2」は -32768 から 32767 の範囲外です。").arg(fieldLabel(field), shownValue(number.text()));
            break;
        case Number::State::Whole:
            break;
        }
        return number.value();
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
    platform::preferLargePages(begin, script.size());
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
    platform::preferLargePages(begin, script.size());
    const auto put = [&out](const QByteArray &bytes) {
        std::memcpy(out, bytes.constData(), size_t(bytes.size()));
        out += bytes.size();
    };
    // Between two frames' numbers stands one run of bytes: the end of a picture line, the background
    // line when every frame has it, the start of the next picture line. One copy a frame.
    const QByteArray between = after + (chain.background == Chain::Background::EveryFrame ? background : QByteArray()) + before;
    qint64 written = 0;
    const auto frame = [&](qint64 x, qint64 y) {
        if (progress && (written & 255) == 0)
            progress->setValue(int(written));
        if (written == 0) {
            if (chain.background != Chain::Background::Never)
                put(background);
            put(before);
        } else {
            put(between);
        }
        out = std::to_chars(out, out + 12, x).ptr;
        *out++ = ',';
        out = std::to_chars(out, out + 12, y).ptr;
        ++written;
    };
    for (qsizetype k = 0; k < chain.segments.size(); ++k) {
        const Segment &s = chain.segments[k];
        const ChainPlan::Part &part = plan.parts[k];
        qint64 x = part.fromX;
        qint64 y = part.fromY;
        for (qint64 h = 0; k == 0 && h < chain.holdStart; ++h)
            frame(x, y);
        SegmentFrames positions(s, part.fromX, part.fromY, part.moving);
        for (qint64 i = k == 0 ? 0 : 1; i < part.moving; ++i) {
            // The plan has refused any curve that leaves what the host can place.
            positions.position(i, x, y);
            frame(x, y);
        }
        for (qint64 h = 0; h < s.hold; ++h)
            frame(x, y);
    }
    put(after);
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
