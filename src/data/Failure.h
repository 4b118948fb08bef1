#pragma once

#include <QString>

// The failure of a function that answers false with the reason in *error: puts text there (when
// the caller gave a place for it) and returns false.
inline bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}
