#include "einvoices/InvoiceImport.h"

#include "data/BankTables.h"
#include "data/ClosedYears.h"
#include "data/Failure.h"
#include "data/FiscalEnvironment.h"
#include "data/JournalGate.h"
#include "data/OutputFile.h"
#include "data/Parameters.h"
#include "data/SimilarTexts.h"
#include "data/SqlText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

// The chart's sub-accounts and accounts an invoice's entry uses, found by their names in either
// chart the program ships.
struct InvoiceAccounts {
    qint64 payables = 0;    // account of the suppliers' sub-accounts
    qint64 receivables = 0; // account of the customers' sub-accounts
    qint64 purchaseVat = 0;
    qint64 salesVat = 0;
    qint64 withholdingOwed = 0;     // withheld from a supplier, owed to the treasury
    qint64 withholdingSuffered = 0; // withheld by a customer
    qint64 treasuryVat = 0;         // the VAT of a split payment, owed to the treasury
};

std::optional<qint64> firstId(const QSqlDatabase &database, const QString &sql,
                              const QStringList &names, QString *error)
{
    QSqlQuery query(database);
    for (const QString &name : names) {
        if (!runSql(query, sql, {name}, error))
            return std::nullopt;
        if (query.next())
            return query.value(0).toLongLong();
    }
    return 0;
}

std::optional<InvoiceAccounts> invoiceAccounts(const QSqlDatabase &database, QString *error)
{
    const QString account = u"SELECT id FROM conti WHERE descrizione = ? ORDER BY id"_s;
    const QString subAccount = u"SELECT id FROM sottoconti WHERE descrizione = ? ORDER BY id"_s;
    InvoiceAccounts accounts;
    const std::pair<qint64 *, std::pair<QString, QStringList>> wanted[] = {
        {&accounts.payables, {account, {u"Debiti verso fornitori"_s}}},
        {&accounts.receivables,
         {account, {u"Crediti verso utenti e clienti"_s, u"Crediti verso clienti"_s}}},
        {&accounts.purchaseVat, {subAccount, {u"IVA su acquisti"_s}}},
        {&accounts.salesVat, {subAccount, {u"IVA su vendite"_s}}},
        {&accounts.withholdingOwed, {subAccount, {u"Erario c/ritenute lavoro autonomo"_s}}},
        {&accounts.withholdingSuffered, {subAccount, {u"Erario c/ritenute subite"_s}}},
        {&accounts.treasuryVat, {subAccount, {u"Erario c/IVA"_s}}},
    };
    for (const auto &[id, query] : wanted) {
        const std::optional<qint64> found = firstId(database, query.first, query.second, error);
        if (!found)
            return std::nullopt;
        *id = *found;
    }
    return accounts;
}

QString normalisedNumber(QString number)
{
    number = number.remove(u' ').toUpper();
    return number.startsWith(u"IT"_s) && number.size() == 13 ? number.mid(2) : number;
}

bool isOwn(const InvoiceParty &party, const InvoiceSettings &settings)
{
    for (const QString &own : {settings.ownVatNumber, settings.ownTaxCode}) {
        const QString number = normalisedNumber(own);
        if (!number.isEmpty() && (normalisedNumber(party.vatNumber) == number ||
                                  normalisedNumber(party.taxCode) == number))
            return true;
    }
    return false;
}

bool isCreditNote(const QString &type)
{
    return type == u"TD04"_s || type == u"TD08"_s;
}

// Why a document of this type is not booked by the import; empty for the purchases and sales
// of the books.
QString documentTypeRefusal(const QString &type)
{
    static const QSet<QString> booked{u"TD01"_s, u"TD02"_s, u"TD03"_s, u"TD04"_s, u"TD05"_s,
                                      u"TD06"_s, u"TD07"_s, u"TD08"_s, u"TD09"_s, u"TD24"_s,
                                      u"TD25"_s, u"TD26"_s, u"TD28"_s};
    static const QSet<QString> selfInvoices{u"TD16"_s, u"TD17"_s, u"TD18"_s, u"TD19"_s, u"TD20"_s,
                                            u"TD21"_s, u"TD22"_s, u"TD23"_s, u"TD27"_s, u"TD29"_s};
    if (booked.contains(type))
        return {};
    if (selfInvoices.contains(type))
        return u"documento %1 (integrazione, autofattura o estrazione da deposito): va "
               u"registrato a mano con la fattura cui si riferisce"_s.arg(type);
    return u"tipo di documento sconosciuto: %1"_s.arg(type);
}

// What a row names until the booking: the counterpart's sub-account still to be created, and a
// cost or revenue row still to assign. Both keep the row on its side.
constexpr qint64 NewCounterpart = -1;
constexpr qint64 ToAssign = 0;

// One row of an invoice's entry before it is put on its side.
struct PlannedRow {
    bool debit;
    QVariant account;
    Money amount;
    QString text;
};

// The rows of the entry. The counterpart's row names review.counterpart (NewCounterpart until it
// is created); cost or revenue rows name proposal (ToAssign when there is none).
QList<EntryRow> entryRows(const InvoiceReview &review, const InvoiceAccounts &accounts,
                          const InvoiceSettings &settings, const QVariant &proposal)
{
    const ElectronicInvoice &invoice = review.invoice;
    const bool purchase = review.direction == InvoiceDirection::Purchase;
    const QString reference = u" (fattura n. %1)"_s.arg(invoice.number);
    QList<PlannedRow> planned;
    // Costs and VAT are debits of a purchase, revenues and VAT credits of a sale.
    const auto costSide = [&](const QVariant &account, Money amount, const QString &text) {
        planned.append({purchase, account, amount, text});
    };
    const auto counterSide = [&](const QVariant &account, Money amount, const QString &text) {
        planned.append({!purchase, account, amount, text});
    };
    const bool vatIntoCost = purchase && !settings.vatDeductible;
    // The pension fund's contribution is part of the taxable amount of the largest rate.
    qsizetype fundSummary = 0;
    for (qsizetype i = 1; i < invoice.summaries.size(); ++i)
        if (invoice.summaries[i].taxable > invoice.summaries[fundSummary].taxable)
            fundSummary = i;
    for (qsizetype i = 0; i < invoice.summaries.size(); ++i) {
        const VatSummary &summary = invoice.summaries[i];
        Money taxable = summary.taxable;
        if (i == fundSummary)
            taxable -= invoice.fundContribution;
        if (vatIntoCost)
            taxable += summary.tax;
        if (!taxable.isZero())
            costSide(proposal, taxable,
                     (purchase ? u"Costo imponibile "_s : u"Ricavo imponibile "_s) +
                         vatRateText(summary.rate, summary.nature) + reference);
        // The VAT of a sale in split payment is paid to the treasury by the customer.
        if (!vatIntoCost && !summary.tax.isZero() && (purchase || !summary.splitPayment))
            costSide(purchase ? accounts.purchaseVat : accounts.salesVat, summary.tax,
                     u"IVA "_s + vatRateText(summary.rate, summary.nature) + reference);
    }
    if (!invoice.fundContribution.isZero())
        costSide(proposal, invoice.fundContribution,
                 u"Contributo cassa previdenziale"_s + reference);
    if (!invoice.stampDuty.isZero())
        costSide(proposal, invoice.stampDuty, u"Imposta di bollo"_s + reference);
    counterSide(review.counterpart != 0 ? review.counterpart : NewCounterpart,
                review.counterpartAmount(),
                invoiceDescription(invoice, review.counterpartParty().name));
    if (!invoice.withholding.isZero())
        counterSide(purchase ? accounts.withholdingOwed : accounts.withholdingSuffered,
                    invoice.withholding, u"Ritenuta d'acconto"_s + reference);
    if (purchase && !invoice.splitPaymentTax().isZero())
        counterSide(accounts.treasuryVat, invoice.splitPaymentTax(),
                    u"IVA in scissione dei pagamenti"_s + reference);

    QList<EntryRow> rows;
    for (const PlannedRow &plan : std::as_const(planned)) {
        // A credit note reverses every row; a negative amount goes on the other side.
        const bool debit =
            (plan.debit != isCreditNote(invoice.documentType)) != plan.amount.isNegative();
        EntryRow row;
        row.importo = plan.amount.abs();
        row.descrizione = plan.text.left(EntryTextLength);
        (debit ? row.contodare : row.contoavere) = plan.account;
        rows.append(row);
    }
    return rows;
}

// The sub-account kept for a counterpart's tax number; 0 when none is.
std::optional<qint64> counterpartOf(const QSqlDatabase &database, const QString &fiscalId,
                                    QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT sottoconto FROM controparti_fiscali WHERE idfiscale = ?"_s,
                {fiscalId}, error))
        return std::nullopt;
    return query.next() ? query.value(0).toLongLong() : 0;
}

// The entry an invoice was booked with; 0 when it was not.
std::optional<qint64> bookedEntry(const QSqlDatabase &database, const ElectronicInvoice &invoice,
                                  const QString &fiscalId, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT idRegMain FROM fatture_importate WHERE idfiscale = ? AND tipo = ? "
                u"AND numero = ? AND data = ?"_s,
                {fiscalId, invoice.documentType, invoice.number, isoDate(invoice.date)}, error))
        return std::nullopt;
    return query.next() ? query.value(0).toLongLong() : 0;
}

// The cost or revenue sub-account of the counterpart's last booked invoice, with the reason.
std::optional<std::pair<QVariant, QString>> lastUsedFor(const QSqlDatabase &database,
                                                        const InvoiceReview &review,
                                                        const QSet<qint64> &ruleAccounts,
                                                        QString *error)
{
    const bool purchase = review.direction == InvoiceDirection::Purchase;
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT regdet.contodare, regdet.contoavere, f.numero FROM fatture_importate f "
                u"JOIN regdet ON regdet.idRegMain = f.idRegMain WHERE f.idfiscale = ? "
                u"AND f.direzione = ? ORDER BY f.importata_il DESC, f.data DESC, regdet.riga"_s,
                {review.counterpartParty().fiscalId(), purchase ? u"acquisto"_s : u"vendita"_s},
                error))
        return std::nullopt;
    while (query.next()) {
        // Costs are debits of a purchase, revenues credits of a sale; a credit note reverses.
        const bool costOnDebit = purchase != isCreditNote(review.invoice.documentType);
        const QVariant account = query.value(costOnDebit ? 0 : 1);
        if (account.isNull() || ruleAccounts.contains(account.toLongLong()) ||
            account.toLongLong() == review.counterpart)
            continue;
        return std::pair{account, u"come la fattura n. %1 di %2"_s.arg(
                                      query.value(2).toString(), review.counterpartParty().name)};
    }
    return std::pair{QVariant(), QString()};
}

// How many recent entries the proposals by words learn from.
constexpr int LearnedEntries = 20000;

// The rows booked earlier to costs (for purchases) or to revenues (for sales), each with the
// words of its own text and of its entry's; read once per import, when an invoice first needs
// them.
struct LearnedTexts {
    std::optional<SimilarTexts> purchases;
    std::optional<SimilarTexts> sales;

    const SimilarTexts *of(const QSqlDatabase &database, bool purchase, QString *error)
    {
        std::optional<SimilarTexts> &texts = purchase ? purchases : sales;
        if (texts)
            return &*texts;
        QSqlQuery query(database);
        // Ledgers of costs are of kind 3, of revenues 4; a row may name one on either side. The
        // unary plus keeps the engine reading the recent entries' rows in order, rather than
        // every row of every cost through the accounts' indexes.
        if (!runSql(query,
                    u"WITH chosen AS (SELECT s.id FROM sottoconti s "
                    u"JOIN conti c ON c.id = s.idConto JOIN mastri ma ON ma.id = c.idMastro "
                    u"WHERE ma.tipo = ?) "
                    u"SELECT d.idRegMain, m.data, CASE WHEN d.contodare IN (SELECT id FROM chosen) "
                    u"THEN d.contodare ELSE d.contoavere END, d.descrizione, m.descrizione "
                    u"FROM regdet d JOIN regmain m ON m.id = d.idRegMain WHERE m.tipo = 0 AND "
                    u"d.idRegMain >= COALESCE((SELECT id FROM regmain ORDER BY id DESC "
                    u"LIMIT 1 OFFSET ?), 0) AND (+d.contodare IN (SELECT id FROM chosen) OR "
                    u"+d.contoavere IN (SELECT id FROM chosen))"_s,
                    {purchase ? 3 : 4, LearnedEntries}, error))
            return nullptr;
        texts.emplace();
        while (query.next())
            texts->add(query.value(3).toString() + u' ' + query.value(4).toString(),
                       query.value(2).toLongLong(),
                       {dateFromIso(query.value(1).toString()), query.value(0).toLongLong()});
        texts->weigh();
        return &*texts;
    }
};

// The sub-account the invoice's lines are most like earlier rows of, with the reason; a tie
// goes to the earlier line's; none when no line is like any row.
std::pair<QVariant, QString> byWords(const SimilarTexts &learned, const ElectronicInvoice &invoice)
{
    QList<SimilarTexts::Choice> votes;
    for (const InvoiceLine &line : invoice.lines) {
        const SimilarTexts::Choice choice = learned.mostAlike(line.description);
        if (choice.subAccount == 0)
            continue;
        const auto same = std::find_if(votes.begin(), votes.end(), [&](const auto &vote) {
            return vote.subAccount == choice.subAccount;
        });
        if (same == votes.end())
            votes.append(choice);
        else
            same->votes += choice.votes;
    }
    const auto best =
        std::max_element(votes.cbegin(), votes.cend(),
                         [](const auto &a, const auto &b) { return a.votes < b.votes; });
    if (best == votes.cend())
        return {};
    return {best->subAccount, best->votes == 1
                                  ? u"come 1 registrazione simile"_s
                                  : u"come %1 registrazioni simili"_s.arg(best->votes)};
}

QString warningOf(const QString &what, Money declared, Money expected)
{
    return u"%1 %2 diverso da %3 calcolato dal riepilogo IVA"_s.arg(what, decimalText(declared),
                                                                    decimalText(expected));
}

QStringList figureWarnings(const InvoiceReview &review)
{
    const ElectronicInvoice &invoice = review.invoice;
    QStringList warnings;
    const Money total = invoice.total();
    // The document's total may leave the stamp duty out; either figure agrees.
    if (invoice.declaredTotal && *invoice.declaredTotal != total &&
        *invoice.declaredTotal != total - invoice.stampDuty)
        warnings << warningOf(u"Importo totale del documento"_s, *invoice.declaredTotal, total);
    const Money due = review.counterpartAmount();
    if (invoice.paymentTotal && *invoice.paymentTotal != due &&
        *invoice.paymentTotal != due - invoice.stampDuty)
        warnings << warningOf(u"Importo dei pagamenti"_s, *invoice.paymentTotal, due);
    for (const VatSummary &summary : invoice.summaries)
        if (summary.nature.startsWith(u"N6"_s) && review.direction == InvoiceDirection::Purchase)
            warnings << u"Inversione contabile (%1): l'IVA dovuta va integrata a mano"_s.arg(
                summary.nature);
    return warnings;
}

// Proposes the booking of one invoice read from a file.
std::optional<InvoiceReview> review(const QSqlDatabase &database, const ElectronicInvoice &invoice,
                                    const InvoiceSettings &settings,
                                    const InvoiceAccounts &accounts, LearnedTexts &learned,
                                    QString *error)
{
    InvoiceReview proposed;
    proposed.invoice = invoice;
    const auto refuse = [&](const QString &why) {
        proposed.state = InvoiceState::Refused;
        proposed.refusal = why;
        return proposed;
    };
    if (isOwn(invoice.customer, settings))
        proposed.direction = InvoiceDirection::Purchase;
    else if (isOwn(invoice.supplier, settings))
        proposed.direction = InvoiceDirection::Sale;
    else
        return refuse(u"fattura di un altro soggetto"_s);
    if (const QString why = documentTypeRefusal(invoice.documentType); !why.isEmpty())
        return refuse(why);
    const bool purchase = proposed.direction == InvoiceDirection::Purchase;
    const QString fiscalId = proposed.counterpartParty().fiscalId();
    const std::optional<qint64> booked = bookedEntry(database, invoice, fiscalId, error);
    const std::optional<qint64> counterpart =
        booked ? counterpartOf(database, fiscalId, error) : std::nullopt;
    if (!counterpart)
        return std::nullopt;
    proposed.entryId = *booked;
    proposed.counterpart = *counterpart;
    proposed.counterpartAccount = purchase ? accounts.payables : accounts.receivables;
    const QList<std::pair<qint64, QString>> needed{
        {proposed.counterpartAccount, purchase ? u"il conto \"Debiti verso fornitori\""_s
                                               : u"il conto \"Crediti verso utenti e clienti\""_s},
        {invoice.tax().isZero() || (purchase && !settings.vatDeductible)
             ? 1
             : (purchase ? accounts.purchaseVat : accounts.salesVat),
         purchase ? u"il sottoconto \"IVA su acquisti\""_s : u"il sottoconto \"IVA su vendite\""_s},
        {invoice.withholding.isZero()
             ? 1
             : (purchase ? accounts.withholdingOwed : accounts.withholdingSuffered),
         purchase ? u"il sottoconto \"Erario c/ritenute lavoro autonomo\""_s
                  : u"il sottoconto \"Erario c/ritenute subite\""_s},
        {invoice.splitPaymentTax().isZero() || !purchase ? 1 : accounts.treasuryVat,
         u"il sottoconto \"Erario c/IVA\""_s},
    };
    for (const auto &[id, what] : needed)
        if (id == 0)
            return refuse(u"manca nel piano dei conti %1"_s.arg(what));
    const QSet<qint64> ruleAccounts{accounts.purchaseVat, accounts.salesVat,
                                    accounts.withholdingOwed, accounts.withholdingSuffered,
                                    accounts.treasuryVat};
    QVariant proposal = ToAssign;
    if (proposed.counterpart != 0) {
        const std::optional<std::pair<QVariant, QString>> last =
            lastUsedFor(database, proposed, ruleAccounts, error);
        if (!last)
            return std::nullopt;
        if (!last->first.isNull())
            std::tie(proposal, proposed.proposalReason) = *last;
    }
    if (proposal.toLongLong() == ToAssign) {
        const SimilarTexts *texts = learned.of(database, purchase, error);
        if (!texts)
            return std::nullopt;
        const std::pair<QVariant, QString> alike = byWords(*texts, invoice);
        if (alike.first.isValid())
            std::tie(proposal, proposed.proposalReason) = alike;
    }
    if (proposal.toLongLong() == ToAssign && settings.defaultSubAccount) {
        proposal = *settings.defaultSubAccount;
        proposed.proposalReason = u"sottoconto predefinito"_s;
    }
    proposed.entry.header.data = invoice.date;
    proposed.entry.header.kind = EntryKind::Ordinary;
    proposed.entry.rows = entryRows(proposed, accounts, settings, proposal);
    for (qsizetype i = 0; i < proposed.entry.rows.size(); ++i) {
        const EntryRow &row = proposed.entry.rows[i];
        if ((row.contodare.isNull() ? row.contoavere : row.contodare) == proposal)
            proposed.assignableRows.append(i);
    }
    proposed.warnings = figureWarnings(proposed);
    if (proposed.entryId != 0)
        proposed.state = InvoiceState::AlreadyImported;
    else if (proposal.toLongLong() == ToAssign)
        proposed.state = InvoiceState::ToAssign;
    return proposed;
}

// Records the booked invoice, and the counterpart's tax number with its new sub-account.
bool keepInvoice(const Connection &connection, InvoiceReview &item, const QString &now,
                 QString *error)
{
    QSqlQuery query = connection.query();
    const QString fiscalId = item.counterpartParty().fiscalId();
    return runSql(
        query,
        u"INSERT INTO fatture_importate (idfiscale, tipo, numero, data, idRegMain, "
        u"direzione, controparte, totale, iban, importata_il) "
        u"VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s,
        {fiscalId, item.invoice.documentType, item.invoice.number, isoDate(item.invoice.date),
         item.entryId, item.direction == InvoiceDirection::Purchase ? u"acquisto"_s : u"vendita"_s,
         item.counterpart, item.invoice.total().units(),
         item.invoice.ibans.isEmpty() ? QVariant() : QVariant(item.invoice.ibans.first()), now},
        error);
}

// The counterpart's sub-account, created under its account with the tax number kept when the
// archive has none for it yet (another invoice of the same run may have made it).
bool ensureCounterpart(const Connection &connection, InvoiceReview &item, QString *error)
{
    const QString fiscalId = item.counterpartParty().fiscalId();
    const std::optional<qint64> known = counterpartOf(connection.database(), fiscalId, error);
    if (!known)
        return false;
    item.counterpart = *known;
    if (item.counterpart == 0) {
        QSqlQuery query = connection.query();
        const QString name = item.counterpartParty().name.isEmpty()
                                 ? fiscalId
                                 : item.counterpartParty().name.left(100);
        const std::optional<qint64> id = insertReturningId(
            query, u"INSERT INTO sottoconti (idConto, descrizione) VALUES (?, ?) RETURNING id"_s,
            {item.counterpartAccount, name}, error);
        if (!id || !runSql(query,
                           u"INSERT INTO controparti_fiscali (sottoconto, idfiscale) "
                           u"VALUES (?, ?)"_s,
                           {*id, fiscalId}, error))
            return false;
        item.counterpart = *id;
    }
    for (EntryRow &row : item.entry.rows)
        for (QVariant *account : {&row.contodare, &row.contoavere})
            if (!account->isNull() && account->toLongLong() == NewCounterpart)
                *account = item.counterpart;
    return true;
}

// Keeps the invoice's file, as it came, in the archive's attachments and names it in the entry.
bool keepInvoiceFile(const Archive &archive, const InvoiceBatch &batch, InvoiceReview &item,
                     QStringList *written, QString *error)
{
    const auto file =
        std::find_if(batch.source.files.cbegin(), batch.source.files.cend(),
                     [&](const InvoiceFile &read) { return read.name == item.invoice.file; });
    if (file == batch.source.files.cend())
        return true;
    const QString name =
        invoiceFileStem(item.counterpartParty().fiscalId(), item.invoice) +
        (item.invoice.file.endsWith(u".p7m"_s, Qt::CaseInsensitive) ? u".xml.p7m"_s : u".xml"_s);
    const QString path = QDir(archive.attachmentsFolder()).filePath(name);
    if (!writeOutputFile(path, file->original(), error))
        return false;
    written->append(path);
    item.entry.header.attached = name;
    return true;
}

} // namespace

QString vatRateText(const QString &rate, const QString &nature)
{
    if (!nature.isEmpty())
        return nature;
    QString shown = rate;
    if (shown.contains(u'.'))
        while (shown.endsWith(u'0') || shown.endsWith(u'.'))
            shown.chop(1);
    return shown.replace(u'.', u',') + u'%';
}

QString invoiceFileStem(const QString &fiscalId, const ElectronicInvoice &invoice)
{
    QString stem = u"fattura_%1_%2_%3_%4"_s.arg(fiscalId, invoice.documentType, invoice.number,
                                                isoDate(invoice.date));
    static const QRegularExpression unsafe(u"[^A-Za-z0-9_.-]"_s);
    return stem.replace(unsafe, u"_"_s);
}

const InvoiceParty &InvoiceReview::counterpartParty() const
{
    return direction == InvoiceDirection::Purchase ? invoice.supplier : invoice.customer;
}

Money InvoiceReview::counterpartAmount() const
{
    return invoice.total() - invoice.withholding - invoice.splitPaymentTax();
}

void assignSubAccount(InvoiceReview &item, qint64 subAccount)
{
    if (item.state != InvoiceState::New && item.state != InvoiceState::ToAssign)
        return;
    for (const qsizetype i : std::as_const(item.assignableRows)) {
        EntryRow &row = item.entry.rows[i];
        (row.contodare.isNull() ? row.contoavere : row.contodare) = subAccount;
    }
    item.proposalReason.clear();
    item.state = subAccount > 0 ? InvoiceState::New : InvoiceState::ToAssign;
}

bool setRegistrationDate(InvoiceReview &item, const QDate &date, QString *why)
{
    if (item.state != InvoiceState::New && item.state != InvoiceState::ToAssign)
        return fail(why, u"La fattura non si registra più: la data non si cambia."_s);
    if (!date.isValid() || date < item.invoice.date)
        return fail(why, u"La data di registrazione non può precedere quella della fattura "
                         u"(%1)."_s.arg(item.invoice.date.toString(u"dd/MM/yyyy"_s)));
    item.entry.header.data = date;
    return true;
}

QString invoiceStateText(const InvoiceReview &item)
{
    switch (item.state) {
    case InvoiceState::New:
        return u"nuova"_s;
    case InvoiceState::AlreadyImported:
        return u"già importata"_s;
    case InvoiceState::ToAssign:
        return u"da assegnare"_s;
    case InvoiceState::Booked:
        return u"registrata"_s;
    case InvoiceState::Refused:
        return u"rifiutata: "_s + item.refusal;
    }
    return {};
}

QString InvoiceBatch::refusal() const
{
    if (!source.refusal.isEmpty())
        return source.refusal;
    for (const InvoiceReview &item : invoices)
        if (item.state == InvoiceState::Refused)
            return item.invoice.file + u": "_s + item.refusal;
    return {};
}

QString invoiceDescription(const ElectronicInvoice &invoice, const QString &counterpart)
{
    return u"%1 n. %2 del %3 – %4"_s
        .arg(isCreditNote(invoice.documentType) ? u"Nota di credito"_s : u"Fattura"_s,
             invoice.number, invoice.date.toString(u"dd/MM/yyyy"_s), counterpart)
        .left(EntryTextLength);
}

std::optional<InvoiceSettings> archiveInvoiceSettings(const QSqlDatabase &database, QString *error)
{
    const std::optional<OrganisationLines> organisation = readOrganisation(database, error);
    if (!organisation)
        return std::nullopt;
    InvoiceSettings settings;
    settings.ownVatNumber = organisation->vatNumber;
    settings.ownTaxCode = organisation->taxCode;
    const std::optional<bool> deductible = purchaseVatDeductible(database, error);
    if (!deductible)
        return std::nullopt;
    settings.vatDeductible = *deductible;
    return settings;
}

std::optional<QList<InvoiceBatch>> reviewInvoices(const Connection &connection,
                                                  const QStringList &paths,
                                                  const InvoiceSettings &settings, QString *error)
{
    const QSqlDatabase database = connection.database();
    if (!hasBankTable(database, u"fatture_importate"_s)) {
        *error = u"L'archivio va aperto una volta in scrittura con questa versione del "
                 u"programma prima di importare fatture."_s;
        return std::nullopt;
    }
    const std::optional<InvoiceAccounts> accounts = invoiceAccounts(database, error);
    if (!accounts)
        return std::nullopt;
    QList<InvoiceBatch> batches;
    LearnedTexts learned;
    QSet<QString> seen;
    for (const QString &path : paths) {
        InvoiceBatch batch{readInvoiceSource(path), {}};
        for (const InvoiceFile &file : std::as_const(batch.source.files)) {
            if (!batch.source.refusal.isEmpty())
                break;
            QString refusal;
            const std::optional<QList<ElectronicInvoice>> read =
                readInvoiceXml(file.content, file.name, &refusal);
            if (!read) {
                batch.source.refusal = refusal;
                break;
            }
            for (const ElectronicInvoice &invoice : *read) {
                std::optional<InvoiceReview> item =
                    review(database, invoice, settings, *accounts, learned, error);
                if (!item)
                    return std::nullopt;
                // The same invoice twice in one run (signed and not, in two batches) once.
                const QString key =
                    QStringList{item->counterpartParty().fiscalId(), invoice.documentType,
                                invoice.number, isoDate(invoice.date)}
                        .join(u'\x1f');
                if (item->state != InvoiceState::Refused && seen.contains(key))
                    item->state = InvoiceState::AlreadyImported;
                seen.insert(key);
                batch.invoices.append(*item);
            }
        }
        batches.append(batch);
    }
    return batches;
}

bool bookInvoices(const Archive &archive, QList<InvoiceBatch> &batches, QString *error)
{
    QList<InvoiceBatch> result = batches;
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
    // The invoices' files written beside their entries, removed again when nothing is booked.
    QStringList written;
    const bool committed = inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            result = batches;
            const std::optional<int> startMonth = archiveStartMonth(connection.database(), failure);
            if (!startMonth)
                return false;
            JournalGate gate(connection);
            for (InvoiceBatch &batch : result) {
                if (!batch.refusal().isEmpty())
                    continue;
                for (InvoiceReview &item : batch.invoices) {
                    if (item.state != InvoiceState::New || !item.ticked)
                        continue;
                    // Another user may have booked it since the review.
                    const std::optional<qint64> booked =
                        bookedEntry(connection.database(), item.invoice,
                                    item.counterpartParty().fiscalId(), failure);
                    if (!booked)
                        return false;
                    if (*booked != 0) {
                        item.state = InvoiceState::AlreadyImported;
                        item.entryId = *booked;
                        continue;
                    }
                    if (!ensureCounterpart(connection, item, failure) ||
                        !keepInvoiceFile(archive, batch, item, &written, failure))
                        return false;
                    QString refusal;
                    if (!gate.write(item.entry,
                                    fiscalYearContaining(item.entry.header.data, *startMonth),
                                    &refusal)) {
                        *failure = item.invoice.file + u": "_s + refusal;
                        return false;
                    }
                    item.entryId = item.entry.header.id;
                    item.state = InvoiceState::Booked;
                    if (!keepInvoice(connection, item, now, failure))
                        return false;
                }
            }
            return true;
        },
        error);
    if (!committed) {
        for (const QString &path : std::as_const(written))
            QFile::remove(path);
        return false;
    }
    batches = result;
    return true;
}
