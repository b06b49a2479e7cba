#include "DigitField.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QValidator>

namespace velra {
namespace {

// What an input method gives a Japanese author, as the half-width characters a number is made of:
// the full-width digits (and point), and the minus signs of their keyboards.
QString halfWidth(QString text)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xFF10 && u <= 0xFF19)
            c = QChar(u - 0xFF10 + '0');
        else if (u == 0xFF0D || u == 0x2212 || u == 0x30FC)
            c = QLatin1Char('-');
        else if (u == 0xFF0E)
            c = QLatin1Char('.');
    }
    return text;
}

// Takes what matches `pattern` once made half-width, and puts it in the box half-width.
class NumberValidator final : public QValidator
{
public:
    NumberValidator(const QString &pattern, QObject *parent)
        : QValidator(parent)
        , m_pattern(QRegularExpression::anchoredPattern(pattern))
    {
    }

    State validate(QString &input, int &) const override
    {
        const QString half = halfWidth(input);
        if (!m_pattern.match(half).hasMatch())
            return Invalid;
        input = half; // the same length: the cursor stays where it was
        return Acceptable;
    }

private:
    QRegularExpression m_pattern;
};

class DigitKeyFilter final : public QObject
{
public:
    DigitKeyFilter(QLineEdit *box, bool sign)
        : QObject(box)
        , m_box(box)
        , m_sign(sign)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        // The editing keys are no typed characters: an author must be able to correct a typo.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Delete
            || key->key() == Qt::Key_Backspace)
            return false;
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false; // a shortcut; a paste it makes meets the validator
        const QString text = halfWidth(key->text());
        // A minus sign only in front, and only once.
        if (m_sign && text == QLatin1String("-")) {
            // Where the sign would go, and what would stay after it once typed over the selection.
            const bool selected = m_box->hasSelectedText();
            const int at = selected ? m_box->selectionStart() : m_box->cursorPosition();
            QString rest = m_box->text();
            if (selected)
                rest.remove(m_box->selectionStart(), m_box->selectedText().size());
            if (at == 0 && !rest.startsWith(QLatin1Char('-')))
                return false;
        }
        return !text.isEmpty() && !isAllDigits(text);
    }

private:
    QLineEdit *m_box;
    bool m_sign;
};

} // namespace

bool isAllDigits(const QString &text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

void makeDigitField(QLineEdit *box)
{
    box->installEventFilter(new DigitKeyFilter(box, false));
    box->setValidator(new NumberValidator(QStringLiteral("[0-9]*"), box));
}

void makeSignedDigitField(QLineEdit *box)
{
    box->installEventFilter(new DigitKeyFilter(box, true));
    box->setValidator(new NumberValidator(QStringLiteral("-?[0-9]*"), box));
}

void makeDecimalField(QLineEdit *box)
{
    box->setValidator(new NumberValidator(QStringLiteral("-?[0-9]*\\.?[0-9]*"), box));
}

} // namespace velra
