#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <pugixml.hpp>

#include <utility>

// Writes and reads the parts of .xlsx/.xltx files for tests, without the code under test.
namespace WorkbookXml {

using Part = std::pair<QString, QByteArray>;

// Writes a zip file with the parts in order; false on failure.
bool write(const QString &path, const QList<Part> &parts);

// The part's bytes; empty when the file or the part cannot be read.
QByteArray read(const QString &path, const QString &part);

// The part parsed; an empty document when it cannot be read.
bool load(const QString &path, const QString &part, pugi::xml_document *document);

// The <c> element with the reference (e.g. "B3") in a worksheet document.
pugi::xml_node cell(const pugi::xml_document &sheet, const char *reference);

// The reference of the cell holding the text (a placeholder) in a template's first worksheet;
// empty when none does.
QByteArray cellHolding(const QString &templatePath, const QString &text);

// The number written in a cell of a workbook's first worksheet.
QByteArray numberIn(const QString &workbook, const QByteArray &reference);

} // namespace WorkbookXml
