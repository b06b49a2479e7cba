#include "FileSystem.h"
#include "FileSystem_win.h"

#include <sddl.h>

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

// The rule for links: which symbolic links and junctions a save follows, one part of the path at a time.
namespace velra::platform {

using namespace win;

// CON, PRN, AUX and COM1-9, LPT1-9 name devices in every folder, with any extension: a save would
// go to the device, or nowhere. NUL is the sink a script may mean.
bool win::isReservedName(const QString &path)
{
    QString name = QDir::toNativeSeparators(path).section(QLatin1Char('\\'), -1);
    name = name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    if (name == QLatin1String("CON") || name == QLatin1String("PRN") || name == QLatin1String("AUX"))
        return true;
    return name.size() == 4 && (name.startsWith(QLatin1String("COM")) || name.startsWith(QLatin1String("LPT")))
        && name[3] >= QLatin1Char('1') && name[3] <= QLatin1Char('9');
}

namespace {

// The system's own accounts, which own what Windows itself made: SYSTEM, Administrators and
// TrustedInstaller.
bool isSystemSid(PSID sid)
{
    if (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
        return true;
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return false;
    const bool installer = std::wstring(text) == L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    LocalFree(text);
    return installer;
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
    facts.bySystem = linkOwner && isSystemSid(linkOwner);
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

} // namespace velra::platform
