#include "LastRun.h"

#include "OwnFiles.h"

namespace velra::lastrun {

bool save(const QString &path, const Settings &settings, QString *error)
{
    return ownfile::write(path, encode(settings, false), error);
}

bool load(const QString &path, Settings &settings)
{
    // Room for the two paths besides the log.
    QByteArray bytes;
    if (!ownfile::read(path, settingslog::kMaxLogBytes + 65536, bytes))
        return false;
    return decode(bytes, settings) == Decoded::Ours;
}

} // namespace velra::lastrun
