#include "CompanionRun.h"
#include "TestSupport.h"
#include "handoff/LastRun.h"
#include "script/ScriptFile.h"
#include "io/OutputFile.h"

#include <QImage>

#include <vector>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace velra;
using namespace velra::test;

namespace {

const QByteArray kLog = kWorkedExampleLog;

} // namespace

class TestVelraScript : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList saveArgs(const QString &target, const char *book) const
    {
        return {QStringLiteral("save"), path("velra.dat"), QStringLiteral("--csf"), target, QStringLiteral("--book"),
                QString::fromLatin1(book), QStringLiteral("--page"), QStringLiteral("P")};
    }

private slots:
    void initTestCase() { QVERIFY(writeAll(path("velra.dat"), kLog)); }

    void generate_toStdoutAndFile()
    {
        const Ran r = run({QStringLiteral("generate"), path("velra.dat")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("Graphic \"back.bmp\""));
        // A text file of its own: output added after it (>>) starts on its own line.
        QVERIFY(r.out.endsWith("\"/POS:610,0,100,50\"\r\n"));
        QCOMPARE(run({QStringLiteral("generate"), path("velra.dat"), QStringLiteral("-o"), path("out.txt")}).code, 0);
        QCOMPARE(readAll(path("out.txt")), r.out);
    }

    void refusedSettings_exit1_andWriteNothing()
    {
        QVERIFY(writeAll(path("bad.dat"), QByteArray(kLog).replace("\"10\"", "\"0\"")));
        const Ran r = run({QStringLiteral("generate"), path("bad.dat"), QStringLiteral("-o"), path("none.txt")});
        QCOMPARE(r.code, 1);
        QVERIFY2(QString::fromUtf8(r.err).startsWith(QStringLiteral("velra-script: スクロールの間隔が 0 です。")), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFile::exists(path("none.txt")));
    }

    // Logs written by hand or damaged: always one clear line and exit 1, never a crash.
    void damagedLogs_exit1_withOneLine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        // What is not a settings log as a whole is said so, its values never read one by one.
        const QString notALog = QStringLiteral("「%1」は設定ログでも設定ファイルでもありません。").arg(QDir::toNativeSeparators(path("damaged.dat")));
        QTest::newRow("missing fields") << QByteArray("\"s\",\"1\",\"1\"\r\n1\r\n") << notALog;
        QTest::newRow("a comic script") << scriptfile::headerBlock() + "\r\n<Book=\"B\">\r\n<Page=\"P\">\r\n" << notALog;
        QTest::newRow("window height not a number") << QByteArray(kLog).replace("\"50\"", "\"fifty\"") << notALog;
        QTest::newRow("mode 3") << QByteArray(kLog).replace("\r\n1\r\n", "\r\n3\r\n") << notALog;
        QTest::newRow("unclosed quote") << QByteArray(kLog).replace("3,\"10\"", "3,\"10") << QStringLiteral("値が足りません");
        QTest::newRow("signed step") << QByteArray(kLog).replace("\"10\"", "\"-10\"") << QStringLiteral("負の値");
        QTest::newRow("spaces in a number") << QByteArray(kLog).replace("\"10\"", "\"1 0\"") << QStringLiteral("整数ではありません");
        QTest::newRow("invalid CP932") << QByteArray(kLog).replace("scroll", "scr\x81\x7Fll") << notALog;
        const QByteArray detailedHead = "\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n2\r\n";
        QTest::newRow("detailed, record missing") << detailedHead << QStringLiteral("値が足りません");
        QTest::newRow("detailed, damaged record") << detailedHead + "\"0\",\"0\",\"9\",\"0\",1,\"1\",9,\"0\",\"0\",1\r\n"
                                                  << QStringLiteral("速さの変化の値「9」は 1 から 8 の範囲外です");
        QTest::newRow("megabyte line") << QByteArray(4'000'000, '1') << notALog;
        QTest::newRow("gigabyte script") << QByteArray(kLog)
                                                .replace("scroll.bmp", QByteArray(30'000, 's'))
                                                .replace("back.bmp", QByteArray(30'000, 'b'))
                                                .replace("\"100\"", "\"30000\"")
                                                .replace("3,\"10\",1,3,\"2\"", "3,\"1\",1,2,")
                                       << QStringLiteral("大きすぎます");
    }

    void damagedLogs_exit1_withOneLine()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QFile::remove(path("none.txt"));
        QVERIFY(writeAll(path("damaged.dat"), content));
        const Ran r = run({QStringLiteral("generate"), path("damaged.dat"), QStringLiteral("-o"), path("none.txt")});
        QCOMPARE(r.code, 1);
        QVERIFY2(QString::fromUtf8(r.err).contains(expected), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFile::exists(path("none.txt")));
    }

    void detailedLog_generatesAndSaves()
    {
        QVERIFY(writeAll(path("detailed.dat"), "\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n2\r\n"
                                               "\"0\",\"0\",\"8\",\"-4\",1,\"4\",1,\"0\",\"1\",3\r\n"));
        const Ran r = run({QStringLiteral("generate"), path("detailed.dat")});
        QVERIFY2(r.code == 0, r.err.constData());
        const QByteArray pic = "Graphic \"s.bmp\",0,0,0,1,\"None\",0,0,0,\"/POS:";
        QCOMPARE(r.out, pic + "0,0,10,10\"\r\n" + pic + "4,-2,10,10\"\r\n" + pic + "8,-4,10,10\"\r\n" + pic + "8,-4,10,10\"\r\n");
        QCOMPARE(run({QStringLiteral("save"), path("detailed.dat"), QStringLiteral("--txt"), path("detailed.txt"), QStringLiteral("--book"),
                      QStringLiteral("B"), QStringLiteral("--page"), QStringLiteral("P")})
                     .code,
                 0);
        QCOMPARE(readAll(path("detailed.txt")), "<Book=\"B\">\r\n<Page=\"P\">\r\n" + r.out + "<Page End>\r\n<Book End>\r\n");
    }

    void logThatIsAFolder_exit1()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.dat")));
        const Ran r = run({QStringLiteral("generate"), path("folder.dat")});
        QCOMPARE(r.code, 1);
        QVERIFY(QString::fromUtf8(r.err).contains(QStringLiteral("フォルダー")));
    }

    void usageErrors_exit2()
    {
        QCOMPARE(run({}).code, 2);
        QCOMPARE(run({QStringLiteral("frobnicate")}).code, 2);
        QCOMPARE(run({QStringLiteral("save"), path("velra.dat"), QStringLiteral("--csf"), path("a.csf")}).code, 2);
        // Each option once, as generate and save take them; save writes files only.
        for (const char *twice : {"-o", "--frames", "--scroll-picture", "--background-picture", "--all"}) {
            QStringList args{QStringLiteral("preview"), path("velra.dat"), QStringLiteral("-o"), path("sheet.png")};
            const QString option = QString::fromLatin1(twice);
            const QStringList value = option == QLatin1String("--all") ? QStringList() : QStringList{QStringLiteral("2")};
            args << option << value << option << value;
            const Ran r = run(args);
            QVERIFY2(r.code == 2, qPrintable(QStringLiteral("%1 twice: exit %2, %3").arg(option, QString::number(r.code), QString::fromUtf8(r.err))));
        }
        QVERIFY(!QFile::exists(path("sheet.png")));
        QCOMPARE(run(saveArgs(QStringLiteral("-"), "B")).code, 2);
        QVERIFY(!QFile::exists(QStringLiteral("-")));
        const Ran help = run({QStringLiteral("--help")});
        QCOMPARE(help.code, 0);
        QVERIFY(QString::fromUtf8(help.out).contains(QStringLiteral("使い方: velra-script generate")));
        // Within an 80-column terminal, where a Japanese character takes two; Windows' line ends there.
#ifdef Q_OS_WIN
        const QString newline = QStringLiteral("\r\n");
#else
        const QString newline = QStringLiteral("\n");
#endif
        const QString helpText = QString::fromUtf8(help.out);
        QVERIFY(helpText.endsWith(newline));
        for (const QString &line : helpText.split(newline)) {
            int columns = 0;
            for (const QChar c : line)
                columns += c.unicode() >= 0x1100 ? 2 : 1;
            QVERIFY2(columns <= 79 && !line.contains(QLatin1Char('\n')), qPrintable(line));
        }
        // The help names the two kinds of LOG apart.
        QVERIFY(helpText.contains(QStringLiteral("設定ログ LOG")));
        QVERIFY(!helpText.contains(QStringLiteral("設定ファイル LOG")));
        // A usage error says what is wrong, naming it, and where the usage is: two lines, not the help.
        const QString more = newline + QStringLiteral("詳しくは velra-script --help を見てください。") + newline;
        const QList<std::pair<QStringList, QString>> wrongs = {
            {{QStringLiteral("frobnicate")}, QStringLiteral("「frobnicate」というコマンドはありません（generate、save、preview のどれかです）。")},
            {{QStringLiteral("generate"), path("velra.dat"), QStringLiteral("--fast")}, QStringLiteral("引数「--fast」は使えません。")},
            {{QStringLiteral("save"), path("velra.dat"), QStringLiteral("--book")}, QStringLiteral("--book の値がありません。")},
            {{QStringLiteral("preview"), path("velra.dat"), QStringLiteral("-o"), path("s.png"), QStringLiteral("--frames"), QStringLiteral("2"),
              QStringLiteral("--frames"), QStringLiteral("3")},
             QStringLiteral("--frames が 2 回指定されています。")},
        };
        for (const auto &[args, reason] : wrongs) {
            const Ran wrong = run(args);
            QCOMPARE(wrong.code, 2);
            QCOMPARE(QString::fromUtf8(wrong.err), QStringLiteral("velra-script: ") + reason + more);
        }
        QVERIFY(run({QStringLiteral("--version")}).out.startsWith("velra-script"));
    }

    // Names the host's block lines cannot carry are refused (exit 1), nothing written.
    void save_refusedNames_exit1()
    {
        for (const char *book : {"X\"><Page=\"evil", "", " ", "a\tb"}) {
            const Ran r = run(saveArgs(path("names.csf"), book));
            QCOMPARE(r.code, 1);
            QVERIFY2(QString::fromUtf8(r.err).startsWith(QStringLiteral("velra-script: ブック名")), r.err.constData());
            QVERIFY(!QFile::exists(path("names.csf")));
        }
    }

    // A comic script file that already holds the book is refused (exit 1) and left as it was.
    void save_duplicateBook_isRefused()
    {
        const QString target = path("dup.csf");
        QCOMPARE(run(saveArgs(target, "B")).code, 0);
        const QByteArray before = readAll(target);
        const Ran again = run(saveArgs(target, "B"));
        QCOMPARE(again.code, 1);
        QVERIFY2(QString::fromUtf8(again.err).contains(QStringLiteral("ブック「B」はすでに「dup.csf」にあります。別のブック名にしてください。")),
                 again.err.constData());
        QCOMPARE(readAll(target), before);
        QCOMPARE(run(saveArgs(target, "B2")).code, 0);
    }

    void save_writesWhatTheWizardWrites()
    {
        const Ran r = run({QStringLiteral("save"), path("velra.dat"), QStringLiteral("--csf"), path("comic.csf"),
                           QStringLiteral("--book"), QStringLiteral("第一巻"), QStringLiteral("--page"), QStringLiteral("P")});
        QCOMPARE(r.code, 0);
        const QByteArray script = run({QStringLiteral("generate"), path("velra.dat")}).out;
        QCOMPARE(readAll(path("comic.csf")), scriptfile::headerBlock() + "\r\n<Book=\"" + sjis(QStringLiteral("第一巻"))
                     + "\">\r\n<Page=\"P\">\r\n" + script + "<Page End>\r\n<Book End>\r\n");
        QVERIFY(writeAll(path("notes.txt"), "notes"));
        QCOMPARE(run({QStringLiteral("save"), path("velra.dat"), QStringLiteral("--txt"), path("notes.txt"),
                      QStringLiteral("--book"), QStringLiteral("B"), QStringLiteral("--page"), QStringLiteral("P")})
                     .code,
                 0);
        QVERIFY(readAll(path("notes.txt")).startsWith("notes\r\n<Book=\"B\">"));
    }

    // Two saves into one file at the same moment: both books end up in it, one after the other.
    void parallelSaves_keepBothBooks()
    {
        const QString target = path("race.csf");
        for (int round = 0; round < 12; ++round) {
            QFile::remove(target);
            if (round % 2)
                QVERIFY(writeAll(target, "existing\r\n"));
            auto a = startRun(saveArgs(target, "A"));
            auto b = startRun(saveArgs(target, "B"));
            QCOMPARE(finish(std::move(a)).code, 0);
            QCOMPARE(finish(std::move(b)).code, 0);
            const QByteArray bytes = readAll(target);
            QCOMPARE(bytes.count("<Book=\"A\">"), 1);
            QCOMPARE(bytes.count("<Book=\"B\">"), 1);
            QCOMPARE(bytes.count("/// Fablescope for Win95"), round % 2 ? 0 : 1);
        }
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".race.csf.velra-*")}, QDir::Files | QDir::Hidden).size(), 0);
    }

    void outputNames_dashIsStdout_emptyIsAUsageError_folderIsRefused()
    {
        const Ran dash = run({QStringLiteral("generate"), path("velra.dat"), QStringLiteral("-o"), QStringLiteral("-")});
        QCOMPARE(dash.code, 0);
        QVERIFY(dash.out.startsWith("Graphic "));
        QVERIFY(!QFile::exists(QStringLiteral("-")));
        QCOMPARE(run({QStringLiteral("generate"), path("velra.dat"), QStringLiteral("-o"), QString()}).code, 2);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.csf")));
        const Ran folder = run({QStringLiteral("generate"), path("velra.dat"), QStringLiteral("-o"), path("folder.csf")});
        QCOMPARE(folder.code, 1);
        QVERIFY2(QString::fromUtf8(folder.err).contains(QStringLiteral("フォルダー")), folder.err.constData());
        QVERIFY(!QString::fromUtf8(folder.err).contains(QStringLiteral("ディスク")));
        QVERIFY(QFileInfo(path("folder.csf")).isDir());
    }

    // A save killed before its final step left its complete temporary file behind.
    void staleTemporaryFiles_ofThisTarget_areRemoved()
    {
        const QString stale = path(output::temporaryName(QStringLiteral("stale.csf")));
        QVERIFY(writeAll(stale, "left behind"));
        // Names only alike are other files' (a target named "stale*.csf" must not match them).
        const QStringList others{path(".stale.csf.velra-abcd1234"), path(".other.csf.velra-abcd1234"),
                                 path(output::temporaryName(QStringLiteral("stale2.csf")))};
        for (const QString &other : others)
            QVERIFY(writeAll(other, "another file's"));
        QCOMPARE(run(saveArgs(path("stale.csf"), "B")).code, 0);
#ifndef Q_OS_WIN
        QCOMPARE(run(saveArgs(path("stale*.csf"), "B")).code, 0); // no such name on Windows
#endif
        QVERIFY(!QFile::exists(stale));
        for (const QString &other : others)
            QVERIFY(QFile::exists(other));
        // Names alike in their first 200 bytes have temporaries of their own.
        const QString longName = QString(230, QLatin1Char('n'));
        QVERIFY(output::temporaryName(longName + QStringLiteral("1.csf")) != output::temporaryName(longName + QStringLiteral("2.csf")));
    }

    // Values are shown as they are in every message: a %2 in a name is never filled with another
    // value, and long names are cut.
    void messages_showValuesAsTheyAre_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("notExpected");
        const QString big = path(QStringLiteral("big%2.dat"));
        writeAll(big, QByteArray(70 * 1024, 'x'));
        QTest::newRow("log name") << QStringList{QStringLiteral("generate"), big} << QStringLiteral("big%2.dat」は設定ログでも")
                                  << QStringLiteral("big64");
        QTest::newRow("book name") << QStringList{QStringLiteral("save"), path("velra.dat"), QStringLiteral("--csf"), path("p.csf"),
                                                  QStringLiteral("--book"), QStringLiteral("A%2B%3C\u2603"),
                                                  QStringLiteral("--page"), QStringLiteral("P")}
                                   << QStringLiteral("「A%2B%3C\u2603」の 8 文字目") << QString();
        const QString deep = path(QString(4400, QLatin1Char('d')) + QStringLiteral("/x.csf"));
        QTest::newRow("long path") << saveArgs(deep, "B") << QStringLiteral("…（") << QString(201, QLatin1Char('d'));
        QTest::newRow("folder that is not there") << QStringList{QStringLiteral("generate"), path("velra.dat"), QStringLiteral("-o"),
                                                                 path("newdir/")}
                                                  << QStringLiteral("ファイル名がありません") << QStringLiteral("同じ名前のフォルダー");
        const QString nul = path("zero-byte.dat"); // "nul.dat" would be Windows' NUL device
        writeAll(nul, QByteArray(kLog).replace("\r\n1\r\n", QByteArray("\r\n\0" "1\r\n", 6)));
        QTest::newRow("NUL in the mode line") << QStringList{QStringLiteral("generate"), nul} << QStringLiteral("zero-byte.dat」は設定ログでも")
                                              << QStringLiteral("スクロール");
    }

    void messages_showValuesAsTheyAre()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        QFETCH(QString, notExpected);
        const Ran r = run(args);
        const QString err = QString::fromUtf8(r.err);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY2(err.contains(expected), r.err.constData());
        QVERIFY2(!err.contains(QStringLiteral("。 ")), r.err.constData()); // no space after a full stop
        if (!notExpected.isEmpty())
            QVERIFY2(!err.contains(notExpected), r.err.constData());
    }

    // Many saves into one file at once take turns: every book ends up in it.
    void manySavesAtOnce_allTakeTheirTurn()
    {
        const QString target = path("crowd.csf");
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int i = 0; i < 40; ++i)
            runs.push_back(startRun(saveArgs(target, QByteArray("B" + QByteArray::number(i)).constData())));
        for (auto &r : runs) {
            const Ran done = finish(std::move(r));
            QVERIFY2(done.code == 0, done.err.constData());
        }
        const QByteArray bytes = readAll(target);
        for (int i = 0; i < 40; ++i)
            QCOMPARE(bytes.count("<Book=\"B" + QByteArray::number(i) + "\">"), 1);
    }

    // A file another program keeps locked: the save says what it waits for, once, and goes on as
    // soon as the lock is let go. (Giving up after the patience is tested on the writer itself,
    // with a short patience.)
    void lockHeldByAnotherProgram_isWaitedFor()
    {
        const QString target = path("held.csf");
        QVERIFY(writeAll(target, "held\r\n"));
        auto held = std::make_unique<HeldLock>(target);
        QVERIFY(held->isHeld());
        auto process = startRun(saveArgs(target, "B"));
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += process->readAllStandardError()).contains("\xe2\x80\xa6"), 4000); // "…"
        QVERIFY2(QString::fromUtf8(err).contains(QStringLiteral("ほかのプログラムが「held.csf」を使っています…")), err.constData());
        held.reset();
        const Ran r = finish(std::move(process));
        QCOMPARE(r.code, 0);
        QVERIFY(readAll(target).startsWith("held\r\n\r\n<Book=\"B\">"));
    }

    void helpAndVersion_intoAFullOutput_fail()
    {
#ifdef Q_OS_WIN
        QSKIP("no full device on Windows");
#else
        for (const char *what : {"--help", "--version"}) {
            QProcess p;
            p.setStandardOutputFile(QStringLiteral("/dev/full"));
            p.start(QStringLiteral(VELRA_SCRIPT), {QString::fromLatin1(what)});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitCode(), 1);
        }
#endif
    }

#ifdef Q_OS_WIN
    // Windows' devices are written as streams too, never replaced by a file.
    // Names Windows keeps for devices are refused, whatever the extension; NUL stays the sink.
    void reservedNames_areRefused()
    {
        for (const char *name : {"CON", "con.txt", "PRN", "aux.csf", "COM1", "lpt9.txt"}) {
            const Ran r = run({QStringLiteral("generate"), path("velra.dat"), QStringLiteral("-o"), QString::fromLatin1(name)});
            QCOMPARE(r.code, 1);
            QVERIFY2(QString::fromUtf8(r.err).contains(QStringLiteral("Windows の予約された名前のため保存できません")), r.err.constData());
            QCOMPARE(run(saveArgs(path(name), "B")).code, 1);
        }
        QCOMPARE(run({QStringLiteral("generate"), path("velra.dat"), QStringLiteral("-o"), path("COM10.txt")}).code, 0);
    }

    void nulDevice_isWrittenAsAStream()
    {
        const Ran r = run({QStringLiteral("generate"), path("velra.dat"), QStringLiteral("-o"), QStringLiteral("NUL")});
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(run(saveArgs(QStringLiteral("NUL"), "B")).code, 0);
    }
#endif

    // Pictures of the frames without a display: a contact sheet, or every frame at the window's size.
    void preview_drawsTheFrames_asSheetOrOneFileEach()
    {
        QVERIFY(!writePicture(path("back.bmp"), 640, 480, "BMP", Qt::red).isEmpty());
        QVERIFY(!writePicture(path("scroll.jpg"), 100, 50, "JPEG", Qt::blue).isEmpty());
        const QStringList pictures{QStringLiteral("--scroll-picture"), path("scroll.jpg"), QStringLiteral("--background-picture"),
                                   path("back.bmp")};
        const Ran sheet = run(QStringList{QStringLiteral("preview"), path("velra.dat"), QStringLiteral("-o"), path("sheet.png"),
                                          QStringLiteral("--frames"), QStringLiteral("3")} + pictures);
        QVERIFY2(sheet.code == 0, sheet.err.constData());
        QVERIFY2(!sheet.err.contains("velra-script:"), sheet.err.constData()); // no picture missing
        const QImage image(path("sheet.png"));
        QVERIFY(!image.isNull());
        QCOMPARE(image.width(), 8 + 3 * (320 + 8));

        const Ran all = run(QStringList{QStringLiteral("preview"), path("velra.dat"), QStringLiteral("--all"), QStringLiteral("-o"),
                                        path("frames")} + pictures);
        QVERIFY2(all.code == 0, all.err.constData());
        QCOMPARE(QDir(path("frames")).entryList(QDir::Files),
                 (QStringList{QStringLiteral("frame-00001.png"), QStringLiteral("frame-00002.png"), QStringLiteral("frame-00003.png"),
                              QStringLiteral("frame-00004.png")}));
        const QImage last(path("frames/frame-00004.png"));
        QCOMPARE(last.size(), QSize(640, 480));
        QCOMPARE(QColor(last.pixel(620, 20)).blue() > 200 && QColor(last.pixel(620, 20)).red() < 60, true); // the picture at x 610
        QCOMPARE(QColor(last.pixel(300, 300)).red() > 200, true);                                        // the background
        // Run again into the same folder: refused, naming the frames there, and nothing deleted.
        QVERIFY(writeAll(path("frames/frame-09999.png"), "an earlier, longer run's frame"));
        const Ran again = run(QStringList{QStringLiteral("preview"), path("velra.dat"), QStringLiteral("--all"), QStringLiteral("-o"),
                                          path("frames")} + pictures);
        QCOMPARE(again.code, 1);
        QVERIFY2(QString::fromUtf8(again.err).contains(QStringLiteral("前のコマ（frame-*.png）が 5 枚あります")), again.err.constData());
        QCOMPARE(QDir(path("frames")).entryList(QDir::Files | QDir::Hidden).size(), 5);

        // A picture that is not one is drawn as a labelled rectangle, and said so.
        QVERIFY(writeAll(path("fake.bmp"), "no picture"));
        const Ran fake = run({QStringLiteral("preview"), path("velra.dat"), QStringLiteral("-o"), path("fake.png"),
                              QStringLiteral("--scroll-picture"), path("fake.bmp")});
        QCOMPARE(fake.code, 0);
        QVERIFY2(QString::fromUtf8(fake.err).contains(QStringLiteral("fake.bmp」は画像として読めません。")), fake.err.constData());
        QVERIFY(QFile::exists(path("fake.png")));
        QCOMPARE(run({QStringLiteral("preview"), path("velra.dat")}).code, 2);
        QCOMPARE(run({QStringLiteral("preview"), path("velra.dat"), QStringLiteral("-o"), path("x.png"), QStringLiteral("--frames"),
                      QStringLiteral("0")}).code,
                 2);
        QVERIFY(writeAll(path("broken.dat"), "\"s\",\"1\"\r\n"));
        const Ran broken = run({QStringLiteral("preview"), path("broken.dat"), QStringLiteral("-o"), path("broken.png")});
        QCOMPARE(broken.code, 1);
        QVERIFY(!QFile::exists(path("broken.png")));
    }

    // A settings file stands wherever a log does: generate and save write the log's bytes, preview
    // draws the file's pictures unless others are named, save still needs its names, and a file that
    // is not one is refused with one line naming it.
    void preview_animation_writesOneFile_andRefusesWhatCannotPlay()
    {
        const QStringList base{QStringLiteral("preview"), path("velra.dat"), QStringLiteral("-o")};
        const auto args = [&base](const QString &out, const char *more) {
            return base + QStringList{out} + QString::fromUtf8(more).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        };
        const struct
        {
            const char *out;
            const char *more;
            const char *said;
        } refused[] = {
            {"a.png", "--animation", ".webp"},
            {"a.webp", "--animation --all", "--all"},
            {"a.webp", "--animation --frames 3", "--frames"},
            {"a.webp", "--fps 10", "--animation"},
            {"a.gif", "--once", "--animation"},
            {"a.gif", "--animation --fps 51", "50"},
            {"a.webp", "--animation --fps 91", "90"},
            {"a.webp", "--animation --fps 0", "90"},
            {"a.webp", "--animation --fps 2x", "90"},
            {"a.webp", "--animation --scale 2", "--scale の値「2」は使えません。1、1/2、1/3、1/4"},
            {"a.webp", "--animation --every 11", "--every の値「11」は使えません。1 から 10"},
            {"a.webp", "--animation --quality 0", "--quality の値「0」は使えません。1 から 100"},
            {"a.gif", "--animation --quality 80", "GIF には使えません"},
            {"a.gif", "--animation --max-size 4X", "--max-size の値「4X」は使えません"},
            {"a.webp", "--quality 80", "--animation"},
            {"a.png", "--frames 0", "--frames の値「0」は使えません"},
            {"a.webp", "--animation --fps 10 --fps 10", "--fps"},
            {"a.webp", "--animation --fps 99999999999", "--fps の値「99999999999」は使えません"},
            {"a.webp", "--animation --fps \xEF\xBC\x93\xEF\xBC\x90", "「\xEF\xBC\x93\xEF\xBC\x90」"},
            {"a.webp", "--animation --once -once", "--once が 2 回"},
        };
        for (const auto &row : refused) {
            const Ran r = run(args(path(row.out), row.more));
            QVERIFY2(r.code == 2 && QString::fromUtf8(r.err).contains(QString::fromUtf8(row.said)), (row.more + QByteArray(": ") + r.err).constData());
        }
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("a.*")}, QDir::Files), QStringList());
#ifdef VELRA_HAVE_ANIMATION
        for (const auto &[out, more, head] : {std::tuple{"a.gif", "--animation", QByteArray("GIF89a")},
                                              std::tuple{"a.WEBP", "--animation --once --scale 0.5 --fps 90", QByteArray("RIFF")}}) {
            const Ran r = run(args(path(out), more));
            QVERIFY2(r.code == 0, r.err.constData());
            QVERIFY(readAll(path(out)).startsWith(head));
        }
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("a.*")}, QDir::Files),
                 (QStringList{QStringLiteral("a.gif"), QStringLiteral("a.WEBP")}));
#endif
    }

    void settingsFile_takenForLog()
    {
        QVERIFY(!writePicture(path("kept-back.bmp"), 640, 480, "BMP", Qt::red).isEmpty());
        QVERIFY(!writePicture(path("kept-scroll.bmp"), 100, 50, "BMP", Qt::blue).isEmpty());
        lastrun::Settings settings;
        settings.log = kLog;
        settings.scrollPicture = path("kept-scroll.bmp");
        settings.backgroundPicture = path("kept-back.bmp");
        QVERIFY(writeAll(path("pan.velra"), lastrun::encode(settings, true)));
        const Ran fromLog = run({QStringLiteral("generate"), path("velra.dat")});
        const Ran fromFile = run({QStringLiteral("generate"), path("pan.velra")});
        QCOMPARE(fromFile.code, 0);
        QCOMPARE(fromFile.out, fromLog.out);
        QCOMPARE(run({QStringLiteral("save"), path("pan.velra"), QStringLiteral("--txt"), path("pan.txt"), QStringLiteral("--book"),
                      QStringLiteral("B"), QStringLiteral("--page"), QStringLiteral("P")}).code,
                 0);
        QVERIFY(readAll(path("pan.txt")).contains(fromLog.out));
        QCOMPARE(run({QStringLiteral("save"), path("pan.velra"), QStringLiteral("--txt"), path("pan2.txt")}).code, 2);

        const Ran drawn = run({QStringLiteral("preview"), path("pan.velra"), QStringLiteral("--all"), QStringLiteral("-o"), path("pan-frames")});
        QVERIFY2(drawn.code == 0 && !drawn.err.contains("velra-script:"), drawn.err.constData()); // both pictures found
        const QImage last(path("pan-frames/frame-00004.png"));
        QVERIFY(QColor(last.pixel(620, 20)).blue() > 200 && QColor(last.pixel(300, 300)).red() > 200);
        QVERIFY(!writePicture(path("green.bmp"), 100, 50, "BMP", Qt::green).isEmpty());
        QVERIFY(run({QStringLiteral("preview"), path("pan.velra"), QStringLiteral("--all"), QStringLiteral("-o"), path("pan-green"),
                     QStringLiteral("--scroll-picture"), path("green.bmp")}).code == 0);
        QVERIFY(QColor(QImage(path("pan-green/frame-00004.png")).pixel(620, 20)).green() > 200);

        QVERIFY(writeAll(path("log.velra"), kLog));
        for (const char *command : {"generate", "preview"}) {
            const Ran refused = run({QString::fromLatin1(command), path("log.velra"), QStringLiteral("-o"), path("refused.out")});
            QCOMPARE(refused.code, 1);
            QCOMPARE(QString::fromUtf8(refused.err).trimmed(), QStringLiteral("velra-script: 「%1」は Velloran の設定ファイルではありません。")
                                                         .arg(QDir::toNativeSeparators(path("log.velra"))));
            QVERIFY(!QFile::exists(path("refused.out")));
        }
    }

    void save_refusedName_leavesFileUntouched()
    {
        QVERIFY(writeAll(path("keep.csf"), "keep"));
        const Ran r = run({QStringLiteral("save"), path("velra.dat"), QStringLiteral("--csf"), path("keep.csf"),
                           QStringLiteral("--book"), QStringLiteral("a😀"), QStringLiteral("--page"), QStringLiteral("P")});
        QCOMPARE(r.code, 1);
        QCOMPARE(readAll(path("keep.csf")), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(TestVelraScript)
#include "tst_velra_script.moc"
