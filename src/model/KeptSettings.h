#pragma once

#include "Run.h"

#include <QByteArray>
#include <QString>

// The settings of the last run that generated its script, kept for the next run's pages: the
// settings log as it was written and where the two pictures were.
namespace velra::lastrun {

struct Settings
{
    enum class Route { None, Csf, Text };

    QByteArray log;            // the settings log's bytes
    QString scrollPicture;     // full paths, empty when a name was typed by hand
    QString backgroundPicture;
    // How the last script was saved: its route and page name (the book is new every time).
    Route route = Route::None;
    QString pageName;

    // The run as far as the log holds one (`lines` says how far); empty when it cannot be read.
    Run run() const;
};

// The file's bytes: a first line that names the kind of file and its version ("Velloran last
// settings 3" for the remembered settings, "Velloran settings 3" for a settings file the author
// names; "4" when the chain holds a shake or a bounce curve), the two paths, the route and the page name, an empty line, then the settings log's text:
// UTF-8 with a byte order mark and CR LF throughout. Versions 1 and 2 (the log as CP932 bytes) are
// still read.
QByteArray encode(const Settings &settings, bool named);
// What a file's bytes are, and the settings they hold (`Ours`).
enum class Decoded { Ours, NotOurs, Newer, Broken };
Decoded decode(QByteArrayView bytes, Settings &settings, int *version = nullptr);
// The version of the layout this program writes and reads.
constexpr int kVersion = 4;

} // namespace velra::lastrun
