#include "WizardFixture.h"
#include "script/ScriptFile.h"
#include "handoff/SettingsLog.h"
#include "script/ScrollScript.h"

#include <QTest>

using namespace velra;
using namespace velra::test;

class TestWholeRun : public QObject
{
    Q_OBJECT

    // Drives every page with clicks and typed keys, as an author would, up to Form5's Next.
    static void throughTheInputPages(WizardFixture &f, int direction, const char *step, int alignment, int endMode,
                                     const char *moves)
    {
        const QString scroll = writePicture(f.path(QStringLiteral("scroll.bmp")), 100, 50, "BMP");
        const QString back = writePicture(f.path(QStringLiteral("背景.jpg")), 640, 480, "JPEG");
        QVERIFY(!scroll.isEmpty() && !back.isEmpty());
        f.wizard->start();
        click(f.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        Page *form2 = f.wizard->page(PageId::Form2);
        f.toolkit.openNames = {scroll, back};
        click(form2, QStringLiteral("Command1"));
        click(form2, QStringLiteral("Command2"));
        Page *form3 = f.wizard->page(PageId::Form3);
        click(form3, QStringLiteral("Command1"));
        click(form3, QStringLiteral("Command2"));
        Page *form4 = f.wizard->page(PageId::Form4);
        click(form4, QStringLiteral("Option1"));
        click(form4, QStringLiteral("Command1"));
        Page *form5 = f.wizard->page(PageId::Form5);
        click(form5, QStringLiteral("Option%1").arg(direction));
        click(form5, QStringLiteral("Option%1").arg(4 + alignment));
        click(form5, QStringLiteral("Option%1").arg(7 + endMode));
        QTest::keyClicks(child(form5, QStringLiteral("Text1")), QString::fromLatin1(step));
        QTest::keyClicks(child(form5, QStringLiteral("Text2")), QString::fromLatin1(moves));
        click(form5, QStringLiteral("Command1"));
    }

    static void generateAndSave(WizardFixture &f, bool csf, const QString &target)
    {
        Page *form7 = f.wizard->page(PageId::Form7);
        QCOMPARE(visibleWindows(), QWidgetList{form7});
        click(form7, QStringLiteral("Command1"));
        click(form7, csf ? QStringLiteral("Option1") : QStringLiteral("Option2"));
        QTest::keyClicks(child(form7, QStringLiteral("Text1")), QStringLiteral("Book"));
        QTest::keyClicks(child(form7, QStringLiteral("Text2")), QStringLiteral("Page1"));
        f.toolkit.saveNames = {target};
        click(form7, QStringLiteral("Command2"));
    }

    static void expectEnded(WizardFixture &f)
    {
        QCOMPARE(f.finished.size(), 1);
        WizardFixture::flushDeletes();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

private slots:
    void downward_csf_byteForByte()
    {
        WizardFixture f;
        throughTheInputPages(f, 1, "20", 1, 3, "1");
        const QString target = f.path(QStringLiteral("comic.csf"));
        generateAndSave(f, true, target);
        const QByteArray back = "Graphic \"" + sjis(QStringLiteral("背景.jpg")) + "\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,640,480\"\r\n";
        const auto pic = [](const char *y) {
            return "Graphic \"scroll.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:0," + QByteArray(y) + ",100,50\"\r\n";
        };
        QCOMPARE(readAll(target), scriptfile::headerBlock() + "\r\n<Book=\"Book\">\r\n<Page=\"Page1\">\r\n" + back + pic("-50")
                     + back + pic("-30") + back + pic("-10") + "<Page End>\r\n<Book End>\r\n");
        QCOMPARE(f.log(), "\"scroll.bmp\",\"100\",\"50\"\r\n\"" + sjis(QStringLiteral("背景.jpg"))
                     + "\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n1,\"20\",1,3,\"1\"\r\n");
        expectEnded(f);
    }

    void everyDirection_bothRoutes_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<bool>("csf");
        QTest::newRow("up, text") << 2 << false;
        QTest::newRow("left, csf") << 3 << true;
        QTest::newRow("right, text") << 4 << false;
        QTest::newRow("down, text") << 1 << false;
    }

    void everyDirection_bothRoutes()
    {
        QFETCH(int, direction);
        QFETCH(bool, csf);
        WizardFixture f;
        throughTheInputPages(f, direction, "16", 2, 2, "");
        QList<LogValue> values;
        QVERIFY(settingslog::readFields(f.files.settingsLog(), kFieldCount, values, nullptr));
        QByteArray script;
        QVERIFY(generateScript(values, script, nullptr, nullptr));
        const QString target = f.path(QStringLiteral("out.file"));
        QVERIFY(writeAll(target, "earlier text"));
        generateAndSave(f, csf, target);
        QCOMPARE(readAll(target), "earlier text\r\n<Book=\"Book\">\r\n<Page=\"Page1\">\r\n" + script
                     + "\r\n<Page End>\r\n<Book End>\r\n");
        expectEnded(f);
    }

    // The detailed mode from the start page to the saved file: a diagonal, eased move, the
    // background in the first frame only.
    void detailedMode_wholeRun()
    {
        WizardFixture f;
        QVERIFY(!writePicture(f.path(QStringLiteral("s.bmp")), 10, 10, "BMP").isEmpty());
        f.wizard->start();
        click(f.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        Page *form2 = f.wizard->page(PageId::Form2);
        f.toolkit.openNames = {f.path(QStringLiteral("s.bmp"))};
        click(form2, QStringLiteral("Command1"));
        click(form2, QStringLiteral("Command2"));
        Page *form3 = f.wizard->page(PageId::Form3);
        QTest::keyClicks(child(form3, QStringLiteral("Text1")), QStringLiteral("b.bmp"));
        QTest::keyClicks(child(form3, QStringLiteral("Text2")), QStringLiteral("640"));
        QTest::keyClicks(child(form3, QStringLiteral("Text3")), QStringLiteral("480"));
        click(form3, QStringLiteral("Command2"));
        Page *form4 = f.wizard->page(PageId::Form4);
        click(form4, QStringLiteral("Option2"));
        click(form4, QStringLiteral("Command1"));
        Page *form6 = f.wizard->page(PageId::Form6);
        QCOMPARE(visibleWindows(), QWidgetList{form6});
        const auto set = [form6](int n, const char *text) {
            auto *box = child<QLineEdit>(form6, QStringLiteral("Text%1").arg(n));
            box->selectAll();
            QTest::keyClicks(box, QString::fromLatin1(text));
        };
        set(1, "-10");
        set(2, "-10");
        set(3, "20");
        set(4, "20");
        child<QRadioButton>(form6, QStringLiteral("Option2"))->click();
        set(6, "4");
        child<QRadioButton>(form6, QStringLiteral("Option6"))->click();
        child<QRadioButton>(form6, QStringLiteral("Option8"))->click();
        click(form6, QStringLiteral("Command1"));
        QVERIFY2(f.toolkit.messages.isEmpty(), qPrintable(f.toolkit.lastPrompt()));
        Page *form7 = f.wizard->page(PageId::Form7);
        QCOMPARE(visibleWindows(), QWidgetList{form7});
        click(form7, QStringLiteral("Command1"));
        f.toolkit.saveNames = {f.path(QStringLiteral("detailed.txt"))};
        click(form7, QStringLiteral("Command2"));
        const QByteArray bg = "Graphic \"b.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,640,480\"\r\n";
        const auto pic = [](const char *xy) { return QByteArray("Graphic \"s.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:") + xy + ",10,10\""; };
        // 3t^2 - 2t^3 at t = 1/3 and 2/3: 7/27 and 20/27 of 30.
        QCOMPARE(readAll(f.path(QStringLiteral("detailed.txt"))),
                 "<Book=\"\">\r\n<Page=\"\">\r\n" + bg + pic("-10,-10") + "\r\n" + pic("-2,-2") + "\r\n" + pic("12,12") + "\r\n"
                     + pic("20,20") + "\r\n<Page End>\r\n<Book End>\r\n");
        expectEnded(f);
    }
};

QTEST_MAIN(TestWholeRun)
#include "tst_wholerun.moc"
