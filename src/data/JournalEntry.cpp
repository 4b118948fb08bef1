#include "data/JournalEntry.h"

#include "data/PatternFormatter.h"
#include "data/SqlText.h"

using namespace Qt::StringLiterals;

namespace {

QSet<qint64> accountsOf(const QList<EntryRow> &rows)
{
    QSet<qint64> ids;
    for (const EntryRow &row : rows) {
        for (const QVariant &account : {row.contodare, row.contoavere}) {
            if (namesSubAccount(account))
                ids.insert(account.toLongLong());
        }
    }
    return ids;
}

} // namespace

std::optional<QSet<qint64>> memorandumAmong(const Connection &connection,
                                            const std::optional<QSet<qint64>> &ids, QString *error)
{
    QSet<qint64> memorandum;
    if (ids && ids->isEmpty())
        return memorandum;
    QVariantList values;
    QStringList marks;
    for (qint64 id : ids.value_or(QSet<qint64>())) {
        values.append(id);
        marks.append(u"?"_s);
    }
    QSqlQuery query = connection.query();
    if (!runSql(query,
                u"SELECT sottoconti.id FROM sottoconti JOIN conti ON sottoconti.idConto = conti.id "
                u"JOIN mastri ON conti.idMastro = mastri.id WHERE mastri.tipo = 0"_s +
                    (ids ? u" AND sottoconti.id IN ("_s + marks.join(u", "_s) + u")"_s : QString()),
                values, error))
        return std::nullopt;
    while (query.next())
        memorandum.insert(query.value(0).toLongLong());
    return memorandum;
}

Money amountsOf(const QList<EntryRow> &rows)
{
    Money total;
    for (const EntryRow &row : rows)
        total +=
            Money::fromUnits(row.importo.abs().units() * (int(namesSubAccount(row.contodare)) +
                                                          int(namesSubAccount(row.contoavere))));
    return total;
}

bool namesSubAccount(const QVariant &cell)
{
    return !cell.isNull() && cell.toLongLong() != 0;
}

Money imbalanceOf(const QList<EntryRow> &rows)
{
    Money imbalance;
    for (const EntryRow &row : rows) {
        const bool debit = namesSubAccount(row.contodare);
        const bool credit = namesSubAccount(row.contoavere);
        if (debit && !credit)
            imbalance += row.importo;
        else if (credit && !debit)
            imbalance -= row.importo;
    }
    return imbalance;
}

QString rowRuleRefusal(const EntryRow &row)
{
    if (row.importo.isZero())
        return u"importo zero: una riga deve muovere un importo"_s;
    if (row.importo.units() % Money::UnitsPerCent != 0)
        return u"importo con frazioni di centesimo: %1"_s.arg(
            decimalText(row.importo).replace(u'.', u','));
    if (namesSubAccount(row.contodare) && row.contodare.toLongLong() == row.contoavere.toLongLong())
        return u"lo stesso sottoconto in dare e in avere non muove nulla"_s;
    if (row.descrizione.size() > EntryTextLength)
        return u"descrizione più lunga di %1 caratteri"_s.arg(EntryTextLength);
    return {};
}

QString entryRefusal(const QList<EntryRow> &rows, const QSet<qint64> &memorandum)
{
    if (rows.isEmpty())
        return u"Nessuna riga di dettaglio."_s;
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (const QString refusal = rowRuleRefusal(rows[i]); !refusal.isEmpty())
            return u"Riga %1: %2."_s.arg(i + 1).arg(refusal);
    if (!imbalanceOf(rows).isZero())
        return u"Sbilancio nella registrazione"_s;
    // Memorandum accounts must pair among themselves: an odd count of their cells mixes them
    // with ordinary accounts.
    bool odd = false;
    for (const EntryRow &row : rows) {
        for (const QVariant &account : {row.contodare, row.contoavere}) {
            if (namesSubAccount(account) && memorandum.contains(account.toLongLong()))
                odd = !odd;
        }
    }
    if (odd)
        return u"Non è possibile inserire Conti d'Ordine e Conti convenzionali nella stessa registrazione."_s;
    return {};
}

QString entryRefusal(const Connection &connection, const QList<EntryRow> &rows, QString *error)
{
    const std::optional<QSet<qint64>> memorandum =
        memorandumAmong(connection, accountsOf(rows), error);
    return memorandum ? entryRefusal(rows, *memorandum) : QString();
}

QString debitAmountSql(const QString &rows)
{
    return u"CASE WHEN %1.contodare IS NULL THEN 0 ELSE %1.importo END"_s.arg(rows);
}

QString creditAmountSql(const QString &rows)
{
    return u"CASE WHEN %1.contoavere IS NULL THEN 0 ELSE %1.importo END"_s.arg(rows);
}
