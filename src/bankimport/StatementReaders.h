#pragma once

#include "bankimport/BankStatement.h"
#include "bankimport/CsvProfile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Readers of the statements banks give. A file that is not what it claims gives nothing, with
// an Italian message naming the line or element at fault: nothing of it is taken.

// An ISO 20022 camt.053 statement (any version of the message, 001.02 and 001.08 among them).
// Only booked entries are read; a batch entry whose transactions carry their own amounts, adding
// up to the entry's, gives one movement per transaction.
std::optional<BankStatement> readCamt053(const QByteArray &file, QString *error);

// A CSV export laid out as the profile says.
std::optional<BankStatement> readCsvStatement(const QByteArray &file, const CsvProfile &profile,
                                              QString *error);

// The file's format told from its content: XML is camt.053, anything else CSV.
StatementFormat recognisedFormat(const QByteArray &file);
