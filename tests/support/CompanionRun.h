#pragma once

#include <QProcess>
#include <QStringList>

#include <memory>

// Runs of the command-line companion (VELRA_SCRIPT, set by the build) for its tests.
namespace velra::test {

// The settings log of the README's worked example: a 100 x 50 picture two steps of 10 to the left.
inline const QByteArray kWorkedExampleLog =
    "\"scroll.bmp\",\"100\",\"50\"\r\n\"back.bmp\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n3,\"10\",1,3,\"2\"\r\n";

struct Ran
{
    int code = -1; // -1 when the program crashed or did not end
    QByteArray out;
    QByteArray err;
};

// Starts the companion; `prefix` runs it through another program (setpriv ... as another user).
inline std::unique_ptr<QProcess> startRun(const QStringList &args, const QStringList &prefix = {})
{
    auto p = std::make_unique<QProcess>();
    if (prefix.isEmpty())
        p->start(QStringLiteral(VELRA_SCRIPT), args);
    else
        p->start(prefix.front(), prefix.mid(1) + QStringList{QStringLiteral(VELRA_SCRIPT)} + args);
    return p;
}

inline Ran finish(std::unique_ptr<QProcess> p)
{
    p->waitForFinished(60000);
    return {p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1, p->readAllStandardOutput(),
            p->readAllStandardError()};
}

inline Ran run(const QStringList &args, const QStringList &prefix = {})
{
    return finish(startRun(args, prefix));
}

} // namespace velra::test
