#include "SettingsFile.h"

#include "HandoffFiles.h"
#include "SettingsLog.h"
#include "platform/FileSystem.h"
#include "text/Cp932.h"
#include "text/Shown.h"

#include <QDir>
#include <QFileInfo>

namespace velra::settingsfile {
namespace {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

QString shown(const QString &path)
{
    return shownValue(QDir::toNativeSeparators(path));
}

} // namespace

QString extension()
{
    return QStringLiteral("velra");
}

QString filter()
{
    // The description names its pattern, as the other kinds do: the dialog shows the description alone.
    return QStringLiteral("Velloran 設定ファイル (*.velra)|*.velra");
}

bool isSettingsFile(const QString &path)
{
    return QFileInfo(path).suffix().compare(extension(), Qt::CaseInsensitive) == 0;
}

bool read(const QString &path, lastrun::Settings &settings, QString *error, Run *run)
{
    // Opened once without waiting and judged on what was opened: a FIFO is never waited on.
    QByteArray bytes;
    if (!settingslog::readBytes(path, bytes, error, settingslog::Access::Named))
        return false;
    lastrun::Settings read;
    int version = 0;
    const QString broken = QStringLiteral("設定ファイル「%1」は途中で切れているか、壊れています。").arg(shown(path));
    switch (lastrun::decode(bytes, read, &version)) {
    case lastrun::Decoded::NotOurs:
        return fail(error, QStringLiteral("「%1」は Velloran の設定ファイルではありません。").arg(shown(path)));
    case lastrun::Decoded::Newer:
        return fail(error, QStringLiteral("設定ファイル「%1」は新しい版の Velloran で作られています（版 %2）。この Velloran が読めるのは版 %3 までです。")
                               .arg(shown(path), QString::number(version), QString::number(lastrun::kVersion)));
    case lastrun::Decoded::Broken:
        return fail(error, broken);
    case lastrun::Decoded::Ours:
        break;
    }
    // The page name goes into the host's block line as it stands: a double quote or a control
    // character would break it, and a name of spaces names no page.
    const QString &page = read.pageName;
    if (!page.isEmpty()
        && (page.contains(QLatin1Char('"')) || hasControlCharacter(page) || isBlankName(page)))
        return fail(error, QStringLiteral("設定ファイル「%1」のページ名「%2」は使えません（二重引用符、制御文字、空白だけの名前は使えません）。")
                               .arg(shown(path), shownValue(page)));
    // The run must be whole: a file cut short would start a run that stops half way.
    QString text;
    qsizetype bad = 0;
    if (read.log.contains('\0') || !cp932::decode(read.log, text, &bad))
        return fail(error, broken);
    Run checked;
    RunError problem;
    if (!runlog::parse(text, checked, &problem))
        return fail(error, broken + QStringLiteral("\r\n") + problem.message);
    // A picture that is gone is the pages' to say, as for the last run's; one that is a folder or a
    // device is no picture, and measuring a device could take for ever.
    for (const QString &picture : {read.scrollPicture, read.backgroundPicture}) {
        // A NUL would open the file named before it; no path holds a control character.
        if (hasControlCharacter(picture))
            return fail(error, QStringLiteral("設定ファイル「%1」の画像の場所「%2」に制御文字があるため、使えません。").arg(shown(path), shownValue(picture)));
        if (picture.isEmpty() || !QFileInfo::exists(picture))
            continue;
        if (const QString what = platform::notARegularFile(picture); !what.isEmpty())
            return fail(error, QStringLiteral("設定ファイル「%1」の画像「%2」は%3。").arg(shown(path), shown(picture), what));
    }
    settings = std::move(read);
    if (run)
        *run = std::move(checked);
    return true;
}

QString refusedTarget(const QString &path)
{
    const platform::Target target = platform::classify(path);
    switch (target.kind) {
    case platform::Target::Kind::Missing:
    case platform::Target::Kind::Regular:
    case platform::Target::Kind::Failed: // the writer says why
        return QString();
    case platform::Target::Kind::Refused:
        return QStringLiteral("設定ファイル「%1」に保存できません。\r\n%2").arg(shown(path), target.reason);
    default:
        break;
    }
    const QString what = platform::notARegularFile(path);
    return QStringLiteral("設定ファイル「%1」に保存できません。\r\n「%2」は%3。")
        .arg(shown(path), shownValue(QFileInfo(path).fileName()), what.isEmpty() ? QStringLiteral("ファイルではありません") : what);
}

bool write(const QString &path, const lastrun::Settings &settings, QString *error, const output::Options &given)
{
    if (const QString refused = refusedTarget(path); !refused.isEmpty())
        return fail(error, refused);
    const QByteArray bytes = lastrun::encode(settings, true);
    output::Options options = given;
    // What is replaced is an earlier settings file (or nothing): never a file of another kind that
    // the author picked by mistake.
    options.refuse = [](QByteArrayView existing) {
        lastrun::Settings ignored;
        if (existing.isEmpty() || lastrun::decode(existing, ignored) != lastrun::Decoded::NotOurs)
            return QString();
        return QStringLiteral("Velloran の設定ファイルではないため、置き換えません。");
    };
    QString reason;
    if (output::writeBytes(path, bytes, &reason, options))
        return true;
    return fail(error, QStringLiteral("設定ファイル「%1」に保存できませんでした。\r\n%2").arg(shown(path), reason));
}

} // namespace velra::settingsfile
