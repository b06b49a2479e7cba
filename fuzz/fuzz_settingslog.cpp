// The settings-log reader and the generation behind it (both modes, chains of moves), on arbitrary bytes;
// and the settings files' reader, which takes the same bytes after its first lines.
#include "text/Cp932.h"
#include "handoff/LastRun.h"
#include "model/Run.h"
#include "script/ScrollScript.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A settings file read back is written the same: its fields cannot run into each other.
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    velra::lastrun::Settings kept;
    if (velra::lastrun::decode(bytes, kept) == velra::lastrun::Decoded::Ours) {
        velra::lastrun::Settings again;
        if (velra::lastrun::decode(velra::lastrun::encode(kept, true), again) != velra::lastrun::Decoded::Ours || again.log != kept.log
            || again.scrollPicture != kept.scrollPicture || again.backgroundPicture != kept.backgroundPicture
            || again.pageName != kept.pageName || again.route != kept.route)
            std::abort();
    }
    QString text;
    if (!velra::cp932::decode(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)), text))
        return 0;
    velra::Run run;
    velra::RunError problem;
    const bool read = velra::runlog::parse(text, run, &problem);
    if (read != run.isComplete() || (!read && problem.message.isEmpty()))
        std::abort();
    if (!read || size > 512) // long names make scripts of hundreds of megabytes: slow, not interesting
        return 0;
    if (run.isDetailed() && run.chain.segments.isEmpty())
        std::abort();
    QByteArray script;
    QString error;
    if (velra::generateScript(run, script, nullptr, &error)) {
        if (!script.startsWith("Graphic \"") || script.endsWith("\r\n"))
            std::abort();
    } else if (error.isEmpty() || !script.isEmpty()) {
        std::abort();
    }
    return 0;
}
