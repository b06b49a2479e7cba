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

    void detailedMode_endsOnTheEmptyPage()
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
        click(f.wizard->page(PageId::Form4), QStringLiteral("Command1"));
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form6)});
        QList<LogValue> values;
        QVERIFY(settingslog::readFields(f.files.settingsLog(), 9, values, nullptr));
        QVERIFY(!settingslog::readFields(f.files.settingsLog(), 10, values, nullptr));
        QCOMPARE(values[8].text, QStringLiteral("2"));
        QVERIFY(!QFile::exists(f.files.scriptBuffer()));
        QVERIFY(f.toolkit.messages.isEmpty());
    }
};

QTEST_MAIN(TestWholeRun)
#include "tst_wholerun.moc"
