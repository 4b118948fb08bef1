#include "chart/ChartRecords.h"

#include "data/BankTables.h"
#include "data/Catalogue.h"
#include "data/Database.h"

using namespace Qt::StringLiterals;

namespace {

// Runs a read with bound values on its own connection and gives what read makes of the query;
// nothing when the statement fails.
template <typename T, typename Read>
std::optional<T> readFirst(const Archive &archive, const QString &sql, const QVariantList &values,
                           QString *error, Read read)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return std::nullopt;
    QSqlQuery query = connection.query();
    if (!runSql(query, sql, values, error))
        return std::nullopt;
    return read(query);
}

std::optional<bool> exists(const Archive &archive, const QString &sql, const QVariantList &values,
                           QString *error)
{
    return readFirst<bool>(archive, sql, values, error,
                           [](QSqlQuery &query) { return query.next(); });
}

QString textById(const Archive &archive, const QString &sql, qint64 id)
{
    return readFirst<QString>(archive, sql, {id}, nullptr,
                              [](QSqlQuery &query) {
                                  return query.next() ? query.value(0).toString() : QString();
                              })
        .value_or(QString());
}

bool isDuplicateKey(const QSqlError &error)
{
    // SQLite's extended code for a unique index, or its plain constraint code with the
    // index's wording when extended codes are off; the server's unique violation.
    const QString code = error.nativeErrorCode();
    return code == u"2067"_s || code == u"1555"_s || code == u"23505"_s ||
           (code == u"19"_s && error.databaseText().contains(u"UNIQUE"_s));
}

// What a save writes besides the record, in its transaction, given the record's id.
using AlsoWrite = std::function<bool(const Connection &, qint64, QString *)>;

// Runs the insert or update in one transaction and reports what happened.
ChartSave save(const Archive &archive, qint64 id, const QString &insert, const QString &update,
               QVariantList values, const AlsoWrite &also = {})
{
    ChartSave result;
    QString error;
    const bool done = inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            QSqlQuery query = connection.query();
            if (id != 0)
                values.append(id);
            if (!runSql(query, id == 0 ? insert : update, values, failure)) {
                result.duplicateCode = isDuplicateKey(query.lastError());
                return false;
            }
            result.id = id != 0 ? id : query.lastInsertId().toLongLong();
            return !also || also(connection, result.id, failure);
        },
        &error);
    if (!done) {
        result.id = 0;
        result.error = error;
    }
    return result;
}

QVariant nullWhenEmpty(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

} // namespace

QString normalisedCode(const QString &typed)
{
    return typed.trimmed().toUpper();
}

bool isThreeCharacterCode(const QString &typed)
{
    return typed.trimmed().size() == 3;
}

QString accountCode(const QString &ledgerCode, const QString &ownPart)
{
    return normalisedCode(ledgerCode) + normalisedCode(ownPart);
}

int columnSize(const Archive &archive, const QString &table, const QString &column, int fallback)
{
    const Connection connection(archive, Connection::Mode::ReadOnly);
    if (!connection.isOpen())
        return fallback;
    return declaredTextLength(connection.database(), table, column).value_or(fallback);
}

std::optional<Mastro> loadMastro(const Archive &archive, qint64 id, QString *error)
{
    return readFirst<std::optional<Mastro>>(
               archive,
               u"SELECT id, prefisso, descrizione, tipo, gruppo FROM mastri WHERE id = ?"_s, {id},
               error,
               [](QSqlQuery &query) -> std::optional<Mastro> {
                   if (!query.next())
                       return std::nullopt;
                   return Mastro{query.value(0).toLongLong(), query.value(1).toString(),
                                 query.value(2).toString(), query.value(3).toInt(),
                                 query.value(4).toString()};
               })
        .value_or(std::nullopt);
}

std::optional<Conto> loadConto(const Archive &archive, qint64 id, QString *error)
{
    return readFirst<std::optional<Conto>>(
               archive,
               u"SELECT id, idMastro, prefisso, descrizione, bilancio, liquidita FROM conti "
               u"WHERE id = ?"_s,
               {id}, error,
               [](QSqlQuery &query) -> std::optional<Conto> {
                   if (!query.next())
                       return std::nullopt;
                   // Any value other than 0 marks the account.
                   return Conto{query.value(0).toLongLong(), query.value(1).toLongLong(),
                                query.value(2).toString(),   query.value(3).toString(),
                                query.value(4).toInt() != 0, query.value(5).toInt() != 0};
               })
        .value_or(std::nullopt);
}

std::optional<Sottoconto> loadSottoconto(const Archive &archive, qint64 id, QString *error)
{
    std::optional<Sottoconto> record =
        readFirst<std::optional<Sottoconto>>(
            archive, u"SELECT id, idConto, descrizione, note FROM sottoconti WHERE id = ?"_s, {id},
            error,
            [](QSqlQuery &query) -> std::optional<Sottoconto> {
                if (!query.next())
                    return std::nullopt;
                return Sottoconto{query.value(0).toLongLong(),
                                  query.value(1).toLongLong(),
                                  query.value(2).toString(),
                                  query.value(3).toString(),
                                  {}};
            })
            .value_or(std::nullopt);
    if (record) {
        const Connection connection(archive, Connection::Mode::ReadOnly);
        if (connection.opened(error))
            record->iban = bankIban(connection.database(), id, error);
    }
    return record;
}

std::optional<bool> mastroCodeInUse(const Archive &archive, const QString &code, qint64 exceptId,
                                    QString *error)
{
    return exists(archive, u"SELECT id FROM mastri WHERE prefisso = ? AND id <> ?"_s,
                  {code, exceptId}, error);
}

std::optional<bool> mastroDescriptionInUse(const Archive &archive, const QString &descrizione,
                                           QString *error)
{
    return exists(archive, u"SELECT id FROM mastri WHERE descrizione = ?"_s, {descrizione}, error);
}

QString descrizioneMastro(const Archive &archive, qint64 id)
{
    return textById(archive, u"SELECT descrizione FROM mastri WHERE id = ?"_s, id);
}

QString prefissoMastro(const Archive &archive, qint64 id)
{
    return textById(archive, u"SELECT prefisso FROM mastri WHERE id = ?"_s, id);
}

QString descrizioneConto(const Archive &archive, qint64 id)
{
    return textById(archive, u"SELECT descrizione FROM conti WHERE id = ?"_s, id);
}

ChartSave saveMastro(const Archive &archive, const Mastro &mastro)
{
    return save(archive, mastro.id,
                u"INSERT INTO mastri (prefisso, descrizione, tipo, gruppo) VALUES (?, ?, ?, ?)"_s,
                u"UPDATE mastri SET prefisso = ?, descrizione = ?, tipo = ?, gruppo = ? "
                "WHERE id = ?"_s,
                {mastro.prefisso, mastro.descrizione, mastro.tipo, nullWhenEmpty(mastro.gruppo)});
}

ChartSave saveConto(const Archive &archive, const Conto &conto)
{
    return save(archive, conto.id,
                u"INSERT INTO conti (idMastro, prefisso, descrizione, bilancio, liquidita) "
                "VALUES (?, ?, ?, ?, ?)"_s,
                u"UPDATE conti SET idMastro = ?, prefisso = ?, descrizione = ?, bilancio = ?, "
                "liquidita = ? WHERE id = ?"_s,
                {conto.idMastro, conto.prefisso, conto.descrizione, conto.bilancio ? 1 : 0,
                 conto.liquidita ? 1 : 0});
}

ChartSave saveSottoconto(const Archive &archive, const Sottoconto &sottoconto)
{
    return save(archive, sottoconto.id,
                u"INSERT INTO sottoconti (idConto, descrizione, note) VALUES (?, ?, ?)"_s,
                u"UPDATE sottoconti SET idConto = ?, descrizione = ?, note = ? WHERE id = ?"_s,
                {sottoconto.idConto, sottoconto.descrizione, nullWhenEmpty(sottoconto.note)},
                [&sottoconto](const Connection &connection, qint64 id, QString *failure) {
                    return setBankIban(connection, id, sottoconto.iban, failure);
                });
}
