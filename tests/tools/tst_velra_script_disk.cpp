// What the command-line companion does to what is already on disk: full disks, files that are not
// regular files, saves at the same moment, files that belong to someone else.
#include "CompanionRun.h"
#include "SmallDisk.h"
#include "TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/types.h>
#include <unistd.h>

using namespace velra::test;

namespace {

const QByteArray kLog = kWorkedExampleLog;

QStringList saveArgs(const QString &log, const QString &target, const char *book = "B", const char *route = "--csf")
{
    return {QStringLiteral("save"), log, QString::fromLatin1(route), target, QStringLiteral("--book"),
            QString::fromLatin1(book), QStringLiteral("--page"), QStringLiteral("P")};
}

bool isRoot()
{
    return ::geteuid() == 0;
}

// Another user of the machine, for the cases where who owns a file matters.
QStringList asUser(uid_t uid, gid_t gid, const QList<gid_t> &groups = {})
{
    QStringList ids;
    for (const gid_t g : groups)
        ids << QString::number(g);
    return {QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(uid), QStringLiteral("--regid=%1").arg(gid),
            groups.isEmpty() ? QStringLiteral("--clear-groups") : QStringLiteral("--groups=%1").arg(ids.join(QLatin1Char(',')))};
}

// Whether another user can run the companion at all here (its folders may be closed to others,
// as in a clone made in a private folder).
bool otherUsersCanRun(uid_t uid, gid_t gid)
{
    return run({QStringLiteral("--version")}, asUser(uid, gid)).code == 0;
}

struct stat statOf(const QString &path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

class TestVelraScriptDisk : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString log() const { return path(QStringLiteral("velra.dat")); }

private slots:
    void initTestCase()
    {
        QVERIFY(writeAll(log(), kLog));
        // Other users run the companion on files in this folder.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                | QFileDevice::ReadOther | QFileDevice::ExeOther
                                                | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
        QFile::setPermissions(log(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther
                                         | QFileDevice::ReadGroup);
    }

    // The disk runs full while the new file is written: the old file stays byte for byte, no
    // temporary file is left, and the failure is reported.
    void fullDisk_keepsTheOriginal_andFails_data() { SmallDisk::addFullDiskRows(true); }

    void fullDisk_keepsTheOriginal_andFails()
    {
        QFETCH(QByteArray, existing);
        QFETCH(qint64, freeBytes);
        QFETCH(bool, hardLinked);
        SmallDisk disk(256);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.whyNot));
        const QString target = disk.path(QStringLiteral("comic.csf"));
        if (!existing.isEmpty())
            QVERIFY(writeAll(target, existing));
        if (hardLinked)
            QCOMPARE(::link(QFile::encodeName(target).constData(), QFile::encodeName(disk.path(QStringLiteral("link.csf"))).constData()), 0);
        QVERIFY(disk.fill(freeBytes));

        const Run r = run(saveArgs(log(), target));
        QCOMPARE(r.code, 1);
        QVERIFY2(QString::fromUtf8(r.err).contains(QStringLiteral("ディスクの空きが足りません")), r.err.constData());
        QStringList left = existing.isEmpty() ? QStringList() : QStringList{QStringLiteral("comic.csf")};
        if (hardLinked)
            left.append(QStringLiteral("link.csf"));
        QCOMPARE(disk.files(), left);
        if (!existing.isEmpty())
            QCOMPARE(readAll(target), existing);
    }

    void fullDisk_generateOverAnEarlierOutput_keepsIt()
    {
        SmallDisk disk(256);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.whyNot));
        const QString out = disk.path(QStringLiteral("script.txt"));
        QVERIFY(writeAll(out, "earlier output"));
        QVERIFY(disk.fill(0));
        const Run r = run({QStringLiteral("generate"), log(), QStringLiteral("-o"), out});
        QCOMPARE(r.code, 1);
        QVERIFY(QString::fromUtf8(r.err).contains(QStringLiteral("ディスクの空きが足りません")));
        QCOMPARE(readAll(out), QByteArray("earlier output"));
        QCOMPARE(disk.files(), QStringList{QStringLiteral("script.txt")});
    }

    // Devices, FIFOs and sockets are written as streams: never read, never replaced.
    void characterDevice_isWrittenNotReplaced()
    {
        const QString null = path(QStringLiteral("null"));
        if (::mknod(QFile::encodeName(null).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("cannot make a device node here (needs root)");
        const Run r = run({QStringLiteral("generate"), log(), QStringLiteral("-o"), null});
        QCOMPARE(r.code, 0);
        QVERIFY(S_ISCHR(statOf(null).st_mode));
        QCOMPARE(run(saveArgs(log(), null)).code, 0);
        QVERIFY(S_ISCHR(statOf(null).st_mode));
    }

    void fifo_receivesTheBytes_andStaysAFifo()
    {
        const QString fifo = path(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
        const QByteArray script = run({QStringLiteral("generate"), log()}).out;
        QVERIFY(!script.isEmpty());

        // A reader of its own, so that a writer that never opens the FIFO fails the test, not hangs it.
        QProcess reader;
        reader.start(QStringLiteral("cat"), {fifo});
        QCOMPARE(finish(startRun(saveArgs(log(), fifo))).code, 0);
        if (!reader.waitForFinished(30000))
            reader.kill();
        const QByteArray received = reader.readAllStandardOutput();
        // Nothing was read from the FIFO as existing content: a new file's header comes first.
        QVERIFY(received.startsWith("/// Fablescope for Win95\r\n"));
        QVERIFY(received.contains(script));
        QVERIFY(S_ISFIFO(statOf(fifo).st_mode));
    }

    void socket_receivesTheBytes()
    {
        const QByteArray name = QFile::encodeName(path(QStringLiteral("sock")));
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(name.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        QCOMPARE(::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        QCOMPARE(::listen(server, 1), 0);
        auto writer = startRun({QStringLiteral("generate"), log(), QStringLiteral("-o"), path(QStringLiteral("sock"))});
        const int client = ::accept(server, nullptr, nullptr);
        QVERIFY(client >= 0);
        QByteArray received;
        char buffer[4096];
        for (ssize_t got; (got = ::read(client, buffer, sizeof buffer)) > 0;)
            received.append(buffer, got);
        ::close(client);
        ::close(server);
        QCOMPARE(finish(std::move(writer)).code, 0);
        QCOMPARE(received, run({QStringLiteral("generate"), log()}).out);
    }

    // Inputs and targets that never end or are far too large are refused, not read whole.
    void endlessOrHugeInputs_areRefused()
    {
        const Run zeroLog = run({QStringLiteral("generate"), QStringLiteral("/dev/zero")});
        QCOMPARE(zeroLog.code, 1);
        QVERIFY2(QString::fromUtf8(zeroLog.err).contains(QStringLiteral("大きすぎます")), zeroLog.err.constData());

        // Sparse: 1 GiB and one byte on paper, nothing on the disk.
        const QString huge = path(QStringLiteral("huge.csf"));
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize((qint64(1) << 30) + 1));
        file.close();
        const Run r = run(saveArgs(log(), huge));
        QCOMPARE(r.code, 1);
        QVERIFY2(QString::fromUtf8(r.err).contains(QStringLiteral("既存のファイルが大きすぎます")), r.err.constData());
        QCOMPARE(QFileInfo(huge).size(), (qint64(1) << 30) + 1);
        QFile::remove(huge);
    }

    void hardLinks_stayOneFile()
    {
        const QString target = path(QStringLiteral("linked.csf"));
        const QString link = path(QStringLiteral("link.csf"));
        QVERIFY(writeAll(target, "old"));
        QCOMPARE(::link(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
        const ino_t inode = statOf(target).st_ino;
        QCOMPARE(run(saveArgs(log(), target)).code, 0);
        QCOMPARE(statOf(target).st_ino, inode);
        QCOMPARE(statOf(link).st_ino, inode);
        QVERIFY(readAll(link).startsWith("old\r\n<Book=\"B\">"));
    }

    void readOnlyOutput_isRefusedByGenerateToo()
    {
        const QString out = path(QStringLiteral("locked.txt"));
        QVERIFY(writeAll(out, "keep"));
        QVERIFY(QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        const Run r = run({QStringLiteral("generate"), log(), QStringLiteral("-o"), out});
        QCOMPARE(r.code, 1);
        QVERIFY2(QString::fromUtf8(r.err).contains(QStringLiteral("読み取り専用")), r.err.constData());
        QVERIFY(!QString::fromUtf8(r.err).contains(QStringLiteral("ディスク")));
        QCOMPARE(readAll(out), QByteArray("keep"));
        QCOMPARE(statOf(out).st_mode & 0777, mode_t(0444));
    }

    // Another member of a shared group folder saves into the first author's file: it stays theirs.
    void sharedGroupFolder_keepsOwnerAndGroup()
    {
        if (!isRoot())
            QSKIP("needs root to act as two users");
        const uid_t first = 4241;
        const uid_t second = 4242;
        const gid_t team = 4300;
        const QString folder = path(QStringLiteral("team"));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), 0, team), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 02775), 0);
        const QString target = folder + QStringLiteral("/comic.csf");
        QVERIFY(writeAll(target, "first author's text"));
        QCOMPARE(::chown(QFile::encodeName(target).constData(), first, team), 0);
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0664), 0);

        if (!otherUsersCanRun(second, second))
            QSKIP("other users cannot run the companion from this folder");
        const Run r = run(saveArgs(log(), target), asUser(second, second, {team}));
        QVERIFY2(r.code == 0, r.err.constData());
        const struct stat st = statOf(target);
        QCOMPARE(st.st_uid, first);
        QCOMPARE(st.st_gid, team);
        QCOMPARE(st.st_mode & 07777, mode_t(0664));
        QVERIFY(readAll(target).startsWith("first author's text\r\n<Book=\"B\">"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("comic.csf")});
    }

    // The folder allows no new file, the file itself may be written: written in place.
    void readOnlyFolder_writableFile_isWrittenInPlace()
    {
        if (!isRoot())
            QSKIP("needs root to act as another user");
        const QString folder = path(QStringLiteral("closed"));
        QVERIFY(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/comic.csf");
        QVERIFY(writeAll(target, "text"));
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0666), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
        if (!otherUsersCanRun(4242, 4242))
            QSKIP("other users cannot run the companion from this folder");
        const Run r = run(saveArgs(log(), target), asUser(4242, 4242));
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(readAll(target).startsWith("text\r\n<Book=\"B\">"));
        QVERIFY(readAll(target).endsWith("<Book End>\r\n"));
    }

    // Hand-edited text stays in its place: a line break inside a name never writes lines of its
    // own, and messages show control characters escaped and long values cut.
    void handEditedLog_cannotInjectLines_andMessagesStayOneLine()
    {
        const QString bad = path(QStringLiteral("inject.dat"));
        QVERIFY(writeAll(bad, QByteArray(kLog).replace("scroll.bmp", "s.bmp\r\n<Book End>\r\n\x1b[31m")));
        const QString target = path(QStringLiteral("inject.csf"));
        const Run r = run(saveArgs(bad, target));
        QCOMPARE(r.code, 1);
        QVERIFY(!QFile::exists(target));
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!r.err.contains('\x1b'));
        QVERIFY2(r.err.contains("\\r\\n<Book End>\\r\\n\\x1B[31m"), r.err.constData());

        QVERIFY(writeAll(bad, QByteArray(kLog).replace("\"10\"", '"' + QByteArray(5000, '7') + '"')));
        const Run longValue = run({QStringLiteral("generate"), bad});
        QCOMPARE(longValue.code, 1);
        QVERIFY2(QString::fromUtf8(longValue.err).contains(QStringLiteral("範囲を超えています")), longValue.err.constData());
        QVERIFY(!longValue.err.contains(QByteArray(201, '7')));
        QVERIFY(QString::fromUtf8(longValue.err).contains(QStringLiteral("…（5000 文字）")));
    }
};

QTEST_GUILESS_MAIN(TestVelraScriptDisk)
#include "tst_velra_script_disk.moc"
