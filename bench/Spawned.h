#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

// A whole process as the benchmarks time it: started directly (no shell, no Qt process machinery),
// one of its standard streams sent to /dev/null, waited for with the system's account of it.
namespace velra::bench {

struct Ran
{
    bool ok = false; // ended with status 0
    double seconds = 0;
    double peakMB = 0; // the child's own high-water mark (after exec it keeps the spawner's too)
};

inline Ran runProgram(const QString &program, const QStringList &args, int silenced)
{
    std::vector<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString &arg : args)
        bytes.push_back(QFile::encodeName(arg));
    std::vector<char *> argv;
    for (QByteArray &arg : bytes)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, silenced, "/dev/null", O_WRONLY, 0);
    Ran ran;
    QElapsedTimer took;
    took.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return ran;
    int status = 0;
    rusage usage{};
    const bool waited = ::wait4(pid, &status, 0, &usage) == pid;
    ran.seconds = double(took.nsecsElapsed()) / 1e9;
    ran.ok = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    ran.peakMB = double(usage.ru_maxrss) / 1024.0;
    return ran;
}

} // namespace velra::bench
