#include "WizardFixture.h"
#include "handoff/SettingsFile.h"
#include "pages/PicturePage.h"
#include "shell/Toolkit.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>
#include <QStyleHints>
#include <QMessageBox>
#include <QMimeData>
#include <QImageReader>
#include <QTest>
#include <QUrl>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace velra;
using namespace velra::test;

namespace {

const QString kMissing = QStringLiteral("必要な情報が不足しています\r\n必要事項の記入漏れがないか、確認してください");
const QString kIncomplete = QStringLiteral("記入情報がそろっていません");

struct PagesFixture : WizardFixture
{
    QString bmp1280 = writePicture(path(QStringLiteral("scroll.bmp")), 1280, 480, "BMP");
    QString jpeg = writePicture(path(QStringLiteral("背景.jpg")), 640, 480, "JPEG");

    Page *form2()
    {
        wizard->start();
        click(wizard->page(PageId::Form1), QStringLiteral("Command1"));
        return wizard->page(PageId::Form2);
    }

    Page *form3()
    {
        Page *p = form2();
        toolkit.openNames = {bmp1280};
        click(p, QStringLiteral("Command1"));
        click(p, QStringLiteral("Command2"));
        return wizard->page(PageId::Form3);
    }
};

QString text(Page *page, const char *name)
{
    return child<QLineEdit>(page, QString::fromLatin1(name))->text();
}

void setText(Page *page, const char *name, const QString &value)
{
    child<QLineEdit>(page, QString::fromLatin1(name))->setText(value);
}

} // namespace

class TestPicturePages : public QObject
{
    Q_OBJECT

private slots:
    void getFileName_onlyTheBackslashSeparates_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("full path") << "C:\\a\\b\\c.jpg" << "c.jpg";
        QTest::newRow("name alone") << "c.jpg" << "c.jpg";
        QTest::newRow("ends in backslash") << "C:\\a\\" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("slash and colon are ordinary") << "C:/a/b:c.jpg" << "C:/a/b:c.jpg";
    }

    void getFileName_onlyTheBackslashSeparates()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(PicturePage::GetFileName(path), name);
    }

    void browse_fillsNameAndSize_andReplacesOnSecondBrowse()
    {
        PagesFixture f;
        Page *p = f.form2();
        QCOMPARE(f.toolkit.openFilters, QStringList{});
        f.toolkit.openNames = {f.bmp1280, f.jpeg};
        click(p, QStringLiteral("Command1"));
        QCOMPARE(f.toolkit.openFilters, QStringList{QStringLiteral("画像(*.bmp;*.jpg;*.jpeg)|*.bmp;*.jpg;*.jpeg")});
        QCOMPARE(text(p, "Text1"), QStringLiteral("scroll.bmp"));
        QCOMPARE(text(p, "Text2"), QStringLiteral("1280"));
        QCOMPARE(text(p, "Text3"), QStringLiteral("480"));
        setText(p, "Text2", QStringLiteral("99"));
        click(p, QStringLiteral("Command1"));
        QCOMPARE(text(p, "Text1"), QStringLiteral("背景.jpg"));
        QCOMPARE(text(p, "Text2"), QStringLiteral("640"));
    }

    void cancelledBrowse_beforeAndAfterAFirstPick()
    {
        PagesFixture f;
        Page *p = f.form2();
        click(p, QStringLiteral("Command1")); // cancelled, nothing ever chosen
        QCOMPARE(text(p, "Text1"), QString());
        QVERIFY(f.toolkit.messages.isEmpty());
        f.toolkit.openNames = {f.bmp1280};
        click(p, QStringLiteral("Command1"));
        setText(p, "Text1", QStringLiteral("typed.bmp"));
        setText(p, "Text2", QStringLiteral("1"));
        click(p, QStringLiteral("Command1")); // cancelled: falls back to the last picture chosen here
        QCOMPARE(text(p, "Text1"), QStringLiteral("scroll.bmp"));
        QCOMPARE(text(p, "Text2"), QStringLiteral("1280"));
    }

    // A text file, a folder or a FIFO picked as the picture: said what it is (a FIFO is never opened,
    // it would wait for ever), and the page keeps the picture it had.
    void unreadablePicture_isReported_andFieldsStay_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << QStringLiteral("text") << QStringLiteral("は画像として読めません");
        QTest::newRow("a BMP past the size limit") << QStringLiteral("huge") << QStringLiteral("は大きすぎて画像として読めません（60000 × 60000 ピクセル。%1 MB までの画像を読めます）")
                                                               .arg(QImageReader::allocationLimit());
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("フォルダーです");
#ifndef Q_OS_WIN
        QTest::newRow("FIFO") << QStringLiteral("fifo") << QStringLiteral("名前付きパイプ（FIFO）");
#endif
    }

    void unreadablePicture_isReported_andFieldsStay()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        PagesFixture f;
        Page *p = f.form2();
        const QString fake = f.path(QStringLiteral("fake.bmp"));
        if (kind == QLatin1String("text"))
            QVERIFY(writeAll(fake, "this is no picture"));
        else if (kind == QLatin1String("huge")) {
            QByteArray header("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18);
            const qint32 sides[] = {60000, 60000};
            header.append(reinterpret_cast<const char *>(sides), 8); // little-endian on every machine we build for
            header.append("\x01\0\x18\0", 4);
            header.append(QByteArray(24, '\0'));
            QVERIFY(writeAll(fake, header));
        }
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(fake));
#ifndef Q_OS_WIN
        else
            QCOMPARE(::mkfifo(QFile::encodeName(fake).constData(), 0600), 0);
#endif
        f.toolkit.openNames = {f.bmp1280, fake};
        click(p, QStringLiteral("Command1"));
        click(p, QStringLiteral("Command1"));
        QCOMPARE(f.toolkit.messages.size(), 1);
        QVERIFY(f.toolkit.lastPrompt().contains(QDir::toNativeSeparators(fake)));
        QVERIFY2(f.toolkit.lastPrompt().contains(expected), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(text(p, "Text1"), QStringLiteral("scroll.bmp"));
        QCOMPARE(text(p, "Text2"), QStringLiteral("1280"));
    }

    // A picture dropped on the page is taken as if chosen with 参照; several files or something
    // that is not a file here are refused with a message.
    void droppedFiles_areTakenAsIfBrowsed_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("drop");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one file, Form2") << 2 << QStringLiteral("one") << QString();
        QTest::newRow("one file, Form3") << 3 << QStringLiteral("one") << QString();
        QTest::newRow("two files") << 2 << QStringLiteral("two") << QStringLiteral("1 つずつドロップしてください");
        QTest::newRow("a web address") << 3 << QStringLiteral("url") << QStringLiteral("このパソコンのファイルではありません");
    }

    void droppedFiles_areTakenAsIfBrowsed()
    {
        QFETCH(int, page);
        QFETCH(QString, drop);
        QFETCH(QString, expected);
        PagesFixture f;
        Page *p = page == 2 ? f.form2() : f.form3();
        QList<QUrl> urls{QUrl::fromLocalFile(f.jpeg)};
        if (drop == QLatin1String("two"))
            urls.append(QUrl::fromLocalFile(f.bmp1280));
        if (drop == QLatin1String("url"))
            urls = {QUrl(QStringLiteral("https://example.invalid/picture.jpg"))};
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(p, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        const qsizetype before = f.toolkit.messages.size();
        QCoreApplication::sendEvent(p, &dropped);
        if (!expected.isEmpty()) {
            QCOMPARE(f.toolkit.messages.size(), before + 1);
            QVERIFY2(f.toolkit.lastPrompt().contains(expected), qPrintable(f.toolkit.lastPrompt()));
            QCOMPARE(text(p, "Text1"), QString());
            return;
        }
        QCOMPARE(f.toolkit.messages.size(), before);
        QCOMPARE(text(p, "Text1"), QStringLiteral("背景.jpg"));
        QCOMPARE(text(p, "Text2"), QStringLiteral("640"));
        QCOMPARE(text(p, "Text3"), QStringLiteral("480"));
        QCOMPARE(f.wizard->picturePaths().value(QStringLiteral("背景.jpg")), f.jpeg); // for the preview
    }

    void pictureIsRecognisedByContent()
    {
        PagesFixture f;
        Page *p = f.form2();
        const QString png = f.path(QStringLiteral("really.png"));
        QVERIFY(!writePicture(png, 10, 10, "PNG").isEmpty());
        const QString renamed = f.path(QStringLiteral("jpeg-named.bmp"));
        QVERIFY(QFile::copy(f.jpeg, renamed));
        f.toolkit.openNames = {png, renamed};
        click(p, QStringLiteral("Command1"));
        QVERIFY(f.toolkit.lastPrompt().contains(QStringLiteral("BMP でも JPEG でもありません")));
        click(p, QStringLiteral("Command1"));
        QCOMPARE(text(p, "Text2"), QStringLiteral("640"));
    }

    void topDownBmp_isMeasured_withItsRealHeight()
    {
        PagesFixture f;
        Page *p = f.form2();
        // A 3 x 2 BMP stored top row first: the header gives the height as -2.
        QByteArray bmp("BM", 2);
        const auto le32 = [&bmp](qint32 v) {
            for (int i = 0; i < 4; ++i)
                bmp.append(char((quint32(v) >> (8 * i)) & 0xFF));
        };
        const auto le16 = [&bmp](quint16 v) { bmp.append(char(v & 0xFF)).append(char(v >> 8)); };
        le32(14 + 40 + 16); le16(0); le16(0); le32(54);
        le32(40); le32(3); le32(-2); le16(1); le16(24); le32(0); le32(16); le32(2835); le32(2835); le32(0); le32(0);
        bmp.append(QByteArray(16, '\0'));
        const QString topDown = f.path(QStringLiteral("topdown.bmp"));
        QVERIFY(writeAll(topDown, bmp));
        f.toolkit.openNames = {topDown};
        click(p, QStringLiteral("Command1"));
        QVERIFY2(f.toolkit.messages.isEmpty(), qPrintable(f.toolkit.lastPrompt()));
        QCOMPARE(text(p, "Text2"), QStringLiteral("3"));
        QCOMPARE(text(p, "Text3"), QStringLiteral("2"));
    }

#ifndef Q_OS_WIN
    void backslashInAPictureName_isRefused()
    {
        PagesFixture f;
        Page *p = f.form2();
        const QString odd = writePicture(f.path(QStringLiteral("odd\\name.bmp")), 10, 10, "BMP");
        QVERIFY(!odd.isEmpty());
        f.toolkit.openNames = {odd};
        click(p, QStringLiteral("Command1"));
        QCOMPARE(f.toolkit.lastTitle(), QStringLiteral("ファイル名が使えません"));
        QVERIFY(f.toolkit.lastPrompt().contains(QStringLiteral("「odd\\name.bmp」に円記号")));
        QCOMPARE(text(p, "Text1"), QString());
        click(p, QStringLiteral("Command1")); // cancelled: the refused name is not remembered
        QCOMPARE(f.toolkit.messages.size(), 1);
        QCOMPARE(text(p, "Text1"), QString());
    }
#endif

    // The filter's description shown once, a dialog large enough for its columns, and the second
    // dialog opening where the first picture was found.
    void fileDialogs_showTheFilterOnce_andStartWhereTheLastPictureWas()
    {
        PagesFixture f;
        QtToolkit toolkit;
        const auto open = toolkit.makeFileDialog(nullptr, PicturePage::pictureFilter(), false);
        auto *types = open->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        QCOMPARE(types->itemText(0), QStringLiteral("画像(*.bmp;*.jpg;*.jpeg)"));
        // Never beyond the screen's free area (here 800 × 600, less than the dialog would take).
        QVERIFY(open->screen()->availableGeometry().contains(QRect(QPoint(), open->maximumSize())));
        open->setDirectory(f.dir.path());
        open->show();
        auto *details = open->findChild<QTreeView *>(QStringLiteral("treeView"));
        QVERIFY(details);
        QTRY_COMPARE(details->model()->rowCount(details->rootIndex()), 2);
        QApplication::processEvents();
        for (int row = 0; row < 2; ++row) {
            for (int column = 1; column < 4; ++column) {
                const QString shown = details->model()->index(row, column, details->rootIndex()).data().toString();
                QVERIFY2(details->header()->sectionSize(column) > details->fontMetrics().horizontalAdvance(shown),
                         qPrintable(QStringLiteral("「%1」 is cut").arg(shown)));
            }
        }
        open->close();
        const auto save = toolkit.makeFileDialog(nullptr, QStringLiteral("テキストファイル(*.txt)|*.txt"), true);
        QCOMPARE(save->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))->itemText(0), QStringLiteral("テキストファイル(*.txt)"));
        QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(save->testOption(QFileDialog::DontConfirmOverwrite)); // the page says what a save does instead
        QCOMPARE(toolkit.makeFileDialog(nullptr, settingsfile::filter(), false)->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))->itemText(0),
                 QStringLiteral("Velloran 設定ファイル (*.velra)"));
        // With a choice of kinds, the one chosen is read back from the list (its details hidden) and
        // names a bare file: the second kind chosen, as the author picks it in the list.
        const QStringList kinds{QStringLiteral("アニメーション WebP (*.webp)|*.webp"), QStringLiteral("アニメーション GIF (*.gif)|*.gif")};
        const auto animation = toolkit.makeSaveDialog(nullptr, kinds, QString(), QString());
        QCOMPARE(animation->defaultSuffix(), QStringLiteral("webp"));
        auto *kindList = animation->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        kindList->setCurrentIndex(1);
        emit kindList->activated(1);
        emit kindList->textActivated(kindList->itemText(1));
        QCOMPARE(QtToolkit::chosenKind(*animation, kinds), 1);
        QCOMPARE(animation->defaultSuffix(), QStringLiteral("gif"));

        const QString pictures = f.path(QStringLiteral("pictures"));
        QVERIFY(QDir().mkpath(pictures));
        toolkit.pictureChosen(pictures + QStringLiteral("/scroll.bmp"));
        QCOMPARE(QFileInfo(toolkit.makeFileDialog(nullptr, PicturePage::pictureFilter(), false)->directory().path()).canonicalFilePath(),
                 QFileInfo(pictures).canonicalFilePath());
        QCOMPARE(QFileInfo(toolkit.makeFileDialog(nullptr, QStringLiteral("コミックファイル(*.csf)|*.csf"), true)->directory().path()).canonicalFilePath(),
                 QFileInfo(pictures).canonicalFilePath());
    }

    // A picture named like markup is shown as its characters.
    void messageBoxes_showPlainText()
    {
        const auto box = QtToolkit::makeMessageBox(nullptr, QStringLiteral("「<h1>x</h1>.bmp」\r\n2"), QStringLiteral("t"), OkWithExclamation);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->text(), QStringLiteral("「<h1>x</h1>.bmp」\n2"));
        auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    void digitFilter_swallowsTypedNonDigits_andRefusesPastes()
    {
        PagesFixture f;
        Page *p = f.form2();
        auto *box = child<QLineEdit>(p, QStringLiteral("Text2"));
        QTest::keyClicks(box, QStringLiteral("1a 2-3"));
        QCOMPARE(box->text(), QStringLiteral("123"));
        // The editing keys correct a typo.
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("12"));
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->text(), QStringLiteral("2"));
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QString());
        QTest::keyClicks(box, QStringLiteral("123"));
        QGuiApplication::clipboard()->setText(QStringLiteral("45x"));
        box->paste();
        QCOMPARE(box->text(), QStringLiteral("123"));
        QGuiApplication::clipboard()->setText(QStringLiteral("45"));
        box->paste();
        QCOMPARE(box->text(), QStringLiteral("12345"));
        auto *name = child<QLineEdit>(p, QStringLiteral("Text1"));
        QTest::keyClicks(name, QStringLiteral("a b"));
        QCOMPARE(name->text(), QStringLiteral("a b"));
    }

    void form2Next_checksThenStartsTheLog()
    {
        PagesFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "old"));
        Page *p = f.form2();
        setText(p, "Text1", QStringLiteral("a.bmp"));
        click(p, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.lastPrompt(), kMissing);
        QCOMPARE(f.toolkit.lastTitle(), kIncomplete);
        QCOMPARE(f.toolkit.messages.last().style, int(OkWithExclamation));
        QVERIFY(!QFile::exists(f.files.settingsLog())); // cleared by the start page, not yet written
        QCOMPARE(visibleWindows(), QWidgetList{p});
        setText(p, "Text1", QStringLiteral("C:\\comic\\画像①.bmp"));
        setText(p, "Text2", QStringLiteral("0"));
        setText(p, "Text3", QStringLiteral(" "));
        click(p, QStringLiteral("Command2"));
        QCOMPARE(f.log(), "\"" + sjis(QStringLiteral("C:\\comic\\画像①.bmp")) + "\",\"0\",\" \"\r\n");
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form3)});
    }

    void unsafeFileNames_areRefused_andNothingWritten_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("double quote") << QStringLiteral("a\"b.bmp") << QStringLiteral("二重引用符");
        QTest::newRow("not CP932") << QStringLiteral("a😀.bmp") << QStringLiteral("Shift_JIS");
        // Typed by an input method outside Windows: the file on disk has this character, so it
        // must be renamed, and the message says to what.
        QTest::newRow("wave dash") << QStringLiteral("第1話〜.bmp") << QStringLiteral("ファイル名の「〜」を「～」に変えてから");
        QTest::newRow("minus sign") << QStringLiteral("a−b.bmp") << QStringLiteral("ファイル名の「−」を「－」に変えてから");
    }

    void unsafeFileNames_areRefused_andNothingWritten()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        PagesFixture f;
        Page *p = f.form2();
        setText(p, "Text1", name);
        setText(p, "Text2", QStringLiteral("1"));
        setText(p, "Text3", QStringLiteral("1"));
        click(p, QStringLiteral("Command2"));
        QVERIFY2(f.toolkit.lastPrompt().contains(expected), qPrintable(f.toolkit.lastPrompt()));
        QVERIFY(!QFile::exists(f.files.settingsLog()));
        QCOMPARE(visibleWindows(), QWidgetList{p});
    }

    void form3_defaultsChecksAndLine2()
    {
        PagesFixture f;
        Page *p = f.form3();
        QCOMPARE(text(p, "Text4"), QStringLiteral("640"));
        QCOMPARE(text(p, "Text5"), QStringLiteral("480"));
        const QByteArray line1 = f.log();
        // Check 1 comes before check 2, even when the sizes differ too.
        setText(p, "Text1", QStringLiteral("b.bmp"));
        setText(p, "Text2", QStringLiteral("800"));
        setText(p, "Text3", QStringLiteral("600"));
        setText(p, "Text4", QString());
        click(p, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.lastPrompt(), kMissing);
        // Sizes compared as texts.
        setText(p, "Text2", QStringLiteral("640"));
        setText(p, "Text3", QStringLiteral("480"));
        setText(p, "Text4", QStringLiteral("0640"));
        click(p, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.lastPrompt(), QStringLiteral("背景グラフィックとウインドウサイズは一緒でなければ処理できません\r\n（現在は対応していません）"));
        QCOMPARE(f.toolkit.lastTitle(), kIncomplete);
        setText(p, "Text4", QStringLiteral("640"));
        setText(p, "Text5", QStringLiteral("481"));
        click(p, QStringLiteral("Command2"));
        QCOMPARE(f.toolkit.messages.size(), 3);
        QCOMPARE(f.log(), line1);
        f.toolkit.openNames = {f.jpeg};
        click(p, QStringLiteral("Command1"));
        setText(p, "Text5", QStringLiteral("480"));
        click(p, QStringLiteral("Command2"));
        QCOMPARE(f.log(), line1 + "\"" + sjis(QStringLiteral("背景.jpg")) + "\",\"640\",\"480\",\"640\",\"480\"\r\n");
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form4)});
        QVERIFY(f.wizard->page(PageId::Form2)->isHidden());
    }

    // The second click of a double click on the background page's Next lands on the mode page's
    // Next, which has just appeared under the pointer: it must not choose the detailed mode.
    void doubleClickOnNext_doesNotClickTheNextPage()
    {
        PagesFixture f;
        Page *p = f.form3();
        f.toolkit.openNames = {f.jpeg};
        click(p, QStringLiteral("Command1"));
        const int interval = 400;
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(interval);
        QTest::qWait(interval + 50); // the background page has been on the screen a while
        click(p, QStringLiteral("Command2"));
        const QByteArray twoLines = f.log();
        Page *form4 = f.wizard->page(PageId::Form4);
        QVERIFY(form4->isVisible());
        QPushButton *next = child<QPushButton>(form4, QStringLiteral("Command1"));
        QTest::mousePress(next, Qt::LeftButton);
        QTest::mouseDClick(next, Qt::LeftButton);
        QTest::mouseRelease(next, Qt::LeftButton);
        QCOMPARE(f.log(), twoLines);
        QCOMPARE(visibleWindows(), QWidgetList{form4});
        QVERIFY(f.toolkit.messages.isEmpty());
        // The keyboard is not held back.
        auto *simple = child<QRadioButton>(form4, QStringLiteral("Option1"));
        QTest::keyClick(simple, Qt::Key_Space);
        QVERIFY(simple->isChecked());
        // Once the interval has passed, a click is a click.
        QTest::qWait(interval + 50);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(f.log(), twoLines + "1\r\n");
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
    }

    // A release whose press was on the page before (the page changed under a held button) clicks nothing.
    void releaseWithoutPress_clicksNothing()
    {
        PagesFixture f;
        Page *p = f.form2();
        f.toolkit.openNames = {f.bmp1280};
        QPushButton *browse = child<QPushButton>(p, QStringLiteral("Command1"));
        QTest::mouseRelease(browse, Qt::LeftButton);
        QVERIFY(f.toolkit.openFilters.isEmpty());
        QTest::mouseClick(browse, Qt::LeftButton);
        QCOMPARE(f.toolkit.openFilters.size(), 1);
    }

    void unwritableLog_isReported_andThePageStays()
    {
        PagesFixture f;
        Page *p = f.form2();
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("velra.dat")));
        setText(p, "Text1", QStringLiteral("a.bmp"));
        setText(p, "Text2", QStringLiteral("1"));
        setText(p, "Text3", QStringLiteral("1"));
        click(p, QStringLiteral("Command2"));
        QVERIFY(f.toolkit.lastPrompt().contains(QStringLiteral("velra.dat")));
        QCOMPARE(visibleWindows(), QWidgetList{p});
    }
};

QTEST_MAIN(TestPicturePages)
#include "tst_picturepages.moc"
