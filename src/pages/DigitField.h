#pragma once

#include <QObject>

class QLineEdit;

namespace velra {

// The digit key filter of the numeric boxes: a typed character outside "0" to "9" is swallowed.
// Backspace, Delete, shortcuts (select all, cut, paste of digits) and navigation keys are no typed
// characters and pass. Pasted or dropped text that is not all digits is refused too.
void makeDigitField(QLineEdit *box);
// The same, with a minus sign allowed as the first character (window positions may be negative).
void makeSignedDigitField(QLineEdit *box);

bool isAllDigits(const QString &text);

} // namespace velra
