#pragma once

#include "SettingsLog.h"

#include <QByteArray>
#include <QString>

// The settings of the last run that generated its script, kept for the next run's pages: the
// settings log as it was written and where the two pictures were.
namespace velra::lastrun {

struct Settings
{
    QByteArray log;            // the settings log's bytes
    QString scrollPicture;     // full paths, empty when a name was typed by hand
    QString backgroundPicture;

    // The log's values: nine, fourteen (simple mode) or nineteen (detailed mode); empty when the
    // log cannot be read.
    QList<LogValue> values() const;
};

// Written as the saves write (a failure leaves the older file whole).
bool save(const QString &path, const Settings &settings, QString *error);
// False when there is no such file or it is not one of ours.
bool load(const QString &path, Settings &settings);

} // namespace velra::lastrun
