#include "cli/InvoiceCommand.h"

#include "cli/CliSupport.h"
#include "data/InstanceLock.h"
#include "data/SqlText.h"
#include "einvoices/InvoiceImport.h"
#include "journal/EntryFile.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QJsonValue accountValue(const QVariant &account)
{
    // A row still to assign names 0, a counterpart still to create -1.
    return account.isNull() || account.toLongLong() <= 0 ? QJsonValue()
                                                         : QJsonValue(account.toLongLong());
}

QJsonObject invoiceJson(const InvoiceReview &item)
{
    const ElectronicInvoice &invoice = item.invoice;
    QJsonArray rows;
    for (const EntryRow &row : item.entry.rows) {
        const bool debit = !row.contodare.isNull();
        rows.append(QJsonObject{
            {u"sottoconto"_s, accountValue(debit ? row.contodare : row.contoavere)},
            {u"dare"_s, debit ? decimalText(row.importo) : u"0"_s},
            {u"avere"_s, debit ? u"0"_s : decimalText(row.importo)},
            {u"descrizione"_s, row.descrizione},
        });
    }
    return QJsonObject{
        {u"file"_s, invoice.file},
        {u"tipo"_s, invoice.documentType},
        {u"direzione"_s,
         item.direction == InvoiceDirection::Purchase ? u"acquisto"_s : u"vendita"_s},
        {u"numero"_s, invoice.number},
        {u"data"_s, isoDate(invoice.date)},
        {u"controparte"_s, item.counterpartParty().name},
        {u"partitaIva"_s, item.counterpartParty().fiscalId()},
        {u"imponibile"_s, decimalText(invoice.taxable())},
        {u"iva"_s, decimalText(invoice.tax())},
        {u"ritenuta"_s, decimalText(invoice.withholding)},
        {u"totale"_s, decimalText(invoice.total())},
        {u"stato"_s, invoiceStateText(item)},
        {u"registrazione"_s, item.entryId == 0 ? QJsonValue() : QJsonValue(item.entryId)},
        {u"proposta"_s, item.proposalReason},
        {u"avvisi"_s, QJsonArray::fromStringList(item.warnings)},
        {u"righe"_s, rows},
    };
}

// The settings of the archive with the command line's overrides; nothing, with the message
// printed, when an option is wrong.
std::optional<InvoiceSettings> settingsOf(const QCommandLineParser &parser,
                                          const Connection &connection, int *status)
{
    QString error;
    std::optional<InvoiceSettings> settings = archiveInvoiceSettings(connection.database(), &error);
    if (!settings) {
        *status = reportFailure(u"Impossibile leggere l'archivio."_s, error);
        return std::nullopt;
    }
    *status = ExitStatus::Refused;
    const QString vat = parser.value(u"iva"_s);
    if (!vat.isEmpty() && vat != u"detraibile"_s && vat != u"indetraibile"_s) {
        reportRefusal(
            u"Valore di --iva non valido: \"%1\" (detraibile o indetraibile)."_s.arg(vat));
        return std::nullopt;
    }
    if (!vat.isEmpty())
        settings->vatDeductible = vat == u"detraibile"_s;
    if (parser.isSet(u"default-subaccount"_s)) {
        const std::optional<qint64> chosen =
            subAccountNamed(connection, parser.value(u"default-subaccount"_s), &error);
        QSqlQuery query = connection.query();
        if (chosen &&
            !runSql(query,
                    u"SELECT mastri.tipo FROM sottoconti "
                    u"JOIN conti ON sottoconti.idConto = conti.id "
                    u"JOIN mastri ON conti.idMastro = mastri.id WHERE sottoconti.id = ?"_s,
                    {*chosen}, &error)) {
            *status = reportFailure(u"Impossibile leggere l'archivio."_s, error);
            return std::nullopt;
        }
        // Ledgers of costs are of kind 3, of revenues 4.
        if (!chosen || !query.next() ||
            (query.value(0).toInt() != 3 && query.value(0).toInt() != 4)) {
            reportRefusal(u"--default-subaccount: %1"_s.arg(
                chosen ? u"non è un sottoconto di costi o di ricavi."_s : error));
            return std::nullopt;
        }
        settings->defaultSubAccount = *chosen;
    }
    *status = ExitStatus::Done;
    return settings;
}

// Prints what was read: skipped files, refusals and warnings on stderr, the invoices on stdout,
// then the counts. Whether any source or invoice was refused.
bool printOutcome(const QList<InvoiceBatch> &batches, bool json)
{
    int booked = 0, already = 0, toAssign = 0, refused = 0;
    bool anyRefused = false;
    QJsonArray invoices;
    for (const InvoiceBatch &batch : batches) {
        for (const QString &skipped : batch.source.skipped)
            printLine(stderr, u"Saltato (non è una fattura): "_s + skipped);
        if (const QString refusal = batch.refusal(); !refusal.isEmpty()) {
            anyRefused = true;
            printLine(stderr,
                      u"Rifiutato, nulla registrato di %1: %2"_s.arg(batch.source.path, refusal));
        }
        for (const InvoiceReview &item : batch.invoices) {
            for (const QString &warning : item.warnings)
                printLine(stderr, u"Attenzione: %1, fattura n. %2: %3."_s.arg(
                                      item.invoice.file, item.invoice.number, warning));
            booked += item.state == InvoiceState::Booked;
            already += item.state == InvoiceState::AlreadyImported;
            toAssign += item.state == InvoiceState::ToAssign;
            refused += item.state == InvoiceState::Refused;
            if (json)
                invoices.append(invoiceJson(item));
            else
                printLine(stdout,
                          u"%1 n. %2 del %3 – %4: %5"_s.arg(
                              item.invoice.file, item.invoice.number, isoDate(item.invoice.date),
                              item.counterpartParty().name, invoiceStateText(item)));
        }
    }
    if (json)
        printLine(stdout, QString::fromUtf8(QJsonDocument(QJsonObject{{u"fatture"_s, invoices}})
                                                .toJson(QJsonDocument::Indented))
                              .trimmed());
    printLine(json ? stderr : stdout,
              u"Registrate: %1; già importate: %2; da assegnare: %3; rifiutate: %4."_s.arg(booked)
                  .arg(already)
                  .arg(toAssign)
                  .arg(refused));
    return anyRefused;
}

} // namespace

int importInvoicesCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    const bool dryRun = parser.isSet(u"dry-run"_s);
    InstanceLock lock;
    if (!dryRun)
        if (const std::optional<int> refused = lockForWriting(lock, *archive))
            return *refused;
    QString error;
    std::optional<QList<InvoiceBatch>> batches;
    {
        const Connection connection(*archive, Connection::Mode::ReadOnly);
        if (!connection.opened(&error))
            return reportFailure(u"Impossibile aprire l'archivio."_s, error);
        const std::optional<InvoiceSettings> settings = settingsOf(parser, connection, &status);
        if (!settings)
            return status;
        if (settings->ownVatNumber.trimmed().isEmpty() && settings->ownTaxCode.trimmed().isEmpty())
            return reportRefusal(u"Indicare in Preferenze la partita IVA o il codice fiscale "
                                 u"dell'ente: servono a riconoscere acquisti e vendite."_s);
        batches = reviewInvoices(connection, parser.values(u"file"_s), *settings, &error);
    }
    if (!batches)
        return reportFailure(u"Impossibile leggere l'archivio."_s, error);
    if (!dryRun && !bookInvoices(*archive, *batches, &error))
        return reportFailure(u"Nessuna fattura registrata."_s, error);
    const bool refused = printOutcome(*batches, parser.isSet(u"json"_s));
    if (!dryRun) {
        QList<QDate> dates;
        for (const InvoiceBatch &batch : std::as_const(*batches))
            for (const InvoiceReview &item : batch.invoices)
                if (item.state == InvoiceState::Booked)
                    dates << item.entry.header.data;
        warnOfBrokenNumbering(*archive, dates);
    }
    return refused ? ExitStatus::Refused : ExitStatus::Done;
}
