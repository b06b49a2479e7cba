#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace velra::test {

// A small RAM disk (tmpfs) on a fresh folder, to make a disk run full where the test says.
// Mounting needs root; where it is not allowed, mounted() is false and `whyNot` says why.
class SmallDisk
{
public:
    explicit SmallDisk(int kibibytes)
    {
        QProcess mount;
        mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=%1k,mode=0777").arg(kibibytes),
                                              QStringLiteral("velra-test"), m_dir.path()});
        if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0) {
            whyNot = QStringLiteral("cannot mount a tmpfs here (needs root): ")
                + QString::fromLocal8Bit(mount.readAllStandardError()).trimmed();
            return;
        }
        m_mounted = true;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_dir.path()});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Everything on the disk but the filler.
    QStringList files() const
    {
        QStringList names = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.removeAll(QStringLiteral("zz-filler"));
        return names;
    }

    // Fills the disk, then frees `freeBytes` (whole pages of 4 KiB) again.
    bool fill(qint64 freeBytes)
    {
        QFile filler(path(QStringLiteral("zz-filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::Append))
            return false;
        const QByteArray page(4096, 'f');
        while (filler.write(page) == page.size()) {
        }
        const qint64 size = filler.size();
        filler.close();
        const qint64 pages = (freeBytes + 4095) / 4096;
        return size >= pages * 4096 && QFile::resize(filler.fileName(), size / 4096 * 4096 - pages * 4096);
    }

    // The cases of a disk that runs full during a save, as QTest data: "existing" (empty: a new
    // file), "freeBytes" and "hardLinked" (the file has a second name, so it is written in place).
    static void addFullDiskRows(bool withHardLink)
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<qint64>("freeBytes");
        QTest::addColumn<bool>("hardLinked");
        QTest::newRow("1.9 KB file, disk full") << QByteArray(1900, 'x') << qint64(0) << false;
        // The new file is about 30 KB; its last 4 KB do not fit.
        QTest::newRow("30 KB file, tail does not fit") << QByteArray(29'500, 'y') << qint64(26 * 1024) << false;
        QTest::newRow("new file, disk full") << QByteArray() << qint64(0) << false;
        if (withHardLink) // one more page than the old file: the tail does not fit
            QTest::newRow("hard-linked 32.5 KB file, tail does not fit") << QByteArray(32'500, 'z') << qint64(0) << true;
    }

    QString whyNot;

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace velra::test
