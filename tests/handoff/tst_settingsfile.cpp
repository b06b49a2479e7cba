#include "SmallDisk.h"
#include "TestSupport.h"
#include "handoff/SettingsFile.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace velra;
using namespace velra::test;

namespace {

const QByteArray kLog = "\"s.bmp\",\"100\",\"50\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n3,\"10\",1,3,\"2\"\r\n";

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    lastrun::Settings sample() const
    {
        lastrun::Settings s;
        s.log = kLog;
        s.scrollPicture = path(QStringLiteral("画像/s.bmp"));
        s.backgroundPicture = path(QStringLiteral("b.bmp"));
        s.route = lastrun::Settings::Route::Text;
        s.pageName = QStringLiteral("ページ1");
        return s;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(path(QStringLiteral("画像"))));
        QVERIFY(writeAll(path(QStringLiteral("画像/s.bmp")), "BM"));
    }

    // What is written is read back whole; the first line names the file and its version.
    void writeAndRead_roundTrip()
    {
        const QString file = path(QStringLiteral("pan.velra"));
        QString error;
        QVERIFY2(settingsfile::write(file, sample(), &error), qPrintable(error));
        const QByteArray bytes = readAll(file);
        // One text in one encoding, as an editor on Windows reads it: UTF-8, its mark, CR LF; the
        // paths with the system's own separator.
        QVERIFY(bytes.startsWith("\xEF\xBB\xBFVelloran settings 3\r\n"
                                 + QDir::toNativeSeparators(path(QStringLiteral("画像/s.bmp"))).toUtf8() + "\r\n"));
        QVERIFY(bytes.endsWith("\r\ntxt\r\n" + QStringLiteral("ページ1").toUtf8() + "\r\n\r\n" + kLog));
        lastrun::Settings read;
        QVERIFY2(settingsfile::read(file, read, &error), qPrintable(error));
        QCOMPARE(read.log, kLog);
        QCOMPARE(read.scrollPicture, sample().scrollPicture);
        QCOMPARE(read.backgroundPicture, sample().backgroundPicture);
        QCOMPARE(read.route, lastrun::Settings::Route::Text);
        QCOMPARE(read.pageName, QStringLiteral("ページ1"));
        QVERIFY(settingsfile::isSettingsFile(QStringLiteral("x/PAN.VELRA")));
        QVERIFY(!settingsfile::isSettingsFile(QStringLiteral("x/velra.dat")));
        // An earlier settings file is replaced; the remembered settings' file reads as one too.
        lastrun::Settings other = sample();
        other.pageName = QStringLiteral("p2");
        QVERIFY(settingsfile::write(file, other, &error));
        QVERIFY(settingsfile::read(file, read, &error));
        QCOMPARE(read.pageName, QStringLiteral("p2"));
        QVERIFY(writeAll(file, lastrun::encode(sample(), false)));
        QVERIFY(settingsfile::read(file, read, &error));
        // A chain with a shake or a bounce is version 4, read back whole.
        for (const QByteArray &line4 : {QByteArray("\"0\",\"0\",\"0\",\"9\",3,\"2\",1,\"0\",\"0\",1,\"5\",2,1,\"4294967295\"\r\n"),
                                        QByteArray("\"0\",\"0\",\"9\",\"0\",2,\"5\",1,\"0\",\"0\",1\r\n\"0\",\"0\",2,\"5\",8,\"0\"\r\n")}) {
            lastrun::Settings moving = sample();
            moving.log = "\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n2\r\n" + line4;
            QVERIFY2(settingsfile::write(file, moving, &error), qPrintable(error));
            QVERIFY(readAll(file).startsWith("\xEF\xBB\xBFVelloran settings 4\r\n"));
            QVERIFY2(settingsfile::read(file, read, &error), qPrintable(error));
            QCOMPARE(read.log, moving.log);
        }
        // Version 2, saved again by an editor that ends lines with CR LF: the same settings.
        QVERIFY(writeAll(file, "Velloran settings 2\r\n" + sample().scrollPicture.toUtf8() + "\r\n\r\ntxt\r\nP\r\n\r\n" + kLog));
        QVERIFY2(settingsfile::read(file, read, &error), qPrintable(error));
        QCOMPARE(read.scrollPicture, sample().scrollPicture);
        QCOMPARE(read.pageName, QStringLiteral("P"));
    }

    // The log's Japanese is UTF-8 in the file, its CP932 bytes when read; an editor that saves the
    // file again (with its mark or without, CR LF or LF) leaves it readable.
    void version3_japaneseLog_andEditorsSaves()
    {
        const QString file = path(QStringLiteral("jp.velra"));
        lastrun::Settings s = sample();
        s.log = QByteArray(kLog).replace("s.bmp", "\x89\xE6\x91\x9C.bmp"); // 画像.bmp
        QString error;
        QVERIFY(settingsfile::write(file, s, &error));
        const QByteArray bytes = readAll(file);
        QVERIFY(bytes.contains(QStringLiteral("\"画像.bmp\"").toUtf8()));
        const QList<QByteArray> saved = {bytes, bytes.mid(3), QByteArray(bytes).replace("\r\n", "\n")};
        for (const QByteArray &again : saved) {
            QVERIFY(writeAll(file, again));
            lastrun::Settings read;
            QVERIFY2(settingsfile::read(file, read, &error), qPrintable(error));
            QCOMPARE(read.log, again.contains("\r\n") ? s.log : QByteArray(s.log).replace("\r\n", "\n"));
            QCOMPARE(read.pageName, s.pageName);
        }
        // A log CP932 codes twice (∵ as 0x879A) keeps its bytes, in version 2's layout.
        s.log = QByteArray(kLog).replace("s.bmp", "\x87\x9A.bmp");
        QVERIFY(settingsfile::write(file, s, &error));
        QVERIFY(readAll(file).startsWith("Velloran settings 2\n"));
        lastrun::Settings read;
        QVERIFY(settingsfile::read(file, read, &error));
        QCOMPARE(read.log, s.log);
    }

    // The desktop's type for settings files (the package's MIME type) knows a version 3 file by its
    // first line, its byte order mark before it, whatever its name.
    void mimeType_knowsVersion3()
    {
        const QString update = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
        if (update.isEmpty())
            QSKIP("update-mime-database is not installed");
        const QString data = path(QStringLiteral("xdg"));
        QVERIFY(QDir().mkpath(data + QStringLiteral("/mime/packages")));
        QVERIFY(QFile::copy(QStringLiteral(VELRA_MIME_XML), data + QStringLiteral("/mime/packages/velloran.xml")));
        QProcess run;
        run.start(update, {data + QStringLiteral("/mime")});
        QVERIFY(run.waitForFinished() && run.exitCode() == 0);
        QString error;
        QVERIFY(settingsfile::write(path(QStringLiteral("v3.velra")), sample(), &error));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(data));
        const QMimeDatabase types;
        QCOMPARE(types.mimeTypeForData(readAll(path(QStringLiteral("v3.velra")))).name(), QStringLiteral("application/x-velloran-settings"));
        QCOMPARE(types.mimeTypeForData(lastrun::encode(sample(), true).mid(3)).name(), QStringLiteral("application/x-velloran-settings"));
    }

#ifndef Q_OS_WIN
    // A FIFO, a device or a folder at the name is refused before anything opens it: no wait for a
    // reader, nothing written.
    void write_refusesWhatIsNotAFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("what");
        QTest::newRow("FIFO") << QStringLiteral("fifo.velra") << QStringLiteral("名前付きパイプ（FIFO）で、ファイルではありません");
        QTest::newRow("device") << QStringLiteral("/dev/null") << QStringLiteral("デバイスで、ファイルではありません");
        QTest::newRow("folder") << QStringLiteral("dir.velra") << QStringLiteral("フォルダーです");
    }
    void write_refusesWhatIsNotAFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, what);
        const QString target = name.startsWith(QLatin1Char('/')) ? name : path(name);
        if (name == QLatin1String("fifo.velra"))
            QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        if (name == QLatin1String("dir.velra"))
            QVERIFY(QDir().mkpath(target));
        QString error;
        QVERIFY(!settingsfile::write(target, sample(), &error));
        QCOMPARE(error, QStringLiteral("設定ファイル「%1」に保存できません。\r\n「%2」は%3。").arg(target, QFileInfo(target).fileName(), what));
    }
#endif

#ifndef Q_OS_WIN
    // What is read by name is opened once, without waiting, and judged on what was opened: a FIFO
    // with no writer (as one swapped in between a look and an open would be) answers at once.
    void openToRead_judgesWhatItOpened_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("streams");
        QTest::addColumn<QString>("problem"); // empty: opened
        QTest::newRow("a file") << QStringLiteral("画像/s.bmp") << false << QString();
        QTest::newRow("a FIFO without a writer") << QStringLiteral("race.fifo") << false << QStringLiteral("名前付きパイプ（FIFO）で、ファイルではありません");
        QTest::newRow("a device") << QStringLiteral("/dev/zero") << false << QStringLiteral("デバイスで、ファイルではありません");
        QTest::newRow("a folder") << QStringLiteral("画像") << false << QStringLiteral("フォルダーです");
        QTest::newRow("nothing") << QStringLiteral("none.bmp") << false << QStringLiteral("見つかりません");
        QTest::newRow("standard input, when asked for") << QStringLiteral("/dev/stdin") << true << QString();
    }
    void openToRead_judgesWhatItOpened()
    {
        QFETCH(QString, name);
        QFETCH(bool, streams);
        QFETCH(QString, problem);
        const QString target = name.startsWith(QLatin1Char('/')) ? name : path(name);
        if (name.endsWith(QLatin1String(".fifo")))
            QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        QFile file;
        QString said;
        QCOMPARE(platform::openToRead(file, target, streams, &said), problem.isEmpty());
        QCOMPARE(said, problem);
    }
#endif

    // A file of another kind is never replaced by a settings file, nor is a folder: both stay.
    void write_neverReplacesAnotherKindOfFile()
    {
        const QString script = path(QStringLiteral("comic.velra"));
        QVERIFY(writeAll(script, "<Book=\"B\">\r\n"));
        QString error;
        QVERIFY(!settingsfile::write(script, sample(), &error));
        QCOMPARE(error, QStringLiteral("設定ファイル「%1」に保存できませんでした。\r\nVelloran の設定ファイルではないため、置き換えません。")
                            .arg(QDir::toNativeSeparators(script)));
        QCOMPARE(readAll(script), QByteArray("<Book=\"B\">\r\n"));
        const QString folder = path(QStringLiteral("folder.velra"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(!settingsfile::write(folder, sample(), &error));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("velra-")).size(), 0);
    }

    // A save that fails (the disk full) keeps the settings file that was there, and nothing else.
    void write_failure_keepsWhatWasThere()
    {
        SmallDisk disk(256);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.whyNot));
        const QString file = disk.path(QStringLiteral("pan.velra"));
        QVERIFY(settingsfile::write(file, sample(), nullptr));
        const QByteArray before = readAll(file);
        lastrun::Settings bigger = sample();
        bigger.log = kLog + QByteArray(40'000, ' ');
        QVERIFY(disk.fill(0));
        QString error;
        QVERIFY(!settingsfile::write(file, bigger, &error));
        QVERIFY2(error.startsWith(QStringLiteral("設定ファイル「%1」に保存できませんでした。").arg(QDir::toNativeSeparators(file))), qPrintable(error));
        QCOMPARE(readAll(file), before);
        QCOMPARE(disk.files(), QStringList{QStringLiteral("pan.velra")});
    }

    // Every file that is not a settings file this program can start a run from is refused, named.
    void read_badFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: made by `make`
        QTest::addColumn<QString>("make");
        QTest::addColumn<QString>("expected"); // %1: the file, %2: the picture
        const QByteArray head = "Velloran settings 2\n\n\ncsf\nP\n\n";
        QTest::newRow("missing") << QByteArray() << QStringLiteral("none") << QStringLiteral("設定ファイル「%1」が見つかりません。");
        QTest::newRow("a folder") << QByteArray() << QStringLiteral("folder") << QStringLiteral("設定ファイル「%1」はフォルダーです。");
#ifndef Q_OS_WIN
        QTest::newRow("a FIFO: not opened, no hang") << QByteArray() << QStringLiteral("fifo")
                                                    << QStringLiteral("設定ファイル「%1」は名前付きパイプ（FIFO）で、ファイルではありません。");
        QTest::newRow("a device") << QByteArray() << QStringLiteral("/dev/null") << QStringLiteral("設定ファイル「%1」はデバイスで、ファイルではありません。");
        QTest::newRow("its picture a device") << QByteArray("Velloran settings 2\n/dev/zero\n\n\n\n\n" + kLog) << QString()
                                              << QStringLiteral("設定ファイル「%1」の画像「/dev/zero」はデバイスで、ファイルではありません。");
#endif
        QTest::newRow("its picture a folder") << QByteArray("Velloran settings 2\n\n%2\n\n\n\n" + kLog) << QString()
                                              << QStringLiteral("設定ファイル「%1」の画像「%2」はフォルダーです。");
        QTest::newRow("a settings log") << kLog << QString() << QStringLiteral("「%1」は Velloran の設定ファイルではありません。");
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << QString()
                                << QStringLiteral("「%1」は Velloran の設定ファイルではありません。");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("empty") << QStringLiteral("「%1」は Velloran の設定ファイルではありません。");
        QTest::newRow("a newer version") << QByteArray("Velloran settings 5\n" + head.mid(20) + kLog) << QString()
                                         << QStringLiteral("設定ファイル「%1」は新しい版の Velloran で作られています（版 5）。この Velloran が読めるのは版 4 までです。");
        QTest::newRow("version 3, a log CP932 cannot hold") << QByteArray("Velloran settings 3\r\n\r\n\r\n\r\n\r\n\r\n" + QByteArray(kLog).replace("s.bmp", "\xF0\x9F\x98\x80.bmp"))
                                                            << QString() << QStringLiteral("設定ファイル「%1」は途中で切れているか、壊れています。");
        QTest::newRow("cut in the header") << QByteArray("Velloran settings 2\n/a.bmp\n") << QString()
                                           << QStringLiteral("設定ファイル「%1」は途中で切れているか、壊れています。");
        QTest::newRow("cut in the log") << head + kLog.left(40) << QString()
                                        << QStringLiteral("設定ファイル「%1」は途中で切れているか、壊れています。\r\n値が足りません");
        QTest::newRow("no log") << head << QString() << QStringLiteral("設定ファイル「%1」は途中で切れているか、壊れています。\r\n値が足りません");
        QTest::newRow("a NUL in the log") << head + QByteArray("\"s.bmp\0\",", 10) + kLog.mid(8) << QString()
                                          << QStringLiteral("設定ファイル「%1」は途中で切れているか、壊れています。");
        QTest::newRow("a NUL in a picture's path") << QByteArray("Velloran settings 2\n/tmp/a.bmp\0x.bmp\n\n\n\n\n", 41) + kLog << QString()
                                                   << QStringLiteral("設定ファイル「%1」の画像の場所「/tmp/a.bmp\\x00x.bmp」に制御文字があるため、使えません。");
        QTest::newRow("a path not UTF-8") << QByteArray("Velloran settings 2\n\xff\xfe.bmp\n\n\n\n\n" + kLog) << QString()
                                          << QStringLiteral("設定ファイル「%1」は途中で切れているか、壊れています。");
    }

    void read_badFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, make);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QString file = dir.filePath(QStringLiteral("bad.velra"));
        const QString folder = dir.filePath(QStringLiteral("pictures"));
        QVERIFY(QDir().mkpath(folder));
        bytes.replace("%2", QFile::encodeName(folder));
        if (make == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(file));
#ifndef Q_OS_WIN
        else if (make == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
#endif
        else if (make.startsWith(QLatin1Char('/')))
            file = make;
        else if (make != QLatin1String("none"))
            QVERIFY(writeAll(file, bytes));
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        lastrun::Settings settings;
        settings.pageName = QStringLiteral("untouched");
        QString error;
        QVERIFY(!settingsfile::read(file, settings, &error));
        const QString message = QString(expected).replace(QStringLiteral("%1"), QDir::toNativeSeparators(file))
                                    .replace(QStringLiteral("%2"), QDir::toNativeSeparators(folder));
        QVERIFY2(error.startsWith(message), qPrintable(error));
        QCOMPARE(settings.pageName, QStringLiteral("untouched"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    }

    // A picture that is gone is no reason to refuse the file: the pages say so, as for the last run.
    void read_missingPicture_isForThePages()
    {
        lastrun::Settings s = sample();
        s.scrollPicture = path(QStringLiteral("gone.bmp"));
        const QString file = path(QStringLiteral("gone.velra"));
        QVERIFY(settingsfile::write(file, s, nullptr));
        lastrun::Settings read;
        QString error;
        QVERIFY2(settingsfile::read(file, read, &error), qPrintable(error));
        QCOMPARE(read.scrollPicture, s.scrollPicture);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
