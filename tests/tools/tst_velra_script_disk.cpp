// What the command-line companion does to what is already on disk: full disks, files that are not
// regular files, saves at the same moment, files that belong to someone else.
#include "CompanionRun.h"
#include "SmallDisk.h"
#include "TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "handoff/LastRun.h"
#include "io/OutputFile.h"

#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/xattr.h>

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

        const Ran r = run(saveArgs(log(), target));
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
        const Ran r = run({QStringLiteral("generate"), log(), QStringLiteral("-o"), out});
        QCOMPARE(r.code, 1);
        QVERIFY(QString::fromUtf8(r.err).contains(QStringLiteral("ディスクの空きが足りません")));
        QCOMPARE(readAll(out), QByteArray("earlier output"));
        QCOMPARE(disk.files(), QStringList{QStringLiteral("script.txt")});
    }

    void fullDisk_animationOverAnEarlierFile_keepsIt()
    {
        SmallDisk disk(256);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.whyNot));
        for (const char *name : {"motion.webp", "motion.gif"}) {
            const QString out = disk.path(QString::fromLatin1(name));
            QVERIFY(writeAll(out, "earlier animation"));
        }
        QVERIFY(disk.fill(0));
        for (const char *name : {"motion.webp", "motion.gif"}) {
            const QString out = disk.path(QString::fromLatin1(name));
            const Ran r = run({QStringLiteral("preview"), log(), QStringLiteral("--animation"), QStringLiteral("-o"), out});
            QCOMPARE(r.code, 1);
            QVERIFY2(QString::fromUtf8(r.err).contains(QStringLiteral("ディスクの空きが足りません")), r.err.constData());
            QCOMPARE(readAll(out), QByteArray("earlier animation"));
        }
        QCOMPARE(disk.files(), (QStringList{QStringLiteral("motion.gif"), QStringLiteral("motion.webp")}));
    }

    // --all encodes on every core and writes in order: the files are the bytes one core writes, and
    // a disk that runs full keeps the frames before the first that did not fit, each whole, and
    // nothing else.
    void all_writesInOrder_andStopsAtTheFirstFrameThatDoesNotFit()
    {
        QImage noise(64, 48, QImage::Format_RGB32);
        quint32 seed = 7;
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) >> 8);
        QVERIFY(noise.save(path(QStringLiteral("s.bmp")), "BMP"));
        QVERIFY(!writePicture(path(QStringLiteral("b.bmp")), 640, 480, "BMP").isEmpty());
        QVERIFY(writeAll(path(QStringLiteral("move.dat")), "\"s.bmp\",\"64\",\"48\"\r\n\"b.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n2\r\n"
                                                          "\"0\",\"0\",\"576\",\"432\",2,\"40\",1,\"0\",\"0\",1\r\n"));
        const auto all = [this](const QString &out, const QStringList &prefix = {}) {
            return run({QStringLiteral("preview"), path(QStringLiteral("move.dat")), QStringLiteral("--all"), QStringLiteral("-o"), out,
                        QStringLiteral("--scroll-picture"), path(QStringLiteral("s.bmp")), QStringLiteral("--background-picture"),
                        path(QStringLiteral("b.bmp"))},
                       prefix);
        };
        QCOMPARE(all(path(QStringLiteral("every-core"))).code, 0);
        QCOMPARE(all(path(QStringLiteral("one-core")), {QStringLiteral("taskset"), QStringLiteral("-c"), QStringLiteral("0")}).code, 0);
        const QStringList names = QDir(path(QStringLiteral("one-core"))).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(names.size(), 40);
        QCOMPARE(QDir(path(QStringLiteral("every-core"))).entryList(QDir::Files | QDir::Hidden), names);
        for (const QString &name : names)
            QVERIFY2(readAll(path(QStringLiteral("every-core/") + name)) == readAll(path(QStringLiteral("one-core/") + name)), qPrintable(name));

        SmallDisk disk(1024);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.whyNot));
        QVERIFY(disk.fill(160 * 1024));
        const Ran full = all(disk.path(QStringLiteral("frames")));
        QCOMPARE(full.code, 1);
        QVERIFY2(QString::fromUtf8(full.err).contains(QStringLiteral("ディスクの空きが足りません")), full.err.constData());
        const QStringList kept = QDir(disk.path(QStringLiteral("frames"))).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(!kept.isEmpty() && kept.size() < 40, qPrintable(kept.join(u' ')));
        QCOMPARE(kept, names.mid(0, kept.size()));
        for (const QString &name : kept)
            QVERIFY2(readAll(disk.path(QStringLiteral("frames/") + name)) == readAll(path(QStringLiteral("one-core/") + name)), qPrintable(name));
    }

    // Devices, FIFOs and sockets are written as streams: never read, never replaced.
    void characterDevice_isWrittenNotReplaced()
    {
        const QString null = path(QStringLiteral("null"));
        if (::mknod(QFile::encodeName(null).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("cannot make a device node here (needs root)");
        const Ran r = run({QStringLiteral("generate"), log(), QStringLiteral("-o"), null});
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

    // A FIFO that nobody reads is refused at once, named, never waited on; an export takes files only.
    void fifoWithoutReader_isRefusedAtOnce()
    {
        const QString fifo = path(QStringLiteral("lonely.webp"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
        for (const auto &[args, said] : {std::pair{QStringList{QStringLiteral("generate"), log(), QStringLiteral("-o"), fifo}, "を読むプログラムがありません"},
                                         std::pair{saveArgs(log(), fifo), "を読むプログラムがありません"},
                                         std::pair{QStringList{QStringLiteral("preview"), log(), QStringLiteral("--animation"), QStringLiteral("-o"), fifo},
                                                   "で、ファイルではありません"}}) {
            const Ran r = run(args);
            QVERIFY2(r.code == 1 && QString::fromUtf8(r.err).contains(QStringLiteral("名前付きパイプ（FIFO）") + QString::fromUtf8(said)), r.err.constData());
        }
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
        const Ran zeroLog = run({QStringLiteral("generate"), QStringLiteral("/dev/zero")});
        QCOMPARE(zeroLog.code, 1);
        // A device is never read: said what it is.
        QVERIFY2(QString::fromUtf8(zeroLog.err).contains(QStringLiteral("設定ログ「/dev/zero」はデバイスで、ファイルではありません。")), zeroLog.err.constData());

        // Sparse: 1 GiB and one byte on paper, nothing on the disk.
        const QString huge = path(QStringLiteral("huge.csf"));
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize((qint64(1) << 30) + 1));
        file.close();
        const Ran r = run(saveArgs(log(), huge));
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
        const Ran r = run({QStringLiteral("generate"), log(), QStringLiteral("-o"), out});
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
        const Ran r = run(saveArgs(log(), target), asUser(second, second, {team}));
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
        const Ran r = run(saveArgs(log(), target), asUser(4242, 4242));
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(readAll(target).startsWith("text\r\n<Book=\"B\">"));
        QVERIFY(readAll(target).endsWith("<Book End>\r\n"));
    }

    // Names of open descriptors are the descriptor itself, written as a stream like -o -: the
    // shell's file keeps what came before and after, and /dev/stdout stays the system's link.
    void descriptorNames_areWrittenAsStreams_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("deletedStdout");
        QTest::newRow("/dev/stdout") << QStringLiteral("/dev/stdout") << false;
        QTest::newRow("/dev/fd/1") << QStringLiteral("/dev/fd/1") << false;
        QTest::newRow("/proc/self/fd/1") << QStringLiteral("/proc/self/fd/1") << false;
        QTest::newRow("a link of the author's to /proc/self/fd/1") << path(QStringLiteral("mine")) << false;
        QTest::newRow("/dev/stdout, a deleted file") << QStringLiteral("/dev/stdout") << true;
    }

    void descriptorNames_areWrittenAsStreams()
    {
        QFETCH(QString, name);
        QFETCH(bool, deletedStdout);
        QFile::remove(path(QStringLiteral("mine")));
        QVERIFY(QFile::link(QStringLiteral("/proc/self/fd/1"), path(QStringLiteral("mine"))));
        const QByteArray script = run({QStringLiteral("generate"), log()}).out;
        const QString out = path(QStringLiteral("shell.txt"));
        const QString command = deletedStdout
            ? QStringLiteral("exec >\"$3\"; rm \"$3\"; \"$1\" generate \"$2\" -o \"$4\"")
            : QStringLiteral("{ echo HEADER; \"$1\" generate \"$2\" -o \"$4\"; echo FOOTER; } >\"$3\"");
        QCOMPARE(QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), command, QStringLiteral("sh"),
                                                          QStringLiteral(VELRA_SCRIPT), log(), out, name}),
                 0);
        if (!deletedStdout)
            QCOMPARE(readAll(out), "HEADER\n" + script + "FOOTER\n");
        QVERIFY(QFileInfo(QStringLiteral("/dev/stdout")).isSymLink());
        QVERIFY(QFileInfo(path(QStringLiteral("mine"))).isSymLink());
    }

    // A link that leads nowhere is refused (it is not replaced by a file, nor is a file made at
    // its end); in a folder shared by everyone (/tmp), another user's link is not followed.
    void links_danglingOrOthers_areNotFollowed()
    {
        const QString dangling = path(QStringLiteral("dangling.csf"));
        const QString nowhere = path(QStringLiteral("nowhere.csf"));
        QVERIFY(QFile::link(nowhere, dangling));
        const Ran r = run(saveArgs(log(), dangling));
        QCOMPARE(r.code, 1);
        QVERIFY2(QString::fromUtf8(r.err).contains(QStringLiteral("壊れたリンク")), r.err.constData());
        QVERIFY(QFileInfo(dangling).isSymLink());
        QVERIFY(!QFileInfo::exists(nowhere));

        // The author's own link is followed, and stays a link.
        const QString notes = path(QStringLiteral("notes.txt"));
        QVERIFY(writeAll(notes, "notes"));
        const QString own = path(QStringLiteral("own.csf"));
        QVERIFY(QFile::link(notes, own));
        QCOMPARE(run(saveArgs(log(), own, "B", "--txt")).code, 0);
        QVERIFY(QFileInfo(own).isSymLink());
        QVERIFY(readAll(notes).startsWith("notes\r\n<Book=\"B\">"));

        if (!isRoot())
            QSKIP("needs root to plant another user's link");
        // A folder everyone may write into, sticky (/tmp) or not (mode 0777).
        for (const mode_t mode : {mode_t(01777), mode_t(0777)}) {
            const QString shared = path(QStringLiteral("shared-%1").arg(mode, 0, 8));
            QVERIFY(QDir().mkpath(shared));
            QCOMPARE(::chmod(QFile::encodeName(shared).constData(), mode), 0);
            const QString planted = shared + QStringLiteral("/book.csf");
            QVERIFY(writeAll(notes, "victim"));
            QVERIFY(QFile::link(notes, planted));
            QCOMPARE(::lchown(QFile::encodeName(planted).constData(), 4242, 4242), 0);
            const Ran refused = run(saveArgs(log(), planted));
            QCOMPARE(refused.code, 1);
            QVERIFY2(QString::fromUtf8(refused.err).contains(QStringLiteral("ほかのユーザーが作ったリンク")), refused.err.constData());
            QCOMPARE(readAll(notes), QByteArray("victim"));
            QVERIFY(QFileInfo(planted).isSymLink());
        }
    }

    // A folder link planted in the middle of a path by another user, in a folder everyone may write
    // into (sticky or not, the neighbour's own too), is not followed: not by generate -o, save,
    // preview --all, nor to a settings file. What lies behind it keeps its bytes. The author's own
    // folder link is followed.
    void plantedFolderLinks_inTheMiddle_areRefused()
    {
        if (!isRoot())
            QSKIP("needs root to plant another user's link");
        const QString work = path(QStringLiteral("work"));
        QVERIFY(QDir().mkpath(work));
        const QString important = work + QStringLiteral("/important.txt");
        velra::lastrun::Settings settings;
        settings.log = readAll(log());
        QVERIFY(writeAll(work + QStringLiteral("/x.velra"), velra::lastrun::encode(settings, true)));
        for (const auto &[mode, neighbours] : {std::pair{mode_t(01777), false}, std::pair{mode_t(0777), false},
                                               std::pair{mode_t(01777), true}}) {
            const QString shared = path(QStringLiteral("common-%1-%2").arg(mode, 0, 8).arg(neighbours));
            QVERIFY(QDir().mkpath(shared));
            QCOMPARE(::chmod(QFile::encodeName(shared).constData(), mode), 0);
            // The neighbour's own shared folder: its owner is trusted no more than anyone.
            if (neighbours)
                QCOMPARE(::chown(QFile::encodeName(shared).constData(), 4242, 4242), 0);
            const QString planted = shared + QStringLiteral("/d");
            QVERIFY(QFile::link(work, planted));
            QCOMPARE(::lchown(QFile::encodeName(planted).constData(), 4242, 4242), 0);
            QVERIFY(writeAll(important, "mine"));
            const QList<QStringList> attacks = {
                {QStringLiteral("generate"), log(), QStringLiteral("-o"), planted + QStringLiteral("/important.txt")},
                saveArgs(log(), planted + QStringLiteral("/important.txt"), "B", "--txt"),
                {QStringLiteral("preview"), log(), QStringLiteral("--all"), QStringLiteral("-o"), planted},
                {QStringLiteral("generate"), planted + QStringLiteral("/x.velra")},
            };
            for (const QStringList &args : attacks) {
                const Ran r = run(args);
                QCOMPARE(r.code, 1);
                QVERIFY2(QString::fromUtf8(r.err).contains(QStringLiteral("ほかのユーザーが作ったリンク")), r.err.constData());
            }
            QCOMPARE(readAll(important), QByteArray("mine"));
            QCOMPARE(QDir(work).entryList(QDir::Files | QDir::Hidden), (QStringList{QStringLiteral("important.txt"), QStringLiteral("x.velra")}));
            // The author's own link there is followed, and stays a link.
            QVERIFY(QFile::remove(planted));
            QVERIFY(QFile::link(work, planted));
            QCOMPARE(run({QStringLiteral("generate"), log(), QStringLiteral("-o"), planted + QStringLiteral("/important.txt")}).code, 0);
            QVERIFY(readAll(important).startsWith("Graphic"));
            QVERIFY(QFileInfo(planted).isSymLink());
            QVERIFY(QFile::remove(planted));
        }
    }

    // A file (or --all's folder) on a drive mounted read-only: the drive is named as the reason, not
    // the file's flag, which the author could not clear there.
    void readOnlyMount_saysTheDrive()
    {
        SmallDisk disk(64);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.whyNot));
        const QString out = disk.path(QStringLiteral("comic.csf"));
        QVERIFY(writeAll(out, "keep"));
        QCOMPARE(QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), disk.path(QString())}), 0);
        for (const QStringList &args : {QStringList{QStringLiteral("generate"), log(), QStringLiteral("-o"), out}, saveArgs(log(), out),
                                        saveArgs(log(), disk.path(QStringLiteral("new.csf"))),
                                        QStringList{QStringLiteral("preview"), log(), QStringLiteral("--all"), QStringLiteral("-o"), disk.path(QStringLiteral("frames"))}}) {
            const Ran r = run(args);
            QCOMPARE(r.code, 1);
            QVERIFY2(QString::fromUtf8(r.err).contains(QStringLiteral("書き込みが禁止されたドライブです。")), r.err.constData());
            QVERIFY2(!QString::fromUtf8(r.err).contains(QStringLiteral("読み取り専用")), r.err.constData());
            QVERIFY2(r.err.count("ドライブ") == 1, r.err.constData()); // said once
        }
        QCOMPARE(readAll(out), QByteArray("keep"));
    }

    // What a replacement cannot carry over (an access list, user attributes) keeps the file: it is
    // written in place. So is a file that is a mount point.
    void extendedAttributesAndMountPoints_keepTheFile()
    {
        const QString target = path(QStringLiteral("tagged.csf"));
        QVERIFY(writeAll(target, "tagged"));
        const QByteArray name = QFile::encodeName(target);
        if (::setxattr(name.constData(), "user.velra", "kept", 4, 0) != 0)
            QSKIP("this file system takes no user attributes");
        const ino_t inode = statOf(target).st_ino;
        QCOMPARE(run(saveArgs(log(), target)).code, 0);
        char value[16] = {};
        QCOMPARE(::getxattr(name.constData(), "user.velra", value, sizeof value), ssize_t(4));
        QCOMPARE(QByteArray(value), QByteArray("kept"));
        QCOMPARE(statOf(target).st_ino, inode);
        QVERIFY(readAll(target).startsWith("tagged\r\n<Book=\"B\">"));

        if (!isRoot())
            QSKIP("needs root to mount");
        const QString mounted = path(QStringLiteral("mounted.csf"));
        const QString source = path(QStringLiteral("source.csf"));
        QVERIFY(writeAll(mounted, "under"));
        QVERIFY(writeAll(source, "mounted"));
        if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), source, mounted}) != 0)
            QSKIP("cannot bind-mount here");
        const Ran r = run(saveArgs(log(), mounted));
        const QByteArray after = readAll(mounted);
        QProcess::execute(QStringLiteral("umount"), {mounted});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(after.startsWith("mounted\r\n<Book=\"B\">"));
        QVERIFY(readAll(source).startsWith("mounted\r\n<Book=\"B\">"));
    }

    // Ctrl+C or termination during a save removes its temporary file; a kill -9 of a new file's
    // save leaves at most an empty file under the final name, never a part of the script.
    void interruptedSaves_leaveNoTemporaryAndNoPartialFile_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("existing");
        QTest::newRow("SIGTERM, existing file") << int(SIGTERM) << true;
        QTest::newRow("SIGINT, new file") << int(SIGINT) << false;
        QTest::newRow("SIGKILL, new file") << int(SIGKILL) << false;
    }

    void interruptedSaves_leaveNoTemporaryAndNoPartialFile()
    {
        QFETCH(int, signal);
        QFETCH(bool, existing);
        // About 13 MB of script: 98,302 frames, each with its background.
        const QString big = path(QStringLiteral("big.dat"));
        QVERIFY(writeAll(big, QByteArray(kLog).replace("\r\n1\r\n3,\"10\",1,3,\"2\"\r\n",
                                                       "\r\n2\r\n\"0\",\"0\",\"-32768\",\"0\",2,\"32768\",1,\"32767\",\"32767\",1\r\n")));
        const QString folder = path(QStringLiteral("interrupted"));
        QVERIFY(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/out.txt");
        const QString temporary = folder + QLatin1Char('/') + velra::output::temporaryName(QStringLiteral("out.txt"));
        for (int attempt = 0; attempt < 10; ++attempt) {
            QFile::remove(target);
            QFile::remove(temporary);
            if (existing)
                QVERIFY(writeAll(target, "old"));
            const int watch = ::inotify_init1(IN_CLOEXEC);
            QVERIFY(watch >= 0);
            ::inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_CREATE);
            auto p = startRun({QStringLiteral("generate"), big, QStringLiteral("-o"), target});
            QVERIFY(p->waitForStarted());
            // The moment the temporary file appears, the save is stopped.
            bool seen = false;
            while (!seen && p->state() == QProcess::Running) {
                pollfd fds{watch, POLLIN, 0};
                if (::poll(&fds, 1, 20) <= 0)
                    continue;
                alignas(inotify_event) char events[4096];
                const ssize_t got = ::read(watch, events, sizeof events);
                for (ssize_t at = 0; at < got;) {
                    const auto *event = reinterpret_cast<const inotify_event *>(events + at);
                    if (event->len && QFile::decodeName(event->name) == QFileInfo(temporary).fileName()) {
                        ::kill(pid_t(p->processId()), signal);
                        seen = true;
                    }
                    at += ssize_t(sizeof(inotify_event) + event->len);
                }
            }
            ::close(watch);
            p->waitForFinished(60000);
            if (!seen || p->exitStatus() == QProcess::NormalExit)
                continue; // the save was done before the signal came: try again
            if (signal != SIGKILL)
                QVERIFY(!QFileInfo::exists(temporary));
            if (existing)
                QCOMPARE(readAll(target), QByteArray("old"));
            else
                QVERIFY(!QFileInfo::exists(target) || QFileInfo(target).size() == 0);
            // The next save into the file removes what a kill left behind.
            QCOMPARE(run({QStringLiteral("generate"), log(), QStringLiteral("-o"), target}).code, 0);
            QVERIFY(!QFileInfo::exists(temporary));
            return;
        }
        QSKIP("the save always finished before it could be interrupted");
    }

    // The drawing helper lives only as long as its caller: TERM or KILL the command during a long
    // preview --all, and the helper is gone soon after; the folder then stops changing.
    void previewHelper_endsWithItsCaller_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("TERM") << int(SIGTERM);
        QTest::newRow("KILL") << int(SIGKILL);
    }
    void previewHelper_endsWithItsCaller()
    {
        QFETCH(int, signal);
        const QString chain = path(QStringLiteral("long.dat"));
        QVERIFY(writeAll(chain, "\"s.bmp\",\"10\",\"10\"\r\n\"b.bmp\",\"64\",\"48\",\"64\",\"48\"\r\n2\r\n"
                                "\"0\",\"0\",\"40\",\"30\",2,\"32768\",1,\"0\",\"0\",1\r\n"
                                "\"0\",\"0\",2,\"32768\",1,\"0\"\r\n\"40\",\"30\",2,\"32768\",1,\"0\"\r\n\"0\",\"0\",2,\"32768\",1,\"0\"\r\n"));
        const QString frames = path(QStringLiteral("frames-%1").arg(signal));
        auto command = startRun({QStringLiteral("preview"), chain, QStringLiteral("--all"), QStringLiteral("-o"), frames});
        QVERIFY(command->waitForStarted());
        const qint64 caller = command->processId();
        const auto count = [&] { return QDir(frames).entryList(QDir::Files | QDir::Hidden).size(); };
        QTRY_VERIFY_WITH_TIMEOUT(count() > 3, 30000);
        // The helper: the child of the command that runs velra-script-preview.
        qint64 helper = 0;
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(entry));
            const qsizetype close = stat.lastIndexOf(')');
            if (close > 0 && stat.contains("velra-script-pr") && stat.mid(close + 4).split(' ').value(0).toLongLong() == caller)
                helper = entry.toLongLong();
        }
        QVERIFY(helper > 0);
        QCOMPARE(::kill(pid_t(caller), signal), 0);
        command->waitForFinished(10000);
        const auto alive = [&] {
            const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(helper));
            const qsizetype close = stat.lastIndexOf(')');
            return close > 0 && stat.mid(close + 2, 1) != "Z";
        };
        QTRY_VERIFY_WITH_TIMEOUT(!alive(), 30000);
        const auto before = count();
        QTest::qWait(1000);
        QCOMPARE(count(), before);
        // No temporary left behind by a frame cut short.
        QCOMPARE(QDir(frames).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden), QStringList());
    }

    // A preview without a display draws as well: the helper needs none.
    void preview_withoutADisplay()
    {
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        p.setProcessEnvironment(environment);
        const QString sheet = path(QStringLiteral("nodisplay.png"));
        p.start(QStringLiteral(VELRA_SCRIPT), {QStringLiteral("preview"), log(), QStringLiteral("-o"), sheet});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QVERIFY(readAll(sheet).startsWith("\x89PNG"));
        // Standard output takes no picture: a usage error.
        p.start(QStringLiteral(VELRA_SCRIPT), {QStringLiteral("preview"), log(), QStringLiteral("-o"), QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("-")));
    }

    // Arguments whose bytes are not text are refused, never written under another name.
    void namesThatAreNotText_areRefused()
    {
        QProcess p;
        p.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exec \"$1\" generate \"$2\" -o \"$3$(printf '\\377').csf\""),
                                       QStringLiteral("sh"), QStringLiteral(VELRA_SCRIPT), log(), path(QStringLiteral("a"))});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        // The bytes that are not text shown as bytes, not as a replacement character.
        const QString said = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("a\\xFF.csf」に文字として読めないバイトがあります")), qPrintable(said));
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("a*.csf")}, QDir::Files), QStringList());
        // One that starts with U+FEFF (an editor's mark, copied with the name) is text, taken as given.
        const QString marked = path(QChar(0xFEFF) + QStringLiteral("b.txt"));
        QCOMPARE(run({QStringLiteral("generate"), log(), QStringLiteral("-o"), marked}).code, 0);
        QVERIFY(QFile::exists(marked));
    }

    // Pictures and logs that are not files: said what they are, never opened (a FIFO would hang).
    void picturesAndLogsThatAreNotFiles_areSaidSo()
    {
        const QString fifo = path(QStringLiteral("picture.bmp"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString folder = path(QStringLiteral("folder.bmp"));
        QVERIFY(QDir().mkpath(folder));
        const Ran r = run({QStringLiteral("preview"), log(), QStringLiteral("--scroll-picture"), fifo, QStringLiteral("--background-picture"),
                           folder, QStringLiteral("-o"), path(QStringLiteral("sheet.png"))});
        QCOMPARE(r.code, 0);
        const QString err = QString::fromUtf8(r.err);
        QVERIFY2(err.contains(QStringLiteral("FIFO")) && err.contains(QStringLiteral("フォルダーです")), r.err.constData());
        QVERIFY(!err.contains(QStringLiteral("QStandardPaths")));

        const QString loop = path(QStringLiteral("loop.dat"));
        QVERIFY(QFile::link(loop, loop));
        const Ran looped = run({QStringLiteral("generate"), loop});
        QCOMPARE(looped.code, 1);
        QVERIFY2(QString::fromUtf8(looped.err).contains(QStringLiteral("リンク")), looped.err.constData());
    }

    // Hand-edited text stays in its place: a line break inside a name never writes lines of its
    // own, and messages show control characters escaped and long values cut.
    void handEditedLog_cannotInjectLines_andMessagesStayOneLine()
    {
        const QString bad = path(QStringLiteral("inject.dat"));
        QVERIFY(writeAll(bad, QByteArray(kLog).replace("scroll.bmp", "s.bmp\r\n<Book End>\r\n\x1b[31m")));
        const QString target = path(QStringLiteral("inject.csf"));
        const Ran r = run(saveArgs(bad, target));
        QCOMPARE(r.code, 1);
        QVERIFY(!QFile::exists(target));
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!r.err.contains('\x1b'));
        QVERIFY2(r.err.contains("\\r\\n<Book End>\\r\\n\\x1B[31m"), r.err.constData());

        QVERIFY(writeAll(bad, QByteArray(kLog).replace("\"10\"", '"' + QByteArray(5000, '7') + '"')));
        const Ran longValue = run({QStringLiteral("generate"), bad});
        QCOMPARE(longValue.code, 1);
        QVERIFY2(QString::fromUtf8(longValue.err).contains(QStringLiteral("範囲外です")), longValue.err.constData());
        QVERIFY(!longValue.err.contains(QByteArray(201, '7')));
        QVERIFY(QString::fromUtf8(longValue.err).contains(QStringLiteral("…（5000 文字）")));
    }
};

QTEST_GUILESS_MAIN(TestVelraScriptDisk)
#include "tst_velra_script_disk.moc"
