#pragma once

#include <QString>

#include <optional>

// The failure of a function that answers false with the reason in *error: puts text there (when
// the caller gave a place for it) and returns false.
inline bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// The same for a function that answers an optional value: gives nothing.
inline std::nullopt_t failWithNothing(QString *error, const QString &text)
{
    fail(error, text);
    return std::nullopt;
}
