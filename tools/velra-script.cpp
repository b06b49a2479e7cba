// The command-line companion: the wizard's engine for authors who script their work.
#include "handoff/HandoffFiles.h"
#include "handoff/SettingsLog.h"
#include "platform/Console.h"
#include "script/OutputFile.h"
#include "script/ScriptFile.h"
#include "script/ScrollScript.h"
#include "preview/FrameRenderer.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace velra;

namespace {

const char kUsage[] =
    "使い方: velra-script generate LOG [-o OUT|-]\n"
    "        velra-script save LOG (--csf FILE | --txt FILE) --book NAME --page NAME\n"
    "        velra-script preview LOG [--scroll-picture PATH]\n"
    "                     [--background-picture PATH]\n"
    "                     (-o SHEET.png [--frames N] | --all -o DIR)\n"
    "        velra-script --help | --version\n"
    "\n"
    "generate  設定ファイル LOG の値からスクリプトを作り、OUT に書き出します\n"
    "          （- または -o なしで標準出力）。中身はスクリプトの一時ファイルと\n"
    "          同じ CP932 のテキストです。\n"
    "save      LOG からスクリプトを作り、ウィザードの保存と同じように FILE に\n"
    "          保存します。--csf はコミックスクリプトファイルにブックを追加し\n"
    "          （新しいファイルや空のファイルには見出しも書きます）、--txt は\n"
    "          テキストファイルに追加します。FILE はファイルに限ります（標準出力に\n"
    "          書き出せるのは generate だけです）。\n"
    "preview   スクリプトのコマを背景の上に描きます。最初から最後まで等間隔に\n"
    "          N コマ（既定 12）を 1 枚の PNG に並べるか、--all ですべてのコマを\n"
    "          DIR/frame-00001.png から順にウィンドウの大きさで書き出します。\n"
    "          指定のない画像は名前入りの四角で描きます。\n"
    "\n"
    "終了コード: 0 完了、1 設定の誤りか失敗（FILE と OUT はそのまま）、\n"
    "            2 使い方の誤り。\n";

int usageError(const QString &what)
{
    console::writeText(stderr, QStringLiteral("velra-script: %1\n%2").arg(escapeControls(what), QString::fromUtf8(kUsage)));
    return 2;
}

int failure(QString message)
{
    // The message's own line breaks join into one line; any other control character came from
    // the input and is shown escaped, so that it cannot act on the terminal.
    message.replace(QStringLiteral("。\r\n"), QStringLiteral("。"));
    message.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    message = escapeControls(message);
    console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(message));
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

// Writes `bytes` as the whole of `path`: checked, the old file kept on failure, never replacing a device.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const auto compose = [&bytes](QByteArrayView, output::Pieces &pieces) { pieces << bytes; };
    QString reason;
    if (output::write(path, compose, &reason, waitingOptions()))
        return true;
    *error = QStringLiteral("「%1」に書き込めません。%2").arg(shownValue(QDir::toNativeSeparators(path)), reason);
    return false;
}

bool generateFrom(const QString &log, QByteArray &script, QString *error)
{
    Run run;
    return runlog::read(log, run, error, settingslog::Access::Named) && generateScript(run, script, nullptr, error);
}

int generate(const QStringList &args)
{
    QString log;
    QString out;
    bool haveOut = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-o")) {
            if (++i >= args.size() || haveOut || args[i].isEmpty())
                return usageError(QStringLiteral("-o にはファイル名を 1 つ指定してください（- は標準出力）。"));
            out = args[i];
            haveOut = true;
        } else if (log.isEmpty() && !args[i].startsWith(QLatin1Char('-'))) {
            log = args[i];
        } else {
            return usageError(QStringLiteral("使えない引数があります。"));
        }
    }
    if (log.isEmpty())
        return usageError(QStringLiteral("generate には設定ファイル LOG が必要です。"));
    QByteArray script;
    QString error;
    if (!generateFrom(log, script, &error))
        return failure(error);
    if (!haveOut || out == QLatin1String("-")) {
        if (!console::writeScript(stdout, script))
            return failure(QStringLiteral("標準出力に書き込めません。"));
        return 0;
    }
    return writeFile(out, script, &error) ? 0 : failure(error);
}

int save(const QStringList &args)
{
    QString log;
    QString target;
    QString book;
    QString page;
    bool haveBook = false;
    bool havePage = false;
    scriptfile::Route route = scriptfile::Route::Csf;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool takesValue = a == QLatin1String("--csf") || a == QLatin1String("--txt")
            || a == QLatin1String("--book") || a == QLatin1String("--page");
        if (takesValue) {
            if (++i >= args.size())
                return usageError(QStringLiteral("オプションの値がありません。"));
            if (a == QLatin1String("--book")) {
                if (haveBook)
                    return usageError(QStringLiteral("--book が 2 回指定されています。"));
                book = args[i];
                haveBook = true;
            } else if (a == QLatin1String("--page")) {
                if (havePage)
                    return usageError(QStringLiteral("--page が 2 回指定されています。"));
                page = args[i];
                havePage = true;
            } else {
                if (!target.isEmpty())
                    return usageError(QStringLiteral("--csf と --txt のどちらか 1 つだけを指定してください。"));
                target = args[i];
                route = a == QLatin1String("--csf") ? scriptfile::Route::Csf : scriptfile::Route::Text;
            }
        } else if (log.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            log = a;
        } else {
            return usageError(QStringLiteral("使えない引数があります。"));
        }
    }
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

// Writes `image` as a PNG file, as the saves write.
bool writePng(const QString &path, const QImage &image, QString *error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        *error = QStringLiteral("「%1」の画像を PNG にできません。").arg(shownValue(QDir::toNativeSeparators(path)));
        return false;
    }
    return writeFile(path, bytes, error);
}

int previewCommand(const QStringList &args)
{
    QString log;
    QString out;
    QString scrollPicture;
    QString backgroundPicture;
    int frames = 12;
    bool all = false;
    bool haveFrames = false;
    QStringList seen;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool option = a == QLatin1String("--all") || a == QLatin1String("-o") || a == QLatin1String("--scroll-picture")
            || a == QLatin1String("--background-picture") || a == QLatin1String("--frames");
        if (option && seen.contains(a))
            return usageError(QStringLiteral("同じオプションが 2 回指定されています。"));
        if (option)
            seen.append(a);
        if (a == QLatin1String("--all")) {
            all = true;
        } else if (option) {
            if (++i >= args.size() || args[i].isEmpty())
                return usageError(QStringLiteral("オプションの値がありません。"));
            if (a == QLatin1String("-o"))
                out = args[i];
            else if (a == QLatin1String("--scroll-picture"))
                scrollPicture = args[i];
            else if (a == QLatin1String("--background-picture"))
                backgroundPicture = args[i];
            else {
                bool ok = false;
                frames = args[i].toInt(&ok);
                if (!ok || frames < 1 || frames > 1000)
                    return usageError(QStringLiteral("--frames には 1 から 1000 の数を指定してください。"));
                haveFrames = true;
            }
        } else if (log.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            log = a;
        } else {
            return usageError(QStringLiteral("使えない引数があります。"));
        }
    }
    if (log.isEmpty() || out.isEmpty())
        return usageError(QStringLiteral("preview には LOG と -o が必要です。"));
    if (all && haveFrames)
        return usageError(QStringLiteral("--frames と --all は一緒に使えません。"));

    Run run;
    QByteArray script;
    QString error;
    ScriptFrames parsed;
    if (!runlog::read(log, run, &error, settingslog::Access::Named) || !generateScript(run, script, nullptr, &error)
        || !ScriptFrames::read(script, parsed, &error))
        return failure(error);
    // One image pixel per window pixel with --all: a window far beyond a screen is refused.
    QSize window;
    if (!preview::windowSizeOf(run, window) || window.width() > 16384 || window.height() > 16384)
        return failure(QStringLiteral("ウィンドウの大きさ（%1 × %2）では描けません。")
                           .arg(shownValue(run.windowWidth), shownValue(run.windowHeight)));
    QHash<QString, QString> paths;
    if (!scrollPicture.isEmpty())
        paths.insert(run.scroll.file, scrollPicture);
    if (!backgroundPicture.isEmpty())
        paths.insert(run.background.file, backgroundPicture);
    const preview::FrameRenderer renderer(parsed, window, paths);
    for (const QString &problem : renderer.problems())
        console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(escapeControls(problem)));
    const QString noMemory = QStringLiteral("メモリが足りないため、画像を描けません。");

    // A long run says how far it is, on one line of a terminal, after its first second; with no
    // terminal it says nothing.
    QElapsedTimer running;
    running.start();
    const bool terminal = console::isTerminal(stderr);
    bool told = false;
    const auto progress = [&](double done) {
        if (!terminal || running.elapsed() < 1000)
            return;
        console::writeText(stderr, QStringLiteral("\rvelra-script: 描画中… %1%").arg(int(done * 100)));
        told = true;
    };
    const auto endLine = [&] {
        if (told)
            console::writeText(stderr, QStringLiteral("\r%1\r").arg(QString(40, QLatin1Char(' '))));
    };
    if (!all) {
        const QImage sheet = renderer.contactSheet(frames, 4, 320, progress);
        endLine();
        if (sheet.isNull() || renderer.ranOutOfMemory())
            return failure(noMemory);
        return writePng(out, sheet, &error) ? 0 : failure(error);
    }
    if (!QDir().mkpath(out) || !QFileInfo(out).isDir())
        return failure(QStringLiteral("フォルダー「%1」を作れません。").arg(shownValue(QDir::toNativeSeparators(out))));
    bool written = true;
    const bool drawn = renderer.eachFrameImage(
        [&](qsizetype k, const QImage &frame) {
            const QString name = QDir(out).filePath(QStringLiteral("frame-%1.png").arg(k + 1, 5, 10, QLatin1Char('0')));
            written = writePng(name, frame, &error);
            return written;
        },
        progress);
    endLine();
    if (!drawn || renderer.ranOutOfMemory())
        return failure(noMemory);
    return written ? 0 : failure(error);
}

} // namespace

// Qt's own warnings ("QStandardPaths: XDG_RUNTIME_DIR not set", "QImage: out of memory") are not
// for the author's terminal: what went wrong is said in the program's words.
void quiet(QtMsgType, const QMessageLogContext &, const QString &)
{
}

// Standard output must take the whole text, or the run has failed.
int printed(const QString &text)
{
    if (console::writeText(stdout, text))
        return 0;
    console::writeText(stderr, QStringLiteral("velra-script: 標準出力に書き込めません。\n"));
    return 1;
}

int main(int argc, char *argv[])
{
    qInstallMessageHandler(quiet);
    // Pictures are drawn without a display: the offscreen platform, except on Windows, whose own
    // platform needs no window to draw either.
    const bool drawing = argc > 1 && std::strcmp(argv[1], "preview") == 0;
#ifndef Q_OS_WIN
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    std::unique_ptr<QCoreApplication> application =
        drawing ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication &app = *application;
#ifdef SIGPIPE
    // A reader that goes away (a closed pipe) is a failed write, reported as such.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const QStringList args = app.arguments().mid(1);
#ifndef Q_OS_WIN
    // A name whose bytes are not text in the locale would come back as another name: refused
    // rather than written or read under that other name.
    for (int i = 1; i < argc && i - 1 < args.size(); ++i) {
        if (QFile::encodeName(args[i - 1]) != QByteArray(argv[i]))
            return failure(QStringLiteral("引数「%1」に文字として読めないバイトがあります。ファイル名は UTF-8 の文字で指定してください。")
                               .arg(shownValue(args[i - 1])));
    }
#endif
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
        return previewCommand(args.mid(1));
    return usageError(QStringLiteral("そのようなコマンドはありません。"));
}
