#include "bankimport/CounterpartProposer.h"

#include "data/BankTables.h"
#include "data/ItalianCollation.h"
#include "data/SqlText.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString similarMovements(int count)
{
    return count == 1 ? u"come 1 movimento simile"_s : u"come %1 movimenti simili"_s.arg(count);
}

struct EntryHistory {
    QSet<qint64> others;
    QStringList texts;
    QString imported;
    QDate date;
};

} // namespace

QString identityText(const QString &text)
{
    QString kept;
    for (const QChar c : foldedForMatching(text))
        kept += c.isDigit() ? u' ' : c;
    return kept.simplified();
}

std::optional<CounterpartProposer> CounterpartProposer::load(const QSqlDatabase &database,
                                                             qint64 bank, QString *error)
{
    CounterpartProposer proposer;
    proposer.m_bank = bank;
    std::optional<QList<BankRule>> rules = bankRules(database, error);
    if (!rules)
        return std::nullopt;
    for (const BankRule &rule : std::as_const(*rules))
        if ((rule.bank == 0 || rule.bank == bank) && rule.subAccount != bank)
            proposer.m_rules << rule;
    if (!proposer.loadOpenInvoices(database, error))
        return std::nullopt;
    const bool imports = hasBankTables(database);
    QSqlQuery query(database);
    if (imports && !runSql(query,
                           u"SELECT iban, controparte FROM movimenti_importati "
                           u"WHERE iban <> '' AND controparte IS NOT NULL ORDER BY idRegMain"_s,
                           {}, error))
        return std::nullopt;
    while (imports && query.next()) {
        if (query.value(1).toLongLong() == bank)
            continue;
        IbanHistory &history = proposer.m_ibans[query.value(0).toString()];
        history.latest = query.value(1).toLongLong();
        ++history.counts[history.latest];
    }
    // The bank's ordinary entries: the text of its rows (or of the statement they were booked
    // from) and the other sub-accounts they move.
    const QString importedText = imports ? u"(SELECT MAX(descrizione) FROM movimenti_importati mi "
                                           u"WHERE mi.idRegMain = d.idRegMain AND mi.conto = ?)"_s
                                         : u"?"_s;
    if (!runSql(query,
                u"SELECT d.idRegMain, d.contodare, d.contoavere, d.descrizione, "_s + importedText +
                    u", m.data FROM regdet d JOIN regmain m ON m.id = d.idRegMain AND m.tipo = 0 "
                    u"WHERE d.idRegMain IN "
                    u"(SELECT idRegMain FROM regdet WHERE contodare = ? OR contoavere = ?)"_s,
                {imports ? QVariant(bank) : QVariant(QString()), bank, bank}, error))
        return std::nullopt;
    QHash<qint64, EntryHistory> entries;
    while (query.next()) {
        EntryHistory &entry = entries[query.value(0).toLongLong()];
        bool touchesBank = false;
        for (const int side : {1, 2}) {
            const qint64 account = query.value(side).toLongLong();
            if (account == bank)
                touchesBank = true;
            else if (account != 0)
                entry.others.insert(account);
        }
        if (touchesBank)
            entry.texts << query.value(3).toString();
        entry.imported = query.value(4).toString();
        entry.date = dateFromIso(query.value(5).toString());
    }
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const EntryHistory &entry = it.value();
        if (entry.others.size() != 1)
            continue;
        const qint64 counterpart = *entry.others.cbegin();
        const Booking booking{entry.date, it.key()};
        const QString rows = entry.texts.join(u' ');
        proposer.m_similar.add(entry.imported.isEmpty() ? rows : entry.imported, counterpart,
                               booking);
        proposer.addIdentical(entry.imported, counterpart, booking);
        proposer.addIdentical(rows, counterpart, booking);
    }
    proposer.m_similar.weigh();
    return proposer;
}

void CounterpartProposer::addIdentical(const QString &text, qint64 counterpart,
                                       const Booking &booking)
{
    const QString key = identityText(text);
    if (key.isEmpty())
        return;
    Identical &identical = m_identical[key];
    if (identical.counterpart == 0 || identical.latest < booking)
        identical = {booking, counterpart};
}

Proposal CounterpartProposer::propose(const BankMovement &movement) const
{
    for (const BankRule &rule : m_rules)
        if (rule.matches(movement))
            return {rule.subAccount, rule.reason()};
    if (Proposal proposal = byInvoice(movement); proposal.subAccount != 0)
        return proposal;
    if (Proposal proposal = byIban(movement); proposal.subAccount != 0)
        return proposal;
    if (Proposal proposal = byIdenticalText(movement); proposal.subAccount != 0)
        return proposal;
    return byWords(movement);
}

bool CounterpartProposer::loadOpenInvoices(const QSqlDatabase &database, QString *error)
{
    if (!hasBankTable(database, u"fatture_importate"_s))
        return true;
    // Of each invoice, its counterpart's balance and its own entry's rows on the counterpart,
    // debit positive: a supplier is owed while they are negative, a customer owes while positive.
    const QString signedRows =
        u"SELECT COALESCE(SUM(CASE WHEN r.contodare = f.controparte THEN r.importo "
        u"ELSE -r.importo END), 0) FROM regdet r WHERE "_s;
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT f.numero, f.iban, f.controparte, s.descrizione, f.direzione, ("_s +
                    signedRows +
                    u"r.contodare = f.controparte OR r.contoavere = f.controparte), ("_s +
                    signedRows +
                    u"r.idRegMain = f.idRegMain AND (r.contodare = f.controparte OR "
                    u"r.contoavere = f.controparte)) "
                    u"FROM fatture_importate f JOIN sottoconti s ON s.id = f.controparte "
                    u"ORDER BY f.data DESC, f.idRegMain DESC"_s,
                {}, error))
        return false;
    // Payments settle a counterpart's oldest invoices first: what it is still owed or owes
    // belongs to its newest ones, each open for no more than its own amount.
    QHash<qint64, Money> unsettled;
    while (query.next()) {
        const qint64 counterpart = query.value(2).toLongLong();
        const bool purchase = query.value(4).toString() == u"acquisto"_s;
        const auto owed = [&](int column) {
            const Money amount = Money::fromUnits(query.value(column).toLongLong());
            return purchase ? -amount : amount;
        };
        if (counterpart == m_bank)
            continue;
        if (!unsettled.contains(counterpart))
            unsettled.insert(counterpart, owed(5));
        Money &remaining = unsettled[counterpart];
        const Money open = std::min(owed(6), remaining);
        if (open <= Money())
            continue;
        remaining -= open;
        const QString number = query.value(0).toString();
        // A number of one character would be found in almost any text.
        const QRegularExpression numberInText =
            number.size() < 2 ? QRegularExpression()
                              : QRegularExpression(u"(^|[^A-Za-z0-9])%1([^A-Za-z0-9]|$)"_s.arg(
                                    QRegularExpression::escape(number)));
        const QString name = query.value(3).toString();
        m_openInvoices.append({number, numberInText, normalizedIban(query.value(1).toString()),
                               counterpart, name, identityText(name), purchase, open});
    }
    return true;
}

Proposal CounterpartProposer::byInvoice(const BankMovement &movement) const
{
    const QString iban = normalizedIban(movement.counterpartyIban);
    const QString text = movement.description + u' ' + movement.counterparty;
    const QString name = identityText(movement.counterparty);
    for (const OpenInvoice &invoice : m_openInvoices) {
        // A payment to a supplier leaves the bank; a customer's comes in.
        if (invoice.purchase != movement.amount.isNegative())
            continue;
        const bool paid = (!iban.isEmpty() && iban == invoice.iban) ||
                          (!invoice.numberInText.pattern().isEmpty() &&
                           invoice.numberInText.match(text).hasMatch()) ||
                          (movement.amount.abs() == invoice.open && !name.isEmpty() &&
                           invoice.nameIdentity.contains(name));
        if (paid)
            return {invoice.counterpart,
                    u"pagamento fattura n. %1 di %2"_s.arg(invoice.number, invoice.name)};
    }
    return {};
}

Proposal CounterpartProposer::byIban(const BankMovement &movement) const
{
    const auto history = m_ibans.constFind(normalizedIban(movement.counterpartyIban));
    if (movement.counterpartyIban.isEmpty() || history == m_ibans.cend() ||
        history->latest == m_bank)
        return {};
    // The latest booking wins, so that a changed counterpart is what comes next.
    const int count = history->counts.value(history->latest);
    return {history->latest, similarMovements(count) + u" (stesso IBAN)"_s};
}

Proposal CounterpartProposer::byIdenticalText(const BankMovement &movement) const
{
    const Identical *best = nullptr;
    for (const QString &text :
         {movement.description + u' ' + movement.counterparty, movement.description}) {
        const auto found = m_identical.constFind(identityText(text));
        if (found != m_identical.cend() && (!best || best->latest < found->latest))
            best = &*found;
    }
    if (!best)
        return {};
    return {best->counterpart,
            u"identico al movimento del %1"_s.arg(best->latest.date.toString(u"dd/MM/yyyy"_s))};
}

Proposal CounterpartProposer::byWords(const BankMovement &movement) const
{
    const SimilarTexts::Choice choice =
        m_similar.mostAlike(movement.description + u' ' + movement.counterparty, m_bank);
    if (choice.subAccount == 0)
        return {};
    return {choice.subAccount, similarMovements(choice.votes)};
}
