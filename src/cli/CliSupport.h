#pragma once

#include "data/Database.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <cstdio>
#include <functional>
#include <optional>

class InstanceLock;
class QCommandLineParser;
class FiscalEnvironment;

// What the command line's exit status tells.
namespace ExitStatus {
constexpr int Done = 0;
constexpr int Refused = 1;         // the request or the archive's data did not pass a check
constexpr int ArchiveUnusable = 2; // no archive, a damaged one, or bad arguments for a new one
constexpr int DatabaseFailure = 3; // locked, read-only, disk
} // namespace ExitStatus

void printLine(FILE *stream, const QString &text);

// Keeps Qt's own diagnostics (English, for developers) off the user's stderr: every message the
// command line prints is its own, in Italian.
void silenceQtDiagnostics();

// Prints a refusal (the program's own Italian sentence) on stderr in one line; its exit status.
int reportRefusal(const QString &message);

// Prints the failure on stderr, in one line, and gives the exit status its text calls for: a
// damaged or foreign database leaves the archive unusable, any other text of the engine is a
// failure of the database, and a text of the program's own (a rule, an output file that cannot
// be written) is a refusal, printed alone: it says itself what is wrong.
int reportFailure(const QString &whatFailed, const QString &engineText);

// The date of an option in ISO form, or fallback when the option is absent; an unreadable date
// is told on stderr and gives nothing.
std::optional<QDate> dateOption(const QCommandLineParser &parser, const QString &name,
                                const QDate &fallback);

// The exit status of a message that keeps an archive from being used: a busy, read-only or
// unreachable database (named by the engine's text at its end) is a database failure, anything
// else leaves the archive unusable.
int statusForProblem(const QString &message);

// The archive named by --archive. A folder without a usable archive is told
// on stderr and gives nothing, with the exit status in *failureStatus.
std::optional<Archive> archiveOption(const QCommandLineParser &parser, int *failureStatus);

// Sets the environment to the working date of --date (today when absent) on its archive.
// Returns the exit status of the failure, told on stderr, or nothing when ready.
std::optional<int> prepareEnvironment(const QCommandLineParser &parser,
                                      FiscalEnvironment &environment);

// Runs command on the archive of --archive with its environment at the working date of --date.
// An archive or environment that cannot be opened is told on stderr and gives its exit status
// without running command.
int withEnvironment(const QCommandLineParser &parser,
                    const std::function<int(const QCommandLineParser &, const Archive &,
                                            FiscalEnvironment &)> &command);

// Says on stderr that the program holds the per-user lock; the exit status for it.
int reportLocked();

// Takes the per-user lock and readies the archive for a command that writes (openForWriting).
// Nothing when ready, with the lock held by *lock; otherwise the exit status, with the reason
// told on stderr: an archive holding objects the program did not create is unusable.
std::optional<int> lockForWriting(InstanceLock &lock, const Archive &archive);

// Warns on stderr when the archive keeps monthly totals that no longer agree with its entries
// (another tool changed them): the balances are then computed from the entries.
void warnIfTotalsDiffer(const QSqlDatabase &database);

// The contents of a file a command reads (entries, a bank statement); nothing, told on stderr,
// when it cannot be read or is far larger than any such file.
std::optional<QByteArray> inputFile(const QString &path);

// As after a save in the editor: each fiscal year of the dates whose numbering no longer follows
// the dates is told on stderr.
void warnOfBrokenNumbering(const Archive &archive, const QList<QDate> &dates);
