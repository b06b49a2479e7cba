#pragma once

#include <QObject>

class QLineEdit;

namespace velra {

// The digit key filter of the numeric boxes: a typed character outside "0" to "9" is swallowed.
// Full-width digits, which a Japanese input method gives, are taken as the half-width ones.
// Backspace, Delete, shortcuts (select all, cut, paste of digits) and navigation keys are no typed
// characters and pass. Pasted or dropped text that is not all digits is refused too.
void makeDigitField(QLineEdit *box);
// The same, with a minus sign allowed as the first character (window positions may be negative);
// the full-width minus, the minus sign and the long vowel mark, which a Japanese keyboard gives
// for it, are taken as it.
void makeSignedDigitField(QLineEdit *box);
// A number with a point and decimals (a curve's values), full-width characters taken as above.
void makeDecimalField(QLineEdit *box);

bool isAllDigits(const QString &text);

} // namespace velra
