#include "WizardFixture.h"
#include "handoff/HandoffFiles.h"
#include "handoff/ScriptBuffer.h"
#include "handoff/SettingsLog.h"
#include "shell/CompactLabel.h"
#include "pages/Form1.h"
#include "shell/Toolkit.h"

#include <QCheckBox>
#include <QLabel>
#include <QScopeGuard>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <QImageReader>
#include <QLockFile>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace velra;
using namespace velra::test;

class TestWizard : public QObject
{
    Q_OBJECT

private slots:
    void startPage_hasItsTexts_andTheCommonShape()
    {
        WizardFixture f;
        f.wizard->start();
        Page *page = f.wizard->page(PageId::Form1);
        QCOMPARE(visibleWindows(), QWidgetList{page});
        QCOMPARE(page->windowTitle(), QStringLiteral("Velloran"));
        QCOMPARE(page->size(), QSize(312, 213 + 24 + 30)); // and the rows of 前回の設定を使う and 設定を開く…
        QCOMPARE(page->minimumSize(), page->maximumSize());
        QVERIFY(!page->windowIcon().isNull());
        // The small sizes are drawn for themselves, and the installed and Windows icons are those drawings.
        const QString share = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../share/");
        QImageReader ico(share + QStringLiteral("velloran.ico"), "ico");
        QList<QImage> icoFrames;
        for (int i = 0; i < ico.imageCount() && ico.jumpToImage(i); ++i)
            icoFrames << ico.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (const auto &[xpm, size] : {std::pair{":/velra/icon.xpm", 32}, std::pair{":/velra/icon-16.xpm", 16}}) {
            const QImage icon(QString::fromLatin1(xpm));
            QCOMPARE(icon.size(), QSize(size, size));
            QVERIFY(icon.colorCount() <= 16);
            const QImage drawn = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QCOMPARE(QImage(share + QStringLiteral("icons/hicolor/%1x%1/apps/velloran.png").arg(size)).convertToFormat(QImage::Format_ARGB32_Premultiplied), drawn);
            if (!icoFrames.isEmpty()) {
                const auto same = std::find_if(icoFrames.cbegin(), icoFrames.cend(), [&](const QImage &f) { return f.size() == drawn.size(); });
                QVERIFY(same != icoFrames.cend());
                QCOMPARE(*same, drawn);
            }
        }
        QCOMPARE(child<QGroupBox>(page, QStringLiteral("Frame1"))->title(), QStringLiteral("ようこそ"));
        QCOMPARE(child<QPushButton>(page, QStringLiteral("Command1"))->text(), QStringLiteral("作業開始"));
        auto *useLast = child<QCheckBox>(page, QStringLiteral("Check1"));
        QCOMPARE(useLast->text(), QStringLiteral("前回の設定を使う"));
        QVERIFY(!useLast->isChecked()); // no earlier run here: nothing to use
        QVERIFY(!useLast->isEnabled());
        QCOMPARE(Form1::welcomeText().count(QChar(0x3000)), 74);
        QVERIFY(Form1::welcomeText().startsWith(QStringLiteral("Velloran（略称VELRA）　をご利用")));
        QVERIFY(Form1::welcomeText().endsWith(QStringLiteral("編集・操作しないでください。")));
    }

    // 使い方 opens the manual found beside the program, or says where it looked; Tab reaches it and
    // Enter follows it as a click does.
    void startPage_opensTheManual_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("browser");
        QTest::addColumn<bool>("byKeyboard");
        QTest::addColumn<int>("planted"); // 0: the program's own; 1: writable by others; 2: another user's
        QTest::newRow("opened") << true << true << false << 0;
        QTest::newRow("opened with Enter") << true << true << true << 0;
        QTest::newRow("no browser") << true << false << false << 0;
        QTest::newRow("no manual") << false << true << true << 0;
#ifndef Q_OS_WIN
        QTest::newRow("writable by others") << true << true << false << 1;
        if (::geteuid() == 0)
            QTest::newRow("another user's") << true << true << false << 2;
#endif
    }
    void startPage_opensTheManual()
    {
        QFETCH(bool, present);
        QFETCH(bool, browser);
        QFETCH(bool, byKeyboard);
        QFETCH(int, planted);
        const QStringList places = Form1::manualPlaces(programFolder());
        QCOMPARE(places.size(), 2);
        for (const QString &place : places)
            QVERIFY2(!QFileInfo::exists(place), qPrintable(place)); // only this test puts one there
        const QString manual = places.first();
        auto removeManual = qScopeGuard([&] { QDir(QFileInfo(manual).path()).removeRecursively(); });
        if (present) {
            QVERIFY(QDir().mkpath(QFileInfo(manual).path()));
            QFile file(manual);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
#ifndef Q_OS_WIN
            if (planted == 1)
                QVERIFY(file.setPermissions(file.permissions() | QFile::WriteOther));
            if (planted == 2)
                QCOMPARE(::chown(QFile::encodeName(manual).constData(), 4242, 4242), 0);
#endif
        }
        WizardFixture f;
        f.toolkit.documentsOpen = browser;
        f.wizard->start();
        Page *page = f.wizard->page(PageId::Form1);
        auto *link = child<QPushButton>(page, QStringLiteral("Command2"));
        QCOMPARE(link->text(), QStringLiteral("使い方"));
        QVERIFY(!link->geometry().intersects(child<QCheckBox>(page, QStringLiteral("Check1"))->geometry()));
        if (byKeyboard) {
            page->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(page));
            for (int i = 0; i < 2 && !link->hasFocus(); ++i) // past the check box, when it takes focus
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY(link->hasFocus());
            QTest::keyClick(link, Qt::Key_Return);
        } else {
            link->click();
        }
        QCOMPARE(f.toolkit.openedDocuments, present && !planted ? QStringList{manual} : QStringList{});
        const QString expected = planted
            ? QStringLiteral("「%1」は、ほかのユーザーが置いたか書き換えられるファイルのため開きません。\r\n使い方の説明書は次の場所にあるはずです:\r\n%1\r\n%2")
                  .arg(QDir::toNativeSeparators(places[0]), QDir::toNativeSeparators(places[1]))
            : !present
            ? QStringLiteral("使い方の説明書が見つかりません。\r\n探した場所:\r\n%1\r\n%2")
                  .arg(QDir::toNativeSeparators(places[0]), QDir::toNativeSeparators(places[1]))
            : browser ? QString()
                      : QStringLiteral("ブラウザーで使い方を開けません。\r\n%1 を開いてください。").arg(QDir::toNativeSeparators(manual));
        QCOMPARE(f.toolkit.lastPrompt(), expected);
        QVERIFY(!page->isHidden()); // the run has not started
    }

    void welcomeText_fitsItsLabel()
    {
        WizardFixture f;
        f.wizard->start();
        auto *label = child<CompactLabel>(f.wizard->page(PageId::Form1), QStringLiteral("Label1"));
        QCOMPARE(label->text(), Form1::welcomeText());
        QCOMPARE(QString(Form1::welcomeLayout()).remove(QLatin1Char('|')), Form1::welcomeText());
        // Lines break between phrases, never inside one ("ありがと/う", "サ/ポート").
        f.wizard->show(PageId::Form3);
        for (auto *text : {label, child<CompactLabel>(f.wizard->page(PageId::Form3), QStringLiteral("Label3")),
                           child<CompactLabel>(f.wizard->page(PageId::Form3), QStringLiteral("Label5"))}) {
            QStringList phrases = text->phrases();
            for (const QString &line : text->lines(text->width())) {
                QString whole;
                while (!phrases.isEmpty() && whole.size() < line.size()) {
                    const QString phrase = phrases.takeFirst();
                    if (phrase.size() < 2 || phrase.count(QChar(0x3000)) != phrase.size())
                        whole += phrase;
                }
                QCOMPARE(whole, line);
            }
        }
        const int needed = label->layoutHeight(label->width());
        QVERIFY2(needed <= label->height(), qPrintable(QStringLiteral("%1 > %2").arg(needed).arg(label->height())));
        QVERIFY(label->geometry().bottom() < label->parentWidget()->height());
    }

    // Every caption must show whole in the fixed page size with the Japanese font.
    void everyText_fitsItsControl_onEveryPage()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"1\",\"1\"\r\n\"b.bmp\",\"1\",\"1\",\"1\",\"1\"\r\n1\r\n"));
        // The chain editor twice: its move's boxes, then its shake's.
        for (int shown = 1; shown <= 8; ++shown) {
            const int id = shown == 8 ? 6 : shown;
            Page *page = f.wizard->show(PageId(id));
            if (shown == 8) {
                click(page, QStringLiteral("Option4"));
                QApplication::processEvents(); // the shake's panel laid out
            }
            for (QWidget *w : page->findChildren<QWidget *>()) {
                if (!w->isVisibleTo(page) && !w->isHidden())
                    continue; // on the other kind's panel
                const QString where = page->objectName() + QLatin1Char('.') + w->objectName();
                QVERIFY2(QRect(QPoint(), page->size()).contains(QRect(w->mapTo(page, QPoint()), w->size())), qPrintable(where));
                // Nothing that shows a text sits closer than 2 pixels to the page's edge or to its
                // frame's sides and bottom.
                const bool texty = qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w);
                if (texty && w->parentWidget() && !w->isHidden()) {
                    const QRect room = qobject_cast<QGroupBox *>(w->parentWidget())
                        ? QRect(QPoint(), w->parentWidget()->size()).adjusted(3, 0, -3, -3)
                        : QRect(QPoint(), w->parentWidget()->size()).adjusted(2, 2, -2, -2);
                    QVERIFY2(room.contains(w->geometry()), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 in %6x%7").arg(where)
                                                                          .arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height())
                                                                          .arg(w->parentWidget()->width()).arg(w->parentWidget()->height())));
                }
                if (auto *compact = qobject_cast<CompactLabel *>(w)) {
                    QVERIFY2(compact->layoutHeight(w->width()) <= w->height(), qPrintable(where));
                } else if (auto *label = qobject_cast<QLabel *>(w)) {
                    const bool fits = label->wordWrap() ? label->heightForWidth(w->width()) <= w->height()
                                                        : label->sizeHint().width() <= w->width();
                    QVERIFY2(fits, qPrintable(where));
                } else if (auto *button = qobject_cast<QPushButton *>(w)) {
                    QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= w->width(), qPrintable(where));
                } else if (qobject_cast<QRadioButton *>(w)) {
                    QVERIFY2(w->sizeHint().width() <= w->width(), qPrintable(where));
                } else if (auto *box = qobject_cast<QGroupBox *>(w)) {
                    QVERIFY2(box->fontMetrics().horizontalAdvance(box->title()) + 16 <= w->width(), qPrintable(where));
                    checkInsideTheBorder(box, where);
                }
                // A text of n lines (its own line breaks) takes n lines, none wrapped again.
                if (auto *label = qobject_cast<QLabel *>(w); label && label->text().contains(QLatin1Char('\n'))) {
                    const int room = label->contentsRect().width() - 2 * label->margin() - 2 * label->indent();
                    for (const QString &line : label->text().split(QRegularExpression(QStringLiteral("\r\n|\n")))) {
                        QVERIFY2(label->fontMetrics().horizontalAdvance(line) <= room,
                                 qPrintable(QStringLiteral("%1: 「%2」 wraps").arg(where, line)));
                    }
                }
            }
        }
        // Form4's explanation, the longest text it shows, also in two lines.
        Page *form4 = f.wizard->page(PageId::Form4);
        click(form4, QStringLiteral("Option1"));
        auto *explanation = child<QLabel>(form4, QStringLiteral("Label1"));
        for (const QString &line : explanation->text().split(QStringLiteral("\r\n")))
            QVERIFY2(explanation->fontMetrics().horizontalAdvance(line) <= explanation->contentsRect().width(), qPrintable(line));
    }

    // The controls inside a frame stay off its border and its title: a box or a button wholly below
    // the top border line, the ink of a text below it too, and everything inside the sides.
    static void checkInsideTheBorder(QGroupBox *box, const QString &where)
    {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        option.lineWidth = 1;
        const QRect contents = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, box);
        const int border = contents.top() - 2; // where the top line is drawn
        const QRect sides = contents.adjusted(-2, -contents.top(), 2, 2); // the top is checked below
        for (QWidget *child : box->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (child->isHidden())
                continue;
            const QRect g = child->geometry();
            const QString what = QStringLiteral("%1 > %2 at %3,%4 %5x%6, border line at %7")
                                     .arg(where, child->objectName())
                                     .arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()).arg(border);
            QVERIFY2(sides.contains(g), qPrintable(what));
            const QFontMetrics fm = child->fontMetrics();
            int top = g.top(); // where the control starts to draw
            if (auto *label = qobject_cast<QLabel *>(child)) {
                const QString first = label->text().section(QLatin1Char('\n'), 0, 0);
                const int textHeight = label->wordWrap() ? label->heightForWidth(g.width()) : fm.height();
                const bool centred = !qobject_cast<CompactLabel *>(child) && (label->alignment() & Qt::AlignVCenter);
                top = g.top() + (centred ? qMax(0, (g.height() - textHeight) / 2) : 0) + fm.ascent()
                    + fm.tightBoundingRect(first).top();
            } else if (qobject_cast<QRadioButton *>(child)) {
                const int indicator = child->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr, child);
                top = g.top() + qMin((g.height() - indicator) / 2, (g.height() - fm.height()) / 2 + fm.ascent() - fm.capHeight());
            }
            QVERIFY2(top > border + (qobject_cast<QLineEdit *>(child) || qobject_cast<QPushButton *>(child) ? 1 : 0),
                     qPrintable(what));
        }
    }

    void focus_startsWhereSpecified_andTabFollowsTheOrder_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("Form1") << 1 << QStringList{QStringLiteral("Command1")};
        QTest::newRow("Form2") << 2 << QStringLiteral("Text1 Command1 Text2 Text3 CommandBack Command2").split(QLatin1Char(' '));
        QTest::newRow("Form3") << 3 << QStringLiteral("Text1 Command1 Text2 Text3 Text4 Text5 CommandBack Command2").split(QLatin1Char(' '));
        QTest::newRow("Form4") << 4 << QStringLiteral("Option1 CommandBack Command1").split(QLatin1Char(' '));
        // An exclusive group of choices is one stop for Tab, entered at its first choice in the
        // order; the arrow keys move within it. The page as it reads: direction, interval,
        // position, end, count.
        QTest::newRow("Form5") << 5 << QStringLiteral("Option1 Text1 Option5 Option8 Text2 CommandBack Command1").split(QLatin1Char(' '));
    }

    void focus_startsWhereSpecified_andTabFollowsTheOrder()
    {
        QFETCH(int, page);
        QFETCH(QStringList, order);
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"1\",\"1\"\r\n\"b.bmp\",\"1\",\"1\",\"1\",\"1\"\r\n1\r\n"));
        Page *p = f.wizard->show(PageId(page));
        p->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p));
        QStringList seen;
        for (qsizetype i = 0; i < order.size(); ++i) {
            seen.append(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(seen, order);
    }

    void startButton_clearsTheHandoffFiles_data()
    {
        QTest::addColumn<bool>("log");
        QTest::addColumn<bool>("buffer");
        QTest::newRow("both") << true << true;
        QTest::newRow("only the log") << true << false;
        QTest::newRow("only the buffer") << false << true;
        QTest::newRow("neither") << false << false;
    }

    void startButton_clearsTheHandoffFiles()
    {
        QFETCH(bool, log);
        QFETCH(bool, buffer);
        WizardFixture f;
        if (log)
            QVERIFY(writeAll(f.files.settingsLog(), "\"a\",\"1\",\"2\"\r\n"));
        if (buffer)
            QVERIFY(writeAll(f.files.scriptBuffer(), QByteArray("\x08\x00\x01\x00x", 5)));
        f.wizard->start();
        click(f.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        QVERIFY(!QFile::exists(f.files.settingsLog()));
        QVERIFY(!QFile::exists(f.files.scriptBuffer()));
        QVERIFY(f.toolkit.messages.isEmpty());
        Page *form2 = f.wizard->page(PageId::Form2);
        QCOMPARE(visibleWindows(), QWidgetList{form2});
        QVERIFY(f.wizard->page(PageId::Form1)); // hidden, alive
        QVERIFY(f.wizard->page(PageId::Form1)->isHidden());
    }

    // The folder is chosen when the run starts and kept: when the program folder goes away in the
    // middle of a run, the page says so instead of writing a log in the per-user folder.
    void handoffFolder_isChosenOnce_andClearedInBothPlaces()
    {
        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("program"));
        const QString perUser = dir.filePath(QStringLiteral("per-user"));
        for (const QString &folder : {program, perUser}) {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(writeAll(folder + QStringLiteral("/velra.dat"), "\"old\",\"1\",\"1\"\r\n"));
            QVERIFY(writeAll(folder + QStringLiteral("/velra2.dat"), QByteArray("\x08\x00\x01\x00x", 5)));
        }
        ScriptedToolkit toolkit;
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(0); // pages are clicked as soon as shown
        Wizard wizard(toolkit, createPage, HandoffFiles(program, perUser));
        wizard.start();
        click(wizard.page(PageId::Form1), QStringLiteral("Command1"));
        const QStringList handoff{QStringLiteral("velra.dat"), QStringLiteral("velra2.dat")};
        QCOMPARE(QDir(program).entryList(handoff, QDir::Files), QStringList());
        QCOMPARE(QDir(perUser).entryList(handoff, QDir::Files), QStringList());
        QCOMPARE(wizard.files().folder(), program + QLatin1Char('/'));

#ifdef Q_OS_WIN
        QSKIP("Windows keeps the folder of a running copy: its lock file is open");
#endif
        QVERIFY(QDir(program).removeRecursively());
        Page *form2 = wizard.page(PageId::Form2);
        typeText(child(form2, QStringLiteral("Text1")), QStringLiteral("s.bmp"));
        typeText(child(form2, QStringLiteral("Text2")), QStringLiteral("100"));
        typeText(child(form2, QStringLiteral("Text3")), QStringLiteral("50"));
        click(form2, QStringLiteral("Command2"));
        QCOMPARE(toolkit.lastTitle(), QStringLiteral("設定を保存できません"));
        QVERIFY(toolkit.lastPrompt().contains(QDir::toNativeSeparators(program)));
        QCOMPARE(QDir(perUser).entryList(QDir::Files), QStringList());
        QCOMPARE(visibleWindows(), QWidgetList{form2});
    }

    // A second copy started from the same folder touches no hand-off file: it says that one is
    // running, brings that one to the front and ends. Copies with other folders run side by side;
    // the lock of a copy that was killed is taken over.
    void secondCopy_sameFolder_saysSo_andEnds()
    {
        WizardFixture first;
        QVERIFY(first.wizard->start());
        click(first.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        QVERIFY(writeAll(first.files.settingsLog(), "\"first.bmp\",\"1\",\"1\"\r\n"));
        Page *form2 = first.wizard->page(PageId::Form2);
        form2->showMinimized();
        QVERIFY(form2->isMinimized());

        ScriptedToolkit toolkit;
        Wizard second(toolkit, createPage, HandoffFiles(first.dir.path()));
        QSignalSpy finished(&second, &Wizard::finished);
        QVERIFY(!second.start());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(toolkit.messages.size(), 1);
        QCOMPARE(toolkit.lastPrompt(), QStringLiteral("Velloran はすでに起動しています。"));
        QVERIFY(!second.page(PageId::Form1));
        QCOMPARE(readAll(first.files.settingsLog()), QByteArray("\"first.bmp\",\"1\",\"1\"\r\n"));
#ifndef Q_OS_WIN
        QTRY_VERIFY(!form2->isMinimized()); // the first copy came to the front
#endif
        // Given a settings file (a double click on it), it says where to open it.
        Wizard third(toolkit, createPage, HandoffFiles(first.dir.path()));
        QVERIFY(!third.start(first.path(QStringLiteral("pan.velra"))));
        QCOMPARE(toolkit.lastPrompt(), QStringLiteral("Velloran はすでに起動しています。\r\n設定ファイル「%1」は、起動している Velloran の始めのページの「設定を開く…」で開いてください。")
                                           .arg(QDir::toNativeSeparators(first.path(QStringLiteral("pan.velra")))));

        WizardFixture elsewhere;
        QVERIFY(elsewhere.wizard->start());
        QVERIFY(elsewhere.toolkit.messages.isEmpty());

        // A lock left by a copy that no longer runs.
        QTemporaryDir dir;
        const QString lockName = dir.filePath(QStringLiteral(".velra.lock"));
        QByteArray held;
        {
            QLockFile lock(lockName);
            QVERIFY(lock.tryLock(0));
            held = readAll(lockName);
        }
        const QByteArray rest = held.mid(held.indexOf('\n'));
        // A process that is no more, and one that had this process's number (Wine reuses them).
        for (const QByteArray &pid : {QByteArray("2147483600"), QByteArray::number(QCoreApplication::applicationPid())}) {
            QVERIFY(writeAll(lockName, pid + rest));
            ScriptedToolkit afterCrash;
            Wizard later(afterCrash, createPage, HandoffFiles(dir.path()));
            QVERIFY(later.start());
            QVERIFY(afterCrash.messages.isEmpty());
        }
    }

#ifndef Q_OS_WIN
    // Hand-off files in a folder others can reach: what is planted under their names (a link to
    // the user's file, a FIFO) is refused at once and left alone, never followed, written or waited
    // on; the next start removes it without opening it.
    void plantedHandoffEntries_areRefused_thenRemovedAtStart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<QString>("expected");
        QTest::newRow("velra.dat, a link") << QStringLiteral("velra.dat") << false << QStringLiteral("リンクになっています");
        QTest::newRow("velra2.dat, a link") << QStringLiteral("velra2.dat") << false << QStringLiteral("リンクになっています");
        QTest::newRow("velra.dat, a FIFO") << QStringLiteral("velra.dat") << true << QStringLiteral("通常のファイルではありません");
        QTest::newRow("velra2.dat, a FIFO") << QStringLiteral("velra2.dat") << true << QStringLiteral("通常のファイルではありません");
    }

    void plantedHandoffEntries_areRefused_thenRemovedAtStart()
    {
        QFETCH(QString, name);
        QFETCH(bool, fifo);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        HandoffFiles files(dir.path());
        QVERIFY(files.startRun(nullptr));
        const QString victim = dir.filePath(QStringLiteral("profile"));
        QVERIFY(writeAll(victim, "the user's own"));
        const QString planted = dir.filePath(name);
        const auto plant = [&] {
            return fifo ? ::mkfifo(QFile::encodeName(planted).constData(), 0666) == 0 : QFile::link(victim, planted);
        };
        QVERIFY(plant());
        QString error;
        QString text;
        QByteArray script;
        if (name == QLatin1String("velra.dat")) {
            QVERIFY(!settingslog::startLog(planted, {LogValue::number(1)}, &error));
            QVERIFY2(error.contains(expected), qPrintable(error));
            QVERIFY(!settingslog::appendLine(planted, {LogValue::number(1)}, &error));
            QVERIFY(!settingslog::readText(planted, text, &error));
            QVERIFY2(error.contains(expected), qPrintable(error));
        } else {
            QVERIFY(!scriptbuffer::store(planted, "Graphic", &error));
            QVERIFY2(error.contains(expected), qPrintable(error));
            QVERIFY(!scriptbuffer::load(planted, script, &error));
            QVERIFY2(error.contains(expected), qPrintable(error));
        }
        QCOMPARE(readAll(victim), QByteArray("the user's own"));
        QVERIFY(files.startRun(nullptr));
        QVERIFY(!QFileInfo(planted).exists() && !QFileInfo(planted).isSymLink());
        QCOMPARE(readAll(victim), QByteArray("the user's own"));
    }

    // FIFOs at each of the wizard's own files, the lock in the program folder included: the start
    // page opens at once, says where the run's files are, and nothing waits on them.
    void ownFilesThatAreFifos_startPageOpensAndSaysWhere()
    {
        QTemporaryDir program;
        QTemporaryDir perUser;
        for (const QString &own : {program.filePath(QStringLiteral(".velra.lock")), perUser.filePath(QStringLiteral("velra-last.dat")),
                                   perUser.filePath(QStringLiteral("velra-save-folder.txt"))})
            QCOMPARE(::mkfifo(QFile::encodeName(own).constData(), 0666), 0);
        ScriptedToolkit toolkit;
        Wizard wizard(toolkit, createPage, HandoffFiles(program.path(), perUser.path()));
        QVERIFY(wizard.start());
        Page *page = wizard.page(PageId::Form1);
        QCOMPARE(visibleWindows(), QWidgetList{page});
        QVERIFY(toolkit.messages.isEmpty());
        QVERIFY(!child<QCheckBox>(page, QStringLiteral("Check1"))->isEnabled());
        const QString note = child<QLabel>(page, QStringLiteral("Label2"))->toolTip();
        QCOMPARE(note, QStringLiteral("プログラムのフォルダーはほかのユーザーも書き込めるため、作業ファイルは「%1」に置きます。")
                           .arg(QDir::toNativeSeparators(perUser.path() + QLatin1Char('/'))));
        QVERIFY(page->height() > 213 + 24);
        QCOMPARE(wizard.saveFolder(), QString());
        click(page, QStringLiteral("Command1"));
        QCOMPARE(wizard.files().folder(), perUser.path() + QLatin1Char('/'));
        QVERIFY(toolkit.messages.isEmpty());
    }

    // A program folder that everyone may write into is not used, sticky or not: with the sticky bit a
    // neighbour's velra.dat there could not be removed, and would lock the author out of every run.
    void programFolderOpenToAll_usesThePerUserFolder()
    {
        for (const mode_t mode : {mode_t(0777), mode_t(01777)}) {
            QTemporaryDir program;
            QTemporaryDir perUser;
            QCOMPARE(::chmod(QFile::encodeName(program.path()).constData(), mode), 0);
            HandoffFiles files(program.path(), perUser.path());
            QVERIFY(files.startRun(nullptr));
            QCOMPARE(files.folder(), perUser.path() + QLatin1Char('/'));
        }
    }
#endif

    // A program folder that exists but takes no new file (a copy under "C:\\Program Files", here a
    // read-only file system) leaves the hand-off files to the per-user folder.
    void unwritableProgramFolder_fallsBackToThePerUserFolder()
    {
        QString readOnly = qEnvironmentVariable("VELRA_READONLY_FOLDER");
        if (readOnly.isEmpty())
            QSKIP("VELRA_READONLY_FOLDER is not set: no read-only folder to test with");
#ifdef Q_OS_WIN
        if (readOnly.startsWith(QLatin1Char('/')))
            readOnly.prepend(QStringLiteral("Z:")); // Wine shows the Linux root as drive Z:
#endif
        if (QFile probe(readOnly + QStringLiteral("/probe")); probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("the read-only folder takes files (mounting it read-only needs root)");
        }
        QTemporaryDir perUser;
        HandoffFiles files(readOnly, perUser.path());
        QVERIFY(files.startRun(nullptr));
        QCOMPARE(files.folder(), perUser.path() + QLatin1Char('/'));
        QVERIFY(settingslog::startLog(files.settingsLog(), {LogValue::number(1)}, nullptr));
    }

    // What Qt draws itself speaks Japanese too: standard buttons, the text boxes' context menu.
    void qtsOwnTexts_areJapanese()
    {
        QVERIFY2(loadTranslations(*qobject_cast<QApplication *>(QCoreApplication::instance())),
                 "qtbase_ja.qm not found (Debian package qt6-translations-l10n)");
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
        QLineEdit box;
        std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts << action->text();
        QVERIFY2(texts.join(QLatin1Char(' ')).contains(QStringLiteral("元に戻す")), qPrintable(texts.join(QLatin1Char(' '))));
    }

    // Each box shows exactly the title the page gives, whole, even when it has nothing else to show.
    void messageBoxTitles_areExact_andFit()
    {
        const QString title = QStringLiteral("記入していません");
        const auto box = QtToolkit::makeMessageBox(nullptr, QString(), title, OkWithExclamation);
        box->show();
        QCOMPARE(box->windowTitle(), title);
        QVERIFY2(box->width() >= box->fontMetrics().horizontalAdvance(title) + QtToolkit::kTitleBarExtra,
                 qPrintable(QStringLiteral("%1 px").arg(box->width())));
        box->close();
    }

    // Each page shows where the keyboard is from the moment it opens, not only after a Tab.
    void pages_showTheirFocusFromTheStart()
    {
        WizardFixture f;
        f.wizard->start();
        Page *form1 = f.wizard->page(PageId::Form1);
        form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form1));
        auto *start = child<QPushButton>(form1, QStringLiteral("Command1"));
        QCOMPARE(QApplication::focusWidget(), start);
        QStyleOptionButton option;
        option.initFrom(start);
        QVERIFY(option.state & QStyle::State_HasFocus);
        QVERIFY(option.state & QStyle::State_KeyboardFocusChange);
    }

    void pageIsNeverShownTwice()
    {
        WizardFixture f;
        f.wizard->start();
        click(f.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        f.wizard->show(PageId::Form1);
        QCOMPARE(visibleWindows(), QWidgetList{f.wizard->page(PageId::Form2)});
    }

    // Every page fits the screens authors use, title bar and taskbar included: 1024 x 768 at
    // 100 %, 1366 x 768 at 150 %, 1280 x 1024 at 200 %.
    void everyPage_fitsTheScreen()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n"));
        const struct { QSize screen; double scale; } screens[] = {{{1024, 768}, 1.0}, {{1366, 768}, 1.5}, {{1280, 1024}, 2.0}};
        for (PageId id : {PageId::Form1, PageId::Form2, PageId::Form3, PageId::Form4, PageId::Form5, PageId::Form6, PageId::Form7}) {
            Page *p = f.wizard->show(id);
            for (const auto &[screen, scale] : screens) {
                const int width = int(p->width() * scale) + 16;               // borders
                const int height = int(p->height() * scale + 32 * scale) + 48; // title bar, taskbar
                QVERIFY2(width <= screen.width() && height <= screen.height(),
                         qPrintable(QStringLiteral("%1 at %2: %3 x %4").arg(p->objectName()).arg(scale).arg(width).arg(height)));
            }
            p->hide();
        }
    }

    // Every page opens wholly inside the screen's available area: a larger page is moved as little as
    // it must, and the pages after it go back to the run's usual place, where the author put them.
    void pages_openInsideTheScreen_thenBackInPlace()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"));
        f.wizard->start();
        Page *form1 = f.wizard->page(PageId::Form1);
        const QRect area = form1->screen()->availableGeometry();
        const QPoint corner = area.bottomRight() - QPoint(form1->width() + 20, form1->height() + 20);
        form1->move(corner); // the author's place for the pages
        f.wizard->handOver(form1, PageId::Form4);
        Page *form4 = f.wizard->page(PageId::Form4);
        QCOMPARE(form4->pos(), corner);
        f.wizard->handOver(form4, PageId::Form6);
        Page *form6 = f.wizard->page(PageId::Form6);
        QVERIFY(form6->width() > form4->width() && form6->height() > form4->height());
        QVERIFY2(area.contains(form6->frameGeometry()), qPrintable(QStringLiteral("%1,%2").arg(form6->x()).arg(form6->y())));
        // As little as it must: its right and bottom edges on the area's.
        QCOMPARE(form6->frameGeometry().right(), qMin(area.right(), corner.x() + form6->frameGeometry().width() - 1));
        f.wizard->back(form6);
        QCOMPARE(form4->pos(), corner);
    }

    // A page shown again never keeps the focus on 戻る, and a held Enter moves one page only.
    void pageShownAgain_focusNeverOnBack_andHeldEnterMovesOnce()
    {
        WizardFixture f;
        QVERIFY(writeAll(f.files.settingsLog(), "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n"));
        f.wizard->start();
        f.wizard->handOver(f.wizard->page(PageId::Form1), PageId::Form4);
        Page *form4 = f.wizard->page(PageId::Form4);
        click(form4, QStringLiteral("Option1"));
        click(form4, QStringLiteral("Command1"));
        Page *form5 = f.wizard->page(PageId::Form5);
        QVERIFY(form5 && form5->isVisible());
        auto *back = child<QPushButton>(form5, QStringLiteral("CommandBack"));
        back->setFocus(); // as a mouse click leaves it
        back->click();
        QVERIFY(form4->isVisible());
        click(form4, QStringLiteral("Command1"));
        QVERIFY(form5->isVisible());
        QVERIFY(form5->focusWidget() != back);
        QCOMPARE(form5->focusWidget(), form5->focusProxy());
        // Enter held down on the mode page: its repeats go nowhere.
        form5->hide();
        form4->show();
        form4->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form4));
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(QApplication::focusWidget(), &repeat);
        QVERIFY(form4->isVisible());
    }

    void closingTheVisiblePage_endsTheApplication()
    {
        WizardFixture f;
        f.wizard->start();
        click(f.wizard->page(PageId::Form1), QStringLiteral("Command1"));
        f.wizard->page(PageId::Form2)->close();
        QCOMPARE(f.finished.size(), 1);
        WizardFixture::flushDeletes();
        QVERIFY(!f.wizard->page(PageId::Form1));
        QVERIFY(!f.wizard->page(PageId::Form2));
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }
};

QTEST_MAIN(TestWizard)
#include "tst_wizard.moc"
#include "pages/Pages.h"
