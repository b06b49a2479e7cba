#include "io/OutputFile.h"

#include "text/Failure.h"
#include "platform/FileSystem.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <utility>

namespace velra::output {
namespace {

using platform::File;
using platform::Target;

// What stands at `path` instead of a file, as a sentence.
QString notAFileText(const QString &path)
{
    const QString what = platform::notARegularFile(path);
    return (what.isEmpty() ? QStringLiteral("ファイルではありません") : what) + QStringLiteral("。");
}

// What a write refuses at `target` before opening anything: what is no file to write (a stream only
// when `filesOnly`), a link it must not follow, a file the author or the drive keeps read-only.
// Replacing through a temporary file would succeed even for a read-only file (and root may write
// anything), but the author marked it so.
QString refusalOf(const Target &target, bool filesOnly)
{
    switch (target.kind) {
    case Target::Kind::Other:
        return QStringLiteral("通常のファイルではないため、書き込めません。");
    case Target::Kind::Stream:
    case Target::Kind::Socket:
    case Target::Kind::Descriptor:
        return filesOnly ? notAFileText(target.path) : QString();
    case Target::Kind::Refused:
        return target.reason;
    case Target::Kind::Regular:
        if (target.readOnlyDrive)
            return QStringLiteral("書き込みが禁止されたドライブです。");
        if (target.readOnly)
            return QStringLiteral("ファイルが読み取り専用です。");
        return QString();
    default:
        return QString();
    }
}

// A file another program holds: what to do about it, said with it.
QString heldText()
{
    return QStringLiteral("ほかのプログラムが使用中です。そのプログラムを閉じてから、もう一度保存してください。");
}

QString shortBaseName(const QString &fileName)
{
    // Leaves room for the prefix and the hash in a 255-byte name.
    QString base = fileName;
    while (base.toUtf8().size() > 200)
        base.chop(1);
    return base;
}

// Removes `name` in `in`, a file this program made; when it cannot, a sentence naming it (to add
// to the reason of the failure that left it), else an empty text.
QString removeLeftover(const platform::Folder &in, const QString &name)
{
    if (platform::removeEntry(in, name))
        return QString();
    // The folder took the file but lets nothing go now (made read-only meanwhile, say): the author
    // is told where it lies, for it may be as large as the whole file.
    return QStringLiteral("\r\n書きかけの一時ファイル「%1」を削除できませんでした。不要なら削除してください。")
        .arg(QDir::toNativeSeparators(in.pathOf(name)));
}

bool isSeparator(QChar c)
{
#ifdef Q_OS_WIN
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
#else
    return c == QLatin1Char('/');
#endif
}

} // namespace

QString withExtension(const QString &path, const QString &extension)
{
    const QFileInfo info(path);
    if (!info.suffix().isEmpty() || info.isDir() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('.') + extension;
}

QString temporaryName(const QString &fileName)
{
    // The hash of the whole name keeps apart targets whose names differ only past the cut.
    const QByteArray hash = QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha256).toHex().left(8);
    return QStringLiteral(".%1.velra-%2").arg(shortBaseName(fileName), QString::fromLatin1(hash));
}

QString systemReason(int code)
{
    return platform::reasonText(code) + QStringLiteral("。");
}

bool replaceWhole(const platform::Folder &in, const QString &temporary, const QString &name, QByteArrayView bytes,
                  Durability durability, int *code, QString *leftBehind)
{
    File file;
    if (!file.createNew(in, temporary, code, durability == Durability::InRow))
        return false;
    bool inPlace = false;
    // Closed before anything else: a file still open cannot be removed on Windows (share mode 0),
    // and a failed write would leave its temporary behind.
    const bool durable = durability == Durability::Synced
#ifdef Q_OS_WIN
        || durability == Durability::InRow // Windows has no one sync of a whole drive: each file is flushed
#endif
        ;
    const bool written = file.writeAll({bytes}, code) && (!durable || file.sync(code)) && file.closeChecked(code);
    file.close();
    if (written && platform::replace(in, temporary, name, &inPlace, code))
        return true;
    const QString left = removeLeftover(in, temporary);
    if (leftBehind)
        *leftBehind = left;
    return false;
}

bool writeInRow(const platform::Folder &in, const QString &name, QByteArrayView bytes, QString *reason)
{
    int code = 0;
    QString leftBehind;
    // A name nobody can foresee, made new (never opened through what stands there): a neighbour's
    // file planted under it, or another run's, is only a name taken, and another is drawn.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString temporary = QStringLiteral(".%1.%2").arg(name, QString::number(QRandomGenerator::system()->generate64(), 36));
        // Asked before it exists: a stop at any moment leaves no temporary behind.
        const int slot = platform::removeOnInterrupt(in.pathOf(temporary));
        const bool written = replaceWhole(in, temporary, name, bytes, Durability::InRow, &code, &leftBehind);
        platform::keepOnInterrupt(slot);
        if (written)
            return true;
        if (!platform::nameTaken(code))
            break;
    }
    return fail(reason, systemReason(code) + leftBehind);
}

bool syncFilesUnder(const QString &folder, QString *reason)
{
    int code = 0;
    if (platform::syncFileSystem(folder, &code))
        return true;
    return fail(reason, systemReason(code));
}

namespace {

// One write into one path, from finding out what the path names to letting it go.
class Writer
{
public:
    Writer(const QString &path, const Compose &compose, const Options &options)
        : m_path(path)
        , m_compose(compose)
        , m_options(options)
    {
    }
    ~Writer()
    {
        m_target.close();
        m_temp.close();
        if (!m_tempName.isEmpty())
            platform::removeEntry(m_folder, m_tempName);
        platform::keepOnInterrupt(m_interruptSlot);
    }

    bool run(QString *reason);

private:
    bool holdFolder(const QString &asked, QString *reason);
    bool openLocked(QString *reason);
    bool replaceThroughTemporary(const Pieces &pieces, bool *inPlace, QString *reason);
    bool writeInPlace(const Pieces &pieces, QString *reason);
    bool writeStream(QString *reason);
    bool readExisting(QString *reason);
    bool failCode(QString *reason, int code)
    {
        return fail(reason, systemReason(code) + dropWhatThisMade());
    }
    // Removes the temporary and the empty file this write made; names what could not be removed.
    QString dropWhatThisMade()
    {
        m_temp.close();
        QString left;
        if (!m_tempName.isEmpty())
            left += removeLeftover(m_folder, std::exchange(m_tempName, QString()));
        if (m_created) {
            m_target.close(); // Windows removes no file that is open
            left += removeLeftover(m_folder, m_name);
            m_created = false;
        }
        return left;
    }

    QString m_path;
    platform::Folder m_folder; // where m_path's file is, held from the rule's check to the write
    QString m_name;            // the file's name in it
    const Compose &m_compose;
    const Options &m_options;
    File m_target;
    File m_temp;
    QString m_tempName; // in m_folder, while it exists
    int m_interruptSlot = -1; // the cleanup on interrupt that removes it, while it exists
    bool m_created = false; // the target did not exist: this write made it
    bool m_device = false;  // the name is a device (Windows' NUL): written as a stream
    QByteArray m_existing;
    bool m_haveExisting = false;
};

bool Writer::readExisting(QString *reason)
{
    if (m_created || m_haveExisting)
        return true;
    int code = 0;
    bool tooLarge = false;
    if (!m_target.readAll(kMaxExistingBytes, m_existing, &code, &tooLarge)) {
        if (tooLarge)
            return fail(reason, QStringLiteral("既存のファイルが大きすぎます（%1 MB を超えています）。")
                                    .arg(kMaxExistingBytes >> 20));
        return failCode(reason, code);
    }
    m_haveExisting = true;
    return true;
}

// Holds the folder that the rule for links reached. A link put into its path since (a folder swapped
// for a link) is judged as any link is: another user's is refused, naming it; the author's own is
// followed, by resolving the path again.
bool Writer::holdFolder(const QString &asked, QString *reason)
{
    int code = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QFileInfo where(m_path);
        m_name = where.fileName();
        if (m_folder.open(where.path(), &code))
            return true;
        const Target again = platform::classify(asked);
        if (again.kind == Target::Kind::Refused)
            return fail(reason, again.reason);
        if (again.path == m_path || (again.kind != Target::Kind::Regular && again.kind != Target::Kind::Missing))
            break;
        m_path = again.path;
    }
    return fail(reason, systemReason(code));
}

// Opens (or creates empty) the regular file at the path and holds its lock. Another save may
// replace the file while this one waits for the lock; then the new file is the one to lock. Saves
// into one file take turns for as long as they move on; a lock that nobody lets go of (another
// program's) is waited for `lockPatience`, with word after a second, then refused.
bool Writer::openLocked(QString *reason)
{
    QElapsedTimer waiting;
    waiting.start();
    QByteArray lastStamp = platform::stamp(m_path);
    QDeadlineTimer patience(m_options.lockPatienceMs);
    bool told = false;
    for (;;) {
        int code = 0;
        if (!m_target.openForSave(m_folder, m_name, &m_created, &m_device, &code))
            return failCode(reason, code);
        if (m_device)
            return true; // the caller writes it as a stream
        switch (m_target.tryLock(&code)) {
        case File::Lock::Failed:
            return failCode(reason, code);
        case File::Lock::Held:
        case File::Lock::Unsupported:
            if (m_target.isAt(m_folder, m_name))
                return true;
            // Another save replaced the file meanwhile (or the path names something this open
            // does not reach): the new file is the one to lock, with the same patience.
            break;
        case File::Lock::Busy:
            break;
        }
        // Another save is writing: wait, and start the patience again whenever the file moves on.
        m_created = false; // another save holds what this one may have made: theirs to finish
        m_target.close();
        const QByteArray now = platform::stamp(m_path);
        if (now != lastStamp) {
            lastStamp = now;
            patience.setRemainingTime(m_options.lockPatienceMs);
        }
        if (patience.hasExpired())
            return fail(reason, heldText());
        if (waiting.elapsed() >= 1000 && m_options.waiting) {
            if (!m_options.waiting(QStringLiteral("ほかのプログラムが「%1」を使っています…")
                                       .arg(QDir::toNativeSeparators(QFileInfo(m_path).fileName()))))
                return fail(reason, QStringLiteral("ほかのプログラムが使用中のため、保存を取りやめました。"));
            told = true;
        }
        QThread::msleep(told ? 50 : 10);
    }
}

bool Writer::replaceThroughTemporary(const Pieces &pieces, bool *inPlace, QString *reason)
{
    *inPlace = false;
    m_tempName = temporaryName(m_name);
    int code = 0;
    m_interruptSlot = platform::removeOnInterrupt(m_folder.pathOf(m_tempName));
    // Under the lock no other save into this file writes this name: one found is a killed save's.
    platform::removeEntry(m_folder, m_tempName);
    if (!m_temp.createNew(m_folder, m_tempName, &code)) {
        m_tempName.clear();
        // A folder that allows changing the file but not adding one: write the file in place.
        *inPlace = true;
        return false;
    }
    if (!m_temp.copyKeptAttributes(m_target, inPlace, &code)) {
        if (*inPlace)
            return false;
        return failCode(reason, code);
    }
    if (!m_temp.writeAll(pieces, &code) || !m_temp.sync(&code) || !m_temp.closeChecked(&code))
        return failCode(reason, code);
    if (!platform::replace(m_folder, m_tempName, m_name, inPlace, &code)) {
        if (*inPlace)
            return false;
        return failCode(reason, code);
    }
    m_tempName.clear();
    platform::keepOnInterrupt(std::exchange(m_interruptSlot, -1));
    platform::syncFolder(m_folder);
    return true;
}

bool Writer::writeInPlace(const Pieces &pieces, QString *reason)
{
    // What to put back should the write fail.
    if (!readExisting(reason))
        return false;
    int code = 0;
    if (m_target.rewrite(pieces, &code))
        return true;
    if (m_created)
        return failCode(reason, code);
    const QString why = systemReason(code);
    // Put the old content back, as it was before this save.
    int ignored = 0;
    if (!m_target.rewrite({m_existing}, &ignored))
        return fail(reason, why + QStringLiteral("\r\n元の内容を書き戻せませんでした。ファイルを確認してください。"));
    return fail(reason, why);
}

bool Writer::writeStream(QString *reason)
{
    Pieces pieces;
    m_compose(QByteArrayView(), pieces);
    int code = 0;
    if (!m_target.writeAll(pieces, &code) || !m_target.closeChecked(&code))
        return fail(reason, systemReason(code));
    return true;
}

bool Writer::run(QString *reason)
{
    if (m_path.isEmpty())
        return fail(reason, QStringLiteral("ファイル名がありません。"));
    // A name read from bytes that are not text: writing it would write another name.
    if (m_path.contains(QChar::ReplacementCharacter))
        return fail(reason, QStringLiteral("ファイル名に文字として読めない部分があります。別の名前を指定してください。"));
    if (isSeparator(m_path.back()) && !QFileInfo(m_path).isDir())
        return fail(reason, QStringLiteral("ファイル名がありません（フォルダーの名前で終わっています）。"));

    const QString asked = m_path;
    const Target target = platform::classify(asked);
    if (target.kind == Target::Kind::Directory)
        return fail(reason, QStringLiteral("同じ名前のフォルダーがあります。ファイル名を指定してください。"));
    if (target.kind == Target::Kind::Failed)
        return fail(reason, systemReason(target.code));
    if (const QString refused = refusalOf(target, m_options.filesOnly); !refused.isEmpty())
        return fail(reason, refused);
    int code = 0;
    switch (target.kind) {
    case Target::Kind::Descriptor:
        m_target.borrow(target.descriptor);
        return writeStream(reason);
    case Target::Kind::Stream:
    case Target::Kind::Socket:
        // Opened without waiting: a FIFO that nobody reads is refused at once.
        if (!m_target.openStream(target.path, target.kind == Target::Kind::Socket, &code))
            return fail(reason, code == ENXIO ? QStringLiteral("名前付きパイプ（FIFO）を読むプログラムがありません。") : systemReason(code));
        return writeStream(reason);
    default:
        break;
    }
    // The file itself, links followed: the temporary file goes beside it and the link stays a link.
    m_path = target.path;
    if (!holdFolder(asked, reason))
        return false;

    if (!openLocked(reason))
        return false;
    if (m_device)
        return writeStream(reason);
    if ((m_options.readsExisting || m_options.refuse) && !readExisting(reason))
        return false;

    if (m_options.refuse) {
        const QString refused = m_options.refuse(m_existing);
        if (!refused.isEmpty()) {
            if (m_created)
                platform::removeEntry(m_folder, m_name);
            return fail(reason, refused);
        }
    }
    Pieces pieces;
    m_compose(m_existing, pieces);

    // Hard links must keep sharing one file, and what the replacement cannot carry over stays.
    if (m_target.linkCount() <= 1 && !m_target.hasExtraAttributes()) {
        bool inPlace = false;
        if (replaceThroughTemporary(pieces, &inPlace, reason))
            return true;
        if (!inPlace)
            return false;
    }
    return writeInPlace(pieces, reason);
}

} // namespace

QString refusalBeforeWriting(const QString &path)
{
    const Target target = platform::classify(path);
    if (const QString refused = refusalOf(target, true); !refused.isEmpty())
        return refused;
    return target.kind == Target::Kind::Regular && platform::isHeldOpen(target.path) ? heldText() : QString();
}

bool write(const QString &path, const Compose &compose, QString *reason, const Options &options)
{
    Writer writer(path, compose, options);
    return writer.run(reason);
}

bool writeBytes(const QString &path, QByteArrayView bytes, QString *reason, const Options &options)
{
    return write(path, [bytes](QByteArrayView, Pieces &pieces) { pieces << bytes; }, reason, options);
}

} // namespace velra::output
