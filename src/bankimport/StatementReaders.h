#pragma once

#include "bankimport/BankStatement.h"
#include "bankimport/CsvProfile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Readers of the statements banks give. A file that is not what it claims gives nothing, with
// an Italian message naming the line or element at fault: nothing of it is taken.

// The statements of an ISO 20022 camt.053 file (any version of the message, 001.02 to 001.10),
// one per Stmt, in the file's order. Entries the bank has booked become movements; a batch whose
// transactions carry their own amounts, adding up to the entry's, gives one movement per
// transaction. Pending and information entries are listed as waiting, entries of zero skipped
// with a notice. An entry without a booking date is dated by its value date, else by the
// statement's dates, with a note. Amounts are those in the account's currency: an entry in
// another currency takes its counter-value from the amount details. A file with a document type
// declaration, bytes its encoding does not have, or amounts with digits beyond the cent is
// refused.
std::optional<QList<BankStatement>> readCamt053(const QByteArray &file, QString *error);

// A CSV export laid out as the profile says.
std::optional<BankStatement> readCsvStatement(const QByteArray &file, const CsvProfile &profile,
                                              QString *error);

// The first sheet of an .xlsx export, read with the profile's columns and rows; cells holding
// dates and numbers are taken as the spreadsheet stores them.
std::optional<BankStatement> readXlsxStatement(const QByteArray &file, const CsvProfile &profile,
                                               QString *error);

// The file's format told from its content: XML (in UTF-8 or UTF-16) is camt.053, a zip package
// an .xlsx workbook, anything else CSV.
StatementFormat recognisedFormat(const QByteArray &file);

// Why the file is no statement the program reads, whatever the profile (a legacy Excel .xls
// workbook); empty otherwise.
QString unreadableStatementFile(const QByteArray &file);

// The statements of the file to import for a bank sub-account: those of the account chosen
// (an IBAN or other id, any spacing or case), else those of the bank's own IBAN, else the only
// account the file has. A file whose statements are all of other accounts, or of several
// accounts with no choice, is refused with the list of its accounts; so is one whose account is
// not kept in euro (a statement that names no currency is taken as euro when its amounts are).
std::optional<QList<BankStatement>> statementsToImport(const QList<BankStatement> &statements,
                                                       const QString &chosenAccount,
                                                       const QString &bankIban, QString *error);
