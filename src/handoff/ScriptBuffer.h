#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

namespace velra::scriptbuffer {

// Layout of the script buffer, one stored text value at offset 0:
//
//   texts of up to 65,535 bytes      texts of 65,536 bytes and more
//   0  u16 LE  type tag 8 (text)     0  u16 LE  type tag 0x4008 (long text)
//   2  u16 LE  byte length N         2  u32 LE  byte length N
//   4  N bytes of CP932 text         6  N bytes of CP932 text
//
// Bytes after the value, left over from an earlier and longer buffer, are never read.
constexpr quint16 kTextTag = 8;
constexpr quint16 kLongTextTag = 0x4008;
constexpr qint64 kMaxLength = 0xFFFFFFFFLL;
// The generation never stores more than 1 GiB; a longer length is a damaged file, never allocated.
constexpr qint64 kMaxReadLength = qint64(1) << 30;

QByteArray header(qint64 length);

// Writes the stored value at offset 0 of `path` without truncating the file.
bool store(const QString &path, QByteArrayView script, QString *error);
bool load(const QString &path, QByteArray &script, QString *error);

// The same, on an open device positioned at the value's start.
bool write(QIODevice &device, QByteArrayView script);
// On failure `reason` says what is wrong with the value (in Japanese).
bool read(QIODevice &device, QByteArray &script, QString *reason);

} // namespace velra::scriptbuffer
