#pragma once

#include "reportengine/ReportExport.h"
#include "ui/PreviewDocument.h"

#include <QDate>
#include <QString>

#include <optional>

class QPagedPaintDevice;
class QWidget;

// The ways laid-out pages leave the program: the printer, the preview and the export files.

// Paints pages first..last (0-based, inclusive) on the device, one device page each. Returns
// false when the device cannot be painted.
bool paintPages(const PreviewDocument &document, QPagedPaintDevice &device, int first, int last);

// Offers the printer dialog and prints the pages (the range chosen in it, or all); nothing
// when the user cancels. A failure is shown as a message and gives false.
bool printDocument(QWidget *parent, const PreviewDocument &document);

// Offers the printer dialog and prints every page, whatever range is chosen in it: a book
// printed in definitiva must come out whole. Says nothing; the caller tells the outcome.
enum class PrintOutcome { Printed, Cancelled, Failed };
PrintOutcome printWholeDocument(QWidget *parent, const PreviewDocument &document);

// Writes the pages to a PDF file.
bool writePdf(const PreviewDocument &document, const QString &path, QString *error = nullptr);

// The save dialog's filter and default suffix of an export format.
QString exportFilter(PreviewDocument::Format format);
QString exportSuffix(PreviewDocument::Format format);

// The file name an export proposes: the report's name and its period ("Giornale contabile
// 2026-01-01 2026-12-31"), without the characters a file name cannot hold; the name alone
// without a period.
QString exportBaseName(const QString &report, const QDate &from = {}, const QDate &to = {});

// Asks for a file name in the save dialog, proposing baseName in startFolder with the format's
// suffix, and writes the pages there, then says which file it wrote. A cancelled dialog writes
// nothing and says nothing; a failed write is shown as a message. Returns the file written,
// empty when none.
QString exportDocument(QWidget *parent, const PreviewDocument &document,
                       PreviewDocument::Format format, const QString &startFolder,
                       const QString &baseName);

// The file format of an export output; nothing for the printer and the preview.
std::optional<PreviewDocument::Format> exportFormatFor(ReportOutput output);

// Sends the pages where output says: the printer dialog, a modal preview owned by parent, or
// an export file chosen in the save dialog that proposes baseName in startFolder.
void deliverReport(QWidget *parent, const PreviewDocument &document, ReportOutput output,
                   const QString &startFolder, const QString &baseName);
