#pragma once

class QCommandLineParser;

// tovrin3-cli fill --archive DIR [--date D] --template FILE --out FILE.xlsx: fills a spreadsheet
// template with the balances of the fiscal year of the date (today when absent) and of the year
// before, and prints how many placeholders were filled. Errors go to stderr in Italian; the exit
// code is then 1.
int fillCommand(const QCommandLineParser &parser);
