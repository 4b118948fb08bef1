#pragma once

#include "reportengine/ReportDocument.h"

#include <QString>

#include <optional>

// How a report leaves the program: printed, previewed or exported to a file.
enum class ReportOutput : int { Print = 0, Preview = 1, Excel = 10, Rtf = 11, Pdf = 12, Html = 13 };

// Writers of laid-out pages to files. Each writes to a temporary file beside the target and
// renames it at the end, so a failure leaves no half-written file (and an older file of that
// name untouched); each returns false with an Italian reason in *error.
enum class ExportFormat { Pdf, Xlsx, Rtf, Html };

// The format of a file name's extension (.pdf, .xlsx, .rtf, .html or .htm, in any case).
std::optional<ExportFormat> exportFormatOf(const QString &fileName);

bool exportReport(const ReportDocument &document, ExportFormat format, const QString &fileName,
                  QString *error);

// Selectable text with the fonts embedded; the very pages the painter draws.
bool exportPdf(const ReportDocument &document, const QString &fileName, QString *error);
// The report's caption row, then one sheet row per tabular line (detail lines and the bands
// the report makes tabular):
// amounts and whole numbers as numbers, dates as dates, each with its pattern as the cell's
// number format.
bool exportXlsx(const ReportDocument &document, const QString &fileName, QString *error);
// Every text in a positioned frame, page after page.
bool exportRtf(const ReportDocument &document, const QString &fileName, QString *error);
// One absolutely positioned block per page.
bool exportHtml(const ReportDocument &document, const QString &fileName, QString *error);

// A pattern of the program's formatter as a spreadsheet number format.
QString spreadsheetNumberFormat(const QString &pattern);
