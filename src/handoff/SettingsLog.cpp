#include "SettingsLog.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "HandoffFiles.h"
#include "OwnFiles.h"
#include "text/Shown.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velra::settingslog {
namespace {

bool writeLine(const QString &path, const LogLine &line, bool truncate, QString *error)
{
    QByteArray bytes;
    if (!formatLine(line, bytes, error))
        return false;
    QFile file;
    QString problem;
    // The log's folder may be one that others can write into: a link or a FIFO put there under
    // its name is refused, never followed or waited on.
    if (!platform::openPrivate(file, path, true, truncate, !truncate, &problem))
        return fail(error, QStringLiteral("設定ファイル「%1」に書き込めません。\r\n%2。").arg(QDir::toNativeSeparators(path), problem));
    if (file.write(bytes) == bytes.size() && file.flush()) {
        file.close();
        if (file.error() == QFileDevice::NoError)
            return true;
    }
    return fail(error, QStringLiteral("設定ファイル「%1」に書き込めません。\r\n%2").arg(QDir::toNativeSeparators(path), fileErrorReason(file)));
}

} // namespace

bool startLog(const QString &path, const LogLine &line, QString *error)
{
    return writeLine(path, line, true, error);
}

bool appendLine(const QString &path, const LogLine &line, QString *error)
{
    return writeLine(path, line, false, error);
}

bool keepLines(const QString &path, int count, QString *error)
{
    return writePageLines(path, count, {}, error);
}

bool writePageLines(const QString &path, int keep, const QList<LogLine> &lines, QString *error)
{
    QByteArray bytes;
    if (keep > 0) {
        if (!readBytes(path, bytes, error))
            return false;
        qsizetype end = 0;
        for (int line = 0; line < keep && end < bytes.size(); ++line) {
            const qsizetype lf = bytes.indexOf('\n', end);
            end = lf < 0 ? bytes.size() : lf + 1;
        }
        bytes.truncate(end);
    }
    for (const LogLine &line : lines) {
        QByteArray one;
        if (!formatLine(line, one, error))
            return false;
        bytes += one;
    }
    QString reason;
    // The run's folder, chosen when the run started: gone, it is not made again elsewhere.
    if (ownfile::write(path, bytes, &reason, false))
        return true;
    return fail(error, QStringLiteral("設定ファイル「%1」に書き込めません。\r\n%2。").arg(QDir::toNativeSeparators(path), reason));
}

// The log's bytes, read whole but never beyond the bound.
bool readBytes(const QString &path, QByteArray &bytes, QString *error, Access access, const QString &kind)
{
    const QString shown = shownValue(QDir::toNativeSeparators(path));
    QFile file(path);
    const auto unreadable = [&] { return fail(error, (kind + QStringLiteral("「%1」を読めません。\r\n%2")).arg(shown, fileErrorReason(file))); };
    QString problem;
    if (access == Access::Handoff) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return fail(error, (kind + QStringLiteral("「%1」が見つかりません。")).arg(shown));
        if (info.isDir())
            return fail(error, (kind + QStringLiteral("「%1」はフォルダーです。")).arg(shown));
        if (!platform::openPrivate(file, path, false, false, false, &problem))
            return fail(error, (kind + QStringLiteral("「%1」を読めません。\r\n%2。")).arg(shown, problem));
    } else if (!platform::openToRead(file, path, true, &problem)) {
        // Opened once, without waiting, and judged on what was opened: a FIFO swapped in is never
        // waited on.
        return fail(error, problem == platform::said(platform::Word::NotFound)
                               ? (kind + QStringLiteral("「%1」が見つかりません。")).arg(shown)
                               : (kind + QStringLiteral("「%1」は%2。")).arg(shown, problem));
    }
    // Read no further than the bound, whatever the file claims to be: a device or a pipe may
    // never end.
    bytes.clear();
    char chunk[4096];
    while (bytes.size() <= kMaxLogBytes) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            return unreadable();
        if (got == 0)
            break;
        bytes.append(chunk, got);
    }
    file.close();
    if (bytes.size() > kMaxLogBytes)
        return fail(error, (kind + QStringLiteral("「%1」が大きすぎます（%2 KB を超えています）。設定ファイルではないようです。"))
                        .arg(shown, QString::number(kMaxLogBytes / 1024)));
    return true;
}

bool readText(const QString &path, QString &text, QString *error, Access access)
{
    QByteArray bytes;
    if (!readBytes(path, bytes, error, access))
        return false;
    const QString shown = shownValue(QDir::toNativeSeparators(path));
    // A NUL is no character of any value: the file is damaged (or not a settings log at all).
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        return fail(error, QStringLiteral("設定ファイル「%1」の %2 バイト目に NUL 文字があります。設定ファイルが壊れています。")
                               .arg(shown, QString::number(nul + 1)));
    qsizetype bad = 0;
    if (!cp932::decode(bytes, text, &bad))
        return fail(error, QStringLiteral("設定ファイル「%1」の %2 バイト目が Shift_JIS（CP932）の文字として読めません。").arg(shown, QString::number(bad + 1)));
    return true;
}

bool readRun(const QString &path, Run &run, QString *error, Access access, int upToLine)
{
    QString text;
    if (access == Access::Named) {
        // A file the author names may be anything: unless it is a settings log as a whole, its
        // values are not read one by one (a script's header would be reported as a window height).
        const auto notALog = [&] {
            return fail(error, QStringLiteral("「%1」は設定ログでも設定ファイルでもありません。").arg(shownValue(QDir::toNativeSeparators(path))));
        };
        QByteArray bytes;
        if (!readBytes(path, bytes, error, access, QStringLiteral("設定ログ")))
            return bytes.size() > kMaxLogBytes ? notALog() : false;
        if (bytes.contains('\0') || !cp932::decode(bytes, text) || !isSettingsLog(text))
            return notALog();
    } else if (!readText(path, text, error, access)) {
        return false;
    }
    RunError problem;
    if (runlog::parse(text, run, &problem, upToLine))
        return true;
    // Too few values is the file's fault as a whole; what is wrong with a value is said as the
    // page would say it.
    if (problem.line == 0 && !problem.field)
        return fail(error, QStringLiteral("設定ファイル「%1」の%2").arg(QDir::toNativeSeparators(path), problem.message));
    return fail(error, problem.message);
}

} // namespace velra::settingslog
