// The motion as an animated WebP or GIF: decoded again, every frame at its time is the renderer's.
#include "AnimationFiles.h"
#include "TestSupport.h"
#include "animation/Animation.h"
#include "animation/Export.h"
#include "render/FrameRenderer.h"
#include "script/ScriptFrames.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>


using namespace velra;
using namespace velra::animation;
using namespace velra::render;
using namespace velra::test;

namespace {

// Which played frame shows at `time`.
qsizetype shownAt(const Played &played, qint64 time)
{
    qint64 end = 0;
    for (qsizetype i = 0; i < played.delays.size(); ++i)
        if (time < (end += played.delays[i]))
            return i;
    return -1;
}

} // namespace

class TestAnimation : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // A chain over a 64 x 48 window: held at the start, in, held, out; `colourful` puts a picture of
    // 3,072 colours behind it.
    ScriptFrames framesOf() const
    {
        Chain chain;
        chain.startX = -10;
        chain.startY = 5;
        chain.holdStart = 3;
        chain.segments = {Segment{30, 20, Segment::Motion::Frames, 9, Segment::Curve::EaseInOut, {}, 4, {}},
                          Segment{70, 0, Segment::Motion::DotsPerFrame, 7, Segment::Curve::Linear, {}, 0, {}}};
        ScriptFrames frames;
        QString error;
        if (!ScriptFrames::read(scriptOf(chainRun(chain)), frames, &error))
            qFatal("%s", qPrintable(error));
        return frames;
    }

    QHash<QString, QString> pictures(bool colourful)
    {
        QImage back(64, 48, QImage::Format_RGB32);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                back.setPixel(x, y, colourful ? qRgb(x * 4, y * 5, (x + y) % 7 * 30) : qRgb(20, 90, 160));
        QImage scroll(10, 10, QImage::Format_RGB32);
        scroll.fill(qRgb(250, 200, 0));
        const QString name = colourful ? QStringLiteral("colourful") : QStringLiteral("plain");
        const QString b = m_dir.filePath(name + QStringLiteral("-b.bmp"));
        const QString s = m_dir.filePath(name + QStringLiteral("-s.bmp"));
        back.save(b, "BMP");
        scroll.save(s, "BMP");
        return {{QStringLiteral("b.bmp"), b}, {QStringLiteral("s.bmp"), s}};
    }

private slots:
    void fileFrames_areTheRenderersFrames_atTheirTimes_data()
    {
        QTest::addColumn<AnimationFormat>("format");
        QTest::addColumn<int>("fps");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("every");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<bool>("colourful");
        QTest::addColumn<qint64>("stretch"); // WebP: what a stretch may make before it is assembled
        QTest::newRow("WebP, 30 a second, forever") << AnimationFormat::WebP << 30 << 1 << 1 << true << true << qint64(64) * 1024 * 1024;
        QTest::newRow("WebP assembled in stretches of 4 frames") << AnimationFormat::WebP << 30 << 1 << 1 << true << true << qint64(4 * 64 * 48 * 4);
        QTest::newRow("WebP, 90, halved, once") << AnimationFormat::WebP << 90 << 2 << 1 << false << true << qint64(64) * 1024 * 1024;
        QTest::newRow("WebP, 7 a second, every third frame") << AnimationFormat::WebP << 7 << 1 << 3 << true << true << qint64(64) * 1024 * 1024;
        QTest::newRow("GIF, 30 a second, forever") << AnimationFormat::Gif << 30 << 1 << 1 << true << false << qint64(64) * 1024 * 1024;
        QTest::newRow("GIF, 50, a third, once") << AnimationFormat::Gif << 50 << 3 << 1 << false << false << qint64(64) * 1024 * 1024;
        QTest::newRow("GIF, 12 a second, once, every second frame") << AnimationFormat::Gif << 12 << 1 << 2 << false << false << qint64(64) * 1024 * 1024;
    }

    void fileFrames_areTheRenderersFrames_atTheirTimes()
    {
        QFETCH(AnimationFormat, format);
        QFETCH(int, fps);
        QFETCH(int, scale);
        QFETCH(int, every);
        QFETCH(bool, loop);
        QFETCH(bool, colourful);
        QFETCH(qint64, stretch);
        testing::setWebPStretchBytes(stretch);
        const auto restore = qScopeGuard([] { testing::setWebPStretchBytes(qint64(64) << 20); });
        const FrameRenderer renderer(framesOf(), QSize(64, 48), pictures(colourful));
        Animation made;
        QString error;
        QVERIFY2(encodeAnimation(renderer, {.format = format, .fps = fps, .scale = scale, .every = every, .loop = loop}, made, &error),
                 qPrintable(error));
        Played played;
        QVERIFY(play(made.bytes(), played));

        const qint64 count = renderer.frames().frameCount();
        QCOMPARE(made.runFrames, count);
        QCOMPARE(qint64(played.canvases.size()), made.fileFrames);
        QVERIFY(made.fileFrames < count); // the holds are merged
        QCOMPARE(played.loops, loop);
        qint64 total = 0;
        for (const qint64 delay : played.delays) {
            QVERIFY2(delay > (format == AnimationFormat::Gif ? 1 : 10), qPrintable(QString::number(delay)));
            total += delay;
        }
        QCOMPARE(total, frameStart(format, count, fps));
        for (qint64 k = 0; k < count; ++k) {
            const qsizetype shown = shownAt(played, frameStart(format, k, fps));
            QVERIFY(shown >= 0);
            const QImage expected = exportedFrame(renderer.frameImage(k - k % every), scale);
            QVERIFY2(played.canvases[shown] == expected, qPrintable(QStringLiteral("frame %1").arg(k)));
        }
    }

    // More than 256 colours: one palette, and one index per colour for the whole run, so what
    // stands still keeps its indices.
    void gifOfManyColours_keepsTheStillBackgroundsIndices()
    {
        const FrameRenderer renderer(framesOf(), QSize(64, 48), pictures(true));
        Animation made;
        QString error;
        QVERIFY2(encodeAnimation(renderer, {.format = AnimationFormat::Gif, .fps = 25}, made, &error), qPrintable(error));
        Played played;
        QVERIFY(playGif(made.bytes(), played));
        QCOMPARE(played.canvases.size(), made.fileFrames);
        const QImage first = renderer.frameImage(0);
        int still = 0;
        int worst = 0;
        qint64 offs = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                bool stands = true;
                for (qint64 k = 1; stands && k < renderer.frames().frameCount(); ++k)
                    stands = renderer.frameImage(k).pixel(x, y) == first.pixel(x, y);
                if (!stands)
                    continue;
                ++still;
                for (const QByteArray &canvas : played.indices)
                    QCOMPARE(canvas[y * 64 + x], played.indices.front()[y * 64 + x]);
                const QRgb shown = played.canvases.front().pixel(x, y);
                const QRgb drawn = first.pixel(x, y);
                const int off = qAbs(qRed(shown) - qRed(drawn)) + qAbs(qGreen(shown) - qGreen(drawn)) + qAbs(qBlue(shown) - qBlue(drawn));
                worst = qMax(worst, off);
                offs += off;
            }
        QVERIFY(still > 64 * 48 / 2);
        // 3,072 colours evenly spread in 256: near, not exact.
        QVERIFY2(offs / still <= 40 && worst <= 96, qPrintable(QStringLiteral("%1 %2").arg(offs / still).arg(worst)));
    }

    // Past 256 colours, what an author sees at once stays exact: pure white (a bubble), pure black
    // (an outline) and a flat colour covering a quarter of the frame (a wall); the rest near.
    void gifOfManyColours_keepsWhiteBlackAndAFlatQuarterExact()
    {
        QHash<QString, QString> paths = pictures(true);
        QImage back(paths.value(QStringLiteral("b.bmp")));
        for (const auto &[area, colour] : {std::pair{QRect(0, 0, 32, 24), qRgb(37, 201, 99)}, std::pair{QRect(0, 30, 64, 2), qRgb(255, 255, 255)},
                                           std::pair{QRect(0, 40, 64, 1), qRgb(0, 0, 0)}})
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    back.setPixel(x, y, colour);
        QVERIFY(back.save(paths[QStringLiteral("b.bmp")] = m_dir.filePath(QStringLiteral("walled.bmp"))));
        const FrameRenderer renderer(framesOf(), QSize(64, 48), paths);
        Animation made;
        QString error;
        QVERIFY2(encodeAnimation(renderer, {.format = AnimationFormat::Gif}, made, &error), qPrintable(error));
        Played played;
        QVERIFY(playGif(made.bytes(), played));
        for (qint64 k = 0; k < renderer.frames().frameCount(); ++k) {
            const QImage drawn = renderer.frameImage(k);
            const QImage &shown = played.canvases[shownAt(played, frameStart(AnimationFormat::Gif, k, 30))];
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 64; ++x)
                    if (const QRgb pixel = drawn.pixel(x, y); pixel == qRgb(37, 201, 99) || pixel == qRgb(255, 255, 255) || pixel == qRgb(0, 0, 0))
                        QCOMPARE(shown.pixel(x, y), pixel);
        }
    }

    // A lossy WebP at quality 80 keeps each frame at 25 dB or more from the drawn one (a 64 x 48 frame
    // with a sharp-edged yellow square: the floor is for the frames, not a measure); a still stretch
    // longer than the format's 24-bit duration (here 17,000 s at 1 frame a second) plays whole.
    void lossyWebP_staysNear_andLongStillsPlayWhole()
    {
        QHash<QString, QString> paths = pictures(false);
        QImage smooth(64, 48, QImage::Format_RGB32); // a photograph's shading, not a pattern of stripes
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                smooth.setPixel(x, y, qRgb(x * 4, y * 5, 128 + x - y));
        QVERIFY(smooth.save(paths[QStringLiteral("b.bmp")] = m_dir.filePath(QStringLiteral("smooth.bmp"))));
        const FrameRenderer renderer(framesOf(), QSize(64, 48), paths);
        Animation made;
        QString error;
        QVERIFY2(encodeAnimation(renderer, {.quality = 80}, made, &error), qPrintable(error));
        Played played;
        QVERIFY(play(made.bytes(), played));
        for (qint64 k = 0; k < renderer.frames().frameCount(); ++k) {
            const QImage drawn = renderer.frameImage(k);
            const QImage &shown = played.canvases[shownAt(played, frameStart(AnimationFormat::WebP, k, 30))];
            QVERIFY2(psnr(squaredError(drawn, shown), 64 * 48) >= 25, qPrintable(QString::number(k)));
        }
        Chain still;
        still.segments = {Segment{10, 0, Segment::Motion::Frames, 2, Segment::Curve::Linear, {}, 17000, {}}};
        ScriptFrames frames;
        QVERIFY(ScriptFrames::read(scriptOf(chainRun(still)), frames, &error));
        const FrameRenderer holding(frames, QSize(64, 48), {});
        QVERIFY2(encodeAnimation(holding, {.fps = 1}, made, &error), qPrintable(error));
        Played held;
        QVERIFY(play(made.bytes(), held));
        QVERIFY(holding.frames().frameCount() > 17000);
        QCOMPARE(std::accumulate(held.delays.begin(), held.delays.end(), qint64(0)), 1000 * holding.frames().frameCount());
    }

    // A size limit that only half the size meets: the file is at 1/2 and within it, and says so;
    // one nothing meets writes nothing and names the smallest reached.
    void sizeLimit_writesTheBestThatFits_orNothing()
    {
        const FrameRenderer renderer(framesOf(), QSize(64, 48), pictures(true));
        for (const AnimationOptions &asked : {AnimationOptions{.format = AnimationFormat::Gif}, AnimationOptions{}}) {
            Animation half;
            QString error;
            AnimationOptions atHalf = asked;
            atHalf.scale = 2;
            atHalf.quality = asked.format == AnimationFormat::WebP ? 30 : 0;
            QVERIFY2(encodeAnimation(renderer, atHalf, half, &error), qPrintable(error));
            const QString path = m_dir.filePath(asked.format == AnimationFormat::Gif ? QStringLiteral("fit.gif") : QStringLiteral("fit.webp"));
            for (const qint64 limit : {qint64(half.size()), qint64(100)}) {
                AnimationOptions limited = asked;
                limited.maxBytes = limit;
                const Exported exported = exportAnimation(renderer, limited, path, {});
                QCOMPARE(exported.written, limit > 100);
                if (exported.written) {
                    QVERIFY(QFileInfo(path).size() <= limit);
                    QVERIFY2(exported.chosen.contains(QStringLiteral("・1/2、")), qPrintable(exported.chosen));
                    QVERIFY(writtenMessage(path, exported).endsWith(QStringLiteral("選んだ形：") + exported.chosen));
                    QVERIFY(QFile::remove(path));
                } else {
                    QVERIFY2(exported.error.startsWith(QStringLiteral("100 バイト に収まるファイルを作れませんでした（いちばん小さくて ")), qPrintable(exported.error));
                    QVERIFY(!QFile::exists(path));
                }
            }
        }
    }

    void timing_isExactToTheGrain_andRefusedAboveTheLimits()
    {
        // Starts rounded from k / fps, never summed from rounded delays.
        QCOMPARE(frameStart(AnimationFormat::WebP, 3, 30), 100);
        QCOMPARE(frameStart(AnimationFormat::WebP, 1, 90), 11);
        QCOMPARE(frameStart(AnimationFormat::WebP, 900, 90), 10000);
        QCOMPARE(frameStart(AnimationFormat::Gif, 1, 30), 3);
        QCOMPARE(frameStart(AnimationFormat::Gif, 2, 30), 7);
        QCOMPARE(frameStart(AnimationFormat::Gif, 3000, 30), 10000);
        QCOMPARE(frameStart(AnimationFormat::Gif, 7, 7), 100);
        for (const auto &[format, fps, refused] : {std::tuple{AnimationFormat::Gif, 50, false}, std::tuple{AnimationFormat::Gif, 51, true},
                                                   std::tuple{AnimationFormat::WebP, 90, false}, std::tuple{AnimationFormat::WebP, 91, true},
                                                   std::tuple{AnimationFormat::WebP, 0, true}}) {
            const QString said = fpsRefusal(format, fps);
            QCOMPARE(!said.isEmpty(), refused);
            if (refused)
                QVERIFY2(said.contains(QString::number(fpsLimit(format))), qPrintable(said));
        }
        const FrameRenderer renderer(framesOf(), QSize(64, 48), {});
        Animation made;
        QString error;
        QVERIFY(!encodeAnimation(renderer, {.format = AnimationFormat::Gif, .fps = 60}, made, &error));
        QVERIFY(error.contains(QStringLiteral("50")));
        // A stop leaves nothing and says nothing.
        int heard = 0;
        QVERIFY(!encodeAnimation(renderer, {.format = AnimationFormat::WebP}, made, &error, [&heard](double) { return ++heard < 3; }));
        QVERIFY(error.isEmpty());
        QVERIFY(made.parts.isEmpty());
    }
};

QTEST_MAIN(TestAnimation)
#include "tst_animation.moc"
