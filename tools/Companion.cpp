#include "Companion.h"

#include "handoff/HandoffFiles.h"
#include "handoff/SettingsFile.h"
#include "platform/Console.h"
#include "text/Shown.h"
#include "handoff/SettingsLog.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <csignal>

namespace velra::companion {

extern const char kUsage[];
const char kUsage[] =
    "使い方: velra-script generate LOG [-o OUT|-]\n"
    "        velra-script save LOG (--csf FILE | --txt FILE) --book NAME --page NAME\n"
    "        velra-script preview LOG [--scroll-picture PATH]\n"
    "                     [--background-picture PATH]\n"
    "                     (-o SHEET.png [--frames N] | --all -o DIR |\n"
    "                      --animation -o FILE.webp|FILE.gif [--fps N]\n"
    "                      [--scale 1|1/2|1/3|1/4] [--every K] [--quality N]\n"
    "                      [--max-size SIZE] [--once])\n"
    "        velra-script --help | --version\n"
    "\n"
    "generate  設定ログ LOG の値からスクリプトを作り、OUT に書き出します\n"
    "          （- または -o なしで標準出力）。中身はスクリプトの一時ファイルと\n"
    "          同じ CP932 のテキストで、最後の行も CR LF で終わります。\n"
    "save      LOG からスクリプトを作り、ウィザードの保存と同じように FILE に\n"
    "          保存します。--csf はコミックスクリプトファイルにブックを追加し\n"
    "          （新しいファイルや空のファイルには見出しも書きます）、--txt は\n"
    "          テキストファイルに追加します。FILE はファイルに限ります（標準出力に\n"
    "          書き出せるのは generate だけです）。\n"
    "preview   スクリプトのコマを背景の上に描きます。最初から最後まで等間隔に\n"
    "          N コマ（既定 12）を 1 枚の PNG に並べるか、--all ですべてのコマを\n"
    "          DIR/frame-00001.png から順にウィンドウの大きさで書き出します。\n"
    "          指定のない画像は名前入りの四角で描きます。\n"
    "          --animation は動きを 1 つのアニメーションに書き出します。形式は\n"
    "          拡張子で決まり、WebP は劣化なし（--quality N で品質 N の軽量版）、\n"
    "          GIF は全体で 1 つのパレットです。--fps は 1 秒のコマ数（既定 30、\n"
    "          GIF は 50、WebP は 90 まで）、--scale で縦横 1/2 から 1/4、\n"
    "          --every K で K コマに 1 コマ（長さは同じ）、--once で 1 回だけ\n"
    "          再生します（既定はくり返し）。--max-size 4M などで、その大きさに\n"
    "          収まるいちばん良いファイルを選びます（品質、次に大きさを下げます）。\n"
    "\n"
    "LOG は、ウィザードがページを進めるごとに書く設定ログ（velra.dat）か、\n"
    "「設定を保存…」で保存した設定ファイル（*.velra）です。設定ファイルなら\n"
    "preview はその画像で描きます（--scroll-picture などの指定が優先）。\n"
    "save にはそれでも --book と --page が必要です。\n"
    "\n"
    "終了コード: 0 完了、1 設定の誤りか失敗（FILE と OUT はそのまま）、\n"
    "            2 使い方の誤り。\n";

bool readRun(const QString &path, Run &run, lastrun::Settings *named, QString *error)
{
    if (!settingsfile::isSettingsFile(path))
        return settingslog::readRun(path, run, error, settingslog::Access::Named);
    lastrun::Settings settings;
    if (!settingsfile::read(path, settings, error, &run))
        return false;
    if (named)
        *named = std::move(settings);
    return true;
}

int usageError(const QString &what)
{
    console::writeText(stderr, QStringLiteral("velra-script: %1\n詳しくは velra-script --help を見てください。\n").arg(escapeControls(what)));
    return 2;
}

QString oneLine(QString message)
{
    // The message's own line breaks join into one line; any other control character came from
    // the input and is shown escaped, so that it cannot act on the terminal.
    message.replace(QStringLiteral("。\r\n"), QStringLiteral("。"));
    message.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return escapeControls(message);
}

int failure(const QString &message)
{
    console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(oneLine(message)));
    return 1;
}

// How the saves wait for a file another program holds: said once on standard error.
output::Options waitingOptions()
{
    output::Options options;
    options.waiting = [said = false](const QString &what) mutable {
        if (!said)
            console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(escapeControls(what)));
        said = true;
        return true;
    };
    return options;
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error, bool readsExisting)
{
    QString reason;
    output::Options options = waitingOptions();
    options.readsExisting = readsExisting;
    if (output::writeBytes(path, bytes, &reason, options))
        return true;
    *error = QStringLiteral("「%1」に書き込めません。%2").arg(shownValue(QDir::toNativeSeparators(path)), reason);
    return false;
}

QString shownOption(const QCommandLineOption &option)
{
    const QString &name = option.names().constFirst();
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

QString readArguments(const QStringList &args, const Grammar &grammar, Arguments &read)
{
    QCommandLineParser &parser = read.m_parser;
    // "-o" is one name, not the letter o among others: "-ofile" is no option of these commands.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(grammar.options);
    const auto optionNamed = [&grammar](const QString &arg) -> const QCommandLineOption * {
        for (const QCommandLineOption &option : grammar.options)
            if (shownOption(option) == arg)
                return &option;
        return nullptr;
    };
    const auto notAnArgument = [](const QString &arg) { return QStringLiteral("引数「%1」は使えません。").arg(shownValue(arg)); };
    if (!parser.parse(QStringList{QString()} + args)) {
        // Said of the argument as given, the first one wrong: Qt's own words name it otherwise.
        for (qsizetype i = 0; i < args.size() && args[i] != QLatin1String("--"); ++i) {
            const QString &arg = args[i];
            if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-"))
                continue;
            const QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
            const QCommandLineOption *option = optionNamed(QLatin1Char('-') + name);
            if (!option)
                option = optionNamed(QStringLiteral("--") + name);
            const bool valued = option && !option->valueName().isEmpty();
            if (valued && !arg.contains(QLatin1Char('='))) {
                if (++i >= args.size())
                    return grammar.noValue(shownOption(*option));
            } else if (!option || (!valued && arg.contains(QLatin1Char('=')))) {
                return notAnArgument(arg);
            }
        }
        return QStringLiteral("引数が正しくありません（%1）。").arg(parser.errorText().trimmed());
    }
    for (const QCommandLineOption &option : grammar.options) {
        const QString shown = shownOption(option);
        if (option.valueName().isEmpty()) {
            // QCommandLineParser counts a flag once however often it is given, and "-once" is
            // "--once" as well.
            const auto given = std::count_if(args.begin(), args.end(), [&](const QString &arg) {
                return arg.startsWith(QLatin1Char('-')) && arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1) == option.names().constFirst();
            });
            if (given > 1)
                return grammar.twice(shown);
            continue;
        }
        const QStringList values = parser.values(option);
        if (values.size() > 1)
            return grammar.twice(shown);
        if (values.size() == 1 && values.front().isEmpty() && grammar.emptyIsMissing)
            return grammar.noValue(shown);
    }
    const QStringList logs = parser.positionalArguments();
    for (const QString &log : logs) {
        if (!read.m_log.isEmpty() || log == QLatin1String("-"))
            return notAnArgument(log);
        read.m_log = log;
    }
    return QString();
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &)
{
}

int printed(const QString &text)
{
    if (console::writeText(stdout, text))
        return 0;
    console::writeText(stderr, QStringLiteral("velra-script: 標準出力に書き込めません。\n"));
    return 1;
}

int begin(int argc, char *argv[], QStringList *args)
{
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QByteArray unreadable;
    *args = console::arguments(argc, argv, &unreadable);
    if (!unreadable.isNull())
        return failure(QStringLiteral("引数「%1」に文字として読めないバイトがあります。ファイル名は UTF-8 の文字で指定してください。")
                           .arg(shownBytes(unreadable)));
    return 0;
}

} // namespace velra::companion
