#pragma once

#include <QString>

// What kind of trouble the database engine's text of a failure tells of.
enum class EngineFault {
    Busy,        // another user or program holds the archive
    ReadOnly,    // the file or its folder cannot be written
    Disk,        // the disk failed or is full, or the file cannot be reached
    Unreachable, // the server does not answer or refuses the login
    Damaged,     // the file is not a sound database
    Structure,   // tables or columns the program needs are missing
    Other,
};

EngineFault engineFault(const QString &engineText);

// Whether a failure's text comes from the database engine, not from a rule of the program (a
// refusal, in Italian, which needs no advice about the archive).
bool isEngineText(const QString &text);

// What the program puts before the engine's text when another user holds the archive.
QString lockedArchiveExplanation();

// The Italian sentence that tells the user what to do about a fault.
QString faultAdvice(EngineFault fault);

// The message for a failed operation: the sentence saying what failed, what to do about it, and
// then the engine's own text.
QString failureMessage(const QString &whatFailed, const QString &engineText);
