#include "Application.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace velra {

void setUpLook(QApplication &app)
{
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
                      QStringLiteral("MS UI Gothic")});
    font.setPixelSize(12);
    app.setFont(font);
}

} // namespace velra
