#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

// What the Unix files of the file primitives share.
namespace velra::platform::posix {

inline QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

inline bool fail(int *code, int value)
{
    if (code)
        *code = value;
    return false;
}

inline bool writeBytes(int fd, const char *data, qint64 left, int *code, bool socket)
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

// /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N: the descriptor of this process's that the
// name means, or -1.
int descriptorNamed(const QByteArray &name);
// What the link at `name` (lstat'ed as `st`) holds; false with `code` when it cannot be read whole.
bool linkTarget(const QByteArray &name, const struct stat &st, QByteArray &to, int *code);
// Whether the rule for links follows the link at `link` (lstat'ed as `st`).
bool mayFollow(const QByteArray &link, const struct stat &st);

} // namespace velra::platform::posix
