#include "StepCheck.h"

#include <numeric>

namespace velra {
namespace {

// "100 ドット" on one axis, "横 100・縦 50 ドット" on both.
QString distance(qint64 x, qint64 y)
{
    if (y == 0)
        return QStringLiteral("%1 ドット").arg(x);
    if (x == 0)
        return QStringLiteral("%1 ドット").arg(y);
    return QStringLiteral("横 %1・縦 %2 ドット").arg(x).arg(y);
}

QString steps(const StepCheck &c)
{
    const auto mix = [](qint64 low, qint64 high) { return QStringLiteral("%1 と %2").arg(low).arg(high); };
    const bool mixesX = c.lowX != c.highX;
    const bool mixesY = c.lowY != c.highY;
    if (c.dx == 0 || c.dy == 0)
        return mix(mixesX ? c.lowX : c.lowY, mixesX ? c.highX : c.highY) + QStringLiteral(" ドット");
    QStringList axes;
    if (mixesX)
        axes << QStringLiteral("横 ") + mix(c.lowX, c.highX);
    if (mixesY)
        axes << QStringLiteral("縦 ") + mix(c.lowY, c.highY);
    return axes.join(QStringLiteral("・")) + QStringLiteral(" ドット");
}

} // namespace

StepCheck checkSteps(const Segment &segment, qint64 fromX, qint64 fromY, qint64 frames)
{
    StepCheck c;
    c.dx = qAbs(segment.x - fromX);
    c.dy = qAbs(segment.y - fromY);
    c.frames = frames;
    const qint64 m = frames - 1;
    if (segment.isShake() || segment.curve != Segment::Curve::Linear || m < 2)
        return c;
    c.lowX = c.dx / m;
    c.highX = (c.dx + m - 1) / m;
    c.lowY = c.dy / m;
    c.highY = (c.dy + m - 1) / m;
    c.uneven = c.lowX != c.highX || c.lowY != c.highY;
    if (!c.uneven)
        return c;

    // Every even choice has a number of steps dividing both distances.
    const qint64 g = std::gcd(c.dx, c.dy);
    const qint64 longest = qMax(c.dx, c.dy);
    const bool byFrames = segment.motion == Segment::Motion::Frames;
    std::optional<StepCheck::Suggestion> below;
    std::optional<StepCheck::Suggestion> above;
    const auto consider = [&](qint64 steps) {
        if (steps < 2 || steps + 1 > kMaxSegmentFrames)
            return;
        StepCheck::Suggestion s{steps + 1, int(byFrames ? steps + 1 : longest / steps), c.dx / steps, c.dy / steps};
        if (!byFrames && s.amount > 32767)
            return;
        // Fewer frames below, more above; for dots a frame the order is the amount's.
        const bool fewer = steps < m;
        if (fewer && (!below || s.frames > below->frames))
            below = s;
        if (!fewer && steps != m && (!above || s.frames < above->frames))
            above = s;
    };
    for (qint64 d = 1; d * d <= g; ++d) {
        if (g % d == 0) {
            consider(d);
            consider(g / d);
        }
    }
    // Fewer frames are the larger amount: suggestions go in the order of what the author types.
    const auto first = byFrames ? below : above;
    const auto second = byFrames ? above : below;
    if (first)
        c.suggestions.append(*first);
    if (second)
        c.suggestions.append(*second);
    return c;
}

QString stepCheckText(const StepCheck &c, Segment::Motion motion, int amount)
{
    if (!c.uneven)
        return {};
    const bool byFrames = motion == Segment::Motion::Frames;
    QString text = byFrames ? QStringLiteral("%1を %2 コマで動くと ").arg(distance(c.dx, c.dy)).arg(c.frames)
                            : QStringLiteral("%1を 1 コマ %2 ドット（%3 コマ）で動くと ").arg(distance(c.dx, c.dy)).arg(amount).arg(c.frames);
    text += steps(c) + QStringLiteral("の歩みが混ざります。");
    if (c.suggestions.isEmpty())
        return text + QStringLiteral("どのコマ数でも歩みはそろいません。そろえるには距離を見直してください。");
    QStringList parts;
    for (const StepCheck::Suggestion &s : c.suggestions) {
        if (!byFrames) {
            parts << QStringLiteral("%1 ドット（%2 コマ）").arg(s.amount).arg(s.frames);
            continue;
        }
        const QString each = s.stepY == 0 ? QStringLiteral("%1 ドットずつ").arg(s.stepX)
                             : s.stepX == 0 ? QStringLiteral("%1 ドットずつ").arg(s.stepY)
                                            : QStringLiteral("横 %1・縦 %2 ドットずつ").arg(s.stepX).arg(s.stepY);
        parts << QStringLiteral("%1 コマなら %2").arg(s.frames).arg(each);
    }
    if (!byFrames)
        return text + QStringLiteral("1 コマ ") + parts.join(QStringLiteral("か ")) + QStringLiteral("ならそろいます。");
    return text + parts.join(QStringLiteral("、")) + QStringLiteral("です。");
}

QString suggestionCaption(const StepCheck::Suggestion &s, Segment::Motion motion)
{
    return motion == Segment::Motion::Frames ? QStringLiteral("%1 コマにする").arg(s.frames)
                                             : QStringLiteral("1 コマ %1 ドットにする").arg(s.amount);
}

} // namespace velra
