#include "platform/Console.h"
#include "shell/Application.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"

#include <QApplication>

#include <csignal>
#include <cstring>

int main(int argc, char *argv[])
{
    // Answered before the application object exists: no display is needed to ask for the version.
    for (int i = 1; i < argc; ++i) {
        const bool version = std::strcmp(argv[i], "--version") == 0;
        const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        if (!version && !help)
            continue;
        velra::console::attachParentConsole();
        const QString text = version ? QStringLiteral("Velloran (VELRA) %1\n").arg(QLatin1String(VELRA_VERSION))
                                     : QStringLiteral("使い方: velloran [FILE.velra | --help | --version]\n"
                                                      "引数なしで起動すると、ウィザードの最初のページを開きます。\n"
                                                      "FILE.velra  保存した設定ファイルの設定で作業を始めます。\n"
                                                      "--version  版を表示して終わります。\n");
        return velra::console::writeText(stdout, text) ? 0 : 1;
    }
#ifdef SIGPIPE
    // Saving into a FIFO whose reader goes away is a failed save, reported as such, not the end.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("velloran"));
    // No display name: the platform would add it to every window title, message boxes included.
    app.setApplicationVersion(QStringLiteral(VELRA_VERSION));
    velra::setUpLook(app);
    velra::loadTranslations(app);
    velra::QtToolkit toolkit;
    velra::Wizard wizard(toolkit);
    QObject::connect(&wizard, &velra::Wizard::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    // A settings file given (a double click on it) starts its run at once.
    if (!wizard.start(app.arguments().value(1)))
        return 0;
    return app.exec();
}
