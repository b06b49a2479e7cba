#include "SettingsLog.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "HandoffFiles.h"
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

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

bool formatLine(const LogLine &line, QByteArray &out, QString *error)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const LogValue &value = line[i];
        if (i > 0)
            bytes.append(',');
        if (value.kind == LogValue::Kind::Empty)
            continue;
        const bool quoted = value.kind == LogValue::Kind::Text;
        for (const QChar c : value.text) {
            if ((quoted && c == QLatin1Char('"')) || isLineEnd(c)) {
                return fail(error, QStringLiteral("「%1」には二重引用符（\"）や改行を含められません。").arg(value.text));
            }
        }
        if (quoted)
            bytes.append('"');
        qsizetype bad = 0;
        if (!cp932::encode(value.text, bytes, &bad)) {
            return fail(error, QStringLiteral("%1 は Shift_JIS（CP932）で保存できない文字です。")
                                   .arg(cp932::describeUnencodable(value.text, bad)));
        }
        if (quoted)
            bytes.append('"');
    }
    bytes.append("\r\n");
    out = std::move(bytes);
    return true;
}

bool parseFields(QStringView text, int count, QList<LogValue> &out, int *found)
{
    QList<LogValue> fields;
    parseValues(text, count, fields);
    if (found)
        *found = int(fields.size());
    if (fields.size() < count)
        return false;
    out = std::move(fields);
    return true;
}

bool isSettingsLog(QStringView text)
{
    QList<LogValue> fields;
    if (!parseFields(text, 9, fields))
        return false;
    const auto isText = [&fields](int i) { return fields[i].kind == LogValue::Kind::Text && !fields[i].text.isEmpty(); };
    const auto isWhole = [&fields](int i) { return isWholeNumberText(fields[i].text.trimmed()); };
    const QString mode = fields[8].text.trimmed();
    return isText(0) && isWhole(1) && isWhole(2) && isText(3) && isWhole(4) && isWhole(5) && isWhole(6) && isWhole(7)
        && (mode == QLatin1String("1") || mode == QLatin1String("2"));
}

qsizetype parseValues(QStringView text, int count, QList<LogValue> &fields)
{
    fields.clear();
    fields.reserve(qMin(count, 64));
    const qsizetype n = text.size();
    qsizetype pos = 0;
    bool afterComma = false; // a comma at the very end still opens one (empty) field
    while (fields.size() < count && (pos < n || afterComma)) {
        while (pos < n && text[pos] == QLatin1Char(' '))
            ++pos;
        LogValue value;
        if (pos < n && text[pos] == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), pos + 1);
            const qsizetype end = close < 0 ? n : close;
            value = LogValue::textValue(text.mid(pos + 1, end - pos - 1).toString());
            pos = end == n ? n : end + 1;
            while (pos < n && text[pos] != QLatin1Char(',') && !isLineEnd(text[pos]))
                ++pos;
        } else {
            const qsizetype start = pos;
            while (pos < n && text[pos] != QLatin1Char(',') && !isLineEnd(text[pos]))
                ++pos;
            const QStringView raw = text.mid(start, pos - start).trimmed();
            if (!raw.isEmpty()) {
                bool isNumber = false;
                (void)raw.toLongLong(&isNumber);
                value = {isNumber ? LogValue::Kind::Number : LogValue::Kind::Text, raw.toString()};
            }
        }
        fields.append(value);
        afterComma = pos < n && text[pos] == QLatin1Char(',');
        if (afterComma) {
            ++pos;
        } else if (pos < n) {
            // CR LF, or a lone CR or LF from a file edited elsewhere
            if (text[pos] == QLatin1Char('\r') && pos + 1 < n && text[pos + 1] == QLatin1Char('\n'))
                ++pos;
            ++pos;
        }
    }
    return pos;
}

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
    QByteArray bytes;
    if (!readBytes(path, bytes, error))
        return false;
    qsizetype end = 0;
    for (int line = 0; line < count && end < bytes.size(); ++line) {
        const qsizetype lf = bytes.indexOf('\n', end);
        end = lf < 0 ? bytes.size() : lf + 1;
    }
    if (count <= 0)
        end = 0;
    if (end == bytes.size())
        return true;
    QFile file;
    QString problem;
    if (!platform::openPrivate(file, path, true, true, false, &problem))
        return fail(error, QStringLiteral("設定ファイル「%1」に書き込めません。\r\n%2。").arg(QDir::toNativeSeparators(path), problem));
    const QByteArray kept = bytes.left(end);
    if (file.write(kept) == kept.size() && file.flush()) {
        file.close();
        if (file.error() == QFileDevice::NoError)
            return true;
    }
    return fail(error, QStringLiteral("設定ファイル「%1」に書き込めません。\r\n%2").arg(QDir::toNativeSeparators(path), fileErrorReason(file)));
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

namespace {

// The first `count` fields of the text of the log at `path`, or a message saying how many it holds.
bool parseCounted(const QString &path, QStringView text, int count, QList<LogValue> &out, QString *error)
{
    int found = 0;
    if (parseFields(text, count, out, &found))
        return true;
    return fail(error, QStringLiteral("設定ファイル「%1」の値が足りません（%2 個必要ですが、%3 個しかありません）。")
                           .arg(QDir::toNativeSeparators(path), QString::number(count), QString::number(found)));
}

} // namespace

bool readFields(const QString &path, int count, QList<LogValue> &out, QString *error)
{
    QString text;
    return readText(path, text, error, Access::Handoff) && parseCounted(path, text, count, out, error);
}

} // namespace velra::settingslog
