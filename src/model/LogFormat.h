#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// The settings log as text: its fourteen values, how a line is written and how values are read back.
namespace velra {

// The fourteen values of the settings log, in file order.
enum class Field {
    ScrollImageFile,
    ScrollImageWidth,
    ScrollImageHeight,
    BackgroundFile,
    BackgroundWidth,
    BackgroundHeight,
    WindowWidth,
    WindowHeight,
    SettingMode,
    ScrollDirection,
    ScrollStep,
    ScrollAlignment,
    ScrollEndMode,
    MoveCount,
};
constexpr int kFieldCount = 14;

QString fieldName(Field field);
// "スクロールの間隔": how messages name a value of the settings log (the author's words, never the
// log's internal name).
QString fieldLabel(Field field);

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

// Whether `text` is a settings log at all, judged as its reader reads it (line ends counting as
// commas, so whatever lines the values stand on): the first nine values are a text, two whole
// numbers, a text, four whole numbers and a mode of 1 or 2. For whole files the author names (a
// script picked by mistake must not be read value by value as if it were one).
bool isSettingsLog(QStringView text);
// Reads up to `count` values from the start of `text` into `out`, line ends counting as commas;
// returns where reading stopped: after the last value's comma, or past its line end.
qsizetype parseValues(QStringView text, int count, QList<LogValue> &out);

} // namespace settingslog
} // namespace velra
