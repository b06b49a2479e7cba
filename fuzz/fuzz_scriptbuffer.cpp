// The script-buffer loader on arbitrary bytes: a script whole, or an error, never a partial one.
#include "handoff/ScriptBuffer.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    QByteArray script;
    QString reason;
    if (velra::scriptbuffer::read(device, script, &reason)) {
        const QByteArray head = velra::scriptbuffer::header(script.size());
        if (!bytes.startsWith(head) || bytes.mid(head.size(), script.size()) != script)
            std::abort();
    } else if (reason.isEmpty() || !script.isEmpty()) {
        std::abort();
    }
    return 0;
}
