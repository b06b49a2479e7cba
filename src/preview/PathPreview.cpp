#include "PathPreview.h"

#include <QPainter>
#include <QPainterPath>

namespace velra::preview {

PathPreview::PathPreview(QWidget *parent)
    : QWidget(parent)
{
}

void PathPreview::setMove(std::unique_ptr<FrameRenderer> renderer, const QString &why)
{
    m_renderer = std::move(renderer);
    m_why = why;
    update();
}

void PathPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(32, 32, 32));
    if (!m_renderer || m_renderer->frames().frameCount() == 0) {
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(6, 6, -6, -6), Qt::AlignCenter | Qt::TextWordWrap, m_why);
        return;
    }
    const ScriptFrames &frames = m_renderer->frames();
    const QRectF view = m_renderer->viewArea();
    const qreal scale = qMin(width() / view.width(), height() / view.height());
    const QRectF target(QPointF((width() - view.width() * scale) / 2, (height() - view.height() * scale) / 2), view.size() * scale);
    const qsizetype last = frames.frameCount() - 1;
    m_renderer->render(painter, last, target, view);

    // The path and the first frame, over the last.
    const auto toWidget = [&](QPointF p) { return target.topLeft() + (p - view.topLeft()) * scale; };
    const auto moving = [&](qsizetype k) { return frames.graphics[frames.frameEnd(k) - 1]; };
    QPainterPath path;
    const qsizetype step = qMax<qsizetype>(1, frames.frameCount() / 400);
    for (qsizetype k = 0; k <= last; k += step) {
        const Graphic g = moving(k);
        const QPointF centre = toWidget(QPointF(g.x + g.width / 2.0, g.y + g.height / 2.0));
        k == 0 ? path.moveTo(centre) : path.lineTo(centre);
    }
    const Graphic end = moving(last);
    path.lineTo(toWidget(QPointF(end.x + end.width / 2.0, end.y + end.height / 2.0)));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 220, 0), 2));
    painter.drawPath(path);
    const Graphic first = moving(0);
    painter.setPen(QPen(QColor(255, 220, 0), 1, Qt::DashLine));
    painter.drawRect(QRectF(toWidget(QPointF(first.x, first.y)), QSizeF(first.width, first.height) * scale));
}

} // namespace velra::preview
