#include "FileSystem.h"

#include <QFileInfo>

// The procedures of File made of its per-system primitives: one read-whole-file loop, one rewrite;
// and what is the same on every system.
namespace velra::platform {

const char *wordFor(Word word)
{
    switch (word) {
    case Word::DiskFull:
        return "ディスクの空きが足りません";
    case Word::Denied:
        return "アクセスが許可されていません";
    case Word::ReadOnlyDrive:
        return "書き込みが禁止されたドライブです";
    case Word::SameNameFolder:
        return "同じ名前のフォルダーがあります";
    case Word::SameNameFile:
        return "同じ名前のファイルがあります";
    case Word::NoFolder:
        return "保存先のフォルダーが見つかりません";
    case Word::NameTooLong:
        return "ファイル名が長すぎます";
    case Word::FileTooLarge:
        return "ファイルが大きすぎます";
    case Word::DiskError:
        return "ディスクの読み書きでエラーが起きました";
    case Word::ReaderStopped:
        return "書き出し先が受け取りを止めました";
    case Word::NotOpen:
        return "書き出し先が開かれていません";
    case Word::LinkLoop:
        return "リンクが循環しています";
    case Word::NotRegular:
        return "通常のファイルではありません";
    case Word::Busy:
        return "ほかのプログラムが使用中です（そのプログラムを閉じてから、もう一度お試しください）";
    case Word::BadName:
        return "ファイル名が使えません";
    case Word::Failed:
        return "ファイル操作に失敗しました";
    case Word::LinkRefused:
        return "リンクになっています（ほかのユーザーが置いた可能性があるため、開きません）";
    case Word::Folder:
        return "フォルダーです";
    case Word::OthersFile:
        return "ほかのユーザーのファイルです";
    case Word::DanglingLink:
        return "リンクの先にファイルがありません（壊れたリンクです）。";
    case Word::NotFound:
        return "見つかりません";
    case Word::CannotOpen:
        return "開けませんでした";
    }
    return "ファイル操作に失敗しました";
}

const char *reasonFor(int code)
{
    return wordFor(reasonWord(code));
}

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

bool mayFollow(const LinkFacts &facts)
{
    return !facts.isLink || facts.mine || facts.bySystem || !facts.folderOpen;
}

void testing::setPathCheck(std::function<bool(const QString &path)> check)
{
    pathCheck() = std::move(check);
}

bool File::isAt(const QString &path) const
{
    return pathCheck() ? pathCheck()(path) : isAtPath(path);
}

bool File::isAt(const Folder &in, const QString &name) const
{
    return pathCheck() ? pathCheck()(in.pathOf(name)) : isAtName(in, name);
}

bool makeFolders(const QString &path, int *code)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !QFileInfo(parent).isDir() && !makeFolders(parent, code))
        return false;
    return makeFolder(info.absoluteFilePath(), code);
}

QString Folder::pathOf(const QString &name) const
{
    return m_path.isEmpty() || m_path.endsWith(QLatin1Char('/')) || m_path.endsWith(QLatin1Char('\\')) ? m_path + name
                                                                                                     : m_path + QLatin1Char('/') + name;
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
