#pragma once

// The archive the electronic invoices' tests book into.

#include "einvoices/InvoiceImport.h"
#include "support/TestArchive.h"

#include <QFile>
#include <QTest>

#include <zip.h>

using namespace Qt::StringLiterals;

// One of the tests' own invoices, modelled on the tax agency's examples.
inline QString invoiceFile(const QString &name)
{
    return QStringLiteral(TOVRIN_INVOICE_DATA) + u'/' + name;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A ZIP batch of the entries, names and contents.
inline void writeZip(const QString &path, const QList<std::pair<QString, QByteArray>> &entries)
{
    int failure = 0;
    zip_t *zip = zip_open(path.toLocal8Bit().constData(), ZIP_CREATE | ZIP_TRUNCATE, &failure);
    for (const auto &[name, bytes] : entries) {
        zip_source_t *source =
            zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
    }
    if (zip_close(zip) != 0)
        qFatal("cannot write the zip");
}

// An archive of an organisation with the chart's accounts the invoices use.
struct Books {
    TestArchive a;
    qint64 suppliers, customers, purchaseVat, salesVat, withholding, withheld, costs, revenues;

    Books()
    {
        const qint64 debts = a.addMastro(u"P01"_s, u"Debiti"_s, 2);
        suppliers = a.addConto(debts, u"P01001"_s, u"Debiti verso fornitori"_s);
        const qint64 treasury = a.addConto(debts, u"P01002"_s, u"Erario"_s);
        salesVat = a.addSottoconto(treasury, u"IVA su vendite"_s);
        withholding = a.addSottoconto(treasury, u"Erario c/ritenute lavoro autonomo"_s);
        const qint64 credits = a.addMastro(u"A01"_s, u"Crediti"_s, 1);
        customers = a.addConto(credits, u"A01001"_s, u"Crediti verso utenti e clienti"_s);
        const qint64 taxes = a.addConto(credits, u"A01002"_s, u"Crediti tributari"_s);
        purchaseVat = a.addSottoconto(taxes, u"IVA su acquisti"_s);
        withheld = a.addSottoconto(taxes, u"Erario c/ritenute subite"_s);
        costs = a.addSottoconto(
            a.addConto(a.addMastro(u"C01"_s, u"Costi"_s, 3), u"C01001"_s, u"Servizi"_s),
            u"Consulenze"_s);
        revenues = a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Ricavi"_s, 4), u"R01001"_s, u"Prestazioni"_s),
            u"Prestazioni di servizi"_s);
    }

    InvoiceSettings settings(const QString &ownNumber, bool deductible = true) const
    {
        InvoiceSettings own;
        own.ownTaxCode = ownNumber;
        own.vatDeductible = deductible;
        return own;
    }

    QList<InvoiceBatch> review(const QStringList &paths, const InvoiceSettings &settings) const
    {
        const Connection connection(a.archive(), Connection::Mode::ReadOnly);
        QString error;
        const std::optional<QList<InvoiceBatch>> batches =
            reviewInvoices(connection, paths, settings, &error);
        if (!batches)
            qFatal("review failed: %s", qPrintable(error));
        return *batches;
    }

    QList<InvoiceBatch> book(const QStringList &paths, const InvoiceSettings &settings) const
    {
        QList<InvoiceBatch> batches = review(paths, settings);
        QString error;
        if (!bookInvoices(a.archive(), batches, &error))
            qFatal("booking failed: %s", qPrintable(error));
        return batches;
    }
};
