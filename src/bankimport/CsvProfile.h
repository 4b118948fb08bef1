#pragma once

#include "data/Database.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

// How a bank's CSV or spreadsheet export is laid out, saved in the archive under a name. Columns
// count from 1; 0 is a column the file does not have. The amount is either one signed column or
// a debit and a credit column. skippedRows counts the rows at the top, heading included, and
// skippedEndRows those at the end. A row any of whose fields holds one of ignoredTexts (without
// regard to case or accents: a balance row, "SALDO INIZIALE") is skipped and counted. With a
// status column, only rows whose status is one of bookedStatuses are booked; the others are
// listed as waiting.
struct CsvProfile {
    QString name;
    QChar separator = u';';
    QString encoding = QStringLiteral("UTF-8"); // "Windows-1252", "ISO-8859-15"
    int skippedRows = 0;
    int skippedEndRows = 0;
    QString dateFormat = QStringLiteral("dd/MM/yyyy");
    int dateColumn = 0;
    int valueDateColumn = 0;
    int amountColumn = 0;
    int debitColumn = 0;
    int creditColumn = 0;
    int descriptionColumn = 0;
    int counterpartyColumn = 0;
    QStringList ignoredTexts{QStringLiteral("saldo")};
    int statusColumn = 0;
    QStringList bookedStatuses;

    bool operator==(const CsvProfile &) const = default;
};

// The encodings a profile may name, and the date formats offered (any other pattern of days
// "d", months "M" or "MMM" and years "yy" or "yyyy" may be typed).
const QStringList &csvEncodings();
const QStringList &csvDateFormats();

// The date text written in the pattern: Italian month names, a two-digit year from 2000 to
// 2099, a time after the date let be. An invalid date when it is not one.
QDate statementDate(const QString &text, const QString &pattern);

// Why the profile cannot read a file (a missing column, an unknown encoding...); empty when it
// can.
QString csvProfileProblem(const CsvProfile &profile);

std::optional<QList<CsvProfile>> csvProfiles(const QSqlDatabase &database, QString *error);
std::optional<CsvProfile> csvProfileNamed(const QSqlDatabase &database, const QString &name,
                                          QString *error);
// Saves the profile under its name, replacing one of the same name.
bool saveCsvProfile(const Connection &connection, const CsvProfile &profile, QString *error);
// Removes the named profile; false with a message when there is none.
bool removeCsvProfile(const Connection &connection, const QString &name, QString *error);

// The text of the file in the encoding, without a byte order mark; nothing, with the line of the
// first byte the encoding does not have, otherwise.
std::optional<QString> decodedText(const QByteArray &file, const QString &encoding, QString *error);

// The records of CSV text split on the separator (quotes and separators inside quotes kept as
// the file means them), each with the line it starts on, counted from 1. A spreadsheet's rows
// carry, beside the text of each cell, its date or amount as the spreadsheet stores it.
struct CsvRecord {
    int line = 0;
    QStringList fields;
    QVariantList typed; // a QDate or a Money by field, null for text; empty for CSV
};
// A quote left open (which would swallow the lines after it into one field) is refused with the
// line where it opens.
std::optional<QList<CsvRecord>> csvRecords(const QString &text, QChar separator, QString *error);
