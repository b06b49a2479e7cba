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

// Whose a file is: the hand-off files the program's own, and the documents it may hand to another program.
namespace velra::platform {

using namespace posix;

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

bool othersMayWriteIn(const QString &folder)
{
    struct stat st;
    if (::stat(encoded(folder).constData(), &st) != 0)
        return false;
    return (st.st_mode & S_IWOTH) != 0;
}

} // namespace velra::platform
