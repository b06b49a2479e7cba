#include "ScriptBuffer.h"

#include "text/Failure.h"
#include "HandoffFiles.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace velra::scriptbuffer {

QByteArray header(qint64 length)
{
    QByteArray bytes;
    if (length <= 0xFFFF) {
        bytes.resize(4);
        qToLittleEndian<quint16>(kTextTag, bytes.data());
        qToLittleEndian<quint16>(quint16(length), bytes.data() + 2);
    } else {
        bytes.resize(6);
        qToLittleEndian<quint16>(kLongTextTag, bytes.data());
        qToLittleEndian<quint32>(quint32(length), bytes.data() + 2);
    }
    return bytes;
}

bool write(QIODevice &device, QByteArrayView script)
{
    const QByteArray head = header(script.size());
    return device.write(head) == head.size() && device.write(script.data(), script.size()) == script.size();
}

bool read(QIODevice &device, QByteArray &script, QString *reason)
{
    const QString truncated = QStringLiteral("ファイルが短すぎます（途中で切れています）");
    char head[6];
    if (device.read(head, 2) != 2)
        return fail(reason, truncated);
    const quint16 tag = qFromLittleEndian<quint16>(head);
    if (tag != kTextTag && tag != kLongTextTag)
        return fail(reason, QStringLiteral("スクリプトの一時ファイルの形式ではありません"));
    const qint64 lengthSize = tag == kTextTag ? 2 : 4;
    if (device.read(head + 2, lengthSize) != lengthSize)
        return fail(reason, truncated);
    const qint64 length = tag == kTextTag ? qint64(qFromLittleEndian<quint16>(head + 2)) : qint64(qFromLittleEndian<quint32>(head + 2));
    // The writer uses the long layout only beyond 65,535 bytes; anything shorter is not its work.
    if (tag == kLongTextTag && length <= 0xFFFF)
        return fail(reason, QStringLiteral("長いテキストの形式なのに、記録された長さが %1 バイトです").arg(length));
    if (length > kMaxReadLength)
        return fail(reason, QStringLiteral("記録された長さ %1 バイトは大きすぎます").arg(length));
    if (!device.isSequential() && device.size() - device.pos() < length)
        return fail(reason, QStringLiteral("記録された長さ %1 バイトに対して、ファイルが途中で切れています").arg(length));
    QByteArray bytes(length, Qt::Uninitialized);
    if (device.read(bytes.data(), length) != length)
        return fail(reason, QStringLiteral("記録された長さ %1 バイトに対して、ファイルが途中で切れています").arg(length));
    script = std::move(bytes);
    return true;
}

bool store(const QString &path, QByteArrayView script, QString *error)
{
    if (script.size() > kMaxLength) {
        return fail(error, QStringLiteral("スクリプトが大きすぎて一時ファイル「%1」に保存できません。").arg(QDir::toNativeSeparators(path)));
    }
    QFile file;
    QString problem;
    // Opened without truncating: an older, longer buffer keeps its tail, which is never read. Never
    // through a link or into a FIFO that someone put under its name.
    if (!platform::openPrivate(file, path, true, false, false, &problem))
        return fail(error, QStringLiteral("スクリプトの一時ファイル「%1」に書き込めません。\r\n%2。").arg(QDir::toNativeSeparators(path), problem));
    bool written = write(file, script) && file.flush();
    if (written) {
        file.close();
        written = file.error() == QFileDevice::NoError;
    }
    if (!written) {
        return fail(error, QStringLiteral("スクリプトの一時ファイル「%1」に書き込めません。\r\n%2").arg(QDir::toNativeSeparators(path), fileErrorReason(file)));
    }
    return true;
}

bool load(const QString &path, QByteArray &script, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return fail(error, QStringLiteral("スクリプトの一時ファイル「%1」が見つかりません。").arg(QDir::toNativeSeparators(path)));
    }
    if (info.isDir()) {
        return fail(error, QStringLiteral("スクリプトの一時ファイル「%1」がフォルダーです。").arg(QDir::toNativeSeparators(path)));
    }
    QFile file;
    QString problem;
    if (!platform::openPrivate(file, path, false, false, false, &problem)) {
        return fail(error, QStringLiteral("スクリプトの一時ファイル「%1」を読めません。\r\n%2。").arg(QDir::toNativeSeparators(path), problem));
    }
    QString reason;
    if (!read(file, script, &reason)) {
        return fail(error, QStringLiteral("スクリプトの一時ファイル「%1」が壊れています。\r\n%2。").arg(QDir::toNativeSeparators(path), reason));
    }
    return true;
}

} // namespace velra::scriptbuffer
