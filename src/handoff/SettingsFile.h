#pragma once

#include "LastRun.h"
#include "io/OutputFile.h"

#include <QString>

// Settings files the author names (NAME.velra): a run's settings kept to start a run with again,
// from the start page, the desktop or the command line. They hold what the remembered settings hold:
// both pictures' full paths, the settings log, the route and the page name of the save.
namespace velra::settingsfile {

// The extension, and the save and open dialogs' filter.
QString extension();
QString filter();
// Whether `path` names a settings file (by its extension) rather than a settings log.
bool isSettingsFile(const QString &path);

// Reads the settings file at `path`: the user's regular file of ours, of a version this program
// reads, holding a whole run, whose pictures (where they are) are files. Otherwise false, with
// `error` naming the file and what is wrong. A FIFO or a device is never opened. `run`, when
// given, is the run the file holds, as it was checked.
bool read(const QString &path, lastrun::Settings &settings, QString *error, Run *run = nullptr);

// Why `path` cannot take a settings file: a FIFO, a device, a folder or a socket stands there (a
// save into a FIFO would wait for a reader for ever). Empty for a regular file or a new name.
// Nothing is opened.
QString refusedTarget(const QString &path);

// Writes `settings` as the whole of `path` through the checked writer: what was there stays on any
// failure, a file that is not a settings file is not replaced, and only a regular file or a new
// name is written. `error` names the file.
bool write(const QString &path, const lastrun::Settings &settings, QString *error, const output::Options &options = {});

} // namespace velra::settingsfile
