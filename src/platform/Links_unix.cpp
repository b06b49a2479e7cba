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

// The rule for links: which links a save follows, one part of the path at a time.
namespace velra::platform {

using namespace posix;

// /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N: names of descriptors this process has open.
int posix::descriptorNamed(const QByteArray &name)
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
// when it is ours or root's: another user's link, the folder's owner's too, could otherwise lead
// the save into any file of ours.
bool posix::mayFollow(const QByteArray &link, const struct stat &st)
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
    facts.bySystem = st.st_uid == 0;
    return platform::mayFollow(facts);
}

// What the link at `name` (lstat'ed as `st`) holds; false with `code` when it cannot be read whole.
bool posix::linkTarget(const QByteArray &name, const struct stat &st, QByteArray &to, int *code)
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

namespace {

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

} // namespace velra::platform
