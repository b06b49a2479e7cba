#include "HandoffFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

QString programFolder()
{
    QString folder = QCoreApplication::applicationDirPath();
    if (!QFileInfo(folder).isWritable()) {
        const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (!perUser.isEmpty() && QDir().mkpath(perUser))
            folder = perUser;
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder.append(QLatin1Char('/'));
    return folder;
}

HandoffFiles::HandoffFiles(const QString &fixedFolder)
    : m_fixedFolder(fixedFolder.endsWith(QLatin1Char('/')) ? fixedFolder : fixedFolder + QLatin1Char('/'))
{
}

QString HandoffFiles::folder() const
{
    return m_fixedFolder.isEmpty() ? programFolder() : m_fixedFolder;
}

QString HandoffFiles::settingsLog() const
{
    return folder() + QStringLiteral("velra.dat");
}

QString HandoffFiles::scriptBuffer() const
{
    return folder() + QStringLiteral("velra2.dat");
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
        reason = QStringLiteral("書き込みに失敗しました（ディスクの空き不足などが考えられます）");
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
    const QString detail = file.errorString();
    return detail.isEmpty() ? reason : QStringLiteral("%1（%2）").arg(reason, detail);
}

bool hasControlCharacter(QStringView text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

QString restartMessage(const QString &what)
{
    return what + QStringLiteral("\r\nお手数ですが、ウィザードを最初からやり直してください。");
}

} // namespace velra
