#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

class QFile;

// The file primitives the careful writers and the hand-off files are built from, one implementation
// per system (FileSystem_unix.cpp, FileSystem_win.cpp). Codes are errno or GetLastError values.
namespace velra::platform {

// Files larger than this are read and written in pieces, as some systems refuse single huge calls.
constexpr qint64 kChunk = qint64(1) << 24;

#ifdef Q_OS_WIN
using Handle = void *;
#else
using Handle = int;
#endif

// A folder held open: what is made, opened, replaced or removed in it by name goes into this
// folder, whatever its path names meanwhile. Opened from a path with no link in it (what classify()
// and resolvedPath() give), one part at a time; a link found there now was swapped in since the path
// was resolved, and is refused (ELOOP). On Windows the folder is its path.
class Folder
{
public:
    Folder() = default;
    ~Folder();
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    // `followingLinks`: a folder of the program's own (the per-user folder), taken as the system
    // names it, links in its path included.
    bool open(const QString &path, int *code, bool followingLinks = false);
    const QString &path() const { return m_path; }
    // The path of `name` in the folder, for what only takes paths (messages, the interrupt handler).
    QString pathOf(const QString &name) const;
    Handle handle() const { return m_handle; }

private:
    QString m_path;
    Handle m_handle = Handle(-1);
};

// An open file, closed when it goes.
class File
{
public:
    File() = default;
    ~File() { close(); }
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    bool isOpen() const;
    Handle handle() const { return m_handle; }
    void close();
    // A close that reports what a buffered write failed with (network file systems report late).
    bool closeChecked(int *code);

    // Every byte, in order; a short write is retried, an empty one is an error.
    bool writeAll(const QList<QByteArrayView> &pieces, int *code) const;
    // The whole file from its start, refused (tooLarge) when it holds more than `max` bytes.
    bool readAll(qint64 max, QByteArray &out, int *code, bool *tooLarge) const;
    // From the start: the pieces, the length cut to theirs, synced. The in-place write.
    bool rewrite(const QList<QByteArrayView> &pieces, int *code) const;
    bool sync(int *code) const;

    // The primitives readAll() and rewrite() are made of (FileSystem.cpp, the same on every system).
    bool size(qint64 *bytes, int *code) const;
    bool seekStart(int *code) const;
    // Up to `wanted` bytes; `done` is 0 at the end.
    bool readSome(char *data, qint64 wanted, qint64 *done, int *code) const;
    // The file cut (or grown) to `length` bytes.
    bool setLength(qint64 length, int *code) const;

    enum class Lock { Held, Busy, Unsupported, Failed };
    // An exclusive advisory lock, without waiting.
    Lock tryLock(int *code) const;

    // Number of names the file has (hard links).
    int linkCount() const;
    // Whether `path` still names this open file (another save may have replaced it meanwhile).
    bool isAt(const QString &path) const;
    bool isAt(const Folder &in, const QString &name) const;
    // The user's own regular file at `path`, for reading and writing: never through a link, never
    // a FIFO or a device (refused before anything opens them), never another user's file. Created
    // (for the user alone) when missing and `create`. `problem` says what stands there instead.
    bool openOwn(const QString &path, bool create, QString *problem, int *code = nullptr);
    // The file carries what a replacement cannot carry over: access control lists, extended
    // attributes. Then it is written in place.
    bool hasExtraAttributes() const;

    // Opens the regular file at `path` (never through a link in its last part) for reading and
    // writing, creating it empty when missing (`created`). `device` is set instead when the name is
    // a device (Windows' NUL): the file is then open for writing as a stream.
    bool openForSave(const QString &path, bool *created, bool *device, int *code);
    bool openForSave(const Folder &in, const QString &name, bool *created, bool *device, int *code);
    // A new file that must not exist yet (O_EXCL), readable and writable by its owner only; or,
    // `asNewFile`, with the access a new file gets (the umask's).
    bool createNew(const QString &path, int *code, bool asNewFile = false);
    bool createNew(const Folder &in, const QString &name, int *code, bool asNewFile = false);
    // For writing a stream: a character device, a FIFO, a connected local socket.
    bool openStream(const QString &path, bool socket, int *code);
    // Standard output or error (or another open descriptor) for writing, left open when done.
    void borrow(int descriptor);

    // The replacement keeps what the author set on the old file: owner, group, mode (attributes on
    // Windows). False with `inPlace` when that cannot be done, so that the caller writes in place.
    bool copyKeptAttributes(const File &from, bool *inPlace, int *code) const;

private:
    bool isAtPath(const QString &path) const;
    bool isAtName(const Folder &in, const QString &name) const;
#ifndef Q_OS_WIN
    // The file just opened kept when it is a regular file, and made blocking again.
    bool keepIfRegular(int *code);
#endif

    Handle m_handle = invalidHandle();
    bool m_borrowed = false;
    bool m_socket = false;
    static Handle invalidHandle();
};

// What a save target is, after following links the way a careful program does.
struct Target
{
    enum class Kind {
        Missing,    // nothing there: a new file
        Regular,
        Directory,
        Stream,     // character device or FIFO: written as a stream
        Socket,     // a local socket: connected to and written as a stream
        Descriptor, // standard output, standard error, /dev/fd/N: the open descriptor itself
        Other,      // a block device or anything else not to be written
        Refused,    // `reason` says why (a link that must not be followed, a dangling link)
        Failed,     // `code` says why
    };
    Kind kind = Kind::Missing;
    QString path;        // the file itself, with every link followed
    int descriptor = -1; // Descriptor
    bool readOnly = false;
    bool readOnlyDrive = false; // Regular: the whole drive (mount) takes no writes
    int code = 0;
    QString reason;
};
// The rule for links, on every system: a link in a folder that others may write into is followed
// only when it is the author's or the system's (root; on Windows SYSTEM, Administrators,
// TrustedInstaller). The owner of such a folder is not trusted for its links: stricter than the
// kernel's rule for sticky folders, on purpose, since anyone may make a folder everyone may write
// into and put a link in it.
struct LinkFacts
{
    bool isLink = false;
    bool mine = false;       // the author made it
    bool bySystem = false;   // the system's own account made it
    bool folderOpen = false; // others may make entries in that folder
};
bool mayFollow(const LinkFacts &facts);

// Links are followed one part at a time: a link anywhere in the path (a folder's or the file's) in
// a folder that others may write into is followed only when it is the author's or that folder
// owner's; otherwise the target is Refused, naming the link. `path` is the file with no link left
// in it.
Target classify(const QString &path);
// `path` with every link in its folders followed by that rule (the last part as it is); false with
// `reason` naming a link that must not be followed.
bool resolvedPath(const QString &path, QString *resolved, QString *reason);

// Something that changes whenever the file at `path` is replaced or written: a save that waits for
// another one's lock sees it move on.
QByteArray stamp(const QString &path);

// Whether a system error code says that a new file's name is taken already.
bool nameTaken(int code);

// Makes the folder `path` and those missing above it. False, with the system's error in `code`, when
// one cannot be made (a read-only drive, no access, a file in the way).
bool makeFolders(const QString &path, int *code);
// One folder, its parent there already; a folder there already is made.
bool makeFolder(const QString &path, int *code);

// Removes the name, whatever it names (a link is removed, never followed). True when it is gone.
bool removeEntry(const QString &path, int *code = nullptr);
bool removeEntry(const Folder &in, const QString &name, int *code = nullptr);
// Replaces `to` by `from` (a rename). False with `inPlace` when the system cannot do it for this
// file (a mount point, a file Windows keeps open): the caller writes in place instead.
bool replace(const QString &from, const QString &to, bool *inPlace, int *code);
// The same within one held folder.
bool replace(const Folder &in, const QString &from, const QString &to, bool *inPlace, int *code);
// The folder's entries are on disk (after a rename); not every file system can.
void syncFolder(const QString &folder);
void syncFolder(const Folder &folder);
// Everything written to the file system that holds `folder` is on disk (Linux: syncfs; Windows,
// whose files are flushed as they are written: nothing more to do).
bool syncFileSystem(const QString &folder, int *code);

// The program's words for what the primitives find, written once for every system.
enum class Word {
    DiskFull,
    Denied,
    ReadOnlyDrive,
    SameNameFolder,
    SameNameFile,
    NoFolder,
    NameTooLong,
    FileTooLarge,
    DiskError,
    ReaderStopped,
    NotOpen,
    LinkLoop,
    NotRegular,
    Busy,
    BadName,
    Failed,
    LinkRefused,
    Folder,
    OthersFile,
    DanglingLink,
    NotFound,
    CannotOpen,
};
const char *wordFor(Word word);
inline QString said(Word word)
{
    return QString::fromUtf8(wordFor(word));
}
// The word for a system error code (errno, or GetLastError), per system.
Word reasonWord(int code);

// The sentence for a system error code, and the system's own words for it (may be empty).
const char *reasonFor(int code);
QString systemText(int code);
// The reason a message gives for a code, said once: the program's sentence, and the system's words
// after it only where the program has none of its own. No full stop.
QString reasonText(int code);

// While a write makes `path` (its temporary), Ctrl+C and termination remove it before the program
// ends. Any number of writes at once, on any threads: each holds the slot returned (-1 when none
// could be had) and gives it back with keepOnInterrupt once its temporary is gone or renamed.
int removeOnInterrupt(const QString &path);
void keepOnInterrupt(int slot);

// Another program keeps the file at `path` open so that no one else may write it (Windows: opened
// without sharing); nothing is written or created. Never on Linux, whose locks are only advisory.
bool isHeldOpen(const QString &path);

// Empty for a regular file (links followed); else what the name is instead, to follow 「NAME」は:
// "見つかりません", "フォルダーです", "名前付きパイプ（FIFO）です"... Nothing is opened: a FIFO would
// wait for a writer for ever.
QString notARegularFile(const QString &path);

// Opens the file the author named for reading, once and without waiting: what stands there is
// judged on the open descriptor, so that nothing can be swapped in between a look and the open. A
// regular file is opened (links followed); a FIFO, a device, a socket or a folder is refused and
// never waited on, `problem` saying what it is ("名前付きパイプ（FIFO）で、ファイルではありません",
// "見つかりません"). With `streams`, standard input named as "-", /dev/stdin or /dev/fd/0 is taken.
bool openToRead(QFile &file, const QString &path, bool streams, QString *problem);

// Hand-off files live in folders that others may be able to write into: open them without following
// links, never open a FIFO or a device, and take only a regular file that is the user's own.
// `problem` says what was found instead.
bool openPrivate(QFile &file, const QString &path, bool write, bool truncate, bool append, QString *problem);
// A folder that other users may put files into, sticky or not (mode 0777 or 1777): no place for
// hand-off files, as a file of theirs under one of our names would lock the author out even where
// the sticky bit keeps them from replacing ours.
bool othersMayWriteIn(const QString &folder);

// Empty when nothing is at `path` or it is the user's own regular file; else what stands there
// instead ("リンクになっています", "ほかのユーザーのファイルです"...). Nothing is opened or followed.
QString notOwnFile(const QString &path);

// Whether a document may be handed to another program (the browser) as the program's own: a
// regular file that the user or the system owns and no one else may change, in a folder no one
// else may change. Links are followed, each judged the same way.
bool isTrustedDocument(const QString &path);

namespace testing {
// Replaces File::isAt's answer (nullptr: the system's again), to drive the branches that only a
// race or another system's links reach.
void setPathCheck(std::function<bool(const QString &path)> check);
#ifdef Q_OS_WIN
// Replaces what Windows says of a part of a path (nullptr: the system's again): Wine makes no links
// and keeps no owners, so the rule for links is driven from here.
void setLinkFacts(std::function<LinkFacts(const QString &part)> facts);
#endif
} // namespace testing

} // namespace velra::platform
