#pragma once

#include <QLabel>

namespace velra {

// A word-wrapped label whose lines are set 13 pixels apart at the 12-pixel font instead of the
// Japanese font's wider default, for texts that must show whole in the page's fixed size. Lines
// break where Japanese breaks, between phrases: the text is given with "|" where a line may break
// (the label's text is without them), and a run of ideographic spaces that pads a line out (two or
// more) ends the line. A phrase wider than a line is broken where it must.
class CompactLabel final : public QLabel
{
    Q_OBJECT

public:
    CompactLabel(const QString &phrases, QWidget *parent, int lineStep = kLineStep);

    static constexpr int kLineStep = 13;
    // The height the text takes when laid out at `width`.
    int layoutHeight(int width) const;
    // The lines as they are drawn at `width`.
    QStringList lines(int width) const;
    // The pieces a line is made of: phrases, and the padding runs that end lines.
    const QStringList &phrases() const { return m_phrases; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStringList linesIn(const QFont &font, int width) const;

public:

private:
    QStringList m_phrases;
    int m_lineStep;
};

} // namespace velra
