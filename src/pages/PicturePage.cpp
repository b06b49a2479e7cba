#include "PicturePage.h"

#include "text/Cp932.h"
#include "handoff/HandoffFiles.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"
#include "text/Shown.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QLineEdit>

namespace velra {

QString PicturePage::GetFileName(const QString &vstrName)
{
    const qsizetype slash = vstrName.lastIndexOf(QLatin1Char('\\'));
    return slash < 0 ? vstrName : vstrName.mid(slash + 1);
}

QString PicturePage::pictureFilter()
{
    return QStringLiteral("画像(*.bmp;*.jpg;*.jpeg)|*.bmp;*.jpg;*.jpeg");
}

PicturePage::PicturePage(Wizard &wizard, const QString &name)
    : Page(wizard, name)
{
    setAcceptDrops(true);
}

void PicturePage::setPictureBoxes(QLineEdit *name, QLineEdit *width, QLineEdit *height)
{
    m_nameBox = name;
    m_widthBox = width;
    m_heightBox = height;
}

void PicturePage::browse()
{
    const QString chosen = toolkit().openFileName(this, pictureFilter(), dialogTitle(), wizard().pictureFolder());
    const bool taken = !chosen.isEmpty() ? take(chosen)
        : !m_dialogFileName.isEmpty()    ? take(m_dialogFileName) // cancelled: the file last chosen, measured again
                                         : false;
    // Picked: Enter goes on, rather than opening the dialog again.
    if (taken) {
        if (QPushButton *next = enterButton(nullptr); next && next->isEnabled())
            next->setFocus(Qt::OtherFocusReason);
    }
}

bool PicturePage::take(const QString &path)
{
#ifndef Q_OS_WIN
    // Only "\" separates folders in the script, so such a name would name another file there;
    // Windows cannot hold it either.
    const QString fileName = QFileInfo(path).fileName();
    if (fileName.contains(QLatin1Char('\\'))) {
        message(QStringLiteral("ファイル名「%1」に円記号（\\）が含まれています。\r\n円記号を含まない名前に変更してから選び直してください。")
                    .arg(shownValue(fileName)),
                QStringLiteral("ファイル名が使えません"), OkWithExclamation);
        return false;
    }
#endif
    m_dialogFileName = path;
    QSize size;
    QString error;
    if (!toolkit().measurePicture(path, size, &error)) {
        message(error, QStringLiteral("画像を読み込めません"), OkWithExclamation);
        return false;
    }
    fill(path, size);
    return true;
}

void PicturePage::fill(const QString &path, QSize size)
{
    m_dialogFileName = path;
    m_widthBox->setText(QString::number(size.width()));
    m_heightBox->setText(QString::number(size.height()));
    // Qt gives paths with "/", which the backslash rule would leave whole; the name part is what
    // the script refers to the picture by.
    m_nameBox->setText(GetFileName(QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'))));
    wizard().rememberPicture(m_nameBox->text(), path);
}

void PicturePage::fillRemembered(const QString &path, const RunPicture &picture)
{
    // Named as where the settings came from: the last run, or the settings file the author opened.
    const QString file = wizard().rememberedFrom();
    const QString title = file.isEmpty() ? QStringLiteral("前回の設定") : QStringLiteral("設定ファイルの設定");
    const QString shown = shownValue(QDir::toNativeSeparators(path));
    const QString name = shownValue(QFileInfo(file).fileName());
    QSize size;
    QString unreadable;
    if (!path.isEmpty() && toolkit().measurePicture(path, size, &unreadable)) {
        fill(path, size);
        if (m_widthBox->text() != picture.width.text() || m_heightBox->text() != picture.height.text()) {
            const QString was = shownValue(picture.width.text());
            const QString wasHigh = shownValue(picture.height.text());
            messageWhenShown(file.isEmpty() ? QStringLiteral("前回の画像「%1」の大きさが変わっています（前回 %2 × %3、今 %4 × %5）。\r\n今の大きさを記入しました。")
                                                  .arg(shown, was, wasHigh, m_widthBox->text(), m_heightBox->text())
                                            : QStringLiteral("設定ファイル「%1」の画像「%2」の大きさが変わっています（保存したとき %3 × %4、今 %5 × %6）。\r\n今の大きさを記入しました。")
                                                  .arg(name, shown, was, wasHigh, m_widthBox->text(), m_heightBox->text()),
                             title, OkWithExclamation);
        }
        return;
    }
    m_nameBox->setText(picture.file);
    m_widthBox->setText(picture.width.text());
    m_heightBox->setText(picture.height.text());
    // A picture that is there but no picture is said so; only one that is gone "見つかりません".
    if (!path.isEmpty() && QFileInfo::exists(path))
        messageWhenShown(unreadable, title, OkWithExclamation);
    else if (!path.isEmpty())
        messageWhenShown(file.isEmpty() ? QStringLiteral("前回の画像「%1」が見つかりません。\r\n参照で選び直してください。").arg(shown)
                                        : QStringLiteral("設定ファイル「%1」の画像「%2」が見つかりません。\r\n参照で選び直してください。").arg(name, shown),
                         title, OkWithExclamation);
}

void PicturePage::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PicturePage::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    const QString title = QStringLiteral("画像を読み込めません");
    event->acceptProposedAction();
    if (urls.size() != 1)
        return message(QStringLiteral("画像ファイルは 1 つずつドロップしてください。"), title, OkWithExclamation);
    if (!urls.constFirst().isLocalFile())
        return message(QStringLiteral("「%1」はこのパソコンのファイルではありません。\r\n画像ファイルを保存してからドロップしてください。")
                           .arg(shownValue(urls.constFirst().toDisplayString())),
                       title, OkWithExclamation);
    take(urls.constFirst().toLocalFile());
}

bool PicturePage::acceptFileName(const QString &name)
{
    if (name.contains(QLatin1Char('"'))) {
        message(QStringLiteral("ファイル名「%1」に二重引用符（\"）が含まれています。\r\n二重引用符を含まないファイル名にしてください。")
                    .arg(shownValue(name)),
                QStringLiteral("ファイル名が使えません"), OkWithExclamation);
        return false;
    }
    if (hasControlCharacter(name)) {
        message(QStringLiteral("ファイル名に改行などの制御文字が含まれています。\r\n制御文字を含まないファイル名にしてください。"),
                QStringLiteral("ファイル名が使えません"), OkWithExclamation);
        return false;
    }
    qsizetype bad = 0;
    if (!cp932::canEncode(name, &bad)) {
        // The script must name the file exactly, so a look-alike Windows character will not do:
        // the file itself has to be renamed.
        const char16_t windows = cp932::windowsCounterpart(name[bad].unicode());
        const QString change = windows
            ? QStringLiteral("ファイル名の「%1」を「%2」に変えてから選び直してください。").arg(name[bad], QChar(windows))
            : QStringLiteral("ファイル名を変更してから選び直してください。");
        message(QStringLiteral("%1 は Shift_JIS（CP932）で保存できない文字です。\r\n%2")
                    .arg(cp932::describeUnencodable(name, bad), change),
                QStringLiteral("ファイル名が使えません"), OkWithExclamation);
        return false;
    }
    return true;
}

LogLine PicturePage::textsOf(std::initializer_list<const QLineEdit *> boxes)
{
    LogLine line;
    for (const QLineEdit *box : boxes)
        line.append(LogValue::textValue(box->text()));
    return line;
}

bool PicturePage::anyEmpty(std::initializer_list<const QLineEdit *> boxes) const
{
    for (const QLineEdit *box : boxes) {
        if (box->text().isEmpty())
            return true;
    }
    return false;
}

void PicturePage::showMissingMessage()
{
    message(QStringLiteral("必要な情報が不足しています\r\n必要事項の記入漏れがないか、確認してください"),
            QStringLiteral("記入情報がそろっていません"), OkWithExclamation);
}

void PicturePage::showWriteFailure(const QString &error)
{
    message(error, QStringLiteral("設定を保存できません"), OkWithExclamation);
}

} // namespace velra
