#include "yearend/YearEnd.h"

#include "data/Backup.h"
#include "data/Balances.h"
#include "data/ClosedYears.h"
#include "data/Failure.h"
#include "data/FinalPrints.h"
#include "data/FiscalEnvironment.h"
#include "data/Natures.h"
#include "data/Parameters.h"
#include "data/PatternFormatter.h"
#include "data/Renumbering.h"
#include "data/SqlText.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The previous year's debits and credits of every sub-account that moved in it, by id.
std::optional<PreviousYearLines> previousYearLines(const Connection &connection,
                                                   const YearEndYears &years, QString *error)
{
    std::vector<SubAccountBalance> lines;
    if (!subAccountBalances(connection.database(), years.prevStart, years.prevEnd,
                            EntryFilter::AllEntries, &lines, error))
        return std::nullopt;
    PreviousYearLines byId;
    for (SubAccountBalance &line : lines)
        byId.insert(line.subAccountId, std::move(line));
    return byId;
}

// The balance (saldo) of each sub-account of the natures, by id.
QMap<qint64, Money> balancesOfNatures(const PreviousYearLines &lines, const QList<int> &natures)
{
    QMap<qint64, Money> balances;
    for (const SubAccountBalance &line : lines)
        if (natures.contains(line.nature))
            balances.insert(line.subAccountId, line.saldo());
    return balances;
}

// The year's result: what its balance-sheet balances come to.
Money resultOf(const PreviousYearLines &lines)
{
    Money result;
    for (const Money &balance : balancesOfNatures(lines, {Natures::Assets, Natures::Liabilities}))
        result += balance;
    return result;
}

std::optional<int> natureOf(const Connection &connection, qint64 subAccount, QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"SELECT mastri.tipo FROM sottoconti JOIN conti ON conti.id = sottoconti.idConto "
                u"JOIN mastri ON mastri.id = conti.idMastro WHERE sottoconti.id = ?"_s,
                {subAccount}, error) ||
        !query.next())
        return std::nullopt;
    return query.value(0).toInt();
}

// A row that posts amount to account on one side only.
EntryRow sideRow(bool onDebit, qint64 account, Money amount, const QString &text)
{
    return {0, onDebit ? QVariant(account) : QVariant(), onDebit ? QVariant() : QVariant(account),
            amount, text};
}

qint64 chosenIfListed(const Archive &archive, const QString &key,
                      const QList<SubAccountChoice> &choices)
{
    const qint64 id = readParameter(archive, key, ValueType::Text, Storage::InArchive, u"0"_s)
                          .toString()
                          .toLongLong();
    const bool listed = std::any_of(choices.cbegin(), choices.cend(),
                                    [id](const SubAccountChoice &c) { return c.id == id; });
    return listed ? id : 0;
}

// The ids of the year-end's entries: the previous year's closing ones and the current year's
// opening ones.
std::optional<QList<qint64>> yearEndEntryIds(const Connection &connection,
                                             const YearEndYears &years, QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"SELECT id FROM regmain WHERE (tipo = -1 AND data BETWEEN ? AND ?) "
                u"OR (tipo = 1 AND data BETWEEN ? AND ?) ORDER BY id"_s,
                {isoDate(years.prevStart), isoDate(years.prevEnd), isoDate(years.curStart),
                 isoDate(years.curEnd)},
                error))
        return std::nullopt;
    QList<qint64> ids;
    while (query.next())
        ids.append(query.value(0).toLongLong());
    return ids;
}

} // namespace

YearEndYears YearEndYears::of(const FiscalEnvironment &environment)
{
    return {environment.previousYearStart(), environment.previousYearEnd(), environment.yearStart(),
            environment.yearEnd()};
}

QList<SubAccountChoice> yearEndChoices(const Archive &archive, bool balanceSheet, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return {};
    QSqlQuery query = connection.query();
    if (!runSql(
            query,
            u"SELECT sottoconti.id, sottoconti.descrizione || ' < ' || mastri.descrizione AS testo "
            u"FROM mastri JOIN conti ON mastri.id = conti.idMastro "
            u"JOIN sottoconti ON conti.id = sottoconti.idConto "
            u"WHERE mastri.tipo IN (?, ?) ORDER BY testo"_s,
            balanceSheet ? QVariantList{1, 2} : QVariantList{3, 4}, error))
        return {};
    QList<SubAccountChoice> choices;
    while (query.next())
        choices.append({query.value(0).toLongLong(), query.value(1).toString()});
    return choices;
}

QString yearEndRefusal(const Archive &archive, const YearEndYears &years, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return {};
    return yearEndRefusal(connection, years, error);
}

QString yearEndRefusal(const Connection &connection, const YearEndYears &years, QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT id FROM regmain WHERE data BETWEEN ? AND ? LIMIT 1"_s,
                {isoDate(years.prevStart), isoDate(years.prevEnd)}, error))
        return {};
    if (!query.next())
        return u"Nessuna Registrazione presente nell'Esercizio precedente\nLa procedura verrà interrotta."_s;
    const std::optional<QList<qint64>> yearEndEntries = yearEndEntryIds(connection, years, error);
    if (!yearEndEntries)
        return {};
    if (!yearEndEntries->isEmpty())
        return u"Presenti Registrazioni di Apertura dell'Esercizio corrente e/o di Chiusura "
               u"nell'Esercizio precedente.\n"
               u"Eliminarle prima di effettuare una nuova Chiusura/Apertura"_s;
    return {};
}

std::optional<Money> yearResult(const Archive &archive, const YearEndYears &years, QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return std::nullopt;
    return yearResult(connection, years, error);
}

std::optional<Money> yearResult(const Connection &connection, const YearEndYears &years,
                                QString *error)
{
    const std::optional<PreviousYearLines> lines = previousYearLines(connection, years, error);
    if (!lines)
        return std::nullopt;
    return resultOf(*lines);
}

YearEndInput yearEndDefaults(const Archive &archive, const YearEndYears &years, Money result,
                             const QList<SubAccountChoice> &balanceSheet,
                             const QList<SubAccountChoice> &incomeStatement)
{
    YearEndInput input;
    input.closingDate = years.prevEnd;
    input.openingDate = years.curStart;
    input.closingBalance = chosenIfListed(archive, u"bilanciochiusura"_s, balanceSheet);
    input.profitAndLoss = chosenIfListed(archive, u"profittieperdite"_s, incomeStatement);
    input.openingBalance = chosenIfListed(archive, u"bilancioapertura"_s, balanceSheet);
    input.profitOrLoss =
        chosenIfListed(archive, result.isNegative() ? u"perdita"_s : u"utile"_s, balanceSheet);
    return input;
}

QStringList yearEndProblems(const YearEndInput &input, const YearEndYears &years)
{
    QStringList errors;
    if (input.closingDate > years.prevEnd || input.closingDate < years.prevStart)
        errors.append(u"- Data registrazione chiusura non compresa nell'esercizio precedente"_s);
    if (input.openingDate > years.curEnd || input.openingDate < years.curStart)
        errors.append(u"- Data registrazione apertura non compresa nell'esercizio corrente"_s);
    if (input.profitAndLoss == 0)
        errors.append(u"- Inserire Sottoconto \"Profitti e Perdite\""_s);
    if (input.profitOrLoss == 0)
        errors.append(u"- Inserire Sottoconto \"Utile/Perdita d'esercizio\""_s);
    if (input.closingBalance == 0)
        errors.append(u"- Inserire Sottoconto \"Bilancio di chiusura\""_s);
    if (input.openingBalance == 0)
        errors.append(u"- Inserire Sottoconto \"Bilancio di apertura\""_s);
    if (input.economicClosing.isEmpty())
        errors.append(u"- Inserire Descrizione \"Chiusura Conti economici\""_s);
    if (input.patrimonialClosing.isEmpty())
        errors.append(u"- Inserire Descrizione \"Chiusura Conti patrimoniali\""_s);
    if (input.opening.isEmpty())
        errors.append(u"- Inserire Descrizione \"Apertura Conti patrimoniali\""_s);
    return errors;
}

YearEndGenerator::YearEndGenerator(const Connection &connection, const YearEndInput &input,
                                   const YearEndYears &years, Money result)
    : m_connection(connection), m_input(input), m_years(years), m_result(result)
{
}

bool YearEndGenerator::writeOpening(QString *error)
{
    return balancedEntries({{1, 2},
                            m_input.openingDate,
                            EntryKind::Opening,
                            QVariant(),
                            true,
                            m_input.openingBalance,
                            m_input.opening + u" (attivo)"_s,
                            m_input.opening + u" (passivo)"_s,
                            true},
                           error);
}

bool YearEndGenerator::closeIncomeStatementAccounts(QString *error)
{
    return balancedEntries({{3, 4},
                            m_input.closingDate,
                            EntryKind::Closing,
                            m_input.economicClosing,
                            true,
                            m_input.profitAndLoss,
                            m_input.economicClosing,
                            m_input.economicClosing},
                           error);
}

bool YearEndGenerator::closeBalanceSheetAccounts(QString *error)
{
    return balancedEntries({{1, 2},
                            m_input.closingDate,
                            EntryKind::Closing,
                            QVariant(),
                            false,
                            m_input.closingBalance,
                            m_input.patrimonialClosing + u" (attivo)"_s,
                            m_input.patrimonialClosing + u" (passivo)"_s},
                           error);
}

bool YearEndGenerator::recordResult(QString *error)
{
    if (m_result.isZero())
        return true;
    const bool profit = !m_result.isNegative();
    const Money amount = m_result.abs();
    const QString &text = m_input.patrimonialClosing;
    const qint64 pl = m_input.profitAndLoss;
    const qint64 result = m_input.profitOrLoss;
    const qint64 closing = m_input.closingBalance;
    return writeEntry(m_input.closingDate, EntryKind::Closing, QVariant(),
                      {{0, profit ? pl : result, profit ? result : pl, amount, text},
                       {0, profit ? result : closing, profit ? closing : result, amount, text}},
                      error);
}

bool YearEndGenerator::readPreviousYear(QString *error)
{
    std::optional<PreviousYearLines> lines = previousYearLines(m_connection, m_years, error);
    if (!lines)
        return false;
    m_previousYear = std::move(*lines);
    return true;
}

Money YearEndGenerator::previousYearResult() const
{
    return resultOf(m_previousYear);
}

bool YearEndGenerator::addToPreviousYear(const QList<EntryRow> &rows, QString *error)
{
    for (const EntryRow &row : rows) {
        for (const bool debit : {true, false}) {
            const QVariant &cell = debit ? row.contodare : row.contoavere;
            if (!namesSubAccount(cell))
                continue;
            const qint64 id = cell.toLongLong();
            auto line = m_previousYear.find(id);
            if (line == m_previousYear.end()) {
                const std::optional<int> nature = natureOf(m_connection, id, error);
                if (!nature)
                    return false;
                SubAccountBalance moved;
                moved.subAccountId = id;
                moved.nature = *nature;
                line = m_previousYear.insert(id, moved);
            }
            (debit ? line->dare : line->avere) += row.importo;
        }
    }
    return true;
}

bool YearEndGenerator::balancedEntries(const Pass &pass, QString *error)
{
    // Each pass works on the previous year as it stood before the pass wrote anything: as read
    // once, with the rows the earlier passes wrote into it.
    QMap<qint64, Money> balances = balancesOfNatures(m_previousYear, pass.natures);
    if (pass.carriesResult)
        balances[m_input.profitOrLoss] -= m_result;
    // Pass A takes the positive balances, pass B the negative ones, in sub-account order.
    for (const bool positive : {true, false}) {
        const bool accountOnDebit = pass.accountOnDebitWhenPositive == positive;
        const QString &text = positive ? pass.positiveText : pass.negativeText;
        QList<EntryRow> rows;
        Money total;
        for (auto it = balances.cbegin(); it != balances.cend(); ++it) {
            if (it.value().isZero() || it.value().isNegative() == positive)
                continue;
            const Money amount = it.value().abs();
            rows.append(sideRow(accountOnDebit, it.key(), amount, text));
            total += amount;
        }
        if (rows.isEmpty())
            continue;
        rows.append(sideRow(!accountOnDebit, pass.counter, total, text));
        if (!writeEntry(pass.date, pass.kind, pass.headerText, rows, error))
            return false;
    }
    return true;
}

bool YearEndGenerator::writeEntry(const QDate &date, EntryKind kind, const QVariant &headerText,
                                  const QList<EntryRow> &rows, QString *error)
{
    QList<JournalEntry> entry(1);
    entry[0].header.data = date;
    entry[0].header.kind = kind;
    entry[0].header.descrizione = headerText;
    entry[0].rows = rows;
    // Its rows go in a few statements, not one each: a server is asked once, not per account.
    if (JournalGate(m_connection, JournalGate::ClosedYearRule::Allow)
            .writeNew(entry, {FiscalYear()}, error))
        return false;
    m_written.append(entry[0].header.id);
    return date < m_years.prevStart || date > m_years.prevEnd || addToPreviousYear(rows, error);
}

namespace {

// Whether the archive is still as the dialog saw it when it read result: not closed meanwhile
// and with the same result. Read inside the write transaction, so it holds until the commit.
bool stillAsShown(const Connection &connection, const YearEndYears &years, Money result, Money now,
                  QString *error)
{
    const QString changed = u"L'archivio è stato modificato dopo l'apertura della finestra"_s;
    QString failure;
    const QString refusal = yearEndRefusal(connection, years, &failure);
    if (!failure.isEmpty())
        return fail(error, failure);
    if (!refusal.isEmpty())
        return fail(error, changed + u".\n"_s + refusal);
    if (now != result)
        return fail(error, changed + u": il risultato dell'esercizio non è più quello mostrato.\n"
                                     u"Ripetere la procedura."_s);
    return true;
}

// The closing and opening entries may not go into a period printed in definitiva.
bool outsideFinalPrints(const Connection &connection, const YearEndInput &input, QString *error)
{
    for (const QDate &date : {input.closingDate, input.openingDate}) {
        QString failure;
        const std::optional<QDate> until = lockedUntil(connection.database(), date, &failure);
        if (!failure.isEmpty())
            return fail(error, failure);
        if (until && date <= *until)
            return fail(error, u"Il libro giornale è già stampato in definitiva fino al %1: le "
                               u"registrazioni di chiusura e apertura non possono esservi "
                               u"scritte.\nAnnullare prima l'ultima stampa definitiva."_s.arg(
                                   PatternFormatter().format(*until, u"dd/mm/yyyy")));
    }
    return true;
}

} // namespace

std::optional<QList<qint64>> runYearEnd(const Archive &archive, const YearEndInput &input,
                                        const YearEndYears &years, Money result, QString *error)
{
    if (backupArchive(archive, u"chiusura"_s, error).isEmpty())
        return std::nullopt;
    QList<qint64> written;
    const bool ok = inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            YearEndGenerator generator(connection, input, years, result);
            if (!generator.readPreviousYear(failure) ||
                !stillAsShown(connection, years, result, generator.previousYearResult(), failure) ||
                !outsideFinalPrints(connection, input, failure))
                return false;
            const bool generated = generator.writeOpening(failure) &&
                                   generator.closeIncomeStatementAccounts(failure) &&
                                   generator.closeBalanceSheetAccounts(failure) &&
                                   generator.recordResult(failure);
            written = generator.written();
            JournalGate gate(connection);
            return generated &&
                   gate.removeHeadersWithoutRows(years.prevStart, years.curEnd, failure) &&
                   gate.renumber(years.curStart, years.curEnd, failure) &&
                   gate.renumber(years.prevStart, years.prevEnd, failure);
        },
        error, WriteScope::WholeArchive);
    if (!ok)
        return std::nullopt;
    return written;
}

namespace {

// Whether any entry of the type dated first..last is printed in definitiva.
std::optional<bool> printedEntriesOfType(const Connection &connection, EntryKind kind,
                                         const QDate &first, const QDate &last, QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT MIN(data) FROM regmain WHERE tipo = ? AND data BETWEEN ? AND ?"_s,
                {storedKind(kind), isoDate(first), isoDate(last)}, error) ||
        !query.next())
        return std::nullopt;
    if (query.value(0).isNull())
        return false;
    const QDate earliest = dateFromIso(query.value(0).toString());
    const std::optional<QDate> until = lockedUntil(connection.database(), earliest, error);
    if (!error->isEmpty())
        return std::nullopt;
    return until && earliest <= *until;
}

bool deleteYearEndEntries(const Connection &connection, const YearEndYears &years, QString *error)
{
    const std::optional<QList<qint64>> ids = yearEndEntryIds(connection, years, error);
    if (!ids)
        return false;
    JournalGate gate(connection, JournalGate::ClosedYearRule::Allow);
    return std::all_of(ids->cbegin(), ids->cend(),
                       [&](qint64 id) { return gate.remove(id, error); });
}

} // namespace

std::optional<YearEndYears> yearsToReopen(const Connection &connection, const YearEndYears &years,
                                          QString *error)
{
    const std::optional<QList<qint64>> yearEnd = yearEndEntryIds(connection, years, error);
    if (!yearEnd)
        return std::nullopt;
    if (!yearEnd->isEmpty())
        return years;
    const std::optional<FiscalYear> next =
        archiveYearContaining(connection.database(), years.curEnd.addDays(1), error);
    if (!next)
        return std::nullopt;
    const YearEndYears following{years.curStart, years.curEnd, next->start, next->end};
    const std::optional<QList<qint64>> closing = yearEndEntryIds(connection, following, error);
    if (!closing)
        return std::nullopt;
    return closing->isEmpty() ? years : following;
}

QString reopenRefusal(const Connection &connection, const YearEndYears &years, QString *error)
{
    const std::optional<QList<qint64>> yearEndEntries = yearEndEntryIds(connection, years, error);
    if (!yearEndEntries)
        return {};
    if (yearEndEntries->isEmpty())
        return u"Nessuna chiusura da annullare: l'esercizio %1 non ha registrazioni di chiusura "
               u"e l'esercizio %2 non ha registrazioni di apertura."_s.arg(
                   shownPeriod(years.prevStart, years.prevEnd),
                   shownPeriod(years.curStart, years.curEnd));
    const std::optional<bool> closingPrinted =
        printedEntriesOfType(connection, EntryKind::Closing, years.prevStart, years.prevEnd, error);
    if (!closingPrinted)
        return {};
    if (*closingPrinted)
        return u"Le registrazioni di chiusura dell'esercizio %1 sono già stampate in definitiva "
               u"sul libro giornale: l'esercizio non può essere riaperto."_s.arg(
                   shownPeriod(years.prevStart, years.prevEnd));
    const std::optional<bool> openingPrinted =
        printedEntriesOfType(connection, EntryKind::Opening, years.curStart, years.curEnd, error);
    if (!openingPrinted)
        return {};
    if (*openingPrinted)
        return u"Le registrazioni di apertura dell'esercizio %1 sono già stampate in definitiva "
               u"sul libro giornale: l'esercizio precedente non può essere riaperto."_s.arg(
                   shownPeriod(years.curStart, years.curEnd));
    return {};
}

bool reopenYear(const Archive &archive, const YearEndYears &years, QString *backup, QString *error)
{
    {
        const Connection connection(archive, Connection::Mode::ReadOnly);
        if (!connection.opened(error))
            return false;
        const QString refusal = reopenRefusal(connection, years, error);
        if (!refusal.isEmpty())
            return fail(error, refusal);
        if (!error->isEmpty())
            return false;
    }
    *backup = backupArchive(archive, u"riapertura"_s, error);
    if (backup->isEmpty())
        return false;
    return inTransaction(
        archive,
        [&years](const Connection &connection, QString *failure) {
            // Read again inside the transaction: another user may have printed meanwhile.
            const QString refusal = reopenRefusal(connection, years, failure);
            if (!refusal.isEmpty())
                return fail(failure, refusal);
            JournalGate gate(connection);
            return failure->isEmpty() && deleteYearEndEntries(connection, years, failure) &&
                   gate.renumber(years.curStart, years.curEnd, failure) &&
                   gate.renumber(years.prevStart, years.prevEnd, failure);
        },
        error, WriteScope::WholeArchive);
}
