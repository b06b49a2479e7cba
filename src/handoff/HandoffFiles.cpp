#include "HandoffFiles.h"

#include "Failure.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QLockFile>
#include <QSet>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace velra {

QString fieldName(Field field)
{
    static const char *const names[kFieldCount] = {
        "ScrollImageFile", "ScrollImageWidth", "ScrollImageHeight", "BackgroundFile", "BackgroundWidth",
        "BackgroundHeight", "WindowWidth",     "WindowHeight",      "SettingMode",    "ScrollDirection",
        "ScrollStep",      "ScrollAlignment",  "ScrollEndMode",     "MoveCount",
    };
    return QString::fromLatin1(names[static_cast<int>(field)]);
}

QString fieldLabel(Field field)
{
    static const char *const labels[kFieldCount] = {
        "スクロール画像のファイル名", "スクロール画像の幅", "スクロール画像の高さ", "背景画像のファイル名",
        "背景画像の幅",               "背景画像の高さ",     "ウィンドウの幅",       "ウィンドウの高さ",
        "設定モード",                 "スクロール方向",     "スクロールの間隔",     "スクロール位置",
        "スクロール終了位置",         "移動回数",
    };
    return QStringLiteral("%1（%2）").arg(QString::fromUtf8(labels[static_cast<int>(field)]), fieldName(field));
}

namespace {

constexpr char kSettingsLogName[] = "velra.dat";
constexpr char kScriptBufferName[] = "velra2.dat";

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
// attributes say nothing about a folder's access rights ("C:\Program Files"). A folder that
// others may fill (mode 0777) could hold their links under our files' names: not ours to use.
static bool canCreateFilesIn(const QString &folder)
{
    if (platform::othersMayReplaceIn(folder))
        return false;
    QTemporaryFile probe(folder + QStringLiteral("velra-probe-XXXXXX"));
    return probe.open();
}

QString HandoffFiles::choose() const
{
    if (m_perUser.isEmpty() || canCreateFilesIn(m_program))
        return m_program;
    QDir().mkpath(m_perUser);
    return m_perUser;
}

namespace {

constexpr char kLockName[] = ".velra.lock";

// The folders this process holds: a lock file naming this process but not among them was left by
// an earlier copy that had the same process number (Wine, and small PID namespaces, reuse them).
QSet<QString> &heldHere()
{
    static QSet<QString> folders;
    return folders;
}

std::shared_ptr<QLockFile> lockFolder(const QString &folder, qint64 *holder)
{
    const QString name = folder + QLatin1String(kLockName);
    const auto release = [folder](QLockFile *lock) {
        if (lock->isLocked())
            heldHere().remove(folder);
        delete lock;
    };
    std::shared_ptr<QLockFile> lock(new QLockFile(name), release);
    // A lock whose copy is gone (killed, crashed) is taken over, however recent.
    lock->setStaleLockTime(0);
    bool held = lock->tryLock(0);
    qint64 pid = 0;
    QString host;
    QString application;
    if (!held && lock->getLockInfo(&pid, &host, &application) && pid == QCoreApplication::applicationPid()
        && !heldHere().contains(folder)) {
        lock->removeStaleLockFile();
        held = lock->tryLock(0);
    }
    if (held) {
        heldHere().insert(folder);
        return lock;
    }
    if (holder)
        *holder = pid;
    return nullptr;
}

} // namespace

QString alreadyRunningMessage()
{
    return QStringLiteral("Velloran はすでに起動しています。");
}

bool HandoffFiles::holdFolder(QString *error)
{
    const QString chosen = folder();
    if (m_lock && m_lockedFolder == chosen)
        return true;
    std::shared_ptr<QLockFile> lock = lockFolder(chosen, &m_otherCopy);
    if (!lock) {
        // Without a lock file at all (a folder that takes no file) there is nothing to share either.
        if (!QFileInfo::exists(chosen + QLatin1String(kLockName)) && !QFileInfo(chosen).isWritable())
            return true;
        return fail(error, alreadyRunningMessage());
    }
    m_lock = std::move(lock);
    m_lockedFolder = chosen;
    return true;
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
        // Another copy's run in the other place is left alone.
        std::shared_ptr<QLockFile> other;
        if (folder != m_lockedFolder && QFileInfo::exists(folder) && !(other = lockFolder(folder, nullptr))
            && QFileInfo::exists(folder + QLatin1String(kLockName)))
            continue;
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

bool hasControlCharacter(QStringView text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

bool isWholeNumberText(QStringView text)
{
    if (!text.isEmpty() && (text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+')))
        text = text.mid(1);
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

QString escapeControls(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control) {
            shown.append(c);
            continue;
        }
        switch (c.unicode()) {
        case '\n':
            shown.append(QLatin1String("\\n"));
            break;
        case '\r':
            shown.append(QLatin1String("\\r"));
            break;
        case '\t':
            shown.append(QLatin1String("\\t"));
            break;
        default:
            shown.append(c.unicode() < 0x100 ? QLatin1String("\\x") : QLatin1String("\\u"));
            shown.append(QString::number(c.unicode(), 16).toUpper().rightJustified(c.unicode() < 0x100 ? 2 : 4, QLatin1Char('0')));
            break;
        }
    }
    return shown;
}

QString shownValue(const QString &value)
{
    constexpr qsizetype kLongest = 200;
    if (value.size() <= kLongest)
        return escapeControls(value);
    return escapeControls(value.left(kLongest)) + QStringLiteral("…（%1 文字）").arg(value.size());
}

QString withoutFieldNames(QString message)
{
    for (int f = 0; f < kFieldCount; ++f)
        message.remove(QStringLiteral("（%1）").arg(fieldName(Field(f))));
    return message;
}

QString restartMessage(const QString &what)
{
    return what + QStringLiteral("\r\nお手数ですが、ウィザードを最初からやり直してください。");
}

} // namespace velra
