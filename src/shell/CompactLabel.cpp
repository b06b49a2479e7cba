#include "CompactLabel.h"

#include <QPainter>
#include <QRegularExpression>

namespace velra {
namespace {

constexpr QChar kIdeographicSpace(0x3000);

// The phrases, with each padding run (two or more ideographic spaces) a phrase of its own.
QStringList phrasesOf(const QString &marked)
{
    QStringList phrases;
    static const QRegularExpression padding(QStringLiteral("\u3000{2,}"));
    for (const QString &phrase : marked.split(QLatin1Char('|'))) {
        qsizetype at = 0;
        for (auto match = padding.globalMatch(phrase); match.hasNext();) {
            const auto run = match.next();
            if (run.capturedStart() > at)
                phrases << phrase.mid(at, run.capturedStart() - at);
            phrases << run.captured();
            at = run.capturedEnd();
        }
        if (at < phrase.size())
            phrases << phrase.mid(at);
    }
    return phrases;
}

bool isPadding(const QString &phrase)
{
    return phrase.size() >= 2 && phrase.count(kIdeographicSpace) == phrase.size();
}

} // namespace

CompactLabel::CompactLabel(const QString &phrases, QWidget *parent, int lineStep)
    : QLabel(QString(phrases).remove(QLatin1Char('|')), parent)
    , m_phrases(phrasesOf(phrases))
    , m_lineStep(lineStep)
{
    setWordWrap(true);
}

QStringList CompactLabel::lines(int width) const
{
    return linesIn(font(), width);
}

QStringList CompactLabel::linesIn(const QFont &font, int width) const
{
    const QFontMetrics fm(font);
    QStringList lines;
    QString line;
    const auto end = [&] {
        if (!line.isEmpty())
            lines << line;
        line.clear();
    };
    for (const QString &phrase : m_phrases) {
        if (isPadding(phrase)) {
            end(); // the padding only pads the line out
            continue;
        }
        if (fm.horizontalAdvance(line + phrase) <= width) {
            line += phrase;
            continue;
        }
        end();
        // A phrase longer than a line is broken where it must be.
        for (const QChar c : phrase) {
            if (!line.isEmpty() && fm.horizontalAdvance(line + c) > width)
                end();
            line += c;
        }
    }
    end();
    return lines;
}

int CompactLabel::layoutHeight(int width) const
{
    return int(lines(width).size()) * m_lineStep + fontMetrics().descent();
}

void CompactLabel::paintEvent(QPaintEvent *)
{
    // The page is laid out for the font at 100 %. Scaled (Windows at 144 and 192 DPI), a system's
    // font can come out a little wider, and its lines would touch the frame: there the font is made
    // just small enough that the same lines show whole with a pixel or two to spare.
    QFont font = this->font();
    qreal step = m_lineStep;
    QStringList shown = linesIn(font, width());
    if (devicePixelRatioF() > 1.0) {
        constexpr int kMargin = 2;
        const qsizetype wanted = shown.size();
        for (int tries = 0; tries < 10; ++tries) {
            const QStringList spared = linesIn(font, width() - kMargin);
            if (spared.size() <= wanted) {
                shown = spared;
                break;
            }
            if (font.pointSizeF() > 0)
                font.setPointSizeF(font.pointSizeF() * 0.97);
            else
                font.setPixelSize(qMax(1, font.pixelSize() - 1));
            step *= 0.97;
        }
    }
    QPainter painter(this);
    painter.setFont(font);
    painter.setPen(palette().color(foregroundRole()));
    qreal y = QFontMetricsF(font).ascent();
    for (const QString &line : shown) {
        painter.drawText(QPointF(0, y), line);
        y += step;
    }
}

} // namespace velra
