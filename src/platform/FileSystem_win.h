#pragma once

#include <QDir>
#include <QString>

#include <string>
#include <windows.h>

// What the Windows files of the file primitives share.
namespace velra::platform::win {

inline std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

inline bool fail(int *code, int value)
{
    if (code)
        *code = value;
    return false;
}

inline int lastError()
{
    return int(GetLastError());
}

inline bool seekTo(HANDLE h, qint64 offset, int *code)
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

inline bool identityOf(HANDLE h, Identity &id)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info))
        return false;
    id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, info.nNumberOfLinks};
    return true;
}

inline HANDLE openForQuery(const QString &path)
{
    return CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// CON, PRN, AUX, COM1-9 and LPT1-9, with any extension: devices in every folder.
bool isReservedName(const QString &path);
// The account the program runs as, or the owner it gives new files.
bool isOwnSid(PSID owner);

} // namespace velra::platform::win
