#include "ScriptFile.h"

#include "handoff/Cp932.h"
#include "handoff/HandoffFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace velra::scriptfile {
namespace {

constexpr char kCrLf[] = "\r\n";

bool put(QIODevice &out, QByteArrayView bytes)
{
    return out.write(bytes.data(), bytes.size()) == bytes.size();
}

} // namespace

QByteArray headerBlock()
{
    return QByteArrayLiteral("/// Fablescope for Win95\r\n"
                             "/// Comic Script File (Command Version 16)\r\n"
                             "<Head=\"Comic\">\r\n"
                             "FileType = FBS95\r\n"
                             "CmdVer = 16\r\n"
                             "MciMusic = Sequencer\r\n"
                             "MciSound = WaveAudio\r\n"
                             "SelectChange= 1\r\n"
                             "ShowKeyWaitChar = 1\r\n"
                             "<Head End>");
}

QString filter(Route route)
{
    return route == Route::Csf ? QStringLiteral("コミックファイル(*.csf)|*.csf")
                               : QStringLiteral("テキストファイル(*.txt)|*.txt");
}

bool encodeName(const QString &name, const QString &what, QByteArray &encoded, QString *error)
{
    if (hasControlCharacter(name)) {
        if (error)
            *error = QStringLiteral("%1に改行などの制御文字が含まれています。\r\n制御文字を含まない名前にしてください。").arg(what);
        return false;
    }
    QByteArray bytes;
    qsizetype bad = 0;
    if (!cp932::encode(name, bytes, &bad)) {
        if (error)
            *error = QStringLiteral("%1の %2 は Shift_JIS（CP932）で保存できない文字です。\r\n別の文字に置き換えてください。")
                         .arg(what, cp932::describeUnencodable(name, bad));
        return false;
    }
    encoded = std::move(bytes);
    return true;
}

bool writeComposed(QIODevice &out, Route route, QByteArrayView existing, QByteArrayView book, QByteArrayView page,
                   QByteArrayView script)
{
    // Before the book: the old text as it was, or the header block of a new comic script file.
    if (!existing.isEmpty()) {
        if (!put(out, existing) || !put(out, kCrLf))
            return false;
    } else if (route == Route::Csf) {
        if (!put(out, headerBlock()) || !put(out, kCrLf))
            return false;
    }
    return put(out, "<Book=\"") && put(out, book) && put(out, "\">\r\n<Page=\"") && put(out, page)
        && put(out, "\">\r\n") && put(out, script) && put(out, "\r\n<Page End>\r\n<Book End>\r\n");
}

bool save(const QString &path, Route route, QByteArrayView book, QByteArrayView page, QByteArrayView script,
          QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    const auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("ファイル「%1」に保存できませんでした。\r\n%2").arg(shown, reason);
        return false;
    };
    const QFileInfo info(path);
    QByteArray existing;
    if (info.exists()) {
        if (info.isDir())
            return fail(QStringLiteral("同じ名前のフォルダーがあります。"));
        // Replacing through a temporary file would succeed even here (and root may write anything),
        // but the author marked the file read-only.
        if (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner))
            return fail(QStringLiteral("ファイルが読み取り専用です。"));
        QFile old(path);
        if (!old.open(QIODevice::ReadOnly))
            return fail(fileErrorReason(old));
        existing = old.readAll();
        if (old.error() != QFileDevice::NoError)
            return fail(fileErrorReason(old));
    }

    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return fail(fileErrorReason(file));
    if (info.exists())
        file.setPermissions(info.permissions());
    if (!writeComposed(file, route, existing, book, page, script)) {
        const QString reason = fileErrorReason(file);
        file.cancelWriting();
        file.commit(); // removes the temporary file
        return fail(reason);
    }
    if (!file.commit())
        return fail(fileErrorReason(file));
    return true;
}

} // namespace velra::scriptfile
