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

// As encode, for text typed into the pages (book and page names): the few characters that input
// methods outside Windows type in place of CP932 ones (〜 U+301C, − U+2212, — U+2014, ‖ U+2016,
// ¢, £, ¬) are written as Windows' own conversion writes them.
bool encodeTyped(QStringView text, QByteArray &out, qsizetype *badIndex = nullptr);

// The character Windows' input method types where others type `typed` (～ for 〜), or 0.
char16_t windowsCounterpart(char16_t typed);

// Decodes `bytes` into `out` (replacing its content). On failure returns false and, when given,
// sets `badOffset` to the offset of the first byte that is not valid.
bool decode(QByteArrayView bytes, QString &out, qsizetype *badOffset = nullptr);

bool canEncode(QStringView text, qsizetype *badIndex = nullptr);

// A short Japanese description of the character at `index` of `text`, for messages
// ("「…」の n 文字目の「x」(U+XXXX)").
QString describeUnencodable(QStringView text, qsizetype index);

} // namespace velra::cp932
