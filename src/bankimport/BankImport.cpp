#include "bankimport/BankImport.h"

#include "bankimport/CounterpartProposer.h"
#include "data/Balances.h"
#include "data/BankTables.h"
#include "data/ClosedYears.h"
#include "data/JournalGate.h"
#include "data/Parameters.h"
#include "data/PatternFormatter.h"
#include "data/SqlText.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The longest text a row keeps, as the entry editor allows.
constexpr qsizetype RowTextLength = 255;

QString amountText(Money amount)
{
    return PatternFormatter().format(amount, u"#,##0.00"_s);
}

JournalEntry entryOf(const ReviewedMovement &item, qint64 bank)
{
    const bool moneyIn = item.movement.amount > Money();
    EntryRow row;
    row.contodare = moneyIn ? bank : item.counterpart;
    row.contoavere = moneyIn ? item.counterpart : bank;
    row.importo = item.movement.amount.abs();
    const QString text = item.description.simplified().isEmpty()
                             ? item.movement.counterparty.simplified()
                             : item.description.simplified();
    row.descrizione = text.left(RowTextLength);
    JournalEntry entry;
    entry.header.data = item.movement.bookingDate;
    entry.rows = {row};
    return entry;
}

std::optional<bool> alreadyImported(const Connection &connection, qint64 bank,
                                    const QString &fingerprint, QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT 1 FROM movimenti_importati WHERE conto = ? AND impronta = ?"_s,
                {bank, fingerprint}, error))
        return std::nullopt;
    return query.next();
}

bool keepFingerprint(const Connection &connection, qint64 bank, const ReviewedMovement &item,
                     const QString &when, QString *error)
{
    QSqlQuery query = connection.query();
    return runSql(
        query,
        u"INSERT INTO movimenti_importati (conto, impronta, idRegMain, controparte, iban, "
        u"descrizione, importato_il) VALUES (?, ?, ?, ?, ?, ?, ?)"_s,
        {bank, item.fingerprint, item.entryId, item.counterpart, item.movement.counterpartyIban,
         item.movement.description + u' ' + item.movement.counterparty, when},
        error);
}

} // namespace

std::optional<QList<QPair<qint64, QString>>> bankSubAccounts(const QSqlDatabase &database,
                                                             QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT s.id, s.descrizione, c.liquidita FROM sottoconti s "
                u"JOIN conti c ON c.id = s.idConto ORDER BY s.descrizione COLLATE ITALIANO, s.id"_s,
                {}, error))
        return std::nullopt;
    QList<QPair<qint64, QString>> flagged;
    QList<QPair<qint64, QString>> all;
    while (query.next()) {
        const QPair<qint64, QString> subAccount{query.value(0).toLongLong(),
                                                query.value(1).toString()};
        all << subAccount;
        if (query.value(2).toInt() != 0)
            flagged << subAccount;
    }
    return flagged.isEmpty() ? all : flagged;
}

ReviewedMovement::State ReviewedMovement::state() const
{
    if (alreadyImported)
        return State::AlreadyImported;
    return counterpart != 0 ? State::New : State::Unassigned;
}

QString ReviewedMovement::stateText() const
{
    switch (state()) {
    case State::New:
        return u"nuovo"_s;
    case State::AlreadyImported:
        return u"già importato"_s;
    case State::Unassigned:
        break;
    }
    return u"da assegnare"_s;
}

QStringList movementFingerprints(const QList<BankMovement> &movements)
{
    QStringList fingerprints;
    QHash<QString, int> occurrences;
    for (const BankMovement &movement : movements) {
        if (!movement.reference.isEmpty()) {
            fingerprints << u"rif:"_s + movement.reference;
            continue;
        }
        const QString key = isoDate(movement.bookingDate) + u'|' +
                            QString::number(movement.amount.units()) + u'|' +
                            movement.description.simplified().toLower();
        fingerprints << key + u'|' + QString::number(++occurrences[key]);
    }
    return fingerprints;
}

std::optional<QList<ReviewedMovement>> reviewStatement(const QSqlDatabase &database, qint64 bank,
                                                       const BankStatement &statement,
                                                       QString *error)
{
    const std::optional<CounterpartProposer> proposer =
        CounterpartProposer::load(database, bank, error);
    if (!proposer)
        return std::nullopt;
    QSqlQuery query(database);
    const bool imports = hasBankTables(database);
    if (imports && !runSql(query, u"SELECT impronta FROM movimenti_importati WHERE conto = ?"_s,
                           {bank}, error))
        return std::nullopt;
    QSet<QString> imported;
    while (imports && query.next())
        imported.insert(query.value(0).toString());
    const QStringList fingerprints = movementFingerprints(statement.movements);
    QList<ReviewedMovement> reviewed;
    reviewed.reserve(statement.movements.size());
    for (qsizetype i = 0; i < statement.movements.size(); ++i) {
        ReviewedMovement item;
        item.movement = statement.movements[i];
        item.fingerprint = fingerprints[i];
        item.description = item.movement.description.isEmpty() ? item.movement.counterparty
                                                               : item.movement.description;
        item.alreadyImported = imported.contains(item.fingerprint);
        item.ticked = !item.alreadyImported;
        if (!item.alreadyImported) {
            const Proposal proposal = proposer->propose(item.movement);
            item.counterpart = proposal.subAccount;
            item.reason = proposal.reason;
        }
        reviewed << item;
    }
    return reviewed;
}

QString BalanceCheck::text() const
{
    return u"%1 al %2: estratto %3, contabilità %4, differenza %5"_s.arg(
        label, date.toString(u"dd/MM/yyyy"_s), amountText(declared), amountText(booked),
        amountText(difference()));
}

std::optional<QList<BalanceCheck>> balanceChecks(const QSqlDatabase &database, qint64 bank,
                                                 const BankStatement &statement,
                                                 const QList<ReviewedMovement> &movements,
                                                 QString *error)
{
    QList<BalanceCheck> checks;
    if (const auto &opening = statement.opening) {
        const std::optional<Money> booked =
            balanceAt(database, {bank}, opening->date, opening->closedThatDay, error);
        if (!booked)
            return std::nullopt;
        checks << BalanceCheck{u"Saldo iniziale"_s, opening->date, opening->amount, *booked};
    }
    if (const auto &closing = statement.closing) {
        std::optional<Money> booked = balanceAt(database, {bank}, closing->date, true, error);
        if (!booked)
            return std::nullopt;
        for (const ReviewedMovement &item : movements)
            if (!item.alreadyImported && item.movement.bookingDate <= closing->date)
                *booked += item.movement.amount;
        checks << BalanceCheck{u"Saldo finale"_s, closing->date, closing->amount, *booked};
    }
    return checks;
}

bool bookMovements(const Archive &archive, qint64 bank, QList<ReviewedMovement> &movements,
                   QString *error)
{
    QList<qsizetype> order;
    for (qsizetype i = 0; i < movements.size(); ++i)
        if (movements[i].bookable())
            order << i;
    // Numbers follow the dates as far as the year's earlier entries allow.
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return movements[a].movement.bookingDate < movements[b].movement.bookingDate;
    });
    QList<ReviewedMovement> result = movements;
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
    const bool committed = inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            const std::optional<int> startMonth = archiveStartMonth(connection.database(), failure);
            if (!startMonth)
                return false;
            // A long statement touches many pages of a large archive's indexes: kept in memory
            // until the commit rather than spilled to the file half-way (twice as fast at
            // 500,000 entries). The connection ends with the transaction.
            QSqlQuery pragma = connection.query();
            if (!runSql(pragma, u"PRAGMA cache_size = -131072"_s, {}, failure))
                return false;
            JournalGate gate(connection);
            for (const qsizetype i : std::as_const(order)) {
                ReviewedMovement &item = result[i];
                const std::optional<bool> imported =
                    alreadyImported(connection, bank, item.fingerprint, failure);
                if (!imported)
                    return false;
                if (*imported) {
                    item.alreadyImported = true;
                    continue;
                }
                JournalEntry entry = entryOf(item, bank);
                item.refusal.clear();
                if (!gate.write(entry, fiscalYearContaining(entry.header.data, *startMonth),
                                &item.refusal)) {
                    // A refused entry wrote nothing: the others go on.
                    if (gate.lastFailure() == GateFailure::Refused)
                        continue;
                    *failure = item.refusal;
                    return false;
                }
                item.entryId = entry.header.id;
                item.number = entry.header.progressivo;
                if (!keepFingerprint(connection, bank, item, now, failure))
                    return false;
            }
            return writeParameter(connection, LastBankParameter, ValueType::Integer, bank, failure);
        },
        error);
    if (committed)
        movements = result;
    return committed;
}
