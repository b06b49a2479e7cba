#pragma once

#include "io/OutputFile.h"

#include <QByteArray>
#include <QString>

// Writing the script into a comic script file or a text file: one book holding one page, after the
// existing text of the file, or under the header block of a new comic script file.
namespace velra::scriptfile {

enum class Route { Csf, Text };

// The ten header lines of a new comic script file, joined by CR LF, without a final CR LF.
QByteArray headerBlock();

// The file dialog's filter for a route.
QString filter(Route route);

// A book or page name as it is written: CP932; refused, naming the character, with a double quote
// or a control character (a tab included), and refused when empty or of spaces only (ASCII or
// ideographic). `what` names the field in the message ("ブック名").
bool encodeName(const QString &name, const QString &what, QByteArray &encoded, QString *error);

// The composed text T and one CR LF, as pieces to write one after another.
void composePieces(Route route, QByteArrayView existing, QByteArrayView book, QByteArrayView page,
                   QByteArrayView script, output::Pieces &pieces);

// Whether `existing` holds a book of this name (CP932 bytes, as written): the host could not tell two
// books of one name apart. Names are compared as text; CR LF, LF and CR end lines alike.
bool holdsBook(QByteArrayView existing, QByteArrayView book);

// Why a book cannot be added after `existing` (the file named `fileName`): it is a settings file or
// a settings log, or (a comic script file) it already holds the book. Empty when it can.
QString refusal(QByteArrayView existing, Route route, QByteArrayView book, const QString &fileName);

// Saves into `path` (see OutputFile.h): a failure leaves the original as it was, and `error` names
// the file and the reason. A comic script file that already holds the book is refused, untouched.
// What the save would refuse of the file at `path` itself (read-only, no file, held open), in the
// save's words, found before anything is written or asked; empty when nothing is seen.
QString refusalBeforeSaving(const QString &path);
bool save(const QString &path, Route route, QByteArrayView book, QByteArrayView page, QByteArrayView script,
          QString *error, const output::Options &options = {});

} // namespace velra::scriptfile
