#include "FileSystem.h"
#include "FileSystem_win.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <aclapi.h>

#include <csignal>
#include <cstring>

// The file primitives: open, write, sync, replace and remove, and what a name stands for.
namespace velra::platform {

using namespace win;

Handle File::invalidHandle()
{
    return INVALID_HANDLE_VALUE;
}

bool File::isOpen() const
{
    return m_handle != INVALID_HANDLE_VALUE;
}

void File::close()
{
    if (m_handle != INVALID_HANDLE_VALUE && !m_borrowed)
        CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_borrowed = false;
}

bool File::closeChecked(int *code)
{
    if (m_borrowed || m_handle == INVALID_HANDLE_VALUE) {
        close();
        return true;
    }
    const bool ok = CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    return ok || fail(code, lastError());
}

bool File::writeAll(const QList<QByteArrayView> &pieces, int *code) const
{
    for (const QByteArrayView piece : pieces) {
        const char *data = piece.data();
        qint64 left = piece.size();
        while (left > 0) {
            DWORD done = 0;
            if (!WriteFile(m_handle, data, DWORD(qMin(left, kChunk)), &done, nullptr) || done == 0) {
                const int why = lastError();
                return fail(code, why ? why : ERROR_WRITE_FAULT);
            }
            data += done;
            left -= done;
        }
    }
    return true;
}

bool File::size(qint64 *bytes, int *code) const
{
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(m_handle, &value))
        return fail(code, lastError());
    *bytes = value.QuadPart;
    return true;
}

bool File::seekStart(int *code) const
{
    return seekTo(m_handle, 0, code);
}

bool File::readSome(char *data, qint64 wanted, qint64 *done, int *code) const
{
    DWORD got = 0;
    if (!ReadFile(m_handle, data, DWORD(wanted), &got, nullptr))
        return fail(code, lastError());
    *done = got;
    return true;
}

bool File::setLength(qint64 length, int *code) const
{
    return (seekTo(m_handle, length, code) && SetEndOfFile(m_handle)) || fail(code, lastError());
}

bool File::sync(int *code) const
{
    return FlushFileBuffers(m_handle) || fail(code, lastError());
}

// Locks a range far past the end: Windows locks are mandatory for the bytes they cover, and other
// programs must still be able to read the file while a save holds it.
File::Lock File::tryLock(int *code) const
{
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFF0u;
    at.OffsetHigh = 0x7FFFFFFFu;
    if (LockFileEx(m_handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return Lock::Held;
    const int why = lastError();
    if (why == ERROR_LOCK_VIOLATION || why == ERROR_IO_PENDING)
        return Lock::Busy;
    if (why == ERROR_NOT_SUPPORTED || why == ERROR_INVALID_FUNCTION)
        return Lock::Unsupported;
    fail(code, why);
    return Lock::Failed;
}

int File::linkCount() const
{
    Identity id;
    return identityOf(m_handle, id) ? int(id.links) : 1;
}

bool File::isAtPath(const QString &path) const
{
    Identity held;
    Identity now;
    HANDLE h = openForQuery(path);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool same = identityOf(m_handle, held) && identityOf(h, now) && held.volume == now.volume
        && held.high == now.high && held.low == now.low;
    CloseHandle(h);
    return same;
}

bool File::hasExtraAttributes() const
{
    // The replacement takes the folder's inherited permissions as any new file does; alternate data
    // streams are not written by the host.
    return false;
}

// Windows names a folder by its path: the rule for links is applied where the path is resolved.

bool File::openForSave(const QString &path, bool *created, bool *device, int *code)
{
    close();
    m_handle = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE)
        return fail(code, lastError());
    *created = GetLastError() != ERROR_ALREADY_EXISTS;
    *device = GetFileType(m_handle) != FILE_TYPE_DISK;
    return true;
}

bool File::createNew(const QString &path, int *code, bool)
{
    close();
    m_handle = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return m_handle != INVALID_HANDLE_VALUE || fail(code, lastError());
}

bool File::openStream(const QString &path, bool, int *code)
{
    close();
    m_handle = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return m_handle != INVALID_HANDLE_VALUE || fail(code, lastError());
}

void File::borrow(int descriptor)
{
    close();
    m_handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    m_borrowed = true;
}

bool File::copyKeptAttributes(const File &from, bool *inPlace, int *code) const
{
    *inPlace = false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(from.m_handle, &info))
        return fail(code, lastError());
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
        | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (!(info.dwFileAttributes & kept))
        return true;
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = info.dwFileAttributes & kept;
    return SetFileInformationByHandle(m_handle, FileBasicInfo, &basic, sizeof basic) || fail(code, lastError());
}

QByteArray stamp(const QString &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data))
        return QByteArray();
    Identity id;
    HANDLE h = openForQuery(path);
    if (h != INVALID_HANDLE_VALUE) {
        identityOf(h, id);
        CloseHandle(h);
    }
    const quint64 values[] = {data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime.dwHighDateTime,
                              data.ftLastWriteTime.dwLowDateTime, id.high, id.low};
    return QByteArray(reinterpret_cast<const char *>(values), sizeof values);
}

bool nameTaken(int code)
{
    return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
}

bool makeFolder(const QString &path, int *code)
{
    if (CreateDirectoryW(wide(path).c_str(), nullptr))
        return true;
    const int why = lastError();
    return (why == ERROR_ALREADY_EXISTS && QFileInfo(path).isDir()) || fail(code, why);
}

bool removeEntry(const QString &path, int *code)
{
    if (DeleteFileW(wide(path).c_str()))
        return true;
    const int why = lastError();
    return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND || fail(code, why);
}

bool replace(const QString &from, const QString &to, bool *inPlace, int *code)
{
    *inPlace = false;
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    // Systems that cannot replace a file another handle holds open (this save's own lock) get the
    // file written in place instead, still under the lock.
    *inPlace = true;
    return fail(code, lastError());
}

void syncFolder(const QString &)
{
    // MOVEFILE_WRITE_THROUGH has put the rename on disk.
}

Word reasonWord(int code)
{
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return Word::DiskFull;
    case ERROR_ACCESS_DENIED:
        return Word::Denied;
    case ERROR_WRITE_PROTECT:
        return Word::ReadOnlyDrive;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Word::Busy;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
        return Word::NoFolder;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return Word::SameNameFile;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME:
        return Word::BadName;
    case ERROR_INVALID_HANDLE:
        return Word::NotOpen;
    default:
        return Word::Failed;
    }
}

bool syncFileSystem(const QString &, int *code)
{
    *code = 0;
    return true;
}

bool openToRead(QFile &file, const QString &path, bool streams, QString *problem)
{
    // Windows has no FIFOs in the file system: a device name is no file, a folder is said so.
    if (streams && (path == QLatin1String("-") || path == QLatin1String("/dev/stdin"))) {
        if (file.open(stdin, QIODevice::ReadOnly))
            return true;
    }
    const QString what = notARegularFile(path);
    if (what.isEmpty() && !isReservedName(path)) {
        file.setFileName(path);
        if (file.open(QIODevice::ReadOnly))
            return true;
    }
    if (problem)
        *problem = !what.isEmpty() ? what : isReservedName(path) ? QStringLiteral("デバイスで、ファイルではありません") : said(Word::CannotOpen);
    return false;
}

bool isHeldOpen(const QString &path)
{
    // Opened to write and shared every way, as a save opens it: only a program that shares it with
    // no writer refuses this.
    const HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD why = GetLastError();
        return why == ERROR_SHARING_VIOLATION || why == ERROR_LOCK_VIOLATION;
    }
    CloseHandle(h);
    return false;
}

QString notARegularFile(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return said(Word::NotFound);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return said(Word::Folder);
    return QString();
}

} // namespace velra::platform
