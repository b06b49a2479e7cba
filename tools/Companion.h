#pragma once

#include "handoff/LastRun.h"
#include "io/OutputFile.h"

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <functional>

// What the command-line programs share: `velra-script` (generate, save) and the drawing part that
// `velra-script preview` hands over to, which alone loads Qt Gui.
namespace velra::companion {

extern const char kUsage[];

// "velra-script: WHAT" and where the usage is, on standard error; exit status 2.
int usageError(const QString &what);
// A message of the wizard's as one line of a terminal: its lines joined, control characters from
// the input escaped.
QString oneLine(QString message);
// oneLine(message) on standard error; exit status 1.
int failure(const QString &message);
// The whole text to standard output, or the run has failed.
int printed(const QString &text);
// How the saves wait for a file another program holds: said once on standard error.
output::Options waitingOptions();
// Writes `bytes` as the whole of `path`: checked, the old file kept on failure, never replacing a
// device. `readsExisting` false: the old bytes are not needed (read only to put them back).
bool writeFile(const QString &path, const QByteArray &bytes, QString *error, bool readsExisting = true);
// The run of `path`: a settings log, or a settings file (NAME.velra), whose settings `named` (when
// given) then holds. False with `error` naming the file.
bool readRun(const QString &path, Run &run, lastrun::Settings *named, QString *error);
// An option as the usage names it, with its dashes: "-o", "--book".
QString shownOption(const QCommandLineOption &option);

// What a command takes: its options (those that take a value have a value name) and one LOG.
struct Grammar
{
    QList<QCommandLineOption> options;
    // A value given empty is a value missing (a file name cannot be empty).
    bool emptyIsMissing = true;
    // The command's words for an option given twice and for an option without its value, each
    // given the option as the usage names it.
    std::function<QString(const QString &option)> twice;
    std::function<QString(const QString &option)> noValue;
};

// A command's arguments as read.
class Arguments
{
public:
    bool isSet(const QCommandLineOption &option) const { return m_parser.isSet(option); }
    QString value(const QCommandLineOption &option) const { return m_parser.value(option); }
    const QString &log() const { return m_log; }

private:
    friend QString readArguments(const QStringList &args, const Grammar &grammar, Arguments &read);
    QCommandLineParser m_parser;
    QString m_log;
};

// Reads a command's arguments with QCommandLineParser. An empty result, or the usage error to say:
// an argument that is no option of the command, a second LOG, an option twice or without its value.
QString readArguments(const QStringList &args, const Grammar &grammar, Arguments &read);

// Qt's own warnings are not for the author's terminal.
void quiet(QtMsgType, const QMessageLogContext &, const QString &);
// What both programs do first, once their application exists: a reader that goes away (a closed
// pipe) becomes a failed write, and the arguments are read as given into `args`, those whose bytes
// are not text in the locale (they would come back as other names) refused. 0 to go on, else the
// failure's exit status (said on standard error).
int begin(int argc, char *argv[], QStringList *args);

} // namespace velra::companion
