#include "SmallDisk.h"
#include "TestSupport.h"
#include "model/Run.h"
#include "handoff/SettingsLog.h"

#include <QTemporaryDir>
#include <QTest>

using namespace velra;
using namespace velra::test;

class TestSettingsLog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString log() const { return m_dir.filePath(QStringLiteral("velra.dat")); }

    static LogValue t(const char *s) { return LogValue::textValue(QString::fromUtf8(s)); }
    // The first `count` values of the log, as the pages read it.
    QList<LogValue> read(int count) const
    {
        QString text;
        QList<LogValue> values;
        if (settingslog::readText(log(), text, nullptr))
            settingslog::parseValues(text, count, values);
        return values;
    }

private slots:
    void init() { QFile::remove(log()); }

    void fourLines_areWrittenExactly()
    {
        QString error;
        QVERIFY(settingslog::startLog(log(), {t("scroll.bmp"), t("1280"), t("480")}, &error));
        QVERIFY(settingslog::appendLine(log(), {t("back.bmp"), t("640"), t("480"), t("640"), t("480")}, &error));
        QVERIFY(settingslog::appendLine(log(), {LogValue::number(1)}, &error));
        QVERIFY(settingslog::appendLine(log(), {LogValue::number(3), t("8"), LogValue::number(2), LogValue::number(2), LogValue::empty()}, &error));
        QCOMPARE(readAll(log()), QByteArray("\"scroll.bmp\",\"1280\",\"480\"\r\n"
                                            "\"back.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n"
                                            "1\r\n"
                                            "3,\"8\",2,2,\r\n"));
    }

    // A page's lines go in one step: with the disk full part way, the log stays exactly as it was
    // before the page, no temporary is left, and 次へ pressed again writes the lines once.
    void pageLines_failedWrite_leavesTheLogAsBefore()
    {
        SmallDisk disk(64);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.whyNot));
        const QString path = disk.path(QStringLiteral("velra.dat"));
        const QByteArray before = "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n";
        QVERIFY(writeAll(path, before) && disk.fill(0));
        const QList<LogLine> lines(2, LogLine{t("0"), t("0"), LogValue::number(2), t(QByteArray(3000, '1').constData())});
        QString error;
        QVERIFY(!settingslog::writePageLines(path, 3, lines, &error) && !error.isEmpty());
        QVERIFY(readAll(path) == before && disk.files() == QStringList{QStringLiteral("velra.dat")}); // no temporary either
        QVERIFY(QFile::remove(disk.path(QStringLiteral("zz-filler"))));
        QVERIFY2(settingslog::writePageLines(path, 3, lines, &error), qPrintable(error));
        QCOMPARE(readAll(path).count('\n'), 5);
    }

    void startLog_replacesAnOldLog()
    {
        QVERIFY(writeAll(log(), "\"old\",\"1\",\"2\"\r\n\"x\",\"1\",\"1\",\"1\",\"1\"\r\n2\r\n"));
        QVERIFY(settingslog::startLog(log(), {t("a.bmp"), t("1"), t("2")}, nullptr));
        QCOMPARE(readAll(log()), QByteArray("\"a.bmp\",\"1\",\"2\"\r\n"));
    }

    // Values as the reader takes them: kinds kept, spaces before a value and text after its closing
    // quote skipped, a trailing comma one empty value.
    void values_kindsSpacesAndTrailingComma()
    {
        QVERIFY(writeAll(log(), "\"scroll.bmp\",\"0100\",\"480\"\r\n  \"a b\"xyz,  12 ,,\"\"\r\n1\r\n3,\"8\",2,2,\r\n"));
        const QList<LogValue> values = read(14);
        QCOMPARE(values.size(), 13);
        QCOMPARE(values.mid(1, 7), (QList<LogValue>{t("0100"), t("480"), t("a b"), LogValue{LogValue::Kind::Number, QStringLiteral("12")},
                                                     LogValue::empty(), t(""), LogValue::number(1)}));
        QCOMPARE(values[9], t("8"));
        QCOMPARE(values[12], LogValue::empty());
    }

    void japaneseFileName_roundTrips()
    {
        const QString name = QStringLiteral("背景～①髙.bmp");
        QVERIFY(settingslog::startLog(log(), {LogValue::textValue(name), t("1"), t("2")}, nullptr));
        QVERIFY(readAll(log()).startsWith("\"" + sjis(name) + "\""));
        QCOMPARE(read(1).value(0).text, name);
    }

    void unwritableText_isRefused_andNothingWritten_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("emoji") << QStringLiteral("a😀.bmp") << QStringLiteral("Shift_JIS");
        QTest::newRow("double quote") << QStringLiteral("a\".bmp") << QStringLiteral("二重引用符");
        QTest::newRow("line break") << QStringLiteral("a\r\nb") << QStringLiteral("改行");
    }

    void unwritableText_isRefused_andNothingWritten()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QVERIFY(writeAll(log(), "\"keep\",\"1\",\"2\"\r\n"));
        QString error;
        QVERIFY(!settingslog::appendLine(log(), {LogValue::textValue(text)}, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
        QCOMPARE(readAll(log()), QByteArray("\"keep\",\"1\",\"2\"\r\n"));
    }

    void damagedLogs_giveClearMessages_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("short") << QByteArray("\"a\",\"1\",\"2\"\r\n") << QStringLiteral("3 個しか");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("0 個しか");
        QTest::newRow("invalid CP932") << QByteArray("\"a\x82\",\"1\"") << QStringLiteral("3 バイト目");
    }

    void damagedLogs_giveClearMessages()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QVERIFY(writeAll(log(), content));
        Run run;
        QString error;
        QVERIFY(!settingslog::readRun(log(), run, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

    // What a settings log is, whatever lines its values stand on: a file that is not one is never
    // read value by value.
    void isSettingsLog_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("log");
        const QString head = QStringLiteral("\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n");
        QTest::newRow("simple") << head + "1\r\n3,\"10\",1,3,\"2\"\r\n" << true;
        QTest::newRow("detailed, lines 1 to 3 only") << head + "2\r\n" << true;
        QTest::newRow("values on other lines") << QStringLiteral("\"s.bmp\",\"10\"\r\n\"10\",\"b.bmp\",\"64\"\r\n\"48\",\"-64\",\"+48\",2") << true;
        QTest::newRow("a comic script") << QStringLiteral("/// Comic Script File\r\n<Head=\"Comic\">\r\nFileType = FBS95\r\nSelectChange= 1\r\n<Head End>\r\n")
                                       << false;
        QTest::newRow("eight values") << head << false;
        QTest::newRow("a width in words") << QString(head).replace(QStringLiteral("\"64\",\"48\"\r\n"), QStringLiteral("\"64\",\"tall\"\r\n")) + "1"
                                         << false;
        QTest::newRow("a picture named by a number") << QString(head).replace(QStringLiteral("\"s.bmp\""), QStringLiteral("7")) + "1" << false;
        QTest::newRow("mode 3") << head + "3" << false;
        QTest::newRow("empty") << QString() << false;
    }
    void isSettingsLog()
    {
        QFETCH(QString, text);
        QFETCH(bool, log);
        QCOMPARE(settingslog::isSettingsLog(text), log);
    }

    // How many of the first lines a log being entered holds: the pages go back to the last one.
    void runLines_countWhatIsThere_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::newRow("line 1") << QStringLiteral("\"s.bmp\",\"10\",\"10\"\r\n") << 1;
        QTest::newRow("lines 1 and 2") << QStringLiteral("\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n") << 2;
        QTest::newRow("lines 1 to 3") << QStringLiteral("\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n1\r\n") << 3;
    }
    void runLines_countWhatIsThere()
    {
        QFETCH(QString, text);
        QFETCH(int, lines);
        Run run;
        QVERIFY(runlog::parse(text, run, nullptr, lines));
        QCOMPARE(run.lines, lines);
    }

    void missingLogOrFolder_giveClearMessages()
    {
        QString text;
        QString error;
        QVERIFY(!settingslog::readText(log(), text, &error));
        QVERIFY(error.contains(QStringLiteral("見つかりません")));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("velra.dat")));
        QVERIFY(!settingslog::readText(log(), text, &error));
        QVERIFY(error.contains(QStringLiteral("フォルダー")));
        QVERIFY(!settingslog::appendLine(log(), {LogValue::number(1)}, &error));
        // Named as the system writes paths: "C:\\...\\velra.dat" on Windows.
        QVERIFY2(error.contains(QDir::toNativeSeparators(log())), qPrintable(error));
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("velra.dat")));
    }
};

QTEST_GUILESS_MAIN(TestSettingsLog)
#include "tst_settingslog.moc"
