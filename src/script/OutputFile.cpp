#include "OutputFile.h"

#include "handoff/Failure.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cstring>

namespace velra::output {
namespace {

// Files larger than this are written in pieces, as some systems refuse single huge writes.
constexpr qint64 kChunk = qint64(1) << 24;

qint64 totalSize(const Pieces &pieces)
{
    qint64 total = 0;
    for (const QByteArrayView piece : pieces)
        total += piece.size();
    return total;
}

QString shortBaseName(const QString &fileName)
{
    // Leaves room for the prefix and the random part in a 255-byte name.
    QString base = fileName;
    while (base.toUtf8().size() > 200)
        base.chop(1);
    return base;
}

QString randomSuffix()
{
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < 8; ++i)
        suffix.append(QLatin1Char(kDigits[QRandomGenerator::global()->bounded(36)]));
    return suffix;
}

} // namespace

QString temporaryPrefix(const QString &fileName)
{
    return QStringLiteral(".%1.velra-").arg(shortBaseName(fileName));
}

#ifdef Q_OS_WIN
// ---------------------------------------------------------------------------------------------
// Windows
namespace {

using Native = HANDLE;
const Native kNone = INVALID_HANDLE_VALUE;

int lastError()
{
    return int(GetLastError());
}

std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

void closeNative(Native &h)
{
    if (h != kNone)
        CloseHandle(h);
    h = kNone;
}

bool writeAllNative(Native h, const Pieces &pieces, int *code)
{
    for (const QByteArrayView piece : pieces) {
        const char *data = piece.data();
        qint64 left = piece.size();
        while (left > 0) {
            DWORD done = 0;
            const DWORD chunk = DWORD(qMin(left, kChunk));
            if (!WriteFile(h, data, chunk, &done, nullptr) || done == 0) {
                *code = lastError();
                if (*code == 0)
                    *code = ERROR_WRITE_FAULT;
                return false;
            }
            data += done;
            left -= done;
        }
    }
    return true;
}

bool seekStart(Native h, int *code)
{
    LARGE_INTEGER zero{};
    if (SetFilePointerEx(h, zero, nullptr, FILE_BEGIN))
        return true;
    *code = lastError();
    return false;
}

bool sizeNative(Native h, qint64 *size, int *code)
{
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(h, &value)) {
        *code = lastError();
        return false;
    }
    *size = value.QuadPart;
    return true;
}

bool readSomeNative(Native h, char *data, qint64 wanted, qint64 *done, int *code)
{
    DWORD got = 0;
    if (!ReadFile(h, data, DWORD(wanted), &got, nullptr)) {
        *code = lastError();
        return false;
    }
    *done = got;
    return true;
}

bool setLength(Native h, qint64 length, int *code)
{
    LARGE_INTEGER at{};
    at.QuadPart = length;
    if (SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h))
        return true;
    *code = lastError();
    return false;
}

bool syncNative(Native h, int *code)
{
    if (FlushFileBuffers(h))
        return true;
    *code = lastError();
    return false;
}

struct Identity
{
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;
    DWORD links = 0;
    bool operator==(const Identity &o) const { return volume == o.volume && high == o.high && low == o.low; }
};

bool identityOf(Native h, Identity &id)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info))
        return false;
    id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, info.nNumberOfLinks};
    return true;
}

bool pathIdentity(const QString &path, Identity &id)
{
    HANDLE h = CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = identityOf(h, id);
    CloseHandle(h);
    return ok;
}

// Locks a range far past the end: Windows locks are mandatory for the bytes they cover, and other
// programs must still be able to read the file while a save holds it.
bool lockNative(Native h)
{
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFF0u;
    at.OffsetHigh = 0x7FFFFFFFu;
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
}

// What a system error code means for a save, in the program's words.
const char *reasonFor(int code)
{
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "ディスクの空きが足りません";
    case ERROR_ACCESS_DENIED:
        return "アクセスが許可されていません";
    case ERROR_WRITE_PROTECT:
        return "書き込みが禁止されたドライブです";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return "ほかのプログラムが使用中です";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
        return "保存先のフォルダーが見つかりません";
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME:
        return "ファイル名が使えません";
    default:
        return "ファイル操作に失敗しました";
    }
}

} // namespace

#else
// ---------------------------------------------------------------------------------------------
// POSIX
namespace {

using Native = int;
const Native kNone = -1;

int lastError()
{
    return errno;
}

void closeNative(Native &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = kNone;
}

bool writeBytes(Native fd, const char *data, qint64 left, int *code, bool socket)
{
    while (left > 0) {
        const size_t chunk = size_t(qMin(left, kChunk));
        const ssize_t done = socket ? ::send(fd, data, chunk, MSG_NOSIGNAL) : ::write(fd, data, chunk);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            *code = done < 0 ? errno : EIO;
            return false;
        }
        data += done;
        left -= done;
    }
    return true;
}

bool writeAllNative(Native fd, const Pieces &pieces, int *code, bool socket = false)
{
    for (const QByteArrayView piece : pieces) {
        if (!writeBytes(fd, piece.data(), piece.size(), code, socket))
            return false;
    }
    return true;
}

bool seekStart(Native fd, int *code)
{
    if (::lseek(fd, 0, SEEK_SET) == 0)
        return true;
    *code = errno;
    return false;
}

bool sizeNative(Native fd, qint64 *size, int *code)
{
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        *code = errno;
        return false;
    }
    *size = st.st_size;
    return true;
}

bool readSomeNative(Native fd, char *data, qint64 wanted, qint64 *done, int *code)
{
    ssize_t got;
    do {
        got = ::read(fd, data, size_t(wanted));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        *code = errno;
        return false;
    }
    *done = got;
    return true;
}

bool setLength(Native fd, qint64 length, int *code)
{
    if (::ftruncate(fd, off_t(length)) == 0 && ::lseek(fd, off_t(length), SEEK_SET) == off_t(length))
        return true;
    *code = errno;
    return false;
}

bool syncNative(Native fd, int *code)
{
    if (::fsync(fd) == 0)
        return true;
    *code = errno;
    return false;
}

bool closeChecked(Native &fd, int *code)
{
    const int result = ::close(fd);
    fd = kNone;
    // A close interrupted by a signal has still closed the descriptor on Linux.
    if (result == 0 || errno == EINTR)
        return true;
    *code = errno;
    return false;
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

const char *reasonFor(int code)
{
    switch (code) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return "ディスクの空きが足りません";
    case EACCES:
    case EPERM:
        return "アクセスが許可されていません";
    case EROFS:
        return "書き込みが禁止されたドライブです";
    case EISDIR:
        return "同じ名前のフォルダーがあります";
    case ENOENT:
    case ENOTDIR:
        return "保存先のフォルダーが見つかりません";
    case ENAMETOOLONG:
        return "ファイル名が長すぎます";
    case EFBIG:
        return "ファイルが大きすぎます";
    case EIO:
        return "ディスクの読み書きでエラーが起きました";
    case EPIPE:
    case ECONNREFUSED:
    case ENXIO:
        return "書き出し先が受け取りを止めました";
    default:
        return "ファイル操作に失敗しました";
    }
}

} // namespace

#endif

namespace {

bool readAllNative(Native h, qint64 max, QByteArray &out, int *code, bool *tooLarge)
{
    qint64 size = 0;
    if (!sizeNative(h, &size, code))
        return false;
    if (size > max) {
        *tooLarge = true;
        return false;
    }
    if (!seekStart(h, code))
        return false;
    out.resize(size);
    qint64 have = 0;
    while (have < out.size()) {
        qint64 done = 0;
        if (!readSomeNative(h, out.data() + have, qMin(out.size() - have, kChunk), &done, code))
            return false;
        if (done == 0)
            break;
        have += done;
    }
    out.truncate(have);
    return true;
}

} // namespace

QString systemReason(int code)
{
    // The system's own words after the program's.
    const QString reason = QString::fromUtf8(reasonFor(code));
    const QString detail = qt_error_string(code).trimmed();
    return detail.isEmpty() ? reason + QStringLiteral("。") : QStringLiteral("%1（%2）。").arg(reason, detail);
}

namespace {

// One write into one path, from opening the target to letting it go.
class Writer
{
public:
    Writer(const QString &path, const Compose &compose, const Options &options)
        : m_path(path)
        , m_compose(compose)
        , m_options(options)
    {
    }
    ~Writer()
    {
        closeNative(m_target);
        closeNative(m_temp);
        if (!m_tempPath.isEmpty())
            removePath(m_tempPath);
    }

    bool run(QString *reason);

private:
    enum class Found { Missing, Regular, Directory, Stream, Socket, Other, Error };

    Found probe(bool *readOnly);
    bool openLocked(QString *reason);
    void removeStaleTemporaries();
    bool replaceThroughTemporary(const Pieces &pieces, bool *fallBack, QString *reason);
    bool writeInPlace(const Pieces &pieces, QString *reason);
    bool writeStream(bool socket, QString *reason);
    static void removePath(const QString &path);

    bool failCode(QString *reason, int code) { return fail(reason, systemReason(code)); }

    QString m_path;
    const Compose &m_compose;
    const Options &m_options;
    Native m_target = kNone;
    Native m_temp = kNone;
    QString m_tempPath;
    bool m_created = false; // the target did not exist: this write made it
    int m_links = 1;
    QByteArray m_existing;
#ifndef Q_OS_WIN
    struct stat m_stat = {};
#endif
};

void Writer::removePath(const QString &path)
{
#ifdef Q_OS_WIN
    DeleteFileW(wide(path).c_str());
#else
    ::unlink(encoded(path).constData());
#endif
}

Writer::Found Writer::probe(bool *readOnly)
{
    *readOnly = false;
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(wide(m_path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND)
            return Found::Missing;
        // Devices such as NUL have no attributes to read; opening them tells what they are.
        return Found::Other;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Found::Directory;
    *readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return Found::Regular;
#else
    struct stat st;
    if (::stat(encoded(m_path).constData(), &st) != 0)
        return errno == ENOENT ? Found::Missing : Found::Error;
    if (S_ISDIR(st.st_mode))
        return Found::Directory;
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
        return Found::Stream;
    if (S_ISSOCK(st.st_mode))
        return Found::Socket;
    if (!S_ISREG(st.st_mode))
        return Found::Other;
    *readOnly = !(st.st_mode & S_IWUSR) || ::access(encoded(m_path).constData(), W_OK) != 0;
    return Found::Regular;
#endif
}

// Opens (or creates empty) the regular file at the path and holds its lock. Another save may
// replace the file while this one waits for the lock; then the new file is the one to lock.
bool Writer::openLocked(QString *reason)
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        closeNative(m_target);
#ifdef Q_OS_WIN
        m_target = CreateFileW(wide(m_path).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_target == kNone)
            return failCode(reason, lastError());
        m_created = GetLastError() != ERROR_ALREADY_EXISTS;
        if (GetFileType(m_target) != FILE_TYPE_DISK)
            return true; // a device: the caller writes it as a stream
        if (!lockNative(m_target))
            return failCode(reason, lastError());
        Identity held;
        Identity now;
        if (!identityOf(m_target, held))
            return failCode(reason, lastError());
        if (!pathIdentity(m_path, now) || !(now == held))
            continue;
        m_links = int(held.links);
        return true;
#else
        const QByteArray name = encoded(m_path);
        m_created = false;
        m_target = ::open(name.constData(), O_RDWR | O_CLOEXEC);
        if (m_target < 0 && errno == ENOENT) {
            m_target = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_target < 0 && errno == EEXIST)
                continue;
            m_created = m_target >= 0;
        }
        if (m_target < 0)
            return failCode(reason, lastError());
        while (::flock(m_target, LOCK_EX) != 0) {
            if (errno == EINTR)
                continue;
            // File systems without locks still get a careful write, only not serialised.
            if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL)
                break;
            return failCode(reason, lastError());
        }
        struct stat now;
        if (::fstat(m_target, &m_stat) != 0)
            return failCode(reason, lastError());
        if (::stat(name.constData(), &now) != 0 || now.st_dev != m_stat.st_dev || now.st_ino != m_stat.st_ino)
            continue;
        if (!S_ISREG(m_stat.st_mode))
            return fail(reason, QStringLiteral("通常のファイルではありません。"));
        m_links = int(m_stat.st_nlink);
        return true;
#endif
    }
    return fail(reason, QStringLiteral("ほかの保存が続いていて、ファイルを確保できませんでした。"));
}

// A save killed between writing its temporary file and the replacement leaves the file behind.
// Under the lock, no other save into this file is writing one.
void Writer::removeStaleTemporaries()
{
    const QFileInfo info(m_path);
    const QString prefix = temporaryPrefix(info.fileName());
    QDir folder = info.absoluteDir();
    const QStringList stale = folder.entryList({prefix + QStringLiteral("????????")},
                                               QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : stale)
        removePath(folder.filePath(name));
}

bool Writer::replaceThroughTemporary(const Pieces &pieces, bool *fallBack, QString *reason)
{
    *fallBack = false;
    const QFileInfo info(m_path);
    const QString prefix = temporaryPrefix(info.fileName());
    int code = 0;
    for (int attempt = 0; attempt < 16 && m_temp == kNone; ++attempt) {
        m_tempPath = info.absoluteDir().filePath(prefix + randomSuffix());
#ifdef Q_OS_WIN
        m_temp = CreateFileW(wide(m_tempPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_temp == kNone && lastError() != ERROR_FILE_EXISTS)
            break;
#else
        m_temp = ::open(encoded(m_tempPath).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (m_temp < 0 && errno != EEXIST)
            break;
#endif
    }
    if (m_temp == kNone) {
        m_tempPath.clear();
        // A folder that allows changing the file but not adding one: write the file in place.
        *fallBack = true;
        return false;
    }
#ifndef Q_OS_WIN
    // The new file must be the author's file as it was: mode, owner and group.
    struct stat mine;
    if (::fstat(m_temp, &mine) != 0)
        return failCode(reason, lastError());
    if ((mine.st_uid != m_stat.st_uid || mine.st_gid != m_stat.st_gid)
        && ::fchown(m_temp, m_stat.st_uid, m_stat.st_gid) != 0) {
        *fallBack = true;
        return false;
    }
    if (::fchmod(m_temp, m_stat.st_mode & 07777) != 0)
        return failCode(reason, lastError());
#endif
    if (!writeAllNative(m_temp, pieces, &code) || !syncNative(m_temp, &code))
        return failCode(reason, code);
#ifdef Q_OS_WIN
    closeNative(m_temp);
    // The new file keeps what the author set on the old one.
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = GetFileAttributesW(wide(m_path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kept)
        && !SetFileAttributesW(wide(m_tempPath).c_str(), attributes & kept))
        return failCode(reason, lastError());
    // Systems that cannot replace a file another handle holds open (this save's own lock) get
    // the file written in place instead, still under the lock.
    if (!MoveFileExW(wide(m_tempPath).c_str(), wide(m_path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        removePath(m_tempPath);
        m_tempPath.clear();
        *fallBack = true;
        return false;
    }
#else
    if (!closeChecked(m_temp, &code))
        return failCode(reason, code);
    if (::rename(encoded(m_tempPath).constData(), encoded(m_path).constData()) != 0)
        return failCode(reason, lastError());
    // The rename itself is on disk once the folder is synced; not every file system can sync one.
    const int dir = ::open(encoded(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
#endif
    m_tempPath.clear();
    return true;
}

bool Writer::writeInPlace(const Pieces &pieces, QString *reason)
{
    int code = 0;
    if (seekStart(m_target, &code) && writeAllNative(m_target, pieces, &code)
        && setLength(m_target, totalSize(pieces), &code) && syncNative(m_target, &code))
        return true;
    const QString why = systemReason(code);
    if (m_created) {
        removePath(m_path);
        return fail(reason, why);
    }
    // Put the old content back, as it was before this save.
    int ignored = 0;
    const bool restored = seekStart(m_target, &ignored) && writeAllNative(m_target, {m_existing}, &ignored)
        && setLength(m_target, m_existing.size(), &ignored) && syncNative(m_target, &ignored);
    if (!restored)
        return fail(reason, why + QStringLiteral("\r\n元の内容を書き戻せませんでした。ファイルを確認してください。"));
    return fail(reason, why);
}

bool Writer::writeStream(bool socket, QString *reason)
{
    Pieces pieces;
    m_compose(QByteArrayView(), pieces);
    int code = 0;
#ifdef Q_OS_WIN
    Q_UNUSED(socket);
    if (!writeAllNative(m_target, pieces, &code))
        return failCode(reason, code);
    closeNative(m_target);
    return true;
#else
    if (socket) {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray name = encoded(m_path);
        if (size_t(name.size()) >= sizeof(address.sun_path))
            return failCode(reason, ENAMETOOLONG);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        m_target = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_target < 0 || ::connect(m_target, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            return failCode(reason, lastError());
    } else {
        m_target = ::open(encoded(m_path).constData(), O_WRONLY | O_CLOEXEC);
        if (m_target < 0)
            return failCode(reason, lastError());
    }
    if (!writeAllNative(m_target, pieces, &code, socket) || !closeChecked(m_target, &code))
        return failCode(reason, code);
    return true;
#endif
}

bool Writer::run(QString *reason)
{
    if (m_path.isEmpty())
        return fail(reason, QStringLiteral("ファイル名がありません。"));
#ifndef Q_OS_WIN
    // A link is followed: the file it names is the one to write, and the link stays a link.
    const QString canonical = QFileInfo(m_path).canonicalFilePath();
    if (!canonical.isEmpty())
        m_path = canonical;
#endif
    bool readOnly = false;
    switch (probe(&readOnly)) {
    case Found::Directory:
        return fail(reason, QStringLiteral("同じ名前のフォルダーがあります。ファイル名を指定してください。"));
    case Found::Stream:
        return writeStream(false, reason);
    case Found::Socket:
        return writeStream(true, reason);
    case Found::Other:
#ifdef Q_OS_WIN
        break; // opened below, which tells a device from a file
#else
        return fail(reason, QStringLiteral("通常のファイルではないため、書き込めません。"));
#endif
    case Found::Error:
        return failCode(reason, lastError());
    case Found::Regular:
        // Replacing through a temporary file would succeed even here (and root may write
        // anything), but the author marked the file read-only.
        if (readOnly && m_options.refuseReadOnly)
            return fail(reason, QStringLiteral("ファイルが読み取り専用です。"));
        break;
    case Found::Missing:
        break;
    }

    if (!openLocked(reason))
        return false;
#ifdef Q_OS_WIN
    if (GetFileType(m_target) != FILE_TYPE_DISK)
        return writeStream(false, reason);
#endif
    int code = 0;
    bool tooLarge = false;
    if (!m_created && !readAllNative(m_target, m_options.maxExistingBytes, m_existing, &code, &tooLarge)) {
        if (tooLarge)
            return fail(reason, QStringLiteral("既存のファイルが大きすぎます（%1 MB を超えています）。")
                                    .arg(m_options.maxExistingBytes >> 20));
        return failCode(reason, code);
    }
    removeStaleTemporaries();

    Pieces pieces;
    m_compose(m_existing, pieces);

    // A file this save created has nothing to keep, and hard links must keep sharing one file.
    if (!m_created && m_links <= 1) {
        bool fallBack = false;
        if (replaceThroughTemporary(pieces, &fallBack, reason))
            return true;
        if (!fallBack)
            return false;
    }
    return writeInPlace(pieces, reason);
}

} // namespace

bool write(const QString &path, const Compose &compose, QString *reason, const Options &options)
{
    Writer writer(path, compose, options);
    return writer.run(reason);
}

} // namespace velra::output
