#pragma once

namespace velra::cp932::detail {

constexpr int kLeadCount = 60;   // 0x81-0x9F and 0xE0-0xFC
constexpr int kTrailCount = 188; // 0x40-0x7E and 0x80-0xFC
extern const char16_t kDoubleByte[kLeadCount][kTrailCount];

} // namespace velra::cp932::detail
