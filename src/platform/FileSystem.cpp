#include "FileSystem.h"

// The procedures of File made of its per-system primitives: one read-whole-file loop, one rewrite;
// and what is the same on every system.
namespace velra::platform {

QString systemText(int code)
{
    return qt_error_string(code).trimmed();
}

QString reasonText(int code)
{
    static const QString generic = QString::fromUtf8(reasonFor(-1));
    const QString reason = QString::fromUtf8(reasonFor(code));
    QString detail = systemText(code);
    while (detail.endsWith(QLatin1Char('.')) || detail.endsWith(QChar(0x3002)))
        detail.chop(1);
    return reason != generic || detail.isEmpty() ? reason : QStringLiteral("%1（%2）").arg(reason, detail);
}

namespace {

std::function<bool(const QString &)> &pathCheck()
{
    static std::function<bool(const QString &)> check;
    return check;
}

} // namespace

void testing::setPathCheck(std::function<bool(const QString &path)> check)
{
    pathCheck() = std::move(check);
}

bool File::isAt(const QString &path) const
{
    return pathCheck() ? pathCheck()(path) : isAtPath(path);
}

bool File::readAll(qint64 max, QByteArray &out, int *code, bool *tooLarge) const
{
    qint64 bytes = 0;
    if (!size(&bytes, code))
        return false;
    if (bytes > max) {
        *tooLarge = true;
        return false;
    }
    if (!seekStart(code))
        return false;
    out.resize(bytes);
    qint64 have = 0;
    while (have < out.size()) {
        qint64 done = 0;
        if (!readSome(out.data() + have, qMin(out.size() - have, kChunk), &done, code))
            return false;
        if (done == 0)
            break;
        have += done;
    }
    out.truncate(have);
    return true;
}

bool File::rewrite(const QList<QByteArrayView> &pieces, int *code) const
{
    qint64 total = 0;
    for (const QByteArrayView piece : pieces)
        total += piece.size();
    return seekStart(code) && writeAll(pieces, code) && setLength(total, code) && sync(code);
}

} // namespace velra::platform
