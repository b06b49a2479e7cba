#pragma once

#include "handoff/LastRun.h"
#include "io/OutputFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the command-line programs share: `velra-script` (generate, save) and the drawing part that
// `velra-script preview` hands over to, which alone loads Qt Gui.
namespace velra::companion {

extern const char kUsage[];

// "velra-script: WHAT" and where the usage is, on standard error; exit status 2.
int usageError(const QString &what);
// One line on standard error, control characters from the input escaped; exit status 1.
int failure(QString message);
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
// Qt's own warnings are not for the author's terminal.
void quiet(QtMsgType, const QMessageLogContext &, const QString &);
// What both programs do first, once their application exists: a reader that goes away (a closed
// pipe) becomes a failed write, and arguments whose bytes are not text in the locale (they would
// come back as other names) are refused. 0 to go on, else the failure's exit status (said on
// standard error).
int begin(int argc, char *argv[], const QStringList &args);

} // namespace velra::companion
