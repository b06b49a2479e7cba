#include "OwnFiles.h"

#include "text/Failure.h"

#include "io/OutputFile.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace velra::ownfile {

bool read(const QString &path, qint64 max, QByteArray &out, QString *problem)
{
    QFile file;
    if (!platform::openPrivate(file, path, false, false, false, problem))
        return false;
    out = file.read(max + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(problem, QStringLiteral("読み込みに失敗しました"));
    if (out.size() > max) {
        out.clear();
        return fail(problem, QStringLiteral("大きすぎます"));
    }
    return true;
}

bool write(const QString &path, QByteArrayView bytes, QString *error, bool makeFolder)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (makeFolder)
        QDir().mkpath(folder);
    int code = 0;
    QString leftBehind;
    platform::Folder in;
    if (!in.open(folder, &code, true))
        return fail(error, platform::reasonText(code));
    // A name of its own for each write: two copies of the wizard may remember at once.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString temporary = QStringLiteral(".%1.%2").arg(info.fileName(), QString::number(QRandomGenerator::global()->generate(), 16));
        if (output::replaceWhole(in, temporary, info.fileName(), bytes, output::Durability::Synced, &code, &leftBehind)) {
            platform::syncFolder(in);
            return true;
        }
        if (!platform::nameTaken(code))
            break;
    }
    return fail(error, platform::reasonText(code) + leftBehind);
}

} // namespace velra::ownfile
