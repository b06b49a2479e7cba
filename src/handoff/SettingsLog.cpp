#include "SettingsLog.h"

#include "Cp932.h"
#include "HandoffFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velra::settingslog {
namespace {

bool writeLine(const QString &path, const LogLine &line, QIODevice::OpenMode mode, QString *error)
{
    QByteArray bytes;
    if (!formatLine(line, bytes, error))
        return false;
    QFile file(path);
    if (file.open(mode) && file.write(bytes) == bytes.size() && file.flush()) {
        file.close();
        if (file.error() == QFileDevice::NoError)
            return true;
    }
    if (error)
        *error = QStringLiteral("設定ファイル「%1」に書き込めません。\r\n%2").arg(QDir::toNativeSeparators(path), fileErrorReason(file));
    return false;
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
                if (error)
                    *error = QStringLiteral("「%1」には二重引用符（\"）や改行を含められません。").arg(value.text);
                return false;
            }
        }
        if (quoted)
            bytes.append('"');
        qsizetype bad = 0;
        if (!cp932::encode(value.text, bytes, &bad)) {
            if (error)
                *error = QStringLiteral("%1 は Shift_JIS（CP932）で保存できない文字です。")
                             .arg(cp932::describeUnencodable(value.text, bad));
            return false;
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
    fields.reserve(count);
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
    if (found)
        *found = int(fields.size());
    if (fields.size() < count)
        return false;
    out = std::move(fields);
    return true;
}

bool startLog(const QString &path, const LogLine &line, QString *error)
{
    return writeLine(path, line, QIODevice::WriteOnly | QIODevice::Truncate, error);
}

bool appendLine(const QString &path, const LogLine &line, QString *error)
{
    return writeLine(path, line, QIODevice::WriteOnly | QIODevice::Append, error);
}

bool readFields(const QString &path, int count, QList<LogValue> &out, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error = QStringLiteral("設定ファイル「%1」が見つかりません。").arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (info.isDir()) {
        if (error)
            *error = QStringLiteral("設定ファイル「%1」はフォルダーです。").arg(QDir::toNativeSeparators(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("設定ファイル「%1」を読めません。\r\n%2").arg(QDir::toNativeSeparators(path), fileErrorReason(file));
        return false;
    }
    // Read no further than the bound, whatever the file claims to be: a device or a pipe may
    // never end.
    QByteArray bytes;
    char chunk[4096];
    while (bytes.size() <= kMaxLogBytes) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0) {
            if (error)
                *error = QStringLiteral("設定ファイル「%1」を読めません。\r\n%2").arg(QDir::toNativeSeparators(path), fileErrorReason(file));
            return false;
        }
        if (got == 0)
            break;
        bytes.append(chunk, got);
    }
    file.close();
    if (bytes.size() > kMaxLogBytes) {
        if (error)
            *error = QStringLiteral("設定ファイル「%1」が大きすぎます（%2 KB を超えています）。設定ファイルではないようです。")
                         .arg(QDir::toNativeSeparators(path))
                         .arg(kMaxLogBytes / 1024);
        return false;
    }
    QString text;
    qsizetype bad = 0;
    if (!cp932::decode(bytes, text, &bad)) {
        if (error)
            *error = QStringLiteral("設定ファイル「%1」の %2 バイト目が Shift_JIS（CP932）の文字として読めません。")
                         .arg(QDir::toNativeSeparators(path))
                         .arg(bad + 1);
        return false;
    }
    int found = 0;
    if (!parseFields(text, count, out, &found)) {
        if (error)
            *error = QStringLiteral("設定ファイル「%1」の値が足りません（%2 個必要ですが、%3 個しかありません）。")
                         .arg(QDir::toNativeSeparators(path))
                         .arg(count)
                         .arg(found);
        return false;
    }
    return true;
}

bool readRun(const QString &path, QList<LogValue> &out, QString *error)
{
    QList<LogValue> firstLines;
    if (!readFields(path, int(Field::SettingMode) + 1, firstLines, error))
        return false;
    const bool detailed = firstLines[int(Field::SettingMode)].text.trimmed() == QLatin1String("2");
    return readFields(path, detailed ? kDetailedRunFieldCount : kFieldCount, out, error);
}

} // namespace velra::settingslog
