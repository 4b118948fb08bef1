#include "bankimport/BankImport.h"

#include "bankimport/BankRules.h"
#include "bankimport/CounterpartProposer.h"
#include "bankimport/StatementReaders.h"
#include "data/Balances.h"
#include "data/BankTables.h"
#include "data/ClosedYears.h"
#include "data/EngineDialect.h"
#include "data/ItalianCollation.h"
#include "data/JournalGate.h"
#include "data/Parameters.h"
#include "data/PatternFormatter.h"
#include "data/SqlText.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// How far apart, in days, a typed entry and its movement may be dated.
constexpr qint64 MatchingDays = 5;

QString amountText(Money amount)
{
    return PatternFormatter().format(amount, u"#,##0.00"_s);
}

QString shownDate(const QDate &date)
{
    return date.toString(u"dd/MM/yyyy"_s);
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
    row.descrizione = text.left(EntryTextLength);
    JournalEntry entry;
    entry.header.data = item.movement.bookingDate;
    entry.rows = {row};
    return entry;
}

// The fingerprints kept for the bank, whatever their version.
std::optional<QSet<QString>> importedFingerprints(const QSqlDatabase &database, qint64 bank,
                                                  QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT impronta FROM movimenti_importati WHERE conto = ?"_s, {bank},
                error))
        return std::nullopt;
    QSet<QString> kept;
    while (query.next())
        kept.insert(query.value(0).toString());
    return kept;
}

// Keeps the fingerprint of each movement booked or linked, with its entry.
bool keepFingerprints(const Connection &connection, qint64 bank,
                      const QList<const ReviewedMovement *> &items, const QString &when,
                      QString *error)
{
    QList<QVariantList> rows;
    for (const ReviewedMovement *item : items) {
        const QVariant counterpart = item->counterpart != 0 && !item->usesMatch()
                                         ? QVariant(item->counterpart)
                                         : QVariant(QMetaType::fromType<qint64>());
        rows.append({bank, item->fingerprint, item->entryId, counterpart,
                     item->movement.counterpartyIban,
                     item->movement.description + u' ' + item->movement.counterparty, when});
    }
    QSqlQuery query = connection.query();
    return insertRows(query, u"movimenti_importati"_s,
                      {u"conto"_s, u"impronta"_s, u"idRegMain"_s, u"controparte"_s, u"iban"_s,
                       u"descrizione"_s, u"importato_il"_s},
                      rows, error);
}

// The date and bank amount (money in positive) of an entry a fingerprint was kept with.
struct KeptMovement {
    QDate date;
    Money amount;
    qint64 entry = 0;
};

// The fingerprints kept for the bank; those of earlier versions (a reference alone) with their
// entry's date and amount on the bank.
struct KeptFingerprints {
    QSet<QString> all;
    QHash<QString, KeptMovement> legacy;
};

std::optional<KeptFingerprints> keptFingerprints(const QSqlDatabase &database, qint64 bank,
                                                 QString *error)
{
    KeptFingerprints kept;
    if (!hasBankTables(database))
        return kept;
    std::optional<QSet<QString>> all = importedFingerprints(database, bank, error);
    if (!all)
        return std::nullopt;
    kept.all = std::move(*all);
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT mi.impronta, m.data, m.id, "
                u"SUM(CASE WHEN d.contodare = ? THEN d.importo ELSE 0 END) - "
                u"SUM(CASE WHEN d.contoavere = ? THEN d.importo ELSE 0 END) "
                u"FROM movimenti_importati mi JOIN regmain m ON m.id = mi.idRegMain "
                u"JOIN regdet d ON d.idRegMain = m.id "
                u"WHERE mi.conto = ? AND substr(mi.impronta, 1, 4) = 'rif:' "
                u"GROUP BY mi.impronta, m.data, m.id"_s,
                {bank, bank, bank}, error))
        return std::nullopt;
    while (query.next()) {
        const QString fingerprint = query.value(0).toString();
        if (!fingerprint.contains(u'|'))
            kept.legacy.insert(fingerprint, {dateFromIso(query.value(1).toString()),
                                             Money::fromUnits(query.value(3).toLongLong()),
                                             query.value(2).toLongLong()});
    }
    return kept;
}

std::optional<QHash<qint64, QList<OpenEntry>>> openEntriesByAmount(const QSqlDatabase &database,
                                                                   qint64 bank, const QDate &from,
                                                                   const QDate &to, QString *error)
{
    QHash<qint64, QList<OpenEntry>> byAmount;
    if (!from.isValid())
        return byAmount;
    const std::optional<QList<OpenEntry>> entries =
        openBankEntries(database, bank, from, to, error);
    if (!entries)
        return std::nullopt;
    for (const OpenEntry &entry : *entries)
        if (!entry.amount.isZero())
            byAmount[entry.amount.units()] << entry;
    return byAmount;
}

// How many words of the movement's text the entry's text shares.
int sharedWords(const BankMovement &movement, const QString &text)
{
    const QStringList entryWords = descriptionWords(text);
    int shared = 0;
    for (const QString &word : descriptionWords(movement.recognisedText()))
        shared += entryWords.contains(word) ? 1 : 0;
    return shared;
}

qint64 daysApart(const BankMovement &movement, const QDate &date)
{
    qint64 days = std::abs(movement.bookingDate.daysTo(date));
    if (movement.valueDate.isValid())
        days = std::min(days, std::abs(movement.valueDate.daysTo(date)));
    return days;
}

// Matches each open movement with the entry typed by hand it is, at most one each: the same
// amount, at most a few days from its booking or value date, the likeliest by words then date.
bool matchTypedEntries(const QSqlDatabase &database, qint64 bank, QList<ReviewedMovement> &reviewed,
                       QString *error)
{
    QDate from, to;
    for (const ReviewedMovement &item : std::as_const(reviewed)) {
        if (item.alreadyImported || item.waiting)
            continue;
        for (const QDate &date : {item.movement.bookingDate, item.movement.valueDate}) {
            if (!date.isValid())
                continue;
            from = from.isValid() ? std::min(from, date) : date;
            to = to.isValid() ? std::max(to, date) : date;
        }
    }
    const std::optional<QHash<qint64, QList<OpenEntry>>> open = openEntriesByAmount(
        database, bank, from.addDays(-MatchingDays), to.addDays(MatchingDays), error);
    if (!open)
        return false;
    QSet<qint64> taken;
    for (ReviewedMovement &item : reviewed) {
        if (item.alreadyImported || item.waiting)
            continue;
        const OpenEntry *best = nullptr;
        int bestWords = -1;
        qint64 bestDays = 0;
        for (const OpenEntry &entry : open->value(item.movement.amount.units())) {
            const qint64 days = daysApart(item.movement, entry.date);
            if (days > MatchingDays || taken.contains(entry.id))
                continue;
            const int words = sharedWords(item.movement, entry.text);
            if (!best || words > bestWords || (words == bestWords && days < bestDays)) {
                best = &entry;
                bestWords = words;
                bestDays = days;
            }
        }
        if (!best)
            continue;
        taken.insert(best->id);
        item.match = TypedEntry{best->id, best->number, best->date};
    }
    return true;
}

// Whether a movement is the one an earlier version kept under its reference alone: the kept
// entry has its date and amount, and no other movement of this file took it.
bool matchesLegacy(const KeptFingerprints &kept, ReviewedMovement &item, QSet<qint64> &legacyTaken)
{
    const auto found = kept.legacy.constFind(item.legacyFingerprint);
    if (item.legacyFingerprint.isEmpty() || found == kept.legacy.cend() ||
        found->date != item.movement.bookingDate || found->amount != item.movement.amount ||
        legacyTaken.contains(found->entry))
        return false;
    legacyTaken.insert(found->entry);
    item.legacyEntry = found->entry;
    return true;
}

// A movement an earlier version kept under its reference alone is kept under its own
// fingerprint too, so that the reconciliation finds it booked.
bool keepOwnFingerprint(const Connection &connection, qint64 bank, const ReviewedMovement &item,
                        const QString &when, QString *error)
{
    QSqlQuery query = connection.query();
    return runSql(query,
                  u"INSERT INTO movimenti_importati (conto, impronta, idRegMain, iban, "
                  u"descrizione, importato_il) VALUES (?, ?, ?, ?, ?, ?) "
                  u"ON CONFLICT (conto, impronta) DO NOTHING"_s,
                  {bank, item.fingerprint, item.legacyEntry, item.movement.counterpartyIban,
                   item.movement.description + u' ' + item.movement.counterparty, when},
                  error);
}

// Keeps the statement and each of its movements for the reconciliation; a statement already kept
// (the same account, period end and closing balance) is not kept twice.
bool keepStatement(const Connection &connection, qint64 bank, const BankStatement &statement,
                   const QList<QPair<QString, QString>> &fingerprints, qsizetype first,
                   const QString &when, QString *error)
{
    QSqlQuery query = connection.query();
    // A null text would be bound as NULL: a file that names no account keeps an empty one.
    const QString account = statement.account.isNull() ? u""_s : statement.account;
    const QVariant closingDate = statement.closing ? QVariant(isoDate(statement.closing->date))
                                                   : QVariant(QMetaType::fromType<QString>());
    const QVariant closingAmount = statement.closing ? QVariant(statement.closing->amount.units())
                                                     : QVariant(QMetaType::fromType<qint64>());
    const auto orNull = [](const QDate &date) {
        return date.isValid() ? QVariant(isoDate(date)) : QVariant(QMetaType::fromType<QString>());
    };
    if (!runSql(query,
                u"SELECT id FROM estratti_importati WHERE conto = ? AND conto_estratto = ? "
                u"AND data_saldo IS NOT DISTINCT FROM ? AND saldo_finale IS NOT DISTINCT FROM ? "
                u"AND al IS NOT DISTINCT FROM ?"_s,
                {bank, account, closingDate, closingAmount, orNull(statement.to)}, error))
        return false;
    qint64 id = query.next() ? query.value(0).toLongLong() : 0;
    if (id == 0) {
        if (!runSql(query,
                    u"INSERT INTO estratti_importati (conto, conto_estratto, dal, al, data_saldo, "
                    u"saldo_finale, importato_il) VALUES (?, ?, ?, ?, ?, ?, ?)"_s,
                    {bank, account, orNull(statement.from), orNull(statement.to), closingDate,
                     closingAmount, when},
                    error))
            return false;
        id = query.lastInsertId().toLongLong();
    }
    QList<QVariantList> rows;
    for (qsizetype i = 0; i < statement.movements.size(); ++i) {
        const BankMovement &movement = statement.movements[i];
        rows.append({bank, fingerprints[first + i].first, id, isoDate(movement.bookingDate),
                     movement.amount.units(), movement.description});
    }
    return insertRows(
        query, u"movimenti_estratto"_s,
        {u"conto"_s, u"impronta"_s, u"estratto"_s, u"data"_s, u"importo"_s, u"descrizione"_s}, rows,
        error, u"ON CONFLICT (conto, impronta) DO NOTHING"_s);
}

// Whether the statements' amounts fit what the books can total exactly: a movement, or all of
// them, beyond it could never be booked.
bool withinTheBooks(const QList<BankStatement> &statements, QString *error)
{
    const qint64 limit = ArchiveAmountLimit.units() / 2;
    qint64 total = 0;
    for (const BankStatement &statement : statements)
        for (const BankMovement &movement : statement.movements) {
            const qint64 amount = movement.amount.abs().units();
            if (amount > limit || total > limit - amount) {
                *error = u"%1: importo %2 oltre ciò che i conti tengono esatto (in tutto al più "
                         u"%3 di movimenti)."_s.arg(movement.place, amountText(movement.amount),
                                                    amountText(Money::fromUnits(limit)));
                return false;
            }
            total += amount;
        }
    return true;
}

} // namespace

std::optional<QList<QPair<qint64, QString>>> bankSubAccounts(const QSqlDatabase &database,
                                                             QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT s.id, s.descrizione, c.liquidita FROM sottoconti s "
                u"JOIN conti c ON c.id = s.idConto ORDER BY italiano(s.descrizione), s.id"_s,
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

qint64 defaultBankSubAccount(const QList<QPair<qint64, QString>> &banks, qint64 lastImported)
{
    qint64 first = 0;
    qint64 firstBank = 0;
    for (const auto &[id, name] : banks) {
        if (id == lastImported)
            return id;
        first = first == 0 ? id : std::min(first, id);
        if (!foldedForMatching(name).contains(u"cassa"_s))
            firstBank = firstBank == 0 ? id : std::min(firstBank, id);
    }
    return firstBank != 0 ? firstBank : first;
}

QString bankSubAccountRefusal(const QSqlDatabase &database, qint64 subAccount, QString *error)
{
    const std::optional<QList<QPair<qint64, QString>>> banks = bankSubAccounts(database, error);
    if (!banks)
        return {};
    for (const auto &[id, name] : *banks)
        if (id == subAccount)
            return {};
    return u"Il sottoconto %1 non è un conto di cassa o di banca: il suo conto non è fra le "
           u"\"Disponibilità liquide\"."_s.arg(subAccount);
}

std::optional<StatementsOfFile> readStatementsFor(const QSqlDatabase &database, qint64 bank,
                                                  const QByteArray &file,
                                                  std::optional<StatementFormat> format,
                                                  const QString &profileName,
                                                  const QString &account, QString *error)
{
    if (const QString refusal = unreadableStatementFile(file); !refusal.isEmpty()) {
        *error = refusal;
        return std::nullopt;
    }
    const StatementFormat read = format.value_or(recognisedFormat(file));
    StatementsOfFile statements;
    if (read == StatementFormat::Camt053) {
        std::optional<QList<BankStatement>> all = readCamt053(file, error);
        if (!all)
            return std::nullopt;
        statements.all = std::move(*all);
        const QString iban = bankIban(database, bank, error);
        std::optional<QList<BankStatement>> chosen =
            error->isEmpty() ? statementsToImport(statements.all, account, iban, error)
                             : std::nullopt;
        if (!chosen || !withinTheBooks(*chosen, error))
            return std::nullopt;
        statements.chosen = std::move(*chosen);
        return statements;
    }
    if (profileName.isEmpty()) {
        *error = u"Per un file CSV o XLSX indicare il profilo che ne descrive le colonne."_s;
        return std::nullopt;
    }
    const std::optional<CsvProfile> profile = csvProfileNamed(database, profileName, error);
    const std::optional<BankStatement> statement = !profile ? std::nullopt
                                                   : read == StatementFormat::Xlsx
                                                       ? readXlsxStatement(file, *profile, error)
                                                       : readCsvStatement(file, *profile, error);
    if (!statement || !withinTheBooks({*statement}, error))
        return std::nullopt;
    statements.all = {*statement};
    statements.chosen = statements.all;
    return statements;
}

std::optional<QList<OpenEntry>> openBankEntries(const QSqlDatabase &database, qint64 bank,
                                                const QDate &from, const QDate &to, QString *error)
{
    QSqlQuery query(database);
    const QString linked = hasBankTables(database)
                               ? u"AND NOT EXISTS (SELECT 1 FROM movimenti_importati mi "
                                 u"WHERE mi.idRegMain = m.id AND mi.conto = ?) "_s
                               : u"AND ? IS NOT NULL "_s;
    if (!runSql(query,
                u"SELECT m.id, m.progressivo, m.data, "
                u"SUM(CASE WHEN d.contodare = ? THEN d.importo ELSE 0 END) - "
                u"SUM(CASE WHEN d.contoavere = ? THEN d.importo ELSE 0 END), "
                u"MAX(d.descrizione) "
                u"FROM regmain m JOIN regdet d ON d.idRegMain = m.id "
                u"WHERE m.tipo = 0 AND m.data BETWEEN ? AND ? "_s +
                    linked +
                    u"AND m.id IN (SELECT idRegMain FROM regdet WHERE contodare = ? "
                    u"OR contoavere = ?) GROUP BY m.id, m.progressivo, m.data "
                    u"ORDER BY m.data, m.id"_s,
                {bank, bank, isoDate(from), isoDate(to), bank, bank, bank}, error))
        return std::nullopt;
    QList<OpenEntry> entries;
    while (query.next())
        entries << OpenEntry{
            query.value(0).toLongLong(), query.value(1), dateFromIso(query.value(2).toString()),
            Money::fromUnits(query.value(3).toLongLong()), query.value(4).toString()};
    return entries;
}

ReviewedMovement::State ReviewedMovement::state() const
{
    if (alreadyImported)
        return State::AlreadyImported;
    if (waiting)
        return State::Waiting;
    if (usesMatch())
        return State::AlreadyBooked;
    return counterpart != 0 ? State::New : State::Unassigned;
}

QString ReviewedMovement::stateText() const
{
    switch (state()) {
    case State::New:
        return u"nuovo"_s;
    case State::AlreadyImported:
        return u"già importato"_s;
    case State::AlreadyBooked:
        return u"già registrato (n. %1 del %2)"_s.arg(
            match->number.isNull() ? u"—"_s : match->number.toString(), shownDate(match->date));
    case State::Waiting:
        return u"in attesa"_s;
    case State::Unassigned:
        break;
    }
    return u"da assegnare"_s;
}

QList<QPair<QString, QString>> movementFingerprints(const QList<BankMovement> &movements)
{
    QList<QPair<QString, QString>> fingerprints;
    QHash<QString, int> occurrences;
    for (const BankMovement &movement : movements) {
        const QString key =
            isoDate(movement.bookingDate) + u'|' + QString::number(movement.amount.units()) + u'|' +
            (movement.reference.isEmpty() ? movement.description.simplified().toLower()
                                          : QString());
        if (movement.reference.isEmpty()) {
            fingerprints << QPair<QString, QString>{
                key + u'|' + QString::number(++occurrences[key]), QString()};
            continue;
        }
        const QString referenced = u"rif:"_s + movement.reference;
        const QString own = referenced + u'|' + key;
        fingerprints << QPair<QString, QString>{own + QString::number(++occurrences[own]),
                                                referenced};
    }
    return fingerprints;
}

std::optional<QList<ReviewedMovement>> reviewStatement(const QSqlDatabase &database, qint64 bank,
                                                       const QList<BankStatement> &statements,
                                                       QString *error)
{
    const std::optional<CounterpartProposer> proposer =
        CounterpartProposer::load(database, bank, error);
    const std::optional<KeptFingerprints> kept =
        proposer ? keptFingerprints(database, bank, error) : std::nullopt;
    if (!kept)
        return std::nullopt;
    QList<BankMovement> movements;
    QList<BankMovement> waiting;
    for (const BankStatement &statement : statements) {
        movements << statement.movements;
        waiting << statement.waiting;
    }
    const QList<QPair<QString, QString>> fingerprints = movementFingerprints(movements);
    QList<ReviewedMovement> reviewed;
    reviewed.reserve(movements.size() + waiting.size());
    QSet<qint64> legacyTaken;
    for (qsizetype i = 0; i < movements.size(); ++i) {
        ReviewedMovement item;
        item.movement = movements[i];
        item.fingerprint = fingerprints[i].first;
        item.legacyFingerprint = fingerprints[i].second;
        item.description = item.movement.recognisedText();
        item.alreadyImported =
            kept->all.contains(item.fingerprint) || matchesLegacy(*kept, item, legacyTaken);
        item.ticked = !item.alreadyImported;
        reviewed << item;
    }
    for (const BankMovement &movement : std::as_const(waiting)) {
        ReviewedMovement item;
        item.movement = movement;
        item.description = movement.recognisedText();
        item.waiting = true;
        item.ticked = false;
        reviewed << item;
    }
    if (!matchTypedEntries(database, bank, reviewed, error))
        return std::nullopt;
    for (ReviewedMovement &item : reviewed) {
        if (item.alreadyImported || item.waiting)
            continue;
        const Proposal proposal = proposer->propose(item.movement);
        item.counterpart = proposal.subAccount;
        item.reason = proposal.reason;
    }
    return reviewed;
}

QString BalanceCheck::text() const
{
    return u"%1 al %2: estratto %3, contabilità %4, differenza %5"_s.arg(
        label, shownDate(date), amountText(declared), amountText(booked), amountText(difference()));
}

std::optional<QList<BalanceCheck>> balanceChecks(const QSqlDatabase &database, qint64 bank,
                                                 const QList<BankStatement> &statements,
                                                 const QList<ReviewedMovement> &movements,
                                                 QString *error)
{
    QList<BalanceCheck> checks;
    for (qsizetype s = 0; s < statements.size(); ++s) {
        const BankStatement &statement = statements[s];
        const QString which = statements.size() == 1 ? QString() : u" (estratto %1)"_s.arg(s + 1);
        if (const auto &opening = statement.opening) {
            const std::optional<Money> booked =
                balanceAt(database, {bank}, opening->date, opening->closedThatDay, error);
            if (!booked)
                return std::nullopt;
            checks << BalanceCheck{u"Saldo iniziale"_s + which, opening->date, opening->amount,
                                   *booked};
        }
        if (const auto &closing = statement.closing) {
            std::optional<Money> booked = balanceAt(database, {bank}, closing->date, true, error);
            if (!booked)
                return std::nullopt;
            for (const ReviewedMovement &item : movements)
                if (!item.alreadyImported && !item.waiting && !item.usesMatch() &&
                    item.movement.bookingDate <= closing->date)
                    *booked += item.movement.amount;
            checks << BalanceCheck{u"Saldo finale"_s + which, closing->date, closing->amount,
                                   *booked};
        }
    }
    return checks;
}

std::optional<BookingCounts> bookMovements(const Archive &archive, qint64 bank,
                                           const QList<BankStatement> &statements,
                                           QList<ReviewedMovement> &movements, QString *error)
{
    QList<qsizetype> order;
    for (qsizetype i = 0; i < movements.size(); ++i)
        if (movements[i].bookable() || movements[i].linkable())
            order << i;
    // Numbers follow the dates as far as the year's earlier entries allow.
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return movements[a].movement.bookingDate < movements[b].movement.bookingDate;
    });
    QList<ReviewedMovement> result = movements;
    BookingCounts counts;
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
    const bool committed = inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            counts = {};
            if (!lockBankStatements(connection.database(), bank, failure))
                return false;
            const std::optional<int> startMonth = archiveStartMonth(connection.database(), failure);
            if (!startMonth)
                return false;
            // The connection ends with the transaction, and what it set for many rows with it.
            const QSqlDatabase database = connection.database();
            if (!runStatements(database, dialectOf(database).beforeManyRows(), failure))
                return false;
            const std::optional<QSet<QString>> imported =
                importedFingerprints(connection.database(), bank, failure);
            if (!imported)
                return false;
            QSet<QString> taken = *imported;
            JournalGate gate(connection);
            QList<qsizetype> bookable;
            QList<JournalEntry> entries;
            QList<FiscalYear> years;
            QList<const ReviewedMovement *> kept;
            for (const qsizetype i : std::as_const(order)) {
                ReviewedMovement &item = result[i];
                if (taken.contains(item.fingerprint)) {
                    item.alreadyImported = true;
                    ++counts.alreadyImported;
                    continue;
                }
                taken.insert(item.fingerprint);
                item.refusal.clear();
                if (!item.usesMatch()) {
                    bookable << i;
                    entries << entryOf(item, bank);
                    years << fiscalYearContaining(item.movement.bookingDate, *startMonth);
                    continue;
                }
                // The typed entry may have gone, or been linked by another user, meanwhile.
                const std::optional<JournalEntry> typed = gate.read(item.match->id, failure);
                if (!typed) {
                    item.refusal = *failure;
                    failure->clear();
                    ++counts.refused;
                    continue;
                }
                item.entryId = typed->header.id;
                item.number = typed->header.progressivo;
                ++counts.linked;
                kept << &item;
            }
            QStringList refusals;
            if (!gate.writeNewLeavingOutRefused(entries, years, &refusals, failure))
                return false;
            for (qsizetype k = 0; k < bookable.size(); ++k) {
                ReviewedMovement &item = result[bookable[k]];
                // A refused entry wrote nothing: the others went in.
                if (!refusals[k].isEmpty()) {
                    item.refusal = refusals[k];
                    ++counts.refused;
                    continue;
                }
                item.entryId = entries[k].header.id;
                item.number = entries[k].header.progressivo;
                ++counts.booked;
                kept << &item;
            }
            if (!keepFingerprints(connection, bank, kept, now, failure))
                return false;
            for (const ReviewedMovement &item : std::as_const(result))
                if (item.legacyEntry != 0 &&
                    !keepOwnFingerprint(connection, bank, item, now, failure))
                    return false;
            QList<BankMovement> all;
            for (const BankStatement &statement : statements)
                all << statement.movements;
            const QList<QPair<QString, QString>> fingerprints = movementFingerprints(all);
            qsizetype first = 0;
            for (const BankStatement &statement : statements) {
                if (!keepStatement(connection, bank, statement, fingerprints, first, now, failure))
                    return false;
                first += statement.movements.size();
            }
            return writeParameter(connection, LastBankParameter, ValueType::Integer, bank, failure);
        },
        error);
    if (!committed)
        return std::nullopt;
    movements = result;
    return counts;
}

bool refreshNumbers(const QSqlDatabase &database, QList<ReviewedMovement> &movements,
                    QString *error)
{
    QSqlQuery query(database);
    for (ReviewedMovement &item : movements) {
        if (item.entryId == 0)
            continue;
        if (!runSql(query, u"SELECT progressivo FROM regmain WHERE id = ?"_s, {item.entryId},
                    error))
            return false;
        if (query.next())
            item.number = query.value(0);
    }
    return true;
}
