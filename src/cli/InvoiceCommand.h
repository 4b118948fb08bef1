#pragma once

class QCommandLineParser;

// import-fatture: reads electronic invoices (files, signed files, ZIP batches, folders) and books
// every one whose rows all have a sub-account; with --dry-run nothing is written, with --json the
// invoices are printed.
int importInvoicesCommand(const QCommandLineParser &parser);
