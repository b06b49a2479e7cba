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
#include <QGuiApplication>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>


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

// Encoding PNG is nearly all of --all's time, and frames encode apart from each other: workers
// encode the next frames while this thread draws them and writes them in order. The writes stay on
// this thread, so that a failure stops at the first frame that failed and an interrupt has only
// one temporary to remove.
class PngWorkers
{
public:
    explicit PngWorkers(int count)
    {
        for (int i = 0; i < count; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~PngWorkers()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_closing = true;
            m_queue.clear(); // a run that stopped wants nothing more encoded
        }
        m_changed.notify_all();
        for (std::thread &thread : m_threads)
            thread.join();
    }

    // Frame k, a copy of its own.
    void add(qsizetype k, QImage frame)
    {
        auto job = std::make_shared<Job>();
        job->k = k;
        job->frame = std::move(frame);
        m_pending.push_back(job);
        {
            const std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(job));
        }
        m_changed.notify_one();
    }
    qsizetype pending() const { return qsizetype(m_pending.size()); }
    // Two frames a worker in flight keep every worker busy; more would only hold memory.
    bool full() const { return pending() >= 2 * qsizetype(m_threads.size()); }

    // The oldest frame added, once its worker is done with it; false when it could not be encoded.
    bool takeOldest(qsizetype &k, QByteArray &bytes)
    {
        const std::shared_ptr<Job> job = m_pending.front();
        m_pending.pop_front();
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&job] { return job->done; });
        k = job->k;
        bytes = std::move(job->bytes);
        return job->encoded;
    }

private:
    struct Job
    {
        qsizetype k = 0;
        QImage frame;
        QByteArray bytes;
        bool encoded = false;
        bool done = false;
    };

    void work()
    {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                job = std::move(m_queue.front());
                m_queue.pop_front();
            }
            const bool encoded = pngOf(job->frame, job->bytes);
            job->frame = QImage();
            {
                const std::lock_guard lock(m_mutex);
                job->encoded = encoded;
                job->done = true;
            }
            m_changed.notify_all();
        }
    }

    std::deque<std::shared_ptr<Job>> m_pending; // this thread's, oldest first
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Job>> m_queue; // not yet taken by a worker
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

int previewCommand(const QStringList &args)
{
    Grammar grammar;
    grammar.valued = {QStringLiteral("-o"), QStringLiteral("--scroll-picture"), QStringLiteral("--background-picture"),
                      QStringLiteral("--frames"), QStringLiteral("--fps"), QStringLiteral("--scale")};
    grammar.flags = {QStringLiteral("--all"), QStringLiteral("--animation"), QStringLiteral("--once")};
    grammar.twice = [](const QString &option) { return QStringLiteral("%1 が 2 回指定されています。").arg(option); };
    grammar.noValue = [](const QString &option) { return QStringLiteral("%1 の値がありません。").arg(option); };
    Arguments read;
    if (const QString wrong = readArguments(args, grammar, read); !wrong.isEmpty())
        return usageError(wrong);
    const QString &log = read.log;
    QString out = read.values.value(QStringLiteral("-o"));
    const QString scrollPicture = read.values.value(QStringLiteral("--scroll-picture"));
    const QString backgroundPicture = read.values.value(QStringLiteral("--background-picture"));
    const bool all = read.flags.contains(QStringLiteral("--all"));
    const bool haveFrames = read.values.contains(QStringLiteral("--frames"));
    int frames = 12;
    if (haveFrames) {
        bool ok = false;
        frames = read.values.value(QStringLiteral("--frames")).toInt(&ok);
        if (!ok || frames < 1 || frames > 1000)
            return usageError(QStringLiteral("--frames には 1 から 1000 の数を指定してください。"));
    }
    if (log.isEmpty() || out.isEmpty())
        return usageError(QStringLiteral("preview には LOG と -o が必要です。"));
    if (all && haveFrames)
        return usageError(QStringLiteral("--frames と --all は一緒に使えません。"));
    const bool animation = read.flags.contains(QStringLiteral("--animation"));
    animation::AnimationOptions animationOptions;
    if (animation && (all || haveFrames))
        return usageError(QStringLiteral("--animation は --all とも --frames とも一緒に使えません。"));
    for (const QString &option : {QStringLiteral("--fps"), QStringLiteral("--scale"), QStringLiteral("--once")})
        if (!animation && (read.values.contains(option) || read.flags.contains(option)))
            return usageError(QStringLiteral("%1 は --animation と一緒に使います。").arg(option));
    if (animation) {
        if (!animation::animationFormatOf(out, animationOptions.format))
            return usageError(QStringLiteral("--animation の -o は .webp か .gif で終わるファイル名にしてください（拡張子で形式が決まります）。"));
        if (read.values.contains(QStringLiteral("--fps"))) {
            const QString fps = read.values.value(QStringLiteral("--fps"));
            animationOptions.fps = isWholeNumberText(fps) && fps.size() <= 9 ? fps.toInt() : 0;
        }
        if (const QString refused = animation::fpsRefusal(animationOptions.format, animationOptions.fps); !refused.isEmpty())
            return usageError(QStringLiteral("--fps: %1").arg(refused));
        const QString scale = read.values.value(QStringLiteral("--scale"), QStringLiteral("1"));
        if (scale != QLatin1String("1") && scale != QLatin1String("0.5"))
            return usageError(QStringLiteral("--scale には 1 か 0.5 を指定してください。"));
        animationOptions.half = scale == QLatin1String("0.5");
        animationOptions.loop = !read.flags.contains(QStringLiteral("--once"));
    }
    // Pictures go to files: standard output takes no PNG (and no folder of them).
    if (out == QLatin1String("-"))
        return usageError(QStringLiteral("preview が書き出せるのはファイルだけです（「-」という名前のファイルは ./- と書いてください）。"));

    Run run;
    QByteArray script;
    QString error;
    ScriptFrames parsed;
    lastrun::Settings named;
    if (!readRun(log, run, &named, &error) || !generateScript(run, script, nullptr, &error)
        || !ScriptFrames::read(script, parsed, &error))
        return failure(error);
    // One image pixel per window pixel with --all: a window far beyond a screen is refused.
    QSize window;
    if (!render::windowSizeOf(run, window) || window.width() > 16384 || window.height() > 16384)
        return failure(QStringLiteral("ウィンドウの大きさ（%1 × %2）では描けません。")
                           .arg(shownValue(run.windowWidth), shownValue(run.windowHeight)));
    // A settings file's pictures, unless others are named.
    QHash<QString, QString> paths;
    if (!named.scrollPicture.isEmpty())
        paths.insert(run.scroll.file, named.scrollPicture);
    if (!named.backgroundPicture.isEmpty())
        paths.insert(run.background.file, named.backgroundPicture);
    if (!scrollPicture.isEmpty())
        paths.insert(run.scroll.file, scrollPicture);
    if (!backgroundPicture.isEmpty())
        paths.insert(run.background.file, backgroundPicture);
    const render::FrameRenderer renderer(parsed, window, paths);
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
    if (animation) {
        animation::ExportWatch watch;
        watch.progress = progress;
        watch.waiting = [](const QString &what) { console::writeText(stderr, QStringLiteral("velra-script: %1\n").arg(escapeControls(what))); };
        const animation::Exported exported = animation::exportAnimation(renderer, animationOptions, out, watch);
        endLine();
        if (!exported.written)
            return failure(exported.error);
        return printed(oneLine(animation::writtenMessage(out, exported)) + QLatin1Char('\n'));
    }
    if (!all) {
        const QImage sheet = renderer.contactSheet(frames, 4, 320, progress);
        endLine();
        if (sheet.isNull() || renderer.ranOutOfMemory())
            return failure(noMemory);
        return writePng(out, sheet, &error) ? 0 : failure(error);
    }
    // The folder reached by the rule for links, held and written through.
    const platform::Target folder = platform::classify(out);
    if (folder.kind == platform::Target::Kind::Refused)
        return failure(QStringLiteral("フォルダー「%1」に書き込めません。%2").arg(shownValue(QDir::toNativeSeparators(out)), folder.reason));
    if (!folder.path.isEmpty())
        out = folder.path;
    if (!QDir().mkpath(out) || !QFileInfo(out).isDir())
        return failure(QStringLiteral("フォルダー「%1」を作れません。").arg(shownValue(QDir::toNativeSeparators(out))));
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
    const qint64 frameBytes = qint64(window.width()) * window.height() * 4;
    const int cores = QThread::idealThreadCount();
    std::optional<PngWorkers> workers;
    if (cores > 1 && frameBytes <= 32 * 1024 * 1024)
        workers.emplace(std::min(cores, 8));
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
        const bool encoded = workers->takeOldest(k, bytes);
        return put(k, encoded, bytes);
    };
    const bool drawn = renderer.eachFrameImage(
        [&](qsizetype k, const QImage &frame) {
            if (!workers) {
                QByteArray bytes;
                const bool encoded = pngOf(frame, bytes);
                return put(k, encoded, bytes);
            }
            QImage copy = frame.copy();
            if (copy.isNull())
                return copied = false;
            workers->add(k, std::move(copy));
            while (workers->full())
                if (!writeOldest())
                    return false;
            return true;
        },
        progress);
    while (drawn && copied && written && workers && workers->pending() > 0)
        writeOldest();
    endLine();
    if (!drawn || !copied || renderer.ranOutOfMemory())
        return failure(noMemory);
    if (!written)
        return failure(error);
    // Durable once, for every frame.
    QString reason;
    if (!output::syncFilesUnder(out, &reason))
        return failure(QStringLiteral("フォルダー「%1」のコマをディスクに書き終えられません。%2").arg(shownValue(QDir::toNativeSeparators(out)), reason));
    platform::syncFolder(out);
    return 0;
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
    const QStringList args = app.arguments().mid(1);
    if (const int refused = begin(argc, argv, args))
        return refused;
    if (args.isEmpty() || args[0] != QLatin1String("preview"))
        return usageError(QStringLiteral("velra-script-preview は velra-script preview から使われます。"));
    return previewCommand(args.mid(1));
}
