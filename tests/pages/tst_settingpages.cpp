#include "WizardFixture.h"
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
        QVERIFY(child<QRadioButton>(p, QStringLiteral("Option2"))->isHidden());
        QCOMPARE(child<QRadioButton>(p, QStringLiteral("Option2"))->text(), QStringLiteral("詳細設定モード"));
        click(p, QStringLiteral("Option1"));
        QCOMPARE(label->text(), QStringLiteral("殆どの設定をチェックボックスをクリック\r\nするだけで、スクロールスクリプトを書き出します"));
        child<QRadioButton>(p, QStringLiteral("Option2"))->click();
        QCOMPARE(label->text(), QStringLiteral("開始座標を指定したり、背景画の表示無し\r\nなどの細かい設定が出来るモードです"));
    }

    void form4_nothingChosen_appends2_andShowsTheEmptyPage()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "x\r\n"));
        Page *p = f.wizard->show(PageId::Form4);
        click(p, QStringLiteral("Command1"));
        QCOMPARE(f.log(), QByteArray("x\r\n2\r\n"));
        Page *empty = f.wizard->page(PageId::Form6);
        QCOMPARE(visibleWindows(), QWidgetList{empty});
        QCOMPARE(empty->windowTitle(), QStringLiteral("Velloran"));
        QCOMPARE(empty->size(), QSize(312, 213));
        QVERIFY(empty->findChildren<QWidget *>().isEmpty());
        empty->close();
        QCOMPARE(f.finished.size(), 1);
    }

    // As on Windows: Enter presses the focused button, arrows select the choice they move to.
    void keyboard_enterPressesTheFocusedButton_arrowsSelect()
    {
        Form5Fixture f;
        f.page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.page));
        QRadioButton *right = f.option(4);
        right->setFocus();
        QTest::keyClick(right, Qt::Key_Left);
        auto *moved = qobject_cast<QRadioButton *>(QApplication::focusWidget());
        QVERIFY(moved && moved != right);
        QVERIFY(moved->isChecked());
        QCOMPARE(f.option(1)->isChecked() + f.option(2)->isChecked() + f.option(3)->isChecked() + f.option(4)->isChecked(), 1);

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

    void form5_horizontalRefused_forATallerPicture()
    {
        Form5Fixture f("500");
        f.choose(1);
        f.choose(3);
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("画像の高さがウィンドウより高い場合は\r\n上下スクロールは選択できません"));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("画像サイズのオーバー"));
        for (int n = 1; n <= 4; ++n)
            QVERIFY(!f.option(n)->isChecked());
        QCOMPARE(f.option(8)->text(), QStringLiteral("*,0"));
        f.choose(4);
        QVERIFY(!f.option(4)->isChecked());
        QCOMPARE(f.toolkit.messages.size(), 2);
        f.choose(2);
        QVERIFY(f.option(2)->isChecked());
    }

    void form5_horizontalAccepted_atEqualHeight()
    {
        Form5Fixture f("480");
        f.choose(3);
        QVERIFY(f.option(3)->isChecked());
        QVERIFY(f.toolkit.messages.isEmpty());
    }

    void form5_digitFilter()
    {
        Form5Fixture f;
        f.type("Text1", "a1 b");
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
