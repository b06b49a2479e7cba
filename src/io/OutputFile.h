#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// Writing a whole file that the author may already have: nothing on disk is lost, whatever fails.
//
// A regular file is locked (an advisory lock, so that two saves into one file follow each other),
// read whole, and replaced by a complete new file written beside it, flushed and synced, every
// result checked. Where a replacement would change what the author set on the file (its owner and
// group, its hard links) or the folder allows no new file, the file is written in place instead,
// and its old content is written back if that fails. A character device, a FIFO or a socket is
// written as a stream: nothing is read from it and nothing replaces it; so is standard output named
// as /dev/stdout or /dev/fd/1. A folder is refused. A link is followed to its file (and stays a
// link), except one that leads nowhere or that another user put in a folder shared by everyone.
namespace velra::platform {
class Folder;
}

namespace velra::output {

// An existing file larger than this is refused rather than read into memory.
constexpr qint64 kMaxExistingBytes = qint64(1) << 30;

// The new content, in pieces written one after another; the views must stay valid until written.
using Pieces = QList<QByteArrayView>;

// Builds the new content from the old (empty for a new file or a stream).
using Compose = std::function<void(QByteArrayView existing, Pieces &pieces)>;

struct Options
{
    // How long a lock that nobody lets go of is waited for. Saves into one file that follow each
    // other (the file changes) start it again.
    int lockPatienceMs = 5000;
    // Called while the save waits for another program's lock, from a second on: what is waited for
    // ("ほかのプログラムが「NAME」を使っています…"). Returning false gives the save up.
    std::function<bool(const QString &waitingFor)> waiting;
    // Whether the new content is built from the old (an append): a file replaced whole is not
    // read, unless it must be written in place, where its old content is put back on failure.
    bool readsExisting = true;
    // Looks at the old content under the lock, before anything is written: a reason returned
    // refuses the write and leaves the file as it was.
    std::function<QString(QByteArrayView existing)> refuse;
    // Only a file: a FIFO, a socket, a device or a standard stream is refused, never opened (the
    // wizard's saves and exports; generate -o writes to them).
    bool filesOnly = false;
};

// Writes the composed content to `path`. On failure returns false, leaves what was at `path` as it
// was, and sets `reason` to a Japanese sentence (without the file's name).
bool write(const QString &path, const Compose &compose, QString *reason, const Options &options = {});
// The same with `bytes` as the whole new content.
bool writeBytes(const QString &path, QByteArrayView bytes, QString *reason, const Options &options = {});

// How a file replaced whole is made durable: synced before it replaces the old (a file the program
// keeps), or left to one sync at the end of a row of new files (syncFilesUnder).
enum class Durability { Synced, InRow };
// The replace steps of every whole-file write: `bytes` into a new file made as `temporary` in the
// folder `in` (never opened through whatever stands there), synced as `durability` says, closed,
// and renamed over `name` there; a link at `name` is replaced, never written through. On failure
// the temporary is closed and removed, what was at `name` stays, and `code` is the system's error;
// a temporary that could not be removed is named in `leftBehind` (a sentence to add to the reason).
// A Synced file is its owner's alone; an InRow file gets the access a new file gets.
bool replaceWhole(const platform::Folder &in, const QString &temporary, const QString &name, QByteArrayView bytes,
                  Durability durability, int *code, QString *leftBehind = nullptr);

// One of many new files written in a row (preview --all's frames) into the folder `in`: under a
// temporary name beside it, renamed over `name` once whole, so that a failure leaves no half file
// under its name. Not synced one by one: syncFilesUnder() makes the lot durable once at the end.
// On failure the temporary is gone and `reason` says why.
bool writeInRow(const platform::Folder &in, const QString &name, QByteArrayView bytes, QString *reason);
// Makes what writeInRow() wrote under `folder` durable: one sync of its file system (Linux), where
// a sync a file would cost hundreds of thousands of syncs. False when the system refuses it.
bool syncFilesUnder(const QString &folder, QString *reason);

// What a write of files only (Options::filesOnly) to `path` would refuse at once, found without
// writing anything: a read-only file or drive, a link that must not be followed, what is no file (a
// FIFO, a socket, a device), a file another program keeps open. Empty when nothing is seen; the write still checks everything again. `reason` as write()'s.
QString refusalBeforeWriting(const QString &path);

// A name typed without an extension gets the file kind's, as a Windows dialog would give it; a
// folder's name is left as it is (the write then refuses it).
QString withExtension(const QString &path, const QString &extension);

// The name of the temporary file written beside `fileName` before it replaces it: the same for
// every save into one file (saves into one file take turns), another for every other name.
QString temporaryName(const QString &fileName);

// A short Japanese sentence for a system error code (errno, or GetLastError on Windows), with the
// system's own words after it.
QString systemReason(int code);

} // namespace velra::output
