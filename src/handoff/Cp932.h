#pragma once

#include <QByteArray>
#include <QString>

// Code page 932 exactly as Windows maps it (not plain Shift_JIS): 0x8160 is U+FF5E, the NEC and
// IBM extensions are included, and characters with several codes are written with the code
// Windows writes. Nothing is ever replaced: text that cannot be held, or bytes that are not valid,
// are refused.
namespace velra::cp932 {

// Encodes `text`, appending to `out`. On failure returns false, leaves `out` as it was and, when
// given, sets `badIndex` to the offending character's index in `text`.
bool encode(QStringView text, QByteArray &out, qsizetype *badIndex = nullptr);

// Decodes `bytes` into `out` (replacing its content). On failure returns false and, when given,
// sets `badOffset` to the offset of the first byte that is not valid.
bool decode(QByteArrayView bytes, QString &out, qsizetype *badOffset = nullptr);

bool canEncode(QStringView text, qsizetype *badIndex = nullptr);

// A short Japanese description of the character at `index` of `text`, for messages
// ("「…」の n 文字目の「x」(U+XXXX)").
QString describeUnencodable(QStringView text, qsizetype index);

} // namespace velra::cp932
