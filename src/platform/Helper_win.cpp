#include "Helper.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>
#include <windows.h>

namespace velra::platform {
namespace {

constexpr char kCaller[] = "VELRA_CALLER";

// One job for the program's helpers, never closed by hand: when the program ends, however it ends,
// the system closes it, and the job's processes end with it.
HANDLE helperJob()
{
    static const HANDLE job = [] {
        HANDLE made = CreateJobObjectW(nullptr, nullptr);
        if (made) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        }
        return made;
    }();
    return job;
}

} // namespace

void tieHelper(QProcess &process)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kCaller), QString::number(qint64(GetCurrentProcessId())));
    process.setProcessEnvironment(environment);
}

void helperStarted(QProcess &process)
{
    const HANDLE job = helperJob();
    if (!job)
        return;
    if (HANDLE child = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, DWORD(process.processId()))) {
        AssignProcessToJobObject(job, child);
        CloseHandle(child);
    }
}

void endIfCallerGone()
{
    bool ok = false;
    const qint64 pid = qgetenv(kCaller).toLongLong(&ok);
    if (!ok || pid <= 0)
        return;
    HANDLE caller = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    // Only a process that is not there any more is gone: a refusal to open it (access, a busy
    // system) says nothing about it, and ending then would fail a command that was fine.
    const bool gone = caller ? WaitForSingleObject(caller, 0) == WAIT_OBJECT_0 : GetLastError() == ERROR_INVALID_PARAMETER;
    if (caller)
        CloseHandle(caller);
    if (gone)
        std::_Exit(1);
}

} // namespace velra::platform
