#include "ScriptFile.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "text/Shown.h"
#include "model/KeptSettings.h"
#include "model/LogFormat.h"
#include "io/OutputFile.h"

#include <algorithm>
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
    // What the host's block line can carry: the name ends at a double quote, a control character
    // would break the line, and a blank name names no book.
    if (isBlankName(name))
        return fail(error, name.isEmpty() ? QStringLiteral("%1が空です。\r\n名前を入れてください。").arg(what)
                                          : QStringLiteral("%1が空白だけです。\r\n空白のほかの文字を入れてください。").arg(what));
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (c == QLatin1Char('"'))
            return fail(error, QStringLiteral("%1の %2 文字目に二重引用符（\"）が含まれています。\r\n二重引用符を含まない名前にしてください。")
                                   .arg(what, QString::number(i + 1)));
        if (c.category() == QChar::Other_Control) {
            const QString which = c == QLatin1Char('\t') ? QStringLiteral("タブ") : c == QLatin1Char('\n') || c == QLatin1Char('\r') ? QStringLiteral("改行")
                                                                                                                             : QStringLiteral("制御文字");
            return fail(error, QStringLiteral("%1の %2 文字目に%3（U+%4）が含まれています。\r\n制御文字を含まない名前にしてください。")
                                   .arg(what, QString::number(i + 1), which,
                                        QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
        }
    }
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

bool holdsBook(QByteArrayView existing, QByteArrayView book)
{
    // Compared as the host reads them: text, so that CP932's two codes of one character (0x879A and
    // 0x81E6 for ∵) are one name; lines ended by CR LF, LF or a lone CR alike.
    QString wanted;
    const bool text = cp932::decode(book, wanted);
    const QByteArrayView open = "<Book=\"";
    const QByteArrayView close = "\">";
    for (qsizetype start = 0; start < existing.size();) {
        qsizetype end = start;
        while (end < existing.size() && existing[end] != '\n' && existing[end] != '\r')
            ++end;
        const QByteArrayView line = existing.sliced(start, end - start);
        if (line.startsWith(open) && line.endsWith(close) && line.size() >= open.size() + close.size()) {
            const QByteArrayView name = line.sliced(open.size(), line.size() - open.size() - close.size());
            QString held;
            if (name == book || (text && cp932::decode(name, held) && held == wanted))
                return true;
        }
        start = end + 1;
    }
    return false;
}

QString refusal(QByteArrayView existing, Route route, QByteArrayView book, const QString &fileName)
{
    // A settings file or a settings log picked by mistake: a book after it would break it.
    lastrun::Settings ignored;
    if (lastrun::decode(existing, ignored) != lastrun::Decoded::NotOurs)
        return QStringLiteral("「%1」は Velloran の設定ファイルです。スクリプトを追加すると壊れるため、保存しません。\r\n別のファイルを選んでください。")
            .arg(shownValue(fileName));
    QString text;
    if (existing.size() <= settingslog::kMaxLogBytes && cp932::decode(existing, text) && settingslog::isSettingsLog(text))
        return QStringLiteral("「%1」は設定ログです。スクリプトを追加すると壊れるため、保存しません。\r\n別のファイルを選んでください。")
            .arg(shownValue(fileName));
    // A file an editor saved in another encoding: a CP932 book after its text would make it neither,
    // and its books would be misread by the check below. Japanese CP932 text is practically never
    // valid UTF-8 as a whole.
    const bool unicodeMark = existing.startsWith("\xEF\xBB\xBF") || existing.startsWith("\xFF\xFE") || existing.startsWith("\xFE\xFF");
    const bool utf8 = std::any_of(existing.begin(), existing.end(), [](char c) { return uchar(c) >= 0x80; })
        && QUtf8StringView(existing).isValidUtf8();
    if (unicodeMark || utf8)
        return QStringLiteral("「%1」は CP932（Shift_JIS）ではない文字コード（UTF-8 など）で保存されています。コミックのホストは CP932 で読むため、追加すると文字化けします。\r\nCP932（Shift_JIS）で保存し直してから選んでください。")
            .arg(shownValue(fileName));
    if (route == Route::Csf && holdsBook(existing, book)) {
        QString name;
        cp932::decode(book, name);
        return QStringLiteral("ブック「%1」はすでに「%2」にあります。別のブック名にしてください。").arg(shownValue(name), shownValue(fileName));
    }
    return QString();
}

namespace {

QString notSaved(const QString &path, const QString &reason)
{
    return QStringLiteral("ファイル「%1」に保存できませんでした。\r\n%2").arg(shownValue(QDir::toNativeSeparators(path)), reason);
}

} // namespace

QString refusalBeforeSaving(const QString &path)
{
    const QString refused = output::refusalBeforeWriting(path);
    return refused.isEmpty() ? QString() : notSaved(path, refused);
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
    checked.refuse = [&](QByteArrayView existing) {
        duplicate = refusal(existing, route, book, QFileInfo(path).fileName());
        return duplicate;
    };
    if (output::write(path, compose, &reason, checked))
        return true;
    if (!duplicate.isEmpty())
        return fail(error, duplicate);
    return fail(error, notSaved(path, reason));
}

} // namespace velra::scriptfile
