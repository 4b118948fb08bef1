#pragma once

#include "einvoices/ElectronicInvoice.h"
#include "einvoices/InvoiceImport.h"

#include <QString>

#include <functional>

// A readable page of an invoice, as HTML for a text browser: the document, its two parties, its
// lines, its VAT summary and its payment terms. Every text of the file is escaped.
QString invoicePageHtml(const ElectronicInvoice &invoice);

// The invoice's page with the entry the import proposes for it (each row's sub-account named by
// `name`) and the warnings about its figures.
QString reviewPageHtml(const InvoiceReview &item, const std::function<QString(qint64)> &name);

// The invoices of an invoice file kept beside an entry (plain or signed): of a file that holds
// several, the one its name is kept under. Nothing, with the reason in *error, when the file is
// not one.
std::optional<QList<ElectronicInvoice>> readInvoiceFile(const QString &path, QString *error);
