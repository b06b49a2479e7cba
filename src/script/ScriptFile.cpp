#include "ScriptFile.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "handoff/HandoffFiles.h"
#include "io/OutputFile.h"

#include <QDir>
#include <QFileInfo>

namespace velra::scriptfile {
namespace {

constexpr char kCrLf[] = "\r\n";

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
        return fail(error, QStringLiteral("%1に改行などの制御文字が含まれています。\r\n制御文字を含まない名前にしてください。").arg(what));
    }
    QByteArray bytes;
    qsizetype bad = 0;
    if (!cp932::encodeTyped(name, bytes, &bad)) {
        return fail(error, QStringLiteral("%1の %2 は Shift_JIS（CP932）で保存できない文字です。\r\n別の文字に置き換えてください。")
                               .arg(what, cp932::describeUnencodable(name, bad)));
    }
    encoded = std::move(bytes);
    return true;
}

void composePieces(Route route, QByteArrayView existing, QByteArrayView book, QByteArrayView page,
                   QByteArrayView script, output::Pieces &pieces)
{
    static const QByteArray header = headerBlock();
    // Before the book: the old text as it was, or the header block of a new comic script file.
    if (!existing.isEmpty())
        pieces << existing << kCrLf;
    else if (route == Route::Csf)
        pieces << header << kCrLf;
    pieces << "<Book=\"" << book << "\">\r\n<Page=\"" << page << "\">\r\n" << script << "\r\n<Page End>\r\n<Book End>\r\n";
}

bool writeComposed(QIODevice &out, Route route, QByteArrayView existing, QByteArrayView book, QByteArrayView page,
                   QByteArrayView script)
{
    output::Pieces pieces;
    composePieces(route, existing, book, page, script, pieces);
    for (const QByteArrayView piece : pieces) {
        if (out.write(piece.data(), piece.size()) != piece.size())
            return false;
    }
    return true;
}

bool holdsBook(QByteArrayView existing, QByteArrayView book)
{
    const QByteArray wanted = "<Book=\"" + book.toByteArray() + "\">";
    for (qsizetype start = 0; start < existing.size();) {
        qsizetype end = existing.indexOf('\n', start);
        if (end < 0)
            end = existing.size();
        QByteArrayView line = existing.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line == wanted)
            return true;
        start = end + 1;
    }
    return false;
}

bool save(const QString &path, Route route, QByteArrayView book, QByteArrayView page, QByteArrayView script,
          QString *error, const output::Options &options)
{
    QString reason;
    const auto compose = [&](QByteArrayView existing, output::Pieces &pieces) {
        composePieces(route, existing, book, page, script, pieces);
    };
    output::Options checked = options;
    QString duplicate;
    if (route == Route::Csf) {
        checked.refuse = [&](QByteArrayView existing) {
            if (!holdsBook(existing, book))
                return QString();
            QString name;
            cp932::decode(book, name);
            duplicate = QStringLiteral("ブック「%1」はすでに「%2」にあります。別のブック名にしてください。")
                            .arg(shownValue(name), shownValue(QFileInfo(path).fileName()));
            return duplicate;
        };
    }
    if (output::write(path, compose, &reason, checked))
        return true;
    if (!duplicate.isEmpty())
        return fail(error, duplicate);
    return fail(error, QStringLiteral("ファイル「%1」に保存できませんでした。\r\n%2").arg(shownValue(QDir::toNativeSeparators(path)), reason));
}

} // namespace velra::scriptfile
