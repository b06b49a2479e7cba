#include "FileSystem.h"
#include "FileSystem_unix.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

// The file primitives: open, write, sync, replace and remove, and what a name stands for.
namespace velra::platform {

using namespace posix;

Handle File::invalidHandle()
{
    return -1;
}

bool File::isOpen() const
{
    return m_handle >= 0;
}

void File::close()
{
    if (m_handle >= 0 && !m_borrowed)
        ::close(m_handle);
    m_handle = -1;
    m_borrowed = false;
}

bool File::closeChecked(int *code)
{
    if (m_borrowed || m_handle < 0) {
        close();
        return true;
    }
    const int result = ::close(m_handle);
    m_handle = -1;
    // A close interrupted by a signal has still closed the descriptor on Linux.
    return result == 0 || errno == EINTR || fail(code, errno);
}

bool File::writeAll(const QList<QByteArrayView> &pieces, int *code) const
{
    for (const QByteArrayView piece : pieces) {
        if (!writeBytes(m_handle, piece.data(), piece.size(), code, m_socket))
            return false;
    }
    return true;
}

bool File::size(qint64 *bytes, int *code) const
{
    struct stat st;
    if (::fstat(m_handle, &st) != 0)
        return fail(code, errno);
    *bytes = st.st_size;
    return true;
}

bool File::seekStart(int *code) const
{
    return ::lseek(m_handle, 0, SEEK_SET) == 0 || fail(code, errno);
}

bool File::readSome(char *data, qint64 wanted, qint64 *done, int *code) const
{
    ssize_t got;
    do {
        got = ::read(m_handle, data, size_t(wanted));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return fail(code, errno);
    *done = got;
    return true;
}

bool File::setLength(qint64 length, int *code) const
{
    return ::ftruncate(m_handle, off_t(length)) == 0 || fail(code, errno);
}

bool File::sync(int *code) const
{
    return ::fsync(m_handle) == 0 || fail(code, errno);
}

File::Lock File::tryLock(int *code) const
{
    for (;;) {
        if (::flock(m_handle, LOCK_EX | LOCK_NB) == 0)
            return Lock::Held;
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            return Lock::Busy;
        // File systems without locks still get a careful write, only not serialised.
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL)
            return Lock::Unsupported;
        fail(code, errno);
        return Lock::Failed;
    }
}

int File::linkCount() const
{
    struct stat st;
    return ::fstat(m_handle, &st) == 0 ? int(st.st_nlink) : 1;
}

bool File::isAtPath(const QString &path) const
{
    struct stat held;
    struct stat now;
    return ::fstat(m_handle, &held) == 0 && ::lstat(encoded(path).constData(), &now) == 0
        && held.st_dev == now.st_dev && held.st_ino == now.st_ino;
}

bool File::hasExtraAttributes() const
{
    char names[4096];
    const ssize_t size = ::flistxattr(m_handle, names, sizeof names);
    if (size < 0)
        return errno == ERANGE; // more than fits here: certainly some
    // A security label is the system's, given to the new file by its own rules.
    for (ssize_t at = 0; at < size; at += ssize_t(std::strlen(names + at)) + 1) {
        if (std::strncmp(names + at, "security.", 9) != 0)
            return true;
    }
    return false;
}

bool File::openForSave(const QString &path, bool *created, bool *device, int *code)
{
    close();
    *created = false;
    *device = false;
    const QByteArray name = encoded(path);
    // Non-blocking, so that a FIFO put there meanwhile cannot hold the save; it is refused below.
    // Another save may make the file between the two opens: then it is there to open.
    for (int attempt = 0; attempt < 100 && m_handle < 0; ++attempt) {
        m_handle = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (m_handle >= 0 || errno != ENOENT)
            break;
        m_handle = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        *created = m_handle >= 0;
        if (m_handle < 0 && errno != EEXIST)
            break;
    }
    return m_handle >= 0 ? keepIfRegular(code) : fail(code, errno == ELOOP ? EPERM : errno);
}

bool File::createNew(const QString &path, int *code, bool asNewFile)
{
    close();
    m_handle = ::open(encoded(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, asNewFile ? 0666 : 0600);
    return m_handle >= 0 || fail(code, errno);
}

bool File::openStream(const QString &path, bool socket, int *code)
{
    close();
    m_socket = socket;
    const QByteArray name = encoded(path);
    if (!socket) {
        // Without waiting for a reader (ENXIO when there is none); then written as a stream, each
        // write waiting for the reader as a pipe does.
        m_handle = ::open(name.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (m_handle < 0)
            return fail(code, errno);
        ::fcntl(m_handle, F_SETFL, ::fcntl(m_handle, F_GETFL) & ~O_NONBLOCK);
        return true;
    }
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof(address.sun_path))
        return fail(code, ENAMETOOLONG);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    m_handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_handle < 0)
        return fail(code, errno);
    if (::connect(m_handle, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        const int why = errno;
        close();
        return fail(code, why);
    }
    return true;
}

void File::borrow(int descriptor)
{
    close();
    m_handle = descriptor;
    m_borrowed = true;
    struct stat st;
    m_socket = ::fstat(descriptor, &st) == 0 && S_ISSOCK(st.st_mode);
}

bool File::copyKeptAttributes(const File &from, bool *inPlace, int *code) const
{
    *inPlace = false;
    struct stat old;
    struct stat mine;
    if (::fstat(from.m_handle, &old) != 0 || ::fstat(m_handle, &mine) != 0)
        return fail(code, errno);
    if ((mine.st_uid != old.st_uid || mine.st_gid != old.st_gid) && ::fchown(m_handle, old.st_uid, old.st_gid) != 0) {
        *inPlace = true;
        return false;
    }
    return ::fchmod(m_handle, old.st_mode & 07777) == 0 || fail(code, errno);
}

QByteArray stamp(const QString &path)
{
    struct stat st;
    if (::stat(encoded(path).constData(), &st) != 0)
        return QByteArray();
    const qint64 values[] = {qint64(st.st_dev), qint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec),
                             qint64(st.st_mtim.tv_nsec), qint64(st.st_ctim.tv_nsec)};
    return QByteArray(reinterpret_cast<const char *>(values), sizeof values);
}

bool nameTaken(int code)
{
    return code == EEXIST;
}

bool makeFolder(const QString &path, int *code)
{
    if (::mkdir(encoded(path).constData(), 0777) == 0)
        return true;
    const int why = errno;
    return (why == EEXIST && QFileInfo(path).isDir()) || fail(code, why);
}

bool removeEntry(const QString &path, int *code)
{
    return ::unlink(encoded(path).constData()) == 0 || errno == ENOENT || fail(code, errno);
}

bool replace(const QString &from, const QString &to, bool *inPlace, int *code)
{
    *inPlace = false;
    if (::rename(encoded(from).constData(), encoded(to).constData()) == 0)
        return true;
    // A file that is a mount point (a bind mount) cannot be renamed over.
    if (errno == EBUSY)
        *inPlace = true;
    return fail(code, errno);
}

void syncFolder(const QString &folder)
{
    const int dir = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

Word reasonWord(int code)
{
    switch (code) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return Word::DiskFull;
    case EACCES:
    case EPERM:
        return Word::Denied;
    case EROFS:
        return Word::ReadOnlyDrive;
    case EISDIR:
        return Word::SameNameFolder;
    case EEXIST:
        return Word::SameNameFile;
    case ENOENT:
    case ENOTDIR:
        return Word::NoFolder;
    case ENAMETOOLONG:
        return Word::NameTooLong;
    case EFBIG:
        return Word::FileTooLarge;
    case EIO:
        return Word::DiskError;
    case EPIPE:
    case ECONNREFUSED:
    case ENXIO:
        return Word::ReaderStopped;
    case EBADF:
        return Word::NotOpen;
    case ELOOP:
        return Word::LinkLoop;
    case EINVAL:
        return Word::NotRegular;
    default:
        return Word::Failed;
    }
}

namespace {

// What a name that is no regular file is, to follow 「NAME」は.
QString whatIs(mode_t mode)
{
    if (S_ISDIR(mode))
        return said(Word::Folder);
    if (S_ISFIFO(mode))
        return QStringLiteral("名前付きパイプ（FIFO）で、ファイルではありません");
    if (S_ISSOCK(mode))
        return QStringLiteral("ソケットで、ファイルではありません");
    return QStringLiteral("デバイスで、ファイルではありません");
}

} // namespace

bool openToRead(QFile &file, const QString &path, bool streams, QString *problem)
{
    const QByteArray name = encoded(path);
    const auto refuse = [problem](const QString &why) {
        if (problem)
            *problem = why;
        return false;
    };
    if (streams) {
        const int named = name == "-" || name == "/dev/stdin" ? 0 : descriptorNamed(name);
        if (named == 0) {
            const int copy = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
            if (copy < 0)
                return refuse(QString::fromUtf8(reasonFor(errno)));
            if (file.open(copy, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
                return true;
            ::close(copy);
            return refuse(said(Word::CannotOpen));
        }
    }
    // Links by the rule for links, one part at a time, the file's own too.
    QString resolved;
    QString why;
    if (!resolvedPath(path, &resolved, &why))
        return refuse(why);
    const QByteArray real = encoded(resolved);
    struct stat link;
    if (::lstat(real.constData(), &link) == 0 && S_ISLNK(link.st_mode) && !mayFollow(real, link))
        return refuse(QStringLiteral("ほかのユーザーが作ったリンクのため、たどりません"));
    // Without waiting: a FIFO opened so answers at once, with or without a writer.
    const int fd = ::open(real.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        struct stat link;
        if (code == ELOOP || (code == ENOENT && ::lstat(name.constData(), &link) == 0))
            return refuse(QStringLiteral("リンクですが、その先のファイルが見つかりません"));
        if (code == ENOENT || code == ENOTDIR)
            return refuse(said(Word::NotFound));
        return refuse(QString::fromUtf8(reasonFor(code)));
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const QString what = whatIs(st.st_mode);
        ::close(fd);
        return refuse(what);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(said(Word::CannotOpen));
    }
    return true;
}

bool syncFileSystem(const QString &folder, int *code)
{
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *code = errno;
        return false;
    }
#ifdef __linux__
    const bool synced = ::syncfs(fd) == 0;
#else
    const bool synced = ::fsync(fd) == 0;
    if (synced)
        ::sync();
#endif
    *code = synced ? 0 : errno;
    ::close(fd);
    return synced;
}

bool isHeldOpen(const QString &)
{
    return false;
}

QString notARegularFile(const QString &path)
{
    const QByteArray name = encoded(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0) {
        struct stat link;
        if (errno == ELOOP || (errno == ENOENT && ::lstat(name.constData(), &link) == 0))
            return QStringLiteral("リンクですが、その先のファイルが見つかりません");
        if (errno == ENOENT || errno == ENOTDIR)
            return said(Word::NotFound);
        return QString::fromUtf8(reasonFor(errno));
    }
    return S_ISREG(st.st_mode) ? QString() : whatIs(st.st_mode);
}

} // namespace velra::platform
