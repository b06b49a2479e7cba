#include "HandoffFiles.h"

#include "text/Failure.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace velra {

namespace {

constexpr char kSettingsLogName[] = "velra.dat";
constexpr char kScriptBufferName[] = "velra2.dat";
constexpr char kLockName[] = ".velra.lock";

QString withSeparator(const QString &folder)
{
    return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

QString programFolder()
{
    return withSeparator(QCoreApplication::applicationDirPath());
}

QString perUserFolder()
{
    return withSeparator(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

HandoffFiles::HandoffFiles()
    : HandoffFiles(programFolder(), perUserFolder())
{
}

HandoffFiles::HandoffFiles(const QString &fixedFolder)
    : m_program(withSeparator(fixedFolder))
{
}

HandoffFiles::HandoffFiles(const QString &programFolder, const QString &perUserFolder)
    : m_program(withSeparator(programFolder))
    , m_perUser(withSeparator(perUserFolder))
{
}

// Whether a file can be made in `folder`, found by making one: Windows' read-only flag and file
// attributes say nothing about a folder's access rights ("C:\Program Files").
static bool canCreateFilesIn(const QString &folder)
{
    QTemporaryFile probe(folder + QStringLiteral("velra-probe-XXXXXX"));
    return probe.open();
}

QString HandoffFiles::choose() const
{
    if (m_perUser.isEmpty() || m_perUser == m_program)
        return m_program;
    // A folder that others may fill (mode 0777, sticky or not) is shared with them: their links and
    // files could stand under our files' names, and where the sticky bit keeps them from replacing
    // ours, a file of theirs under one of our names still locks the author out. (Another user's
    // entry under the lock's name says the same; holdFolder finds it when it takes the lock.)
    m_shared = platform::othersMayWriteIn(m_program);
    if (!m_shared && canCreateFilesIn(m_program))
        return m_program;
    QDir().mkpath(m_perUser);
    return m_perUser;
}

QString HandoffFiles::sharedFolderNote() const
{
    if (!m_shared || folder() != m_perUser)
        return QString();
    return QStringLiteral("プログラムのフォルダーはほかのユーザーも書き込めるため、作業ファイルは「%1」に置きます。")
        .arg(QDir::toNativeSeparators(m_perUser));
}

QString alreadyRunningMessage()
{
    return QStringLiteral("Velloran はすでに起動しています。");
}

// A copy holds its folder by an advisory lock on `.velra.lock`, which the system lets go of when
// the copy ends however it ends: a lock is never stale. The file names the holder's process, for
// the copy that finds it held. Only the user's own regular file is locked: what anyone else can
// put there (a FIFO, a link, a file of theirs) must not hold the wizard up or turn it away.
class HandoffFiles::FolderLock
{
public:
    enum class Result { Held, Busy, NotOurs, NoFile };

    FolderLock(const QString &folder)
        : m_path(folder + QLatin1String(kLockName))
    {
    }
    ~FolderLock()
    {
        // Removed while still held: a copy that opened it meanwhile finds it gone once it gets it.
        if (m_held)
            platform::removeEntry(m_path);
    }

    Result take(qint64 *holder, QString *problem)
    {
        // A copy ending just now removes the file under our hands: then there is a new one to take.
        for (int attempt = 0; attempt < 20; ++attempt) {
            int code = 0;
            if (!m_file.openOwn(m_path, true, problem, &code)) {
                if (!platform::notOwnFile(m_path).isEmpty())
                    return Result::NotOurs;
                // A folder that takes no file: nothing to share either.
                return Result::NoFile;
            }
            switch (m_file.tryLock(&code)) {
            case platform::File::Lock::Busy: {
                QByteArray text;
                bool tooLarge = false;
                if (holder && m_file.readAll(64, text, &code, &tooLarge))
                    *holder = text.left(text.indexOf('\n')).trimmed().toLongLong();
                m_file.close();
                return Result::Busy;
            }
            case platform::File::Lock::Failed:
                m_file.close();
                return Result::NoFile;
            case platform::File::Lock::Held:
            case platform::File::Lock::Unsupported:
                break;
            }
            if (!m_file.isAt(m_path)) {
                m_file.close();
                continue;
            }
            const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
            m_file.rewrite({pid}, &code);
            m_held = true;
            return Result::Held;
        }
        return Result::Busy;
    }

private:
    QString m_path;
    platform::File m_file;
    bool m_held = false;
};

bool HandoffFiles::holdFolder(QString *error)
{
    for (;;) {
        const QString chosen = folder();
        if (m_lock && m_lockedFolder == chosen)
            return true;
        auto lock = std::make_shared<FolderLock>(chosen);
        QString problem;
        switch (lock->take(&m_otherCopy, &problem)) {
        case FolderLock::Result::Held:
            m_lock = std::move(lock);
            m_lockedFolder = chosen;
            return true;
        case FolderLock::Result::NoFile:
            return true;
        case FolderLock::Result::Busy:
            return fail(error, alreadyRunningMessage());
        case FolderLock::Result::NotOurs:
            // Someone else's entry under the lock's name: the folder is shared with them.
            if (chosen != m_program || m_perUser.isEmpty() || m_perUser == m_program) {
                return fail(error, QStringLiteral("作業フォルダーを使えません。\r\n「%1」は%2。")
                                       .arg(QDir::toNativeSeparators(chosen + QLatin1String(kLockName)), problem));
            }
            m_shared = true;
            QDir().mkpath(m_perUser);
            m_chosen = m_perUser;
            break;
        }
    }
}

QString HandoffFiles::folderKey() const
{
    const QByteArray who = QDir::homePath().toUtf8() + '\0' + folder().toUtf8();
    return QStringLiteral("velloran-") + QString::fromLatin1(QCryptographicHash::hash(who, QCryptographicHash::Sha256).toHex().left(16));
}

bool HandoffFiles::startRun(QString *error)
{
    m_chosen = choose();
    if (!holdFolder(error))
        return false;
    for (const QString &folder : {m_program, m_perUser}) {
        if (folder.isEmpty())
            continue;
        // Another copy's run in the other place is left alone, and so is a folder shared with other
        // users: what stands there may be theirs.
        if (folder == m_program && m_shared && m_lockedFolder != m_program)
            continue;
        FolderLock other(folder);
        if (folder != m_lockedFolder && QFileInfo::exists(folder)) {
            const FolderLock::Result result = other.take(nullptr, nullptr);
            if (result == FolderLock::Result::Busy || result == FolderLock::Result::NotOurs)
                continue;
        }
        for (const char *name : {kSettingsLogName, kScriptBufferName}) {
            const QString path = folder + QString::fromLatin1(name);
            int code = 0;
            // Removed as a name: a link planted there goes, and what it points to stays.
            const QFileInfo entry(path);
            if ((entry.exists() || entry.isSymLink()) && !entry.isDir() && !platform::removeEntry(path, &code)) {
                return fail(error, QStringLiteral("前回の作業ファイル「%1」を削除できません。\r\n%2")
                                       .arg(QDir::toNativeSeparators(path), QString::fromUtf8(platform::reasonFor(code)) + QStringLiteral("。")));
            }
        }
    }
    return true;
}

QString HandoffFiles::folder() const
{
    if (m_chosen.isEmpty())
        m_chosen = choose();
    return m_chosen;
}

QString HandoffFiles::settingsLog() const
{
    return folder() + QLatin1String(kSettingsLogName);
}

QString HandoffFiles::scriptBuffer() const
{
    return folder() + QLatin1String(kScriptBufferName);
}

QString HandoffFiles::rememberedSettings() const
{
    const QString where = m_perUser.isEmpty() ? m_program : m_perUser;
    return where + QStringLiteral("velra-last.dat");
}

QString HandoffFiles::editedSettings() const
{
    const QString where = m_perUser.isEmpty() ? m_program : m_perUser;
    return where + QStringLiteral("velra-edited.dat");
}

QString fileErrorReason(const QFileDevice &file)
{
    QString reason;
    switch (file.error()) {
    case QFileDevice::ReadError:
        reason = QStringLiteral("読み込みに失敗しました");
        break;
    case QFileDevice::WriteError:
    case QFileDevice::ResourceError:
        reason = QStringLiteral("書き込みに失敗しました");
        break;
    case QFileDevice::PermissionsError:
        reason = QStringLiteral("アクセスが許可されていません");
        break;
    case QFileDevice::OpenError:
        reason = QStringLiteral("開けませんでした");
        break;
    case QFileDevice::RemoveError:
        reason = QStringLiteral("削除できませんでした");
        break;
    case QFileDevice::RenameError:
        reason = QStringLiteral("置き換えられませんでした");
        break;
    default:
        reason = QStringLiteral("ファイル操作に失敗しました");
        break;
    }
    // Said once: the system's words only where the program has none of its own.
    const QString detail = file.errorString();
    const bool generic = file.error() != QFileDevice::PermissionsError;
    return detail.isEmpty() || !generic ? reason : QStringLiteral("%1（%2）").arg(reason, detail);
}

QString restartMessage(const QString &what)
{
    return what + QStringLiteral("\r\nお手数ですが、ウィザードを最初からやり直してください。");
}

} // namespace velra
