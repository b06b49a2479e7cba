#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdio>

// Standard output and error as the command-line programs use them, the same on every system.
namespace velra::console {

// Bytes to standard output exactly as given: no CR added before each LF (Windows' text mode).
bool writeBytes(std::FILE *stream, QByteArrayView bytes);

// Text that reads correctly wherever it goes: a Windows console gets it as Unicode; a pipe or a
// file on Windows gets the ANSI code page where that holds every character (what `type` shows on
// a Japanese Windows), else UTF-8, with CR LF line ends; other systems get the locale's encoding.
bool writeText(std::FILE *stream, const QString &text);

// CP932 script text: the bytes as they are, except to a Windows console, which shows it decoded
// (written byte by byte it would split two-byte characters).
bool writeScript(std::FILE *stream, QByteArrayView cp932);

// Whether the stream is a terminal (a console on Windows), where a line may be written over.
bool isTerminal(std::FILE *stream);

// A Windows GUI program starts without a console; one started from a console writes there (for
// --version) by attaching to it. Does nothing where standard output already leads somewhere.
void attachParentConsole();

// The arguments after the program's name as they were given (the application made already). Qt's
// own list drops a U+FEFF at the start of one, which names another file. An argument whose bytes
// are not text (on systems that pass bytes) would come back as another name: the first such is
// left in `unreadable`, as raw bytes, for the caller to refuse.
QStringList arguments(int argc, char *argv[], QByteArray *unreadable);

} // namespace velra::console
