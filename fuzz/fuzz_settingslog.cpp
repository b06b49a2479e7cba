// The settings-log reader and the generation behind it (both modes), on arbitrary bytes.
#include "handoff/Cp932.h"
#include "handoff/HandoffFiles.h"
#include "handoff/SettingsLog.h"
#include "script/ScrollScript.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString text;
    if (!velra::cp932::decode(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)), text))
        return 0;
    QList<velra::LogValue> values;
    int found = -1;
    const bool complete = velra::settingslog::parseFields(text, velra::kFieldCount, values, &found);
    if (found < 0 || found > velra::kFieldCount || complete != (found == velra::kFieldCount))
        std::abort();
    if (!complete || size > 512) // long names make scripts of hundreds of megabytes: slow, not interesting
        return 0;
    // A detailed-mode log has nineteen values.
    if (values[int(velra::Field::SettingMode)].text.trimmed() == QLatin1String("2")
        && !velra::settingslog::parseFields(text, velra::settingslog::kDetailedRunFieldCount, values))
        return 0;
    QByteArray script;
    QString error;
    if (velra::generateFromLog(values, script, nullptr, &error)) {
        if (!script.startsWith("Graphic \"") || script.endsWith("\r\n"))
            std::abort();
    } else if (error.isEmpty() || !script.isEmpty()) {
        std::abort();
    }
    return 0;
}
