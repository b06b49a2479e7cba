#include "ScrollScript.h"

#include "handoff/Cp932.h"
#include "handoff/Failure.h"
#include "handoff/HandoffFiles.h"

#include <charconv>
#include <cstring>
#include <climits>
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
class Converter
{
public:
    explicit Converter(const QList<LogValue> &values)
        : m_values(values)
    {
    }

    std::optional<int> value(Field field)
    {
        if (failed())
            return std::nullopt;
        const QString &text = m_values[int(field)].text;
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
    const QList<LogValue> &m_values;
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

bool encodeField(const QList<LogValue> &values, Field field, QByteArray &out, QString *error)
{
    const QString &text = values[int(field)].text;
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

bool buildLineForms(const QList<LogValue> &values, LineForms &forms, QString *error)
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

bool buildPieces(const QList<LogValue> &values, bool vertical, const QByteArray &fixed, FramePieces &pieces,
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

bool generateScript(const QList<LogValue> &values, QByteArray &script, GenerationProgress *progress,
                    QString *error)
{
    script.clear();
    if (values.size() < kFieldCount)
        return fail(error, QStringLiteral("設定の値が足りません（%1 個必要ですが、%2 個しかありません）。")
                        .arg(QString::number(kFieldCount), QString::number(values.size())));

    Converter convert(values);
    const auto code = [&](Field f) {
        // The codes are compared with their values; anything else falls to the last choice.
        bool ok = false;
        const int v = values[int(f)].text.trimmed().toInt(&ok);
        return ok ? v : 0;
    };
    Layout layout;
    layout.direction = code(Field::ScrollDirection);
    layout.alignment = code(Field::ScrollAlignment);
    layout.endMode = code(Field::ScrollEndMode);
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
        if (progress)
            progress->setValue(int(k));
        const qint64 moved = k * step;
        moving = decreasing ? base - moved : moved - base;
        appendFrame(moving, k == 0);
        if (distance - moved < 0)
            break;
    }
    // End mode 1 closes on the window's edge: the moving coordinate back at 0, the fixed one kept.
    if (layout.endMode == 1 && moving != 0)
        appendFrame(0, false);
    script.truncate(out - begin);
    return true;
}

QString detailFieldLabel(DetailField field)
{
    static const char *const labels[kDetailFieldCount] = {
        "開始位置の x 座標", "開始位置の y 座標", "終了位置の x 座標", "終了位置の y 座標",       "動かし方",
        "移動の量",     "速さの変化",   "最初に止めるコマ数", "最後に止めるコマ数", "背景の描き方",
    };
    return QString::fromUtf8(labels[int(field)]);
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

} // namespace

qint64 DetailedMove::movingFrames(QString *error) const
{
    qint64 n = 0;
    if (byFrameCount) {
        n = amount;
    } else {
        const qint64 dx = qAbs(qint64(endX) - startX);
        const qint64 dy = qAbs(qint64(endY) - startY);
        const qint64 longest = qMax(dx, dy);
        n = (longest + amount - 1) / amount + 1;
    }
    if (n > kMaxMovingFrames) {
        if (error)
            *error = QStringLiteral("動くコマが %1 コマになります。%2 コマまでにしてください（移動の量を見直してください）。")
                         .arg(QString::number(n), QString::number(kMaxMovingFrames));
        return 0;
    }
    return n;
}

void DetailedMove::position(qint64 i, qint64 n, qint64 &x, qint64 &y) const
{
    const qint64 m = n - 1;
    if (m <= 0) {
        x = startX;
        y = startY;
        return;
    }
    // c(i / m) as num / den, whole numbers only.
    qint64 num = i;
    qint64 den = m;
    switch (curve) {
    case 2:
        num = i * i;
        den = m * m;
        break;
    case 3:
        num = m * m - (m - i) * (m - i);
        den = m * m;
        break;
    case 4:
        num = 3 * i * i * m - 2 * i * i * i;
        den = m * m * m;
        break;
    default:
        break;
    }
    x = roundedPosition(startX, qint64(endX) - startX, num, den);
    y = roundedPosition(startY, qint64(endY) - startY, num, den);
}

bool readDetailedMove(const QList<LogValue> &values, DetailedMove &move, QString *error)
{
    if (values.size() < kDetailedLogFieldCount)
        return fail(error, QStringLiteral("詳細設定の値が足りません（%1 個必要ですが、%2 個しかありません）。")
                        .arg(QString::number(kDetailedLogFieldCount), QString::number(values.size())));
    const auto read = [&](DetailField field, int low, int high, int &out) {
        const QString &text = values[9 + int(field)].text;
        bool ok = false;
        const qint64 v = text.toLongLong(&ok);
        // The amount is named as the page names its box.
        const QString label = field != DetailField::MoveAmount ? detailFieldLabel(field)
            : move.byFrameCount                                 ? QStringLiteral("コマ数")
                                                                : QStringLiteral("1コマに動かすドット数");
        if (text.isEmpty())
            return fail(error, QStringLiteral("%1が記入されていません。").arg(label));
        if (!isWholeNumberText(text))
            return fail(error, QStringLiteral("%1の値「%2」は整数ではありません。").arg(label, shownValue(text)));
        if (!ok || v < low || v > high)
            return fail(error, QStringLiteral("%1の値「%2」は %3 から %4 の範囲外です。").arg(label, shownValue(text), QString::number(low), QString::number(high)));
        out = int(v);
        return true;
    };
    int kind = 0;
    if (!read(DetailField::StartX, -32768, 32767, move.startX) || !read(DetailField::StartY, -32768, 32767, move.startY)
        || !read(DetailField::EndX, -32768, 32767, move.endX) || !read(DetailField::EndY, -32768, 32767, move.endY)
        || !read(DetailField::MoveKind, 1, 2, kind))
        return false;
    move.byFrameCount = kind == 2;
    if (!read(DetailField::MoveAmount, 1, move.byFrameCount ? int(kMaxMovingFrames) : 32767, move.amount)
        || !read(DetailField::Curve, 1, 4, move.curve) || !read(DetailField::HoldStart, 0, 32767, move.holdStart)
        || !read(DetailField::HoldEnd, 0, 32767, move.holdEnd) || !read(DetailField::BackgroundMode, 1, 3, move.background))
        return false;
    return move.movingFrames(error) > 0;
}

bool generateDetailedScript(const QList<LogValue> &values, QByteArray &script, GenerationProgress *progress,
                            QString *error)
{
    script.clear();
    DetailedMove move;
    if (!readDetailedMove(values, move, error))
        return false;
    LineForms forms;
    if (!buildLineForms(values, forms, error))
        return false;
    const QByteArray background = forms.background + "\r\n";
    const QByteArray &before = forms.pictureStart;
    const QByteArray after = forms.pictureEnd + "\r\n";

    const qint64 n = move.movingFrames(error);
    const qint64 frames = move.holdStart + n + move.holdEnd;
    constexpr qint64 kMaxDigits = 2 * 12 + 1;
    const qint64 perFrame = background.size() + before.size() + kMaxDigits + after.size();
    if (frames * perFrame > kMaxScriptBytes)
        return fail(error, QStringLiteral("生成されるスクリプトが大きすぎます（約 %1 MB）。").arg(frames * perFrame / 1000000));
    if (progress)
        progress->setMaximum(int(qMin<qint64>(frames, INT_MAX)));

    // One allocation; the loop only copies bytes.
    script.resize(frames * perFrame);
    char *const begin = script.data();
    char *out = begin;
    const auto put = [&out](const QByteArray &bytes) {
        std::memcpy(out, bytes.constData(), size_t(bytes.size()));
        out += bytes.size();
    };
    qint64 x = 0;
    qint64 y = 0;
    for (qint64 f = 0; f < frames; ++f) {
        if (progress && (f & 255) == 0)
            progress->setValue(int(f));
        const qint64 i = qBound(qint64(0), f - move.holdStart, n - 1);
        move.position(i, n, x, y);
        if (move.background == 1 || (move.background == 2 && f == 0))
            put(background);
        put(before);
        out = std::to_chars(out, out + 12, x).ptr;
        *out++ = ',';
        out = std::to_chars(out, out + 12, y).ptr;
        put(after);
    }
    script.truncate(out - begin - 2); // no CR LF after the last line
    if (progress)
        progress->setValue(int(qMin<qint64>(frames, INT_MAX)));
    return true;
}

bool generateFromLog(const QList<LogValue> &values, QByteArray &script, GenerationProgress *progress, QString *error)
{
    if (values.size() > int(Field::SettingMode) && values[int(Field::SettingMode)].text.trimmed() == QLatin1String("2"))
        return generateDetailedScript(values, script, progress, error);
    return generateScript(values, script, progress, error);
}

} // namespace velra
