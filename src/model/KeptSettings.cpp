#include "model/KeptSettings.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "text/Shown.h"

#include <QDir>

namespace velra::lastrun {
namespace {

// A first line to recognise the file by, the two paths (UTF-8, one a line), an empty line, then
// the settings log. Version 2 has two more lines before the empty one: the save's route ("csf",
// "txt" or nothing) and its page name, and the log as its CP932 bytes. Version 3 is one text in one
// encoding, as an editor shows and saves it: UTF-8 with a byte order mark and CR LF, the log's text
// included. Version 4 is version 3 with a chain that holds a shake or a bounce curve.
constexpr char kLastKind[] = "Velloran last settings ";
constexpr char kNamedKind[] = "Velloran settings ";
constexpr char kBom[] = "\xEF\xBB\xBF";

bool fitsOnALine(const QString &path)
{
    return !path.contains(QLatin1Char('\n')) && !path.contains(QLatin1Char('\r'));
}

} // namespace

Run Settings::run() const
{
    QString text;
    Run run;
    if (!cp932::decode(log, text) || !runlog::parse(text, run, nullptr, 4)) {
        // What the pages before a refused line can still take, and the chain as it was typed.
        const QList<LogLine> typed = run.typedChain;
        if (!runlog::parse(text, run, nullptr, 0))
            run = Run();
        else if (run.isDetailed())
            run.typedChain = typed;
    }
    return run;
}

QByteArray encode(const Settings &settings, bool named)
{
    // The log is CP932 (the pages write it so); should it not read back as the same bytes (no text,
    // or one of CP932's doubly coded characters), its bytes are kept as they are, in the layout of
    // version 2, rather than changed.
    QString log;
    QByteArray again;
    const bool text = cp932::decode(settings.log, log) && !settings.log.contains('\0') && cp932::encode(log, again)
        && again == settings.log;
    const QByteArray end = text ? "\r\n" : "\n";
    QByteArray bytes = text ? QByteArray(kBom) : QByteArray();
    // A chain with a shake or a bounce is version 4, so that a copy of Velloran from before them
    // says the file is newer instead of calling it damaged; any other is version 3, which it reads.
    Run run;
    runlog::parse(log, run, nullptr);
    const int version = !text ? 2 : runlog::holdsNewerMotion(run.typedChain) ? 4 : 3;
    bytes += QByteArray(named ? kNamedKind : kLastKind) + QByteArray::number(version) + end;
    const QString route = settings.route == Settings::Route::Csf ? QStringLiteral("csf") : settings.route == Settings::Route::Text ? QStringLiteral("txt") : QString();
    // The pictures as the system writes paths ("C:\\comic\\a.bmp" on Windows); read back either way.
    for (const QString &line : {QDir::toNativeSeparators(settings.scrollPicture), QDir::toNativeSeparators(settings.backgroundPicture),
                                route, settings.pageName})
        bytes += (fitsOnALine(line) ? line.toUtf8() : QByteArray()) + end;
    bytes += end + (text ? log.toUtf8() : settings.log);
    return bytes;
}

Decoded decode(QByteArrayView bytes, Settings &settings, int *version)
{
    // Either kind is read as the other: a remembered file copied out is a settings file too. An
    // editor may have put a byte order mark before it.
    const bool marked = bytes.startsWith(kBom);
    if (marked)
        bytes = bytes.sliced(3);
    qsizetype at = 0;
    if (bytes.startsWith(kNamedKind))
        at = qsizetype(sizeof kNamedKind) - 1;
    else if (bytes.startsWith(kLastKind))
        at = qsizetype(sizeof kLastKind) - 1;
    else
        return Decoded::NotOurs;
    // Lines may end with CR LF, as an editor on Windows may have saved them.
    const auto line = [](QByteArrayView l) { return l.endsWith('\r') ? l.chopped(1) : l; };
    const qsizetype end = bytes.indexOf('\n', at);
    const QByteArrayView digits = line(bytes.sliced(at, (end < 0 ? bytes.size() : end) - at));
    bool numeric = !digits.isEmpty() && digits.size() <= 6;
    for (const char c : digits)
        numeric = numeric && c >= '0' && c <= '9';
    if (!numeric)
        return Decoded::NotOurs;
    const int v = digits.toInt();
    if (version)
        *version = v;
    if (v > kVersion)
        return Decoded::Newer;
    if (v < 1 || end < 0)
        return Decoded::Broken;
    const int named = v == 1 ? 2 : 4; // lines before the empty one
    QList<QByteArrayView> lines;
    qsizetype from = end + 1;
    for (int i = 0; i <= named; ++i) {
        const qsizetype next = bytes.indexOf('\n', from);
        if (next < 0)
            return Decoded::Broken;
        lines.append(line(bytes.sliced(from, next - from)));
        from = next + 1;
    }
    if (!lines[named].isEmpty())
        return Decoded::Broken;
    for (int i = 0; i < named; ++i) {
        if (!QUtf8StringView(lines[i]).isValidUtf8() || lines[i].contains('\r'))
            return Decoded::Broken;
    }
    Settings read;
    read.scrollPicture = QDir::fromNativeSeparators(QString::fromUtf8(lines[0]));
    read.backgroundPicture = QDir::fromNativeSeparators(QString::fromUtf8(lines[1]));
    if (v >= 2) {
        read.route = lines[2] == "csf" ? Settings::Route::Csf : lines[2] == "txt" ? Settings::Route::Text : Settings::Route::None;
        read.pageName = QString::fromUtf8(lines[3]);
    }
    if (v >= 3) {
        // The log as text: back to the CP932 bytes the pages and the engine read.
        const QByteArrayView rest = bytes.sliced(from);
        if (!QUtf8StringView(rest).isValidUtf8() || rest.contains('\0') || !cp932::encode(QString::fromUtf8(rest), read.log))
            return Decoded::Broken;
    } else {
        if (marked)
            return Decoded::Broken; // a version 2 log saved again as UTF-8 is no longer its bytes
        read.log = bytes.sliced(from).toByteArray();
    }
    settings = std::move(read);
    return Decoded::Ours;
}

} // namespace velra::lastrun
