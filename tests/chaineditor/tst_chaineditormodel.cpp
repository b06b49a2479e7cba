#include "chaineditor/ChainEditorModel.h"

#include <QTest>

using namespace velra;

namespace {

// A one-move chain from (0, 0) to (x, y), moving over `frames` frames (or `dots` a frame).
ChainEditorModel oneMove(const QString &x, const QString &y, const char *frames, const char *dots = nullptr)
{
    ChainEditorModel model;
    Run first;
    first.lines = 3;
    model.setFirstLines(first);
    ChainEdit &e = model.edit();
    e.startX = e.startY = QStringLiteral("0");
    e.holdStart = QStringLiteral("0");
    ChainRow row;
    row.x = x;
    row.y = y;
    row.motion = dots ? Segment::Motion::DotsPerFrame : Segment::Motion::Frames;
    if (dots)
        row.dots = QString::fromLatin1(dots);
    else
        row.frames = QString::fromLatin1(frames);
    e.rows = {row};
    return model;
}

} // namespace

class TestChainEditorModel : public QObject
{
    Q_OBJECT

private slots:
    // What the page says of the chosen move, and the buttons it offers: each rule once, here.
    void findings_wordsMarksAndSuggestions()
    {
        const struct
        {
            const char *x;
            const char *frames;
            const char *dots;
            const char *mark;
            const char *words;
            QList<std::pair<QString, QString>> suggestions;
        } cases[] = {
            {"100", "40", nullptr, "！", "100 ドットを 40 コマで動くと 2 と 3 ドットの歩みが混ざります。26 コマなら 4 ドットずつ、51 コマなら 2 ドットずつです。",
             {{QStringLiteral("26 コマにする"), QStringLiteral("26")}, {QStringLiteral("51 コマにする"), QStringLiteral("51")}}},
            {"100", "51", nullptr, "", "", {}},
            {"100", nullptr, "3", "！", "100 ドットを 1 コマ 3 ドット（35 コマ）で動くと 2 と 3 ドットの歩みが混ざります。1 コマ 2 ドット（51 コマ）か 4 ドット（26 コマ）ならそろいます。",
             {{QStringLiteral("1 コマ 2 ドットにする"), QStringLiteral("2")}, {QStringLiteral("1 コマ 4 ドットにする"), QStringLiteral("4")}}},
            {"100", "1", nullptr, "・", "この動きは 1 コマで、動きません。", {}},
            {"100", "2", nullptr, "・", "この動きは 2 コマで、目標へ飛び移ります。", {}},
        };
        for (const auto &c : cases) {
            const ChainFindings found = oneMove(QString::fromLatin1(c.x), QStringLiteral("0"), c.frames, c.dots).findings();
            QVERIFY2(found.valid, qPrintable(found.problem));
            QCOMPARE(found.rows.size(), 1);
            QCOMPARE(found.rows[0].mark, QString::fromUtf8(c.mark));
            QCOMPARE(found.words, QString::fromUtf8(c.words));
            if (!c.suggestions.isEmpty())
                QCOMPARE(found.suggestions.constLast(), c.suggestions.constLast());
            QCOMPARE(found.suggestions.size(), c.suggestions.size());
        }
    }

    // Another move's unevenness is pointed at from the chosen one; a refused value replaces the
    // words, the counts and the total.
    void findings_otherMovesAndRefusals()
    {
        ChainEditorModel model = oneMove(QStringLiteral("100"), QStringLiteral("0"), "40");
        QCOMPARE(model.addAfterCurrent(), 1);
        model.rows()[1].y = QStringLiteral("100");
        model.rows()[1].frames = QStringLiteral("11");
        ChainFindings found = model.findings();
        QCOMPARE(found.words, QStringLiteral("1 番目の動きは歩みがそろっていません（！の行）。"));
        QCOMPARE(found.frameCount, QStringLiteral("全 50 コマ（動き 50・止め 0）"));
        QCOMPARE(found.rows[1].target, QStringLiteral("100, 100"));

        model.rows()[1].x = QStringLiteral("-40000");
        found = model.findings();
        QVERIFY(!found.valid);
        QCOMPARE(found.words, QStringLiteral("2 番目の動きの目標の x 座標の値「-40000」は -32768 から 32767 の範囲外です。"));
        QCOMPARE(found.frameCount, QStringLiteral("全 － コマ（値を直してください）"));
        QCOMPARE(found.rows[0].frames, QStringLiteral("－"));
        QVERIFY(found.rows[0].mark.isEmpty() && found.suggestions.isEmpty());
    }

    // The new move starts where the chosen one stops, without its hold; the last move stays.
    void rowOperations()
    {
        ChainEditorModel model = oneMove(QStringLiteral("100"), QStringLiteral("0"), "40");
        model.rows()[0].hold = QStringLiteral("5");
        QCOMPARE(model.removeCurrent(), -1);
        QCOMPARE(model.moveCurrent(1), -1);
        QCOMPARE(model.moveCurrent(-1), -1);
        QCOMPARE(model.addAfterCurrent(), 1);
        QCOMPARE(model.rows()[1].x, QStringLiteral("100"));
        QCOMPARE(model.rows()[1].hold, QStringLiteral("0"));
        model.rows()[1].x = QStringLiteral("7");
        QCOMPARE(model.moveCurrent(-1), 0);
        QCOMPARE(model.rows()[0].x, QStringLiteral("7"));
        QCOMPARE(model.removeCurrent(), 0);
        QCOMPARE(model.rows()[0].x, QStringLiteral("100"));
        QCOMPARE(model.rows().size(), 1);
        while (model.addAfterCurrent() >= 0) {
        }
        QCOMPARE(model.rows().size(), qsizetype(kMaxSegments));
    }

    // The curve drawn is the chain's: four decimals, and nothing while an x has no curve.
    void drawableBezier_asTheChainKeepsIt()
    {
        const auto of = [](const char *a, const char *b, const char *c, const char *d) {
            return drawableBezier({QString::fromLatin1(a), QString::fromLatin1(b), QString::fromLatin1(c), QString::fromLatin1(d)});
        };
        QCOMPARE(of("0.25", "0.1", "0.25", "1"), std::optional<Bezier>(Bezier{2500, 1000, 2500, 10000}));
        QCOMPARE(of("0", "-2", "1", "3"), std::optional<Bezier>(Bezier{0, -20000, 10000, 30000}));
        QCOMPARE(of("1.5", "0", "0.5", "1"), std::optional<Bezier>());
        QCOMPARE(of("0.5", "", "0.5", "1"), std::optional<Bezier>());
    }
};

QTEST_GUILESS_MAIN(TestChainEditorModel)
#include "tst_chaineditormodel.moc"
