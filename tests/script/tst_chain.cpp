#include "TestSupport.h"
#include "handoff/Run.h"
#include "script/ScrollScript.h"

#include <QTest>

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
        QTest::newRow("trailing blank lines") << first + "\"4\",\"6\",2,\"2\",1,\"0\"\r\n\r\n  \r\n" << "0,0 2,0 4,0 4,6";
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
        QTest::newRow("motion 3") << first + "\"1\",\"0\",3,\"1\",1,\"0\"\r\n" << "5 行目（2 番目の動き）の動かし方の値「3」は 1 から 2 の範囲外";
        QTest::newRow("curve 6") << first + "\"1\",\"0\",1,\"1\",6,\"0\"\r\n" << "速さの変化の値「6」は 1 から 5 の範囲外";
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
    }

    // What the page writes reads back as the same chain, Bézier values in their shortest form.
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
        b.curve = Segment::Curve::EaseInOut;
        chain.segments = {a, b, a};
        const QList<LogLine> lines = runlog::chainLines(chain);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0].size(), 14);
        QCOMPARE(lines[1].size(), 6);
        QCOMPARE(lines[2].size(), 10);
        QCOMPARE(lines[0][10].text, QStringLiteral("0.25"));
        QCOMPARE(lines[0][11].text, QStringLiteral("-1.5"));
        QCOMPARE(lines[0][13].text, QStringLiteral("3"));
        Chain read;
        QVERIFY(runlog::chainFromLines(lines, read, nullptr));
        QVERIFY(read == chain);

        ChainPlan plan;
        QVERIFY(ChainPlan::make(chain, plan, nullptr));
        QCOMPARE(plan.parts.size(), 3);
        QCOMPARE(plan.parts[1].firstFrame, 2 + 12 + 1);
        QCOMPARE(plan.frames, (2 + 12 + 1) + (3 - 1) + (12 - 1 + 1));
        QCOMPARE(plan.held, 2 + 1 + 0 + 1);
        QCOMPARE(plan.moving + plan.held, plan.frames);
    }
};

QTEST_GUILESS_MAIN(TestChain)
#include "tst_chain.moc"
