#pragma once

class QCommandLineParser;

// tovrin3-cli post --archive DIR --file entries.json [--dry-run]: books the entries of a JSON
// file written by another program, all or none, and prints the number each one was given, one a
// line. Returns the process exit status.
int postCommand(const QCommandLineParser &parser);
