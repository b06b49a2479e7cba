// The frames read back from a script, and the pixels the renderer draws for them.
#include "TestSupport.h"
#include "handoff/HandoffFiles.h"
#include "render/FramePlayer.h"
#include "render/FrameRenderer.h"
#include "script/ScriptFrames.h"
#include "script/ScrollScript.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace velra;
using namespace velra::render;
using namespace velra::test;

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);

// A scroll of a `pw` x `ph` picture "s.bmp" over a `ww` x `wh` background "b.bmp".
Run settings(int direction, int step, int alignment, int endMode, int pw, int ph, int ww = 64, int wh = 48)
{
    Run run = chainRun({});
    run.mode = Run::Mode::Simple;
    run.scroll.width = QString::number(pw);
    run.scroll.height = QString::number(ph);
    run.windowWidth = run.background.width = QString::number(ww);
    run.windowHeight = run.background.height = QString::number(wh);
    run.simple = {direction, QString::number(step), alignment, endMode, endMode == 3 ? QStringLiteral("2") : QString()};
    return run;
}

ScriptFrames framesOf(const Run &run)
{
    ScriptFrames frames;
    QString error;
    if (!ScriptFrames::read(scriptOf(run), frames, &error))
        qFatal("%s", qPrintable(error));
    return frames;
}

bool near(QRgb a, QRgb b, int tolerance = 3)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

QString hex(QRgb c)
{
    return QString::number(c & 0xFFFFFF, 16).rightJustified(6, QLatin1Char('0'));
}

} // namespace

class TestFrameRenderer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QHash<QString, QString> m_paths;

    void solidPicture(const char *name, int w, int h, QRgb colour)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QVERIFY(image.save(path, "BMP"));
        m_paths.insert(QString::fromLatin1(name), path);
    }

private slots:
    void initTestCase() { solidPicture("b.bmp", 64, 48, kRed); }

    void readsTheFramesTheScriptHolds()
    {
        const ScriptFrames frames = framesOf(settings(3, 10, 1, 3, 100, 50, 640, 480));
        QCOMPARE(frames.pictures, (QStringList{QStringLiteral("b.bmp"), QStringLiteral("s.bmp")}));
        QCOMPARE(frames.frameCount(), 4);
        const Graphic *last = frames.frame(3);
        QCOMPARE(last[0].picture, 0);
        QCOMPARE(last[1].picture, 1);
        QCOMPARE(last[1].x, 610.0);
        QCOMPARE(last[1].width, 100);
        // Centred across: a half pixel stays a half pixel.
        const ScriptFrames centred = framesOf(settings(3, 10, 2, 3, 100, 51, 640, 480));
        QCOMPARE(centred.frame(0)[1].y, 214.5);
    }

    void unreadableLines_areReported_neverGuessed_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("expected");
        const QByteArray good = "Graphic \"b.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,64,48\"";
        QTest::newRow("no POS") << good + "\r\nGraphic \"s.bmp\",0,0,0,1,\"None\",0,0,0,\"/XY:1,2\"" << QStringLiteral("2 行目を読めません");
        QTest::newRow("garbage") << QByteArray("\x08\x00\xFF\xFF", 4) << QStringLiteral("1 行目を読めません");
        QTest::newRow("a letter in a number") << good + "\r\nGraphic \"s.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:1x,2,3,4\"" << QStringLiteral("2 行目");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("1 行目を読めません");
    }

    // Frames end at each line of the moving picture: with the background drawn once, later frames
    // are the picture alone, drawn over what the earlier ones left.
    void framesWithoutBackground_drawOverWhatWasThere()
    {
        solidPicture("s.bmp", 10, 10, kBlue);
        const QByteArray bg = "Graphic \"b.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,64,48\"\r\n";
        const auto pic = [](const char *xy) { return QByteArray("Graphic \"s.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:") + xy + ",10,10\""; };
        ScriptFrames frames;
        QVERIFY(ScriptFrames::read(bg + pic("0,0") + "\r\n" + pic("20,0") + "\r\n" + pic("40,0"), frames, nullptr));
        QCOMPARE(frames.frameCount(), 3);
        QCOMPARE(frames.frameEnd(0), 2);
        QCOMPARE(frames.frameEnd(2), 4);
        FrameRenderer renderer(frames, QSize(64, 48), m_paths);
        const QImage last = renderer.frameImage(2);
        QVERIFY(near(last.pixel(45, 5), kBlue));
        QVERIFY(near(last.pixel(5, 5), kBlue)); // the first frame's picture is still there
        QVERIFY(near(last.pixel(32, 30), kRed));
    }

    void unreadableLines_areReported_neverGuessed()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, expected);
        ScriptFrames frames;
        QString error;
        QVERIFY(!ScriptFrames::read(script, frames, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

    // At each direction, the picture is where the script puts it and the background elsewhere.
    void eachDirection_drawsThePictureWhereTheScriptSays_data()
    {
        QTest::addColumn<int>("direction");
        QTest::newRow("down") << 1;
        QTest::newRow("up") << 2;
        QTest::newRow("left") << 3;
        QTest::newRow("right") << 4;
    }

    void eachDirection_drawsThePictureWhereTheScriptSays()
    {
        QFETCH(int, direction);
        solidPicture("s.bmp", 10, 10, kBlue);
        const ScriptFrames frames = framesOf(settings(direction, 7, 1, 2, 10, 10));
        FrameRenderer renderer(frames, QSize(64, 48), m_paths);
        QVERIFY(renderer.problems().isEmpty());
        bool sawPictureInside = false;
        for (qsizetype k = 0; k < frames.frameCount(); ++k) {
            const Graphic &g = frames.frame(k)[1];
            const QImage image = renderer.frameImage(k);
            QCOMPARE(image.size(), QSize(64, 48));
            const QPoint centre(int(g.x) + 5, int(g.y) + 5);
            if (QRect(0, 0, 64, 48).contains(centre)) {
                QVERIFY2(near(image.pixel(centre), kBlue), qPrintable(QStringLiteral("frame %1 at %2,%3: %4").arg(k).arg(centre.x()).arg(centre.y()).arg(hex(image.pixel(centre)))));
                sawPictureInside = true;
            }
            // A corner the picture does not cover shows the background.
            for (const QPoint corner : {QPoint(0, 0), QPoint(63, 0), QPoint(0, 47), QPoint(63, 47)}) {
                if (!QRectF(g.x, g.y, g.width, g.height).contains(corner))
                    QVERIFY(near(image.pixel(corner), kRed));
            }
        }
        QVERIFY(sawPictureInside);
    }

    // Centred across an odd difference, the picture stands half a pixel off the grid: the pixel
    // it half covers is half picture, half background.
    void halfPixelPosition_isDrawnExactly()
    {
        solidPicture("s.bmp", 10, 11, kBlue);
        const ScriptFrames frames = framesOf(settings(3, 8, 2, 2, 10, 11)); // y = (48 - 11) / 2 = 18.5
        QCOMPARE(frames.frame(2)[1].y, 18.5);
        FrameRenderer renderer(frames, QSize(64, 48), m_paths);
        const Graphic &g = frames.frame(2)[1];
        const QImage image = renderer.frameImage(2);
        const int x = int(g.x) + 5;
        QVERIFY2(near(image.pixel(x, 18), qRgb(128, 0, 128), 2), qPrintable(hex(image.pixel(x, 18))));
        QVERIFY(near(image.pixel(x, 19), kBlue));
        QVERIFY(near(image.pixel(x, 28), kBlue));
        QVERIFY2(near(image.pixel(x, 29), qRgb(128, 0, 128), 2), qPrintable(hex(image.pixel(x, 29))));
        QVERIFY(near(image.pixel(x, 30), kRed));
    }

    // A picture that starts outside the window: cut off at the window's edge in a frame, shown
    // dimmed around the window in the view.
    void pictureOutsideTheWindow_isCutOff_andShownDimmed()
    {
        solidPicture("s.bmp", 10, 10, kBlue);
        const ScriptFrames frames = framesOf(settings(3, 4, 1, 2, 10, 10)); // starts at x = 64
        FrameRenderer renderer(frames, QSize(64, 48), m_paths);
        const Graphic &straddling = frames.frame(2)[1]; // x = 56: 8 columns in, 2 out
        QCOMPARE(straddling.x, 56.0);
        QVERIFY(near(renderer.frameImage(2).pixel(60, 5), kBlue));
        QVERIFY(renderer.viewArea().contains(QRectF(64, 0, 10, 10)));
        const QRectF view = renderer.viewArea();
        QImage shown(view.size().toSize(), QImage::Format_RGB32);
        QPainter painter(&shown);
        renderer.render(painter, 0, QRectF(QPointF(0, 0), view.size()), view);
        painter.end();
        const QPoint outside = QPointF(69 - view.left(), 5 - view.top()).toPoint(); // the picture, outside
        const QRgb dimmed = shown.pixel(outside);
        QVERIFY2(qBlue(dimmed) > 40 && qBlue(dimmed) < 140 && qRed(dimmed) < 10, qPrintable(hex(dimmed)));
        const QPoint inside = QPointF(30 - view.left(), 30 - view.top()).toPoint();
        QVERIFY(near(shown.pixel(inside), kRed));
    }

    void missingOrUnreadablePictures_areLabelledRectangles()
    {
        const ScriptFrames frames = framesOf(settings(3, 8, 1, 1, 10, 10));
        QHash<QString, QString> paths = m_paths;
        paths.remove(QStringLiteral("s.bmp"));
        FrameRenderer missing(frames, QSize(64, 48), paths);
        QCOMPARE(missing.problems().size(), 1);
        QVERIFY(missing.problems().constFirst().contains(QStringLiteral("s.bmp")));
        const Graphic &g = frames.frame(3)[1];
        const QImage image = missing.frameImage(3);
        QVERIFY2(!near(image.pixel(int(g.x), int(g.y) + 5), kRed), qPrintable(hex(image.pixel(int(g.x), int(g.y) + 5))));

        const QString text = m_dir.filePath(QStringLiteral("text.bmp"));
        QVERIFY(writeAll(text, "not a picture"));
        paths.insert(QStringLiteral("s.bmp"), text);
        FrameRenderer unreadable(frames, QSize(64, 48), paths);
        QVERIFY(unreadable.problems().constFirst().contains(QStringLiteral("text.bmp」は画像として読めません。")));
        paths.insert(QStringLiteral("s.bmp"), m_dir.filePath(QStringLiteral("nowhere.bmp")));
        QVERIFY(FrameRenderer(frames, QSize(64, 48), paths).problems().constFirst().contains(QStringLiteral("見つかりません")));
        // A picture cut short (a copy that stopped) is said so, not drawn half black.
        for (const char *format : {"BMP", "JPEG"}) {
            const QString cut = paths[QStringLiteral("s.bmp")] = writePicture(m_dir.filePath(QStringLiteral("cut.%1").arg(QLatin1String(format))), 40, 40, format, Qt::red);
            QVERIFY(QFile::resize(cut, QFileInfo(cut).size() * 2 / 3));
            QVERIFY(FrameRenderer(frames, QSize(64, 48), paths).problems().constFirst().contains(QStringLiteral("途中で切れている")));
        }
    }

    // What a log claims is not what is allocated: a 10 x 10 picture that the script stretches to
    // 32767 x 32767 is drawn straight into the frame; and a missing background's rectangle covers
    // the window as the picture would, so that frames start there rather than at the first line.
    void claimedSizesAndMissingPictures_drawOnlyWhatIsSeen()
    {
        solidPicture("s.bmp", 10, 10, kBlue);
        ScriptFrames huge;
        QVERIFY(ScriptFrames::read("Graphic \"s.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:-100,-100,32767,32767\"", huge, nullptr));
        FrameRenderer stretched(huge, QSize(64, 48), m_paths);
        const QImage frame = stretched.frameImage(0);
        QVERIFY(!stretched.ranOutOfMemory());
        QVERIFY(near(frame.pixel(0, 0), kBlue) && near(frame.pixel(63, 47), kBlue));
        QVERIFY(!stretched.contactSheet(2).isNull());

        const ScriptFrames frames = framesOf(settings(3, 8, 1, 1, 10, 10));
        FrameRenderer missing(frames, QSize(64, 48), {});
        QCOMPARE(missing.problems().size(), 2);
        const QImage first = missing.frameImage(2);
        const QImage later = missing.frameImage(frames.frameCount() - 1);
        const Graphic &moving = frames.frame(2)[1];
        const QPoint spot(int(moving.x) + 5, int(moving.y) + 5); // frame 3's picture, gone later
        QVERIFY(first.valid(spot));
        QVERIFY(frames.frame(frames.frameCount() - 1)[1].x != moving.x);
        QVERIFY(first.pixel(spot) != qRgb(34, 0, 25));
        QCOMPARE(later.pixel(spot), qRgb(34, 0, 25)); // the background's rectangle, opaque, nothing left over
    }

    // Played frame after frame, jumped to back and forth, with checkpoints thinned out by a small
    // memory budget: every frame is exactly the frame drawn from its first line.
    void framePlayer_everyFrameAsIfDrawnAfresh_data()
    {
        QTest::addColumn<QString>("background"); // the detailed mode's background code
        QTest::newRow("background once") << QStringLiteral("2");
        QTest::newRow("background never") << QStringLiteral("3");
        QTest::newRow("background every frame") << QStringLiteral("1");
    }

    void framePlayer_everyFrameAsIfDrawnAfresh()
    {
        QFETCH(QString, background);
        solidPicture("s.bmp", 10, 10, kBlue);
        const Segment move{60, -5, Segment::Motion::Frames, 300, Segment::Curve::EaseInOut, {}, 3, {}};
        const Run run = chainRun({-10, 40, 2, Chain::Background(background.toInt()), {move}});
        const QByteArray script = scriptOf(run);
        QString error;
        ScriptFrames frames;
        QVERIFY(ScriptFrames::read(script, frames, &error));
        const FrameRenderer renderer(frames, QSize(64, 48), m_paths);
        const QSize size(97, 73);
        const auto afresh = [&](qsizetype k) {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::black);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            const QRectF view = renderer.viewArea();
            painter.scale(size.width() / view.width(), size.height() / view.height());
            painter.translate(-view.topLeft());
            renderer.drawLines(painter, renderer.firstLineOf(k), frames.frameEnd(k));
            return image;
        };
        FramePlayer player(renderer, 3 * 97 * 73 * 4); // room for three checkpoints
        player.setCanvasSize(size);
        const qsizetype last = frames.frameCount() - 1;
        QList<qsizetype> order;
        for (qsizetype k = 0; k <= last; k += 7)
            order << k;
        order << last << 0 << last / 2 << last - 1 << 3 << last;
        for (const qsizetype k : order)
            QVERIFY2(player.frame(k) == afresh(k), qPrintable(QStringLiteral("frame %1").arg(k)));
        QVERIFY(player.checkpointCount() <= 3);
        while (player.prepare(50)) {
        }
        QVERIFY(player.frame(last / 3) == afresh(last / 3));

        // The command line's pictures, drawn in order in linear time, are each frame as drawn alone.
        qsizetype seen = 0;
        QVERIFY(renderer.eachFrameImage([&](qsizetype k, const QImage &image) {
            [&] { QVERIFY2(k == seen && image == renderer.frameImage(k), qPrintable(QStringLiteral("frame %1").arg(k))); }();
            ++seen;
            return true;
        }));
        QCOMPARE(seen, frames.frameCount());
        const QImage sheet = renderer.contactSheet(7, 3, 90);
        const int thumb = qRound(90 * renderer.viewArea().height() / renderer.viewArea().width());
        for (int i = 0; i < 7; ++i) {
            const qsizetype k = qsizetype(std::llround(double(i) * double(last) / 6));
            QImage cell(90, thumb, QImage::Format_RGB32);
            QPainter painter(&cell);
            renderer.render(painter, k, QRectF(0, 0, 90, thumb), renderer.viewArea());
            painter.end();
            QVERIFY2(sheet.copy(8 + (i % 3) * 98, 8 + (i / 3) * (thumb + 30), 90, thumb) == cell, qPrintable(QStringLiteral("cell %1").arg(i)));
        }
    }

    void contactSheet_holdsTheFramesEvenlySpaced()
    {
        solidPicture("s.bmp", 10, 10, kBlue);
        const ScriptFrames frames = framesOf(settings(3, 1, 1, 2, 10, 10));
        FrameRenderer renderer(frames, QSize(64, 48), m_paths);
        const QImage sheet = renderer.contactSheet(12, 4, 160);
        QCOMPARE(sheet.width(), 8 + 4 * (160 + 8));
        const int thumb = qRound(160 * renderer.viewArea().height() / renderer.viewArea().width());
        QCOMPARE(sheet.height(), 8 + 3 * (thumb + 22 + 8));
        QCOMPARE(FrameRenderer::frameLabel(12, 742), QStringLiteral("12 / 742"));
    }
};

QTEST_MAIN(TestFrameRenderer)
#include "tst_framerenderer.moc"
