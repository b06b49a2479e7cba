// The animation export beside the usual tools, on the same frames: ffmpeg's two-pass GIF
// (palettegen on full statistics, paletteuse without dithering) and libwebp's img2webp -lossy -q 80.
// Two scenes of 640 x 480 at 30 frames a second: comic-like art (flat colours, black outlines, a
// white bubble, a screentone, a sky shading with clouds) and a noisy photo-like picture with white
// letters. Each file is decoded and compared, frame by frame as displayed at the run's speed, with
// the frames velra-script preview --all draws: the PSNR from the total squared error, capped at 99 dB.
// The peers are skipped, said so, where ffmpeg or img2webp (Debian: ffmpeg, webp) are missing.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "AnimationFiles.h"
#include "Spawned.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>


using namespace velra;
using bench::Ran;

namespace {

constexpr int kFps = 30;
// What the programs print on standard output is not looked at.
constexpr int kOutput = 1;

// PSNR of the file against the drawn frames, as displayed at kFps, scaled as the file is.
double psnr(const QString &file, const QStringList &frames)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = in.readAll();
    test::Played played;
    if (!test::play(bytes, played, false) || played.canvases.isEmpty())
        return 0;
    // When each shown picture ends, in milliseconds.
    std::vector<qint64> ends;
    for (const qint64 delay : played.delays)
        ends.push_back((ends.empty() ? 0 : ends.back()) + (bytes.startsWith("GIF") ? 10 * delay : delay));
    double squared = 0;
    double pixels = 0;
    for (int k = 0; k < frames.size(); ++k) {
        const qint64 at = (2 * qint64(k) + 1) * 1000 / (2 * kFps); // the middle of frame k's time, whatever the file's grain
        const auto ending = std::upper_bound(ends.begin(), ends.end(), at);
        const QImage *shown = &played.canvases[std::min<qsizetype>(ending - ends.begin(), played.canvases.size() - 1)];
        QImage drawn(frames[k]);
        if (drawn.isNull())
            return 0;
        if (drawn.size() != shown->size())
            drawn = drawn.scaled(shown->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        squared += test::squaredError(drawn.convertToFormat(QImage::Format_RGB32), *shown);
        pixels += double(drawn.width()) * drawn.height();
    }
    return test::psnr(squared, pixels);
}

// The comic-like scene: a sky shading down with soft clouds, flat ground with an outline and a
// screentone; the picture a flat-coloured figure in black outlines with a white bubble.
void drawComic(QImage &back, QImage &scroll)
{
    back = QImage(640, 480, QImage::Format_RGB32);
    QPainter b(&back);
    b.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 330);
    sky.setColorAt(0, QColor(70, 130, 220));
    sky.setColorAt(1, QColor(200, 228, 255));
    b.fillRect(0, 0, 640, 330, sky);
    for (const QPointF &at : {QPointF(120, 80), QPointF(380, 60), QPointF(540, 150)}) {
        QRadialGradient cloud(at, 70);
        cloud.setColorAt(0, Qt::white);
        cloud.setColorAt(0.6, QColor(255, 255, 255, 230));
        cloud.setColorAt(1, QColor(255, 255, 255, 0));
        b.setBrush(cloud);
        b.setPen(Qt::NoPen);
        b.drawEllipse(at, 110, 50);
    }
    b.fillRect(0, 330, 640, 150, QColor(110, 170, 80));
    b.setPen(QPen(Qt::black, 3));
    b.drawLine(0, 330, 640, 330);
    b.setPen(Qt::NoPen);
    b.fillRect(20, 360, 220, 100, Qt::white);
    b.setBrush(Qt::black);
    for (int y = 364; y < 460; y += 6)
        for (int x = 24 + (y / 6 % 2) * 3; x < 240; x += 6)
            b.drawEllipse(QPointF(x, y), 1.4, 1.4);
    b.end();

    scroll = QImage(260, 300, QImage::Format_RGB32);
    scroll.fill(QColor(250, 235, 200));
    QPainter s(&scroll);
    s.setRenderHint(QPainter::Antialiasing);
    s.setPen(QPen(Qt::black, 4));
    s.setBrush(QColor(230, 60, 50));
    s.drawRoundedRect(70, 170, 120, 120, 20, 20);
    s.setBrush(QColor(250, 215, 185));
    s.drawEllipse(QPointF(130, 130), 55, 60);
    s.setBrush(QColor(60, 40, 30));
    s.drawChord(QRectF(75, 65, 110, 90), 0, 180 * 16);
    s.setBrush(Qt::white);
    s.drawEllipse(QRectF(150, 10, 100, 60));
    s.setFont(QFont(QStringLiteral("sans"), 20, QFont::Bold));
    s.drawText(QRectF(150, 10, 100, 60), Qt::AlignCenter, QStringLiteral("BANG!"));
    s.end();
}

// The noisy scene: a photograph-like shading with a camera's grain (mostly in the brightness, a
// little in the colour), the picture grain with white letters.
void drawNoisy(QImage &back, QImage &scroll)
{
    quint32 seed = 12345;
    const auto next = [&seed](int spread) {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        return int(seed % quint32(2 * spread + 1)) - spread;
    };
    const auto grained = [&next](int r, int g, int b) {
        const int light = next(20);
        return qRgb(std::clamp(r + light + next(4), 0, 255), std::clamp(g + light + next(4), 0, 255), std::clamp(b + light + next(4), 0, 255));
    };
    back = QImage(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            back.setPixel(x, y, grained(60 + x / 4, 90 + y / 3, int(120 + 60 * std::sin(x / 50.0))));
    scroll = QImage(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            scroll.setPixel(x, y, grained(150, 80 + x / 3, 40 + y / 2));
    QPainter s(&scroll);
    s.setPen(Qt::white);
    s.setFont(QFont(QStringLiteral("sans"), 40, QFont::Bold));
    s.drawText(scroll.rect(), Qt::AlignCenter, QStringLiteral("VELRA"));
}

// One scene in a folder of its own: its pictures, a three-move chain of 152 frames, and every
// frame drawn by velra-script preview --all.
struct Scene
{
    QTemporaryDir dir;
    QString log = dir.filePath(QStringLiteral("chain.dat"));
    QStringList pictures;
    QStringList frames;

    explicit Scene(bool comic)
    {
        QImage back, scroll;
        comic ? drawComic(back, scroll) : drawNoisy(back, scroll);
        back.save(dir.filePath(QStringLiteral("b.bmp")));
        scroll.save(dir.filePath(QStringLiteral("s.bmp")));
        pictures = {QStringLiteral("--scroll-picture"), dir.filePath(QStringLiteral("s.bmp")), QStringLiteral("--background-picture"),
                    dir.filePath(QStringLiteral("b.bmp"))};
        QFile file(log);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("\"s.bmp\",\"%1\",\"%2\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"
                                  "\"-300\",\"100\",\"180\",\"140\",2,\"60\",3,\"0\",\"0\",1\r\n"
                                  "\"420\",\"60\",2,\"60\",5,\"12\",\"0.42\",\"0\",\"0.58\",\"1\"\r\n"
                                  "\"640\",\"200\",2,\"20\",1,\"0\"\r\n")
                       .arg(scroll.width())
                       .arg(scroll.height())
                       .toLatin1());
        file.close();
        const QString all = dir.filePath(QStringLiteral("frames"));
        bench::runProgram(QStringLiteral(VELRA_SCRIPT), QStringList{QStringLiteral("preview"), log, QStringLiteral("--all"), QStringLiteral("-o"), all} + pictures, kOutput);
        for (const QString &name : QDir(all).entryList({QStringLiteral("frame-*.png")}, QDir::Files, QDir::Name))
            frames << QDir(all).filePath(name);
    }
};

const Scene &scene(int which)
{
    static const Scene comic(true);
    static const Scene noisy(false);
    return which == 0 ? comic : noisy;
}

void report(benchmark::State &state, const Ran &ran, const QString &file, const QStringList &frames)
{
    if (!ran.ok) {
        state.SkipWithError("the run failed");
        return;
    }
    state.SetIterationTime(ran.seconds);
    state.counters["psnr_dB"] = psnr(file, frames);
    state.counters["file_MB"] = double(QFileInfo(file).size()) / 1e6;
}

} // namespace

// Velloran's export, whole process (the frames drawn included): 0 the GIF, 1 a WebP at --quality 80,
// 2 and 3 the same kinds under --max-size 4M, 4 a lossless WebP (what a size limit's search is
// measured against).
void BM_Velloran(benchmark::State &state)
{
    const Scene &s = scene(int(state.range(0)));
    const int kind = int(state.range(1));
    const bool gif = kind == 0 || kind == 2;
    const QString out = s.dir.filePath(gif ? QStringLiteral("velra.gif") : QStringLiteral("velra.webp"));
    QStringList args{QStringLiteral("preview"), s.log, QStringLiteral("--animation"), QStringLiteral("-o"), out};
    if (kind == 1)
        args << QStringLiteral("--quality") << QStringLiteral("80");
    if (kind == 2 || kind == 3)
        args << QStringLiteral("--max-size") << QStringLiteral("4M");
    for (auto _ : state)
        report(state, bench::runProgram(QStringLiteral(VELRA_SCRIPT), args + s.pictures, kOutput), out, s.frames);
}
BENCHMARK(BM_Velloran)->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4}})->ArgNames({"noisy", "kind"})->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The peers on the PNG frames: 0 ffmpeg's two passes (their time summed), 1 img2webp -lossy -q 80.
void BM_Peer(benchmark::State &state)
{
    const Scene &s = scene(int(state.range(0)));
    const bool gif = state.range(1) == 0;
    const QString tool = QStandardPaths::findExecutable(gif ? QStringLiteral("ffmpeg") : QStringLiteral("img2webp"));
    if (tool.isEmpty()) {
        state.SkipWithError(gif ? "ffmpeg is not installed (Debian: ffmpeg)" : "img2webp is not installed (Debian: webp)");
        return;
    }
    const QString pattern = QFileInfo(s.frames.value(0)).absolutePath() + QStringLiteral("/frame-%05d.png");
    const QString out = s.dir.filePath(gif ? QStringLiteral("peer.gif") : QStringLiteral("peer.webp"));
    for (auto _ : state) {
        Ran ran;
        if (gif) {
            const QString palette = s.dir.filePath(QStringLiteral("palette.png"));
            const QStringList input{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-framerate"),
                                    QString::number(kFps), QStringLiteral("-i"), pattern};
            const Ran first = bench::runProgram(tool, input + QStringList{QStringLiteral("-vf"), QStringLiteral("palettegen=stats_mode=full"), palette}, kOutput);
            ran = bench::runProgram(tool, input + QStringList{QStringLiteral("-i"), palette, QStringLiteral("-lavfi"), QStringLiteral("paletteuse=dither=none"), out}, kOutput);
            ran.ok = ran.ok && first.ok;
            ran.seconds += first.seconds;
        } else {
            // Each frame for as long as it shows at kFps, in whole milliseconds that never drift.
            QStringList args{QStringLiteral("-lossy"), QStringLiteral("-q"), QStringLiteral("80")};
            for (qsizetype k = 0; k < s.frames.size(); ++k)
                args << QStringLiteral("-d") << QString::number((k + 1) * 1000 / kFps - k * 1000 / kFps) << s.frames[k];
            ran = bench::runProgram(tool, args + QStringList{QStringLiteral("-o"), out}, kOutput);
        }
        report(state, ran, out, s.frames);
    }
}
BENCHMARK(BM_Peer)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"noisy", "webp"})->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The WebP writer's peak on 1,160 frames of noise at 600 x 400 (a picture of grain sliding across
// the window, every frame new), beside --all's on the same run: the bound is --all's peak plus
// 64 MB plus twice the file.
void BM_WebPPeakOnNoise(benchmark::State &state)
{
    static QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("noise.dat"));
    if (!QFileInfo::exists(log)) {
        quint32 seed = 99;
        QImage grain(4100, 400, QImage::Format_RGB32);
        for (int y = 0; y < grain.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(grain.scanLine(y));
            for (int x = 0; x < grain.width(); ++x) {
                seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
                line[x] = 0xff000000u | (seed & 0xffffff);
            }
        }
        grain.save(dir.filePath(QStringLiteral("s.bmp")));
        QImage(600, 400, QImage::Format_RGB32).save(dir.filePath(QStringLiteral("b.bmp")));
        QFile file(log);
        file.open(QIODevice::WriteOnly);
        file.write("\"s.bmp\",\"4100\",\"400\"\r\n\"b.bmp\",\"600\",\"400\",\"600\",\"400\"\r\n2\r\n"
                   "\"0\",\"0\",\"-3477\",\"0\",2,\"1159\",1,\"0\",\"0\",1\r\n");
    }
    const QStringList pictures{QStringLiteral("--scroll-picture"), dir.filePath(QStringLiteral("s.bmp")), QStringLiteral("--background-picture"),
                               dir.filePath(QStringLiteral("b.bmp"))};
    const QString frames = dir.filePath(QStringLiteral("frames"));
    const QString out = dir.filePath(QStringLiteral("noise.webp"));
    for (auto _ : state) {
        QDir(frames).removeRecursively();
        const Ran all = bench::runProgram(QStringLiteral(VELRA_SCRIPT), QStringList{QStringLiteral("preview"), log, QStringLiteral("--all"), QStringLiteral("-o"), frames} + pictures, kOutput);
        QDir(frames).removeRecursively();
        const Ran webp = bench::runProgram(QStringLiteral(VELRA_SCRIPT), QStringList{QStringLiteral("preview"), log, QStringLiteral("--animation"), QStringLiteral("-o"), out} + pictures, kOutput);
        if (!all.ok || !webp.ok) {
            state.SkipWithError("the run failed");
            return;
        }
        state.SetIterationTime(webp.seconds);
        const double file = double(QFileInfo(out).size()) / (1024.0 * 1024.0);
        state.counters["all_peak_MB"] = all.peakMB;
        state.counters["webp_peak_MB"] = webp.peakMB;
        state.counters["file_MB"] = file;
        state.counters["bound_MB"] = all.peakMB + 64 + 2 * file;
    }
}
BENCHMARK(BM_WebPPeakOnNoise)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
