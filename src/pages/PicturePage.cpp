#include "PicturePage.h"

#include "handoff/Cp932.h"
#include "handoff/HandoffFiles.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"

#include <QFileInfo>
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

void PicturePage::browse(QLineEdit *name, QLineEdit *width, QLineEdit *height)
{
    const QString chosen = toolkit().openFileName(this, pictureFilter());
#ifndef Q_OS_WIN
    // Only "\" separates folders in the script, so such a name would name another file there;
    // Windows cannot hold it either.
    const QString fileName = QFileInfo(chosen).fileName();
    if (fileName.contains(QLatin1Char('\\'))) {
        message(QStringLiteral("ファイル名「%1」に円記号（\\）が含まれています。\r\n円記号を含まない名前に変更してから選び直してください。")
                    .arg(shownValue(fileName)),
                QStringLiteral("ファイル名が使えません"), OkWithExclamation);
        return;
    }
#endif
    if (!chosen.isEmpty())
        m_dialogFileName = chosen;
    if (m_dialogFileName.isEmpty())
        return; // cancelled before any picture was ever chosen here
    QSize size;
    QString error;
    if (!toolkit().measurePicture(m_dialogFileName, size, &error)) {
        message(error, QStringLiteral("画像を読み込めません"), OkWithExclamation);
        return;
    }
    width->setText(QString::number(size.width()));
    height->setText(QString::number(size.height()));
    // Qt gives paths with "/", which the backslash rule would leave whole; the name part is what
    // the script refers to the picture by.
    name->setText(GetFileName(QString(m_dialogFileName).replace(QLatin1Char('/'), QLatin1Char('\\'))));
    wizard().rememberPicture(name->text(), m_dialogFileName);
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
