#include "WizardFixture.h"
#include "script/ScriptFile.h"
#include "handoff/SettingsLog.h"
#include "script/ScrollScript.h"
#include "handoff/LastRun.h"
#include "handoff/ScriptBuffer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMimeData>

#include <QTest>
#include <QTreeWidget>

using namespace velra;
using namespace velra::test;

class TestWholeRun : public QObject
{
    Q_OBJECT

    // From the start page through the pictures (both chosen in the open dialog) to the mode page,
    // which is then on the screen.
    static void throughThePictures(WizardFixture &f)
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
    }

    // Drives every page with clicks and typed keys, as an author would, up to Form5's Next.
    static void throughTheInputPages(WizardFixture &f, int direction, const char *step, int alignment, int endMode,
                                     const char *moves)
    {
        throughThePictures(f);
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

    // Types a value over a box of the detailed page.
    static void typeOver(Page *form6, int box, const char *text)
    {
        auto *edit = child<QLineEdit>(form6, QStringLiteral("Text%1").arg(box));
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }

    // On the detailed page: a diagonal, eased move of 4 frames from (-10, -10) to (20, 20), the
    // background in the first frame only.
    static void diagonalEasedMove(Page *form6)
    {
        for (const auto &[box, text] : {std::pair{1, "-10"}, std::pair{2, "-10"}, std::pair{3, "20"}, std::pair{4, "20"}})
            typeOver(form6, box, text);
        child<QRadioButton>(form6, QStringLiteral("Option2"))->click();
        typeOver(form6, 6, "4");
        child<QComboBox>(form6, QStringLiteral("Combo1"))->setCurrentIndex(3);
        child<QRadioButton>(form6, QStringLiteral("Option8"))->click();
    }

    // Run 1 of the settings-file tests to its generation page: the pictures chosen, then the
    // simple mode's leftward scroll, a detailed diagonal move, or a chain of two moves.
    static void throughToGeneration(WizardFixture &f, const QString &mode)
    {
        if (mode == QLatin1String("simple"))
            return throughTheInputPages(f, 3, "10", 1, 3, "2");
        throughThePictures(f);
        child<QRadioButton>(f.wizard->page(PageId::Form4), QStringLiteral("Option2"))->click();
        click(f.wizard->page(PageId::Form4), QStringLiteral("Command1"));
        Page *form6 = f.wizard->page(PageId::Form6);
        diagonalEasedMove(form6);
        if (mode == QLatin1String("chain")) {
            click(form6, QStringLiteral("Command2"));
            typeOver(form6, 3, "300");
            typeOver(form6, 4, "40");
            typeOver(form6, 8, "3");
            pickFromMenu(form6, QStringLiteral("Preset4")); // ease-in-out, as a custom curve
        }
        click(form6, QStringLiteral("Command1"));
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

    // Clicks 次へ on `id` once it is the page on the screen, with nothing to say.
    static Page *next(Wizard &wizard, ScriptedToolkit &toolkit, PageId id, const char *button = "Command2")
    {
        Page *page = wizard.page(id);
        if (!page || visibleWindows() != QWidgetList{page})
            return nullptr;
        const qsizetype before = toolkit.messages.size();
        click(page, QString::fromLatin1(button));
        return toolkit.messages.size() == before ? page : nullptr;
    }

private slots:
    // Closing the window before generating keeps what was typed beside the last generated run, never
    // over it; the next run's start page says which it brings back, and every page shows it as typed.
    void closedBeforeGenerating_keepsWhatWasTyped_data()
    {
        QTest::addColumn<bool>("simple");
        QTest::addColumn<bool>("back");
        QTest::newRow("closed the chain editor after adding a move, a value half typed") << false << false;
        QTest::newRow("closed the simple page with a refused step") << true << false;
        QTest::newRow("went back from the chain editor, then closed the mode page") << false << true;
    }
    void closedBeforeGenerating_keepsWhatWasTyped()
    {
        QFETCH(bool, simple);
        QFETCH(bool, back);
        WizardFixture f;
        throughThePictures(f);
        click(f.wizard->page(PageId::Form4), simple ? QStringLiteral("Option1") : QStringLiteral("Option2"));
        click(f.wizard->page(PageId::Form4), QStringLiteral("Command1"));
        const PageId last = simple ? PageId::Form5 : PageId::Form6;
        Page *page = f.wizard->page(last);
        if (simple) {
            click(page, QStringLiteral("Option4"));
            QTest::keyClicks(child(page, QStringLiteral("Text1")), QStringLiteral("99999"));
        } else {
            diagonalEasedMove(page);
            click(page, QStringLiteral("Command2"));
            typeOver(page, 3, "-300");
            typeOver(page, 4, "-");
        }
        if (back)
            click(page, QStringLiteral("CommandBack"));
        f.wizard->page(back ? PageId::Form4 : last)->close();
        QVERIFY(!QFile::exists(f.files.rememberedSettings())); // nothing generated: no run kept
        f.wizard = std::make_unique<Wizard>(f.toolkit, createPage, f.files);
        QVERIFY(f.wizard->start());
        Page *form1 = f.wizard->page(PageId::Form1);
        QCOMPARE(child<QLabel>(form1, QStringLiteral("Label4"))->text(), QStringLiteral("前回の設定（コード生成の前に閉じた編集）"));
        click(form1, QStringLiteral("Command1"));
        for (const PageId id : {PageId::Form2, PageId::Form3, PageId::Form4})
            QVERIFY(next(*f.wizard, f.toolkit, id, id == PageId::Form4 ? "Command1" : "Command2"));
        page = f.wizard->page(last);
        QCOMPARE(simple ? child<QLineEdit>(page, QStringLiteral("Text1"))->text()
                        : child<QTreeWidget>(page, QStringLiteral("List1"))->topLevelItem(1)->text(1),
                 simple ? QStringLiteral("99999") : QStringLiteral("-300, -"));
    }

    // The author's loop: run 1 saves a CSF; run 2 starts with run 1's values, changes only the
    // step, and saves into the same file, which then holds both books.
    void secondRun_startsFilled_changesTheStep_addsItsBook()
    {
        WizardFixture f;
        throughTheInputPages(f, 3, "10", 1, 3, "2");
        QVERIFY(QDir().mkpath(f.path(QStringLiteral("saved"))));
        const QString target = f.path(QStringLiteral("saved/comic.csf"));
        generateAndSave(f, true, target);
        expectEnded(f);
        QCOMPARE(f.toolkit.saveFolders, QStringList{f.dir.path()}); // first save: the picture's folder
        const QByteArray first = readAll(target);
        f.wizard.reset(); // the first copy has ended

        ScriptedToolkit toolkit;
        Wizard wizard(toolkit, createPage, HandoffFiles(f.dir.path()));
        QVERIFY(wizard.start());
        Page *form1 = wizard.page(PageId::Form1);
        QVERIFY(child<QCheckBox>(form1, QStringLiteral("Check1"))->isEnabled());
        QVERIFY(child<QCheckBox>(form1, QStringLiteral("Check1"))->isChecked());
        click(form1, QStringLiteral("Command1"));
        Page *form2 = wizard.page(PageId::Form2);
        QCOMPARE(child<QLineEdit>(form2, QStringLiteral("Text1"))->text(), QStringLiteral("scroll.bmp"));
        QCOMPARE(child<QLineEdit>(form2, QStringLiteral("Text2"))->text(), QStringLiteral("100"));
        QCOMPARE(form2->focusWidget(), child<QWidget>(form2, QStringLiteral("Command2")));
        QVERIFY(next(wizard, toolkit, PageId::Form2));
        QCOMPARE(child<QLineEdit>(wizard.page(PageId::Form3), QStringLiteral("Text1"))->text(), QStringLiteral("背景.jpg"));
        QVERIFY(next(wizard, toolkit, PageId::Form3));
        QVERIFY(child<QRadioButton>(wizard.page(PageId::Form4), QStringLiteral("Option1"))->isChecked());
        QVERIFY(next(wizard, toolkit, PageId::Form4, "Command1"));
        Page *form5 = wizard.page(PageId::Form5);
        QVERIFY(child<QRadioButton>(form5, QStringLiteral("Option3"))->isChecked());
        QCOMPARE(child<QLineEdit>(form5, QStringLiteral("Text2"))->text(), QStringLiteral("2"));
        auto *step = child<QLineEdit>(form5, QStringLiteral("Text1"));
        QCOMPARE(step->text(), QStringLiteral("10"));
        step->selectAll();
        QTest::keyClicks(step, QStringLiteral("8"));
        QVERIFY(next(wizard, toolkit, PageId::Form5, "Command1"));
        Run run;
        QVERIFY(settingslog::readRun(HandoffFiles(f.dir.path()).settingsLog(), run, nullptr));
        const QByteArray script = scriptOf(run);
        QVERIFY(script.contains("/POS:624,0,100,50"));
        Page *form7 = wizard.page(PageId::Form7);
        click(form7, QStringLiteral("Command1"));
        // The last save's route and page name are filled in; the book starts empty.
        QVERIFY(child<QRadioButton>(form7, QStringLiteral("Option1"))->isChecked());
        QCOMPARE(child<QLineEdit>(form7, QStringLiteral("Text2"))->text(), QStringLiteral("Page1"));
        QCOMPARE(child<QLineEdit>(form7, QStringLiteral("Text1"))->text(), QString());
        QTest::keyClicks(child(form7, QStringLiteral("Text1")), QStringLiteral("Book2"));
        toolkit.saveNames = {target};
        click(form7, QStringLiteral("Command2"));
        QCOMPARE(toolkit.saveFolders, QStringList{f.path(QStringLiteral("saved"))}); // where the last file was saved
        QCOMPARE(readAll(target), first + "\r\n<Book=\"Book2\">\r\n<Page=\"Page1\">\r\n" + script + "\r\n<Page End>\r\n<Book End>\r\n");
    }

    // What the last run left is checked again: a picture that is gone or has another size is said
    // so; an author who asks for an empty start gets empty pages.
    // 戻る: forward to Form7, back three pages (the log cut back each time, Alt+← once), Enter
    // alone on through the pages kept as they were, the step changed on Form5: the log and the
    // script are a straight run's with that step. From Form2, back is the start page, run cleared.
    void backAndForth_matchesAStraightRun()
    {
        QByteArray straightLog;
        QByteArray straightSaved;
        {
            WizardFixture straight;
            throughTheInputPages(straight, 3, "8", 1, 3, "2");
            straightLog = straight.log();
            generateAndSave(straight, true, straight.path(QStringLiteral("back.csf")));
            straightSaved = readAll(straight.path(QStringLiteral("back.csf")));
            WizardFixture::flushDeletes();
        }
        WizardFixture f;
        throughTheInputPages(f, 3, "10", 1, 3, "2");
        const auto page = [&f](PageId id) { return f.wizard->page(id); };
        Page *form7 = page(PageId::Form7);
        QCOMPARE(visibleWindows(), QWidgetList{form7});
        click(form7, QStringLiteral("CommandBack"));
        QCOMPARE(visibleWindows(), QWidgetList{page(PageId::Form5)});
        QCOMPARE(f.log().count('\n'), 3);
        click(page(PageId::Form5), QStringLiteral("CommandBack"));
        page(PageId::Form4)->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page(PageId::Form4)));
        QTest::keyClick(page(PageId::Form4)->focusWidget(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(visibleWindows(), QWidgetList{page(PageId::Form3)});
        QCOMPARE(f.log().count('\n'), 1);
        // The values stand as they were; Enter in a box goes on.
        QCOMPARE(child<QLineEdit>(page(PageId::Form3), QStringLiteral("Text4"))->text(), QStringLiteral("640"));
        QTest::keyClick(child(page(PageId::Form3), QStringLiteral("Text4")), Qt::Key_Return);
        QCOMPARE(visibleWindows(), QWidgetList{page(PageId::Form4)});
        QTest::keyClick(child(page(PageId::Form4), QStringLiteral("Option1")), Qt::Key_Return);
        QCOMPARE(visibleWindows(), QWidgetList{page(PageId::Form5)});
        auto *step = child<QLineEdit>(page(PageId::Form5), QStringLiteral("Text1"));
        QCOMPARE(step->text(), QStringLiteral("10"));
        step->selectAll();
        QTest::keyClicks(step, QStringLiteral("8"));
        QTest::keyClick(step, Qt::Key_Return);
        QVERIFY2(f.toolkit.messages.isEmpty(), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(visibleWindows(), QWidgetList{page(PageId::Form7)});
        QCOMPARE(f.log(), straightLog);
        generateAndSave(f, true, f.path(QStringLiteral("back.csf")));
        QCOMPARE(readAll(f.path(QStringLiteral("back.csf"))), straightSaved);
        WizardFixture::flushDeletes();

        WizardFixture g;
        QVERIFY(g.wizard->start());
        click(g.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        QVERIFY(writeAll(g.files.settingsLog(), "\"x\",\"1\",\"1\"\r\n"));
        click(g.wizard->page(PageId::Form2), QStringLiteral("CommandBack"));
        QCOMPARE(visibleWindows(), QWidgetList{g.wizard->page(PageId::Form1)});
        QVERIFY(!QFile::exists(g.files.settingsLog()));
        click(g.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        QCOMPARE(visibleWindows(), QWidgetList{g.wizard->page(PageId::Form2)});
    }

    // From the generation page with a script not saved, 戻る asks first; いいえ stays.
    void backFromAnUnsavedScript_asks()
    {
        WizardFixture f;
        throughTheInputPages(f, 3, "10", 1, 3, "2");
        Page *form7 = f.wizard->page(PageId::Form7);
        click(form7, QStringLiteral("Command1"));
        f.toolkit.answers = {false, true};
        click(form7, QStringLiteral("CommandBack"));
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("保存していないスクリプトがあります。前のページに戻りますか?"));
        QCOMPARE(visibleWindows(), QWidgetList{form7});
        click(form7, QStringLiteral("CommandBack"));
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form5)});
    }

    void rememberedPictures_goneOrChanged_orAnEmptyStart_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("expected");
        QTest::newRow("moved") << QStringLiteral("moved") << QStringLiteral("が見つかりません");
        QTest::newRow("resized") << QStringLiteral("resized") << QStringLiteral("大きさが変わっています（前回 100 × 50、今 120 × 60）");
        QTest::newRow("empty start") << QStringLiteral("empty") << QString();
    }

    void rememberedPictures_goneOrChanged_orAnEmptyStart()
    {
        QFETCH(QString, what);
        QFETCH(QString, expected);
        WizardFixture f;
        const QString scroll = writePicture(f.path(QStringLiteral("scroll.bmp")), 100, 50, "BMP");
        lastrun::Settings last;
        last.scrollPicture = scroll;
        last.log = "\"scroll.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n3,\"10\",1,3,\"2\"\r\n";
        QVERIFY(lastrun::save(f.files.rememberedSettings(), last, nullptr));
        if (what == QLatin1String("moved"))
            QVERIFY(QFile::remove(scroll));
        if (what == QLatin1String("resized"))
            writePicture(scroll, 120, 60, "BMP");
        f.wizard.reset();
        f.wizard = std::make_unique<Wizard>(f.toolkit, createPage, f.files);
        QVERIFY(f.wizard->start());
        if (what == QLatin1String("empty"))
            child<QCheckBox>(f.wizard->page(PageId::Form1), QStringLiteral("Check1"))->click();
        click(f.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        QCoreApplication::processEvents(); // the page's word comes once it is on the screen
        Page *form2 = f.wizard->page(PageId::Form2);
        const QString width = child<QLineEdit>(form2, QStringLiteral("Text2"))->text();
        if (expected.isEmpty()) {
            QVERIFY(f.toolkit.messages.isEmpty());
            QCOMPARE(child<QLineEdit>(form2, QStringLiteral("Text1"))->text(), QString());
            return;
        }
        QCOMPARE(f.toolkit.messages.size(), 1);
        QVERIFY2(f.toolkit.lastPrompt().contains(expected), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(width, what == QLatin1String("resized") ? QStringLiteral("120") : QStringLiteral("100"));
        QCOMPARE(child<QLineEdit>(form2, QStringLiteral("Text1"))->text(), QStringLiteral("scroll.bmp"));
    }

    // The detailed page starts with the last run's ten values.
    void detailedValues_areRemembered()
    {
        WizardFixture f;
        lastrun::Settings last;
        last.log = "\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"
                   "\"-10\",\"-20\",\"30\",\"40\",2,\"7\",3,\"1\",\"2\",2\r\n";
        QVERIFY(lastrun::save(f.files.rememberedSettings(), last, nullptr));
        f.wizard.reset();
        f.wizard = std::make_unique<Wizard>(f.toolkit, createPage, f.files);
        QVERIFY(f.wizard->start());
        click(f.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        QVERIFY(next(*f.wizard, f.toolkit, PageId::Form2));
        QVERIFY(next(*f.wizard, f.toolkit, PageId::Form3));
        QVERIFY(next(*f.wizard, f.toolkit, PageId::Form4, "Command1"));
        Page *form6 = f.wizard->page(PageId::Form6);
        QVERIFY(form6);
        QStringList boxes;
        for (int n = 1; n <= 8; ++n)
            boxes << child<QLineEdit>(form6, QStringLiteral("Text%1").arg(n))->text();
        QCOMPARE(boxes.mid(0, 4), (QStringList{"-10", "-20", "30", "40"}));
        QCOMPARE(boxes.mid(5), (QStringList{"7", "1", "2"}));
        for (const char *chosen : {"Option2", "Option8"})
            QVERIFY(child<QRadioButton>(form6, QString::fromLatin1(chosen))->isChecked());
        QCOMPARE(child<QComboBox>(form6, QStringLiteral("Combo1"))->currentText(), QStringLiteral("減速"));
        QVERIFY(next(*f.wizard, f.toolkit, PageId::Form6, "Command1"));
        QVERIFY(f.log().endsWith("\"-10\",\"-20\",\"30\",\"40\",2,\"7\",3,\"1\",\"2\",2\r\n"));
    }

    // A run's settings saved under a name and opened by another copy elsewhere: the same pages,
    // filled the same, generate the same bytes; the route and page name come back too.
    void settingsFile_roundTrip_data()
    {
        QTest::addColumn<QString>("mode");
        for (const char *mode : {"simple", "detailed", "chain"})
            QTest::newRow(mode) << QString::fromLatin1(mode);
    }

    void settingsFile_roundTrip()
    {
        QFETCH(QString, mode);
        WizardFixture f;
        throughToGeneration(f, mode);
        Page *form7 = f.wizard->page(PageId::Form7);
        QCOMPARE(visibleWindows(), QWidgetList{form7});
        auto *keep = child<QPushButton>(form7, QStringLiteral("Command5"));
        QVERIFY(!keep->isEnabled()); // nothing generated yet
        click(form7, QStringLiteral("Command1"));
        QVERIFY(keep->isEnabled());
        QByteArray first;
        QVERIFY(scriptbuffer::load(f.files.scriptBuffer(), first, nullptr));
        click(form7, QStringLiteral("Option2"));
        QTest::keyClicks(child(form7, QStringLiteral("Text2")), QStringLiteral("P7"));
        f.toolkit.saveNames = {f.path(QStringLiteral("motion"))}; // the extension is added
        click(form7, QStringLiteral("Command5"));
        const QString saved = f.path(QStringLiteral("motion.velra"));
        QCOMPARE(f.toolkit.saveFilters.last(), QStringLiteral("Velloran 設定ファイル (*.velra)|*.velra"));
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("設定を「%1」に保存しました。\r\n始めのページの「設定を開く…」で、この設定から作業を始められます。")
                                             .arg(QDir::toNativeSeparators(saved)));
        QVERIFY(readAll(saved).startsWith("\xEF\xBB\xBFVelloran settings 3\r\n" + QDir::toNativeSeparators(f.path(QStringLiteral("scroll.bmp"))).toUtf8() + "\r\n"));
        QCOMPARE(f.wizard->settingsFolder(), QFileInfo(saved).absolutePath()); // 設定を開く… opens there
        // Saving again over it asks first; いいえ leaves it.
        const QByteArray before = readAll(saved);
        f.toolkit.answers = {false};
        f.toolkit.saveNames = {saved};
        click(form7, QStringLiteral("Command5"));
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("「motion.velra」はすでにあります。置き換えますか?"));
        QCOMPARE(readAll(saved), before);
        form7->hide(); // its copy goes on, out of the way

        QTemporaryDir elsewhere;
        ScriptedToolkit toolkit;
        Wizard wizard(toolkit, createPage, HandoffFiles(elsewhere.path()));
        QVERIFY(wizard.start());
        toolkit.openNames = {saved};
        click(wizard.page(PageId::Form1), QStringLiteral("Command3"));
        QApplication::processEvents(); // the run starts once the dialog is gone
        QCOMPARE(toolkit.openFilters, QStringList{QStringLiteral("Velloran 設定ファイル (*.velra)|*.velra")});
        QVERIFY2(toolkit.messages.isEmpty(), qPrintable(toolkit.lastPrompt()));
        QCOMPARE(wizard.settingsFolder(), QFileInfo(saved).absolutePath());
        QCOMPARE(wizard.pictureFolder(), QFileInfo(f.path(QStringLiteral("scroll.bmp"))).absolutePath()); // where 参照 opens
        QCOMPARE(child<QLineEdit>(wizard.page(PageId::Form2), QStringLiteral("Text1"))->text(), QStringLiteral("scroll.bmp"));
        QVERIFY(next(wizard, toolkit, PageId::Form2));
        QVERIFY(next(wizard, toolkit, PageId::Form3));
        QVERIFY(next(wizard, toolkit, PageId::Form4, "Command1"));
        QVERIFY(next(wizard, toolkit, mode == QLatin1String("simple") ? PageId::Form5 : PageId::Form6, "Command1"));
        Page *again = wizard.page(PageId::Form7);
        QVERIFY(child<QRadioButton>(again, QStringLiteral("Option2"))->isChecked());
        QCOMPARE(child<QLineEdit>(again, QStringLiteral("Text2"))->text(), QStringLiteral("P7"));
        click(again, QStringLiteral("Command1"));
        QByteArray second;
        QVERIFY(scriptbuffer::load(HandoffFiles(elsewhere.path()).scriptBuffer(), second, nullptr));
        QCOMPARE(second, first);
        QCOMPARE(f.log(), readAll(HandoffFiles(elsewhere.path()).settingsLog()));
    }

    // A picture of a settings file that is gone is named as that file's, not as the last run's.
    void settingsFile_goneIsNamedAsTheFiles()
    {
        WizardFixture f;
        lastrun::Settings settings;
        settings.log = "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n3,\"10\",1,3,\"2\"\r\n";
        settings.scrollPicture = f.path(QStringLiteral("gone/s.bmp"));
        const QString gone = f.path(QStringLiteral("gone.velra"));
        QVERIFY(writeAll(gone, lastrun::encode(settings, true)));
        QVERIFY(f.wizard->start());
        f.toolkit.openNames = {gone};
        click(f.wizard->page(PageId::Form1), QStringLiteral("Command3"));
        QApplication::processEvents();
        QApplication::processEvents();
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("設定ファイルの設定"));
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("設定ファイル「gone.velra」の画像「%1」が見つかりません。\r\n参照で選び直してください。")
                                             .arg(QDir::toNativeSeparators(settings.scrollPicture)));
        // One that is there but no picture (a script, say) is said to be no picture, not gone.
        WizardFixture g;
        settings.scrollPicture = g.path(QStringLiteral("script.txt"));
        QVERIFY(writeAll(settings.scrollPicture, "Graphic \"s.bmp\""));
        QVERIFY(writeAll(gone, lastrun::encode(settings, true)));
        QVERIFY(g.wizard->start());
        g.toolkit.openNames = {gone};
        click(g.wizard->page(PageId::Form1), QStringLiteral("Command3"));
        QApplication::processEvents();
        QApplication::processEvents();
        QCOMPARE(g.toolkit.lastPrompt(), QStringLiteral("「%1」は画像として読めません。\r\nBMP または JPEG の画像ファイルを選んでください。")
                                             .arg(QDir::toNativeSeparators(settings.scrollPicture)));
    }

    // A file that cannot start a run is refused on the start page, which stays; nothing is written.
    // A settings file dropped on the page starts the run as 設定を開く… does.
    void settingsFile_refusedOrDropped()
    {
        WizardFixture f;
        const QString bad = f.path(QStringLiteral("bad.velra"));
        QVERIFY(writeAll(bad, "\"s.bmp\",\"100\",\"50\"\r\n"));
        QVERIFY(f.wizard->start());
        Page *form1 = f.wizard->page(PageId::Form1);
        f.toolkit.openNames = {bad};
        click(form1, QStringLiteral("Command3"));
        QApplication::processEvents();
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("設定を開けません"));
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("「%1」は Velloran の設定ファイルではありません。").arg(QDir::toNativeSeparators(bad)));
        QCOMPARE(visibleWindows(), QWidgetList{form1});
        QVERIFY(!QFile::exists(f.files.settingsLog()));

        lastrun::Settings settings;
        settings.log = "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n3,\"10\",1,3,\"2\"\r\n";
        const QString good = f.path(QStringLiteral("good.velra"));
        QVERIFY(writeAll(good, lastrun::encode(settings, true)));
        for (const QString &dropped : {f.path(QStringLiteral("picture.bmp")), good}) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(dropped)});
            QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form1, &enter);
            QCOMPARE(enter.isAccepted(), dropped == good); // only settings files
            QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form1, &drop);
            QApplication::processEvents();
        }
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form2)});
        QCOMPARE(child<QLineEdit>(f.wizard->page(PageId::Form2), QStringLiteral("Text1"))->text(), QStringLiteral("s.bmp"));
    }

    // A new run from the generation page, with this run's values: after a generation (asked first,
    // as the script is not saved), after a failed one (nothing to lose), or not at all (いいえ).
    void newRunFromForm7_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("answer");
        QTest::newRow("after a generation, はい") << QStringLiteral("10") << true;
        QTest::newRow("after a generation, いいえ") << QStringLiteral("10") << false;
        QTest::newRow("after a failure") << QStringLiteral("99999") << true;
    }

    void newRunFromForm7()
    {
        QFETCH(QString, step);
        QFETCH(bool, answer);
        WizardFixture f;
        throughTheInputPages(f, 3, "10", 1, 3, "2");
        const bool fails = step != QLatin1String("10");
        if (fails) // a damaged hand-off file: the step in the log out of range
            QVERIFY(writeAll(f.files.settingsLog(), f.log().replace("\"10\"", "\"99999\"")));
        Page *form7 = f.wizard->page(PageId::Form7);
        auto *remake = child<QPushButton>(form7, QStringLiteral("Command4"));
        QCOMPARE(remake->text(), QStringLiteral("設定を変えて作り直す"));
        QVERIFY(!remake->isEnabled());
        click(form7, QStringLiteral("Command1"));
        QVERIFY(remake->isEnabled());
        f.toolkit.messages.clear();
        f.toolkit.answers = {answer};
        click(form7, QStringLiteral("Command4"));
        if (!fails) {
            QCOMPARE(f.toolkit.messages.size(), 1);
            QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("保存していないスクリプトがあります。作り直しますか?"));
        } else {
            QVERIFY(f.toolkit.messages.isEmpty());
        }
        if (!answer) {
            QCOMPARE(visibleWindows(), QWidgetList{form7});
            QVERIFY(QFile::exists(f.files.scriptBuffer()));
            return;
        }
        WizardFixture::flushDeletes();
        Page *form2 = f.wizard->page(PageId::Form2);
        QVERIFY(form2);
        QCOMPARE(visibleWindows(), QWidgetList{form2});
        QVERIFY(!QFile::exists(f.files.settingsLog()));
        QVERIFY(!QFile::exists(f.files.scriptBuffer()));
        QCOMPARE(child<QLineEdit>(form2, QStringLiteral("Text1"))->text(), QStringLiteral("scroll.bmp"));
        // The same run goes on: the pages follow each other again, each once.
        QVERIFY(next(*f.wizard, f.toolkit, PageId::Form2));
        QVERIFY(next(*f.wizard, f.toolkit, PageId::Form3));
        QVERIFY(next(*f.wizard, f.toolkit, PageId::Form4, "Command1"));
        Page *form5 = f.wizard->page(PageId::Form5);
        QCOMPARE(child<QLineEdit>(form5, QStringLiteral("Text1"))->text(), step);
        QCOMPARE(f.finished.size(), 0);
    }

    // Everything that makes a simple generation fail is said at the settings page, naming its box.
    void settingsPage_refusesWhatTheGenerationWould_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("moves");
        QTest::addColumn<QString>("expected");
        QTest::newRow("step 0") << QStringLiteral("0") << QStringLiteral("2") << QStringLiteral("スクロールの間隔の「0」は 1 から 32767 の範囲外です。");
        QTest::newRow("step 40000") << QStringLiteral("40000") << QStringLiteral("2") << QStringLiteral("スクロールの間隔の「40000」は 1 から 32767 の範囲外です。");
        QTest::newRow("too far") << QStringLiteral("300") << QStringLiteral("200") << QStringLiteral("積（60000 ドット）が 32767 を超えています");
    }

    void settingsPage_refusesWhatTheGenerationWould()
    {
        QFETCH(QString, step);
        QFETCH(QString, moves);
        QFETCH(QString, expected);
        WizardFixture f;
        throughTheInputPages(f, 3, step.toLatin1().constData(), 1, 3, moves.toLatin1().constData());
        QVERIFY2(f.toolkit.lastPrompt().contains(expected), qPrintable(f.toolkit.lastPrompt()));
        QVERIFY(!f.toolkit.lastPrompt().contains(QStringLiteral("ScrollStep")));
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form5)});
        QCOMPARE(f.log().count("\r\n"), 3);
    }

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
        QCOMPARE(f.toolkit.dialogTitles,
                 (QStringList{QStringLiteral("スクロールする画像を選択"), QStringLiteral("背景画像を選択"), QStringLiteral("保存先を選択")}));
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
        Run run;
        QVERIFY(settingslog::readRun(f.files.settingsLog(), run, nullptr));
        const QByteArray script = scriptOf(run);
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
        diagonalEasedMove(form6);
        click(form6, QStringLiteral("Command1"));
        QVERIFY2(f.toolkit.messages.isEmpty(), qPrintable(f.toolkit.lastPrompt()));
        Page *form7 = f.wizard->page(PageId::Form7);
        QCOMPARE(visibleWindows(), QWidgetList{form7});
        click(form7, QStringLiteral("Command1"));
        click(form7, QStringLiteral("Option2"));
        QTest::keyClicks(child(form7, QStringLiteral("Text1")), QStringLiteral("B"));
        QTest::keyClicks(child(form7, QStringLiteral("Text2")), QStringLiteral("P"));
        f.toolkit.saveNames = {f.path(QStringLiteral("detailed.txt"))};
        click(form7, QStringLiteral("Command2"));
        const QByteArray bg = "Graphic \"b.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,640,480\"\r\n";
        const auto pic = [](const char *xy) { return QByteArray("Graphic \"s.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:") + xy + ",10,10\""; };
        // 3t^2 - 2t^3 at t = 1/3 and 2/3: 7/27 and 20/27 of 30.
        QCOMPARE(readAll(f.path(QStringLiteral("detailed.txt"))),
                 "<Book=\"B\">\r\n<Page=\"P\">\r\n" + bg + pic("-10,-10") + "\r\n" + pic("-2,-2") + "\r\n" + pic("12,12") + "\r\n"
                     + pic("20,20") + "\r\n<Page End>\r\n<Book End>\r\n");
        expectEnded(f);
    }
};

QTEST_MAIN(TestWholeRun)
#include "tst_wholerun.moc"
#include "pages/Pages.h"
