#include "model/LogFormat.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "text/Shown.h"

namespace velra {

QString fieldName(Field field)
{
    static const char *const names[kFieldCount] = {
        "ScrollImageFile", "ScrollImageWidth", "ScrollImageHeight", "BackgroundFile", "BackgroundWidth",
        "BackgroundHeight", "WindowWidth",     "WindowHeight",      "SettingMode",    "ScrollDirection",
        "ScrollStep",      "ScrollAlignment",  "ScrollEndMode",     "MoveCount",
    };
    return QString::fromLatin1(names[static_cast<int>(field)]);
}

QString fieldLabel(Field field)
{
    static const char *const labels[kFieldCount] = {
        "スクロール画像のファイル名", "スクロール画像の幅", "スクロール画像の高さ", "背景画像のファイル名",
        "背景画像の幅",               "背景画像の高さ",     "ウィンドウの幅",       "ウィンドウの高さ",
        "設定モード",                 "スクロール方向",     "スクロールの間隔",     "スクロール位置",
        "スクロール終了位置",         "移動回数",
    };
    return QString::fromUtf8(labels[static_cast<int>(field)]);
}

namespace settingslog {
namespace {

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

bool isSettingsLog(QStringView text)
{
    QList<LogValue> fields;
    if (parseValues(text, 9, fields) < 0 || fields.size() < 9)
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

} // namespace settingslog
} // namespace velra
