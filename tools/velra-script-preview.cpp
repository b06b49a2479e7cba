// `velra-script preview`: the companion's drawing part, apart so that generate and save start
// without Qt Gui. velra-script hands over to it with its own arguments ("preview LOG ...").
#include "Companion.h"

#include "handoff/HandoffFiles.h"
#include "handoff/SettingsLog.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Helper.h"
#include "animation/Export.h"
#include "render/FrameRenderer.h"
#include "script/ScriptFrames.h"
#include "script/ScrollScript.h"
#include "text/Shown.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFuture>
#include <QGuiApplication>
#include <QPromise>
#include <QThread>
#include <QThreadPool>

#include <deque>
#include <memory>
#include <optional>
#include <utility>


using namespace velra;
using namespace velra::companion;

namespace {

// The image as PNG bytes; false with `error` naming `path`.
bool pngOf(const QImage &image, QByteArray &bytes)
{
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG");
}

bool notEncoded(const QString &path, QString *error)
{
    *error = QStringLiteral("「%1」の画像を PNG にできません。").arg(shownValue(QDir::toNativeSeparators(path)));
    return false;
}

// The one sheet, written as a save writes.
bool writePng(const QString &path, const QImage &image, QString *error)
{
    QByteArray bytes;
    return (pngOf(image, bytes) || notEncoded(path, error)) && writeFile(path, bytes, error);
}

// One of --all's frames, written as a plain new file into the folder held and made durable with the
// others at the end.
bool writeFrame(const platform::Folder &in, const QString &name, const QByteArray &bytes, QString *error)
{
    QString reason;
    if (output::writeInRow(in, name, bytes, &reason))
        return true;
    *error = QStringLiteral("「%1」に書き込めません。%2").arg(shownValue(QDir::toNativeSeparators(in.pathOf(name))), reason);
    return false;
}

QString frameName(qsizetype k)
{
    return QStringLiteral("frame-%1.png").arg(k + 1, 5, 10, QLatin1Char('0'));
}

// Encoding PNG is nearly all of --all's time, and frames encode apart from each other: the pool's
// workers encode the next frames while this thread draws them, and this thread writes them in
// order as each is ready. The writes stay on this thread, so that a failure stops at the first frame
// that failed and an interrupt has only one temporary to remove.
class PngEncoding
{
public:
    explicit PngEncoding(int workers) { m_pool.setMaxThreadCount(workers); }
    // A run that stopped wants nothing more encoded.
    ~PngEncoding()
    {
        m_pool.clear();
        m_pool.waitForDone();
    }

    // Frame k, a copy of its own.
    void add(qsizetype k, QImage frame)
    {
        auto promise = std::make_shared<QPromise<QByteArray>>();
        m_pending.emplace_back(k, promise->future());
        m_pool.start([promise, frame = std::move(frame)]() mutable {
            promise->start();
            QByteArray bytes;
            // Empty when it could not be encoded: a PNG never is.
            if (!pngOf(frame, bytes))
                bytes.clear();
            frame = QImage();
            promise->addResult(std::move(bytes));
            promise->finish();
        });
    }
    qsizetype pending() const { return qsizetype(m_pending.size()); }
    // Two frames a worker in flight keep every worker busy; more would only hold memory.
    bool full() const { return pending() >= 2 * qsizetype(m_pool.maxThreadCount()); }

    // The oldest frame added, once encoded; false when it could not be.
    bool takeOldest(qsizetype &k, QByteArray &bytes)
    {
        auto [frame, future] = std::move(m_pending.front());
        m_pending.pop_front();
        k = frame;
        future.waitForFinished();
        bytes = future.resultCount() > 0 ? future.takeResult() : QByteArray();
        return !bytes.isEmpty();
    }

private:
    QThreadPool m_pool;
    std::deque<std::pair<qsizetype, QFuture<QByteArray>>> m_pending; // oldest first
};

// preview's options.
struct PreviewOptions
{
    const QCommandLineOption out{QStringLiteral("o"), QString(), QStringLiteral("OUT")};
    const QCommandLineOption scrollPicture{QStringLiteral("scroll-picture"), QString(), QStringLiteral("PATH")};
    const QCommandLineOption backgroundPicture{QStringLiteral("background-picture"), QString(), QStringLiteral("PATH")};
    const QCommandLineOption frames{QStringLiteral("frames"), QString(), QStringLiteral("N")};
    const QCommandLineOption fps{QStringLiteral("fps"), QString(), QStringLiteral("N")};
    const QCommandLineOption scale{QStringLiteral("scale"), QString(), QStringLiteral("1|1/2|1/3|1/4")};
    const QCommandLineOption every{QStringLiteral("every"), QString(), QStringLiteral("K")};
    const QCommandLineOption quality{QStringLiteral("quality"), QString(), QStringLiteral("N")};
    const QCommandLineOption maxSize{QStringLiteral("max-size"), QString(), QStringLiteral("SIZE")};
    const QCommandLineOption all{QStringLiteral("all")};
    const QCommandLineOption animation{QStringLiteral("animation")};
    const QCommandLineOption once{QStringLiteral("once")};
};

// What a preview is asked to draw, read and checked.
struct PreviewRequest
{
    enum class Output { Sheet, All, Animation };
    Output output = Output::Sheet;
    QString log;
    QString out;
    QString scrollPicture;
    QString backgroundPicture;
    int frames = 12;
    animation::AnimationOptions animation;
};

// Empty with `request` filled, or the usage error to say.
QString readRequest(const QStringList &args, PreviewRequest &request)
{
    const PreviewOptions options;
    Grammar grammar;
    grammar.options = {options.out, options.scrollPicture, options.backgroundPicture, options.frames, options.fps,
                       options.scale, options.every, options.quality, options.maxSize, options.all, options.animation, options.once};
    grammar.twice = [](const QString &option) { return QStringLiteral("%1 が 2 回指定されています。").arg(option); };
    grammar.noValue = [](const QString &option) { return QStringLiteral("%1 の値がありません。").arg(option); };
    Arguments read;
    if (const QString wrong = readArguments(args, grammar, read); !wrong.isEmpty())
        return wrong;
    request.log = read.log();
    request.out = read.value(options.out);
    request.scrollPicture = read.value(options.scrollPicture);
    request.backgroundPicture = read.value(options.backgroundPicture);
    const bool all = read.isSet(options.all);
    const bool haveFrames = read.isSet(options.frames);
    if (haveFrames) {
        bool ok = false;
        request.frames = read.value(options.frames).toInt(&ok);
        if (!ok || request.frames < 1 || request.frames > 1000)
            return QStringLiteral("--frames の値「%1」は使えません。1 から 1000 の整数を指定してください。").arg(shownValue(read.value(options.frames)));
    }
    if (request.log.isEmpty() || request.out.isEmpty())
        return QStringLiteral("preview には LOG と -o が必要です。");
    if (all && haveFrames)
        return QStringLiteral("--frames と --all は一緒に使えません。");
    const bool animation = read.isSet(options.animation);
    if (animation && (all || haveFrames))
        return QStringLiteral("--animation は --all とも --frames とも一緒に使えません。");
    for (const QCommandLineOption *option : {&options.fps, &options.scale, &options.every, &options.quality, &options.maxSize, &options.once})
        if (!animation && read.isSet(*option))
            return QStringLiteral("%1 は --animation と一緒に使います。").arg(shownOption(*option));
    request.output = animation ? PreviewRequest::Output::Animation : all ? PreviewRequest::Output::All : PreviewRequest::Output::Sheet;
    if (animation) {
        animation::AnimationOptions &chosen = request.animation;
        if (!animation::animationFormatOf(request.out, chosen.format))
            return QStringLiteral("--animation の -o は .webp か .gif で終わるファイル名にしてください（拡張子で形式が決まります）。");
        if (read.isSet(options.fps)) {
            const QString fps = read.value(options.fps);
            if (!isWholeNumberText(fps) || fps.size() > 9)
                return QStringLiteral("--fps の値「%1」は使えません。1 から %2 の整数を指定してください。")
                    .arg(shownValue(fps), QString::number(animation::fpsLimit(chosen.format)));
            chosen.fps = fps.toInt();
        }
        if (const QString refused = animation::fpsRefusal(chosen.format, chosen.fps); !refused.isEmpty())
            return QStringLiteral("--fps: %1").arg(refused);
        const QString scale = read.isSet(options.scale) ? read.value(options.scale) : QStringLiteral("1");
        const QStringList scales{QStringLiteral("1"), QStringLiteral("1/2"), QStringLiteral("1/3"), QStringLiteral("1/4")};
        chosen.scale = scale == QLatin1String("0.5") ? 2 : int(scales.indexOf(scale)) + 1;
        if (chosen.scale == 0)
            return QStringLiteral("--scale の値「%1」は使えません。1、1/2、1/3、1/4 のどれかを指定してください。").arg(shownValue(scale));
        const auto whole = [&read](const QCommandLineOption &option, int least, int most, int &value) {
            const QString text = read.value(option);
            value = isWholeNumberText(text) && text.size() <= 9 ? text.toInt() : 0;
            if (value >= least && value <= most)
                return QString();
            return QStringLiteral("%1 の値「%2」は使えません。%3 から %4 の整数を指定してください。")
                .arg(shownOption(option), shownValue(text), QString::number(least), QString::number(most));
        };
        if (read.isSet(options.every))
            if (const QString wrong = whole(options.every, 1, animation::kMostEvery, chosen.every); !wrong.isEmpty())
                return wrong;
        if (read.isSet(options.quality)) {
            if (chosen.format == animation::AnimationFormat::Gif)
                return QStringLiteral("--quality は WebP のためのものです（GIF には使えません）。");
            if (const QString wrong = whole(options.quality, 1, 100, chosen.quality); !wrong.isEmpty())
                return wrong;
        }
        if (read.isSet(options.maxSize)) {
            chosen.maxBytes = animation::sizeOf(read.value(options.maxSize));
            if (chosen.maxBytes <= 0)
                return QStringLiteral("--max-size の値「%1」は使えません。バイト数を、K（1,000）か M（1,000,000）を付けて指定できます（例: 4M）。")
                    .arg(shownValue(read.value(options.maxSize)));
        }
        chosen.loop = !read.isSet(options.once);
    }
    // Pictures go to files: standard output takes no PNG (and no folder of them).
    if (request.out == QLatin1String("-"))
        return QStringLiteral("preview が書き出せるのはファイルだけです（「-」という名前のファイルは ./- と書いてください）。");
    return QString();
}

// A long run says how far it is, on one line of a terminal, after its first second; with no
// terminal it says nothing.
class ProgressLine
{
public:
    ProgressLine() : m_terminal(console::isTerminal(stderr)) { m_running.start(); }

    void operator()(double done)
    {
        if (!m_terminal || m_running.elapsed() < 1000)
            return;
        console::writeText(stderr, QStringLiteral("\rvelra-script: 描画中… %1%").arg(int(done * 100)));
        m_told = true;
    }
    // The line cleared, once the run is over.
    void end()
    {
        if (m_told)
            console::writeText(stderr, QStringLiteral("\r%1\r").arg(QString(40, QLatin1Char(' '))));
        m_told = false;
    }

private:
    QElapsedTimer m_running;
    bool m_terminal;
    bool m_told = false;
};

const QString kNoMemory = QStringLiteral("メモリが足りないため、画像を描けません。");

// The script of the request's LOG, drawn with its pictures (a settings file's, unless others are
// named); empty with `error` saying why not.
std::optional<render::FrameRenderer> rendererFor(const PreviewRequest &request, QString *error)
{
    Run run;
    QByteArray script;
    ScriptFrames parsed;
    lastrun::Settings named;
    if (!readRun(request.log, run, &named, error) || !generateScript(run, script, nullptr, error)
        || !ScriptFrames::read(script, parsed, error))
        return std::nullopt;
    // One image pixel per window pixel with --all: a window far beyond a screen is refused.
    QSize window;
    if (!render::windowSizeOf(run, window) || window.width() > 16384 || window.height() > 16384) {
        *error = QStringLiteral("ウィンドウの大きさ（%1 × %2）では描けません。").arg(shownValue(run.windowWidth.text()), shownValue(run.windowHeight.text()));
        return std::nullopt;
    }
    QHash<QString, QString> paths;
    for (const auto &[file, path] : {std::pair{run.scroll.file, named.scrollPicture}, std::pair{run.background.file, named.backgroundPicture},
                                     std::pair{run.scroll.file, request.scrollPicture},
                                     std::pair{run.background.file, request.backgroundPicture}})
        if (!path.isEmpty())
            paths.insert(file, path);
    return std::make_optional<render::FrameRenderer>(parsed, window, paths);
}

// -o SHEET.png: frames evenly spaced on one sheet.
int writeSheet(const render::FrameRenderer &renderer, const PreviewRequest &request, ProgressLine &progress)
{
    const QImage sheet = renderer.contactSheet(request.frames, 4, 320, std::ref(progress));
    progress.end();
    if (sheet.isNull() || renderer.ranOutOfMemory())
        return failure(kNoMemory);
    QString error;
    return writePng(request.out, sheet, &error) ? 0 : failure(error);
}

// --animation: the one export the preview window makes too.
int writeAnimation(const render::FrameRenderer &renderer, const PreviewRequest &request, ProgressLine &progress)
{
    animation::ExportWatch watch;
    watch.progress = std::ref(progress);
    watch.waiting = [](const QString &what) { console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(escapeControls(what))); };
    const animation::Exported exported = animation::exportAnimation(renderer, request.animation, request.out, watch);
    progress.end();
    if (!exported.written)
        return failure(exported.error);
    if (request.animation.maxBytes > 0)
        console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(exported.chosen));
    return printed(oneLine(animation::writtenMessage(request.out, exported)) + QLatin1Char('\n'));
}

// --all: every frame a PNG in the folder, reached by the rule for links, held and written through.
int writeAll(const render::FrameRenderer &renderer, const PreviewRequest &request, ProgressLine &progress)
{
    QString out = request.out;
    const platform::Target folder = platform::classify(out);
    if (folder.kind == platform::Target::Kind::Refused)
        return failure(QStringLiteral("フォルダー「%1」に書き込めません。%2").arg(shownValue(QDir::toNativeSeparators(out)), folder.reason));
    if (!folder.path.isEmpty())
        out = folder.path;
    if (int code = 0; !platform::makeFolders(out, &code))
        return failure(QStringLiteral("フォルダー「%1」を作れません。%2。").arg(shownValue(QDir::toNativeSeparators(out)), platform::reasonText(code)));
    // Frames of an earlier run would mix with this run's: a folder that holds any is refused, and
    // nothing in it is deleted.
    if (const qsizetype earlier = QDir(out).entryList({QStringLiteral("frame-*.png")}, QDir::Files | QDir::System | QDir::Hidden).size())
        return failure(QStringLiteral("フォルダー「%1」には前のコマ（frame-*.png）が %2 枚あります。混ざらないよう、空のフォルダーか新しいフォルダーを指定してください。")
                           .arg(shownValue(QDir::toNativeSeparators(out)), QString::number(earlier)));
    platform::Folder frameFolder;
    int code = 0;
    if (!frameFolder.open(out, &code)) {
        // A link swapped in since the check: judged again by the rule, another user's named.
        const platform::Target again = platform::classify(out);
        return failure(QStringLiteral("フォルダー「%1」に書き込めません。%2")
                           .arg(shownValue(QDir::toNativeSeparators(out)),
                                again.kind == platform::Target::Kind::Refused ? again.reason : output::systemReason(code)));
    }
    // Frames wait for a worker as copies: a window too large for that to be cheap is encoded here,
    // one frame at a time, as is every frame on a single core.
    const QSize window = renderer.windowSize();
    const qint64 frameBytes = qint64(window.width()) * window.height() * 4;
    const int cores = QThread::idealThreadCount();
    std::optional<PngEncoding> encoding;
    if (cores > 1 && frameBytes <= 32 * 1024 * 1024)
        encoding.emplace(std::min(cores, 8));
    QString error;
    bool written = true;
    bool copied = true;
    const auto put = [&](qsizetype k, bool encoded, const QByteArray &bytes) {
        const QString name = frameName(k);
        written = (encoded || notEncoded(frameFolder.pathOf(name), &error)) && writeFrame(frameFolder, name, bytes, &error);
        return written;
    };
    const auto writeOldest = [&] {
        qsizetype k = 0;
        QByteArray bytes;
        const bool encoded = encoding->takeOldest(k, bytes);
        return put(k, encoded, bytes);
    };
    const bool drawn = renderer.eachFrameImage(
        [&](qsizetype k, const QImage &frame) {
            if (!encoding) {
                QByteArray bytes;
                const bool encoded = pngOf(frame, bytes);
                return put(k, encoded, bytes);
            }
            QImage copy = frame.copy();
            if (copy.isNull())
                return copied = false;
            encoding->add(k, std::move(copy));
            while (encoding->full())
                if (!writeOldest())
                    return false;
            return true;
        },
        std::ref(progress));
    while (drawn && copied && written && encoding && encoding->pending() > 0)
        writeOldest();
    progress.end();
    if (!drawn || !copied || renderer.ranOutOfMemory())
        return failure(kNoMemory);
    if (!written)
        return failure(error);
    // Durable once, for every frame.
    QString reason;
    if (!output::syncFilesUnder(out, &reason))
        return failure(QStringLiteral("フォルダー「%1」のコマをディスクに書き終えられません。%2").arg(shownValue(QDir::toNativeSeparators(out)), reason));
    platform::syncFolder(out);
    return 0;
}

int previewCommand(const QStringList &args)
{
    PreviewRequest request;
    if (const QString wrong = readRequest(args, request); !wrong.isEmpty())
        return usageError(wrong);
    QString error;
    const std::optional<render::FrameRenderer> renderer = rendererFor(request, &error);
    if (!renderer)
        return failure(error);
    for (const QString &problem : renderer->problems())
        console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(escapeControls(problem)));
    ProgressLine progress;
    switch (request.output) {
    case PreviewRequest::Output::Animation:
        return writeAnimation(*renderer, request, progress);
    case PreviewRequest::Output::Sheet:
        return writeSheet(*renderer, request, progress);
    case PreviewRequest::Output::All:
        break;
    }
    return writeAll(*renderer, request, progress);
}

} // namespace

int main(int argc, char *argv[])
{
    // Started by a command that is already gone: nothing to draw for.
    platform::endIfCallerGone();
    qInstallMessageHandler(quiet);
    // Pictures are drawn without a display: the offscreen platform, whatever QT_QPA_PLATFORM says
    // (a platform without its display would end the program without a word), except on Windows,
    // whose own platform needs no window to draw either.
#ifndef Q_OS_WIN
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QGuiApplication app(argc, argv);
    QStringList args;
    if (const int refused = begin(argc, argv, &args))
        return refused;
    if (args.isEmpty() || args[0] != QLatin1String("preview"))
        return usageError(QStringLiteral("velra-script-preview は velra-script preview から使われます。"));
    return previewCommand(args.mid(1));
}
