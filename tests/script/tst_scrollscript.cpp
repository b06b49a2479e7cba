#include "TestSupport.h"
#include "script/ScrollScript.h"

#include <QTest>

using namespace velra;
using namespace velra::test;

namespace {

class Recorder final : public GenerationProgress
{
public:
    void setMaximum(int maximum) override { maxima.append(maximum); }
    void setValue(int frameIndex) override { values.append(frameIndex); }
    QList<int> maxima;
    QList<int> values;
};

struct Generated
{
    bool ok = false;
    QByteArray script;
    QString error;
    Recorder progress;

    QList<QByteArray> lines() const { return script.split('\n'); }
    // The "/POS:" numbers of every picture line, as texts: x, y, width, height.
    QList<QList<QByteArray>> positions() const
    {
        QList<QList<QByteArray>> result;
        const QList<QByteArray> all = script.split('\n');
        for (qsizetype i = 1; i < all.size(); i += 2) {
            QByteArray line = all[i].trimmed();
            const qsizetype pos = line.indexOf("/POS:");
            result.append(line.mid(pos + 5, line.size() - pos - 6).split(','));
        }
        return result;
    }
    QList<QByteArray> moving(bool vertical) const
    {
        QList<QByteArray> result;
        for (const auto &p : positions())
            result.append(p[vertical ? 1 : 0]);
        return result;
    }
};

Generated generate(const Run &run)
{
    Generated g;
    g.ok = generateScript(run, g.script, &g.progress, &g.error);
    return g;
}

QList<QByteArray> range(int from, int to, int step)
{
    QList<QByteArray> r;
    for (int v = from; step > 0 ? v <= to : v >= to; v += step)
        r.append(QByteArray::number(v));
    return r;
}


// The script of a detailed run of s.bmp 10 x 10 over b.bmp 64 x 48, line 4's ten values as given,
// read as the log reader reads them.
bool generateDetailed(const QStringList &line4, QByteArray &script, QString *error)
{
    QStringList values = line4;
    for (const int i : {0, 1, 2, 3, 5, 7, 8}) // MoveKind, Curve and BackgroundMode are bare codes
        if (i < values.size())
            values[i] = QLatin1Char('"') + values[i] + QLatin1Char('"');
    Run run;
    RunError problem;
    if (runlog::parse(QStringLiteral("\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n2\r\n") + values.join(QLatin1Char(',')),
                      run, &problem))
        return generateScript(run, script, nullptr, error);
    *error = problem.message;
    return false;
}

// The picture lines' positions of a detailed script, "x,y" each.
QStringList positions(const QByteArray &script)
{
    QStringList out;
    for (const QByteArray &line : script.split('\n')) {
        if (line.contains("\"s.bmp\"")) {
            const qsizetype at = line.indexOf("/POS:") + 5;
            const QList<QByteArray> parts = line.mid(at).split(',');
            out.append(QString::fromLatin1(parts[0] + ',' + parts[1]));
        }
    }
    return out;
}

} // namespace

class TestScrollScript : public QObject
{
    Q_OBJECT

private slots:
    void workedExample_byteForByte()
    {
        const Generated g = generate(simpleRun());
        QVERIFY(g.ok);
        const QByteArray back = "Graphic \"back.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,640,480\"";
        const auto pic = [](int x) {
            return "Graphic \"scroll.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:" + QByteArray::number(x) + ",0,100,50\"";
        };
        QCOMPARE(g.script, back + "\r\n" + pic(640) + "\r\n" + back + "\r\n" + pic(630) + "\r\n" + back + "\r\n"
                     + pic(620) + "\r\n" + back + "\r\n" + pic(610));
        QCOMPARE(g.progress.maxima, QList<int>{5});
        QCOMPARE(g.progress.values, (QList<int>{0, 1, 2, 3, 5})); // full when done
    }

    // Where the picture moves, by direction, step, alignment, end mode and moves. End mode 1 lands on
    // the window's edge: no frame one step past it (which would twitch back), and a closing frame on
    // the edge only when the steps do not reach it exactly. Codes outside their range take the last
    // choice. `maximum` is the progress bar's (-1: not checked), which ends full.
    void simple_movingCoordinate_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("endMode");
        QTest::addColumn<QString>("moves");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::addColumn<int>("maximum");
        const auto edge = [](const char *name, int direction, const char *step, QList<QByteArray> expected) {
            QTest::newRow(name) << direction << QString::fromLatin1(step) << 1 << 1 << QString() << QStringLiteral("100") << expected << -1;
        };
        edge("end 1: left, 10 divides 640", 3, "10", range(640, 0, -10));
        edge("end 1: left, 30 does not", 3, "30", range(640, 10, -30) + QList<QByteArray>{"0"});
        edge("end 1: right, 20 divides 100", 4, "20", range(-100, 0, 20));
        edge("end 1: right, 30 does not", 4, "30", range(-100, -10, 30) + QList<QByteArray>{"0"});
        edge("end 1: up, 20 divides 480", 2, "20", range(480, 0, -20));
        edge("end 1: up, 100 does not", 2, "100", range(480, 80, -100) + QList<QByteArray>{"0"});
        edge("end 1: down, 10 divides 50", 1, "10", range(-50, 0, 10));
        edge("end 1: down, 20 does not", 1, "20", range(-50, -10, 20) + QList<QByteArray>{"0"});
        edge("end 1: a step past the whole distance", 3, "1000", QList<QByteArray>{"640", "0"});
        QTest::newRow("end 2, no remainder: no step more") << 3 << "10" << 1 << 2 << "2" << "100" << range(640, -110, -10) << 77;
        QTest::newRow("end 2, a remainder: one whole step more") << 4 << "30" << 3 << 2 << "2" << "100" << range(-100, 680, 30) << 29;
        QTest::newRow("down, centred, odd difference") << 1 << "20" << 2 << 1 << "2" << "101" << QList<QByteArray>{"-50", "-30", "-10", "0"} << 6;
        QTest::newRow("up, centred, end 1") << 2 << "20" << 2 << 1 << "2" << "101" << range(480, 0, -20) << 27;
        QTest::newRow("move count 0: two frames") << 3 << "10" << 1 << 3 << "0" << "100" << QList<QByteArray>{"640", "630"} << 3;
        QTest::newRow("direction 7 is right, end 5 is moves") << 7 << "10" << 1 << 5 << "2" << "100" << QList<QByteArray>{"-100", "-90", "-80", "-70"} << -1;
    }
    void simple_movingCoordinate()
    {
        QFETCH(int, direction);
        QFETCH(QString, step);
        QFETCH(int, alignment);
        QFETCH(int, endMode);
        QFETCH(QString, moves);
        QFETCH(QString, width);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(int, maximum);
        Run run = simpleRun();
        run.simple = {direction, step, alignment, endMode, moves};
        run.scroll.width = width;
        const Generated g = generate(run);
        QVERIFY2(g.ok, qPrintable(g.error));
        QCOMPARE(g.moving(direction == 1 || direction == 2), expected);
        if (maximum >= 0)
            QCOMPARE(g.progress.maxima, QList<int>{maximum});
        QCOMPARE(g.progress.values.last(), g.progress.maxima.last());
    }

    void fixedCoordinate_halvesAndSigns_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QByteArray>("fixed");
        QTest::newRow("269.5") << "640" << "101" << 2 << QByteArray("269.5");
        QTest::newRow("-30.5") << "640" << "701" << 2 << QByteArray("-30.5");
        QTest::newRow("0.5") << "101" << "100" << 2 << QByteArray("0.5");
        QTest::newRow("-0.5") << "100" << "101" << 2 << QByteArray("-0.5");
        QTest::newRow("even: 270, not 270.0") << "640" << "100" << 2 << QByteArray("270");
        QTest::newRow("right edge, wider picture") << "640" << "700" << 3 << QByteArray("-60");
        QTest::newRow("any other alignment is 3") << "640" << "100" << 9 << QByteArray("540");
        QTest::newRow("leading zeros computed as value") << "0640" << "0100" << 3 << QByteArray("540");
    }

    void fixedCoordinate_halvesAndSigns()
    {
        QFETCH(QString, window);
        QFETCH(QString, picture);
        QFETCH(int, alignment);
        QFETCH(QByteArray, fixed);
        Run s = simpleRun();
        s.simple.direction = 1;
        s.windowWidth = window;
        s.scroll.width = picture;
        s.simple.alignment = alignment;
        const Generated g = generate(s);
        QVERIFY2(g.ok, qPrintable(g.error));
        QCOMPARE(g.positions().first()[0], fixed);
        QCOMPARE(g.positions().first()[2], picture.toLatin1()); // the text is written unchanged
    }

    void fieldsAreConvertedOnlyWhereUsed()
    {
        Run s = simpleRun();
        s.simple.direction = 1;
        s.simple.endMode = 1;
        s.windowWidth = QStringLiteral("wide");  // alignment 1 of a vertical scroll does not use it
        s.windowHeight = QStringLiteral("high"); // nor does a downward end mode 1
        s.simple.moves = QStringLiteral("many"); // end mode 1 ignores it
        s.background.width = QStringLiteral("x"); // only ever copied
        const Generated g = generate(s);
        QVERIFY2(g.ok, qPrintable(g.error));
        QVERIFY(g.script.startsWith("Graphic \"back.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,x,480\"\r\n"));
        QVERIFY(!g.script.endsWith("\r\n"));
    }

    void failures_nameTheValue_andWriteNothing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("step 0") << "step" << "0" << QStringLiteral("スクロールの間隔が 0 です");
        QTest::newRow("negative step") << "step" << "-3" << QStringLiteral("負の値（-3）");
        QTest::newRow("not a number") << "step" << "abc" << QStringLiteral("「abc」は整数ではありません");
        QTest::newRow("spaces") << "step" << " 5" << QStringLiteral("整数ではありません");
        QTest::newRow("beyond 16 bits") << "step" << "32768" << QStringLiteral("-32768 から 32767");
        QTest::newRow("product") << "moves" << "3277" << QStringLiteral("の積 32770");
        QTest::newRow("sum") << "sum" << "32700" << QStringLiteral("の和 32800");
        QTest::newRow("difference") << "difference" << "-2" << QStringLiteral("を引いた差 -32769");
        QTest::newRow("empty move count") << "moves" << "" << QStringLiteral("移動回数が空です");
    }

    void failures_nameTheValue_andWriteNothing()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        Run s = simpleRun();
        if (field == QLatin1String("step"))
            s.simple.step = value;
        else if (field == QLatin1String("moves"))
            s.simple.moves = value;
        else if (field == QLatin1String("sum")) {
            s.simple.endMode = 2;
            s.windowWidth = value;
        } else {
            s.simple.direction = 1;
            s.simple.alignment = 3;
            s.windowWidth = value;
            s.scroll.width = QStringLiteral("32767");
        }
        const Generated g = generate(s);
        QVERIFY(!g.ok);
        QVERIFY2(g.error.contains(expected), qPrintable(g.error));
        QVERIFY(g.script.isEmpty());
        QVERIFY(g.progress.values.isEmpty());
    }

    void unencodableName_isRefused()
    {
        Run s = simpleRun();
        s.scroll.file = QStringLiteral("😀.bmp");
        const Generated g = generate(s);
        QVERIFY(!g.ok);
        QVERIFY2(g.error.startsWith(QStringLiteral("スクロール画像のファイル名の 「😀.bmp」")), qPrintable(g.error));
    }

    void largestScript_hasEveryFrame()
    {
        Run s = simpleRun();
        s.simple.step = QStringLiteral("1");
        s.simple.endMode = 2;
        s.windowWidth = QStringLiteral("32667");
        const Generated g = generate(s);
        QVERIFY(g.ok);
        QCOMPARE(g.positions().size(), 32769);
        QCOMPARE(g.progress.values.size(), 32770);
        QCOMPARE(g.progress.values.last(), 32770);
        QCOMPARE(g.progress.maxima, QList<int>{32770});
        QVERIFY(g.script.endsWith("\"/POS:-101,0,100,50\""));
    }

    // Each curve, exactly: frame i of n at start + (end - start) * c(i / (n - 1)), the position
    // itself rounded with an exact half away from zero (not the offset from the start).
    void detailed_curves_exactPositions_data()
    {
        QTest::addColumn<QStringList>("move"); // start x, end x, frames, curve
        QTest::addColumn<QStringList>("expected");
        // 0 -> 10 in 5 frames (t = 0, 1/4, 1/2, 3/4, 1)
        QTest::newRow("constant") << QStringList{"0", "10", "5", "1"} << QStringList{"0,0", "3,0", "5,0", "8,0", "10,0"}; // 2.5 -> 3, 7.5 -> 8
        QTest::newRow("slow start") << QStringList{"0", "10", "5", "2"} << QStringList{"0,0", "1,0", "3,0", "6,0", "10,0"}; // 0.625 2.5 5.625
        QTest::newRow("slow end") << QStringList{"0", "10", "5", "3"} << QStringList{"0,0", "4,0", "8,0", "9,0", "10,0"}; // 4.375 7.5 9.375
        QTest::newRow("slow start and end") << QStringList{"0", "10", "5", "4"} << QStringList{"0,0", "2,0", "5,0", "8,0", "10,0"}; // 1.5625 5 8.4375
        // 300 -> -640 in 9 frames: 182.5 is 183, 65 exact, -52.5 is -53, -405 exact, -522.5 is -523
        QTest::newRow("leftwards, halves above and below zero")
            << QStringList{"300", "-640", "9", "1"}
            << QStringList{"300,0", "183,0", "65,0", "-53,0", "-170,0", "-288,0", "-405,0", "-523,0", "-640,0"};
        // -10 -> 0 in 5 frames: -7.5 is -8, -2.5 is -3 (the offsets 2.5 and 7.5 would give -7 and -2)
        QTest::newRow("rightwards from below zero") << QStringList{"-10", "0", "5", "1"} << QStringList{"-10,0", "-8,0", "-5,0", "-3,0", "0,0"};
    }

    void detailed_curves_exactPositions()
    {
        QFETCH(QStringList, move);
        QFETCH(QStringList, expected);
        QByteArray script;
        QString error;
        QVERIFY2(generateDetailed({move[0], "0", move[1], "0", "2", move[2], move[3], "0", "0", "3"}, script, &error),
                 qPrintable(error));
        QCOMPARE(positions(script), expected);
    }

    void detailed_diagonalNegativeHoldsAndBackground_exactBytes()
    {
        QByteArray script;
        QString error;
        // From (-20, 30) to (4, -6) at most 12 dots a frame: the longest move is 36, so 4 frames.
        QVERIFY2(generateDetailed({"-20", "30", "4", "-6", "1", "12", "1", "1", "2", "1"}, script, &error), qPrintable(error));
        QCOMPARE(positions(script), (QStringList{"-20,30", "-20,30", "-12,18", "-4,6", "4,-6", "4,-6", "4,-6"}));
        const QByteArray bg = "Graphic \"b.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,64,48\"";
        const auto pic = [](const char *xy) {
            return QByteArray("Graphic \"s.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:") + xy + ",10,10\"";
        };
        QCOMPARE(script.left(bg.size() + 2 + pic("-20,30").size()), bg + "\r\n" + pic("-20,30"));
        QVERIFY(script.endsWith(bg + "\r\n" + pic("4,-6")));
        QCOMPARE(script.count("b.bmp"), 7);

        // The background once, or never.
        QVERIFY(generateDetailed({"0", "0", "3", "0", "1", "1", "1", "0", "0", "2"}, script, &error));
        QCOMPARE(script, bg + "\r\n" + pic("0,0") + "\r\n" + pic("1,0") + "\r\n" + pic("2,0") + "\r\n" + pic("3,0"));
        QVERIFY(generateDetailed({"0", "0", "3", "0", "1", "1", "1", "0", "0", "3"}, script, &error));
        QCOMPARE(script, pic("0,0") + "\r\n" + pic("1,0") + "\r\n" + pic("2,0") + "\r\n" + pic("3,0"));
    }

    // The smallest count that moves no more than the given dots a frame; one frame when the start
    // is the end.
    void detailed_smallestCountRule()
    {
        QByteArray script;
        QString error;
        QVERIFY(generateDetailed({"0", "0", "10", "3", "1", "4", "1", "0", "0", "3"}, script, &error));
        QCOMPARE(positions(script), (QStringList{"0,0", "3,1", "7,2", "10,3"})); // ceil(10 / 4) + 1
        QVERIFY(generateDetailed({"0", "0", "12", "0", "1", "4", "1", "0", "0", "3"}, script, &error));
        QCOMPARE(positions(script).size(), 4); // 12 / 4 exactly: 3 steps of 4
        QVERIFY(generateDetailed({"5", "5", "5", "5", "1", "4", "1", "0", "0", "3"}, script, &error));
        QCOMPARE(positions(script), QStringList{"5,5"});
        QVERIFY(generateDetailed({"5", "5", "9", "9", "2", "1", "1", "0", "0", "3"}, script, &error));
        QCOMPARE(positions(script), QStringList{"5,5"}); // one frame: the start
    }

    void detailed_damagedRecords_areRefusedClearly_data()
    {
        QTest::addColumn<QStringList>("line4");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing values") << QStringList{"0", "0", "10"} << QStringLiteral("値が足りません（19 個必要ですが、12 個しかありません）");
        QTest::newRow("not a number") << QStringList{"0", "x", "10", "0", "1", "1", "1", "0", "0", "1"} << QStringLiteral("開始位置の y 座標の値「x」は整数ではありません");
        QTest::newRow("out of 16 bits") << QStringList{"0", "0", "40000", "0", "1", "1", "1", "0", "0", "1"} << QStringLiteral("終了位置の x 座標の値「40000」は -32768 から 32767");
        QTest::newRow("no dots") << QStringList{"0", "0", "10", "0", "1", "0", "1", "0", "0", "1"} << QStringLiteral("1コマ平均のドット数の値「0」");
        QTest::newRow("curve 9") << QStringList{"0", "0", "10", "0", "1", "1", "9", "0", "0", "1"} << QStringLiteral("速さの変化の値「9」は 1 から 8 の範囲外");
        QTest::newRow("curve 5 without its values") << QStringList{"0", "0", "10", "0", "1", "1", "5", "0", "0", "1"} << QStringLiteral("曲線の値が足りません");
        QTest::newRow("negative hold") << QStringList{"0", "0", "10", "0", "1", "1", "1", "-1", "0", "1"} << QStringLiteral("最初に止めるコマ数");
        QTest::newRow("too many frames") << QStringList{"-32768", "0", "32767", "0", "1", "1", "1", "0", "0", "1"} << QStringLiteral("32768 コマまで");
    }

    void detailed_damagedRecords_areRefusedClearly()
    {
        QFETCH(QStringList, line4);
        QFETCH(QString, expected);
        QByteArray script;
        QString error;
        QVERIFY(!generateDetailed(line4, script, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
        QVERIFY(script.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestScrollScript)
#include "tst_scrollscript.moc"
