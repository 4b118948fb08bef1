#pragma once

#include "bankimport/CsvProfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The rows of the first sheet of an .xlsx workbook, as CSV records: each cell's text, and for a
// cell holding a date or a number the date or amount the workbook stores (a number with
// fractions of a cent stays text, for the reader to refuse). Rows keep their own numbers, so that
// messages name the row the user sees. Nothing, with an Italian message, for a file that is not
// such a workbook.
std::optional<QList<CsvRecord>> firstSheetRows(const QByteArray &file, QString *error);
