#include "TestSupport.h"
#include "script/ScrollScript.h"

#include <QTest>

using namespace velra;
using namespace velra::test;

namespace {

// The worked example: scroll.bmp 100 x 50, back.bmp 640 x 480, window 640 x 480, direction 3 (left),
// step 10, alignment 1, end mode 3, two moves.
struct Settings
{
    QString file = QStringLiteral("scroll.bmp"), width = QStringLiteral("100"), height = QStringLiteral("50");
    QString back = QStringLiteral("back.bmp"), backWidth = QStringLiteral("640"), backHeight = QStringLiteral("480");
    QString windowWidth = QStringLiteral("640"), windowHeight = QStringLiteral("480");
    QString mode = QStringLiteral("1");
    QString direction = QStringLiteral("3"), step = QStringLiteral("10"), alignment = QStringLiteral("1");
    QString endMode = QStringLiteral("3"), moves = QStringLiteral("2");

    QList<LogValue> values() const
    {
        const auto t = [](const QString &s) { return LogValue::textValue(s); };
        const auto n = [](const QString &s) { return LogValue{LogValue::Kind::Number, s}; };
        return {t(file),  t(width), t(height), t(back),      t(backWidth), t(backHeight), t(windowWidth),
                t(windowHeight), n(mode), n(direction), t(step), n(alignment), n(endMode),
                moves.isEmpty() ? LogValue::empty() : t(moves)};
    }
};

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

Generated generate(const Settings &s)
{
    Generated g;
    g.ok = generateFromValues(s.values(), g.script, &g.progress, &g.error);
    return g;
}

QList<QByteArray> range(int from, int to, int step)
{
    QList<QByteArray> r;
    for (int v = from; step > 0 ? v <= to : v >= to; v += step)
        r.append(QByteArray::number(v));
    return r;
}


// A detailed-mode run: s.bmp 10 x 10 over b.bmp 64 x 48, the ten values of line 4 as given.
QList<LogValue> detailed(const QStringList &line4)
{
    const auto t = [](const char *v) { return LogValue::textValue(QString::fromLatin1(v)); };
    QList<LogValue> values{t("s.bmp"), t("10"), t("10"), t("b.bmp"), t("64"), t("48"), t("64"), t("48"), LogValue::number(2)};
    const QList<int> codes{4, 6, 9}; // MoveKind, Curve, BackgroundMode are bare codes
    for (int i = 0; i < line4.size(); ++i)
        values.append(codes.contains(i) ? LogValue{LogValue::Kind::Number, line4[i]} : LogValue::textValue(line4[i]));
    return values;
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
        const Generated g = generate(Settings());
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

    // End mode 1 lands on the window's edge: no frame one step past it (which would twitch back),
    // and a closing frame on the edge only when the steps do not reach it exactly.
    void endMode1_landsOnTheEdge_data()
    {
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::newRow("left, 10 divides 640") << "3" << "10" << range(640, 0, -10);
        QTest::newRow("left, 30 does not") << "3" << "30" << range(640, 10, -30) + QList<QByteArray>{"0"};
        QTest::newRow("right, 20 divides 100") << "4" << "20" << range(-100, 0, 20);
        QTest::newRow("right, 30 does not") << "4" << "30" << range(-100, -10, 30) + QList<QByteArray>{"0"};
        QTest::newRow("up, 20 divides 480") << "2" << "20" << range(480, 0, -20);
        QTest::newRow("up, 100 does not") << "2" << "100" << range(480, 80, -100) + QList<QByteArray>{"0"};
        QTest::newRow("down, 10 divides 50") << "1" << "10" << range(-50, 0, 10);
        QTest::newRow("down, 20 does not") << "1" << "20" << range(-50, -10, 20) + QList<QByteArray>{"0"};
        QTest::newRow("a step past the whole distance") << "3" << "1000" << QList<QByteArray>{"640", "0"};
    }
    void endMode1_landsOnTheEdge()
    {
        QFETCH(QString, direction);
        QFETCH(QString, step);
        QFETCH(QList<QByteArray>, expected);
        Settings s;
        s.direction = direction;
        s.step = step;
        s.endMode = QStringLiteral("1");
        s.moves.clear();
        const Generated g = generate(s);
        QVERIFY(g.ok);
        QCOMPARE(g.moving(direction.toInt() <= 2), expected);
        QCOMPARE(g.progress.values.last(), g.progress.maxima.last());
    }

    void endMode2_noRemainder_addsNoStep()
    {
        Settings s;
        s.endMode = QStringLiteral("2");
        const Generated g = generate(s);
        QCOMPARE(g.moving(false), range(640, -110, -10));
        QCOMPARE(g.progress.maxima, QList<int>{77});
    }

    void endMode2_withRemainder_addsOneWholeStep()
    {
        Settings s;
        s.direction = QStringLiteral("4");
        s.step = QStringLiteral("30");
        s.alignment = QStringLiteral("3");
        s.endMode = QStringLiteral("2");
        const Generated g = generate(s);
        QCOMPARE(g.moving(false), range(-100, 680, 30));
        QCOMPARE(g.positions().first()[1], QByteArray("430"));
        QCOMPARE(g.progress.maxima, QList<int>{29});
    }

    void downward_centre_oddDifference_writesHalf()
    {
        Settings s;
        s.width = QStringLiteral("101");
        s.direction = QStringLiteral("1");
        s.step = QStringLiteral("20");
        s.alignment = QStringLiteral("2");
        s.endMode = QStringLiteral("1");
        const Generated g = generate(s);
        QCOMPARE(g.moving(true), (QList<QByteArray>{"-50", "-30", "-10", "0"}));
        QCOMPARE(g.progress.maxima, QList<int>{6});
        for (const auto &p : g.positions())
            QCOMPARE(p[0], QByteArray("269.5"));
        QVERIFY(g.script.endsWith("/POS:269.5,0,101,50\""));
    }

    void upward_centre_endMode1()
    {
        Settings s;
        s.width = QStringLiteral("101");
        s.direction = QStringLiteral("2");
        s.step = QStringLiteral("20");
        s.alignment = QStringLiteral("2");
        s.endMode = QStringLiteral("1");
        const Generated g = generate(s);
        QCOMPARE(g.moving(true), range(480, 0, -20));
        QCOMPARE(g.progress.maxima, QList<int>{27});
    }

    void fixedCoordinate_halvesAndSigns_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("alignment");
        QTest::addColumn<QByteArray>("fixed");
        QTest::newRow("269.5") << "640" << "101" << "2" << QByteArray("269.5");
        QTest::newRow("-30.5") << "640" << "701" << "2" << QByteArray("-30.5");
        QTest::newRow("0.5") << "101" << "100" << "2" << QByteArray("0.5");
        QTest::newRow("-0.5") << "100" << "101" << "2" << QByteArray("-0.5");
        QTest::newRow("even: 270, not 270.0") << "640" << "100" << "2" << QByteArray("270");
        QTest::newRow("right edge, wider picture") << "640" << "700" << "3" << QByteArray("-60");
        QTest::newRow("any other alignment is 3") << "640" << "100" << "9" << QByteArray("540");
        QTest::newRow("leading zeros computed as value") << "0640" << "0100" << "3" << QByteArray("540");
    }

    void fixedCoordinate_halvesAndSigns()
    {
        QFETCH(QString, window);
        QFETCH(QString, picture);
        QFETCH(QString, alignment);
        QFETCH(QByteArray, fixed);
        Settings s;
        s.direction = QStringLiteral("1");
        s.windowWidth = window;
        s.width = picture;
        s.alignment = alignment;
        const Generated g = generate(s);
        QVERIFY2(g.ok, qPrintable(g.error));
        QCOMPARE(g.positions().first()[0], fixed);
        QCOMPARE(g.positions().first()[2], picture.toLatin1()); // the text is written unchanged
    }

    void moveCountZero_givesTwoFrames()
    {
        Settings s;
        s.moves = QStringLiteral("0");
        const Generated g = generate(s);
        QCOMPARE(g.moving(false), (QList<QByteArray>{"640", "630"}));
        QCOMPARE(g.progress.maxima, QList<int>{3});
    }

    void codesOutsideTheirRange_takeTheLastChoice()
    {
        Settings s;
        s.direction = QStringLiteral("7"); // right
        s.endMode = QStringLiteral("5");   // moves given
        const Generated g = generate(s);
        QCOMPARE(g.moving(false), (QList<QByteArray>{"-100", "-90", "-80", "-70"}));
    }

    void fieldsAreConvertedOnlyWhereUsed()
    {
        Settings s;
        s.direction = QStringLiteral("1");
        s.endMode = QStringLiteral("1");
        s.windowWidth = QStringLiteral("wide");  // alignment 1 of a vertical scroll does not use it
        s.windowHeight = QStringLiteral("high"); // nor does a downward end mode 1
        s.moves = QStringLiteral("many");       // end mode 1 ignores it
        s.backWidth = QStringLiteral("x");      // only ever copied
        s.mode = QStringLiteral("9");
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
        Settings s;
        if (field == QLatin1String("step"))
            s.step = value;
        else if (field == QLatin1String("moves"))
            s.moves = value;
        else if (field == QLatin1String("sum")) {
            s.endMode = QStringLiteral("2");
            s.windowWidth = value;
        } else {
            s.direction = QStringLiteral("1");
            s.alignment = QStringLiteral("3");
            s.windowWidth = value;
            s.width = QStringLiteral("32767");
        }
        const Generated g = generate(s);
        QVERIFY(!g.ok);
        QVERIFY2(g.error.contains(expected), qPrintable(g.error));
        QVERIFY(g.script.isEmpty());
        QVERIFY(g.progress.values.isEmpty());
    }

    void unencodableName_isRefused()
    {
        Settings s;
        s.file = QStringLiteral("😀.bmp");
        const Generated g = generate(s);
        QVERIFY(!g.ok);
        QVERIFY2(g.error.startsWith(QStringLiteral("スクロール画像のファイル名の 「😀.bmp」")), qPrintable(g.error));
    }

    void largestScript_hasEveryFrame()
    {
        Settings s;
        s.step = QStringLiteral("1");
        s.endMode = QStringLiteral("2");
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
        QVERIFY2(generateFromValues(detailed({move[0], "0", move[1], "0", "2", move[2], move[3], "0", "0", "3"}), script, nullptr, &error),
                 qPrintable(error));
        QCOMPARE(positions(script), expected);
    }

    void detailed_diagonalNegativeHoldsAndBackground_exactBytes()
    {
        QByteArray script;
        QString error;
        // From (-20, 30) to (4, -6) at most 12 dots a frame: the longest move is 36, so 4 frames.
        QVERIFY2(generateFromValues(detailed({"-20", "30", "4", "-6", "1", "12", "1", "1", "2", "1"}), script, nullptr, &error), qPrintable(error));
        QCOMPARE(positions(script), (QStringList{"-20,30", "-20,30", "-12,18", "-4,6", "4,-6", "4,-6", "4,-6"}));
        const QByteArray bg = "Graphic \"b.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,64,48\"";
        const auto pic = [](const char *xy) {
            return QByteArray("Graphic \"s.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:") + xy + ",10,10\"";
        };
        QCOMPARE(script.left(bg.size() + 2 + pic("-20,30").size()), bg + "\r\n" + pic("-20,30"));
        QVERIFY(script.endsWith(bg + "\r\n" + pic("4,-6")));
        QCOMPARE(script.count("b.bmp"), 7);

        // The background once, or never.
        QVERIFY(generateFromValues(detailed({"0", "0", "3", "0", "1", "1", "1", "0", "0", "2"}), script, nullptr, &error));
        QCOMPARE(script, bg + "\r\n" + pic("0,0") + "\r\n" + pic("1,0") + "\r\n" + pic("2,0") + "\r\n" + pic("3,0"));
        QVERIFY(generateFromValues(detailed({"0", "0", "3", "0", "1", "1", "1", "0", "0", "3"}), script, nullptr, &error));
        QCOMPARE(script, pic("0,0") + "\r\n" + pic("1,0") + "\r\n" + pic("2,0") + "\r\n" + pic("3,0"));
    }

    // The smallest count that moves no more than the given dots a frame; one frame when the start
    // is the end.
    void detailed_smallestCountRule()
    {
        QByteArray script;
        QString error;
        QVERIFY(generateFromValues(detailed({"0", "0", "10", "3", "1", "4", "1", "0", "0", "3"}), script, nullptr, &error));
        QCOMPARE(positions(script), (QStringList{"0,0", "3,1", "7,2", "10,3"})); // ceil(10 / 4) + 1
        QVERIFY(generateFromValues(detailed({"0", "0", "12", "0", "1", "4", "1", "0", "0", "3"}), script, nullptr, &error));
        QCOMPARE(positions(script).size(), 4); // 12 / 4 exactly: 3 steps of 4
        QVERIFY(generateFromValues(detailed({"5", "5", "5", "5", "1", "4", "1", "0", "0", "3"}), script, nullptr, &error));
        QCOMPARE(positions(script), QStringList{"5,5"});
        QVERIFY(generateFromValues(detailed({"5", "5", "9", "9", "2", "1", "1", "0", "0", "3"}), script, nullptr, &error));
        QCOMPARE(positions(script), QStringList{"5,5"}); // one frame: the start
    }

    void detailed_damagedRecords_areRefusedClearly_data()
    {
        QTest::addColumn<QStringList>("line4");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing values") << QStringList{"0", "0", "10"} << QStringLiteral("値が足りません（19 個必要ですが、12 個しかありません）");
        QTest::newRow("not a number") << QStringList{"0", "x", "10", "0", "1", "1", "1", "0", "0", "1"} << QStringLiteral("開始位置の y 座標の値「x」は整数ではありません");
        QTest::newRow("out of 16 bits") << QStringList{"0", "0", "40000", "0", "1", "1", "1", "0", "0", "1"} << QStringLiteral("終了位置の x 座標の値「40000」は -32768 から 32767");
        QTest::newRow("no dots") << QStringList{"0", "0", "10", "0", "1", "0", "1", "0", "0", "1"} << QStringLiteral("1コマに動かすドット数の値「0」");
        QTest::newRow("curve 6") << QStringList{"0", "0", "10", "0", "1", "1", "6", "0", "0", "1"} << QStringLiteral("速さの変化の値「6」は 1 から 5 の範囲外");
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
        QVERIFY(!generateFromValues(detailed(line4), script, nullptr, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
        QVERIFY(script.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestScrollScript)
#include "tst_scrollscript.moc"
