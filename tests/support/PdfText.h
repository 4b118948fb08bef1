#pragma once

#include <QStringList>

// The text of each page of a PDF file (pdftotext), white space simplified; empty when the file
// cannot be read.
QStringList pdfPageTexts(const QString &path);
