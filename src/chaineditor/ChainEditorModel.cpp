#include "ChainEditorModel.h"

#include "model/LogFormat.h"

#include <QRandomGenerator>

namespace velra {

QString curveName(Segment::Curve curve)
{
    static const char *const names[] = {"等速", "加速", "減速", "加減速", "カスタム", "弾む（終わり）", "弾む（始まり）", "弾む（両方）"};
    return QString::fromUtf8(names[qBound(1, int(curve), 8) - 1]);
}

QString decayName(Shake::Decay decay)
{
    static const char *const names[] = {"なし", "直線", "二次"};
    return QString::fromUtf8(names[qBound(1, int(decay), 3) - 1]);
}

QString patternName(Shake::Pattern pattern)
{
    return pattern == Shake::Pattern::Random ? QStringLiteral("ランダム") : QStringLiteral("交互");
}

namespace {
std::function<quint32()> &seedSource()
{
    static std::function<quint32()> source;
    return source;
}
} // namespace

quint32 drawShakeSeed()
{
    return seedSource() ? seedSource()() : QRandomGenerator::global()->generate();
}

void testing::setShakeSeeds(std::function<quint32()> source)
{
    seedSource() = std::move(source);
}

std::optional<Bezier> drawableBezier(const std::array<QString, 4> &texts)
{
    std::array<int, 4> values{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const double v = texts[i].toDouble(&ok);
        // An x outside 0 to 1 has no curve; a y far beyond what the chain takes is not drawn either.
        if (!ok || (i % 2 == 0 ? v < 0 || v > 1 : v < -100 || v > 100))
            return std::nullopt;
        values[i] = qRound(v * 10000);
    }
    return Bezier{values[0], values[1], values[2], values[3]};
}

ChainRow rowOf(const Segment &s)
{
    ChainRow row;
    if (s.isShake()) {
        row.shake = true;
        row.amplitudeX = QString::number(s.x);
        row.amplitudeY = QString::number(s.y);
        row.swingFrames = QString::number(s.amount);
        row.swingCurve = s.curve;
        row.hold = QString::number(s.hold);
        row.swings = QString::number(s.shake.swings);
        row.decay = s.shake.decay;
        row.pattern = s.shake.pattern;
        row.seed = QString::number(s.shake.seed);
        return row;
    }
    row.x = QString::number(s.x);
    row.y = QString::number(s.y);
    row.motion = s.motion;
    (s.motion == Segment::Motion::Frames ? row.frames : row.dots) = QString::number(s.amount);
    row.curve = s.curve;
    row.hold = QString::number(s.hold);
    if (s.curve == Segment::Curve::Bezier) {
        Chain one;
        one.segments = {s};
        const LogLine line = runlog::chainLines(one).front();
        for (int i = 0; i < 4; ++i)
            row.bezier[i] = line[10 + i].text;
    }
    return row;
}

QList<LogLine> ChainEditorModel::record() const
{
    const auto text = [](const QString &t) { return LogValue::textValue(t); };
    QList<LogLine> lines;
    for (qsizetype k = 0; k < m_edit.rows.size(); ++k) {
        const ChainRow &r = m_edit.rows[k];
        const bool shake = r.isShake();
        const LogValue motion = LogValue::number(int(shake ? Segment::Motion::Shake : r.motion));
        const LogValue amount = text(shake ? r.swingFrames : r.motion == Segment::Motion::Frames ? r.frames : r.dots);
        const LogValue curve = LogValue::number(int(shake ? r.swingCurve : r.curve));
        // Line 4 holds the chain's own values around its first move's.
        LogLine line;
        if (k == 0)
            line << text(m_edit.startX) << text(m_edit.startY);
        line << text(shake ? r.amplitudeX : r.x) << text(shake ? r.amplitudeY : r.y) << motion << amount << curve;
        if (k == 0)
            line << text(m_edit.holdStart);
        line << text(r.hold);
        if (k == 0)
            line << LogValue::number(m_edit.background);
        if (shake) {
            line << text(r.swings) << LogValue::number(int(r.decay)) << LogValue::number(int(r.pattern)) << text(r.seed);
        } else if (r.curve == Segment::Curve::Bezier) {
            for (const QString &v : r.bezier)
                line.append(text(v));
        }
        lines.append(line);
    }
    return lines;
}

ChainEdit ChainEditorModel::editOf(const QList<LogLine> &lines)
{
    ChainEdit e;
    const auto at = [](const LogLine &line, qsizetype i) { return line.value(i).text; };
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const LogLine &line = lines[k];
        // Line 4 holds the chain's own values around its first move's.
        const qsizetype from = k == 0 ? 2 : 0;
        if (k == 0) {
            e.startX = at(line, 0);
            e.startY = at(line, 1);
            e.holdStart = at(line, 7);
            e.background = qBound(1, at(line, 9).toInt(), 3);
        }
        ChainRow r;
        const QString motion = at(line, from + 2).trimmed();
        r.shake = motion == QLatin1String("3");
        r.motion = motion == QLatin1String("2") ? Segment::Motion::Frames : Segment::Motion::DotsPerFrame;
        r.hold = at(line, k == 0 ? 8 : 5);
        const qsizetype bezier = k == 0 ? 10 : 6; // a shake's four values stand there too
        if (r.isShake()) {
            r.amplitudeX = at(line, from);
            r.amplitudeY = at(line, from + 1);
            r.swingFrames = at(line, from + 3);
            r.swingCurve = Segment::Curve(qBound(1, at(line, from + 4).toInt(), 4));
            r.swings = at(line, bezier);
            r.decay = Shake::Decay(qBound(1, at(line, bezier + 1).toInt(), 3));
            r.pattern = Shake::Pattern(qBound(1, at(line, bezier + 2).toInt(), 2));
            r.seed = at(line, bezier + 3);
            e.rows.append(r);
            continue;
        }
        r.x = at(line, from);
        r.y = at(line, from + 1);
        (r.motion == Segment::Motion::Frames ? r.frames : r.dots) = at(line, from + 3);
        r.curve = Segment::Curve(qBound(1, at(line, from + 4).toInt(), 8));
        if (r.curve == Segment::Curve::Bezier) {
            for (int i = 0; i < 4; ++i)
                r.bezier[i] = at(line, bezier + i);
        }
        e.rows.append(r);
    }
    if (e.rows.isEmpty())
        e.rows.append(ChainRow());
    return e;
}

bool ChainEditorModel::chain(Run &run, ChainPlan &plan, QString *error) const
{
    if (!m_firstLines.lines)
        return false;
    run = m_firstLines;
    run.mode = Run::Mode::Detailed;
    RunError problem;
    if (!runlog::chainFromLines(record(), run.chain, &problem, runlog::Naming::EditorRows)) {
        if (error)
            *error = problem.message;
        return false;
    }
    run.lines = 4;
    return ChainPlan::make(run.chain, plan, error);
}

ChainFindings ChainEditorModel::findings() const
{
    ChainFindings found;
    found.valid = chain(found.run, found.plan, &found.problem);
    QStringList uneven;
    QList<StepCheck::Suggestion> offered;
    for (qsizetype k = 0; k < m_edit.rows.size(); ++k) {
        const ChainRow &r = m_edit.rows[k];
        RowFindings row;
        if (r.isShake()) {
            row.target = QStringLiteral("揺れ ±%1, %2").arg(r.amplitudeX, r.amplitudeY);
            row.amount = QStringLiteral("× %1").arg(r.swings);
            row.curve = curveName(r.swingCurve);
        } else {
            row.target = QStringLiteral("%1, %2").arg(r.x, r.y);
            row.amount = r.motion == Segment::Motion::Frames ? QStringLiteral("%1 コマ").arg(r.frames) : QStringLiteral("%1 ドット").arg(r.dots);
            row.curve = curveName(r.curve);
        }
        row.hold = r.hold;
        row.frames = QStringLiteral("－");
        if (found.valid) {
            const Segment &s = found.run.chain.segments[k];
            const ChainPlan::Part &part = found.plan.parts[k];
            const StepCheck check = checkSteps(s, part.fromX, part.fromY, part.moving);
            row.frames = QString::number(part.moving);
            if (s.isShake())
                row.note = QStringLiteral("%1 回揺れて、もとの位置に戻ります（1 回 %2 コマ）。").arg(QString::number(s.shake.swings), QString::number(s.amount));
            else if (part.moving == 1)
                row.note = QStringLiteral("この動きは 1 コマで、動きません。");
            else if (part.moving == 2 && (s.x != part.fromX || s.y != part.fromY))
                row.note = QStringLiteral("この動きは 2 コマで、目標へ飛び移ります。");
            else
                row.note = stepCheckText(check, s.motion, s.amount);
            row.mark = check.uneven ? QStringLiteral("！") : part.moving <= 2 ? QStringLiteral("・") : QString();
            if (check.uneven)
                uneven << QString::number(k + 1);
            if (k == m_edit.current) {
                found.words = row.note;
                offered = check.suggestions;
            }
        }
        found.rows.append(row);
    }
    if (found.words.isEmpty() && !uneven.isEmpty())
        found.words = QStringLiteral("%1 番目の動きは歩みがそろっていません（！の行）。").arg(uneven.join(QStringLiteral("・")));
    if (!found.valid) {
        found.words = found.problem;
        found.frameCount = QStringLiteral("全 － コマ（値を直してください）");
        return found;
    }
    const Segment::Motion motion = currentRow().motion;
    for (qsizetype i = 0; i < qMin<qsizetype>(2, offered.size()); ++i)
        found.suggestions.append({suggestionCaption(offered[i], motion),
                                  QString::number(motion == Segment::Motion::Frames ? offered[i].frames : offered[i].amount)});
    found.frameCount = QStringLiteral("全 %1 コマ（動き %2・止め %3）")
                           .arg(QString::number(found.plan.frames), QString::number(found.plan.moving), QString::number(found.plan.held));
    return found;
}

int ChainEditorModel::addAfterCurrent()
{
    if (m_edit.rows.size() >= kMaxSegments)
        return -1;
    ChainRow row = m_edit.rows[m_edit.current];
    row.hold = QStringLiteral("0");
    if (row.curve != Segment::Curve::Bezier)
        row.bezier = {};
    m_edit.rows.insert(m_edit.current + 1, row);
    return ++m_edit.current;
}

int ChainEditorModel::removeCurrent()
{
    if (m_edit.rows.size() <= 1)
        return -1;
    m_edit.rows.removeAt(m_edit.current);
    return m_edit.current = qMin(m_edit.current, int(m_edit.rows.size()) - 1);
}

int ChainEditorModel::moveCurrent(int by)
{
    const int to = m_edit.current + by;
    if (to < 0 || to >= m_edit.rows.size())
        return -1;
    m_edit.rows.swapItemsAt(m_edit.current, to);
    return m_edit.current = to;
}

} // namespace velra
