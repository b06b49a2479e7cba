#pragma once

#include <QString>

namespace velra {

// Engine functions say why they failed through an optional message: sets it when the caller asked
// for one, and returns false so that a failure reads `return fail(error, ...)`.
inline bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace velra
