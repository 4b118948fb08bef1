#include "data/ServerMigration.h"

#include "data/ArchiveCheck.h"
#include "data/ArchiveStartup.h"
#include "data/Backup.h"
#include "data/Catalogue.h"
#include "data/EngineDialect.h"
#include "data/Failure.h"
#include "data/MonthlyTotals.h"
#include "data/Schema.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

// Every table an archive keeps, parents before children. The monthly totals are rebuilt.
const QStringList &copiedTables()
{
    static const QStringList tables{u"mastri"_s,
                                    u"conti"_s,
                                    u"sottoconti"_s,
                                    u"regmain"_s,
                                    u"regdet"_s,
                                    u"parametri"_s,
                                    u"stampe_definitive"_s,
                                    u"movimenti_importati"_s,
                                    u"regole_banca"_s,
                                    u"profili_csv"_s,
                                    u"conti_bancari"_s,
                                    u"estratti_importati"_s,
                                    u"movimenti_estratto"_s};
    return tables;
}

// Rows are read and sent on in parts, so that a large table is never held whole.
constexpr int RowsPerStatement = 250;

bool copyTable(const Connection &source, const Connection &target, const QString &table,
               QString *error)
{
    const QStringList columns = tableColumns(source.database(), table, error);
    if (columns.isEmpty())
        return fail(error, u"Tabella %1 non trovata nell'archivio da copiare."_s.arg(table));
    QSqlQuery read = source.query();
    read.setForwardOnly(true);
    QSqlQuery insert = target.query();
    if (!runSql(read, u"SELECT %1 FROM %2 ORDER BY 1"_s.arg(columns.join(u", "_s), table), {},
                error))
        return false;
    QList<QVariantList> rows;
    while (read.next()) {
        QVariantList row;
        for (int c = 0; c < columns.size(); ++c)
            row.append(read.value(c));
        rows.append(row);
        if (rows.size() == RowsPerStatement) {
            if (!insertRows(insert, table, columns, rows, error))
                return false;
            rows.clear();
        }
    }
    if (!insertRows(insert, table, columns, rows, error))
        return false;
    const std::optional<qint64> highest = highestIdGiven(source.database(), table);
    return !highest || setHighestIdGiven(target.database(), table, *highest, error);
}

bool emptyTables(const Connection &target, QString *error)
{
    QSqlQuery query = target.query();
    for (qsizetype i = copiedTables().size() - 1; i >= 0; --i)
        if (!runSql(query, u"DELETE FROM "_s + copiedTables()[i], {}, error))
            return false;
    return true;
}

bool copyAll(const Connection &source, const Connection &target, QString *error)
{
    if (!dropMonthlyTotals(target, error))
        return false;
    for (const QString &table : copiedTables())
        if (!copyTable(source, target, table, error))
            return false;
    return ensureMonthlyTotals(target, error);
}

// What the copy must have alike: the rows of every table, and every sub-account's debits and
// credits by month and entry type. The check of the archive must then find in the copy what it
// finds in the original.
QList<QVariantList> fingerprint(const Connection &connection, QString *error)
{
    QList<QVariantList> lines;
    QSqlQuery query = connection.query();
    for (const QString &table : copiedTables()) {
        if (!runSql(query, u"SELECT COUNT(*) FROM "_s + table, {}, error) || !query.next())
            return {};
        lines.append({table, query.value(0).toLongLong()});
    }
    // The original's kept totals agree with its entries (opening it checked them); the copy's
    // were rebuilt from the copied entries.
    if (!runSql(query,
                u"SELECT conto, mese, tipo, dare, avere FROM saldi_mese "
                u"WHERE dare <> 0 OR avere <> 0 ORDER BY conto, mese, tipo"_s,
                {}, error))
        return {};
    while (query.next())
        lines.append({query.value(0).toLongLong(), query.value(1).toString(),
                      query.value(2).toLongLong(), query.value(3).toLongLong(),
                      query.value(4).toLongLong()});
    return lines;
}

bool verifyCopy(const Archive &original, const Archive &copy, QString *error)
{
    QString failure;
    const QList<QVariantList> before = [&] {
        Connection connection(original, Connection::Mode::ReadOnly);
        return connection.opened(&failure) ? fingerprint(connection, &failure)
                                           : QList<QVariantList>();
    }();
    const QList<QVariantList> after = [&] {
        Connection connection(copy, Connection::Mode::ReadOnly);
        return connection.opened(&failure) ? fingerprint(connection, &failure)
                                           : QList<QVariantList>();
    }();
    if (!failure.isEmpty())
        return fail(error, failure);
    if (before != after)
        return fail(error, u"La copia non corrisponde all'originale (righe o saldi diversi)."_s);
    // The whole archive at once: its findings are the original's, whatever they are.
    const QDate first(1900, 1, 1);
    const QDate last(9999, 12, 31);
    const std::optional<ArchiveCheck> expected = checkArchive(original, first, last, &failure);
    const std::optional<ArchiveCheck> check =
        expected ? checkArchive(copy, first, last, &failure) : std::nullopt;
    if (!check)
        return fail(error, failure);
    return check->problemLines() == expected->problemLines() ||
           fail(error, u"La copia non supera il controllo dell'archivio:\n"_s +
                           check->problemLines().join(u'\n'));
}

// Copies the archive into the database on target, in one transaction on the target.
bool copyInto(const Archive &archive, const Connection &target, bool makeSchema, QString *error)
{
    Connection source(archive, Connection::Mode::ReadOnly);
    if (!source.opened(error))
        return false;
    ReadSnapshot snapshot(source);
    if (!snapshot.isActive())
        return fail(error, snapshot.errorText());
    Transaction transaction(target, WriteScope::WholeArchive);
    if (!transaction.isActive())
        return fail(error, transaction.errorText());
    if (!(makeSchema ? createProgramSchema(target, error) : emptyTables(target, error)) ||
        !copyAll(source, target, error) || !transaction.commit(error))
        return false;
    return runStatements(target.database(),
                         dialectOf(target.database()).afterTablesCopied(copiedTables()), error);
}

bool copyToServer(const Archive &archive, const ServerLocation &server, QString *error)
{
    // The original gets the tables of this version first, as any opening for writing does.
    if (!openForWriting(archive, error))
        return false;
    Connection target(server);
    if (!target.opened(error))
        return false;
    const std::optional<bool> empty = databaseIsEmpty(target.database(), error);
    if (!empty)
        return false;
    if (!*empty)
        return fail(error, u"Il database %1 non è vuoto: l'archivio va copiato in un database "
                           u"nuovo, senza tabelle."_s.arg(server.description()));
    return copyInto(archive, target, true, error);
}

} // namespace

bool migrateToServer(const Archive &archive, const ServerLocation &server, QString *error)
{
    if (archive.isOnServer())
        return fail(error, u"L'archivio è già su un server: %1."_s.arg(archive.location()));
    if (!copyToServer(archive, server, error))
        return false;
    // The folder names the server from now on; the file stays beside it, untouched.
    if (!writeServerIni(archive.folder(), server, error))
        return false;
    if (verifyCopy(archive, Archive(archive.folder()), error))
        return true;
    QFile::remove(serverIniPath(archive.folder()));
    return false;
}

bool moveNewArchiveToServer(const Archive &archive, const ServerLocation &server, QString *error)
{
    return migrateToServer(archive, server, error) &&
           (QFile::remove(archive.databasePath()) ||
            fail(error, u"Impossibile rimuovere il file locale dell'archivio creato."_s));
}

bool migrateToFile(const Archive &archive, const QString &file, const QString &programFolder,
                   QString *error)
{
    if (!archive.isOnServer())
        return fail(error, u"L'archivio non è su un server."_s);
    if (QFile::exists(file))
        return fail(error, u"Il file %1 esiste già: indicare un file nuovo."_s.arg(
                               QDir::toNativeSeparators(file)));
    // The copy takes its name only once complete and verified: an interrupted run leaves no
    // archive behind under the name asked for.
    const QFileInfo target(file);
    removeLeftovers(target.absoluteDir(), {target.fileName() + u".*.part"_s});
    const QString partial =
        file + u".%1.part"_s.arg(QRandomGenerator::global()->generate64(), 0, 16);
    if (!QFile::copy(QDir(programFolder).filePath(u"contab.gen"_s), partial) ||
        !QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner))
        return fail(error, u"Impossibile creare il file %1."_s.arg(QDir::toNativeSeparators(file)));
    const bool ok =
        [&] {
            Connection target(partial);
            return target.opened(error) && copyInto(archive, target, false, error);
        }() &&
        verifyCopy(archive, Archive::ofDatabase(partial), error) &&
        (QFile::rename(partial, file) || fail(error, u"Impossibile dare al file il nome %1."_s.arg(
                                                         QDir::toNativeSeparators(file))));
    if (!ok)
        QFile::remove(partial);
    return ok;
}
