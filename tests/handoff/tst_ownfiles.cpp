#include "TestSupport.h"
#include "handoff/HandoffFiles.h"
#include "handoff/LastRun.h"
#include "handoff/OwnFiles.h"

#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace velra;
using namespace velra::test;

namespace {

#ifndef Q_OS_WIN
bool isRoot()
{
    return ::geteuid() == 0;
}

// What a careless program, or another user, leaves under one of the wizard's own names.
enum class Planted { Fifo, LinkToDevice, LinkToUsersFile, OtherUsersFile, Folder };

bool plant(Planted what, const QString &at, const QString &victim)
{
    const QByteArray name = QFile::encodeName(at);
    switch (what) {
    case Planted::Fifo:
        return ::mkfifo(name.constData(), 0666) == 0;
    case Planted::LinkToDevice:
        return QFile::link(QStringLiteral("/dev/zero"), at);
    case Planted::LinkToUsersFile:
        return QFile::link(victim, at);
    case Planted::OtherUsersFile:
        // A dead process of another host, in the form of an older lock.
        return writeAll(at, "2147483600\nvelloran\nelsewhere\n") && ::chown(name.constData(), 4242, 4242) == 0;
    case Planted::Folder:
        return QDir().mkdir(at);
    }
    return false;
}

void addPlantedRows()
{
    QTest::addColumn<Planted>("planted");
    QTest::newRow("FIFO") << Planted::Fifo;
    QTest::newRow("link to /dev/zero") << Planted::LinkToDevice;
    QTest::newRow("link to the user's file") << Planted::LinkToUsersFile;
    if (isRoot()) // making a file another user's needs root
        QTest::newRow("another user's file") << Planted::OtherUsersFile;
    QTest::newRow("folder") << Planted::Folder;
}
#endif

} // namespace

#ifndef Q_OS_WIN
Q_DECLARE_METATYPE(Planted)
#endif

class TestOwnFiles : public QObject
{
    Q_OBJECT

private slots:
    void ownFile_roundTrip_andLimit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("velra-last.dat"));
        QByteArray bytes;
        QString problem;
        QVERIFY(!ownfile::read(path, 100, bytes, &problem)); // missing
        QVERIFY(ownfile::write(path, "first"));
        QVERIFY(ownfile::write(path, "second"));
        QVERIFY(ownfile::read(path, 100, bytes));
        QCOMPARE(bytes, QByteArray("second"));
        QVERIFY(!ownfile::read(path, 5, bytes, &problem));
        QCOMPARE(problem, QStringLiteral("大きすぎます"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("velra-last.dat")});
    }

#ifndef Q_OS_WIN
    // A write that fails part way (a file size limit, as a full disk would) leaves the old file
    // whole and no temporary beside it.
    void ownFile_failedWrite_keepsOldFile_andLeavesNoTemporary()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("velra-last.dat"));
        QVERIFY(ownfile::write(path, "old"));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        rlimit small = before;
        small.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &small);
        QString error;
        const bool written = ownfile::write(path, QByteArray(100000, 'x'), &error);
        ::setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(path), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("velra-last.dat")});
    }

    // Whatever stands at one of the wizard's own names is never read, waited on or written through:
    // reading refuses it at once, writing replaces the name (a folder there is refused).
    void ownFile_plantedEntries_neverFollowedNorWaitedOn_data() { addPlantedRows(); }
    void ownFile_plantedEntries_neverFollowedNorWaitedOn()
    {
        QFETCH(Planted, planted);
        QTemporaryDir dir;
        const QString victim = dir.filePath(QStringLiteral("profile"));
        QVERIFY(writeAll(victim, "the user's own"));
        for (const char *name : {"velra-last.dat", "velra-save-folder.txt"}) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            QVERIFY(plant(planted, path, victim));
            QByteArray bytes;
            QString problem;
            QVERIFY(!ownfile::read(path, 1 << 20, bytes, &problem));
            QVERIFY(!problem.isEmpty());
            lastrun::Settings settings;
            QVERIFY(!lastrun::load(path, settings));

            QString error;
            const bool written = ownfile::write(path, "mine", &error);
            QCOMPARE(written, planted != Planted::Folder);
            if (written) {
                QVERIFY(!QFileInfo(path).isSymLink());
                QVERIFY(ownfile::read(path, 100, bytes));
                QCOMPARE(bytes, QByteArray("mine"));
            } else {
                QVERIFY(QFileInfo(path).isDir());
            }
            QCOMPARE(readAll(victim), QByteArray("the user's own"));
        }
        QVERIFY(QFileInfo(QStringLiteral("/dev/zero")).exists());
    }

    // Another entry under the lock's name in the program folder means the folder is shared: the run
    // goes to the per-user folder, says so, and is never turned away or held up.
    void plantedLock_movesTheRunToThePerUserFolder_data() { addPlantedRows(); }
    void plantedLock_movesTheRunToThePerUserFolder()
    {
        QFETCH(Planted, planted);
        QTemporaryDir program;
        QTemporaryDir perUser;
        const QString victim = program.filePath(QStringLiteral("profile"));
        QVERIFY(writeAll(victim, "the user's own"));
        QVERIFY(plant(planted, program.filePath(QStringLiteral(".velra.lock")), victim));
        HandoffFiles files(program.path(), perUser.path());
        QString error;
        QVERIFY2(files.holdFolder(&error), qPrintable(error));
        QVERIFY2(files.startRun(&error), qPrintable(error));
        QCOMPARE(files.folder(), perUser.path() + QLatin1Char('/'));
        QVERIFY2(files.sharedFolderNote().contains(QDir::toNativeSeparators(perUser.path())), qPrintable(files.sharedFolderNote()));
        QCOMPARE(readAll(victim), QByteArray("the user's own"));

        // A second copy of the same user finds this one's run, as ever.
        HandoffFiles second(program.path(), perUser.path());
        QVERIFY(!second.holdFolder(&error));
        QCOMPARE(error, alreadyRunningMessage());
        QCOMPARE(second.otherCopy(), QCoreApplication::applicationPid());
    }

    // The user's own lock of a copy that is gone (killed, another host's, an older version's) is
    // taken over; one that is held turns a second copy away, naming the first.
    void ownLock_staleTakenOver_heldRefused()
    {
        QTemporaryDir program;
        QTemporaryDir perUser;
        QVERIFY(writeAll(program.filePath(QStringLiteral(".velra.lock")), "2147483600\nvelloran\nelsewhere\n"));
        HandoffFiles first(program.path(), perUser.path());
        QVERIFY(first.startRun(nullptr));
        QCOMPARE(first.folder(), program.path() + QLatin1Char('/'));
        QVERIFY(first.sharedFolderNote().isEmpty());
        QString error;
        HandoffFiles second(program.path(), perUser.path());
        QVERIFY(!second.startRun(&error));
        QCOMPARE(error, alreadyRunningMessage());
        QCOMPARE(second.otherCopy(), QCoreApplication::applicationPid());
    }
#endif
};

QTEST_GUILESS_MAIN(TestOwnFiles)
#include "tst_ownfiles.moc"
