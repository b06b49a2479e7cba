#pragma once

#include "model/KeptSettings.h"

#include <QString>

// Where the last run's settings are kept between runs.
namespace velra::lastrun {

// Replaces the file whole (a failure leaves the older file as it was); a link or anything else at
// the name is replaced, never written through.
bool save(const QString &path, const Settings &settings, QString *error);
// False when there is no such file, it is not the user's own regular file, or not one of ours.
bool load(const QString &path, Settings &settings);

} // namespace velra::lastrun
