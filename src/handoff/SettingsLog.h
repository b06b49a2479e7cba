#pragma once

#include "model/Run.h"

#include <QByteArray>
#include <QString>

namespace velra {

namespace settingslog {

// Creates the log anew (truncating an old one) with `line` as its only line.
bool startLog(const QString &path, const LogLine &line, QString *error);
// Appends `line`, creating the log when it is missing.
bool appendLine(const QString &path, const LogLine &line, QString *error);
// Cuts the log back to its first `count` lines (a page gone back to writes its lines again).
bool keepLines(const QString &path, int count, QString *error);
// A page's lines in one step: the log's first `keep` lines, then `lines`, written whole beside it
// and renamed over it. A failure (a full disk, a file another program holds) leaves the log exactly
// as it was, so that 次へ pressed again writes the page's lines once.
bool writePageLines(const QString &path, int keep, const QList<LogLine> &lines, QString *error);
// How the log is opened: a hand-off file only when it is the user's own regular file, never
// through a link; a log named by the user (the command line) as named, a pipe too.
enum class Access { Handoff, Named };
// The log's text, decoded from CP932; the message names the file.
bool readText(const QString &path, QString &text, QString *error, Access access = Access::Handoff);
// The log's bytes as they are, refused beyond kMaxLogBytes (`bytes` then holds more than that).
// Messages name the file as `kind` names it (a settings log named by the author is a 設定ログ).
bool readBytes(const QString &path, QByteArray &bytes, QString *error, Access access = Access::Handoff,
               const QString &kind = QStringLiteral("設定ファイル"));
// Reads and parses the log at `path`; the message names the file. `upToLine` as runlog::parse takes it.
bool readRun(const QString &path, Run &run, QString *error, Access access = Access::Handoff, int upToLine = 4);

} // namespace settingslog
} // namespace velra
