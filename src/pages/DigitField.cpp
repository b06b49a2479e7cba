#include "DigitField.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace velra {
namespace {

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
        const QString text = key->text();
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
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
}

void makeSignedDigitField(QLineEdit *box)
{
    box->installEventFilter(new DigitKeyFilter(box, true));
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), box));
}

} // namespace velra
