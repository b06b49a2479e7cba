#include "handoff/HandoffFiles.h"
#include "platform/Console.h"
#include "shell/Application.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"
#include "text/Shown.h"
#include "pages/Pages.h"

#include <QApplication>
#include <QFile>

#include <algorithm>
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
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Without a display the platform would end the program with a core and English words: said in
    // the author's language instead, with what to do.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool needsDisplay = platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
    if (needsDisplay && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        velra::console::writeText(stderr, QStringLiteral("velloran: 画面（ディスプレイ）につながっていないため、ウィンドウを開けません。"
                                                         "デスクトップの中から起動してください（DISPLAY が設定されていません）。\n"));
        return 1;
    }
#endif
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("velloran"));
    // No display name: the platform would add it to every window title, message boxes included.
    app.setApplicationVersion(QStringLiteral(VELRA_VERSION));
    velra::setUpLook(app);
    velra::loadTranslations(app);
    velra::QtToolkit toolkit;
    velra::Wizard wizard(toolkit, velra::createPage);
    QObject::connect(&wizard, &velra::Wizard::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    // A settings file given (a double click on it) starts its run at once. A name whose bytes are
    // not text in the locale would come back as another name: refused, and nothing opened.
    QByteArray unreadable;
    QString file = velra::console::arguments(std::min(argc, 2), argv, &unreadable).value(0); // only the first is read
    QString refused;
    if (!unreadable.isNull()) {
        refused = QStringLiteral("「%1」は、名前に文字として読めないバイトがあるため開きません。ファイル名を UTF-8 の文字に変えてください。")
                      .arg(velra::shownBytes(unreadable));
        file.clear();
    }
    if (!wizard.start(file, refused))
        return 0;
    return app.exec();
}
