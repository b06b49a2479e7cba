#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

// Small constructors for the numbered controls of the pages: each control carries its page's
// control name as its objectName, which tests find it by.
namespace velra::controls {

template <typename T>
T *named(T *widget, const QString &name, QRect geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

inline QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption, QRect geometry)
{
    return named(new QGroupBox(caption, parent), name, geometry);
}

inline QLineEdit *textBox(QWidget *parent, const QString &name, QRect geometry, const QString &text = {})
{
    return named(new QLineEdit(text, parent), name, geometry);
}

inline QLabel *label(QWidget *parent, const QString &name, const QString &text, QRect geometry, bool wrap = false)
{
    auto *l = named(new QLabel(text, parent), name, geometry);
    if (wrap) {
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    return l;
}

inline QLabel *redLabel(QWidget *parent, const QString &name, const QString &text, QRect geometry)
{
    auto *l = label(parent, name, text, geometry, true);
    l->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    return l;
}

inline QPushButton *button(QWidget *parent, const QString &name, const QString &caption, QRect geometry)
{
    return named(new QPushButton(caption, parent), name, geometry);
}

inline QRadioButton *option(QWidget *parent, const QString &name, const QString &caption, QRect geometry)
{
    return named(new QRadioButton(caption, parent), name, geometry);
}

// Clears a choice of an exclusive group, which a plain setChecked(false) would refuse.
inline void unselect(QRadioButton *choice)
{
    choice->setAutoExclusive(false);
    choice->setChecked(false);
    choice->setAutoExclusive(true);
}

} // namespace velra::controls
