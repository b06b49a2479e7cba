#include "DigitField.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace velra {
namespace {

class DigitKeyFilter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Delete)
            return false;
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false; // a shortcut; a paste it makes meets the validator
        const QString text = key->text();
        return !text.isEmpty() && !isAllDigits(text);
    }
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
    box->installEventFilter(new DigitKeyFilter(box));
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
}

} // namespace velra
