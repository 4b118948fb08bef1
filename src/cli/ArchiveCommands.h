#pragma once

class QCommandLineParser;

// The command line's archive commands; each returns the process exit status.

// Lists the offered charts of accounts, one a line: position (from 0), a tab, the name.
int listCharts();
// Creates an archive as the new-archive window does and prints its folder.
int createArchiveCommand(const QCommandLineParser &parser);
// Copies a file archive to an empty server database (--to) and names it in server.ini, or a
// server archive into a new file (--to-sqlite); the original stays as it was.
int migrateCommand(const QCommandLineParser &parser);
// Checks the archive for the fiscal year of the working date and prints the findings in JSON.
int checkArchiveCommand(const QCommandLineParser &parser);
// Renumbers the current fiscal year, the previous one or both.
int renumberCommand(const QCommandLineParser &parser);
// Lists the final prints of the journal book of a fiscal year (the working date's, or the one
// starting in --year), one a line or in JSON.
int finalPrintsCommand(const QCommandLineParser &parser);
// Undoes the last year-end (the previous fiscal year of the working date closed, the current one
// opened), after a backup; asks nothing.
int reopenCommand(const QCommandLineParser &parser);
// Copies the archive into its backup folder, or to --out, and prints the copy's path.
int backupCommand(const QCommandLineParser &parser);
// Puts the copy named by --from in place of the archive's database, after checking it and
// keeping the database it replaces as a backup.
int restoreCommand(const QCommandLineParser &parser);
