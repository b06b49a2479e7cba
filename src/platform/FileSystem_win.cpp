#include "FileSystem.h"

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

namespace velra::platform {
namespace {

std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

bool fail(int *code, int value)
{
    if (code)
        *code = value;
    return false;
}

int lastError()
{
    return int(GetLastError());
}

bool seekTo(HANDLE h, qint64 offset, int *code)
{
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || fail(code, lastError());
}

struct Identity
{
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;
    DWORD links = 0;
};

bool identityOf(HANDLE h, Identity &id)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info))
        return false;
    id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, info.nNumberOfLinks};
    return true;
}

HANDLE openForQuery(const QString &path)
{
    return CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

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
Folder::~Folder() = default;

bool Folder::open(const QString &path, int *, bool)
{
    m_path = path;
    return true;
}

bool File::openForSave(const Folder &in, const QString &name, bool *created, bool *device, int *code)
{
    return openForSave(in.pathOf(name), created, device, code);
}

bool File::createNew(const Folder &in, const QString &name, int *code, bool asNewFile)
{
    return createNew(in.pathOf(name), code, asNewFile);
}

bool File::isAtName(const Folder &in, const QString &name) const
{
    return isAtPath(in.pathOf(name));
}

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

namespace {

// CON, PRN, AUX and COM1-9, LPT1-9 name devices in every folder, with any extension: a save would
// go to the device, or nowhere. NUL is the sink a script may mean.
bool isReservedName(const QString &path)
{
    QString name = QDir::toNativeSeparators(path).section(QLatin1Char('\\'), -1);
    name = name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    if (name == QLatin1String("CON") || name == QLatin1String("PRN") || name == QLatin1String("AUX"))
        return true;
    return name.size() == 4 && (name.startsWith(QLatin1String("COM")) || name.startsWith(QLatin1String("LPT")))
        && name[3] >= QLatin1Char('1') && name[3] <= QLatin1Char('9');
}

// A symbolic link or a junction, followed to the file it names as the system would: the save goes
// to that file, and the link stays a link.
Target followLink(const QString &path)
{
    Target target;
    target.path = path;
    HANDLE h = CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int why = lastError();
        if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) {
            target.kind = Target::Kind::Refused;
            target.reason = said(Word::DanglingLink);
        } else {
            target.kind = Target::Kind::Failed;
            target.code = why;
        }
        return target;
    }
    std::wstring name(MAX_PATH, L'\0');
    DWORD size = GetFinalPathNameByHandleW(h, name.data(), DWORD(name.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (size >= name.size()) {
        name.resize(size + 1);
        size = GetFinalPathNameByHandleW(h, name.data(), DWORD(name.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    const int why = lastError();
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (size == 0 || size >= name.size() || !known) {
        target.kind = Target::Kind::Failed;
        target.code = size == 0 ? why : ERROR_FILENAME_EXCED_RANGE;
        return target;
    }
    name.resize(size);
    QString resolved = QString::fromStdWString(name);
    if (resolved.startsWith(QLatin1String("\\\\?\\UNC\\")))
        resolved = QStringLiteral("\\\\") + resolved.mid(8);
    else if (resolved.startsWith(QLatin1String("\\\\?\\")))
        resolved = resolved.mid(4);
    target.path = QDir::fromNativeSeparators(resolved);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        target.kind = Target::Kind::Directory;
        return target;
    }
    target.kind = Target::Kind::Regular;
    target.readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    return target;
}

std::function<LinkFacts(const QString &)> &linkFactsSeam()
{
    static std::function<LinkFacts(const QString &)> facts;
    return facts;
}

bool isOwnSid(PSID owner);

// Whether the access list lets everyone, or every signed-in user, make entries in the folder.
bool openToOthers(PACL dacl)
{
    if (!dacl)
        return true; // no list: anyone may do anything
    const DWORD adds = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | GENERIC_WRITE | GENERIC_ALL;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void *ace = nullptr;
        if (!GetAce(dacl, i, &ace) || static_cast<ACE_HEADER *>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        const auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(ace);
        if (!(allowed->Mask & adds))
            continue;
        const PSID sid = PSID(const_cast<DWORD *>(&allowed->SidStart));
        for (const WELL_KNOWN_SID_TYPE everyone : {WinWorldSid, WinAuthenticatedUserSid, WinBuiltinUsersSid}) {
            if (IsWellKnownSid(sid, everyone))
                return true;
        }
    }
    return false;
}

// What a part of a path is: a symbolic link or a junction, who made it, and who may write beside it.
LinkFacts linkFactsOf(const QString &part)
{
    if (linkFactsSeam())
        return linkFactsSeam()(part);
    LinkFacts facts;
    const DWORD attributes = GetFileAttributesW(wide(part).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return facts;
    facts.isLink = true;
    PSID linkOwner = nullptr;
    PSECURITY_DESCRIPTOR linkDescriptor = nullptr;
    HANDLE h = CreateFileW(wide(part).c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &linkOwner, nullptr, nullptr, nullptr, &linkDescriptor);
        CloseHandle(h);
    }
    facts.mine = linkOwner && isOwnSid(linkOwner);
    if (!facts.mine) {
        // Unknown owners count as strangers; a folder whose list cannot be read counts as open.
        const QString folder = QFileInfo(part).path();
        PSID folderOwner = nullptr;
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR folderDescriptor = nullptr;
        std::wstring name = wide(folder);
        if (GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &folderOwner, nullptr, &dacl, nullptr, &folderDescriptor)
            == ERROR_SUCCESS) {
            facts.folderOpen = openToOthers(dacl);
            facts.byFolderOwner = linkOwner && folderOwner && EqualSid(linkOwner, folderOwner);
            LocalFree(folderDescriptor);
        } else {
            facts.folderOpen = true;
        }
    }
    if (linkDescriptor)
        LocalFree(linkDescriptor);
    return facts;
}

// The first link of `path`'s folders that the rule does not let be followed; empty when there is none.
QString refusedLinkIn(const QString &path)
{
    const QString forward = QDir::fromNativeSeparators(path);
    QStringList parts = forward.split(QLatin1Char('/'));
    parts.removeLast();
    // The root is no link to judge: a drive ("C:"), a share ("//server/share"), "/".
    qsizetype first = 0;
    QString at;
    if (forward.startsWith(QLatin1String("//"))) {
        first = qMin<qsizetype>(4, parts.size());
        at = parts.mid(0, first).join(QLatin1Char('/'));
    } else if (!parts.isEmpty() && (parts.front().isEmpty() || parts.front().endsWith(QLatin1Char(':')))) {
        first = 1;
        at = parts.front();
    }
    for (qsizetype i = first; i < parts.size(); ++i) {
        if (parts[i].isEmpty() || parts[i] == QLatin1String("."))
            continue;
        at = at.isEmpty() && i == 0 ? parts[i] : at + QLatin1Char('/') + parts[i];
        if (!mayFollow(linkFactsOf(at)))
            return at;
    }
    return QString();
}

} // namespace

void testing::setLinkFacts(std::function<LinkFacts(const QString &part)> facts)
{
    linkFactsSeam() = std::move(facts);
}

Target classify(const QString &path)
{
    Target target;
    target.path = path;
    QString reason;
    if (!resolvedPath(path, &target.path, &reason) || !mayFollow(linkFactsOf(path))) {
        target.kind = Target::Kind::Refused;
        target.reason = reason.isEmpty() ? QStringLiteral("ほかのユーザーが作ったリンクのため、たどりません。") : reason;
        return target;
    }
    if (isReservedName(path)) {
        target.kind = Target::Kind::Refused;
        target.reason = QStringLiteral("Windows の予約された名前のため保存できません。");
        return target;
    }
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const int why = lastError();
        // Devices such as NUL have no attributes to read; opening them tells what they are.
        target.kind = why == ERROR_FILE_NOT_FOUND ? Target::Kind::Missing : Target::Kind::Regular;
        return target;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return followLink(path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        target.kind = Target::Kind::Directory;
        return target;
    }
    target.kind = Target::Kind::Regular;
    target.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return target;
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

bool removeEntry(const QString &path, int *code)
{
    if (DeleteFileW(wide(path).c_str()))
        return true;
    const int why = lastError();
    return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND || fail(code, why);
}

bool removeEntry(const Folder &in, const QString &name, int *code)
{
    return removeEntry(in.pathOf(name), code);
}

bool replace(const Folder &in, const QString &from, const QString &to, bool *inPlace, int *code)
{
    return replace(in.pathOf(from), in.pathOf(to), inPlace, code);
}

void syncFolder(const Folder &)
{
    // MOVEFILE_WRITE_THROUGH has put the rename on disk.
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
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME:
        return Word::BadName;
    case ERROR_INVALID_HANDLE:
        return Word::NotOpen;
    default:
        return Word::Failed;
    }
}

void removeOnInterrupt(const QString &)
{
}

void keepOnInterrupt()
{
}

namespace {

// The account the program runs as, and the owner it gives new files (an elevated administrator's
// files belong to the Administrators group).
bool isOwnSid(PSID owner)
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

bool resolvedPath(const QString &path, QString *resolved, QString *reason)
{
    // Windows follows the links itself: the path stays as it is once none of its folders' links is
    // refused.
    if (const QString link = refusedLinkIn(path); !link.isEmpty()) {
        *reason = QStringLiteral("途中のフォルダー「%1」がほかのユーザーが作ったリンクのため、たどりません。").arg(QDir::toNativeSeparators(link));
        return false;
    }
    *resolved = path;
    return true;
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

QString notARegularFile(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return said(Word::NotFound);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return said(Word::Folder);
    return QString();
}

bool othersMayReplaceIn(const QString &)
{
    // Windows folders that others may write into are guarded by their access lists, which the
    // probe that makes a file in the folder cannot see; the hand-off files are opened as files only.
    return false;
}

} // namespace velra::platform
