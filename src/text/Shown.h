#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Texts as messages show them, and the tests every typed value passes before it is used.
namespace velra {

// True when `text` holds a line break or another control character, which would break the line
// structure of the file it is written into.
bool hasControlCharacter(QStringView text);

// Empty, or only spaces (ASCII or ideographic): a name that names nothing.
bool isBlankName(QStringView text);

// Decimal digits with an optional sign, of any length.
bool isWholeNumberText(QStringView text);

// A value from the input as a message shows it: control characters and the invisible U+FEFF
// escaped ("\\n", "\\x1B", "\\uFEFF"), and cut after 200 characters.
QString shownValue(const QString &value);
// `text` with every space after a digit made unbreakable, so that a wrapped line never parts a
// number from its unit ("29 コマ").
QString keepingUnits(QString text);
// Control characters (and U+FEFF) escaped, nothing cut.
QString escapeControls(const QString &text);
// A name as the system gave its bytes: UTF-8 text as it is, every byte that is not text as "\xFF",
// control characters escaped, long names cut as shownValue cuts them.
QString shownBytes(QByteArrayView bytes);

} // namespace velra
