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
    "usage: velra-script generate LOG [-o OUT|-]\n"
    "       velra-script save LOG (--csf FILE | --txt FILE) --book NAME --page NAME\n"
    "       velra-script preview LOG [--scroll-picture PATH] [--background-picture PATH]\n"
    "                    (-o SHEET.png [--frames N] | --all -o DIR)\n"
    "       velra-script --help | --version\n"
    "\n"
    "generate  reads the fourteen values of the settings log LOG and writes the script text\n"
    "          (CP932, as the script buffer holds it) to OUT, or to standard output.\n"
    "save      generates from LOG and saves the script into FILE as the wizard's save does:\n"
    "          --csf adds a book to a comic script file (with the header when the file is new\n"
    "          or empty), --txt to a text file.\n"
    "preview   draws the frames of the script over the background: N frames (default 12) evenly\n"
    "          spaced into one PNG contact sheet, or with --all every frame as DIR/frame-00001.png\n"
    "          ... at the window's size. A picture not given is drawn as a labelled rectangle.\n"
    "\n"
    "          FILE is a file: standard output (-) is for generate alone.\n"
    "\n"
    "Exit status: 0 done, 1 refused or failed (FILE or OUT untouched), 2 usage error.\n";

int usageError(const char *what)
{
    console::writeText(stderr, QStringLiteral("velra-script: %1\n%2").arg(QLatin1String(what), QLatin1String(kUsage)));
    return 2;
}

int failure(QString message)
{
    // The message's own line breaks join into one line; any other control character came from
    // the input and is shown escaped, so that it cannot act on the terminal.
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
    QList<LogValue> values;
    return settingslog::readRun(log, values, error, settingslog::Access::Named) && generateFromLog(values, script, nullptr, error);
}

int generate(const QStringList &args)
{
    QString log;
    QString out;
    bool haveOut = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-o")) {
            if (++i >= args.size() || haveOut || args[i].isEmpty())
                return usageError("-o needs one file name (- for standard output)");
            out = args[i];
            haveOut = true;
        } else if (log.isEmpty() && !args[i].startsWith(QLatin1Char('-'))) {
            log = args[i];
        } else {
            return usageError("unexpected argument");
        }
    }
    if (log.isEmpty())
        return usageError("generate needs the settings log");
    QByteArray script;
    QString error;
    if (!generateFrom(log, script, &error))
        return failure(error);
    if (!haveOut || out == QLatin1String("-")) {
        if (!console::writeBytes(stdout, script))
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
                return usageError("an option lacks its value");
            if (a == QLatin1String("--book")) {
                if (haveBook)
                    return usageError("--book given twice");
                book = args[i];
                haveBook = true;
            } else if (a == QLatin1String("--page")) {
                if (havePage)
                    return usageError("--page given twice");
                page = args[i];
                havePage = true;
            } else {
                if (!target.isEmpty())
                    return usageError("give exactly one of --csf and --txt");
                target = args[i];
                route = a == QLatin1String("--csf") ? scriptfile::Route::Csf : scriptfile::Route::Text;
            }
        } else if (log.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            log = a;
        } else {
            return usageError("unexpected argument");
        }
    }
    if (log.isEmpty() || target.isEmpty() || !haveBook || !havePage)
        return usageError("save needs LOG, --csf or --txt, --book and --page");
    // A save adds to what a file holds: standard output holds nothing to add to.
    if (target == QLatin1String("-"))
        return usageError("save writes into a file, not standard output (a file named - is ./-)");
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
            return usageError("an option is given twice");
        if (option)
            seen.append(a);
        if (a == QLatin1String("--all")) {
            all = true;
        } else if (option) {
            if (++i >= args.size() || args[i].isEmpty())
                return usageError("an option lacks its value");
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
                    return usageError("--frames needs a number from 1 to 1000");
                haveFrames = true;
            }
        } else if (log.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            log = a;
        } else {
            return usageError("unexpected argument");
        }
    }
    if (log.isEmpty() || out.isEmpty())
        return usageError("preview needs LOG and -o");
    if (all && haveFrames)
        return usageError("give --frames or --all, not both");

    QList<LogValue> values;
    QByteArray script;
    QString error;
    ScriptFrames parsed;
    if (!settingslog::readRun(log, values, &error, settingslog::Access::Named) || !generateFromLog(values, script, nullptr, &error)
        || !ScriptFrames::read(script, parsed, &error))
        return failure(error);
    // One image pixel per window pixel with --all: a window far beyond a screen is refused.
    QSize window;
    if (!preview::windowSizeOf(values, window) || window.width() > 16384 || window.height() > 16384)
        return failure(QStringLiteral("ウィンドウの大きさ（%1 × %2）では描けません。")
                           .arg(shownValue(values[int(Field::WindowWidth)].text), shownValue(values[int(Field::WindowHeight)].text)));
    QHash<QString, QString> paths;
    if (!scrollPicture.isEmpty())
        paths.insert(values[int(Field::ScrollImageFile)].text, scrollPicture);
    if (!backgroundPicture.isEmpty())
        paths.insert(values[int(Field::BackgroundFile)].text, backgroundPicture);
    const preview::FrameRenderer renderer(parsed, window, paths);
    for (const QString &problem : renderer.problems())
        console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(escapeControls(problem)));
    const QString noMemory = QStringLiteral("メモリが足りないため、画像を描けません。");

    if (!all) {
        const QImage sheet = renderer.contactSheet(frames);
        if (sheet.isNull() || renderer.ranOutOfMemory())
            return failure(noMemory);
        return writePng(out, sheet, &error) ? 0 : failure(error);
    }
    if (!QDir().mkpath(out) || !QFileInfo(out).isDir())
        return failure(QStringLiteral("フォルダー「%1」を作れません。").arg(shownValue(QDir::toNativeSeparators(out))));
    for (qsizetype k = 0; k < parsed.frameCount(); ++k) {
        const QString name = QDir(out).filePath(QStringLiteral("frame-%1.png").arg(k + 1, 5, 10, QLatin1Char('0')));
        const QImage frame = renderer.frameImage(k);
        if (frame.isNull() || renderer.ranOutOfMemory())
            return failure(noMemory);
        if (!writePng(name, frame, &error))
            return failure(error);
    }
    return 0;
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
        return usageError("no command");
    if (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))
        return printed(QLatin1String(kUsage));
    if (args[0] == QLatin1String("--version"))
        return printed(QStringLiteral("velra-script (Velloran) %1\n").arg(QLatin1String(VELRA_VERSION)));
    if (args[0] == QLatin1String("generate"))
        return generate(args.mid(1));
    if (args[0] == QLatin1String("save"))
        return save(args.mid(1));
    if (args[0] == QLatin1String("preview"))
        return previewCommand(args.mid(1));
    return usageError("unknown command");
}
