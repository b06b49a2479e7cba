#include "LastRun.h"

#include "Cp932.h"
#include "Failure.h"
#include "HandoffFiles.h"
#include "OwnFiles.h"

namespace velra::lastrun {
namespace {

// A first line to recognise the file by, the two paths (UTF-8, one a line), an empty line, then
// the settings log's bytes as they were.
constexpr char kHeader[] = "Velloran last settings 1\n";

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
    for (const QString &picture : {settings.scrollPicture, settings.backgroundPicture})
        bytes += (fitsOnALine(picture) ? picture.toUtf8() : QByteArray()) + '\n';
    bytes += '\n' + settings.log;
    return ownfile::write(path, bytes, error);
}

bool load(const QString &path, Settings &settings)
{
    // Room for the two paths besides the log.
    QByteArray bytes;
    if (!ownfile::read(path, settingslog::kMaxLogBytes + 65536, bytes))
        return false;
    if (!bytes.startsWith(kHeader))
        return false;
    const QList<QByteArray> lines = bytes.mid(qsizetype(sizeof kHeader) - 1).split('\n');
    if (lines.size() < 4 || !lines[2].isEmpty())
        return false;
    settings.scrollPicture = QString::fromUtf8(lines[0]);
    settings.backgroundPicture = QString::fromUtf8(lines[1]);
    const qsizetype logStart = qsizetype(sizeof kHeader) - 1 + lines[0].size() + lines[1].size() + 3;
    settings.log = bytes.mid(logStart);
    return true;
}

} // namespace velra::lastrun
