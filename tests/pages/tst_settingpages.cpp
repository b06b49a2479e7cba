#include "WizardFixture.h"
#include "handoff/LastRun.h"
#include "preview/FrameRenderer.h"
#include "preview/PathPreview.h"
#include "pages/Form4.h"

#include <QTest>

using namespace velra;
using namespace velra::test;

namespace {

const QByteArray kThreeLines = "\"s.bmp\",\"100\",\"%1\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n";

struct Form5Fixture : WizardFixture
{
    Page *page;

    explicit Form5Fixture(const char *imageHeight = "480")
    {
        writeAll(files.settingsLog(), QByteArray(kThreeLines).replace("%1", imageHeight));
        page = wizard->show(PageId::Form5);
    }

    QRadioButton *option(int n) const { return child<QRadioButton>(page, QStringLiteral("Option%1").arg(n)); }
    void choose(int n) { click(page, QStringLiteral("Option%1").arg(n)); }
    void type(const char *box, const char *text) { QTest::keyClicks(child(page, QString::fromLatin1(box)), QString::fromLatin1(text)); }
    void next() { click(page, QStringLiteral("Command1")); }
    QByteArray record() const { return log().mid(QByteArray(kThreeLines).replace("%1", "480").size()); }
};

// Clicks a choice on its round mark, which stays in place however wide a layout makes the button.
void choose(QWidget *page, const QString &name)
{
    QWidget *choice = child(page, name);
    QTest::mouseClick(choice, Qt::LeftButton, {}, QPoint(8, choice->height() / 2));
}

} // namespace

class TestSettingPages : public QObject
{
    Q_OBJECT

private slots:
    void form4_explanations_andModes()
    {
        WizardFixture f;
        Page *p = f.wizard->show(PageId::Form4);
        auto *label = child<QLabel>(p, QStringLiteral("Label1"));
        QCOMPARE(child<QGroupBox>(p, QStringLiteral("Frame1"))->title(), QStringLiteral("設定モードの選択"));
        QCOMPARE(label->text(), QStringLiteral("チェックすると、ここに説明が表示されます"));
        QVERIFY(!child<QRadioButton>(p, QStringLiteral("Option2"))->isHidden());
        QVERIFY(child<QRadioButton>(p, QStringLiteral("Option2"))->geometry().top() > child<QRadioButton>(p, QStringLiteral("Option1"))->geometry().bottom());
        QCOMPARE(child<QRadioButton>(p, QStringLiteral("Option2"))->text(), QStringLiteral("詳細設定モード"));
        click(p, QStringLiteral("Option1"));
        QCOMPARE(label->text(), QStringLiteral("殆どの設定をチェックボックスをクリック\r\nするだけで、スクロールスクリプトを書き出します"));
        child<QRadioButton>(p, QStringLiteral("Option2"))->click();
        QCOMPARE(label->text(), QStringLiteral("開始座標を指定したり、背景画の表示無し\r\nなどの細かい設定が出来るモードです"));
    }

    void form4_nothingChosen_appends2_andShowsTheDetailedPage()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "x\r\n"));
        Page *p = f.wizard->show(PageId::Form4);
        click(p, QStringLiteral("Command1"));
        QCOMPARE(f.log(), QByteArray("x\r\n2\r\n"));
        Page *detailed = f.wizard->page(PageId::Form6);
        QCOMPARE(visibleWindows(), QWidgetList{detailed});
        QCOMPARE(detailed->windowTitle(), QStringLiteral("Velloran"));
        detailed->close();
        QCOMPARE(f.finished.size(), 1);
    }

    // The detailed page opens on a leftward pass across the window, read from the settings log.
    void form6_defaults_fromTheLog_andTheRecordItAppends()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"));
        Page *p = f.wizard->show(PageId::Form6);
        const auto text = [p](int n) { return child<QLineEdit>(p, QStringLiteral("Text%1").arg(n))->text(); };
        QCOMPARE((QStringList{text(1), text(2), text(3), text(4)}), (QStringList{"640", "0", "-100", "0"}));
        QVERIFY(child<QRadioButton>(p, QStringLiteral("Option1"))->isChecked());
        QVERIFY(child<QRadioButton>(p, QStringLiteral("Option3"))->isChecked());
        QVERIFY(child<QRadioButton>(p, QStringLiteral("Option7"))->isChecked());
        auto *path = p->findChild<preview::PathPreview *>();
        QVERIFY(path && path->renderer());
        QCOMPARE(path->renderer()->frames().frameCount(), 186); // 740 / 4 + 1
        QCOMPARE(child<QLabel>(p, QStringLiteral("Label1"))->text(), QStringLiteral("全 186 コマ（動き 186・止め 0）"));
        QCOMPARE(path->height() * 640, path->width() * 480); // the window's proportions
        QVERIFY(child<QLineEdit>(p, QStringLiteral("Text5"))->isEnabled());
        QVERIFY(!child<QLineEdit>(p, QStringLiteral("Text6"))->isEnabled()); // the amount not chosen
        // A signed box can be corrected: all selected and erased, a typo taken back.
        auto *startX = child<QLineEdit>(p, QStringLiteral("Text1"));
        startX->setFocus();
        QTest::keyClick(startX, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(startX, Qt::Key_Backspace);
        QCOMPARE(startX->text(), QString());
        QTest::keyClicks(startX, QStringLiteral("6400"));
        QTest::keyClick(startX, Qt::Key_Backspace);
        QCOMPARE(startX->text(), QStringLiteral("640"));
        // A diagonal, eased, held move without the background after the first frame.
        auto *startY = child<QLineEdit>(p, QStringLiteral("Text2"));
        startY->clear();
        QTest::keyClicks(startY, QStringLiteral("-3-0")); // a minus only in front
        QCOMPARE(startY->text(), QStringLiteral("-30"));
        choose(p, QStringLiteral("Option2"));
        child<QLineEdit>(p, QStringLiteral("Text6"))->setText(QStringLiteral("10"));
        choose(p, QStringLiteral("Option6"));
        child<QLineEdit>(p, QStringLiteral("Text7"))->setText(QStringLiteral("2"));
        choose(p, QStringLiteral("Option8"));
        QTRY_COMPARE(path->renderer()->frames().frameCount(), 12);
        QCOMPARE(child<QLabel>(p, QStringLiteral("Label1"))->text(), QStringLiteral("全 12 コマ（動き 10・止め 2）"));
        QVERIFY(!child<QLineEdit>(p, QStringLiteral("Text5"))->isEnabled());
        QVERIFY(child<QLineEdit>(p, QStringLiteral("Text6"))->isEnabled());
        click(p, QStringLiteral("Command1"));
        QVERIFY2(f.toolkit.messages.isEmpty(), qPrintable(f.toolkit.lastPrompt()));
        QVERIFY(f.log().endsWith("2\r\n\"640\",\"-30\",\"-100\",\"0\",2,\"10\",4,\"2\",\"0\",2\r\n"));
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form7)});
    }

    // A remembered chain: the page edits its first move and keeps the moves after it, a Bézier
    // first curve (which has no choice on this page) included until another curve is chosen.
    void form6_rememberedChain_keepsTheMovesAfterTheFirst()
    {
        const QByteArray head = "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n";
        const QByteArray rest = "\"10\",\"20\",2,\"4\",3,\"0\"\r\n\"0\",\"0\",1,\"5\",5,\"1\",\"0.42\",\"0\",\"0.58\",\"1\"\r\n";
        for (const bool changeCurve : {false, true}) {
            WizardFixture f;
            lastrun::Settings last;
            last.log = head + "\"0\",\"0\",\"10\",\"0\",2,\"3\",5,\"1\",\"2\",1,\"0\",\"0\",\"1\",\"1\"\r\n" + rest;
            f.wizard->setRemembered(last);
            QVERIFY(writeAll(f.files.settingsLog(), head));
            Page *p = f.wizard->show(PageId::Form6);
            QCOMPARE(child<QLineEdit>(p, QStringLiteral("Text3"))->text(), QStringLiteral("10"));
            for (int curve = 3; curve <= 6; ++curve)
                QVERIFY(!child<QRadioButton>(p, QStringLiteral("Option%1").arg(curve))->isChecked());
            QCOMPARE(child<QLabel>(p, QStringLiteral("Label1"))->text(), QStringLiteral("全 14 コマ（動き 10・止め 4）"));
            child<QLineEdit>(p, QStringLiteral("Text3"))->setText(QStringLiteral("12"));
            if (changeCurve)
                choose(p, QStringLiteral("Option4"));
            click(p, QStringLiteral("Command1"));
            QVERIFY2(f.toolkit.messages.isEmpty(), qPrintable(f.toolkit.lastPrompt()));
            const QByteArray first = changeCurve ? "\"0\",\"0\",\"12\",\"0\",2,\"3\",2,\"1\",\"2\",1\r\n"
                                                 : "\"0\",\"0\",\"12\",\"0\",2,\"3\",5,\"1\",\"2\",1,\"0\",\"0\",\"1\",\"1\"\r\n";
            QCOMPARE(f.log(), head + first + rest);
        }
    }

    void form6_refusals_nameTheBox_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty start x") << 1 << QString() << QStringLiteral("開始位置の x 座標が記入されていません。");
        QTest::newRow("a lone minus") << 2 << QStringLiteral("-") << QStringLiteral("開始位置の y 座標の値「-」は整数ではありません。");
        QTest::newRow("beyond 16 bits") << 3 << QStringLiteral("-40000") << QStringLiteral("終了位置の x 座標の値「-40000」は -32768 から 32767 の範囲外です。");
        QTest::newRow("no dots") << 5 << QStringLiteral("0") << QStringLiteral("1コマに動かすドット数の値「0」は 1 から 32767 の範囲外です。");
        QTest::newRow("no frames") << 6 << QStringLiteral("0") << QStringLiteral("コマ数の値「0」は 1 から 32768 の範囲外です。");
        QTest::newRow("empty hold") << 8 << QString() << QStringLiteral("最後に止めるコマ数が記入されていません。");
        QTest::newRow("too many frames") << 3 << QStringLiteral("-32768") << QStringLiteral("動くコマが");
    }

    void form6_refusals_nameTheBox()
    {
        QFETCH(int, box);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"32767\",\"480\"\r\n2\r\n"));
        Page *p = f.wizard->show(PageId::Form6);
        if (box == 3 && value == QStringLiteral("-32768"))
            child<QLineEdit>(p, QStringLiteral("Text5"))->setText(QStringLiteral("1"));
        if (box == 6)
            choose(p, QStringLiteral("Option2"));
        child<QLineEdit>(p, QStringLiteral("Text%1").arg(box))->setText(value);
        const QByteArray before = f.log();
        click(p, QStringLiteral("Command1"));
        QVERIFY2(f.toolkit.lastPrompt().startsWith(expected), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("設定が正しくありません"));
        QCOMPARE(f.log(), before);
        QCOMPARE(visibleWindows(), QWidgetList{p});
    }

    // As on Windows: Enter presses the focused button, arrows select the choice they move to.
    void keyboard_enterPressesTheFocusedButton_arrowsSelect()
    {
        Form5Fixture f;
        f.page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.page));
        // All four arrows move within the group, round from the last choice to the first.
        const QList<std::tuple<int, Qt::Key, int>> moves{{4, Qt::Key_Left, 3}, {3, Qt::Key_Up, 2},  {1, Qt::Key_Up, 4},
                                                        {4, Qt::Key_Right, 1}, {4, Qt::Key_Down, 1}, {2, Qt::Key_Down, 3}};
        for (const auto &[from, key, to] : moves) {
            f.option(from)->setFocus();
            QTest::keyClick(f.option(from), key);
            QCOMPARE(QApplication::focusWidget(), f.option(to));
            QVERIFY(f.option(to)->isChecked());
            QCOMPARE(f.option(1)->isChecked() + f.option(2)->isChecked() + f.option(3)->isChecked() + f.option(4)->isChecked(), 1);
        }

        WizardFixture g;
        QVERIFY(writeAll(g.files.settingsLog(), "x\r\n"));
        Page *p = g.wizard->show(PageId::Form4);
        click(p, QStringLiteral("Option1"));
        auto *next = child<QPushButton>(p, QStringLiteral("Command1"));
        next->setFocus();
        QTest::keyClick(next, Qt::Key_Return);
        QCOMPARE(g.log(), QByteArray("x\r\n1\r\n"));
        QVERIFY(g.wizard->page(PageId::Form5)->isVisible());
    }

    void form4_simpleMode_appends1_andForm5FindsNineValues()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n"));
        Page *p = f.wizard->show(PageId::Form4);
        click(p, QStringLiteral("Option1"));
        click(p, QStringLiteral("Command1"));
        QVERIFY(f.log().endsWith("\r\n1\r\n"));
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form5)});
        QVERIFY(f.toolkit.messages.isEmpty());
    }

    void form5_checksInOrder_eachAlone()
    {
        Form5Fixture f;
        const QByteArray before = f.log();
        const auto expect = [&](const QString &prompt, const QString &title) {
            f.toolkit.messages.clear();
            f.next();
            QCOMPARE(f.toolkit.messages.size(), 1);
            QCOMPARE(f.toolkit.lastPrompt(), prompt);
            QCOMPARE(f.toolkit.lastTitle(), title);
            QCOMPARE(f.toolkit.messages.last().style, int(OkWithExclamation));
            QCOMPARE(f.log(), before);
        };
        const QString notSelected = QStringLiteral("選択していません");
        const QString notFilled = QStringLiteral("記入していません");
        expect(QStringLiteral("スクロール方向を指定してください"), notSelected);
        f.choose(1);
        expect(QStringLiteral("スクロール位置を指定してください"), notSelected);
        f.choose(6);
        expect(QStringLiteral("スクロール終了位置を指定してください"), notSelected);
        f.choose(10);
        f.type("Text2", "5");
        expect(QStringLiteral("移動ドット数を記入してください"), notFilled);
        f.type("Text1", "8");
        child<QLineEdit>(f.page, QStringLiteral("Text2"))->clear();
        expect(QString(), notFilled);
        f.choose(9);
        f.next();
        QCOMPARE(f.record(), QByteArray("1,\"8\",2,2,\r\n"));
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form7)});
    }

    void form5_recordForRightward_movesGiven()
    {
        Form5Fixture f;
        f.choose(4);
        f.choose(7);
        f.choose(10);
        f.type("Text1", "4");
        f.type("Text2", "30");
        f.next();
        QCOMPARE(f.record(), QByteArray("4,\"4\",3,3,\"30\"\r\n"));
    }

    void form5_relabelsByDirection_keepingTheChoice()
    {
        Form5Fixture f;
        QCOMPARE(f.option(8)->text(), QStringLiteral("0,0"));
        f.choose(5);
        f.choose(1);
        QCOMPARE(f.option(5)->text(), QStringLiteral("左寄せ"));
        QCOMPARE(f.option(7)->text(), QStringLiteral("右寄せ"));
        QCOMPARE(f.option(8)->text(), QStringLiteral("*,0"));
        f.choose(3);
        QCOMPARE(f.option(5)->text(), QStringLiteral("上寄せ"));
        QCOMPARE(f.option(7)->text(), QStringLiteral("下寄せ"));
        QCOMPARE(f.option(8)->text(), QStringLiteral("0,*"));
        QCOMPARE(f.option(6)->text(), QStringLiteral("中央"));
        QVERIFY(f.option(5)->isChecked());
        f.choose(2);
        QCOMPARE(f.option(5)->text(), QStringLiteral("左寄せ"));
        QVERIFY(f.option(5)->isChecked());
    }

    // A picture taller than the window cannot pass it sideways: ← and → are off, and the page
    // says why before anyone tries.
    void form5_sidewaysOff_forATallerPicture()
    {
        Form5Fixture f("500");
        QVERIFY(!f.option(3)->isEnabled());
        QVERIFY(!f.option(4)->isEnabled());
        QCOMPARE(child<QLabel>(f.page, QStringLiteral("Label4"))->text(), QStringLiteral("画像がウィンドウより高いため、← と → は選べません"));
        f.choose(3);
        QVERIFY(!f.option(3)->isChecked());
        f.choose(2);
        QVERIFY(f.option(2)->isChecked());
        QCOMPARE(f.option(8)->text(), QStringLiteral("*,0"));
        QVERIFY(f.toolkit.messages.isEmpty());
    }

    // The page says how many frames its settings give, as they change: 移動回数指定 2 is four frames.
    void form5_countsTheFrames_data()
    {
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("moves");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing chosen") << 0 << "" << "" << QStringLiteral("全 － コマ");
        QTest::newRow("two moves") << 10 << "10" << "2" << QStringLiteral("全 4 コマ");
        QTest::newRow("the edge, 10 divides 640") << 8 << "10" << "" << QStringLiteral("全 65 コマ");
        QTest::newRow("the edge, 30 does not") << 8 << "30" << "" << QStringLiteral("全 23 コマ");
        QTest::newRow("a step of 0") << 10 << "0" << "2" << QStringLiteral("全 － コマ");
    }
    void form5_countsTheFrames()
    {
        QFETCH(int, end);
        QFETCH(QString, step);
        QFETCH(QString, moves);
        QFETCH(QString, expected);
        Form5Fixture f;
        if (end) {
            f.choose(3);
            f.choose(5);
            f.choose(end);
        }
        f.type("Text1", qPrintable(step));
        f.type("Text2", qPrintable(moves));
        QCOMPARE(child<QLabel>(f.page, QStringLiteral("Label3"))->text(), expected);
    }

    void form5_horizontalAccepted_atEqualHeight()
    {
        Form5Fixture f("480");
        f.choose(3);
        QVERIFY(f.option(3)->isChecked());
        QVERIFY(f.toolkit.messages.isEmpty());
        QCOMPARE(child<QLabel>(f.page, QStringLiteral("Label4"))->text(), QString());
    }

    void form5_digitFilter()
    {
        Form5Fixture f;
        f.type("Text1", "a1 b2");
        QCOMPARE(child<QLineEdit>(f.page, QStringLiteral("Text1"))->text(), QStringLiteral("12"));
        QTest::keyClick(child(f.page, QStringLiteral("Text1")), Qt::Key_Backspace);
        QCOMPARE(child<QLineEdit>(f.page, QStringLiteral("Text1"))->text(), QStringLiteral("1"));
    }

    void form5_shortLog_saysToStartAgain()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"100\",\"50\"\r\n"));
        Page *p = f.wizard->show(PageId::Form5);
        QVERIFY(!child<QPushButton>(p, QStringLiteral("Command1"))->isEnabled());
        QTRY_COMPARE(f.toolkit.messages.size(), 1);
        QVERIFY(f.toolkit.lastPrompt().contains(QStringLiteral("ウィザードを最初からやり直してください")));
        // In front of its page, not alone on the screen before the page appears.
        QVERIFY(f.toolkit.messages.last().inFrontOfShownPage);
    }

    void form5_heightOutOfRange_saysTooLarge_notNotAWholeNumber()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"100\",\"99999999999\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n"));
        f.wizard->show(PageId::Form5);
        QTRY_COMPARE(f.toolkit.messages.size(), 1);
        QVERIFY2(f.toolkit.lastPrompt().contains(QStringLiteral("「99999999999」は大きすぎます")), qPrintable(f.toolkit.lastPrompt()));
    }
};

QTEST_MAIN(TestSettingPages)
#include "tst_settingpages.moc"
