#pragma once

#include <QString>

// What kind of trouble a failure of the database engine is. The data layer tells it once, from
// the engine's own code (SQLite's result code, the server's SQLSTATE), and passes the failure
// on as text that begins with the kind's Italian sentence; what the program says and the
// command line's exit status are chosen from the kind.
enum class EngineFault {
    Busy,        // another user or program holds the archive, or a lock was not granted in time
    ReadOnly,    // the file or its folder cannot be written
    Disk,        // the disk failed or is full, or the file cannot be reached
    Unreachable, // the server does not answer, refuses the login, or ended the connection
    Permission,  // the server's user may not do this
    Constraint,  // a unique, check or reference rule of the tables refused the data
    Damaged,     // the file is not a sound database
    Structure,   // tables or columns the program needs are missing
    Other,
};

// The kind of SQLite's result code, primary or extended.
EngineFault sqliteFault(int resultCode);
// The kind of the server's SQLSTATE; a failure without one is the client library's own, which
// has lost or never had the connection.
EngineFault serverFault(const QString &sqlState);

// A failure as the data layer passes it on: the kind's sentence on a line of its own, then the
// engine's own words.
QString engineFailureText(EngineFault fault, const QString &engineWords);
// The engine's own words of a failure passed on, without the kind's sentence.
QString engineWords(const QString &text);

// The kind of a failure passed on by the data layer, read from the sentence it put in the text
// (also inside a longer message); Other for anything else.
EngineFault engineFault(const QString &text);

// Whether a text tells of a failure of the database engine, not of a rule of the program (a
// refusal, in Italian, which needs no advice about the archive).
bool isEngineText(const QString &text);

// The message for a failed operation: the sentence saying what failed, what to do about it, and
// then the engine's own words.
QString failureMessage(const QString &whatFailed, const QString &engineText);
