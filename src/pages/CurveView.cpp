#include "CurveView.h"

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
        low = qMin(low, qMin((*m_bezier)[1], (*m_bezier)[3]));
        high = qMax(high, qMax((*m_bezier)[1], (*m_bezier)[3]));
    }
    const QRectF area = QRectF(rect()).adjusted(5, 5, -5, -5);
    const auto at = [&](double t, double c) {
        return QPointF(area.left() + t * area.width(), area.bottom() - (c - low) / (high - low) * area.height());
    };
    p.setPen(QPen(palette().mid().color(), 1, Qt::DotLine));
    p.drawLine(at(0, 0), at(1, 0));
    p.drawLine(at(0, 1), at(1, 1));
    QPainterPath path(at(0, 0));
    if (custom) {
        const std::array<double, 4> &b = *m_bezier;
        path.cubicTo(at(b[0], b[1]), at(b[2], b[3]), at(1, 1));
    } else {
        for (int i = 1; i <= 32; ++i) {
            const double t = i / 32.0;
            const double c = m_curve == Segment::Curve::EaseIn    ? t * t
                             : m_curve == Segment::Curve::EaseOut  ? 1 - (1 - t) * (1 - t)
                             : m_curve == Segment::Curve::EaseInOut ? 3 * t * t - 2 * t * t * t
                                                                    : t;
            path.lineTo(at(t, c));
        }
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().text().color(), 2));
    p.drawPath(path);
}

} // namespace velra
