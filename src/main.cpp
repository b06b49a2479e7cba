#include "shell/Application.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("velloran"));
    app.setApplicationDisplayName(QStringLiteral("Velloran"));
    app.setApplicationVersion(QStringLiteral(VELRA_VERSION));
    if (app.arguments().contains(QStringLiteral("--version"))) {
        QTextStream(stdout) << "Velloran (VELRA) " << app.applicationVersion() << Qt::endl;
        return 0;
    }
    velra::setUpLook(app);
    velra::QtToolkit toolkit;
    velra::Wizard wizard(toolkit);
    QObject::connect(&wizard, &velra::Wizard::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    wizard.start();
    return app.exec();
}
