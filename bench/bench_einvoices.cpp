// Times a year's purchases as electronic invoices: 1,000 FatturaPA files from 80 suppliers in a
// ZIP batch, read and proposed, booked in one transaction (each supplier's sub-account created on
// its first invoice), then the same batch read again, when every invoice is already imported.
//   bench_einvoices [entries] [invoices]

#include "BenchSupport.h"
#include "einvoices/InvoiceImport.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <zip.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QByteArray OwnTaxCode = "97000000001";

QByteArray invoiceXml(int number, QRandomGenerator &random)
{
    const int supplier = random.bounded(80);
    const QByteArray date =
        QDate(2025, 1, 1).addDays(number * 365 / 1000).toString(Qt::ISODate).toUtf8();
    QByteArray lines, summaries;
    for (const int rate : {22, 10}) {
        if (rate == 10 && random.bounded(2) == 0)
            continue;
        const qint64 cents = random.bounded(1000, 200000);
        const QByteArray taxable = QByteArray::number(cents / 100) + '.' +
                                   QByteArray::number(cents % 100).rightJustified(2, '0');
        const qint64 taxCents = (cents * rate + 50) / 100;
        const QByteArray tax = QByteArray::number(taxCents / 100) + '.' +
                               QByteArray::number(taxCents % 100).rightJustified(2, '0');
        lines += "<DettaglioLinee><NumeroLinea>1</NumeroLinea><Descrizione>Servizio</Descrizione>"
                 "<PrezzoTotale>" +
                 taxable + "</PrezzoTotale><AliquotaIVA>" + QByteArray::number(rate) +
                 ".00</AliquotaIVA></DettaglioLinee>";
        summaries += "<DatiRiepilogo><AliquotaIVA>" + QByteArray::number(rate) +
                     ".00</AliquotaIVA><ImponibileImporto>" + taxable +
                     "</ImponibileImporto><Imposta>" + tax + "</Imposta></DatiRiepilogo>";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><p:FatturaElettronica versione=\"FPR12\" "
           "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">"
           "<FatturaElettronicaHeader><CedentePrestatore><DatiAnagrafici><IdFiscaleIVA>"
           "<IdPaese>IT</IdPaese><IdCodice>0" +
           QByteArray::number(1000000000 + supplier) +
           "</IdCodice></IdFiscaleIVA><Anagrafica><Denominazione>Fornitore " +
           QByteArray::number(supplier) +
           " srl</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>"
           "<CessionarioCommittente><DatiAnagrafici><CodiceFiscale>" +
           OwnTaxCode +
           "</CodiceFiscale></DatiAnagrafici></CessionarioCommittente></FatturaElettronicaHeader>"
           "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01"
           "</TipoDocumento><Divisa>EUR</Divisa><Data>" +
           date + "</Data><Numero>" + QByteArray::number(number) +
           "</Numero></DatiGeneraliDocumento></DatiGenerali><DatiBeniServizi>" + lines + summaries +
           "</DatiBeniServizi></FatturaElettronicaBody></p:FatturaElettronica>";
}

void writeBatch(const QString &path, int invoices)
{
    QRandomGenerator random(11);
    QList<QByteArray> files;
    for (int i = 0; i < invoices; ++i)
        files << invoiceXml(i + 1, random);
    int failure = 0;
    zip_t *zip = zip_open(path.toLocal8Bit().constData(), ZIP_CREATE | ZIP_TRUNCATE, &failure);
    for (int i = 0; i < invoices; ++i) {
        const QByteArray name =
            "IT01234567890_" + QByteArray::number(i).rightJustified(5, '0') + ".xml";
        zip_file_add(zip, name.constData(),
                     zip_source_buffer(zip, files[i].constData(), zip_uint64_t(files[i].size()), 0),
                     0);
    }
    must(zip_close(zip) == 0, u"zip not written"_s);
}

std::optional<QList<InvoiceBatch>> review(const Archive &archive, const QString &batch,
                                          const InvoiceSettings &settings, QString *error)
{
    const Connection connection(archive, Connection::Mode::ReadOnly);
    return reviewInvoices(connection, {batch}, settings, error);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    openSyntheticArchive(dir.path(), argc, argv);
    const int invoices = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1000;
    const Archive archive(dir.path());
    QString error;
    const QString batch = dir.filePath(u"fatture.zip"_s);
    writeBatch(batch, invoices);
    InvoiceSettings settings;
    settings.ownTaxCode = QString::fromLatin1(OwnTaxCode);
    {
        // Every row goes to the chart's first cost sub-account.
        const Connection connection(archive, Connection::Mode::ReadOnly);
        QSqlQuery query = connection.query();
        must(runSql(query,
                    u"SELECT MIN(sottoconti.id) FROM sottoconti JOIN conti ON conti.id = "
                    u"sottoconti.idConto JOIN mastri ON mastri.id = conti.idMastro "
                    u"WHERE mastri.tipo = 3"_s,
                    {}, &error) &&
                 query.next(),
             error);
        settings.defaultSubAccount = query.value(0).toLongLong();
    }

    std::printf("A batch of %d invoices on the synthetic archive\n", invoices);
    std::optional<QList<InvoiceBatch>> batches;
    const double read =
        timedStep("read", [&] { batches = review(archive, batch, settings, &error); });
    must(batches.has_value(), error);
    const double book =
        timedStep("book", [&] { must(bookInvoices(archive, *batches, &error), error); });
    int booked = 0;
    for (const InvoiceReview &item : batches->first().invoices)
        booked += item.state == InvoiceState::Booked;
    const double again =
        timedStep("read again", [&] { batches = review(archive, batch, settings, &error); });
    must(batches.has_value(), error);
    int already = 0;
    for (const InvoiceReview &item : batches->first().invoices)
        already += item.state == InvoiceState::AlreadyImported;
    std::printf("Booked %d, then already imported %d; read, proposed and booked %.2f s (goal 3 s); "
                "read again %.2f s\n",
                booked, already, read + book, again);
    return 0;
}
