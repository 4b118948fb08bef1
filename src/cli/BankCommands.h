#pragma once

class QCommandLineParser;

// import-bank: reads a bank statement, books every movement with a proposed counterpart and
// lists the others; with --dry-run nothing is written, with --json the movements are printed.
int importBankCommand(const QCommandLineParser &parser);

// bank-rule add|list: the rules that propose the counterpart of bank movements.
int bankRuleCommand(const QCommandLineParser &parser);

// bank-account: keeps the IBAN of a bank sub-account, which picks its statement out of a file
// with several accounts.
int bankAccountCommand(const QCommandLineParser &parser);

// csv-profile add|list|remove: the saved layouts of banks' CSV and XLSX exports.
int csvProfileCommand(const QCommandLineParser &parser);
