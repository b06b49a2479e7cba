#include "Helper.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <cstdlib>
#include <unistd.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace velra::platform {
namespace {

constexpr char kCaller[] = "VELRA_CALLER";

} // namespace

void tieHelper(QProcess &process)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kCaller), QString::number(qint64(::getpid())));
    process.setProcessEnvironment(environment);
#ifdef __linux__
    // In the child, before exec: the kernel sends TERM when the caller ends.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
}

void helperStarted(QProcess &)
{
}

void endIfCallerGone()
{
    // The caller may have ended before the death signal was asked for: then the helper has been
    // handed to another parent already.
    const QByteArray caller = qgetenv(kCaller);
    bool ok = false;
    const qint64 pid = caller.toLongLong(&ok);
    if (ok && pid > 0 && qint64(::getppid()) != pid)
        std::_Exit(1);
}

} // namespace velra::platform
