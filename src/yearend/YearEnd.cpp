#include "yearend/YearEnd.h"

#include "data/Parametri.h"
#include "data/Renumbering.h"
#include "data/SqlText.h"
#include "data/cEnvironment.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

QString naturesIn(const QList<int> &natures)
{
    QStringList codes;
    for (int nature : natures)
        codes.append(QString::number(nature));
    return codes.join(u", "_s);
}

qint64 chosenIfListed(const Archive &archive, const QString &key,
                      const QList<SubAccountChoice> &choices)
{
    const qint64 id = LeggiParametro(archive, key, TipoValore::Testo, Memoria::Archivio, u"0"_s)
                          .toString()
                          .toLongLong();
    const bool listed = std::any_of(choices.cbegin(), choices.cend(),
                                    [id](const SubAccountChoice &c) { return c.id == id; });
    return listed ? id : 0;
}

} // namespace

YearEndYears YearEndYears::of(const cEnvironment &environment)
{
    return {environment.EseDate1Prev(), environment.EseDate2Prev(), environment.EseDate1(),
            environment.EseDate2()};
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
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT id FROM regmain WHERE data BETWEEN ? AND ? LIMIT 1"_s,
                {isoDate(years.prevStart), isoDate(years.prevEnd)}, error))
        return {};
    if (!query.next())
        return u"Nessuna Registrazione presente nell'Esercizio precedente\nLa procedura verrà interrotta."_s;
    if (!runSql(query,
                u"SELECT id FROM regmain WHERE (tipo = -1 AND data BETWEEN ? AND ?) "
                u"OR (tipo = 1 AND data BETWEEN ? AND ?) LIMIT 1"_s,
                {isoDate(years.prevStart), isoDate(years.prevEnd), isoDate(years.curStart),
                 isoDate(years.curEnd)},
                error))
        return {};
    if (query.next())
        return u"Presenti Registrazioni di Apertura dell'Esercizio corrente e/o di Chiusura "
               u"nell'Esercizio precedente.\n"
               u"Eliminarle prima di effettuare una nuova Chiusura/Apertura"_s;
    return {};
}

std::optional<Money> risultatoEsercizio(const Archive &archive, const YearEndYears &years,
                                        QString *error)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return std::nullopt;
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"SELECT COALESCE(SUM(saldo), 0) FROM schede "
                u"WHERE mTipo IN (1, 2) AND data BETWEEN ? AND ?"_s,
                {isoDate(years.prevStart), isoDate(years.prevEnd)}, error) ||
        !query.next())
        return std::nullopt;
    return Money::fromUnits(query.value(0).toLongLong());
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

QStringList ControllaParametri(const YearEndInput &input, const YearEndYears &years)
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

bool YearEndGenerator::GeneraApertura(QString *error)
{
    return balancedEntries({{1, 2},
                            m_input.openingDate,
                            1,
                            QVariant(),
                            true,
                            m_input.openingBalance,
                            m_input.opening + u" (attivo)"_s,
                            m_input.opening + u" (passivo)"_s},
                           error);
}

bool YearEndGenerator::ChiudiContiEconomici(QString *error)
{
    return balancedEntries({{3, 4},
                            m_input.closingDate,
                            -1,
                            m_input.economicClosing,
                            true,
                            m_input.profitAndLoss,
                            m_input.economicClosing,
                            m_input.economicClosing},
                           error);
}

bool YearEndGenerator::ChiudiContiPatrimoniali(QString *error)
{
    return balancedEntries({{1, 2},
                            m_input.closingDate,
                            -1,
                            QVariant(),
                            false,
                            m_input.closingBalance,
                            m_input.patrimonialClosing + u" (attivo)"_s,
                            m_input.patrimonialClosing + u" (passivo)"_s},
                           error);
}

bool YearEndGenerator::RegistraRisultato(QString *error)
{
    if (m_result.isZero())
        return true;
    const bool profit = !m_result.isNegative();
    const qint64 amount = m_result.abs().units();
    const QString &text = m_input.patrimonialClosing;
    const qint64 pl = m_input.profitAndLoss;
    const qint64 result = m_input.profitOrLoss;
    const qint64 closing = m_input.closingBalance;
    return writeEntry(m_input.closingDate, -1, QVariant(),
                      {{10, profit ? pl : result, profit ? result : pl, amount, text},
                       {20, profit ? result : closing, profit ? closing : result, amount, text}},
                      error);
}

bool YearEndGenerator::balancedEntries(const Pass &pass, QString *error)
{
    // Pass A takes the positive balances, pass B the negative ones; both read the previous
    // year as it stood before this step wrote anything.
    for (const bool positive : {true, false}) {
        QSqlQuery balances = m_connection.query();
        if (!runSql(balances,
                    u"SELECT conto, SUM(saldo) FROM schede WHERE mTipo IN ("_s +
                        naturesIn(pass.natures) +
                        u") AND data BETWEEN ? AND ? GROUP BY conto HAVING SUM(saldo) "_s +
                        (positive ? u"> 0"_s : u"< 0"_s) + u" ORDER BY conto"_s,
                    {isoDate(m_years.prevStart), isoDate(m_years.prevEnd)}, error))
            return false;
        const bool accountOnDebit = pass.accountOnDebitWhenPositive == positive;
        const QString &text = positive ? pass.positiveText : pass.negativeText;
        QList<QVariantList> rows;
        Money total;
        int riga = 10;
        while (balances.next()) {
            const Money amount = Money::fromUnits(balances.value(1).toLongLong()).abs();
            const QVariant account = balances.value(0);
            rows.append({riga, accountOnDebit ? account : QVariant(),
                         accountOnDebit ? QVariant() : account, amount.units(), text});
            total += amount;
            riga += 10;
        }
        if (rows.isEmpty())
            continue;
        const QVariant counter = pass.counter;
        rows.append({riga, accountOnDebit ? QVariant() : counter,
                     accountOnDebit ? counter : QVariant(), total.units(), text});
        if (!writeEntry(pass.date, pass.tipo, pass.headerText, rows, error))
            return false;
    }
    return true;
}

bool YearEndGenerator::writeEntry(const QDate &date, int tipo, const QVariant &headerText,
                                  const QList<QVariantList> &rows, QString *error)
{
    QSqlQuery insert = m_connection.query();
    if (!runSql(insert, u"INSERT INTO regmain (data, tipo, descrizione) VALUES (?, ?, ?)"_s,
                {isoDate(date), tipo, headerText}, error))
        return false;
    const qint64 id = insert.lastInsertId().toLongLong();
    m_written.append(id);
    if (!insert.prepare(
            u"INSERT INTO regdet (idRegMain, riga, contodare, contoavere, importo, descrizione) "
            u"VALUES (?, ?, ?, ?, ?, ?)"_s))
        return fail(error, engineText(insert.lastError()));
    for (const QVariantList &row : rows) {
        insert.addBindValue(id);
        for (const QVariant &value : row)
            insert.addBindValue(value);
        if (!insert.exec())
            return fail(error, engineText(insert.lastError()));
    }
    return true;
}

std::optional<QList<qint64>> runYearEnd(const Archive &archive, const YearEndInput &input,
                                        const YearEndYears &years, Money result, QString *error)
{
    QList<qint64> written;
    const bool ok = inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            YearEndGenerator generator(connection, input, years, result);
            const bool generated =
                generator.GeneraApertura(failure) && generator.ChiudiContiEconomici(failure) &&
                generator.ChiudiContiPatrimoniali(failure) && generator.RegistraRisultato(failure);
            written = generator.written();
            return generated && deleteOrphanHeaders(connection, failure) &&
                   renumberEntries(connection, years.curStart, years.curEnd, failure) &&
                   renumberEntries(connection, years.prevStart, years.prevEnd, failure);
        },
        error);
    if (!ok)
        return std::nullopt;
    return written;
}
