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

#include <atomic>
#include <mutex>

// The cleanup on interrupt: a save's temporary removed before Ctrl+C or a termination ends the program.
namespace velra::platform {

using namespace posix;

namespace {

// What the signal handler removes: one slot for each write that has a temporary, set before the
// temporary exists and cleared once it is gone or renamed, so that writes on any threads may
// overlap. Plain bytes and lock-free flags, as a handler may do no more than read them and unlink.
constexpr int kSlots = 32;
char g_paths[kSlots][4096];
std::atomic<int> g_armed[kSlots];
std::mutex g_lock; // taking and giving back slots, and the handlers
int g_taken = 0;   // slots held, under the lock
bool g_held[kSlots] = {};
struct sigaction g_previous[3];
constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
static_assert(std::atomic<int>::is_always_lock_free);

void removeAndEnd(int signal)
{
    for (int i = 0; i < kSlots; ++i) {
        if (g_armed[i].exchange(0))
            ::unlink(g_paths[i]);
    }
    // The handler the program had before the first write: never this one again, so the signal ends
    // the program.
    for (int i = 0; i < 3; ++i) {
        if (kSignals[i] == signal)
            ::sigaction(signal, &g_previous[i], nullptr);
    }
    ::raise(signal);
}

} // namespace

int removeOnInterrupt(const QString &path)
{
    const QByteArray name = encoded(path);
    if (size_t(name.size()) >= sizeof g_paths[0])
        return -1;
    const std::lock_guard locked(g_lock);
    int slot = 0;
    while (slot < kSlots && g_held[slot])
        ++slot;
    if (slot == kSlots)
        return -1;
    g_held[slot] = true;
    std::memcpy(g_paths[slot], name.constData(), size_t(name.size()) + 1);
    g_armed[slot].store(1);
    if (g_taken++ == 0) {
        struct sigaction action = {};
        action.sa_handler = removeAndEnd;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < 3; ++i) {
            struct sigaction current;
            ::sigaction(kSignals[i], nullptr, &current);
            // A signal the program ignores (nohup) stays ignored.
            if (current.sa_handler == SIG_IGN || current.sa_handler == removeAndEnd)
                continue;
            ::sigaction(kSignals[i], &action, &g_previous[i]);
        }
    }
    return slot;
}

void keepOnInterrupt(int slot)
{
    if (slot < 0 || slot >= kSlots)
        return;
    const std::lock_guard locked(g_lock);
    if (!g_held[slot])
        return;
    g_armed[slot].store(0);
    g_held[slot] = false;
    if (--g_taken > 0)
        return;
    // No write left: the program's own handlers again.
    for (int i = 0; i < 3; ++i) {
        struct sigaction current;
        ::sigaction(kSignals[i], nullptr, &current);
        if (current.sa_handler == removeAndEnd)
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

} // namespace velra::platform
