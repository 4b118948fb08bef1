#pragma once

class QCommandLineParser;

// import-bank: reads a bank statement, books every movement with a proposed counterpart and
// lists the others; with --dry-run nothing is written, with --json the movements are printed.
int importBankCommand(const QCommandLineParser &parser);

// bank-rule add|list: the rules that propose the counterpart of bank movements.
int bankRuleCommand(const QCommandLineParser &parser);
