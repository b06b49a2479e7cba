// The command-line companion: the wizard's engine for authors who script their work. It loads Qt
// Core only; `preview` hands over to velra-script-preview beside it, which draws with Qt Gui.
#include "Companion.h"

#include "handoff/HandoffFiles.h"
#include "handoff/SettingsLog.h"
#include "platform/Console.h"
#include "platform/Helper.h"
#include "script/ScriptFile.h"
#include "script/ScrollScript.h"
#include "text/Shown.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

using namespace velra;
using namespace velra::companion;

namespace {

bool generateFrom(const QString &log, QByteArray &script, QString *error)
{
    Run run;
    return readRun(log, run, nullptr, error) && generateScript(run, script, nullptr, error);
}

int generate(const QStringList &args)
{
    const QCommandLineOption outOption(QStringLiteral("o"), QString(), QStringLiteral("OUT"));
    const QString oneName = QStringLiteral("-o にはファイル名を 1 つ指定してください（- は標準出力）。");
    Grammar grammar;
    grammar.options = {outOption};
    grammar.twice = grammar.noValue = [&oneName](const QString &) { return oneName; };
    Arguments read;
    if (const QString wrong = readArguments(args, grammar, read); !wrong.isEmpty())
        return usageError(wrong);
    const QString &log = read.log();
    const bool haveOut = read.isSet(outOption);
    const QString out = read.value(outOption);
    if (log.isEmpty())
        return usageError(QStringLiteral("generate には設定ログか設定ファイル（LOG）が必要です。"));
    QByteArray script;
    QString error;
    if (!generateFrom(log, script, &error))
        return failure(error);
    // A text file of its own, ended as every text file the programs write: output put after it
    // (`>>`) starts on a line of its own. The script buffer keeps the form without.
    script += "\r\n";
    if (!haveOut || out == QLatin1String("-")) {
        if (!console::writeScript(stdout, script))
            return failure(QStringLiteral("標準出力に書き込めません。"));
        return 0;
    }
    // The file is replaced whole: its old bytes are not needed (unless it must be written in place).
    return writeFile(out, script, &error, false) ? 0 : failure(error);
}

int save(const QStringList &args)
{
    const QCommandLineOption csf(QStringLiteral("csf"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption txt(QStringLiteral("txt"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption bookOption(QStringLiteral("book"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption pageOption(QStringLiteral("page"), QString(), QStringLiteral("NAME"));
    const QString oneFile = QStringLiteral("--csf と --txt のどちらか 1 つだけを指定してください。");
    Grammar grammar;
    grammar.options = {csf, txt, bookOption, pageOption};
    grammar.emptyIsMissing = false; // an empty name is refused as a name, with the names' rules
    grammar.twice = [&](const QString &option) {
        return option == shownOption(bookOption) || option == shownOption(pageOption)
            ? QStringLiteral("%1 が 2 回指定されています。").arg(option)
            : oneFile;
    };
    grammar.noValue = [](const QString &option) { return QStringLiteral("%1 の値がありません。").arg(option); };
    Arguments read;
    if (const QString wrong = readArguments(args, grammar, read); !wrong.isEmpty())
        return usageError(wrong);
    if (read.isSet(csf) && read.isSet(txt))
        return usageError(oneFile);
    const QString &log = read.log();
    const scriptfile::Route route = read.isSet(txt) ? scriptfile::Route::Text : scriptfile::Route::Csf;
    const QString target = read.value(route == scriptfile::Route::Text ? txt : csf);
    const bool haveBook = read.isSet(bookOption);
    const bool havePage = read.isSet(pageOption);
    const QString book = read.value(bookOption);
    const QString page = read.value(pageOption);
    if (log.isEmpty() || target.isEmpty() || !haveBook || !havePage)
        return usageError(QStringLiteral("save には LOG、--csf か --txt、--book、--page が必要です。"));
    // A save adds to what a file holds: standard output holds nothing to add to.
    if (target == QLatin1String("-"))
        return usageError(QStringLiteral("save が書き出せるのはファイルだけです（「-」という名前のファイルは ./- と書いてください）。"));
    QByteArray bookBytes;
    QByteArray pageBytes;
    QString error;
    if (!scriptfile::encodeName(book, QStringLiteral("ブック名"), bookBytes, &error)
        || !scriptfile::encodeName(page, QStringLiteral("ページ名"), pageBytes, &error))
        return failure(error);
    QByteArray script;
    if (!generateFrom(log, script, &error)
        || !scriptfile::save(target, route, bookBytes, pageBytes, script, &error, waitingOptions()))
        return failure(error);
    return 0;
}

// The drawing part, run with these arguments, its standard streams and exit status passed through.
int handOverToPreview(const QStringList &args)
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("velra-script-preview.exe");
#else
    const QString name = QStringLiteral("velra-script-preview");
#endif
    const QString helper = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (!QFileInfo(helper).isFile())
        return failure(QStringLiteral("プレビューを描く「%1」が見つかりません。").arg(shownValue(QDir::toNativeSeparators(helper))));
    QProcess drawing;
    drawing.setProcessChannelMode(QProcess::ForwardedChannels);
    drawing.setInputChannelMode(QProcess::ForwardedInputChannel);
    // It lives only as long as this command: a command stopped (TERM, KILL, Ctrl+C) stops it.
    platform::tieHelper(drawing);
    drawing.start(helper, args);
    if (!drawing.waitForStarted(-1))
        return failure(QStringLiteral("プレビューを描く「%1」を起動できません。").arg(shownValue(QDir::toNativeSeparators(helper))));
    platform::helperStarted(drawing);
    drawing.waitForFinished(-1);
    if (drawing.exitStatus() != QProcess::NormalExit)
        return failure(QStringLiteral("プレビューを描く「%1」が途中で止められました（シグナルかほかのプログラムに終わらされました）。")
                           .arg(shownValue(QDir::toNativeSeparators(helper))));
    return drawing.exitCode();
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quiet);
    QCoreApplication app(argc, argv);
    QStringList args;
    if (const int refused = begin(argc, argv, &args))
        return refused;
    if (args.isEmpty())
        return usageError(QStringLiteral("コマンドがありません。"));
    if (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))
        return printed(QString::fromUtf8(kUsage));
    if (args[0] == QLatin1String("--version"))
        return printed(QStringLiteral("velra-script (Velloran) %1\n").arg(QLatin1String(VELRA_VERSION)));
    if (args[0] == QLatin1String("generate"))
        return generate(args.mid(1));
    if (args[0] == QLatin1String("save"))
        return save(args.mid(1));
    if (args[0] == QLatin1String("preview"))
        return handOverToPreview(args);
    return usageError(QStringLiteral("「%1」というコマンドはありません（generate、save、preview のどれかです）。").arg(shownValue(args[0])));
}
