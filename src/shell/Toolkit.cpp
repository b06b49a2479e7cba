#include "Toolkit.h"

#include <QFileDialog>
#include <QImageReader>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "handoff/HandoffFiles.h"

namespace velra {

bool Toolkit::measurePicture(const QString &path, QSize &size, QString *error)
{
    QImageReader reader(path);
    // Recognised by content: a JPEG named .bmp is still a JPEG, and a text file named .jpg is no picture.
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    QSize measured;
    if (format == "bmp" || format == "jpeg")
        measured = reader.size(); // from the header, without decoding the picture
    // A BMP stored top row first gives its height negative.
    if (format == "bmp" && measured.height() < 0)
        measured.setHeight(-measured.height());
    if (!measured.isValid()) {
        if (error) {
            *error = format.isEmpty() || format == "bmp" || format == "jpeg"
                ? QStringLiteral("「%1」を画像として読み込めません。\r\nBMP または JPEG の画像ファイルを選んでください。").arg(shownValue(path))
                : QStringLiteral("「%1」は BMP でも JPEG でもありません。\r\nBMP または JPEG の画像ファイルを選んでください。").arg(shownValue(path));
        }
        return false;
    }
    size = measured;
    return true;
}

std::unique_ptr<QMessageBox> QtToolkit::makeMessageBox(QWidget *parent, const QString &prompt, const QString &title,
                                                       int style)
{
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto box = std::make_unique<QMessageBox>(style == OkWithExclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                                             title, QString(), QMessageBox::Ok, parent);
    // File names and values from the input are shown as the characters they are, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    // A box sizes itself to its text alone, and a short box would cut its title: the title bar
    // also holds the icon and the close button.
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        const int titleWidth = box->fontMetrics().horizontalAdvance(title) * 5 / 4 + kTitleBarExtra;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return box;
}

int QtToolkit::messageBox(QWidget *parent, const QString &prompt, const QString &title, int style)
{
    makeMessageBox(parent, prompt, title, style)->exec();
    return 1;
}

QString qtFileFilter(const QString &filter)
{
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return filter;
    QString patterns = filter.mid(bar + 1);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return QStringLiteral("%1 (%2)").arg(filter.left(bar), patterns);
}

QString QtToolkit::openFileName(QWidget *parent, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, QString(), QString(), qtFileFilter(filter));
}

QString QtToolkit::saveFileName(QWidget *parent, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, QString(), QString(), qtFileFilter(filter));
}

} // namespace velra
