#include "FileSystem.h"

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

namespace velra::platform {
namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

bool fail(int *code, int value)
{
    if (code)
        *code = value;
    return false;
}

bool writeBytes(int fd, const char *data, qint64 left, int *code, bool socket)
{
    while (left > 0) {
        const size_t chunk = size_t(qMin(left, kChunk));
        const ssize_t done = socket ? ::send(fd, data, chunk, MSG_NOSIGNAL) : ::write(fd, data, chunk);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return fail(code, done < 0 ? errno : EIO);
        data += done;
        left -= done;
    }
    return true;
}

} // namespace

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

Folder::~Folder()
{
    if (m_handle >= 0)
        ::close(m_handle);
}

bool Folder::open(const QString &path, int *code, bool followingLinks)
{
    if (m_handle >= 0)
        ::close(m_handle);
    m_path = path;
    const QByteArray name = encoded(path.isEmpty() ? QStringLiteral(".") : path);
    if (followingLinks) {
        m_handle = ::open(name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        return m_handle >= 0 || fail(code, errno);
    }
    // One part at a time, never through a link: the path was resolved to hold none.
    m_handle = ::open(name.startsWith('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (const QByteArray &part : name.split('/')) {
        if (m_handle < 0)
            break;
        if (part.isEmpty() || part == ".")
            continue;
        const int next = ::openat(m_handle, part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int why = errno;
        struct stat st;
        if (next >= 0 && (::fstat(next, &st) != 0 || !S_ISDIR(st.st_mode))) {
            ::close(next);
            why = ELOOP;
        } else if (next < 0 && (why == ENOTDIR || why == ELOOP)) {
            // A link where a folder was: O_NOFOLLOW refuses it, in one of these two words.
            if (::fstatat(m_handle, part.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
                why = ELOOP;
        }
        ::close(m_handle);
        m_handle = next >= 0 && why != ELOOP ? next : -1;
        if (m_handle < 0) {
            errno = why;
            break;
        }
    }
    return m_handle >= 0 || fail(code, errno);
}

bool File::openForSave(const Folder &in, const QString &name, bool *created, bool *device, int *code)
{
    close();
    *created = false;
    *device = false;
    const QByteArray bytes = encoded(name);
    for (int attempt = 0; attempt < 100 && m_handle < 0; ++attempt) {
        m_handle = ::openat(in.handle(), bytes.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (m_handle >= 0 || errno != ENOENT)
            break;
        m_handle = ::openat(in.handle(), bytes.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        *created = m_handle >= 0;
        if (m_handle < 0 && errno != EEXIST)
            break;
    }
    return m_handle >= 0 ? keepIfRegular(code) : fail(code, errno == ELOOP ? EPERM : errno);
}

bool File::keepIfRegular(int *code)
{
    struct stat st;
    if (::fstat(m_handle, &st) != 0)
        return fail(code, errno);
    if (!S_ISREG(st.st_mode)) {
        close();
        return fail(code, EINVAL);
    }
    const int flags = ::fcntl(m_handle, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_handle, F_SETFL, flags & ~O_NONBLOCK);
    return true;
}

bool File::createNew(const Folder &in, const QString &name, int *code, bool asNewFile)
{
    close();
    m_handle = ::openat(in.handle(), encoded(name).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                        asNewFile ? 0666 : 0600);
    return m_handle >= 0 || fail(code, errno);
}

bool File::isAtName(const Folder &in, const QString &name) const
{
    struct stat held;
    struct stat now;
    return ::fstat(m_handle, &held) == 0 && ::fstatat(in.handle(), encoded(name).constData(), &now, AT_SYMLINK_NOFOLLOW) == 0
        && held.st_dev == now.st_dev && held.st_ino == now.st_ino;
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
        m_handle = ::open(name.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
        return m_handle >= 0 || fail(code, errno);
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

namespace {

// /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N: names of descriptors this process has open.
int descriptorNamed(const QByteArray &name)
{
    if (name == "/dev/stdout")
        return 1;
    if (name == "/dev/stderr")
        return 2;
    const QByteArray self = "/proc/" + QByteArray::number(qint64(::getpid())) + "/fd/";
    for (const QByteArray &prefix : {QByteArray("/dev/fd/"), QByteArray("/proc/self/fd/"),
                                     QByteArray("/proc/thread-self/fd/"), self}) {
        if (name.startsWith(prefix)) {
            bool ok = false;
            const int fd = name.mid(prefix.size()).toInt(&ok);
            return ok && fd >= 0 && name.mid(prefix.size()) == QByteArray::number(fd) ? fd : -1;
        }
    }
    return -1;
}

// A link in a folder that everyone may write into (/tmp, or a folder of mode 0777) is followed only
// when it is ours or the folder owner's, as the kernel does in sticky folders: another user's link
// could otherwise lead the save into any file of ours.
// What the link at `name` (lstat'ed as `st`) holds; false with `code` when it cannot be read whole.
bool linkTarget(const QByteArray &name, const struct stat &st, QByteArray &to, int *code)
{
    to = QByteArray(qMax<qint64>(st.st_size, 255) + 1, Qt::Uninitialized);
    const ssize_t size = ::readlink(name.constData(), to.data(), size_t(to.size()));
    if (size < 0 || size >= to.size()) {
        if (code)
            *code = size < 0 ? errno : ENAMETOOLONG;
        return false;
    }
    to.truncate(size);
    return true;
}

bool mayFollow(const QByteArray &link, const struct stat &st)
{
    LinkFacts facts;
    facts.isLink = true;
    facts.mine = st.st_uid == ::geteuid();
    const qsizetype slash = link.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : link.left(slash);
    struct stat dir = {};
    if (!facts.mine && ::stat(folder.constData(), &dir) != 0)
        return false;
    facts.folderOpen = !facts.mine && (dir.st_mode & S_IWOTH);
    facts.byFolderOwner = !facts.mine && st.st_uid == dir.st_uid;
    return platform::mayFollow(facts);
}

// Follows every link in the folders of `name` by the rule for links, one part at a time, so that
// the path left names its folders without links: a link planted in the middle of a path (in /tmp,
// say) leads nowhere that the author did not choose. The last part is left as it is. False, with
// `target` refused (naming the link) or failed, when a link must not be followed.
bool resolveFolders(QByteArray &name, Target &target, int &hops)
{
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0)
        return true;
    const QByteArray last = name.mid(slash + 1);
    QByteArray resolved = name.startsWith('/') ? QByteArray("/") : QByteArray(".");
    QList<QByteArray> rest = name.left(slash).split('/');
    const auto join = [](const QByteArray &folder, const QByteArray &part) {
        return folder.endsWith('/') ? folder + part : folder + '/' + part;
    };
    while (!rest.isEmpty()) {
        const QByteArray part = rest.takeFirst();
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            // The folders so far hold no link: their parent is the parent on the disk too.
            const qsizetype at = resolved.lastIndexOf('/');
            if (resolved == "/" || resolved == "." || resolved.endsWith("/..") || resolved == "..")
                resolved = resolved == "/" ? resolved : join(resolved, "..");
            else
                resolved = at <= 0 ? (resolved.startsWith('/') ? QByteArray("/") : QByteArray(".")) : resolved.left(at);
            continue;
        }
        const QByteArray candidate = join(resolved, part);
        struct stat st;
        if (::lstat(candidate.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            // A real folder, or nothing yet (the writer says so): taken as it is.
            resolved = candidate;
            continue;
        }
        if (++hops >= 40) {
            target.kind = Target::Kind::Failed;
            target.code = ELOOP;
            return false;
        }
        if (!mayFollow(candidate, st)) {
            target.kind = Target::Kind::Refused;
            target.reason = QStringLiteral("途中のフォルダー「%1」がほかのユーザーが作ったリンクのため、たどりません。")
                                .arg(QFile::decodeName(candidate.startsWith("./") ? candidate.mid(2) : candidate));
            return false;
        }
        QByteArray to;
        if (!linkTarget(candidate, st, to, &target.code)) {
            target.kind = Target::Kind::Failed;
            return false;
        }
        if (to.startsWith('/'))
            resolved = "/";
        QList<QByteArray> parts = to.split('/');
        rest = parts + rest;
    }
    name = join(resolved, last);
    if (name.startsWith("./"))
        name = name.mid(2);
    return true;
}

} // namespace

bool resolvedPath(const QString &path, QString *resolved, QString *reason)
{
    Target target;
    QByteArray name = encoded(path);
    int hops = 0;
    if (resolveFolders(name, target, hops)) {
        *resolved = QFile::decodeName(name);
        return true;
    }
    *reason = target.kind == Target::Kind::Refused ? target.reason : QString::fromUtf8(reasonFor(target.code));
    return false;
}

Target classify(const QString &path)
{
    Target target;
    QByteArray name = encoded(path);
    int folderHops = 0;
    for (int hops = 0; hops < 40; ++hops) {
        if (descriptorNamed(name) < 0 && !resolveFolders(name, target, folderHops))
            return target;
        const int fd = descriptorNamed(name);
        if (fd >= 0) {
            if (::fcntl(fd, F_GETFD) < 0) {
                target.kind = Target::Kind::Failed;
                target.code = errno;
            } else {
                target.kind = Target::Kind::Descriptor;
                target.descriptor = fd;
            }
            return target;
        }
        struct stat st;
        if (::lstat(name.constData(), &st) != 0) {
            if (errno == ENOENT && hops > 0) {
                target.kind = Target::Kind::Refused;
                target.reason = said(Word::DanglingLink);
            } else {
                target.kind = errno == ENOENT ? Target::Kind::Missing : Target::Kind::Failed;
                target.code = errno;
            }
            target.path = QFile::decodeName(name);
            return target;
        }
        if (S_ISLNK(st.st_mode)) {
            if (!mayFollow(name, st)) {
                target.kind = Target::Kind::Refused;
                target.reason = QStringLiteral("ほかのユーザーが作ったリンクのため、たどりません。");
                return target;
            }
            QByteArray to;
            if (!linkTarget(name, st, to, &target.code)) {
                target.kind = Target::Kind::Failed;
                return target;
            }
            if (!to.startsWith('/')) {
                const qsizetype slash = name.lastIndexOf('/');
                to.prepend(slash < 0 ? QByteArray() : name.left(slash + 1));
            }
            name = to;
            continue;
        }
        target.path = QFile::decodeName(name);
        if (S_ISDIR(st.st_mode))
            target.kind = Target::Kind::Directory;
        else if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
            target.kind = Target::Kind::Stream;
        else if (S_ISSOCK(st.st_mode))
            target.kind = Target::Kind::Socket;
        else if (!S_ISREG(st.st_mode))
            target.kind = Target::Kind::Other;
        else {
            target.kind = Target::Kind::Regular;
            const bool writable = ::access(name.constData(), W_OK) == 0;
            target.readOnlyDrive = !writable && errno == EROFS;
            target.readOnly = !(st.st_mode & S_IWUSR) || !writable;
        }
        return target;
    }
    target.kind = Target::Kind::Failed;
    target.code = ELOOP;
    return target;
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

bool removeEntry(const QString &path, int *code)
{
    return ::unlink(encoded(path).constData()) == 0 || errno == ENOENT || fail(code, errno);
}

bool removeEntry(const Folder &in, const QString &name, int *code)
{
    return ::unlinkat(in.handle(), encoded(name).constData(), 0) == 0 || errno == ENOENT || fail(code, errno);
}

bool replace(const Folder &in, const QString &from, const QString &to, bool *inPlace, int *code)
{
    *inPlace = false;
    if (::renameat(in.handle(), encoded(from).constData(), in.handle(), encoded(to).constData()) == 0)
        return true;
    if (errno == EBUSY)
        *inPlace = true;
    return fail(code, errno);
}

void syncFolder(const Folder &folder)
{
    // An O_PATH descriptor takes no fsync: the folder itself, opened from it.
    const int dir = ::openat(folder.handle(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
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

// What the signal handler removes: set before the temporary exists, cleared after it is gone or
// renamed. Plain bytes, as a handler may call no more than unlink.
char g_interruptPath[4096];
volatile sig_atomic_t g_interruptArmed = 0;
struct sigaction g_previous[3];
constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void removeAndEnd(int signal)
{
    if (g_interruptArmed)
        ::unlink(g_interruptPath);
    g_interruptArmed = 0;
    for (int i = 0; i < 3; ++i) {
        if (kSignals[i] == signal)
            ::sigaction(signal, &g_previous[i], nullptr);
    }
    ::raise(signal);
}

} // namespace

void removeOnInterrupt(const QString &path)
{
    const QByteArray name = encoded(path);
    if (size_t(name.size()) >= sizeof g_interruptPath)
        return;
    std::memcpy(g_interruptPath, name.constData(), size_t(name.size()) + 1);
    struct sigaction action = {};
    action.sa_handler = removeAndEnd;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) {
        struct sigaction current;
        ::sigaction(kSignals[i], nullptr, &current);
        // A signal the program ignores (nohup) stays ignored.
        if (current.sa_handler == SIG_IGN)
            continue;
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
    g_interruptArmed = 1;
}

void keepOnInterrupt()
{
    if (!g_interruptArmed)
        return;
    g_interruptArmed = 0;
    for (int i = 0; i < 3; ++i) {
        struct sigaction current;
        ::sigaction(kSignals[i], nullptr, &current);
        if (current.sa_handler == removeAndEnd)
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

namespace {

// What stands at the name when it is not a regular file, found without opening it.
QString notRegular(const struct stat &st)
{
    if (S_ISLNK(st.st_mode))
        return said(Word::LinkRefused);
    if (S_ISDIR(st.st_mode))
        return said(Word::Folder);
    if (!S_ISREG(st.st_mode))
        return said(Word::NotRegular);
    return QString();
}

QString notOurs(const struct stat &st)
{
    const QString what = notRegular(st);
    if (!what.isEmpty())
        return what;
    return st.st_uid != ::geteuid() ? said(Word::OthersFile) : QString();
}

// The descriptor of the user's own regular file: what stands at the name is looked at first, so
// that a FIFO or a device is never opened; the open itself follows no link and waits for nothing,
// and what it opened is looked at again (the name may have changed in between).
int openOwnDescriptor(const QString &path, int flags, mode_t mode, QString *problem, int *code)
{
    const QByteArray name = encoded(path);
    struct stat st;
    if (::lstat(name.constData(), &st) == 0) {
        const QString what = notOurs(st);
        if (!what.isEmpty()) {
            if (problem)
                *problem = what;
            fail(code, EPERM);
            return -1;
        }
    }
    const int fd = ::open(name.constData(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, mode);
    if (fd < 0) {
        const int why = errno;
        if (problem) {
            // O_NOFOLLOW's refusal of a link is ELOOP; a FIFO without a reader, ENXIO.
            *problem = why == ELOOP ? said(Word::LinkRefused)
                : why == ENXIO      ? said(Word::NotRegular)
                                    : reasonText(why);
        }
        fail(code, why);
        errno = why;
        return -1;
    }
    QString what;
    if (::fstat(fd, &st) != 0)
        what = reasonText(errno);
    else
        what = notOurs(st);
    if (!what.isEmpty()) {
        ::close(fd);
        if (problem)
            *problem = what;
        fail(code, EPERM);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

bool File::openOwn(const QString &path, bool create, QString *problem, int *code)
{
    close();
    m_handle = openOwnDescriptor(path, create ? O_RDWR | O_CREAT : O_RDWR, 0600, problem, code);
    return m_handle >= 0;
}

bool openPrivate(QFile &file, const QString &path, bool write, bool truncate, bool append, QString *problem)
{
    const int flags = (write ? O_RDWR | O_CREAT : O_RDONLY) | (append ? O_APPEND : 0);
    const int fd = openOwnDescriptor(path, flags, 0666, problem, nullptr);
    if (fd < 0)
        return false;
    if (write && truncate && ::ftruncate(fd, 0) != 0) {
        const int why = errno;
        ::close(fd);
        if (problem)
            *problem = reasonText(why);
        return false;
    }
    QIODevice::OpenMode mode = write ? QIODevice::ReadWrite : QIODevice::ReadOnly;
    if (append)
        mode |= QIODevice::Append;
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (problem)
            *problem = said(Word::CannotOpen);
        return false;
    }
    return true;
}

QString notOwnFile(const QString &path)
{
    struct stat st;
    if (::lstat(encoded(path).constData(), &st) != 0)
        return QString();
    return notOurs(st);
}

namespace {

// Owned by the user or the system, and writable by neither its group nor anyone else.
bool trustedEntry(const struct stat &st)
{
    return (st.st_uid == ::geteuid() || st.st_uid == 0) && !(st.st_mode & (S_IWGRP | S_IWOTH));
}

} // namespace

bool isTrustedDocument(const QString &path)
{
    QByteArray name = encoded(path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        struct stat dir;
        const qsizetype slash = name.lastIndexOf('/');
        const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.left(slash);
        if (::lstat(name.constData(), &st) != 0 || ::stat(folder.constData(), &dir) != 0)
            return false;
        if (!trustedEntry(dir) && !S_ISLNK(st.st_mode))
            return false;
        if (!S_ISLNK(st.st_mode))
            return S_ISREG(st.st_mode) && trustedEntry(st);
        // A link: its own owner and folder judged as a file's would be.
        if (!(st.st_uid == ::geteuid() || st.st_uid == 0) || !trustedEntry(dir))
            return false;
        QByteArray to;
        if (!linkTarget(name, st, to, nullptr))
            return false;
        if (!to.startsWith('/'))
            to.prepend(folder + '/');
        name = to;
    }
    return false;
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

bool othersMayReplaceIn(const QString &folder)
{
    struct stat st;
    if (::stat(encoded(folder).constData(), &st) != 0)
        return false;
    return (st.st_mode & S_IWOTH) && !(st.st_mode & S_ISVTX);
}

} // namespace velra::platform
