#include "CurveView.h"

#include "script/Motion.h"

#include <QPainter>
#include <QPainterPath>

namespace velra {

void CurveView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    p.setPen(palette().mid().color());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const bool custom = m_curve == Segment::Curve::Bezier;
    if (custom && !m_bezier)
        return;
    // Room for a curve that overshoots: the drawing spans what the control points reach.
    double low = 0;
    double high = 1;
    if (custom) {
        low = qMin(low, qMin(m_bezier->y1, m_bezier->y2) / 10000.0);
        high = qMax(high, qMax(m_bezier->y1, m_bezier->y2) / 10000.0);
    }
    const QRectF area = QRectF(rect()).adjusted(5, 5, -5, -5);
    const auto at = [&](double t, double c) {
        return QPointF(area.left() + t * area.width(), area.bottom() - (c - low) / (high - low) * area.height());
    };
    p.setPen(QPen(palette().mid().color(), 1, Qt::DotLine));
    p.drawLine(at(0, 0), at(1, 0));
    p.drawLine(at(0, 1), at(1, 1));
    // The engine's own curve, so that the picture is what the frames will do.
    QPainterPath path(at(0, 0));
    constexpr int kSteps = 48;
    for (int i = 1; i <= kSteps; ++i)
        path.lineTo(at(double(i) / kSteps, curveShare(m_curve, m_bezier.value_or(Bezier()), i, kSteps)));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().text().color(), 2));
    p.drawPath(path);
}

} // namespace velra
