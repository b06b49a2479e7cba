#include "TestSupport.h"
#include "model/Run.h"
#include "script/ScrollScript.h"
#include "script/Motion.h"
#include "script/StepCheck.h"

#include <QTest>

#include <cmath>

using namespace velra;

namespace {

const QString kHead = QStringLiteral("\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n2\r\n");

// The picture lines' positions, "x,y" each.
QStringList positions(const QByteArray &script)
{
    QStringList out;
    for (const QByteArray &line : script.split('\n')) {
        if (line.contains("\"s.bmp\"")) {
            const QList<QByteArray> parts = line.mid(line.indexOf("/POS:") + 5).split(',');
            out.append(QString::fromLatin1(parts[0] + ',' + parts[1]));
        }
    }
    return out;
}

bool generate(const QString &lines, QByteArray &script, QString &error)
{
    Run run;
    RunError problem;
    if (!runlog::parse(kHead + lines, run, &problem)) {
        error = problem.message;
        return false;
    }
    return generateScript(run, script, nullptr, &error);
}

// `pattern` with %1, %2... filled in order.
QString filled(QString pattern, const QStringList &values)
{
    for (const QString &v : values)
        pattern = pattern.arg(v);
    return pattern;
}

QString repeated(const QString &line, int times)
{
    QString text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
}

} // namespace

class TestChain : public QObject
{
    Q_OBJECT

private slots:
    // Each later segment starts where the last frame written stands and writes its frames 1 to
    // n - 1; holds copy the last frame written.
    void frames_followTheRule_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("expected");
        const QString first = QStringLiteral("\"0\",\"0\",\"4\",\"0\",2,\"3\",1,\"0\",\"0\",3\r\n");
        QTest::newRow("one segment is the detailed mode") << first << "0,0 2,0 4,0";
        QTest::newRow("a join") << first + "\"4\",\"6\",2,\"3\",1,\"0\"\r\n" << "0,0 2,0 4,0 4,3 4,6";
        QTest::newRow("a 1-frame segment does not move") << first + "\"9\",\"9\",2,\"1\",1,\"2\"\r\n" << "0,0 2,0 4,0 4,0 4,0";
        QTest::newRow("a 2-frame segment jumps") << first + "\"9\",\"9\",2,\"2\",1,\"0\"\r\n" << "0,0 2,0 4,0 9,9";
        QTest::newRow("zero length by dots") << first + "\"4\",\"0\",1,\"5\",1,\"1\"\r\n" << "0,0 2,0 4,0 4,0";
        QTest::newRow("dots from where the last stopped") << first + "\"4\",\"9\",1,\"4\",1,\"0\"\r\n" << "0,0 2,0 4,0 4,3 4,6 4,9";
        QTest::newRow("holds between segments")
            << QStringLiteral("\"0\",\"0\",\"2\",\"0\",2,\"2\",1,\"1\",\"2\",3\r\n\"2\",\"2\",2,\"2\",1,\"1\"\r\n")
            << "0,0 0,0 2,0 2,0 2,0 2,2 2,2";
        QTest::newRow("slow start") << QStringLiteral("\"0\",\"0\",\"9\",\"0\",2,\"4\",2,\"0\",\"0\",3\r\n") << "0,0 1,0 4,0 9,0";
        QTest::newRow("slow end") << QStringLiteral("\"0\",\"0\",\"9\",\"0\",2,\"4\",3,\"0\",\"0\",3\r\n") << "0,0 5,0 8,0 9,0";
        QTest::newRow("slow both") << QStringLiteral("\"0\",\"0\",\"9\",\"0\",2,\"4\",4,\"0\",\"0\",3\r\n") << "0,0 2,0 7,0 9,0";
        QTest::newRow("Bézier, straight") << QStringLiteral("\"0\",\"0\",\"9\",\"0\",2,\"4\",5,\"0\",\"0\",3,\"0\",\"0\",\"1\",\"1\"\r\n")
                                          << "0,0 3,0 6,0 9,0";
        // X(s) = 3s² - 2s³ and Y(1/2) = 1.625: 40 x 1.625 = 65, past the target, then on it.
        QTest::newRow("Bézier, overshoot") << QStringLiteral("\"0\",\"0\",\"40\",\"0\",2,\"3\",5,\"0\",\"0\",3,\"0\",\"2\",\"1\",\"2\"\r\n")
                                           << "0,0 65,0 40,0";
        QTest::newRow("Bézier on a later line, leading zeros")
            << first + "\"4\",\"40\",2,\"3\",5,\"0\",\"00.0\",\"02\",\"1.0000\",\"2\"\r\n" << "0,0 2,0 4,0 4,65 4,40";
        // A later move of one frame writes nothing and does not move: the next starts where the picture
        // stands, not at the target it never reached.
        QTest::newRow("1 frame in the middle, then dots a frame")
            << QStringLiteral("\"0\",\"0\",\"100\",\"0\",2,\"11\",1,\"0\",\"0\",3\r\n\"300\",\"300\",2,\"1\",1,\"3\"\r\n\"0\",\"50\",1,\"25\",1,\"0\"\r\n")
            << "0,0 10,0 20,0 30,0 40,0 50,0 60,0 70,0 80,0 90,0 100,0 100,0 100,0 100,0 75,13 50,25 25,38 0,50";
        QTest::newRow("1 frame first, then frames") << QStringLiteral("\"5\",\"5\",\"90\",\"90\",2,\"1\",1,\"0\",\"1\",3\r\n\"5\",\"9\",2,\"3\",1,\"0\"\r\n")
                                                    << "5,5 5,5 5,7 5,9";
        QTest::newRow("1 frame twice in a row") << first + "\"9\",\"9\",2,\"1\",1,\"0\"\r\n\"20\",\"20\",2,\"1\",1,\"1\"\r\n\"4\",\"4\",2,\"3\",1,\"0\"\r\n"
                                                << "0,0 2,0 4,0 4,0 4,2 4,4";
        // The curve's peak (2.394 x 13,790) lies past 32767, but the one frame between the ends
        // (2.375 x 13,790) does not: no frame leaves what the host takes.
        QTest::newRow("a peak between frames") << QStringLiteral("\"0\",\"0\",\"13790\",\"0\",2,\"3\",5,\"0\",\"0\",3,\"0\",\"3\",\"1\",\"3\"\r\n")
                                               << "0,0 32751,0 13790,0";
        QTest::newRow("trailing blank lines") << first + "\"4\",\"6\",2,\"2\",1,\"0\"\r\n\r\n  \r\n" << "0,0 2,0 4,0 4,6";
        // Shakes: N + 1 moves of m + 1 frames, about where the chain stands, back to rest there.
        const QString shake = QStringLiteral("\"0\",\"0\",\"%1\",\"%2\",3,\"%3\",%4,\"%5\",\"0\",3,\"%6\",%7,%8,\"%9\"\r\n");
        QTest::newRow("shake, start hold 3, linear decay")
            << filled(shake, {"0", "10", "2", "1", "3", "5", "2", "1", "1"})
            << "0,0 0,0 0,0 0,0 0,5 0,10 0,1 0,-8 0,-1 0,6 0,1 0,-4 0,-1 0,2 0,1 0,0";
        QTest::newRow("shake, random from seed 1") << filled(shake, {"20", "0", "1", "1", "0", "3", "1", "2", "1"}) << "0,0 10,0 -16,0 16,0 0,0";
        QTest::newRow("shake, exact halves away from zero") << filled(shake, {"0", "10", "1", "1", "0", "4", "2", "1", "1"}) << "0,0 0,10 0,-8 0,5 0,-3 0,0";
        QTest::newRow("shake, quadratic, random ry, slow end")
            << filled(shake, {"12", "9", "2", "3", "0", "3", "3", "2", "7"}) << "0,0 5,4 6,5 -2,-1 -5,-3 -1,0 1,1 0,0 0,0";
        QTest::newRow("shake on a later line, seed 0 as 1") << first + "\"3\",\"0\",3,\"1\",1,\"1\",\"1\",1,2,\"0\"\r\n\"4\",\"1\",2,\"2\",1,\"0\"\r\n"
                                                           << "0,0 2,0 4,0 6,0 4,0 4,0 4,1";
        QTest::newRow("bounce at the end") << QStringLiteral("\"0\",\"0\",\"640\",\"0\",2,\"5\",6,\"0\",\"0\",3\r\n") << "0,0 303,0 490,0 623,0 640,0";
    }
    void frames_followTheRule()
    {
        QFETCH(QString, lines);
        QFETCH(QString, expected);
        QByteArray script;
        QString error;
        QVERIFY2(generate(lines, script, error), qPrintable(error));
        QCOMPARE(positions(script).join(QLatin1Char(' ')), expected);
        QVERIFY(!script.endsWith("\r\n"));
    }

    // Every refusal names what is wrong and where; nothing is written.
    void refused_namesTheLineAndSegment_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("expected");
        const QString first = QStringLiteral("\"0\",\"0\",\"4\",\"0\",2,\"3\",1,\"0\",\"0\",3\r\n");
        const QString bezier = QStringLiteral("\"0\",\"0\",\"4\",\"0\",2,\"3\",5,\"0\",\"0\",3,%1\r\n");
        QTest::newRow(".25") << bezier.arg(QStringLiteral("\".25\",\"0\",\"1\",\"1\"")) << "曲線の x1の値「.25」は小数点以下 4 けたまでの数ではありません";
        QTest::newRow("1.") << bezier.arg(QStringLiteral("\"0\",\"1.\",\"1\",\"1\"")) << "曲線の y1の値「1.」";
        QTest::newRow("five decimals") << bezier.arg(QStringLiteral("\"0\",\"0\",\"0.12345\",\"1\"")) << "曲線の x2の値「0.12345」";
        QTest::newRow("a hundred decimals") << bezier.arg(QStringLiteral("\"0\",\"0.%1\",\"1\",\"1\"").arg(QString(100, QLatin1Char('5'))))
                                            << "曲線の y1の値「0.555";
        QTest::newRow("x beyond 1") << bezier.arg(QStringLiteral("\"1.5\",\"0\",\"1\",\"1\"")) << "曲線の x1の値「1.5」は 0 から 1 の範囲外";
        QTest::newRow("y beyond -2") << bezier.arg(QStringLiteral("\"0\",\"-2.0001\",\"1\",\"1\"")) << "曲線の y1の値「-2.0001」は -2 から 3 の範囲外";
        QTest::newRow("y beyond 3") << bezier.arg(QStringLiteral("\"0\",\"0\",\"1\",\"3.5\"")) << "範囲外";
        QTest::newRow("a curve value missing") << bezier.arg(QStringLiteral("\"0\",\"0\",\"1\"")) << "曲線の値が足りません";
        QTest::newRow("a later segment's x") << first + "\"x\",\"0\",1,\"1\",1,\"0\"\r\n" << "5 行目（2 番目の動き）の目標の x 座標の値「x」は整数ではありません";
        QTest::newRow("motion 4") << first + "\"1\",\"0\",4,\"1\",1,\"0\"\r\n" << "5 行目（2 番目の動き）の動かし方の値「4」は 1 から 3 の範囲外";
        QTest::newRow("curve 9") << first + "\"1\",\"0\",1,\"1\",9,\"0\"\r\n" << "速さの変化の値「9」は 1 から 8 の範囲外";
        QTest::newRow("negative hold") << first + "\"1\",\"0\",1,\"1\",1,\"-1\"\r\n" << "止めるコマ数の値「-1」";
        QTest::newRow("a value too many") << first + "\"1\",\"0\",1,\"1\",1,\"0\",\"7\"\r\n" << "5 行目（2 番目の動き）の値の数が違います（6 個のはずが 7 個あります）";
        QTest::newRow("values missing") << first + "\"1\",\"0\",1\r\n" << "5 行目（2 番目の動き）の値が足りません";
        QTest::newRow("a blank line between") << first + "\r\n\"1\",\"0\",1,\"1\",1,\"0\"\r\n" << "5 行目が空です";
        QTest::newRow("line 4 too long") << QStringLiteral("\"0\",\"0\",\"4\",\"0\",2,\"3\",1,\"0\",\"0\",3,\"9\"\r\n") << "4 行目の値が多すぎます";
        QTest::newRow("33 segments") << first + repeated(QStringLiteral("\"1\",\"0\",2,\"1\",1,\"0\"\r\n"), 32) << "動きは 32 個までです（36 行目が 33 個目です）";
        QTest::newRow("a segment of 65,536 frames") << first + "\"-32768\",\"0\",2,\"2\",1,\"0\"\r\n\"32767\",\"0\",1,\"1\",1,\"0\"\r\n"
                                                    << "3 番目の動きの動くコマが 65536 コマになります。32768 コマまで";
        QTest::newRow("more than 262,144 frames") << first + repeated(QStringLiteral("\"0\",\"0\",2,\"32768\",1,\"0\"\r\n"), 9)
                                                  << "10 番目の動きのところで書き出すコマが 262144 コマを超えます";
        // Y(1/2) = 2.375 for (0, 3, 1, 3): 30,000 x 2.375 lies far past the host's range.
        QTest::newRow("overshoot out of range") << QStringLiteral("\"0\",\"0\",\"30000\",\"0\",2,\"3\",5,\"0\",\"0\",3,\"0\",\"3\",\"1\",\"3\"\r\n")
                                                << "曲線が位置を -32768 から 32767 の範囲外（71250, 0）に出します";
        QTest::newRow("overshoot, the first frame out named") << first + "\"4\",\"-20000\",2,\"101\",5,\"0\",\"0\",\"3\",\"1\",\"3\"\r\n"
                                                             << "2 番目の動きの曲線が位置を -32768 から 32767 の範囲外（4, -33533）に出します";
        const QString shake = QStringLiteral("\"%1\",\"0\",\"%2\",\"%3\",3,\"%4\",%5,\"0\",\"0\",3,\"%6\",2,1,\"%7\"\r\n");
        QTest::newRow("shake amplitude 1001") << filled(shake, {"0", "1001", "0", "2", "1", "5", "1"}) << "揺れ幅の xの値「1001」は 0 から 1000 の範囲外";
        QTest::newRow("shake amplitudes both 0") << filled(shake, {"0", "0", "0", "2", "1", "5", "1"}) << "揺れ幅が x、y とも 0 です";
        QTest::newRow("shake of 61 frames a swing") << filled(shake, {"0", "9", "0", "61", "1", "5", "1"}) << "1 回のコマ数の値「61」は 1 から 60 の範囲外";
        QTest::newRow("shake with a Bézier curve") << filled(shake, {"0", "9", "0", "2", "5", "5", "1"}) << "速さの変化の値「5」は 1 から 4 の範囲外";
        QTest::newRow("shake of 101 swings") << filled(shake, {"0", "9", "0", "2", "1", "101", "1"}) << "揺れの回数の値「101」は 1 から 100 の範囲外";
        QTest::newRow("shake seed 2^32") << filled(shake, {"0", "9", "0", "2", "1", "5", "4294967296"}) << "シードの値「4294967296」は 0 から 4294967295 の範囲外";
        QTest::newRow("shake values missing") << QStringLiteral("\"0\",\"0\",\"9\",\"0\",3,\"2\",1,\"0\",\"0\",3\r\n") << "4 行目の揺れの値が足りません";
        QTest::newRow("shake out of range") << filled(shake, {"32760", "10", "0", "2", "1", "5", "1"}) << "揺れが位置を -32768 から 32767 の範囲外（32770, 0）に出します";
        QTest::newRow("a later shake's amplitude")
            << first + "\"-1\",\"0\",3,\"2\",1,\"0\",\"5\",2,1,\"1\"\r\n" << "5 行目（2 番目の動き）の揺れ幅の xの値「-1」は 0 から 1000 の範囲外";
        QTest::newRow("overshoot below, after a 1-frame move")
            << first + "\"0\",\"0\",2,\"1\",1,\"0\"\r\n\"4\",\"-20000\",2,\"101\",5,\"0\",\"0\",\"3\",\"1\",\"3\"\r\n"
            << "3 番目の動きの曲線が位置を -32768 から 32767 の範囲外（4, -33533）";
    }
    void refused_namesTheLineAndSegment()
    {
        QFETCH(QString, lines);
        QFETCH(QString, expected);
        QByteArray script;
        QString error;
        QVERIFY(!generate(lines, script, error));
        QVERIFY2(error.contains(expected), qPrintable(error));
        QVERIFY(script.isEmpty());
        // What the generation refuses of a chain that reads, its plan refuses in the same words: the
        // chain editor's 次へ refuses it a page earlier.
        Run run;
        if (runlog::parse(kHead + lines, run, nullptr)) {
            ChainPlan plan;
            QString planned;
            QVERIFY(!ChainPlan::make(run.chain, plan, &planned));
            QCOMPARE(planned, error);
        }
    }

    // The Bézier timing to full precision: every frame where a slow, exact solution (bisection in
    // long double) puts it, but where that solution lies within 1e-9 of a half.
    void bezierFrames_asTheExactSolution()
    {
        const auto cubic = [](long double p1, long double p2, long double s) {
            const long double r = 1 - s;
            return 3 * r * r * s * p1 + 3 * r * s * s * p2 + s * s * s;
        };
        const int curves[][4] = {{2500, 1000, 2500, 10000}, {4200, 0, 5800, 10000}, {6800, -6000, 3200, 16000},
                                 {0, 30000, 10000, -20000}, {10000, 0, 0, 10000}, {1, 29999, 9999, -19999}};
        int compared = 0;
        for (const auto &c : curves) {
            Segment s;
            s.x = 30000;
            s.y = -30000;
            s.curve = Segment::Curve::Bezier;
            s.bezier = {c[0], c[1], c[2], c[3]};
            const qint64 n = 1001;
            for (qint64 i = 1; i + 1 < n; ++i) {
                const long double t = (long double)i / (n - 1);
                long double low = 0;
                long double high = 1;
                for (int k = 0; k < 200; ++k) {
                    const long double mid = (low + high) / 2;
                    (cubic(c[0] / 10000.0L, c[2] / 10000.0L, mid) < t ? low : high) = mid;
                }
                const long double y = cubic(c[1] / 10000.0L, c[3] / 10000.0L, (low + high) / 2);
                const long double exactX = -1000 + 31000 * y;
                const long double exactY = 1000 - 31000 * y;
                qint64 x = 0;
                qint64 yy = 0;
                segmentPosition(s, -1000, 1000, i, n, x, yy);
                const auto nearHalf = [](long double v) { return std::fabs(v - std::floor(v) - 0.5L) < 1e-9L; };
                if (nearHalf(exactX) || nearHalf(exactY))
                    continue;
                QCOMPARE(x, qint64(std::llround(exactX)));
                QCOMPARE(yy, qint64(std::llround(exactY)));
                ++compared;
            }
        }
        QVERIFY(compared > 5900);
    }

    // Frames taken in order (and in strides, as the path view takes them) land where each frame
    // solved alone lands, to the bit: curves with exact halves, flat or steep starts and ends,
    // overshoots, the widest moves, few frames and many.
    void framesInOrder_asEachAlone()
    {
        const int curves[][4] = {{4200, 0, 5800, 10000}, {0, 0, 10000, 10000}, {0, 10000, 0, 10000},
                                 {10000, 0, 10000, 0},   {6800, -6000, 3200, 16000}, {0, 30000, 10000, -20000},
                                 {5000, 5000, 5000, 5000}, {1, 29999, 9999, -19999}};
        const struct { int fromX, fromY, x, y; } moves[] = {{0, 0, 7, -1}, {-32768, 32767, 32767, -32768}, {-1000, 1000, 30000, -30000}};
        for (const auto &c : curves) {
            for (const auto &move : moves) {
                for (const qint64 n : {3, 4, 101, 4096, 32767}) {
                    Segment s;
                    s.x = move.x;
                    s.y = move.y;
                    s.curve = Segment::Curve::Bezier;
                    s.bezier = {c[0], c[1], c[2], c[3]};
                    for (const qint64 stride : {1, 97}) {
                        SegmentFrames frames(s, move.fromX, move.fromY, n);
                        for (qint64 i = 0; i < n; i += stride) {
                            qint64 x = 0, y = 0, aloneX = 0, aloneY = 0;
                            frames.position(i, x, y);
                            segmentPosition(s, move.fromX, move.fromY, i, n, aloneX, aloneY);
                            if (x != aloneX || y != aloneY)
                                QFAIL(qPrintable(QStringLiteral("curve %1 %2 %3 %4, n %5, frame %6: (%7, %8), alone (%9, %10)")
                                                     .arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]).arg(n).arg(i)
                                                     .arg(x).arg(y).arg(aloneX).arg(aloneY)));
                        }
                    }
                }
            }
        }
    }

    // What the page writes reads back as the same chain, Bézier values in their shortest form.
    // The evenness check: what mixes, the words, and the suggestions, each of which steps evenly
    // when the engine computes it.
    void stepCheck_data()
    {
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<int>("motion");
        QTest::addColumn<int>("amount");
        QTest::addColumn<int>("curve");
        QTest::addColumn<QList<qint64>>("suggested");
        QTest::addColumn<QString>("words");
        const auto frames = int(Segment::Motion::Frames);
        const auto dots = int(Segment::Motion::DotsPerFrame);
        const auto linear = int(Segment::Curve::Linear);
        QTest::newRow("even") << 100 << 0 << frames << 26 << linear << QList<qint64>{} << QString();
        QTest::newRow("zero length") << 0 << 0 << frames << 40 << linear << QList<qint64>{} << QString();
        QTest::newRow("a jump") << 100 << 0 << frames << 2 << linear << QList<qint64>{} << QString();
        QTest::newRow("eased: not constant speed") << 100 << 0 << frames << 40 << int(Segment::Curve::EaseIn) << QList<qint64>{} << QString();
        QTest::newRow("uneven") << -100 << 0 << frames << 40 << linear << QList<qint64>{26, 51}
                                << QStringLiteral("100 ドットを 40 コマで動くと 2 と 3 ドットの歩みが混ざります。26 コマなら 4 ドットずつ、51 コマなら 2 ドットずつです。");
        QTest::newRow("diagonal") << 100 << 50 << frames << 40 << linear << QList<qint64>{26, 51}
                                  << QStringLiteral("横 100・縦 50 ドットを 40 コマで動くと 横 2 と 3・縦 1 と 2 ドットの歩みが混ざります。26 コマなら 横 4・縦 2 ドットずつ、51 コマなら 横 2・縦 1 ドットずつです。");
        QTest::newRow("diagonal, one axis mixes") << 78 << -100 << frames << 40 << linear << QList<qint64>{3}
                                                  << QStringLiteral("横 78・縦 100 ドットを 40 コマで動くと 縦 2 と 3 ドットの歩みが混ざります。3 コマなら 横 39・縦 50 ドットずつです。");
        QTest::newRow("dots a frame") << 100 << 0 << dots << 3 << linear << QList<qint64>{51, 26}
                                      << QStringLiteral("100 ドットを 1 コマ 3 ドット（35 コマ）で動くと 2 と 3 ドットの歩みが混ざります。1 コマ 2 ドット（51 コマ）か 4 ドット（26 コマ）ならそろいます。");
        QTest::newRow("more frames than dots") << 0 << 10 << frames << 40 << linear << QList<qint64>{11}
                                               << QStringLiteral("10 ドットを 40 コマで動くと 0 と 1 ドットの歩みが混ざります。11 コマなら 1 ドットずつです。");
        QTest::newRow("no common divisor") << 101 << 100 << frames << 40 << linear << QList<qint64>{}
                                           << QStringLiteral("横 101・縦 100 ドットを 40 コマで動くと 横 2 と 3・縦 2 と 3 ドットの歩みが混ざります。どのコマ数でも歩みはそろいません。そろえるには距離を見直してください。");
        QTest::newRow("at the frame limit") << 65535 << 0 << frames << 32768 << linear << QList<qint64>{21846}
                                            << QStringLiteral("65535 ドットを 32768 コマで動くと 2 と 3 ドットの歩みが混ざります。21846 コマなら 3 ドットずつです。");
        QTest::newRow("dots, up to the frame limit") << 65534 << 0 << dots << 3 << linear << QList<qint64>{32768, 9363}
                                                     << QStringLiteral("65534 ドットを 1 コマ 3 ドット（21846 コマ）で動くと 2 と 3 ドットの歩みが混ざります。1 コマ 2 ドット（32768 コマ）か 7 ドット（9363 コマ）ならそろいます。");
    }

    void stepCheck()
    {
        QFETCH(int, dx);
        QFETCH(int, dy);
        QFETCH(int, motion);
        QFETCH(int, amount);
        QFETCH(int, curve);
        QFETCH(QList<qint64>, suggested);
        QFETCH(QString, words);
        Chain chain;
        chain.startX = dx > 32767 ? -32768 : dx < 0 ? 32767 : 0;
        Segment s;
        s.x = chain.startX + dx;
        s.y = dy;
        s.motion = Segment::Motion(motion);
        s.amount = amount;
        s.curve = Segment::Curve(curve);
        chain.segments = {s};
        ChainPlan plan;
        QVERIFY(ChainPlan::make(chain, plan, nullptr));
        const StepCheck check = checkSteps(s, chain.startX, 0, plan.parts[0].moving);
        QCOMPARE(check.uneven, !words.isEmpty());
        QCOMPARE(stepCheckText(check, s.motion, amount), words);
        QList<qint64> offered;
        for (const StepCheck::Suggestion &suggestion : check.suggestions) {
            offered << suggestion.frames;
            // Taken, the suggestion steps evenly.
            Segment taken = s;
            taken.amount = suggestion.amount;
            Chain again = chain;
            again.segments = {taken};
            QVERIFY(ChainPlan::make(again, plan, nullptr));
            QCOMPARE(plan.parts[0].moving, suggestion.frames);
            QVERIFY(!checkSteps(taken, chain.startX, 0, suggestion.frames).uneven);
            qint64 x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            segmentPosition(taken, chain.startX, 0, 0, suggestion.frames, x0, y0);
            for (qint64 i = 1; i < suggestion.frames; ++i) {
                segmentPosition(taken, chain.startX, 0, i, suggestion.frames, x1, y1);
                QCOMPARE(qAbs(x1 - x0), suggestion.stepX);
                QCOMPARE(qAbs(y1 - y0), suggestion.stepY);
                x0 = x1;
                y0 = y1;
            }
        }
        QCOMPARE(offered, suggested);
    }

    // Every curve at t = 1/4, 1/2 and 3/4, exact (the values are dyadic), and the shakes' random
    // sequence from seed 1.
    void curves_andTheRandomSequence()
    {
        using C = Segment::Curve;
        const Bezier backOut{3400, 15600, 6400, 10000};
        const std::tuple<C, std::array<double, 3>> table[] = {
            {C::Linear, {0.25, 0.5, 0.75}},
            {C::EaseIn, {0.0625, 0.25, 0.5625}},
            {C::EaseOut, {0.4375, 0.75, 0.9375}},
            {C::EaseInOut, {0.15625, 0.5, 0.84375}},
            {C::BounceOut, {0.47265625, 0.765625, 0.97265625}},
            {C::BounceIn, {0.02734375, 0.234375, 0.52734375}},
            {C::BounceInOut, {0.1171875, 0.5, 0.8828125}},
        };
        for (const auto &[curve, shares] : table)
            for (int i = 1; i <= 3; ++i)
                QCOMPARE(curveShare(curve, {}, i, 4), shares[size_t(i - 1)]);
        // back-out overshoots past 1 on the way, as its name says.
        QVERIFY(curveShare(C::Bezier, backOut, 2, 4) > 1.0);
        quint32 state = 1;
        for (const quint32 expected : {270369u, 67634689u, 2647435461u, 307599695u})
            QCOMPARE(xorshift32(state), expected);
    }

    void chainLines_roundTrip()
    {
        Chain chain;
        chain.startX = -5;
        chain.startY = 7;
        chain.holdStart = 2;
        chain.background = Chain::Background::FirstFrame;
        Segment a;
        a.x = 100;
        a.y = -3;
        a.motion = Segment::Motion::Frames;
        a.amount = 12;
        a.curve = Segment::Curve::Bezier;
        a.bezier = {2500, -15000, 5800, 30000};
        a.hold = 1;
        Segment b;
        b.x = 0;
        b.y = 0;
        b.motion = Segment::Motion::Frames;
        b.amount = 3;
        b.curve = Segment::Curve::BounceIn;
        Segment c;
        c.x = 1000;
        c.y = 3;
        c.motion = Segment::Motion::Shake;
        c.amount = 60;
        c.curve = Segment::Curve::EaseOut;
        c.shake = {100, Shake::Decay::Quadratic, Shake::Pattern::Random, 4294967295u};
        chain.segments = {a, b, a, c};
        const QList<LogLine> lines = runlog::chainLines(chain);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0].size(), 14);
        QCOMPARE(lines[1].size(), 6);
        QCOMPARE(lines[2].size(), 10);
        QCOMPARE(lines[0][10].text, QStringLiteral("0.25"));
        QCOMPARE(lines[0][11].text, QStringLiteral("-1.5"));
        QCOMPARE(lines[0][13].text, QStringLiteral("3"));
        QCOMPARE(lines[1][4].text, QStringLiteral("7"));
        QCOMPARE(lines[3].size(), 10);
        QCOMPARE(lines[3][9].text, QStringLiteral("4294967295"));
        Chain read;
        QVERIFY(runlog::chainFromLines(lines, read, nullptr));
        QVERIFY(read == chain);
        // A shake first: its four values follow the background.
        Chain shaken = chain;
        shaken.segments = {c, b};
        const QList<LogLine> shakenLines = runlog::chainLines(shaken);
        QCOMPARE(shakenLines[0].size(), 14);
        QCOMPARE(shakenLines[0][10].text, QStringLiteral("100"));
        QVERIFY(runlog::chainFromLines(shakenLines, read, nullptr));
        QVERIFY(read == shaken);
        QVERIFY(runlog::holdsNewerMotion(shakenLines) && !runlog::holdsNewerMotion(runlog::chainLines(Chain{0, 0, 0, {}, {a}})));

        ChainPlan plan;
        QVERIFY(ChainPlan::make(chain, plan, nullptr));
        QCOMPARE(plan.parts.size(), 4);
        QCOMPARE(plan.parts[1].firstFrame, 2 + 12 + 1);
        QCOMPARE(plan.frames, (2 + 12 + 1) + (3 - 1) + (12 - 1 + 1) + (101 * 60));
        QCOMPARE(plan.parts[3].toX, plan.parts[3].fromX); // a shake ends where it began
        QCOMPARE(plan.held, 2 + 1 + 0 + 1);
        QCOMPARE(plan.moving + plan.held, plan.frames);
    }
};

QTEST_GUILESS_MAIN(TestChain)
#include "tst_chain.moc"
