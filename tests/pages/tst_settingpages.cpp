#include "WizardFixture.h"
#include "text/Shown.h"
#include "handoff/LastRun.h"
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
    // Where a value gives none, it says why at once, in 次へ's words.
    void form5_countsTheFrames_data()
    {
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("moves");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("why");
        QTest::newRow("nothing chosen") << 0 << "" << "" << QStringLiteral("全 － コマ") << QString();
        QTest::newRow("two moves") << 10 << "10" << "2" << QStringLiteral("全 4 コマ") << QString();
        QTest::newRow("the edge, 10 divides 640") << 8 << "10" << "" << QStringLiteral("全 65 コマ") << QString();
        QTest::newRow("the edge, 30 does not") << 8 << "30" << "" << QStringLiteral("全 23 コマ") << QString();
        QTest::newRow("a step of 0") << 10 << "0" << "2" << QStringLiteral("全 － コマ")
                                     << QStringLiteral("スクロールの間隔の「0」は 1 から 32767 の範囲外です。");
        QTest::newRow("a step of 99999") << 8 << "99999" << "" << QStringLiteral("全 － コマ")
                                         << QStringLiteral("スクロールの間隔の「99999」は 1 から 32767 の範囲外です。");
        QTest::newRow("steps beyond the host") << 10 << "300" << "200" << QStringLiteral("全 － コマ")
                                               << QStringLiteral("スクロールの間隔と移動回数の積（60000 ドット）が 32767 を超えています。どちらかを小さくしてください。");
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
        QFETCH(QString, why);
        auto *reason = child<QLabel>(f.page, QStringLiteral("Label5"));
        QCOMPARE(reason->text(), keepingUnits(why));
        QVERIFY2(reason->heightForWidth(reason->width()) <= reason->height(), "the reason is cut");
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
