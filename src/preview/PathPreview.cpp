#include "PathPreview.h"

#include "script/Motion.h"

#include <QPainter>
#include <QPainterPath>

namespace velra::preview {

using render::FrameRenderer;
using render::windowSizeOf;
namespace {

// Enough points for a curve to look smooth at this size, whatever the number of frames.
constexpr qint64 kPointsPerMove = 48;

} // namespace

PathPreview::PathPreview(QWidget *parent)
    : QWidget(parent)
{
}

void PathPreview::setProblem(const QString &why)
{
    m_why = why;
    setAccessibleDescription(why);
    m_paths.clear();
    m_keys.clear();
    update();
}

void PathPreview::setChain(const Run &run, const ChainPlan &plan, int selected, const QHash<QString, QString> &paths,
                           QHash<QString, QImage> *decoded)
{
    m_why.clear();
    if (!windowSizeOf(run, m_window))
        return setProblem(QStringLiteral("ウィンドウの大きさが正しくありません。"));
    m_picture = QSizeF(qMax(0, run.scroll.width.value().value_or(0)), qMax(0, run.scroll.height.value().value_or(0)));
    m_selected = selected;
    m_background = run.chain.background;
    m_paths.resize(run.chain.segments.size());
    m_keys.clear();
    m_keys.append(QPointF(run.chain.startX, run.chain.startY));
    QRectF reach(m_keys.front(), m_picture);
    for (qsizetype k = 0; k < run.chain.segments.size(); ++k) {
        const Segment &s = run.chain.segments[k];
        const ChainPlan::Part &part = plan.parts[k];
        QList<QPointF> &path = m_paths[k];
        path.clear();
        if (s.isShake()) {
            // A zigzag through its peaks about where it stands: every swing is a straight run
            // between two of them, whatever its speed.
            shakePoints(s, part.fromX, part.fromY, m_shakePoints);
            for (const auto &[x, y] : m_shakePoints) {
                path.append(QPointF(x, y));
                reach |= QRectF(path.back(), m_picture);
            }
            m_keys.append(QPointF(part.toX, part.toY));
            continue;
        }
        const qint64 last = part.moving - 1;
        const qint64 stride = qMax<qint64>(1, last / kPointsPerMove);
        SegmentFrames positions(s, part.fromX, part.fromY, part.moving);
        for (qint64 i = 0;; i = qMin(last, i + stride)) {
            qint64 x = 0;
            qint64 y = 0;
            positions.position(i, x, y);
            path.append(QPointF(x, y));
            reach |= QRectF(path.back(), m_picture);
            if (i >= last)
                break;
        }
        // Where the picture stops: a later move of one frame never reaches its target.
        m_keys.append(QPointF(part.toX, part.toY));
        reach |= QRectF(m_keys.back(), m_picture);
    }
    // Around the window, as far as the picture goes, but never without a mark: the start and every
    // keyframe are in the view wherever they are, with room for their marks.
    const QPointF centre(m_picture.width() / 2, m_picture.height() / 2);
    QPointF low = m_keys.front() + centre;
    QPointF high = low;
    for (const QPointF &key : std::as_const(m_keys)) {
        low = QPointF(qMin(low.x(), key.x() + centre.x()), qMin(low.y(), key.y() + centre.y()));
        high = QPointF(qMax(high.x(), key.x() + centre.x()), qMax(high.y(), key.y() + centre.y()));
    }
    QRectF view = FrameRenderer::viewAround(reach, m_window);
    const QRectF marks = QRectF(low, high).united(view);
    const qreal room = qMax(marks.width(), marks.height()) * 0.04;
    m_view = view.united(QRectF(low, high).adjusted(-room, -room, room, room));
    // Said to a screen reader: where the picture starts and where each move stops.
    QStringList stops;
    for (const QPointF &key : std::as_const(m_keys))
        stops.append(QStringLiteral("%1, %2").arg(key.x()).arg(key.y()));
    setAccessibleDescription(QStringLiteral("道筋：") + stops.join(QStringLiteral(" → ")));

    // The last position is drawn by the renderer, as a script's frame is, so that it shows exactly
    // what the host will; made again only when that frame changes.
    const QPointF end = m_keys.back();
    const QString key = QStringList{QString::number(end.x()), QString::number(end.y()), run.scroll.file, run.scroll.width.text(),
                                    run.scroll.height.text(), paths.value(run.scroll.file), run.background.file, run.background.width.text(),
                                    run.background.height.text(), paths.value(run.background.file), run.windowWidth.text(), run.windowHeight.text()}
                            .join(QChar(0));
    if (key != m_rendered || !m_renderer) {
        m_rendered = key;
        m_renderer.reset();
        m_renderer = std::make_unique<FrameRenderer>(ScriptFrames::still(run, end.x(), end.y()), m_window, paths, decoded);
    }
    update();
}

void PathPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(32, 32, 32));
    if (!m_why.isEmpty() || m_keys.isEmpty() || m_view.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(6, 6, -6, -6), Qt::AlignCenter | Qt::TextWordWrap, m_why);
        return;
    }
    const qreal scale = qMin(width() / m_view.width(), height() / m_view.height());
    const QRectF target(QPointF((width() - m_view.width() * scale) / 2, (height() - m_view.height() * scale) / 2),
                        m_view.size() * scale);
    painter.save();
    painter.setClipRect(target);
    painter.translate(target.topLeft());
    painter.scale(scale, scale);
    painter.translate(-m_view.topLeft());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillRect(m_view, Qt::black);
    // Line 0 of the still frame is the background, line 1 the picture.
    if (m_renderer && m_background != Chain::Background::Never)
        m_renderer->drawLines(painter, 0, 1);
    if (m_renderer && m_background == Chain::Background::EveryFrame)
        m_renderer->drawLines(painter, 1, 2);
    painter.restore();
    if (m_renderer)
        m_renderer->renderOverlay(painter, target, m_view);

    const auto toWidget = [&](QPointF p) { return target.topLeft() + (p - m_view.topLeft()) * scale; };
    const QPointF half(m_picture.width() / 2, m_picture.height() / 2);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor path(255, 220, 0);
    const QColor chosen(80, 220, 255);
    // The first position dashed; the last outlined when the frame does not show the picture.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(path, 1, Qt::DashLine));
    painter.drawRect(QRectF(toWidget(m_keys.front()), m_picture * scale));
    if (m_background != Chain::Background::EveryFrame || !m_renderer) {
        painter.setPen(QPen(Qt::white, 1.5));
        painter.drawRect(QRectF(toWidget(m_keys.back()), m_picture * scale));
    }
    // The chosen move last, above later moves that retrace it.
    const auto drawPath = [&](qsizetype k) {
        QPainterPath line;
        for (qsizetype i = 0; i < m_paths[k].size(); ++i) {
            const QPointF p = toWidget(m_paths[k][i] + half);
            i == 0 ? line.moveTo(p) : line.lineTo(p);
        }
        painter.setPen(QPen(k == m_selected ? chosen : path, k == m_selected ? 3 : 2));
        painter.drawPath(line);
    };
    for (qsizetype k = 0; k < m_paths.size(); ++k) {
        if (k != m_selected)
            drawPath(k);
    }
    if (m_selected >= 0 && m_selected < m_paths.size())
        drawPath(m_selected);
    // The keyframes: the start square, each move's target a dot, the chosen move's ends filled.
    for (qsizetype k = 0; k < m_keys.size(); ++k) {
        const QPointF p = toWidget(m_keys[k] + half);
        const bool ofChosen = k == m_selected || k == m_selected + 1;
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(ofChosen ? chosen : path);
        if (k == 0)
            painter.drawRect(QRectF(p - QPointF(4, 4), QSizeF(8, 8)));
        else
            painter.drawEllipse(p, 4, 4);
    }
    drawLegend(painter, path);
}

void PathPreview::drawLegend(QPainter &painter, const QColor &mark) const
{
    // What the symbols are, in the corner: the start a square, each move's target a dot.
    const QFontMetrics metrics = painter.fontMetrics();
    const QString start = QStringLiteral("開始");
    const QString target = QStringLiteral("目標");
    const int h = metrics.height();
    const int width = 4 + 10 + 3 + metrics.horizontalAdvance(start) + 8 + 10 + 3 + metrics.horizontalAdvance(target) + 4;
    const QRectF box(2, height() - h - 4, width, h + 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 160));
    painter.drawRect(box);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(mark);
    qreal x = box.left() + 4;
    const qreal middle = box.center().y();
    painter.drawRect(QRectF(x + 1, middle - 4, 8, 8));
    x += 13;
    painter.setPen(Qt::white);
    painter.drawText(QPointF(x, middle + metrics.ascent() / 2.0 - 1), start);
    x += metrics.horizontalAdvance(start) + 8;
    painter.setPen(QPen(Qt::black, 1));
    painter.drawEllipse(QPointF(x + 5, middle), 4, 4);
    x += 13;
    painter.setPen(Qt::white);
    painter.drawText(QPointF(x, middle + metrics.ascent() / 2.0 - 1), target);
}

} // namespace velra::preview
