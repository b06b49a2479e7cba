#include "LastRun.h"

#include "text/Cp932.h"
#include "text/Failure.h"
#include "HandoffFiles.h"
#include "OwnFiles.h"

namespace velra::lastrun {
namespace {

// A first line to recognise the file by, the two paths (UTF-8, one a line), an empty line, then
// the settings log's bytes as they were. Version 2 has two more lines before the empty one: the
// save's route ("csf", "txt" or nothing) and its page name.
constexpr char kHeader[] = "Velloran last settings 2\n";
constexpr char kFirstHeader[] = "Velloran last settings 1\n";

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
        // What the pages before a refused line can still take.
        if (!runlog::parse(text, run, nullptr, 0))
            run = Run();
    }
    return run;
}

bool save(const QString &path, const Settings &settings, QString *error)
{
    QByteArray bytes = kHeader;
    const QString route = settings.route == Settings::Route::Csf ? QStringLiteral("csf") : settings.route == Settings::Route::Text ? QStringLiteral("txt") : QString();
    for (const QString &line : {settings.scrollPicture, settings.backgroundPicture, route, settings.pageName})
        bytes += (fitsOnALine(line) ? line.toUtf8() : QByteArray()) + '\n';
    bytes += '\n' + settings.log;
    return ownfile::write(path, bytes, error);
}

bool load(const QString &path, Settings &settings)
{
    // Room for the two paths besides the log.
    QByteArray bytes;
    if (!ownfile::read(path, settingslog::kMaxLogBytes + 65536, bytes))
        return false;
    const bool first = bytes.startsWith(kFirstHeader);
    if (!first && !bytes.startsWith(kHeader))
        return false;
    const int named = first ? 2 : 4; // lines before the empty one
    const QList<QByteArray> lines = bytes.mid(qsizetype(sizeof kHeader) - 1).split('\n');
    if (lines.size() < named + 2 || !lines[named].isEmpty())
        return false;
    settings.scrollPicture = QString::fromUtf8(lines[0]);
    settings.backgroundPicture = QString::fromUtf8(lines[1]);
    settings.route = first ? Settings::Route::None : lines[2] == "csf" ? Settings::Route::Csf : lines[2] == "txt" ? Settings::Route::Text : Settings::Route::None;
    settings.pageName = first ? QString() : QString::fromUtf8(lines[3]);
    qsizetype logStart = qsizetype(sizeof kHeader) - 1;
    for (int i = 0; i <= named; ++i)
        logStart += lines[i].size() + 1;
    settings.log = bytes.mid(logStart);
    return true;
}

} // namespace velra::lastrun
