#include "CompactLabel.h"

#include <QPainter>
#include <QTextLayout>

namespace velra {

CompactLabel::CompactLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setWordWrap(true);
}

int CompactLabel::layoutHeight(int width) const
{
    QTextLayout layout(text(), font());
    return lay(layout, width) + fontMetrics().descent();
}

int CompactLabel::lay(QTextLayout &layout, int width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += kLineStep;
    }
    layout.endLayout();
    return y;
}

void CompactLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    QTextLayout layout(text(), font());
    lay(layout, width());
    layout.draw(&painter, QPointF(0, 0));
}

} // namespace velra
