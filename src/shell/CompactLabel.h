#pragma once

#include <QLabel>

class QTextLayout;

namespace velra {

// A word-wrapped label whose lines are set 13 pixels apart at the 12-pixel font instead of the
// Japanese font's wider default, for texts that must show whole in the page's fixed size.
class CompactLabel final : public QLabel
{
    Q_OBJECT

public:
    CompactLabel(const QString &text, QWidget *parent);

    static constexpr int kLineStep = 13;
    // The height the text takes when wrapped at `width`.
    int layoutHeight(int width) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static int lay(QTextLayout &layout, int width);
};

} // namespace velra
