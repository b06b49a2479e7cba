#include "text/Shown.h"

#include <algorithm>

namespace velra {

bool hasControlCharacter(QStringView text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

bool isBlankName(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == QLatin1Char(' ') || c == QChar(0x3000); });
}

bool isWholeNumberText(QStringView text)
{
    if (!text.isEmpty() && (text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+')))
        text = text.mid(1);
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

QString keepingUnits(QString text)
{
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == QLatin1Char(' ') && text[i - 1].isDigit())
            text[i] = QChar(0x00A0);
    }
    return text;
}

QString escapeControls(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        // U+FEFF, which an editor may put before a name copied from it, is there but never seen.
        if (c.category() != QChar::Other_Control && c.unicode() != 0xFEFF) {
            shown.append(c);
            continue;
        }
        switch (c.unicode()) {
        case '\n':
            shown.append(QLatin1String("\\n"));
            break;
        case '\r':
            shown.append(QLatin1String("\\r"));
            break;
        case '\t':
            shown.append(QLatin1String("\\t"));
            break;
        default:
            shown.append(c.unicode() < 0x100 ? QLatin1String("\\x") : QLatin1String("\\u"));
            shown.append(QString::number(c.unicode(), 16).toUpper().rightJustified(c.unicode() < 0x100 ? 2 : 4, QLatin1Char('0')));
            break;
        }
    }
    return shown;
}

QString shownValue(const QString &value)
{
    constexpr qsizetype kLongest = 200;
    if (value.size() <= kLongest)
        return escapeControls(value);
    return escapeControls(value.left(kLongest)) + QStringLiteral("…（%1 文字）").arg(value.size());
}

QString shownBytes(QByteArrayView bytes)
{
    QString shown;
    qsizetype at = 0;
    while (at < bytes.size()) {
        // The longest run that is whole UTF-8 text, then the byte that is not.
        qsizetype end = at;
        while (end < bytes.size()) {
            const auto lead = static_cast<unsigned char>(bytes[end]);
            const qsizetype length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
            if (!length || end + length > bytes.size() || !QUtf8StringView(bytes.sliced(end, length)).isValidUtf8())
                break;
            end += length;
        }
        shown += escapeControls(QString::fromUtf8(bytes.sliced(at, end - at)));
        if (end < bytes.size()) {
            shown += QStringLiteral("\\x") + QString::number(uint(static_cast<unsigned char>(bytes[end])), 16).toUpper().rightJustified(2, QLatin1Char('0'));
            ++end;
        }
        at = end;
    }
    constexpr qsizetype kLongest = 200;
    return shown.size() <= kLongest ? shown : shown.left(kLongest) + QStringLiteral("…（%1 バイト）").arg(bytes.size());
}

} // namespace velra
