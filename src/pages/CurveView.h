#pragma once

#include "model/Run.h"

#include <QWidget>

#include <array>
#include <optional>

namespace velra {

// The chosen move's speed curve, drawn as time (across) against the share of the way (up).
class CurveView final : public QWidget
{
public:
    explicit CurveView(QWidget *parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("Picture2"));
        setFixedSize(60, 60);
    }

    // A Bézier curve's values; none when one of them is not a value yet.
    void setCurve(Segment::Curve curve, std::optional<Bezier> bezier)
    {
        m_curve = curve;
        m_bezier = bezier;
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Segment::Curve m_curve = Segment::Curve::Linear;
    std::optional<Bezier> m_bezier;
};

} // namespace velra
