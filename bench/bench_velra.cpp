// Speed of the engine against plain memory copies of the same bytes.
#include "handoff/LastRun.h"
#include "handoff/SettingsLog.h"
#include "pages/BarProgress.h"
#include "script/ScriptFile.h"
#include "script/ScrollScript.h"
#include "render/FramePlayer.h"
#include "render/FrameRenderer.h"
#include "script/ScriptFrames.h"
#include "shell/Page.h"
#include "shell/Toolkit.h"
#include "shell/Wizard.h"
#include "pages/Pages.h"
#include "Spawned.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>


using namespace velra;

namespace {

// The run of a settings log: `picture` "W,H" of scroll.bmp over back.bmp in a 640 x 480 window (the
// window `window` wide where given), then the log's lines 3 and 4, values as the log writes them.
Run runOf(const char *picture, const char *lines3and4, const char *window = "640")
{
    const QString text = QStringLiteral("\"scroll.bmp\",%1\r\n\"back.bmp\",\"640\",\"480\",\"%2\",\"480\"\r\n%3\r\n")
                             .arg(QString::fromLatin1(picture), QString::fromLatin1(window), QString::fromLatin1(lines3and4));
    Run run;
    runlog::parse(text, run, nullptr);
    return run;
}

// The largest script the 16-bit limits allow: leftward, step 1, until the picture has passed, a
// 100-pixel picture across a 32,667-pixel window.
Run largest()
{
    return runOf("\"100\",\"50\"", "1\r\n3,\"1\",1,2,", "32667");
}

qint64 largestSize()
{
    static const qint64 size = [] {
        QByteArray script;
        generateScript(largest(), script, nullptr, nullptr);
        return script.size();
    }();
    return size;
}

void BM_GenerateLargest(benchmark::State &state)
{
    const Run values = largest();
    QByteArray script;
    for (auto _ : state) {
        generateScript(values, script, nullptr, nullptr);
        benchmark::DoNotOptimize(script.data());
    }
    state.SetBytesProcessed(state.iterations() * largestSize());
}
BENCHMARK(BM_GenerateLargest)->Unit(benchmark::kMicrosecond);

// The largest detailed script: 32,768 moving frames on a diagonal, slow start and end (the
// costliest curve), the background in every frame.
void BM_GenerateLargestDetailed(benchmark::State &state)
{
    const Run values = runOf("\"100\",\"50\"", "2\r\n\"-32768\",\"-32768\",\"32767\",\"32767\",2,\"32768\",4,\"0\",\"0\",1");
    QByteArray script;
    for (auto _ : state) {
        generateScript(values, script, nullptr, nullptr);
        benchmark::DoNotOptimize(script.data());
    }
    state.counters["bytes"] = double(script.size());
}
BENCHMARK(BM_GenerateLargestDetailed)->Unit(benchmark::kMicrosecond);

void BM_MemcpySameBytes(benchmark::State &state)
{
    const qint64 size = largestSize();
    QByteArray from(size, 'x');
    QByteArray to(size, 'y'); // already touched
    for (auto _ : state) {
        std::memcpy(to.data(), from.constData(), size_t(size));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMicrosecond);

// The page's frame loop: the same generation feeding a shown progress bar (offscreen platform).
void BM_PageFrameLoopLargest(benchmark::State &state)
{
    const Run values = largest();
    QProgressBar bar;
    bar.resize(160, 16);
    bar.show();
    QByteArray script;
    for (auto _ : state) {
        BarProgress progress(&bar);
        generateScript(values, script, &progress, nullptr);
        progress.finish();
        benchmark::DoNotOptimize(script.data());
    }
    state.SetBytesProcessed(state.iterations() * largestSize());
}
BENCHMARK(BM_PageFrameLoopLargest)->Unit(benchmark::kMicrosecond);

constexpr qint64 kExisting = 50'000'000;
constexpr qint64 kScript = 20'000'000;

// Saving a 20 MB script into an existing 50 MB file, against writing the same bytes plainly.
void BM_SaveIntoExisting50MB(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.csf"));
    const QByteArray existing(kExisting, 'e');
    const QByteArray script(kScript, 's');
    for (auto _ : state) {
        state.PauseTiming();
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(existing);
        f.close();
        state.ResumeTiming();
        scriptfile::save(path, scriptfile::Route::Csf, "B", "P", script, nullptr);
    }
    state.SetBytesProcessed(state.iterations() * (kExisting * 2 + kScript));
}
BENCHMARK(BM_SaveIntoExisting50MB)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CopySameBytes(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.csf"));
    const QByteArray existing(kExisting, 'e');
    const QByteArray script(kScript, 's');
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(existing);
    }
    for (auto _ : state) {
        QFile in(path);
        in.open(QIODevice::ReadOnly);
        const QByteArray old = in.readAll();
        QFile out(dir.filePath(QStringLiteral("copy.csf")));
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(old);
        out.write(script);
    }
    state.SetBytesProcessed(state.iterations() * (kExisting * 2 + kScript));
}
BENCHMARK(BM_CopySameBytes)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

namespace {

// Real pictures on disk, decoded by the renderer as the preview does.
QHash<QString, QString> pictures(const QTemporaryDir &dir, QSize scroll)
{
    QImage background(640, 480, QImage::Format_RGB32);
    background.fill(Qt::darkGreen);
    QImage picture(scroll, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    background.save(dir.filePath(QStringLiteral("back.bmp")), "BMP");
    picture.save(dir.filePath(QStringLiteral("scroll.bmp")), "BMP");
    return {{QStringLiteral("back.bmp"), dir.filePath(QStringLiteral("back.bmp"))},
            {QStringLiteral("scroll.bmp"), dir.filePath(QStringLiteral("scroll.bmp"))}};
}

void renderFrames(benchmark::State &state, const Run &values, QSize window, QSize scroll)
{
    QByteArray script;
    generateScript(values, script, nullptr, nullptr);
    ScriptFrames frames;
    ScriptFrames::read(script, frames, nullptr);
    QTemporaryDir dir;
    const render::FrameRenderer renderer(frames, window, pictures(dir, scroll));
    QImage target(640, 480, QImage::Format_RGB32);
    qsizetype k = 0;
    for (auto _ : state) {
        QPainter painter(&target);
        renderer.render(painter, k, QRectF(0, 0, 640, 480), renderer.viewArea());
        k = (k + 997) % frames.frameCount();
    }
    state.counters["frames"] = double(frames.frameCount());
}

} // namespace

// One frame of the largest script (32,769 frames) into a 640 x 480 view: playing at 60 frames a
// second needs 16 ms or less.
void BM_RenderFrameLargest(benchmark::State &state)
{
    renderFrames(state, largest(), QSize(32667, 480), QSize(100, 50));
}
BENCHMARK(BM_RenderFrameLargest)->Unit(benchmark::kMillisecond);

// A 4,000 x 4,000 picture over a 640 x 480 window, centred across (half pixels), into the view.
void BM_RenderFrameHugePicture(benchmark::State &state)
{
    const Run values = runOf("\"4000\",\"4000\"", "1\r\n3,\"8\",2,2,");
    renderFrames(state, values, QSize(640, 480), QSize(4000, 4001));
}
BENCHMARK(BM_RenderFrameHugePicture)->Unit(benchmark::kMillisecond);

namespace {

// 32,768 moves of a 2,000 x 2,000 picture across a 640 x 480 window, the background drawn once:
// every frame is drawn over the ones before, from the script's first line.
struct LongMove
{
    QTemporaryDir dir;
    ScriptFrames frames;
    std::unique_ptr<render::FrameRenderer> renderer;

    LongMove()
    {
            const Run values = runOf("\"2000\",\"2000\"", "2\r\n\"-1000\",\"-1500\",\"-1300\",\"-1600\",2,\"32768\",4,\"0\",\"0\",2");
        QByteArray script;
        generateScript(values, script, nullptr, nullptr);
        ScriptFrames::read(script, frames, nullptr);
        renderer = std::make_unique<render::FrameRenderer>(frames, QSize(640, 480), pictures(dir, QSize(2000, 2000)));
    }
};

} // namespace

// The preview playing it (a 700 x 525 canvas): each frame after the one before, within 16 ms.
void BM_PreviewStepLongMove(benchmark::State &state)
{
    static LongMove move;
    render::FramePlayer player(*move.renderer);
    player.setCanvasSize(QSize(700, 525));
    qsizetype k = move.frames.frameCount() - 2000;
    player.frame(k);
    for (auto _ : state) {
        benchmark::DoNotOptimize(player.frame(++k).constBits());
        if (k + 1 >= move.frames.frameCount())
            k = move.frames.frameCount() - 2000;
    }
}
BENCHMARK(BM_PreviewStepLongMove)->Unit(benchmark::kMillisecond);

// A jump from the first frame to the last, once the preview has drawn its checkpoints in the
// pauses (as the window does while it shows): within 100 ms.
void BM_PreviewJumpToLastLongMove(benchmark::State &state)
{
    static LongMove move;
    render::FramePlayer player(*move.renderer);
    player.setCanvasSize(QSize(700, 525));
    while (player.prepare(1000)) {
    }
    const qsizetype last = move.frames.frameCount() - 1;
    for (auto _ : state) {
        player.frame(0);
        benchmark::DoNotOptimize(player.frame(last).constBits());
    }
    state.counters["checkpoints"] = double(player.checkpointCount());
}
BENCHMARK(BM_PreviewJumpToLastLongMove)->Unit(benchmark::kMillisecond)->Iterations(10);

// Reading the 65,538 Graphic lines of the largest script back, once per preview.
void BM_ReadFramesLargest(benchmark::State &state)
{
    QByteArray script;
    generateScript(largest(), script, nullptr, nullptr);
    for (auto _ : state) {
        ScriptFrames frames;
        ScriptFrames::read(script, frames, nullptr);
        benchmark::DoNotOptimize(frames.graphics.data());
    }
}
BENCHMARK(BM_ReadFramesLargest)->Unit(benchmark::kMillisecond);

// `velra-script preview --all` (without the PNG files): every frame of a background-never move of
// N frames. Linear in N: 2,000 frames take about 4 times 500, not 16.
void BM_PreviewAllBackgroundNever(benchmark::State &state)
{
    const QByteArray frameCount = QByteArray::number(state.range(0));
    const Run values = runOf("\"200\",\"150\"", ("2\r\n\"-100\",\"-50\",\"500\",\"400\",2,\"" + frameCount + "\",1,\"0\",\"0\",3").constData());
    QByteArray script;
    generateScript(values, script, nullptr, nullptr);
    ScriptFrames frames;
    ScriptFrames::read(script, frames, nullptr);
    QTemporaryDir dir;
    const render::FrameRenderer renderer(frames, QSize(640, 480), pictures(dir, QSize(200, 150)));
    for (auto _ : state) {
        qint64 pixels = 0;
        renderer.eachFrameImage([&pixels](qsizetype, const QImage &frame) {
            pixels += frame.constScanLine(240)[0];
            return true;
        });
        benchmark::DoNotOptimize(pixels);
    }
    state.counters["frames"] = double(frames.frameCount());
}
BENCHMARK(BM_PreviewAllBackgroundNever)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

namespace {

// The largest script's log and its bytes, in a folder of their own.
struct CommandLineFiles
{
    QTemporaryDir dir;
    QString log = dir.filePath(QStringLiteral("largest.dat"));
    QString source = dir.filePath(QStringLiteral("source.txt"));
    QString out = dir.filePath(QStringLiteral("out.txt"));

    CommandLineFiles()
    {
        QFile file(log);
        file.open(QIODevice::WriteOnly);
        file.write("\"scroll.bmp\",\"100\",\"50\"\r\n\"back.bmp\",\"640\",\"480\",\"32667\",\"480\"\r\n1\r\n3,\"1\",1,2,\r\n");
        file.close();
        QByteArray script;
        generateScript(largest(), script, nullptr, nullptr);
        QFile copy(source);
        copy.open(QIODevice::WriteOnly);
        copy.write(script);
    }
};

void runProcess(benchmark::State &state, const QString &program, const QStringList &args)
{
    for (auto _ : state) {
        QProcess process;
        process.start(program, args);
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            state.SkipWithError("the process failed");
    }
}

} // namespace

// Whole-process `velra-script generate LOG -o OUT` of the largest script over an earlier output...
void BM_CommandLineGenerateLargest(benchmark::State &state)
{
    CommandLineFiles files;
    runProcess(state, QStringLiteral(VELRA_SCRIPT), {QStringLiteral("generate"), files.log, QStringLiteral("-o"), files.out});
}
BENCHMARK(BM_CommandLineGenerateLargest)->Unit(benchmark::kMillisecond)->UseRealTime();

// ...against a durable copy of the same bytes, as the save makes it durable: cat, sync -d, mv, and
// a sync of the folder. The README gives the ratio (at most 2).
void BM_DurableCopyLargest(benchmark::State &state)
{
    CommandLineFiles files;
    const QString copy = QStringLiteral("cat '%1' > '%2.tmp' && sync -d '%2.tmp' && mv '%2.tmp' '%2' && sync '%3'")
                             .arg(files.source, files.out, files.dir.path());
    runProcess(state, QStringLiteral("/bin/sh"), {QStringLiteral("-c"), copy});
}
BENCHMARK(BM_DurableCopyLargest)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace {

// A 640 x 480 background that shades across and down, as a window's picture would.
QImage gradientBackground()
{
    QImage back(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < back.height(); ++y)
        for (int x = 0; x < back.width(); ++x)
            back.setPixel(x, y, qRgb(20 + y / 4, 40, 120 + x / 8));
    return back;
}

// The README's three-move chain over a 640 x 480 window, a 4,000 x 4,000 photograph-like JPEG moving
// through it over a background, in a folder of its own.
struct ThreeMoveChain
{
    QTemporaryDir dir;
    QString log = dir.filePath(QStringLiteral("chain.dat"));
    QStringList pictures;

    ThreeMoveChain()
    {
        QImage scroll(4000, 4000, QImage::Format_RGB32);
        for (int y = 0; y < scroll.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(scroll.scanLine(y));
            for (int x = 0; x < scroll.width(); ++x) {
                const quint32 grain = (quint32(x) * 2654435761u ^ quint32(y) * 40503u) >> 27;
                line[x] = qRgb(x * 255 / 4000, y * 255 / 4000, int(128 + 100 * std::sin(x / 97.0 + y / 61.0)) + int(grain));
            }
        }
        const QImage back = gradientBackground();
        scroll.save(dir.filePath(QStringLiteral("s.jpg")), "JPEG", 90);
        back.save(dir.filePath(QStringLiteral("b.jpg")), "JPEG", 90);
        pictures = {QStringLiteral("--scroll-picture"), dir.filePath(QStringLiteral("s.jpg")), QStringLiteral("--background-picture"),
                    dir.filePath(QStringLiteral("b.jpg"))};
        QFile file(log);
        file.open(QIODevice::WriteOnly);
        file.write("\"s.jpg\",\"4000\",\"4000\"\r\n\"b.jpg\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"
                   "\"-120\",\"-90\",\"100\",\"80\",2,\"40\",3,\"0\",\"0\",1\r\n"
                   "\"420\",\"120\",2,\"40\",5,\"6\",\"0.42\",\"0\",\"0.58\",\"1\"\r\n"
                   "\"640\",\"480\",1,\"7\",1,\"0\"\r\n");
    }
};

// Runs the companion to its end, its standard error silenced; its peak memory (KiB).
bool runCompanion(const QStringList &args, long &peakKiB)
{
    const bench::Ran ran = bench::runProgram(QStringLiteral(VELRA_SCRIPT), args, 2);
    peakKiB = long(ran.peakMB * 1024.0);
    return ran.ok;
}

} // namespace

// Whole-process `velra-script preview` of the three-move chain: 0 every frame as PNG (--all), 1 an
// animated WebP, 2 an animated GIF. The README gives the ratios to --all (at most 1.5) and the peaks
// (at most --all's plus 64 MB plus the file).
void BM_ExportThreeMoveChain(benchmark::State &state)
{
    static ThreeMoveChain chain;
    const int kind = int(state.range(0));
    const QString out = chain.dir.filePath(kind == 0 ? QStringLiteral("frames") : kind == 1 ? QStringLiteral("motion.webp")
                                                                                             : QStringLiteral("motion.gif"));
    QStringList args{QStringLiteral("preview"), chain.log, QStringLiteral("-o"), out};
    args += kind == 0 ? QStringList{QStringLiteral("--all")} : QStringList{QStringLiteral("--animation")};
    args += chain.pictures;
    long peak = 0;
    for (auto _ : state) {
        if (kind == 0)
            QDir(out).removeRecursively();
        if (!runCompanion(args, peak))
            state.SkipWithError("the process failed");
    }
    state.counters["peak_MB"] = double(peak) / 1024.0;
    qint64 written = 0;
    if (kind == 0) {
        for (const QFileInfo &frame : QDir(out).entryInfoList(QDir::Files))
            written += frame.size();
    } else {
        written = QFileInfo(out).size();
    }
    state.counters["file_MB"] = double(written) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ExportThreeMoveChain)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Whole-process `velra-script preview LOG --all -o DIR`: 2,000 frames at 640 x 480, a 200 x 150
// picture crossing a background, every frame a PNG on disk, made durable as the command makes them.
// The rate is frames a second.
void BM_PreviewAllToDisk(benchmark::State &state)
{
    QTemporaryDir dir;
    QImage scroll(200, 150, QImage::Format_RGB32);
    scroll.fill(qRgb(200, 80, 40));
    const QImage back = gradientBackground();
    scroll.save(dir.filePath(QStringLiteral("s.bmp")), "BMP");
    back.save(dir.filePath(QStringLiteral("b.bmp")), "BMP");
    const QString log = dir.filePath(QStringLiteral("move.dat"));
    QFile file(log);
    file.open(QIODevice::WriteOnly);
    file.write("\"s.bmp\",\"200\",\"150\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"
               "\"-100\",\"-50\",\"500\",\"400\",2,\"2000\",1,\"0\",\"0\",1\r\n");
    file.close();
    const QString out = dir.filePath(QStringLiteral("frames"));
    const QStringList args{QStringLiteral("preview"), log, QStringLiteral("--all"), QStringLiteral("-o"), out,
                           QStringLiteral("--scroll-picture"), dir.filePath(QStringLiteral("s.bmp")),
                           QStringLiteral("--background-picture"), dir.filePath(QStringLiteral("b.bmp"))};
    long peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(out).removeRecursively();
        state.ResumeTiming();
        if (!runCompanion(args, peak))
            state.SkipWithError("the process failed");
    }
    state.counters["frames_per_s"] = benchmark::Counter(2000.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PreviewAllToDisk)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Opening the preview of the largest detailed script (4,000 x 4,000 picture that never covers the
// window, background never, 32,767 + 32,768 + 32,767 frames, or a chain of 262,144 with range 262144) and pressing End at
// once: how long until the last frame shows, the window answering between 30 ms slices, and the
// process's peak memory (run it alone: --benchmark_filter=PreviewEnd).
void BM_PreviewEndRightAfterOpening(benchmark::State &state)
{
    Run run = runOf("\"4000\",\"4000\"", "2\r\n\"100\",\"100\",\"-3500\",\"100\",2,\"32768\",4,\"32767\",\"32767\",3");
    if (state.range(0) > 100000) {
        // Eight moves of 32,768 frames back and forth, holds trimmed to 262,144 frames in all.
        run.chain.holdStart = 0;
        run.chain.segments.front().hold = 0;
        for (int i = 1; i < 8; ++i) {
            Segment back = run.chain.segments.front();
            back.x = i % 2 ? 100 : -3500;
            back.y = 100;
            run.chain.segments.append(back);
        }
        run.chain.segments.back().hold = 7;
    }
    QByteArray script;
    QString error;
    if (!generateScript(run, script, nullptr, &error))
        return state.SkipWithError(qPrintable(error));
    ScriptFrames frames;
    ScriptFrames::read(script, frames, nullptr);
    script = QByteArray();
    QTemporaryDir dir;
    const render::FrameRenderer renderer(frames, QSize(640, 480), pictures(dir, QSize(4000, 4000)));
    for (auto _ : state) {
        render::FramePlayer player(renderer);
        player.setCanvasSize(QSize(700, 525));
        const qsizetype last = frames.frameCount() - 1;
        while (!player.approach(last, 30))
            player.prepare(8);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["frames"] = double(frames.frameCount());
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_PreviewEndRightAfterOpening)->Arg(98302)->Arg(262144)->Unit(benchmark::kMillisecond)->Iterations(1);

// The chain editor's answer to one keystroke on the longest chain: 32 moves, 262,144 frames, some on
// Bézier curves (arg 0), or 32 shakes of 100 random swings of 60 frames (arg 1). The edit changes
// the chosen move's target (a shake's amplitude); the page recounts, checks the steps, redraws the
// list and the path, and paints (offscreen), all from the typed model.
void BM_ChainEditorEdit(benchmark::State &state)
{
    const bool shakes = state.range(0) == 1;
    QTemporaryDir dir;
    const QByteArray head = "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n";
    Chain chain;
    for (int k = 0; k < kMaxSegments; ++k) {
        Segment s;
        s.x = (k % 2 ? 1 : -1) * (100 + 37 * k);
        s.y = (k % 3) * 120 - 100;
        s.motion = Segment::Motion::Frames;
        s.amount = 8192;
        s.curve = k % 4 == 3 ? Segment::Curve::Bezier : Segment::Curve(1 + k % 4);
        s.bezier = {2500, 1000, 2500, 10000};
        if (shakes) {
            s.x = 1000 - k;
            s.y = 20 + k;
            s.motion = Segment::Motion::Shake;
            s.amount = kMaxShakeSwingFrames;
            s.curve = Segment::Curve(1 + k % 4);
            s.shake = {kMaxShakeSwings, Shake::Decay(1 + k % 3), Shake::Pattern::Random, quint32(k * 7919)};
        }
        chain.segments.append(s);
    }
    if (!shakes)
        chain.segments.back().hold = int(kMaxChainFrames - (8192 + 31 * 8191)); // to exactly the most frames
    lastrun::Settings last;
    last.log = head;
    for (const LogLine &line : runlog::chainLines(chain)) {
        QByteArray bytes;
        settingslog::formatLine(line, bytes, nullptr);
        last.log += bytes;
    }
    QtToolkit toolkit;
    HandoffFiles files(dir.path());
    {
        QFile settings(files.settingsLog());
        settings.open(QIODevice::WriteOnly);
        settings.write(head);
    }
    Wizard wizard(toolkit, createPage, files);
    wizard.setRemembered(last);
    Page *page = wizard.show(PageId::Form6);
    auto *target = page->findChild<QLineEdit *>(shakes ? QStringLiteral("Text13") : QStringLiteral("Text3"));
    auto *total = page->findChild<QLabel *>(QStringLiteral("Label1"));
    if (!total->text().contains(shakes ? QStringLiteral("193921") : QStringLiteral("262144")))
        state.SkipWithError(qPrintable(total->text()));
    int x = 0;
    for (auto _ : state) {
        target->setText(QString::number(x++ % 500));
        page->repaint();
    }
    page->close();
}
BENCHMARK(BM_ChainEditorEdit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
