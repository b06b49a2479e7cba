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

// The held folder: what a save makes, replaces and removes goes into the folder it opened, by name.
namespace velra::platform {

using namespace posix;

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

} // namespace velra::platform
