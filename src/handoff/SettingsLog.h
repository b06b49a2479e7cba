#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace velra {

// One field of the settings log: quoted text, an unquoted whole number, or the empty value.
struct LogValue
{
    enum class Kind { Empty, Number, Text };

    Kind kind = Kind::Empty;
    QString text; // the characters of the field, as stored (digits for a number)

    static LogValue empty() { return {}; }
    static LogValue number(int value) { return {Kind::Number, QString::number(value)}; }
    static LogValue textValue(const QString &value) { return {Kind::Text, value}; }

    friend bool operator==(const LogValue &, const LogValue &) = default;
};

using LogLine = QList<LogValue>;

namespace settingslog {

// The log holds fourteen short values; anything much larger is not a settings log, and is refused
// before it is read whole.
constexpr qint64 kMaxLogBytes = 64 * 1024;

// The bytes of one line, CR LF included. Refuses text that CP932 cannot hold, and text holding a
// double quote or a line break, which would not read back as the same value.
bool formatLine(const LogLine &line, QByteArray &out, QString *error);

// Reads the first `count` fields of `text`. Returns false when the text holds fewer; `found` then
// says how many it holds.
bool parseFields(QStringView text, int count, QList<LogValue> &out, int *found = nullptr);
// Whether `text` is a settings log at all, judged as its reader reads it (line ends counting as
// commas, so whatever lines the values stand on): the first nine values are a text, two whole
// numbers, a text, four whole numbers and a mode of 1 or 2. For whole files the author names (a
// script picked by mistake must not be read value by value as if it were one).
bool isSettingsLog(QStringView text);
// Reads up to `count` values from the start of `text` into `out`, line ends counting as commas;
// returns where reading stopped: after the last value's comma, or past its line end.
qsizetype parseValues(QStringView text, int count, QList<LogValue> &out);

// Creates the log anew (truncating an old one) with `line` as its only line.
bool startLog(const QString &path, const LogLine &line, QString *error);
// Appends `line`, creating the log when it is missing.
bool appendLine(const QString &path, const LogLine &line, QString *error);
// Cuts the log back to its first `count` lines (a page gone back to writes its lines again).
bool keepLines(const QString &path, int count, QString *error);
// How the log is opened: a hand-off file only when it is the user's own regular file, never
// through a link; a log named by the user (the command line) as named, a pipe too.
enum class Access { Handoff, Named };
// The log's text, decoded from CP932; the message names the file.
bool readText(const QString &path, QString &text, QString *error, Access access = Access::Handoff);
// Reads the first `count` fields of the log at `path`.
bool readFields(const QString &path, int count, QList<LogValue> &out, QString *error);
// The log's bytes as they are, refused beyond kMaxLogBytes (`bytes` then holds more than that).
// Messages name the file as `kind` names it (a settings log named by the author is a 設定ログ).
bool readBytes(const QString &path, QByteArray &bytes, QString *error, Access access = Access::Handoff,
               const QString &kind = QStringLiteral("設定ファイル"));

} // namespace settingslog
} // namespace velra
