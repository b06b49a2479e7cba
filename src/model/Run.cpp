#include "model/Run.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "text/Shown.h"

#include <QDir>

#include <climits>

namespace velra {

Number::Number(const QString &text)
    : m_text(text)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    // Only digits with an optional sign: the pages store digit texts, and anything else (spaces,
    // decimals) can only come from a hand-edited log.
    const bool wellFormed = ok && !text.isEmpty() && !text.front().isSpace() && !text.back().isSpace();
    m_digits = wellFormed;
    m_value = wellFormed ? v : 0;
    if (!wellFormed && !isWholeNumberText(text))
        m_state = text.isEmpty() ? State::Empty : State::NotWhole;
    else
        m_state = !wellFormed || v < -32768 || v > 32767 ? State::OutOfRange : State::Whole;
}

std::optional<int> Number::value() const
{
    return m_state == State::Whole ? std::optional<int>(int(m_value)) : std::nullopt;
}

std::optional<int> Number::positive() const
{
    return m_state == State::Whole && m_value > 0 ? std::optional<int>(int(m_value)) : std::nullopt;
}

std::optional<int> Number::intValue() const
{
    return m_digits && m_value >= INT_MIN && m_value <= INT_MAX ? std::optional<int>(int(m_value)) : std::nullopt;
}

QString detailFieldLabel(DetailField field)
{
    static const char *const labels[] = {
        "開始位置の x 座標", "開始位置の y 座標", "終了位置の x 座標", "終了位置の y 座標",       "動かし方",
        "移動の量",     "速さの変化",   "最初に止めるコマ数", "最後に止めるコマ数", "背景の描き方",
    };
    return QString::fromUtf8(labels[int(field)]);
}

namespace runlog {
namespace {

bool failWith(RunError *error, RunError problem)
{
    if (error)
        *error = std::move(problem);
    return false;
}

RunError problem(const QString &message, int line = 0, int segment = 0, std::optional<DetailField> detail = std::nullopt)
{
    RunError error;
    error.message = message;
    error.line = line;
    error.segment = segment;
    error.detail = detail;
    return error;
}

// Where a value of a chain stands, as messages name it: line 4's values as the page names its
// boxes, a later segment's as "5 行目（2 番目の動き）の目標の x 座標".
struct Place
{
    Place(int line, int segment, const QString &label, std::optional<DetailField> detail = std::nullopt, bool rows = false)
        : line(line)
        , segment(segment)
        , label(label)
        , detail(detail)
        , rows(rows)
    {
    }

    int line = 4;
    int segment = 1; // 0: the chain's own values (the start, its hold, the background)
    QString label;
    std::optional<DetailField> detail;
    bool rows = false; // named as the editor's rows, not the log's lines

    QString named() const
    {
        if (rows)
            return segment == 0 ? label : QStringLiteral("%1 番目の動きの%2").arg(QString::number(segment), label);
        if (line == 4)
            return label;
        return QStringLiteral("%1 行目（%2 番目の動き）の%3").arg(QString::number(line), QString::number(segment), label);
    }
};

bool wholeNumber(const QString &text, const Place &place, qint64 low, qint64 high, qint64 &out, RunError *error)
{
    const auto refuse = [&](const QString &message) {
        return failWith(error, problem(message, place.line, place.segment, place.detail));
    };
    if (text.isEmpty())
        return refuse(QStringLiteral("%1が記入されていません。").arg(place.named()));
    if (!isWholeNumberText(text))
        return refuse(QStringLiteral("%1の値「%2」は整数ではありません。").arg(place.named(), shownValue(text)));
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < low || v > high)
        return refuse(QStringLiteral("%1の値「%2」は %3 から %4 の範囲外です。")
                          .arg(place.named(), shownValue(text), QString::number(low), QString::number(high)));
    out = v;
    return true;
}

bool wholeNumber(const QString &text, const Place &place, int low, int high, int &out, RunError *error)
{
    qint64 v = 0;
    if (!wholeNumber(text, place, qint64(low), qint64(high), v, error))
        return false;
    out = int(v);
    return true;
}

// A Bézier value: an optional minus, digits, and at most four decimals after a point; in ten
// thousandths.
bool decimal(const QString &text, const Place &place, int low, int high, int &out, RunError *error)
{
    const auto refuse = [&](const QString &message) {
        return failWith(error, problem(message, place.line, place.segment, place.detail));
    };
    if (text.isEmpty())
        return refuse(QStringLiteral("%1が記入されていません。").arg(place.named()));
    qsizetype at = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    const bool negative = at == 1;
    qint64 whole = 0;
    qsizetype digits = 0;
    for (; at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9'); ++at, ++digits)
        whole = qMin<qint64>(whole * 10 + (text[at].unicode() - '0'), 1000000);
    qint64 fraction = 0;
    qsizetype decimals = 0;
    bool wellFormed = digits > 0;
    if (wellFormed && at < text.size() && text[at] == QLatin1Char('.')) {
        // Digits past the fourth are counted, not added up: the text is refused for them anyway.
        for (++at; at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9'); ++at, ++decimals) {
            if (decimals < 4)
                fraction = fraction * 10 + (text[at].unicode() - '0');
        }
        wellFormed = decimals >= 1 && decimals <= 4;
    }
    if (!wellFormed || at != text.size())
        return refuse(QStringLiteral("%1の値「%2」は小数点以下 4 けたまでの数ではありません。").arg(place.named(), shownValue(text)));
    for (qsizetype d = decimals; d < 4; ++d)
        fraction *= 10;
    const qint64 value = (negative ? -1 : 1) * (whole * 10000 + fraction);
    if (value < low || value > high)
        return refuse(QStringLiteral("%1の値「%2」は %3 から %4 の範囲外です。")
                          .arg(place.named(), shownValue(text), QString::number(low / 10000), QString::number(high / 10000)));
    out = int(value);
    return true;
}

QString decimalText(int tenThousandths)
{
    QString text = tenThousandths < 0 ? QStringLiteral("-") : QString();
    const int magnitude = tenThousandths < 0 ? -tenThousandths : tenThousandths;
    text += QString::number(magnitude / 10000);
    if (const int fraction = magnitude % 10000) {
        QString digits = QString::number(fraction).rightJustified(4, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLatin1Char('.') + digits;
    }
    return text;
}

bool readBezier(const LogLine &line, qsizetype from, const Place &at, Bezier &bezier, RunError *error)
{
    const char *const names[] = {"曲線の x1", "曲線の y1", "曲線の x2", "曲線の y2"};
    int *const values[] = {&bezier.x1, &bezier.y1, &bezier.x2, &bezier.y2};
    for (int i = 0; i < 4; ++i) {
        Place place = at;
        place.label = QString::fromUtf8(names[i]);
        place.detail.reset();
        const bool isX = i % 2 == 0;
        if (!decimal(line[from + i].text, place, isX ? 0 : -20000, isX ? 10000 : 30000, *values[i], error))
            return false;
    }
    return true;
}

// What a segment's values may be, by its way of moving: a shake's x and y are amplitudes and its
// amount the frames a swing, on curves 1 to 4; a move's are a target and dots or frames, on any.
struct Ranges
{
    const char *x;
    const char *y;
    int least;
    int most;
    const char *amount;
    int amountMost;
    int curveMost;
};

Ranges rangesOf(Segment::Motion motion)
{
    switch (motion) {
    case Segment::Motion::Shake:
        return {"揺れ幅の x", "揺れ幅の y", 0, kMaxShakeAmplitude, "1 回のコマ数", kMaxShakeSwingFrames, 4};
    case Segment::Motion::Frames:
        return {"目標の x 座標", "目標の y 座標", -32768, 32767, "コマ数", int(kMaxSegmentFrames), 8};
    default:
        return {"目標の x 座標", "目標の y 座標", -32768, 32767, "1コマ平均のドット数", 32767, 8};
    }
}

// A shake's four values after its line's others: the swings, the decay, the pattern and the seed
// (which reaches 2^32 - 1, past an int); and amplitudes that swing at all.
bool readShake(const LogLine &line, qsizetype from, const Place &at, Segment &segment, RunError *error)
{
    const auto read = [&](qsizetype i, const char *label, qint64 low, qint64 high, qint64 &out) {
        Place place = at;
        place.label = QString::fromUtf8(label);
        place.detail.reset();
        return wholeNumber(line[from + i].text, place, low, high, out, error);
    };
    qint64 swings = 0, decay = 0, pattern = 0, seed = 0;
    if (!read(0, "揺れの回数", 1, kMaxShakeSwings, swings) || !read(1, "減衰", 1, 3, decay) || !read(2, "揺れ方", 1, 2, pattern)
        || !read(3, "シード", 0, 4294967295LL, seed))
        return false;
    segment.shake = {int(swings), Shake::Decay(decay), Shake::Pattern(pattern), quint32(seed)};
    if (segment.x == 0 && segment.y == 0) {
        Place place = at;
        place.label = QStringLiteral("揺れ幅");
        return failWith(error, problem(QStringLiteral("%1が x、y とも 0 です。どちらかを 1 から %2 にしてください。")
                                           .arg(place.named(), QString::number(kMaxShakeAmplitude)),
                                       at.line, at.segment));
    }
    return true;
}

// Line 4: the start, the first segment, the holds and the background, with four more values for a
// Bézier curve.
bool readRecord(const LogLine &line, Chain &chain, RunError *error, bool rows)
{
    const auto value = [&line](DetailField field) { return line[int(field)].text; };
    const auto read = [&](DetailField field, int low, int high, int &out, const QString &label = QString()) {
        Place place{4, 1, label.isEmpty() ? detailFieldLabel(field) : label, field, rows};
        if (rows && label.isEmpty()) {
            // The editor names the first move's values as it names every row's.
            static const char *const rowLabels[] = {nullptr, nullptr, "目標の x 座標", "目標の y 座標", "動かし方", nullptr,
                                                    "速さの変化", nullptr, "止めるコマ数", nullptr};
            if (const char *row = rowLabels[int(field)])
                place.label = QString::fromUtf8(row);
            else if (field != DetailField::MoveAmount)
                place.segment = 0;
        }
        return wholeNumber(value(field), place, low, high, out, error);
    };
    Segment first;
    int motion = 0;
    int curve = 0;
    int background = 0;
    if (!read(DetailField::StartX, -32768, 32767, chain.startX) || !read(DetailField::StartY, -32768, 32767, chain.startY)
        || !read(DetailField::MoveKind, 1, 3, motion))
        return false;
    first.motion = Segment::Motion(motion);
    const bool shake = first.isShake();
    const Ranges ranges = rangesOf(first.motion);
    // A shake's values are named as its boxes are, never as a target's coordinates; a move's target
    // as the page names it. The amount is named as the page names its box.
    const auto named = [shake](const char *label) { return shake ? QString::fromUtf8(label) : QString(); };
    if (!read(DetailField::EndX, ranges.least, ranges.most, first.x, named(ranges.x))
        || !read(DetailField::EndY, ranges.least, ranges.most, first.y, named(ranges.y))
        || !read(DetailField::MoveAmount, 1, ranges.amountMost, first.amount, QString::fromUtf8(ranges.amount))
        || !read(DetailField::Curve, 1, ranges.curveMost, curve) || !read(DetailField::HoldStart, 0, 32767, chain.holdStart)
        || !read(DetailField::HoldEnd, 0, 32767, first.hold) || !read(DetailField::BackgroundMode, 1, 3, background))
        return false;
    first.curve = Segment::Curve(curve);
    chain.background = Chain::Background(background);
    const bool more = first.curve == Segment::Curve::Bezier || shake;
    const qsizetype expected = more ? 14 : 10;
    if (line.size() != expected)
        return failWith(error, problem(line.size() < expected ? (shake ? QStringLiteral("4 行目の揺れの値が足りません（回数、減衰、揺れ方、シードの 4 つが必要です）。")
                                                                      : QStringLiteral("4 行目の曲線の値が足りません（x1、y1、x2、y2 の 4 つが必要です）。"))
                                                       : QStringLiteral("4 行目の値が多すぎます（%1 個のはずが %2 個あります）。")
                                                             .arg(QString::number(expected), QString::number(line.size())),
                                4, 1));
    if (first.curve == Segment::Curve::Bezier && !readBezier(line, 10, {4, 1, QString(), std::nullopt, rows}, first.bezier, error))
        return false;
    if (shake && !readShake(line, 10, {4, 1, QString(), std::nullopt, rows}, first, error))
        return false;
    chain.segments = {first};
    return true;
}

// A further segment: "x","y",motion,"N",curve,"hold", with four more values for a Bézier curve or
// a shake (whose x and y are its amplitudes, and N its frames a swing).
bool readSegmentLine(const LogLine &line, int lineNumber, Chain &chain, RunError *error, bool rows)
{
    const int number = int(chain.segments.size()) + 1;
    if (number > kMaxSegments)
        return failWith(error, problem(QStringLiteral("動きは %1 個までです（%2 行目が %3 個目です）。")
                                    .arg(QString::number(kMaxSegments), QString::number(lineNumber), QString::number(number)),
                                lineNumber, number));
    const auto read = [&](qsizetype at, const char *label, int low, int high, int &out) {
        return wholeNumber(line.value(at).text, {lineNumber, number, QString::fromUtf8(label), std::nullopt, rows}, low, high, out, error);
    };
    if (line.size() < 6)
        return failWith(error, problem(QStringLiteral("%1 行目（%2 番目の動き）の値が足りません（6 個必要ですが、%3 個しかありません）。")
                                    .arg(QString::number(lineNumber), QString::number(number), QString::number(line.size())),
                                lineNumber, number));
    Segment segment;
    int motion = 0;
    int curve = 0;
    if (!read(2, "動かし方", 1, 3, motion))
        return false;
    segment.motion = Segment::Motion(motion);
    const bool shake = segment.isShake();
    const Ranges ranges = rangesOf(segment.motion);
    if (!read(0, ranges.x, ranges.least, ranges.most, segment.x) || !read(1, ranges.y, ranges.least, ranges.most, segment.y)
        || !read(3, ranges.amount, 1, ranges.amountMost, segment.amount) || !read(4, "速さの変化", 1, ranges.curveMost, curve)
        || !read(5, "止めるコマ数", 0, 32767, segment.hold))
        return false;
    segment.curve = Segment::Curve(curve);
    const qsizetype expected = segment.curve == Segment::Curve::Bezier || shake ? 10 : 6;
    if (line.size() != expected)
        return failWith(error, problem(QStringLiteral("%1 行目（%2 番目の動き）の値の数が違います（%3 個のはずが %4 個あります）。")
                                    .arg(QString::number(lineNumber), QString::number(number), QString::number(expected),
                                         QString::number(line.size())),
                                lineNumber, number));
    if (segment.curve == Segment::Curve::Bezier && !readBezier(line, 6, {lineNumber, number, QString(), std::nullopt, rows}, segment.bezier, error))
        return false;
    if (shake && !readShake(line, 6, {lineNumber, number, QString(), std::nullopt, rows}, segment, error))
        return false;
    chain.segments.append(segment);
    return true;
}

bool isBlank(QStringView line)
{
    return line.trimmed().isEmpty();
}

// The lines of `text`, split at CR LF, CR or LF.
QList<QStringView> linesOf(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\r') && text[i] != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

LogLine valuesOf(QStringView line)
{
    LogLine values;
    settingslog::parseValues(line, 1000, values);
    return values;
}

RunError missing(int needed, int found)
{
    return problem(QStringLiteral("値が足りません（%1 個必要ですが、%2 個しかありません）。").arg(QString::number(needed), QString::number(found)));
}

} // namespace

bool chainFromLines(const QList<LogLine> &lines, Chain &chain, RunError *error, Naming naming)
{
    const bool rows = naming == Naming::EditorRows;
    Chain read;
    if (lines.isEmpty() || lines.front().size() < 10)
        return failWith(error, problem(QStringLiteral("詳細設定の値が足りません（10 個必要ですが、%1 個しかありません）。")
                                    .arg(QString::number(lines.isEmpty() ? 0 : lines.front().size())),
                                4, 1));
    if (!readRecord(lines.front(), read, error, rows))
        return false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!readSegmentLine(lines[i], int(4 + i), read, error, rows))
            return false;
    }
    chain = std::move(read);
    return true;
}

QList<LogLine> chainLines(const Chain &chain)
{
    QList<LogLine> lines;
    const auto text = [](int v) { return LogValue::textValue(QString::number(v)); };
    const auto moreValues = [&text](const Segment &s, LogLine &line) {
        if (s.isShake()) {
            line << text(s.shake.swings) << LogValue::number(int(s.shake.decay)) << LogValue::number(int(s.shake.pattern))
                 << LogValue::textValue(QString::number(s.shake.seed));
            return;
        }
        if (s.curve != Segment::Curve::Bezier)
            return;
        for (const int v : {s.bezier.x1, s.bezier.y1, s.bezier.x2, s.bezier.y2})
            line.append(LogValue::textValue(decimalText(v)));
    };
    for (qsizetype i = 0; i < chain.segments.size(); ++i) {
        const Segment &s = chain.segments[i];
        LogLine line;
        if (i == 0) {
            line = {text(chain.startX), text(chain.startY), text(s.x), text(s.y), LogValue::number(int(s.motion)), text(s.amount),
                    LogValue::number(int(s.curve)), text(chain.holdStart), text(s.hold), LogValue::number(int(chain.background))};
        } else {
            line = {text(s.x), text(s.y), LogValue::number(int(s.motion)), text(s.amount), LogValue::number(int(s.curve)), text(s.hold)};
        }
        moreValues(s, line);
        lines.append(line);
    }
    return lines;
}

bool holdsNewerMotion(const QList<LogLine> &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype motion = i == 0 ? int(DetailField::MoveKind) : 2;
        const qsizetype curve = i == 0 ? int(DetailField::Curve) : 4;
        const int code = lines[i].value(curve).text.trimmed().toInt();
        if (lines[i].value(motion).text.trimmed() == QLatin1String("3") || (code >= 6 && code <= 8))
            return true;
    }
    return false;
}

bool parse(QStringView text, Run &run, RunError *error, int upToLine)
{
    run = Run();
    // Lines 1 to 3, and the simple mode's line 4, are read value after value as they always were.
    QList<LogValue> head;
    qsizetype pos = settingslog::parseValues(text, int(Field::SettingMode) + 1, head);
    const int found = int(head.size());
    run.lines = found > int(Field::SettingMode)    ? 3
        : found > int(Field::WindowHeight) ? 2
        : found > int(Field::ScrollImageHeight) ? 1
                                                : 0;
    static const int needed[] = {0, 3, 8, 9};
    if (run.lines < qMin(upToLine, 3))
        return failWith(error, missing(needed[qMin(upToLine, 3)], found));
    const auto at = [&head](Field f) { return head.value(int(f)).text; };
    run.scroll = {at(Field::ScrollImageFile), at(Field::ScrollImageWidth), at(Field::ScrollImageHeight)};
    run.background = {at(Field::BackgroundFile), at(Field::BackgroundWidth), at(Field::BackgroundHeight)};
    run.windowWidth = at(Field::WindowWidth);
    run.windowHeight = at(Field::WindowHeight);
    run.mode = at(Field::SettingMode).trimmed() == QLatin1String("2") ? Run::Mode::Detailed : Run::Mode::Simple;
    if (run.lines < 3 || upToLine < 4)
        return true;

    if (!run.isDetailed()) {
        QList<LogValue> all;
        settingslog::parseValues(text, kFieldCount, all);
        if (all.size() < kFieldCount)
            return failWith(error, missing(kFieldCount, int(all.size())));
        const auto code = [&all](Field f) {
            // Codes are compared with their values; anything else falls to the last choice.
            bool ok = false;
            const int v = all[int(f)].text.trimmed().toInt(&ok);
            return ok ? v : 0;
        };
        run.simple = {code(Field::ScrollDirection), all[int(Field::ScrollStep)].text, code(Field::ScrollAlignment),
                      code(Field::ScrollEndMode), all[int(Field::MoveCount)].text};
        run.lines = 4;
        return true;
    }

    // The detailed mode: the record's ten values (fourteen with a Bézier curve), then a line for
    // each further segment, and nothing else but blank lines at the end.
    const QStringView rest = text.mid(pos);
    QList<LogValue> record;
    qsizetype end = settingslog::parseValues(rest, 10, record);
    if (record.size() < 10)
        return failWith(error, missing(int(Field::SettingMode) + 1 + 10, found + int(record.size())));
    const bool shake = record[int(DetailField::MoveKind)].text.trimmed() == QLatin1String("3");
    if ((shake || record[int(DetailField::Curve)].text.trimmed() == QLatin1String("5")) && end > 0 && rest[end - 1] == QLatin1Char(',')) {
        QList<LogValue> more;
        end += settingslog::parseValues(rest.mid(end), 4, more);
        record.append(more);
        if (more.size() < 4)
            return failWith(error, problem(shake ? QStringLiteral("4 行目の揺れの値が足りません（回数、減衰、揺れ方、シードの 4 つが必要です）。")
                                                 : QStringLiteral("4 行目の曲線の値が足りません（x1、y1、x2、y2 の 4 つが必要です）。"),
                                           4, 1));
    }
    if (end > 0 && rest[end - 1] == QLatin1Char(','))
        return failWith(error, problem(QStringLiteral("4 行目の値が多すぎます。"), 4, 1));
    QList<LogLine> lines{record};
    QList<QStringView> after = linesOf(rest.mid(end));
    while (!after.isEmpty() && isBlank(after.back()))
        after.removeLast();
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (isBlank(after[i]))
            return failWith(error, problem(QStringLiteral("%1 行目が空です。動きの行のあいだに空の行は置けません。").arg(QString::number(5 + i)), int(5 + i)));
        lines.append(valuesOf(after[i]));
    }
    run.typedChain = lines;
    if (!chainFromLines(lines, run.chain, error))
        return false;
    run.lines = 4;
    return true;
}

} // namespace runlog
} // namespace velra
