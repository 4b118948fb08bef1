#pragma once

#include "data/Database.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// How a bank's CSV export is laid out, saved in the archive under a name. Columns count from 1;
// 0 is a column the file does not have. The amount is either one signed column or a debit and a
// credit column.
struct CsvProfile {
    QString name;
    QChar separator = u';';
    QString encoding = QStringLiteral("UTF-8"); // or "Windows-1252"
    int skippedRows = 0;
    QString dateFormat = QStringLiteral("dd/MM/yyyy");
    int dateColumn = 0;
    int valueDateColumn = 0;
    int amountColumn = 0;
    int debitColumn = 0;
    int creditColumn = 0;
    int descriptionColumn = 0;
    int counterpartyColumn = 0;

    bool operator==(const CsvProfile &) const = default;
};

// The encodings and date formats a profile may name.
const QStringList &csvEncodings();
const QStringList &csvDateFormats();

// Why the profile cannot read a file (a missing column, an unknown encoding...); empty when it
// can.
QString csvProfileProblem(const CsvProfile &profile);

std::optional<QList<CsvProfile>> csvProfiles(const QSqlDatabase &database, QString *error);
std::optional<CsvProfile> csvProfileNamed(const QSqlDatabase &database, const QString &name,
                                          QString *error);
// Saves the profile under its name, replacing one of the same name.
bool saveCsvProfile(const Connection &connection, const CsvProfile &profile, QString *error);

// The text of the file in the encoding, without a byte order mark; nothing, with the line of the
// first byte the encoding does not have, otherwise.
std::optional<QString> decodedText(const QByteArray &file, const QString &encoding, QString *error);

// The records of CSV text split on the separator (quotes and separators inside quotes kept as
// the file means them), each with the line it starts on, counted from 1.
struct CsvRecord {
    int line = 0;
    QStringList fields;
};
std::optional<QList<CsvRecord>> csvRecords(const QString &text, QChar separator, QString *error);
