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

// Whose a file is: the hand-off files the program's own, and the documents it may hand to another program.
namespace velra::platform {

using namespace win;

// The account the program runs as, and the owner it gives new files (an elevated administrator's
// files belong to the Administrators group).
bool win::isOwnSid(PSID owner)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    bool own = false;
    for (const TOKEN_INFORMATION_CLASS which : {TokenUser, TokenOwner}) {
        DWORD size = 0;
        GetTokenInformation(token, which, nullptr, 0, &size);
        std::string buffer(size, '\0');
        if (size == 0 || !GetTokenInformation(token, which, buffer.data(), size, &size))
            continue;
        const PSID sid = which == TokenUser ? reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid
                                            : reinterpret_cast<TOKEN_OWNER *>(buffer.data())->Owner;
        if (EqualSid(owner, sid)) {
            own = true;
            break;
        }
    }
    CloseHandle(token);
    return own;
}

namespace {

bool ownedByUser(HANDLE h)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return false;
    const bool own = owner && isOwnSid(owner);
    LocalFree(descriptor);
    return own;
}

// What stands at an open name when it is not the user's own regular file.
QString notOurs(HANDLE h)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK)
        return said(Word::NotRegular);
    if (!GetFileInformationByHandle(h, &info))
        return reasonText(lastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return said(Word::LinkRefused);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return said(Word::Folder);
    if (!ownedByUser(h))
        return said(Word::OthersFile);
    return QString();
}

// A link or junction planted under the name is opened as itself, and refused.
HANDLE openOwnHandle(const QString &path, bool write, bool create, QString *problem, int *code)
{
    HANDLE h = CreateFileW(wide(path).c_str(), write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int why = lastError();
        if (problem)
            *problem = reasonText(why);
        fail(code, why);
        return INVALID_HANDLE_VALUE;
    }
    const QString what = notOurs(h);
    if (!what.isEmpty()) {
        CloseHandle(h);
        if (problem)
            *problem = what;
        fail(code, ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

} // namespace

bool File::openOwn(const QString &path, bool create, QString *problem, int *code)
{
    close();
    m_handle = openOwnHandle(path, true, create, problem, code);
    return m_handle != INVALID_HANDLE_VALUE;
}

bool openPrivate(QFile &file, const QString &path, bool write, bool truncate, bool append, QString *problem)
{
    HANDLE h = openOwnHandle(path, write, write, problem, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    QString what;
    if (write && truncate && !SetEndOfFile(h))
        what = reasonText(lastError());
    if (what.isEmpty() && append) {
        LARGE_INTEGER zero{};
        SetFilePointerEx(h, zero, nullptr, FILE_END);
    }
    if (!what.isEmpty()) {
        CloseHandle(h);
        if (problem)
            *problem = what;
        return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), write ? _O_RDWR | _O_BINARY : _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        if (problem)
            *problem = said(Word::CannotOpen);
        return false;
    }
    QIODevice::OpenMode mode = write ? QIODevice::ReadWrite : QIODevice::ReadOnly;
    if (append)
        mode |= QIODevice::Append;
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        if (problem)
            *problem = said(Word::CannotOpen);
        return false;
    }
    return true;
}

QString notOwnFile(const QString &path)
{
    HANDLE h = CreateFileW(wide(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int why = lastError();
        return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND ? QString() : reasonText(why);
    }
    const QString what = notOurs(h);
    CloseHandle(h);
    return what;
}

bool isTrustedDocument(const QString &path)
{
    // Folders beside the program are guarded by their access lists, which the installer sets.
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool othersMayWriteIn(const QString &)
{
    // Windows folders that others may write into are guarded by their access lists, which the
    // probe that makes a file in the folder cannot see; the hand-off files are opened as files only.
    return false;
}

} // namespace velra::platform
