#include "WizardFixture.h"
#include "chaineditor/ChainEditorModel.h"
#include "handoff/LastRun.h"
#include "handoff/ScriptBuffer.h"
#include "preview/PathPreview.h"
#include "script/ScrollScript.h"
#include "text/Shown.h"

#include <QComboBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTreeWidget>

using namespace velra;
using namespace velra::test;

namespace {

const QByteArray kHead = "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n";

struct EditorFixture : WizardFixture
{
    Page *page = nullptr;

    explicit EditorFixture(const QByteArray &head = kHead)
    {
        writeAll(files.settingsLog(), head);
        page = wizard->show(PageId::Form6);
    }

    QLineEdit *box(int n) const { return child<QLineEdit>(page, QStringLiteral("Text%1").arg(n)); }
    void set(int n, const QString &text) const { box(n)->setText(text); }
    QString label(int n) const { return child<QLabel>(page, QStringLiteral("Label%1").arg(n))->text(); }
    QTreeWidget *list() const { return child<QTreeWidget>(page, QStringLiteral("List1")); }
    QComboBox *curve() const { return child<QComboBox>(page, QStringLiteral("Combo1")); }
    // The list as rows of "target motion curve hold frames mark".
    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i) {
            QStringList cells;
            for (int c = 1; c < list()->columnCount(); ++c)
                cells << list()->topLevelItem(i)->text(c);
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
    QByteArray record() const { return log().mid(kHead.size()); }
};

QWidget *focused()
{
    return QApplication::focusWidget();
}

// Types into the box that has the focus, over what it holds.
void typeOver(const QString &text)
{
    QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(focused(), text);
}

void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(focused(), k, modifiers);
}

} // namespace

class TestChainEditor : public QObject
{
    Q_OBJECT

private slots:
    // What a Japanese input method commits: full-width digits, point and minus signs are the half-width ones (no minus in a count).
    void fullWidthInput_isTakenAsHalfWidth()
    {
        EditorFixture f;
        f.curve()->setCurrentIndex(4); // カスタム: the curve's boxes take values
        for (const auto &[box, input, shown] : {std::tuple{1, "６４０", "640"}, std::tuple{3, "－３００", "-300"}, std::tuple{4, "−１２", "-12"}, std::tuple{1, "ー５", "-5"},
                                                std::tuple{8, "－１", ""}, std::tuple{9, "０．２５", "0.25"}, std::tuple{1, "１ａ", ""}}) {
            f.box(box)->clear();
            QInputMethodEvent ime; // what the input method commits
            ime.setCommitString(QString::fromUtf8(input));
            QCoreApplication::sendEvent(f.box(box), &ime);
            QCOMPARE(f.box(box)->text(), QString::fromUtf8(shown));
        }
    }

    // The path view shows the window, the start and every keyframe, wherever the author puts them.
    void pathView_fitsTheStartAndEveryKeyframe()
    {
        for (const QPoint &far : {QPoint(3000, 0), QPoint(0, -5000)}) {
            EditorFixture f;
            f.set(1, QString::number(far.x())), f.set(4, QString::number(far.y()));
            const QRectF view = child<preview::PathPreview>(f.page, QStringLiteral("Picture1"))->view();
            QVERIFY(view.contains(QRectF(0, 0, 640, 480)) && view.contains(QPointF(far) + QPointF(50, 25)));
        }
    }

    // The page opens on a leftward pass across the window, read from the settings log.
    void defaults_fromTheLog_andTheRecordItAppends()
    {
        EditorFixture f;
        QCOMPARE((QStringList{f.box(1)->text(), f.box(2)->text(), f.box(3)->text(), f.box(4)->text()}),
                 (QStringList{"640", "0", "-100", "0"}));
        QVERIFY(child<QRadioButton>(f.page, QStringLiteral("Option1"))->isChecked());
        QVERIFY(child<QRadioButton>(f.page, QStringLiteral("Option7"))->isChecked());
        QCOMPARE(f.curve()->currentText(), QStringLiteral("等速"));
        auto *path = f.page->findChild<preview::PathPreview *>();
        QVERIFY(path);
        QCOMPARE(path->accessibleDescription(), QStringLiteral("道筋：640, 0 → -100, 0"));
        QCOMPARE(f.label(1), QStringLiteral("全 186 コマ（動き 186・止め 0）")); // 740 / 4 + 1
        QCOMPARE(f.rows(), QStringList{"-100, 0|4 ドット|等速|0|186|"});
        QVERIFY(!f.box(6)->isEnabled()); // the amount not chosen
        QVERIFY(!f.box(9)->isEnabled()); // the curve values, until カスタム
        // A diagonal, eased, held move without the background after the first frame.
        f.set(2, QStringLiteral("-30"));
        choose(f.page, 2);
        f.set(6, QStringLiteral("10"));
        f.curve()->setCurrentIndex(3);
        f.set(7, QStringLiteral("2"));
        child<QRadioButton>(f.page, QStringLiteral("Option8"))->click();
        QCOMPARE(f.label(1), QStringLiteral("全 12 コマ（動き 10・止め 2）"));
        QVERIFY(!f.box(5)->isEnabled());
        click(f.page, QStringLiteral("Command1"));
        QVERIFY2(f.toolkit.messages.isEmpty(), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(f.record(), QByteArray("\"640\",\"-30\",\"-100\",\"0\",2,\"10\",4,\"2\",\"0\",2\r\n"));
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form7)});
    }

    // A remembered chain comes back whole, each move a row; editing one keeps the others.
    void rememberedChain_everyMoveARow()
    {
        const QByteArray rest = "\"10\",\"20\",2,\"4\",3,\"0\"\r\n\"0\",\"0\",1,\"5\",5,\"1\",\"0.42\",\"0\",\"0.58\",\"1\"\r\n";
        WizardFixture g;
        lastrun::Settings last;
        last.log = kHead + "\"0\",\"0\",\"10\",\"0\",2,\"3\",5,\"1\",\"2\",1,\"0\",\"0\",\"1\",\"1\"\r\n" + rest;
        g.wizard->setRemembered(last);
        QVERIFY(writeAll(g.files.settingsLog(), kHead));
        Page *p = g.wizard->show(PageId::Form6);
        auto *list = child<QTreeWidget>(p, QStringLiteral("List1"));
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(child<QComboBox>(p, QStringLiteral("Combo1"))->currentText(), QStringLiteral("カスタム"));
        QCOMPARE(child<QLineEdit>(p, QStringLiteral("Text11"))->text(), QStringLiteral("1"));
        QCOMPARE(child<QLabel>(p, QStringLiteral("Label1"))->text(), QStringLiteral("全 14 コマ（動き 10・止め 4）"));
        list->setCurrentItem(list->topLevelItem(1));
        QCOMPARE(child<QLineEdit>(p, QStringLiteral("Text3"))->text(), QStringLiteral("10"));
        QCOMPARE(child<QComboBox>(p, QStringLiteral("Combo1"))->currentText(), QStringLiteral("減速"));
        child<QLineEdit>(p, QStringLiteral("Text4"))->setText(QStringLiteral("22"));
        click(p, QStringLiteral("Command1"));
        QVERIFY2(g.toolkit.messages.isEmpty(), qPrintable(g.toolkit.lastPrompt()));
        QCOMPARE(g.log(), kHead + "\"0\",\"0\",\"10\",\"0\",2,\"3\",5,\"1\",\"2\",1,\"0\",\"0\",\"1\",\"1\"\r\n"
                                  "\"10\",\"22\",2,\"4\",3,\"0\"\r\n\"0\",\"0\",1,\"5\",5,\"1\",\"0.42\",\"0\",\"0.58\",\"1\"\r\n");
    }

    // 次へ refuses a value, naming the move it belongs to; the log stays as it was.
    void refusals_nameTheRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty start x") << 1 << 1 << QString() << QStringLiteral("開始位置の x 座標が記入されていません。");
        QTest::newRow("a lone minus") << 1 << 2 << QStringLiteral("-") << QStringLiteral("開始位置の y 座標の値「-」は整数ではありません。");
        QTest::newRow("beyond 16 bits") << 1 << 3 << QStringLiteral("-40000")
                                        << QStringLiteral("1 番目の動きの目標の x 座標の値「-40000」は -32768 から 32767 の範囲外です。");
        QTest::newRow("no dots") << 2 << 5 << QStringLiteral("0") << QStringLiteral("2 番目の動きの1コマ平均のドット数の値「0」は 1 から 32767 の範囲外です。");
        QTest::newRow("empty hold") << 2 << 8 << QString() << QStringLiteral("2 番目の動きの止めるコマ数が記入されていません。");
        QTest::newRow("five decimals") << 2 << 9 << QStringLiteral("0.12345")
                                       << QStringLiteral("2 番目の動きの曲線の x1の値「0.12345」は小数点以下 4 けたまでの数ではありません。");
        QTest::newRow("x beyond 1") << 2 << 11 << QStringLiteral("1.5") << QStringLiteral("2 番目の動きの曲線の x2の値「1.5」は 0 から 1 の範囲外です。");
        QTest::newRow("y below -2") << 2 << 10 << QStringLiteral("-2.5") << QStringLiteral("2 番目の動きの曲線の y1の値「-2.5」は -2 から 3 の範囲外です。");
        QTest::newRow("too many frames") << 2 << 3 << QStringLiteral("32767") << QStringLiteral("2 番目の動きの動くコマが");
    }

    void refusals_nameTheRow()
    {
        QFETCH(int, row);
        QFETCH(int, box);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        EditorFixture f;
        click(f.page, QStringLiteral("Command2")); // a second move
        f.curve()->setCurrentIndex(4);            // カスタム, from ease
        f.set(5, QStringLiteral("1"));
        f.list()->setCurrentItem(f.list()->topLevelItem(row - 1));
        f.set(box, value);
        click(f.page, QStringLiteral("Command1"));
        QVERIFY2(f.toolkit.lastPrompt().startsWith(expected), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("設定が正しくありません"));
        QCOMPARE(f.log(), kHead);
        QCOMPARE(visibleWindows(), QWidgetList{f.page});
    }

    // A custom curve that carries a frame out of the host's range is refused at 次へ in the
    // generation's own words, and said beside the list before that.
    void overshootingCurve_isRefusedAtNext()
    {
        EditorFixture f;
        f.set(3, QStringLiteral("30000"));
        f.curve()->setCurrentIndex(4);
        for (const auto &[n, value] : {std::pair{9, "0"}, std::pair{10, "3"}, std::pair{11, "1"}, std::pair{12, "3"}})
            f.set(n, QString::fromLatin1(value));
        const QString expected = QStringLiteral("曲線が位置を -32768 から 32767 の範囲外（");
        QVERIFY2(f.label(2).startsWith(keepingUnits(expected)), qPrintable(f.label(2)));
        QCOMPARE(f.label(1), QStringLiteral("全 － コマ（値を直してください）"));
        click(f.page, QStringLiteral("Command1"));
        QVERIFY2(f.toolkit.lastPrompt().startsWith(expected), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(f.log(), kHead);
        // Back inside the range, it goes on.
        f.set(3, QStringLiteral("10000"));
        click(f.page, QStringLiteral("Command1"));
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form7)});
    }

    // Undo never loses typing: three moves, each with a typed target, the focus on 追加. One Ctrl+Z
    // takes back the last typed value only; the rest, step by step, and as many redos bring it all back.
    void undoRedo_byKeyboard_neverLoseTyping()
    {
        EditorFixture f;
        f.page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.page));
        const QStringList start = f.rows();
        f.box(3)->setFocus();
        typeOver(QStringLiteral("-50"));
        key(Qt::Key_Insert); // the typing is a step, then the add
        typeOver(QStringLiteral("-200"));
        key(Qt::Key_Insert);
        typeOver(QStringLiteral("-300"));
        auto *add = child<QPushButton>(f.page, QStringLiteral("Command2"));
        add->setFocus(); // leaving the box commits it
        const QStringList built = f.rows();
        QCOMPARE(built.size(), 3);
        QVERIFY(built[2].startsWith(QStringLiteral("-300, 0|")));
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.rows().size(), 3);
        QCOMPARE(f.rows().mid(0, 2), built.mid(0, 2));
        QVERIFY2(f.rows()[2].startsWith(QStringLiteral("-200, 0|")), qPrintable(f.rows()[2])); // as added: a copy of the second
        for (int i = 0; i < 6; ++i) // one more than there are steps
            key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.rows(), start);
        for (int i = 0; i < 5; ++i)
            key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(f.rows(), built);
        QCOMPARE(f.box(3)->text(), QStringLiteral("-300"));
        // Ctrl+Shift+Z redoes too. Typing still in its box becomes a step before Ctrl+Z takes it
        // back, so that Ctrl+Y brings it back.
        key(Qt::Key_Z, Qt::ControlModifier);
        key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.rows(), built);
        f.box(4)->setFocus();
        typeOver(QStringLiteral("7"));
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.box(4)->text(), QStringLiteral("0"));
        QCOMPARE(f.rows(), built);
        key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(f.box(4)->text(), QStringLiteral("7"));
        QCOMPARE(f.toolkit.messages.size(), 0);
    }

    // A shake: its row, its words, a new seed through the seam and back with Ctrl+Z, the move's own
    // values kept while it shook, a swing out of range refused at 次へ, and the line it appends.
    void shake_rowSeedUndoRefusalAndRecord()
    {
        EditorFixture f;
        f.page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.page));
        testing::setShakeSeeds([] { return 4294967295u; });
        choose(f.page, 2); // コマ数, kept while the row shakes
        choose(f.page, 4); // 揺れ
        QCOMPARE(f.rows(), QStringList{"揺れ ±0, 10|× 5|等速|0|13|"});
        QCOMPARE(f.label(2).replace(QChar(0xA0), QLatin1Char(' ')), QStringLiteral("5 回揺れて、もとの位置に戻ります（1 回 2 コマ）。"));
        QVERIFY(!f.box(17)->isEnabled());
        child<QComboBox>(f.page, QStringLiteral("Combo3"))->setCurrentIndex(1); // ランダム
        click(f.page, QStringLiteral("CommandReseed"));
        QCOMPARE(f.box(17)->text(), QStringLiteral("4294967295"));
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.box(17)->text(), QStringLiteral("1"));
        key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(f.box(17)->text(), QStringLiteral("4294967295"));
        choose(f.page, 3); // 移動, then 揺れ again: neither kind's values are lost
        QCOMPARE(f.rows(), QStringList{"-100, 0|30 コマ|等速|0|30|！"});
        choose(f.page, 4);
        f.set(1, QStringLiteral("32760"));
        f.set(13, QStringLiteral("20")); // a random swing of 10 to 20
        click(f.page, QStringLiteral("Command1"));
        QVERIFY2(f.toolkit.lastPrompt().startsWith(QStringLiteral("揺れが位置を -32768 から 32767 の範囲外（")),
                 qPrintable(f.toolkit.lastPrompt()));
        f.set(1, QStringLiteral("0"));
        click(f.page, QStringLiteral("Command1"));
        QCOMPARE(f.record(), QByteArray("\"0\",\"0\",\"20\",\"10\",3,\"2\",1,\"0\",\"0\",1,\"5\",2,2,\"4294967295\"\r\n"));
        testing::setShakeSeeds({});
    }

    // A preset over typed カスタム values is a step: Ctrl+Z brings the typed values back. Choosing
    // 等速 leaves the greyed curve boxes empty, and カスタム brings the move's own values back.
    void preset_thenUndo_bringsTypedValuesBack()
    {
        EditorFixture f;
        f.page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.page));
        f.curve()->setFocus();
        f.curve()->setCurrentIndex(4);
        const QStringList typed{"0.1", "-1.2345", "0.9", "2.5"};
        for (int i = 0; i < 4; ++i) {
            f.box(9 + i)->setFocus();
            typeOver(typed[i]);
        }
        child(f.page, QStringLiteral("Command6"))->setFocus();
        pickFromMenu(f.page, QStringLiteral("Preset2")); // ease-in
        QCOMPARE(f.box(10)->text(), QStringLiteral("0"));
        key(Qt::Key_Z, Qt::ControlModifier);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(f.box(9 + i)->text(), typed[i]);
        f.curve()->setFocus();
        f.curve()->setCurrentIndex(0);
        for (int i = 0; i < 4; ++i)
            QVERIFY(f.box(9 + i)->text().isEmpty() && !f.box(9 + i)->isEnabled());
        f.curve()->setCurrentIndex(4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(f.box(9 + i)->text(), typed[i]);
        // A new move after a 等速 one has no hidden values to bring back: カスタム starts from ease.
        f.curve()->setCurrentIndex(0);
        click(f.page, QStringLiteral("Command2"));
        f.curve()->setCurrentIndex(4);
        QCOMPARE(f.box(9)->text(), QStringLiteral("0.25"));
    }

    // Every allowed value shows whole: in its box, and in the list's columns.
    void everyValue_fitsItsBoxAndColumn()
    {
        EditorFixture f;
        const QList<std::pair<int, QString>> widest = {{1, "-32768"}, {2, "-32768"}, {3, "-32768"}, {4, "-32768"}, {5, "32767"},
                                                       {6, "32768"},  {7, "32767"},  {8, "32767"},  {9, "-1.2345"}, {10, "-1.2345"},
                                                       {11, "-1.2345"}, {12, "-1.2345"}};
        for (const auto &[n, text] : widest) {
            QLineEdit *b = f.box(n);
            QStyleOptionFrame option;
            option.initFrom(b);
            option.lineWidth = b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, b);
            const QRect contents = b->style()->subElementRect(QStyle::SE_LineEditContents, &option, b);
            QVERIFY2(b->fontMetrics().horizontalAdvance(text) + 4 <= contents.width(),
                     qPrintable(QStringLiteral("Text%1: %2 in %3").arg(n).arg(text).arg(contents.width())));
        }
        const QStringList values{"32", "-32768, -32768", "32767 ドット", "カスタム", "32767", "32768"};
        for (int c = 0; c < values.size(); ++c) {
            QVERIFY2(f.list()->fontMetrics().horizontalAdvance(values[c]) + 6 <= f.list()->columnWidth(c), qPrintable(values[c]));
            QVERIFY(f.list()->header()->fontMetrics().horizontalAdvance(f.list()->headerItem()->text(c)) < f.list()->columnWidth(c));
        }
        QVERIFY(f.list()->viewport()->width() >= f.list()->header()->length() - f.list()->columnWidth(6) + 8);
    }

    // The chosen move's path is drawn above a later move that retraces it.
    void chosenPath_isDrawnOnTop()
    {
        EditorFixture f;
        f.set(1, QStringLiteral("0"));
        f.set(3, QStringLiteral("600"));
        click(f.page, QStringLiteral("Command2"));
        f.set(3, QStringLiteral("0")); // back along the same line
        f.list()->setCurrentItem(f.list()->topLevelItem(0));
        auto *path = f.page->findChild<preview::PathPreview *>();
        const QImage drawn = path->grab().toImage();
        int chosen = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x)
                chosen += drawn.pixelColor(x, y) == QColor(80, 220, 255);
        }
        QVERIFY2(chosen > 150, qPrintable(QString::number(chosen))); // a line, not only its two end dots
    }

    // A hand-edited log's picture width of the smallest int does not break the first move's default.
    void smallestWidth_givesAPlainDefault()
    {
        EditorFixture f("\"s.bmp\",\"-2147483648\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n");
        QCOMPARE(f.box(3)->text(), QStringLiteral("2147483648"));
    }

    // Three moves built with the keyboard alone: add, targets, a custom curve from a preset, holds,
    // a move up (undone once with Ctrl+Z, then done again), and Enter; the generation page then
    // writes exactly the engine's bytes for the log the page wrote.
    void keyboardAlone_threeMoves_theEnginesBytes()
    {
        EditorFixture f;
        f.page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.page));
        QCOMPARE(focused(), f.box(1));
        typeOver(QStringLiteral("0"));
        key(Qt::Key_Tab);
        typeOver(QStringLiteral("0"));
        key(Qt::Key_Tab);
        QCOMPARE(focused(), f.box(7));
        typeOver(QStringLiteral("2")); // the start held two frames more

        // Move 1: 100 dots right in 11 frames, held 3.
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        QCOMPARE(focused(), static_cast<QWidget *>(f.list()));
        key(Qt::Key_Return);
        QCOMPARE(focused(), f.box(3));
        typeOver(QStringLiteral("100"));
        key(Qt::Key_Tab);
        typeOver(QStringLiteral("0"));
        key(Qt::Key_Tab);
        key(Qt::Key_Down); // コマ数
        key(Qt::Key_Tab);
        QCOMPARE(focused(), f.box(6));
        typeOver(QStringLiteral("11"));
        key(Qt::Key_Tab);
        key(Qt::Key_Tab); // past the curve and the usual shapes
        key(Qt::Key_Tab);
        QCOMPARE(focused(), f.box(8));
        typeOver(QStringLiteral("3"));

        // Move 2 (added after it, from where it stops): down 50 in 5 frames on ease-in-out.
        key(Qt::Key_Insert);
        QCOMPARE(focused(), f.box(3));
        typeOver(QStringLiteral("100"));
        key(Qt::Key_Tab);
        typeOver(QStringLiteral("50"));
        key(Qt::Key_Tab); // onto the chosen way of moving
        key(Qt::Key_Tab);
        QCOMPARE(focused(), f.box(6));
        typeOver(QStringLiteral("5"));
        key(Qt::Key_Tab);
        QCOMPARE(focused(), static_cast<QWidget *>(f.curve()));
        for (int i = 0; i < 4; ++i)
            key(Qt::Key_Down); // カスタム
        for (int i = 0; i < 5; ++i)
            key(Qt::Key_Tab); // past the four values
        QCOMPARE(focused(), child(f.page, QStringLiteral("Command6")));
        pickFromMenu(f.page, QStringLiteral("Preset4")); // ease-in-out, from the menu Space would open
        QCOMPARE(f.curve()->currentText(), QStringLiteral("カスタム"));

        // Move 3: back left to 0 in 6 frames, held 1; then moved before move 2.
        key(Qt::Key_Insert);
        typeOver(QStringLiteral("0"));
        key(Qt::Key_Tab);
        typeOver(QStringLiteral("0"));
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        typeOver(QStringLiteral("6"));
        key(Qt::Key_Tab);
        key(Qt::Key_Home); // 等速
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        typeOver(QStringLiteral("1"));
        QCOMPARE(f.rows().size(), 3);
        const QStringList built = f.rows();
        key(Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(f.rows(), (QStringList{built[0], built[2], built[1]}));
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.rows(), built);
        key(Qt::Key_Up, Qt::ControlModifier);
        for (int i = 0; i < 3; ++i)
            key(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(focused(), f.box(6));
        key(Qt::Key_Return); // in a box: the value is a step, and the page stays
        QCOMPARE(focused(), f.box(6));
        QVERIFY(f.record().isEmpty());
        for (int i = 0; i < 40 && focused() != child(f.page, QStringLiteral("Command1")); ++i)
            key(Qt::Key_Tab);
        key(Qt::Key_Return); // on 次へ: on
        QVERIFY2(f.toolkit.messages.isEmpty(), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(f.record(), QByteArray("\"0\",\"0\",\"100\",\"0\",2,\"11\",1,\"2\",\"3\",1\r\n"
                                        "\"0\",\"0\",2,\"6\",1,\"1\"\r\n"
                                        "\"100\",\"50\",2,\"5\",5,\"0\",\"0.42\",\"0\",\"0.58\",\"1\"\r\n"));

        Page *form7 = f.wizard->page(PageId::Form7);
        QCOMPARE(visibleWindows(), QWidgetList{form7});
        click(form7, QStringLiteral("Command1"));
        Run run;
        QVERIFY(runlog::parse(QString::fromLatin1(f.log()), run, nullptr));
        QByteArray expected;
        QVERIFY(generateScript(run, expected, nullptr, nullptr));
        QByteArray stored;
        QVERIFY(scriptbuffer::load(f.files.scriptBuffer(), stored, nullptr));
        QCOMPARE(stored, expected);
        // 11 to the right with the start's 2 and its own 3 held, 5 back with 1 held, 4 on the curve.
        QCOMPARE(expected.count("\"s.bmp\""), (11 + 2 + 3) + (5 + 1) + 4);
    }

    // An uneven move's mark and words show beside the list, and a click on a suggestion takes it
    // (what is found and said is the model's, tested there).
    void evenness_marksSaysAndSuggests()
    {
        EditorFixture f;
        f.set(1, QStringLiteral("0"));
        f.set(3, QStringLiteral("100"));
        choose(f.page, 2);
        f.set(6, QStringLiteral("40"));
        QCOMPARE(f.rows(), QStringList{"100, 0|40 コマ|等速|0|40|！"});
        QCOMPARE(f.label(2), keepingUnits(QStringLiteral("100 ドットを 40 コマで動くと 2 と 3 ドットの歩みが混ざります。26 コマなら 4 ドットずつ、51 コマなら 2 ドットずつです。")));
        auto *more = child<QPushButton>(f.page, QStringLiteral("CommandSuggestion2"));
        QCOMPARE(more->text(), QStringLiteral("51 コマにする"));
        click(f.page, QStringLiteral("CommandSuggestion2"));
        QCOMPARE(f.box(6)->text(), QStringLiteral("51"));
        QCOMPARE(f.page->focusWidget(), static_cast<QWidget *>(f.list())); // not on to 次へ
        QCOMPARE(f.rows(), QStringList{"100, 0|51 コマ|等速|0|51|"});
        QVERIFY(f.label(2).isEmpty());
        QVERIFY(!more->isVisible());
    }

private:
    static void choose(Page *page, int n) { child<QRadioButton>(page, QStringLiteral("Option%1").arg(n))->click(); }
};

QTEST_MAIN(TestChainEditor)
#include "tst_chaineditor.moc"
