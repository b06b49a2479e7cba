#include "FrontDoor.h"

#include <windows.h>

namespace velra::frontdoor {

struct FrontDoor::Private
{
};

// Windows lets the copy the user has just started hand the foreground to another process's window:
// the knocking copy does the work, the running one needs no door.
FrontDoor::FrontDoor(const QString &, std::function<void()>, QObject *parent)
    : QObject(parent)
{
}

FrontDoor::~FrontDoor() = default;

namespace {

struct Search
{
    DWORD pid = 0;
    HWND found = nullptr;
};

BOOL CALLBACK visibleWindowOf(HWND window, LPARAM data)
{
    auto *search = reinterpret_cast<Search *>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window) && !GetWindow(window, GW_OWNER)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool knock(const QString &, qint64 pid)
{
    Search search;
    search.pid = DWORD(pid);
    if (pid <= 0)
        return false;
    EnumWindows(visibleWindowOf, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return false;
    if (IsIconic(search.found))
        ShowWindow(search.found, SW_RESTORE);
    return SetForegroundWindow(search.found);
}

} // namespace velra::frontdoor
