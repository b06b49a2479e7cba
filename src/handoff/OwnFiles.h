#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The wizard's own small files in the per-user folder (the remembered settings, the last save
// folder). Unlike the author's files, whose links stay links, whatever else stands at their names
// (a link, a FIFO, a device, another user's file) is never opened, read or written through.
namespace velra::ownfile {

// The file's bytes when it is the user's own regular file of at most `max` bytes. False, with
// `problem`, otherwise (missing included).
bool read(const QString &path, qint64 max, QByteArray &out, QString *problem = nullptr);

// A new file of the user's alone, written beside the name, synced, and renamed over it: what stood
// there is replaced as a name, never followed. A failure leaves the old file whole. The folder is
// made when missing and `makeFolder` (the per-user folder, made on first use).
bool write(const QString &path, QByteArrayView bytes, QString *error = nullptr, bool makeFolder = true);

} // namespace velra::ownfile
