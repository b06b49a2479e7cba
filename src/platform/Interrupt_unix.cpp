#include "FileSystem.h"
#include "FileSystem_unix.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

// The cleanup on interrupt: a save's temporary removed before Ctrl+C or a termination ends the program.
namespace velra::platform {

using namespace posix;

namespace {

// What the signal handler removes: set before the temporary exists, cleared after it is gone or
// renamed. Plain bytes, as a handler may call no more than unlink.
char g_interruptPath[4096];
volatile sig_atomic_t g_interruptArmed = 0;
struct sigaction g_previous[3];
constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void removeAndEnd(int signal)
{
    if (g_interruptArmed)
        ::unlink(g_interruptPath);
    g_interruptArmed = 0;
    for (int i = 0; i < 3; ++i) {
        if (kSignals[i] == signal)
            ::sigaction(signal, &g_previous[i], nullptr);
    }
    ::raise(signal);
}

} // namespace

void removeOnInterrupt(const QString &path)
{
    const QByteArray name = encoded(path);
    if (size_t(name.size()) >= sizeof g_interruptPath)
        return;
    std::memcpy(g_interruptPath, name.constData(), size_t(name.size()) + 1);
    struct sigaction action = {};
    action.sa_handler = removeAndEnd;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) {
        struct sigaction current;
        ::sigaction(kSignals[i], nullptr, &current);
        // A signal the program ignores (nohup) stays ignored.
        if (current.sa_handler == SIG_IGN)
            continue;
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
    g_interruptArmed = 1;
}

void keepOnInterrupt()
{
    if (!g_interruptArmed)
        return;
    g_interruptArmed = 0;
    for (int i = 0; i < 3; ++i) {
        struct sigaction current;
        ::sigaction(kSignals[i], nullptr, &current);
        if (current.sa_handler == removeAndEnd)
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

} // namespace velra::platform
