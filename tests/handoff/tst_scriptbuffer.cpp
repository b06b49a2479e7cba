#include "TestSupport.h"
#include "handoff/ScriptBuffer.h"

#include <QTemporaryDir>
#include <QTest>

using namespace velra;
using namespace velra::test;

class TestScriptBuffer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString buffer() const { return m_dir.filePath(QStringLiteral("velra2.dat")); }

private slots:
    void init() { QFile::remove(buffer()); }

    void shortText_hasTheStoredTextLayout()
    {
        QVERIFY(scriptbuffer::store(buffer(), "Graphic \"a\"\r\nx", nullptr));
        QCOMPARE(readAll(buffer()), QByteArray("\x08\x00\x0E\x00Graphic \"a\"\r\nx", 18));
    }

    void lengthBoundaries_roundTrip_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("headerSize");
        QTest::newRow("empty") << 0 << 4;
        QTest::newRow("65535") << 65535 << 4;
        QTest::newRow("65536") << 65536 << 6;
        QTest::newRow("30 MB") << 30'000'000 << 6;
    }

    void lengthBoundaries_roundTrip()
    {
        QFETCH(int, length);
        QFETCH(int, headerSize);
        QByteArray text(length, 'x');
        for (int i = 0; i < length; i += 997)
            text[i] = char('a' + i % 26);
        QVERIFY(scriptbuffer::store(buffer(), text, nullptr));
        QCOMPARE(QFileInfo(buffer()).size(), qint64(headerSize + length));
        QByteArray back;
        QString error;
        QVERIFY2(scriptbuffer::load(buffer(), back, &error), qPrintable(error));
        QVERIFY(back == text);
    }

    void shorterScript_leavesOldTailIgnored()
    {
        QVERIFY(scriptbuffer::store(buffer(), QByteArray(100, 'o'), nullptr));
        QVERIFY(scriptbuffer::store(buffer(), "new", nullptr));
        QCOMPARE(QFileInfo(buffer()).size(), qint64(104));
        QByteArray back;
        QVERIFY(scriptbuffer::load(buffer(), back, nullptr));
        QCOMPARE(back, QByteArray("new"));
    }

    void brokenBuffers_areErrorsNotPartialScripts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("短すぎ");
        QTest::newRow("half header") << QByteArray("\x08\x00\x05", 3) << QStringLiteral("短すぎ");
        QTest::newRow("length beyond end") << QByteArray("\x08\x00\x0A\x00" "abc", 7) << QStringLiteral("10 バイト");
        QTest::newRow("long length beyond end") << QByteArray("\x08\x40\x00\x00\x01\x00" "abc", 9) << QStringLiteral("65536 バイト");
        QTest::newRow("long layout for a short text") << QByteArray("\x08\x40\x03\x00\x00\x00" "abc", 9) << QStringLiteral("3 バイトです");
        QTest::newRow("unknown tag") << QByteArray("\x02\x00\x01\x00a", 5) << QStringLiteral("形式ではありません");
    }

    void brokenBuffers_areErrorsNotPartialScripts()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QVERIFY(writeAll(buffer(), content));
        QByteArray back("untouched");
        QString error;
        QVERIFY(!scriptbuffer::load(buffer(), back, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
        QCOMPARE(back, QByteArray("untouched"));
    }

    void missingBuffer_isAnError()
    {
        QByteArray back;
        QString error;
        QVERIFY(!scriptbuffer::load(buffer(), back, &error));
        QVERIFY(error.contains(QStringLiteral("見つかりません")));
    }
};

QTEST_GUILESS_MAIN(TestScriptBuffer)
#include "tst_scriptbuffer.moc"
