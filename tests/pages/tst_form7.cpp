#include "SmallDisk.h"
#include "WizardFixture.h"
#include "handoff/ScriptBuffer.h"
#include "preview/PreviewWindow.h"
#include "script/ScriptFile.h"
#include "pages/Form7.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QSpinBox>

#include <QProgressBar>
#include <QRadioButton>
#include <QLocale>
#include <QTest>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace velra;
using namespace velra::test;

namespace {

const QByteArray kWorkedExampleLog = "\"scroll.bmp\",\"100\",\"50\"\r\n\"back.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n3,\"10\",1,3,\"2\"\r\n";

struct Form7Fixture : WizardFixture
{
    Page *page = nullptr;

    explicit Form7Fixture(const QByteArray &log = kWorkedExampleLog)
    {
        if (!log.isNull())
            writeAll(files.settingsLog(), log);
        page = wizard->show(PageId::Form7);
    }

    QPushButton *generateButton() const { return child<QPushButton>(page, QStringLiteral("Command1")); }
    QPushButton *saveButton() const { return child<QPushButton>(page, QStringLiteral("Command2")); }
    QProgressBar *bar() const { return child<QProgressBar>(page, QStringLiteral("ProgressBar1")); }

    void generate() { click(page, QStringLiteral("Command1")); }
    // プレビュー pressed: the window it opened, or none.
    preview::PreviewWindow *openPreview()
    {
        click(page, QStringLiteral("Command3"));
        return page->findChild<preview::PreviewWindow *>();
    }
    void fillSave(bool csf, const QString &book, const QString &pageName)
    {
        click(page, csf ? QStringLiteral("Option1") : QStringLiteral("Option2"));
        typeText(child(page, QStringLiteral("Text1")), book);
        typeText(child(page, QStringLiteral("Text2")), pageName);
    }
};

} // namespace

class TestForm7 : public QObject
{
    Q_OBJECT

private slots:
    void readyState_showsTheCaptions()
    {
        Form7Fixture f;
        QCOMPARE(f.page->windowTitle(), QStringLiteral("Velloran"));
        QCOMPARE(child<QGroupBox>(f.page, QStringLiteral("Frame1"))->title(), QStringLiteral("コードの生成"));
        QCOMPARE(child<QLabel>(f.page, QStringLiteral("Label1"))->text(), QStringLiteral("↓クリックすると、生成を開始します"));
        QCOMPARE(f.generateButton()->text(), QStringLiteral("コード生成"));
        QVERIFY(f.generateButton()->isEnabled());
        QCOMPARE(child<QGroupBox>(f.page, QStringLiteral("Frame2"))->title(), QStringLiteral("保存について"));
        QCOMPARE(child<QRadioButton>(f.page, QStringLiteral("Option1"))->text(), QStringLiteral("CSFファイル"));
        QCOMPARE(child<QRadioButton>(f.page, QStringLiteral("Option2"))->text(), QStringLiteral("テキストファイル"));
        QVERIFY(!child<QRadioButton>(f.page, QStringLiteral("Option1"))->isChecked());
        QVERIFY(!child<QRadioButton>(f.page, QStringLiteral("Option2"))->isChecked());
        QCOMPARE(child<QLabel>(f.page, QStringLiteral("Label2"))->text(), QStringLiteral("保存ブック名(既存ブック指定禁止)"));
        QCOMPARE(child<QLabel>(f.page, QStringLiteral("Label3"))->text(), QStringLiteral("保存ページ名"));
        QCOMPARE(child<QLabel>(f.page, QStringLiteral("Label4"))->text(),
                 QStringLiteral("CSFファイルでの保存の場合、　　　新規作成・上書きは自動判別します"));
        QCOMPARE(f.saveButton()->text(), QStringLiteral("保存"));
        QVERIFY(!f.saveButton()->isEnabled());
        // The names have room: each box as wide as its frame allows.
        for (const char *name : {"Text1", "Text2"})
            QVERIFY(child<QLineEdit>(f.page, QString::fromLatin1(name))->width() >= 270);
    }

    void generation_passesThroughItsStates_andFillsTheBuffer()
    {
        Form7Fixture f;
        bool checkedWhileOpen = false;
        f.toolkit.onMessage = [&] {
            checkedWhileOpen = true;
            QCOMPARE(f.generateButton()->text(), QStringLiteral("！！実行中！！"));
            QVERIFY(!f.generateButton()->isEnabled());
            QVERIFY(!f.saveButton()->isEnabled());
            QCOMPARE(f.page->cursor().shape(), Qt::WaitCursor);
        };
        f.generate();
        QVERIFY(checkedWhileOpen);
        QCOMPARE(f.toolkit.messages.size(), 1);
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("スクリプトの内部生成が完了しました\r\n保存の作業に移ってください"));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("生成完了"));
        QCOMPARE(f.toolkit.messages.last().style, int(OkOnly));
        QCOMPARE(f.generateButton()->text(), QStringLiteral("コード生成完了"));
        QVERIFY(!f.generateButton()->isEnabled());
        QVERIFY(f.saveButton()->isEnabled());
        QCOMPARE(f.page->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(f.bar()->maximum(), 5);
        QCOMPARE(f.bar()->value(), 5); // full when done
        QByteArray script;
        QVERIFY(scriptbuffer::load(f.files.scriptBuffer(), script, nullptr));
        QVERIFY(script.startsWith("Graphic \"back.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,640,480\"\r\n"));
        QVERIFY(script.endsWith("\"/POS:610,0,100,50\""));
    }

    void failures_stopWithAMessage_andWriteNoBuffer_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("expected");
        QTest::newRow("step 0") << QByteArray(kWorkedExampleLog).replace("\"10\"", "\"0\"") << QStringLiteral("スクロールの間隔が 0 です");
        QTest::newRow("16-bit product") << QByteArray(kWorkedExampleLog).replace("\"2\"\r\n", "\"9999\"\r\n") << QStringLiteral("の積");
        QTest::newRow("short log") << QByteArray("\"scroll.bmp\",\"100\",\"50\"\r\n") << QStringLiteral("値が足りません");
        QTest::newRow("missing log") << QByteArray() << QStringLiteral("見つかりません");
        QTest::newRow("invalid CP932") << QByteArray(kWorkedExampleLog).replace("back", "b\x81" "\x20" "ck") << QStringLiteral("CP932");
        QTest::newRow("unclosed quote") << QByteArray(kWorkedExampleLog).replace("3,\"10\",1", "3,\"10,1") << QStringLiteral("値が足りません");
        QTest::newRow("megabyte line") << QByteArray(3'000'000, ',') << QStringLiteral("が大きすぎます（64 KB を超えています）");
    }

    // No dead end: the page's words (no internal name), the button back, and the new run offered.
    void failures_stopWithAMessage_andWriteNoBuffer()
    {
        QFETCH(QByteArray, log);
        QFETCH(QString, expected);
        Form7Fixture f(log.isEmpty() ? QByteArray() : log);
        f.generate();
        QCOMPARE(f.toolkit.messages.size(), 1);
        QVERIFY2(f.toolkit.lastPrompt().contains(expected), qPrintable(f.toolkit.lastPrompt()));
        QVERIFY(f.toolkit.lastPrompt().contains(QStringLiteral("「設定を変えて作り直す」で設定を直せます")));
        QVERIFY(!f.toolkit.lastPrompt().contains(QStringLiteral("ScrollStep")));
        QCOMPARE(f.toolkit.messages.last().style, int(OkWithExclamation));
        QCOMPARE(f.generateButton()->text(), QStringLiteral("コード生成"));
        QVERIFY(f.generateButton()->isEnabled());
        QVERIFY(child<QPushButton>(f.page, QStringLiteral("Command4"))->isEnabled());
        QVERIFY(!f.saveButton()->isEnabled());
        QCOMPARE(f.page->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!QFile::exists(f.files.scriptBuffer()));
    }

    void bufferThatCannotBeWritten_isReported()
    {
        Form7Fixture f;
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("velra2.dat")));
        f.generate();
        QVERIFY(f.toolkit.lastPrompt().contains(QStringLiteral("velra2.dat")));
        QVERIFY(!f.saveButton()->isEnabled());
    }

    void save_csf_writesTheFile_andEndsTheRun()
    {
        Form7Fixture f;
        f.generate();
        f.fillSave(true, QStringLiteral("第一巻"), QStringLiteral("P1"));
        const QString target = f.path(QStringLiteral("comic.csf"));
        f.toolkit.saveNames = {target};
        f.toolkit.onMessage = [&] {
            QCOMPARE(f.saveButton()->text(), QStringLiteral("保存処理中"));
            QVERIFY(!f.saveButton()->isEnabled());
        };
        click(f.page, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.saveFilters, QStringList{QStringLiteral("コミックファイル(*.csf)|*.csf")});
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("ファイルの書き出しが終了しました\r\nOKをクリックすると終了します"));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("ファイル書き出し完了"));
        QCOMPARE(f.toolkit.messages.last().style, int(OkOnly));
        const QByteArray bytes = readAll(target);
        QVERIFY(bytes.startsWith("/// Fablescope for Win95\r\n"));
        QVERIFY(bytes.contains("<Head End>\r\n<Book=\"" + sjis(QStringLiteral("第一巻")) + "\">\r\n<Page=\"P1\">\r\nGraphic "));
        QVERIFY(bytes.endsWith("\"/POS:610,0,100,50\"\r\n<Page End>\r\n<Book End>\r\n"));
        QCOMPARE(f.finished.size(), 1);
        WizardFixture::flushDeletes();
        QVERIFY(visibleWindows().isEmpty());
        QVERIFY(!f.wizard->page(PageId::Form7));
    }

    // What the save needs is asked for before the dialog opens; the page stays as it was.
    void saveChecks_nameWhatIsMissing_beforeTheDialog_data()
    {
        QTest::addColumn<int>("route"); // 0 none, 1 CSF, 2 text
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no route") << 0 << "B" << "P" << QStringLiteral("CSFファイルかテキストファイルを選んでください");
        QTest::newRow("no book") << 1 << "" << "P" << QStringLiteral("保存ブック名を記入してください");
        QTest::newRow("no page") << 2 << "B" << "" << QStringLiteral("保存ページ名を記入してください");
    }
    void saveChecks_nameWhatIsMissing_beforeTheDialog()
    {
        QFETCH(int, route);
        QFETCH(QString, book);
        QFETCH(QString, page);
        QFETCH(QString, expected);
        Form7Fixture f;
        f.generate();
        if (route)
            click(f.page, QStringLiteral("Option%1").arg(route));
        typeText(child(f.page, QStringLiteral("Text1")), book);
        typeText(child(f.page, QStringLiteral("Text2")), page);
        f.toolkit.saveNames = {f.path(QStringLiteral("out.csf"))};
        click(f.page, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.lastPrompt(), expected);
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("保存の設定が足りません"));
        QVERIFY(f.toolkit.saveFilters.isEmpty()); // no dialog
        QVERIFY(!QFile::exists(f.path(QStringLiteral("out.csf"))));
        QVERIFY(f.saveButton()->isEnabled());
        QCOMPARE(f.finished.size(), 0);
    }

    // A name typed without an extension gets the route's; one with its own keeps it.
    void typedName_getsTheRoutesExtension_data()
    {
        QTest::addColumn<bool>("csf");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("comic") << true << "comic" << "comic.csf";
        QTest::newRow("notes") << false << "notes" << "notes.txt";
        QTest::newRow("its own") << false << "notes.log" << "notes.log";
    }
    void typedName_getsTheRoutesExtension()
    {
        QFETCH(bool, csf);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        Form7Fixture f;
        f.generate();
        f.fillSave(csf, QStringLiteral("B"), QStringLiteral("P"));
        f.toolkit.saveNames = {f.path(typed)};
        click(f.page, QStringLiteral("Command2"));
        QVERIFY(readAll(f.path(saved)).contains("<Book=\"B\">"));
        if (typed != saved)
            QVERIFY(!QFile::exists(f.path(typed)));
        QCOMPARE(f.finished.size(), 1);
    }

    // A CSF that already holds the book is refused and untouched: the host could not tell the two
    // books apart. A text file takes it, as notes may.
    void duplicateBook_isRefused_andTheFileUntouched()
    {
        Form7Fixture f;
        f.generate();
        const QString target = f.path(QStringLiteral("comic.csf"));
        const QByteArray existing = scriptfile::headerBlock() + "\r\n<Book=\"" + sjis(QStringLiteral("第一巻")) + "\">\r\n<Page=\"P\">\r\n<Page End>\r\n<Book End>\r\n";
        QVERIFY(writeAll(target, existing));
        f.fillSave(true, QStringLiteral("第一巻"), QStringLiteral("P2"));
        f.toolkit.saveNames = {target};
        const qsizetype before = f.toolkit.messages.size();
        click(f.page, QStringLiteral("Command2"));
        // Said before asking whether to add a book to the file: one box, not two.
        QCOMPARE(f.toolkit.messages.size(), before + 1);
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("ブック「第一巻」はすでに「comic.csf」にあります。別のブック名にしてください。"));
        QCOMPARE(readAll(target), existing);
        QVERIFY(f.saveButton()->isEnabled());
        QCOMPARE(f.finished.size(), 0);
        QCOMPARE(QDir(f.dir.path()).entryList({QStringLiteral("*.csf*")}, QDir::Files | QDir::Hidden), QStringList{QStringLiteral("comic.csf")});
    }

    // Closing the window with an unsaved script asks, いいえ by default; after the save, 続けて作る
    // starts the next run with this run's values instead of ending.
    void unsavedScript_closingAsks_andKeepGoingStartsANewRun()
    {
        Form7Fixture f;
        f.generate();
        f.toolkit.answers = {false};
        f.page->close();
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("保存していないスクリプトがあります。終了しますか?"));
        QVERIFY(f.page->isVisible());
        QCOMPARE(f.finished.size(), 0);

        f.fillSave(false, QStringLiteral("B"), QStringLiteral("P"));
        f.toolkit.saveNames = {f.path(QStringLiteral("out.txt"))};
        f.toolkit.choices = {true};
        click(f.page, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.choiceButtons, QStringList{QStringLiteral("続けて作る")});
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("ファイルの書き出しが終了しました\r\nOKをクリックすると終了します"));
        QCOMPARE(f.finished.size(), 0);
        Page *form2 = f.wizard->page(PageId::Form2);
        QVERIFY(form2);
        QCOMPARE(visibleWindows(), QWidgetList{form2});
        QCOMPARE(child<QLineEdit>(form2, QStringLiteral("Text1"))->text(), QStringLiteral("scroll.bmp"));
    }

    void cancelledDialog_changesNothing()
    {
        Form7Fixture f;
        f.generate();
        f.fillSave(true, QStringLiteral("B"), QStringLiteral("P"));
        f.toolkit.messages.clear();
        click(f.page, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.saveFilters.size(), 1);
        QVERIFY(f.toolkit.messages.isEmpty());
        QCOMPARE(f.saveButton()->text(), QStringLiteral("保存"));
        QVERIFY(f.saveButton()->isEnabled());
        QCOMPARE(f.finished.size(), 0);
    }

    void failedSave_namesTheFile_andLetsTheAuthorSaveElsewhere()
    {
        Form7Fixture f;
        f.generate();
        const QString bad = f.path(QStringLiteral("no/such/folder/out.csf"));
        const QString good = f.path(QStringLiteral("out.csf"));
        f.fillSave(true, QStringLiteral("B"), QStringLiteral("P"));
        f.toolkit.saveNames = {bad, good};
        click(f.page, QStringLiteral("Command2"));
        QVERIFY(f.toolkit.lastPrompt().contains(QDir::toNativeSeparators(bad)));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("保存できません"));
        QCOMPARE(f.saveButton()->text(), QStringLiteral("保存"));
        QVERIFY(f.saveButton()->isEnabled());
        QCOMPARE(f.finished.size(), 0);
        click(f.page, QStringLiteral("Command2"));
        QVERIFY(QFile::exists(good));
        QCOMPARE(f.finished.size(), 1);
    }

    // Saving into a file that holds text adds a book after it: the page says so instead of the
    // dialog's "replace?", and いいえ leaves everything as it was.
    void saveIntoAFileWithText_saysABookIsAdded()
    {
        Form7Fixture f;
        f.generate();
        f.fillSave(true, QStringLiteral("B"), QStringLiteral("P"));
        const QString target = f.path(QStringLiteral("comic.csf"));
        QVERIFY(writeAll(target, "earlier\r\n"));
        f.toolkit.messages.clear();
        f.toolkit.answers = {false};
        f.toolkit.saveNames = {target};
        click(f.page, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.messages.size(), 1);
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("「comic.csf」の最後に新しいブックを追加します。よろしいですか?"));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("保存先の確認"));
        QCOMPARE(readAll(target), QByteArray("earlier\r\n"));
        QVERIFY(f.saveButton()->isEnabled());
        f.toolkit.saveNames = {target};
        click(f.page, QStringLiteral("Command2"));
        QVERIFY(readAll(target).startsWith("earlier\r\n\r\n<Book=\"B\">"));
        QCOMPARE(f.finished.size(), 1);
    }

    // What the save would refuse of the file itself (read-only, a FIFO a neighbour made) is refused
    // before the page asks to add to it, in the save's words; the window never waits on a FIFO.
    void saveIntoWhatIsRefused_isRefusedBeforeTheQuestion()
    {
        Form7Fixture f;
        f.generate();
        f.fillSave(true, QStringLiteral("B"), QStringLiteral("P"));
        const QString readOnly = f.path(QStringLiteral("kept.csf"));
        QVERIFY(writeAll(readOnly, "earlier\r\n") && QFile::setPermissions(readOnly, QFileDevice::ReadOwner));
        QList<std::pair<QString, QString>> cases{{readOnly, QStringLiteral("ファイルが読み取り専用です。")}};
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(f.path(QStringLiteral("pipe.csf"))).constData(), 0666), 0);
        cases.append({f.path(QStringLiteral("pipe.csf")), QStringLiteral("名前付きパイプ（FIFO）で、ファイルではありません。")});
#endif
        for (const auto &[target, reason] : cases) {
            f.toolkit.messages.clear();
            f.toolkit.saveNames = {target};
            click(f.page, QStringLiteral("Command2"));
            QCOMPARE(f.toolkit.messages.size(), 1);
            QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("ファイル「%1」に保存できませんでした。\r\n%2").arg(QDir::toNativeSeparators(target), reason));
            QVERIFY(f.saveButton()->isEnabled());
        }
        QCOMPARE(readAll(readOnly), QByteArray("earlier\r\n"));
    }

    // A file another program holds: the page says what it waits for and lets the author give up;
    // the file stays as it was and the save can be tried again.
    void saveIntoAHeldFile_canBeGivenUp()
    {
        Form7Fixture f;
        f.generate();
        f.fillSave(true, QStringLiteral("B"), QStringLiteral("P"));
        const QString target = f.path(QStringLiteral("held.csf"));
        QVERIFY(writeAll(target, "held\r\n"));
        HeldLock held(target);
        QVERIFY(held.isHeld());
        f.toolkit.giveUpAfter = 2;
        f.toolkit.saveNames = {target};
        QStringList whileSaving;
        f.toolkit.onWait = [&] {
            for (const char *name : {"Command1", "Command2", "Command3", "Command4"})
                if (child<QPushButton>(f.page, QString::fromLatin1(name))->isEnabled())
                    whileSaving << QString::fromLatin1(name);
        };
        click(f.page, QStringLiteral("Command2"));
        QCOMPARE(whileSaving, QStringList()); // no save, preview or new run while the save goes on
        QCOMPARE(f.toolkit.waits.size(), 2);
        QCOMPARE(f.toolkit.waits.first(), QStringLiteral("ほかのプログラムが「held.csf」を使っています…"));
        QCOMPARE(f.toolkit.waitsOver, 1);
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("保存できません"));
        QVERIFY(f.toolkit.lastPrompt().contains(QStringLiteral("保存を取りやめました")));
        QCOMPARE(readAll(target), QByteArray("held\r\n"));
        QVERIFY(f.saveButton()->isEnabled());
        QVERIFY(child<QPushButton>(f.page, QStringLiteral("Command3"))->isEnabled());
        QCOMPARE(f.finished.size(), 0);
    }

    // The disk runs full while the file is written: no completion, the original as it was, and
    // the author can try again elsewhere.
    void fullDisk_showsTheFailure_andKeepsTheOriginal_data() { SmallDisk::addFullDiskRows(false); }

    void fullDisk_showsTheFailure_andKeepsTheOriginal()
    {
        QFETCH(QByteArray, existing);
        QFETCH(qint64, freeBytes);
        SmallDisk disk(256);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.whyNot));
        const QString target = disk.path(QStringLiteral("comic.csf"));
        if (!existing.isEmpty())
            QVERIFY(writeAll(target, existing));
        QVERIFY(disk.fill(freeBytes));

        Form7Fixture f;
        f.generate();
        f.fillSave(true, QStringLiteral("A"), QStringLiteral("P"));
        f.toolkit.saveNames = {target};
        click(f.page, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("保存できません"));
        QVERIFY2(f.toolkit.lastPrompt().contains(QStringLiteral("ディスクの空きが足りません")), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(f.toolkit.messages.last().style, int(OkWithExclamation));
        QCOMPARE(f.saveButton()->text(), QStringLiteral("保存"));
        QVERIFY(f.saveButton()->isEnabled());
        QCOMPARE(f.finished.size(), 0);
        QCOMPARE(disk.files(), existing.isEmpty() ? QStringList() : QStringList{QStringLiteral("comic.csf")});
        if (!existing.isEmpty())
            QCOMPARE(readAll(target), existing);
    }

    void bufferThatIsAFolder_saysSo()
    {
        Form7Fixture f;
        f.generate();
        QVERIFY(QFile::remove(f.files.scriptBuffer()));
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("velra2.dat")));
        click(f.page, QStringLiteral("Command2"));
        QVERIFY2(f.toolkit.lastPrompt().contains(QStringLiteral("がフォルダーです")), qPrintable(f.toolkit.lastPrompt()));
        QVERIFY(!f.toolkit.lastPrompt().contains(QStringLiteral("見つかりません")));
    }

    // The preview plays what the script buffer holds and changes nothing: the save afterwards
    // writes what it would have written.
    void preview_playsTheScript_andChangesNothing()
    {
        Form7Fixture f;
        auto *previewButton = child<QPushButton>(f.page, QStringLiteral("Command3"));
        QCOMPARE(previewButton->text(), QStringLiteral("プレビュー"));
        QVERIFY(!previewButton->isEnabled());
        f.generate();
        QVERIFY(previewButton->isEnabled());
        const QByteArray buffer = readAll(f.files.scriptBuffer());
        const QByteArray log = f.log();
        f.toolkit.messages.clear();
        auto *window = f.openPreview();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Velloran プレビュー"));
        auto *number = child<QLabel>(window, QStringLiteral("FrameNumber"));
        QCOMPARE(number->text(), QStringLiteral("1 / 4"));
        // Neither picture was chosen with 参照 in this run: both are labelled rectangles, and the
        // window says so.
        auto *problems = child<QLabel>(window, QStringLiteral("Problems"));
        QVERIFY(!problems->isHidden());
        QVERIFY(problems->text().contains(QStringLiteral("back.bmp")) && problems->text().contains(QStringLiteral("scroll.bmp")));

        QTest::keyClick(window, Qt::Key_Right);
        QCOMPARE(number->text(), QStringLiteral("2 / 4"));
        QTest::keyClick(window, Qt::Key_End);
        QCOMPARE(number->text(), QStringLiteral("4 / 4"));
        QTest::keyClick(window, Qt::Key_Right);
        QCOMPARE(number->text(), QStringLiteral("4 / 4"));
        QTest::keyClick(window, Qt::Key_Home);
        QCOMPARE(number->text(), QStringLiteral("1 / 4"));
        click(window, QStringLiteral("Last"));
        QCOMPARE(window->frame(), 3);
        click(window, QStringLiteral("Back"));
        QCOMPARE(window->frame(), 2);
        child<QSlider>(window, QStringLiteral("Slider"))->setValue(1);
        QCOMPARE(number->text(), QStringLiteral("2 / 4"));
        child<QSpinBox>(window, QStringLiteral("Speed"))->setValue(120);
        QTest::keyClick(window, Qt::Key_Space);
        QVERIFY(window->isPlaying());
        QTRY_COMPARE(number->text(), QStringLiteral("4 / 4"));
        QTRY_VERIFY(!window->isPlaying()); // no loop: it stops at the end
        child<QCheckBox>(window, QStringLiteral("Loop"))->setChecked(true);
        QTest::keyClick(window, Qt::Key_Space);
        QTRY_COMPARE(number->text(), QStringLiteral("4 / 4"));
        QTRY_COMPARE(number->text(), QStringLiteral("1 / 4")); // round again
        QTest::keyClick(window, Qt::Key_Space);
        QVERIFY(!window->isPlaying());
        QTest::keyClick(window, Qt::Key_Escape);
        WizardFixture::flushDeletes();
        QVERIFY(!f.page->findChild<preview::PreviewWindow *>());

        QVERIFY(f.toolkit.messages.isEmpty());
        QCOMPARE(readAll(f.files.scriptBuffer()), buffer);
        QCOMPARE(f.log(), log);
        QVERIFY(f.page->isVisible());
        const QString target = f.path(QStringLiteral("after-preview.txt"));
        f.fillSave(false, QStringLiteral("B"), QStringLiteral("P"));
        f.toolkit.saveNames = {target};
        click(f.page, QStringLiteral("Command2"));
        QVERIFY(readAll(target).contains("\"/POS:610,0,100,50\""));
        QCOMPARE(f.finished.size(), 1);
    }

    // The preview fits the screen's free area and opens over the page; every control is reached
    // with Tab, Enter presses the focused one, and the window's keys work whichever has the focus.
    void preview_fitsTheScreen_andIsUsedFromTheKeyboard()
    {
        Form7Fixture f;
        f.page->move(40, 30);
        f.generate();
        auto *window = f.openPreview();
        QVERIFY(window);
        const QRect area = window->screen()->availableGeometry();
        QVERIFY2(area.contains(window->geometry()), qPrintable(QStringLiteral("%1x%2 at %3,%4 on %5x%6")
                                                                   .arg(window->width()).arg(window->height()).arg(window->x())
                                                                   .arg(window->y()).arg(area.width()).arg(area.height())));
        const QPoint offset = window->geometry().center() - f.page->frameGeometry().center();
        const bool clamped = window->width() >= area.width() - 40 || window->height() >= area.height() - 60;
        QVERIFY2(clamped || offset.manhattanLength() < 40, "not over the page");

        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QStringList reached;
        for (int i = 0; i < 12; ++i) {
            reached << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        for (const char *name : {"First", "Back", "Play", "Forward", "Last", "Slider", "Speed", "Loop"})
            QVERIFY2(reached.contains(QString::fromLatin1(name)), qPrintable(reached.join(QLatin1Char(' '))));
        auto *number = child<QLabel>(window, QStringLiteral("FrameNumber"));
        auto *forward = child<QPushButton>(window, QStringLiteral("Forward"));
        forward->setFocus();
        QTest::keyClick(forward, Qt::Key_Return);
        QCOMPARE(number->text(), QStringLiteral("2 / 4"));
        auto *speed = child<QSpinBox>(window, QStringLiteral("Speed"));
        speed->setFocus();
        QTest::keyClick(speed, Qt::Key_Right);
        QCOMPARE(number->text(), QStringLiteral("3 / 4"));
        QTest::keyClick(speed, Qt::Key_Home);
        QCOMPARE(number->text(), QStringLiteral("1 / 4"));
        QTest::keyClick(speed, Qt::Key_End);
        QCOMPARE(number->text(), QStringLiteral("4 / 4"));
        const int fps = speed->value();
        QTest::keyClick(speed, Qt::Key_Up);
        QCOMPARE(speed->value(), fps + 1);
        QTest::keyClick(speed, Qt::Key_Space);
        QVERIFY(window->isPlaying());
        QTest::keyClick(child<QCheckBox>(window, QStringLiteral("Loop")), Qt::Key_Space);
        QVERIFY(!window->isPlaying());
        window->close();
    }

    // Page Up and Page Down move a tenth of the frames; a click on the slider's groove goes to the
    // frame clicked.
    void preview_pageKeysAndGrooveClicks()
    {
        Form7Fixture f("\"scroll.bmp\",\"10\",\"10\"\r\n\"back.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"
                       "\"0\",\"0\",\"100\",\"0\",2,\"101\",1,\"0\",\"0\",1\r\n");
        f.generate();
        auto *window = f.openPreview();
        QVERIFY(window);
        auto *number = child<QLabel>(window, QStringLiteral("FrameNumber"));
        auto *slider = child<QSlider>(window, QStringLiteral("Slider"));
        QTest::keyClick(slider, Qt::Key_PageDown);
        QCOMPARE(number->text(), QStringLiteral("11 / 101"));
        QTest::keyClick(slider, Qt::Key_PageUp);
        QTest::keyClick(slider, Qt::Key_PageUp);
        QCOMPARE(number->text(), QStringLiteral("1 / 101"));
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = Qt::Horizontal;
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->value();
        const QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(groove.left() + groove.width() * 3 / 4, groove.center().y()));
        QVERIFY2(qAbs(slider->value() - 75) <= 3, qPrintable(number->text()));
        window->close();
    }

#ifndef Q_OS_WIN
    // 設定を保存… onto a FIFO: refused with its reason before anything asks or opens it; the window
    // never waits for a reader.
    void saveSettings_ontoAFifo_isRefused()
    {
        Form7Fixture f;
        f.generate();
        const QString fifo = f.path(QStringLiteral("pipe.velra"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        f.toolkit.saveNames = {fifo};
        const qsizetype asked = f.toolkit.messages.size();
        click(f.page, QStringLiteral("Command5"));
        QCOMPARE(f.toolkit.messages.size(), asked + 1);
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("設定を保存できません"));
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("設定ファイル「%1」に保存できません。\r\n「pipe.velra」は名前付きパイプ（FIFO）で、ファイルではありません。").arg(fifo));
    }
#endif

    void preview_ofADamagedBuffer_saysWhichLine()
    {
        Form7Fixture f;
        f.generate();
        QVERIFY(scriptbuffer::store(f.files.scriptBuffer(), "Graphic \"b.bmp\",0,0,0,0,\"None\",0,0,0,\"/POS:0,0,640,480\"\r\nrubbish", nullptr));
        click(f.page, QStringLiteral("Command3"));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("プレビューを表示できません"));
        QVERIFY2(f.toolkit.lastPrompt().contains(QStringLiteral("2 行目を読めません")), qPrintable(f.toolkit.lastPrompt()));
        QVERIFY(!f.page->findChild<preview::PreviewWindow *>());
        QVERIFY(f.saveButton()->isEnabled());
    }

    // A chain of moves generates and plays; the slider marks where each move begins. A picture
    // size the preview cannot draw is an outline, said once, not a refusal.
    void preview_ofAChain_marksEachMove_data()
    {
        QTest::addColumn<QByteArray>("moves");
        QTest::addColumn<QList<qsizetype>>("starts");
        QTest::addColumn<int>("frames");
        // 1 held + 3 moving + 2 held; then 3 more; then ceil(20 / 5) + 1 - 1 = 4 and 1 held.
        QTest::newRow("three moves") << QByteArray("\"0\",\"0\",\"10\",\"0\",2,\"3\",1,\"1\",\"2\",1\r\n\"10\",\"20\",2,\"4\",3,\"0\"\r\n"
                                                   "\"0\",\"0\",1,\"5\",5,\"1\",\"0.42\",\"0\",\"0.58\",\"1\"\r\n")
                                     << QList<qsizetype>{0, 6, 9} << 6 + 3 + 5;
        // 3 moving; the 1-frame move only its 2 held; the last from 10,0 (not 300,300): 2 more.
        QTest::newRow("a 1-frame move in the middle")
            << QByteArray("\"0\",\"0\",\"10\",\"0\",2,\"3\",1,\"0\",\"0\",1\r\n\"300\",\"300\",2,\"1\",1,\"2\"\r\n\"0\",\"0\",1,\"5\",1,\"0\"\r\n")
            << QList<qsizetype>{0, 3, 5} << 3 + 2 + 2;
    }
    void preview_ofAChain_marksEachMove()
    {
        QFETCH(QByteArray, moves);
        QFETCH(QList<qsizetype>, starts);
        QFETCH(int, frames);
        Form7Fixture f("\"scroll.bmp\",\"-5\",\"abc\"\r\n\"back.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n" + moves);
        f.generate();
        QVERIFY2(f.saveButton()->isEnabled(), qPrintable(f.toolkit.lastPrompt()));
        auto *window = f.openPreview();
        QVERIFY(window);
        QCOMPARE(window->segmentStarts(), starts);
        QCOMPARE(child<QSlider>(window, QStringLiteral("Slider"))->maximum(), frames - 1);
        window->close();
    }

    // A jump to a frame far from any drawn one never holds the window up: the frame is drawn in
    // slices between the events, "描画中…" shows meanwhile, and the keys answer at once.
    void preview_farJump_keepsAnswering()
    {
        Form7Fixture f("\"big.bmp\",\"1600\",\"1600\"\r\n\"back.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"
                       "\"-900\",\"-900\",\"300\",\"200\",2,\"6000\",1,\"0\",\"0\",3\r\n");
        f.wizard->rememberPicture(QStringLiteral("big.bmp"), writePicture(f.path(QStringLiteral("big.bmp")), 1600, 1600, "BMP"));
        f.generate();
        auto *window = f.openPreview();
        QVERIFY(window);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::keyClick(window, Qt::Key_End);
        window->repaint();
        QCOMPARE(window->frame(), 5999);
        QVERIFY(window->isDrawing());
        QTest::keyClick(window, Qt::Key_Left);
        QCOMPARE(window->frame(), 5998);
        QTest::keyClick(window, Qt::Key_Home);
        window->repaint();
        QCOMPARE(window->frame(), 0);
        QVERIFY(!window->isDrawing());
        window->close();
    }

    // 書き出し…: the kind left chosen in the dialog gives a bare name its extension, and a name of
    // the other kind is asked about; the settings are chosen after it in one dialog; くり返す
    // decides the looping; the message gives the file's size, both frame counts and the settings.
    void preview_exportsTheMotion_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("pick"); // the answer to the kinds' question; -1: not asked
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("quality"); // WebP 軽量, 0 for 劣化なし
        QTest::addColumn<bool>("loop");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("WebP, bare name, looping") << "motion" << 0 << -1 << 1 << 0 << true << "motion.webp" << QByteArray("RIFF") << "WebP 劣化なし・等倍";
        QTest::newRow("GIF, bare name, half, once") << "motion" << 1 << -1 << 2 << 0 << false << "motion.gif" << QByteArray("GIF89a") << "GIF・1/2";
        QTest::newRow("light WebP at a third") << "light" << 0 << -1 << 3 << 60 << true << "light.webp" << QByteArray("RIFF") << "WebP 品質 60・1/3";
        QTest::newRow("a GIF's name with WebP chosen, kept as named") << "clip.GIF" << 0 << 0 << 1 << 0 << true << "clip.GIF" << QByteArray("GIF89a") << "GIF・等倍";
        QTest::newRow("a WebP's name with GIF chosen, made a GIF") << "clip.webp" << 1 << 1 << 1 << 0 << true << "clip.gif" << QByteArray("GIF89a") << "GIF・等倍";
    }

    void preview_exportsTheMotion()
    {
        QFETCH(QString, typed);
        QFETCH(int, kind);
        QFETCH(int, pick);
        QFETCH(int, scale);
        QFETCH(int, quality);
        QFETCH(bool, loop);
        QFETCH(QString, written);
        QFETCH(QByteArray, head);
        QFETCH(QString, chosen);
        Form7Fixture f;
        f.generate();
        auto *window = f.openPreview();
        QVERIFY(window);
        // With 書き出し… in its bottom row the window still fits 640 px (a 1280-pixel screen at 200 %).
        QVERIFY2(window->minimumSizeHint().width() <= 640, qPrintable(QString::number(window->minimumSizeHint().width())));
        child<QCheckBox>(window, QStringLiteral("Loop"))->setChecked(loop);
        f.toolkit.messages.clear();
        f.toolkit.saveNames = {f.path(typed)};
        f.toolkit.saveKinds = {kind};
        f.toolkit.picks = {pick};
        f.toolkit.onDialog = [&](QDialog &settings) {
            auto *scales = child<QComboBox>(&settings, QStringLiteral("Scale"));
            scales->setCurrentIndex(scale - 1);
            child<QRadioButton>(&settings, quality ? QStringLiteral("Light") : QStringLiteral("Lossless"))->setChecked(true);
            child<QSpinBox>(&settings, QStringLiteral("Quality"))->setValue(qMax(quality, 1));
            return scales->itemText(2) == QStringLiteral("1/3（213 × 160）");
        };
        QTest::keyClick(window, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(window->isExporting());
        QTRY_VERIFY_WITH_TIMEOUT(!window->isExporting(), 20000);
        QCOMPARE(f.toolkit.saveFilters.last(), QStringLiteral("アニメーション WebP (*.webp)|*.webp||アニメーション GIF (*.gif)|*.gif"));
        QCOMPARE(f.toolkit.choiceButtons.isEmpty(), pick < 0);
        const QByteArray bytes = readAll(f.path(written));
        QVERIFY(bytes.startsWith(head));
        const bool loops = head == "GIF89a" ? bytes.contains("NETSCAPE2.0") : bytes.mid(bytes.indexOf("ANIM") + 12, 2) == QByteArray(2, '\0');
        QCOMPARE(loops, loop);
        QCOMPARE(f.toolkit.messages.last().style, int(OkOnly));
        QVERIFY2(f.toolkit.lastPrompt().contains(QStringLiteral("%1 バイト").arg(QLocale(QLocale::English).toString(bytes.size())))
                     && f.toolkit.lastPrompt().contains(QStringLiteral("4 コマ")) && f.toolkit.lastPrompt().endsWith(QStringLiteral("選んだ形：") + chosen),
                 qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(QDir(f.dir.path()).entryList({QStringLiteral("*.webp"), QStringLiteral("*.gif"), QStringLiteral("*.GIF"), QStringLiteral("*.tmp*")}),
                 QStringList{written});
        // The next run's window offers these settings again.
        const animation::ExportChoices kept = Wizard(f.toolkit, createPage, f.files).exportChoices();
        QVERIFY(kept.scale == scale && kept.light == (quality > 0) && kept.quality == qMax(quality, 1));
        window->close();
    }

    // Refused before anything is drawn: a speed beyond the format's limit (named), a name of
    // another kind; a cancelled dialog or size choice does nothing.
    void preview_export_refusesWhatCannotPlay()
    {
        Form7Fixture f;
        f.generate();
        auto *window = f.openPreview();
        QVERIFY(window);
        child<QSpinBox>(window, QStringLiteral("Speed"))->setValue(60);
        const struct
        {
            const char *typed;
            int kind;
            const char *said; // empty: nothing said
        } rows[] = {{"fast", 1, "50"}, {"fast.png", 0, ".webp"}, {"", 0, ""}, {"unsized", 0, ""}};
        for (const auto &row : rows) {
            f.toolkit.messages.clear();
            f.toolkit.saveNames = QString::fromLatin1(row.typed).isEmpty() ? QStringList() : QStringList{f.path(QString::fromLatin1(row.typed))};
            f.toolkit.saveKinds = {row.kind};
            f.toolkit.onDialog = nullptr; // the settings are cancelled
            click(window, QStringLiteral("Export"));
            QVERIFY(!window->isExporting());
            const QString said = QString::fromLatin1(row.said);
            if (said.isEmpty()) {
                QVERIFY(f.toolkit.messages.isEmpty() || f.toolkit.messages.last().style == -2);
            } else {
                QCOMPARE(f.toolkit.messages.last().style, int(OkWithExclamation));
                QVERIFY2(f.toolkit.lastPrompt().contains(said), qPrintable(f.toolkit.lastPrompt()));
            }
        }
        QCOMPARE(QDir(f.dir.path()).entryList({QStringLiteral("fast*"), QStringLiteral("unsized*")}), QStringList());
        window->close();
    }

    // A 10,000-frame chain: while it is exported the window answers its keys; a stop leaves the
    // file that was there, and nothing beside it.
    void preview_longExport_keepsAnswering_andACancelLeavesNothing()
    {
        Form7Fixture f("\"scroll.bmp\",\"100\",\"50\"\r\n\"back.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"
                       "\"0\",\"0\",\"540\",\"430\",2,\"10000\",1,\"0\",\"0\",1\r\n");
        f.generate();
        auto *window = f.openPreview();
        QVERIFY(window);
        const QString target = f.path(QStringLiteral("long.webp"));
        QVERIFY(writeAll(target, "the author's earlier file"));
        f.toolkit.saveNames = {target};
        f.toolkit.onDialog = [](QDialog &) { return true; };
        f.toolkit.answers = {true}; // replace it
        f.toolkit.messages.clear();
        click(window, QStringLiteral("Export"));
        QVERIFY(window->isExporting());
        auto *progress = child<QProgressBar>(window, QStringLiteral("ExportProgress"));
        QVERIFY(progress->isVisible());
        QTRY_VERIFY(progress->value() > 0);
        QVERIFY(progress->isTextVisible() && progress->text().endsWith(QLatin1Char('%')));
        QCOMPARE(child<QLabel>(window, QStringLiteral("ExportState"))->text(), QStringLiteral("書き出し中…（10000 コマ）"));
        auto *number = child<QLabel>(window, QStringLiteral("FrameNumber"));
        for (const auto &[key, shown] : {std::pair{Qt::Key_End, "10000 / 10000"}, std::pair{Qt::Key_Left, "9999 / 10000"},
                                         std::pair{Qt::Key_Home, "1 / 10000"}}) {
            QTest::keyClick(window, key);
            QCOMPARE(number->text(), QString::fromLatin1(shown));
        }
        QVERIFY(window->isExporting());
        QVERIFY(!child<QPushButton>(window, QStringLiteral("Export"))->isEnabled());
        // Esc asks first; いいえ keeps the export going and the window open.
        f.toolkit.answers = {false};
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("アニメーションを書き出しています。書き出しを中止して閉じますか?"));
        QVERIFY(window->isVisible());
        QVERIFY(window->isExporting());
        click(window, QStringLiteral("CancelExport"));
        QTRY_VERIFY(!window->isExporting());
        QVERIFY(!progress->isVisible());
        QVERIFY(child<QPushButton>(window, QStringLiteral("Export"))->isEnabled());
        QCOMPARE(readAll(target), QByteArray("the author's earlier file"));
        QCOMPARE(QDir(f.dir.path()).entryList({QStringLiteral("long*"), QStringLiteral("*.tmp*")}), QStringList{QStringLiteral("long.webp")});
        QCOMPARE(f.toolkit.messages.size(), 2); // the replacing, Esc's question: nothing said after the stop
        window->close();
    }

    void closingThePage_closesThePreview_andEndsTheRun()
    {
        Form7Fixture f;
        f.generate();
        QPointer<preview::PreviewWindow> window = f.openPreview();
        QVERIFY(window);
        f.page->close();
        WizardFixture::flushDeletes();
        QVERIFY(!window);
        QCOMPARE(f.finished.size(), 1);
    }

    void refusedName_showsMessage_beforeAnyDialog()
    {
        Form7Fixture f;
        f.generate();
        f.fillSave(true, QStringLiteral("本😀"), QStringLiteral("P"));
        f.toolkit.saveNames = {f.path(QStringLiteral("x.csf"))};
        click(f.page, QStringLiteral("Command2"));
        QVERIFY(f.toolkit.saveFilters.isEmpty());
        QVERIFY(f.toolkit.lastPrompt().contains(QStringLiteral("保存ブック名")));
        QVERIFY(f.saveButton()->isEnabled());
        QVERIFY(!QFile::exists(f.path(QStringLiteral("x.csf"))));
    }
};

QTEST_MAIN(TestForm7)
#include "tst_form7.moc"
