#include "text/Cp932.h"

#include <QTest>

using namespace velra;

class TestCp932 : public QObject
{
    Q_OBJECT

private slots:
    void windowsMapping_bothWays_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("wave dash") << QStringLiteral("～") << QByteArray("\x81\x60");
        QTest::newRow("full-width minus") << QString(QChar(0xFF0D)) << QByteArray("\x81\x7C");
        QTest::newRow("parallel") << QString(QChar(0x2225)) << QByteArray("\x81\x61");
        QTest::newRow("not sign") << QString(QChar(0xFFE2)) << QByteArray("\x81\xCA");
        QTest::newRow("circled one") << QStringLiteral("①") << QByteArray("\x87\x40");
        QTest::newRow("half-width a") << QStringLiteral("ｱ") << QByteArray("\xB1");
        QTest::newRow("backslash") << QStringLiteral("\\") << QByteArray("\x5C");
        QTest::newRow("tilde") << QStringLiteral("~") << QByteArray("\x7E");
        QTest::newRow("because, JIS code first") << QString(QChar(0x2235)) << QByteArray("\x81\xE6");
        QTest::newRow("small roman one, IBM code") << QString(QChar(0x2170)) << QByteArray("\xFA\x40");
        QTest::newRow("name") << QStringLiteral("背景①.bmp") << QByteArray("\x94\x77\x8C\x69\x87\x40.bmp");
    }

    void windowsMapping_bothWays()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QByteArray encoded;
        QVERIFY(cp932::encode(text, encoded));
        QCOMPARE(encoded, bytes);
        QString decoded;
        QVERIFY(cp932::decode(bytes, decoded));
        QCOMPARE(decoded, text);
    }

    void takaKanji_encodesToIbmCode_decodesFromBoth()
    {
        QByteArray encoded;
        QVERIFY(cp932::encode(QString(QChar(0x9AD9)), encoded));
        QCOMPARE(encoded, QByteArray("\xFB\xFC"));
        QString a;
        QString b;
        QVERIFY(cp932::decode("\xFB\xFC", a));
        QVERIFY(cp932::decode("\xEE\xE0", b));
        QCOMPARE(a, QString(QChar(0x9AD9)));
        QCOMPARE(b, QString(QChar(0x9AD9)));
    }

    void everyEncodedCharacter_decodesBackToItself()
    {
        for (char16_t u = 1; u < 0xFFFF; ++u) {
            const QString text(QChar{u});
            QByteArray bytes;
            if (!cp932::encode(text, bytes))
                continue;
            QString back;
            QVERIFY2(cp932::decode(bytes, back) && back == text, qPrintable(QString::number(u, 16)));
        }
    }

    void unencodable_isRefusedNotReplaced_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("index");
        QTest::newRow("yen sign") << QStringLiteral("a¥b") << 1;
        QTest::newRow("not sign U+00AC") << QStringLiteral("¬") << 0;
        QTest::newRow("emoji") << QStringLiteral("xy😀") << 2;
        QTest::newRow("hangul") << QStringLiteral("한") << 0;
        QTest::newRow("e acute") << QStringLiteral("café") << 3;
    }

    void unencodable_isRefusedNotReplaced()
    {
        QFETCH(QString, text);
        QFETCH(int, index);
        QByteArray out("keep");
        qsizetype bad = -1;
        QVERIFY(!cp932::encode(text, out, &bad));
        QCOMPARE(out, QByteArray("keep"));
        QCOMPARE(bad, qsizetype(index));
        QVERIFY(cp932::describeUnencodable(text, bad).contains(text));
    }

    void invalidBytes_areRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("offset");
        QTest::newRow("lone lead at end") << QByteArray("ab\x82") << 2;
        QTest::newRow("bad trail") << QByteArray("\x82\x20") << 0;
        QTest::newRow("0x80") << QByteArray("a\x80") << 1;
        QTest::newRow("0xFD") << QByteArray("\xFD") << 0;
        QTest::newRow("unassigned pair") << QByteArray("x\x85\x40") << 1;
    }

    void invalidBytes_areRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, offset);
        QString out;
        qsizetype bad = -1;
        QVERIFY(!cp932::decode(bytes, out, &bad));
        QCOMPARE(bad, qsizetype(offset));
    }
};

QTEST_APPLESS_MAIN(TestCp932)
#include "tst_cp932.moc"
