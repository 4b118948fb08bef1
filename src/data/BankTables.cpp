#include "data/BankTables.h"

#include "data/Catalogue.h"
#include "data/EngineDialect.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

const QString ProfilesTable = uR"(CREATE TABLE profili_csv (
    nome             TEXT PRIMARY KEY CHECK (trim(nome) <> ''),
    separatore       TEXT NOT NULL CHECK (length(separatore) = 1),
    codifica         TEXT NOT NULL CHECK (codifica IN ('UTF-8', 'Windows-1252', 'ISO-8859-15')),
    righe_da_saltare INTEGER NOT NULL DEFAULT 0 CHECK (righe_da_saltare >= 0),
    formato_data     TEXT NOT NULL DEFAULT 'dd/MM/yyyy',
    col_data         INTEGER NOT NULL,
    col_valuta       INTEGER,
    col_importo      INTEGER,
    col_dare         INTEGER,
    col_avere        INTEGER,
    col_descrizione  INTEGER NOT NULL,
    col_controparte  INTEGER,
    righe_finali     INTEGER NOT NULL DEFAULT 0 CHECK (righe_finali >= 0),
    testi_ignorati   TEXT NOT NULL DEFAULT 'saldo',
    col_stato        INTEGER,
    stati            TEXT NOT NULL DEFAULT '',
    CHECK (col_importo IS NOT NULL OR (col_dare IS NOT NULL AND col_avere IS NOT NULL))
))"_s;

// The columns a profile had before it learnt end rows, ignored texts and statuses.
const QString EarlierProfileColumns =
    u"nome, separatore, codifica, righe_da_saltare, formato_data, col_data, col_valuta, "
    u"col_importo, col_dare, col_avere, col_descrizione, col_controparte"_s;

// The type and name of what a CREATE statement makes: ("table", "regole_banca").
std::pair<QString, QString> objectOf(const QString &create)
{
    static const QRegularExpression object(u"^CREATE (TABLE|INDEX) (\\w+)"_s);
    const QRegularExpressionMatch match = object.match(create);
    return {match.captured(1).toLower(), match.captured(2)};
}

// What an archive of an earlier version lacks in tables it has: a rule's bank, and the profile's
// end rows, ignored texts, status column and the encoding ISO-8859-15 (a new check: the table is
// made again and its rows copied).
bool upgradeBankTables(const Connection &connection, QString *error)
{
    const QSqlDatabase database = connection.database();
    QSqlQuery query = connection.query();
    if (!tableColumns(database, u"regole_banca"_s, error).contains(u"banca"_s) &&
        !runSql(query,
                u"ALTER TABLE regole_banca ADD COLUMN banca INTEGER "
                u"REFERENCES sottoconti (id) ON DELETE CASCADE"_s,
                {}, error))
        return false;
    if (tableColumns(database, u"profili_csv"_s, error).contains(u"col_stato"_s))
        return error->isEmpty();
    return runSql(query, u"ALTER TABLE profili_csv RENAME TO profili_csv_precedenti"_s, {},
                  error) &&
           runDefinition(query, ProfilesTable, error) &&
           runSql(query,
                  u"INSERT INTO profili_csv (%1) SELECT %1 FROM profili_csv_precedenti"_s.arg(
                      EarlierProfileColumns),
                  {}, error) &&
           runSql(query, u"DROP TABLE profili_csv_precedenti"_s, {}, error);
}

} // namespace

const QStringList &bankTablesSchema()
{
    // The fingerprint is unique per bank sub-account; the counterpart and the words of the
    // movement are kept for the proposals of later imports.
    static const QStringList statements{
        uR"(CREATE TABLE movimenti_importati (
    conto       INTEGER NOT NULL REFERENCES sottoconti (id) ON DELETE CASCADE,
    impronta    TEXT NOT NULL,
    idRegMain   INTEGER NOT NULL REFERENCES regmain (id) ON DELETE CASCADE,
    controparte INTEGER REFERENCES sottoconti (id) ON DELETE SET NULL,
    iban        TEXT,
    descrizione TEXT NOT NULL DEFAULT '',
    importato_il TEXT NOT NULL,
    PRIMARY KEY (conto, impronta)
))"_s,
        u"CREATE INDEX movimenti_importati_idRegMain ON movimenti_importati (idRegMain)"_s,
        uR"(CREATE TABLE regole_banca (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    testo       TEXT NOT NULL DEFAULT '',
    segno       INTEGER NOT NULL DEFAULT 0 CHECK (segno IN (-1, 0, 1)),
    iban        TEXT,
    sottoconto  INTEGER NOT NULL REFERENCES sottoconti (id) ON DELETE CASCADE,
    banca       INTEGER REFERENCES sottoconti (id) ON DELETE CASCADE,
    CHECK (trim(testo) <> '' OR iban IS NOT NULL)
))"_s,
        ProfilesTable,
        // The IBAN of a bank sub-account picks its statement out of a file with several.
        uR"(CREATE TABLE conti_bancari (
    sottoconto  INTEGER PRIMARY KEY REFERENCES sottoconti (id) ON DELETE CASCADE,
    iban        TEXT NOT NULL UNIQUE
))"_s,
        // Every statement booked and each of its movements, booked or not, for the bank
        // reconciliation: a movement is booked while movimenti_importati holds its fingerprint.
        uR"(CREATE TABLE estratti_importati (
    id            INTEGER PRIMARY KEY AUTOINCREMENT,
    conto         INTEGER NOT NULL REFERENCES sottoconti (id) ON DELETE CASCADE,
    conto_estratto TEXT NOT NULL DEFAULT '',
    dal           TEXT,
    al            TEXT,
    data_saldo    TEXT,
    saldo_finale  INTEGER,
    importato_il  TEXT NOT NULL
))"_s,
        uR"(CREATE TABLE movimenti_estratto (
    conto       INTEGER NOT NULL REFERENCES sottoconti (id) ON DELETE CASCADE,
    impronta    TEXT NOT NULL,
    estratto    INTEGER NOT NULL REFERENCES estratti_importati (id) ON DELETE CASCADE,
    data        TEXT NOT NULL,
    importo     INTEGER NOT NULL,
    descrizione TEXT NOT NULL DEFAULT '',
    PRIMARY KEY (conto, impronta)
))"_s,
        u"CREATE INDEX movimenti_estratto_data ON movimenti_estratto (conto, data)"_s,
        // The VAT number or tax code of a counterpart's sub-account, by which the electronic
        // invoices of the same supplier or customer find it again.
        uR"(CREATE TABLE controparti_fiscali (
    sottoconto  INTEGER PRIMARY KEY REFERENCES sottoconti (id) ON DELETE CASCADE,
    idfiscale   TEXT NOT NULL UNIQUE CHECK (trim(idfiscale) <> '')
))"_s,
        // Every electronic invoice booked, by the counterpart's number, its type, number and
        // date: none is booked twice, and deleting its entry frees it.
        uR"(CREATE TABLE fatture_importate (
    idfiscale   TEXT NOT NULL,
    tipo        TEXT NOT NULL,
    numero      TEXT NOT NULL,
    data        TEXT NOT NULL,
    idRegMain   INTEGER NOT NULL REFERENCES regmain (id) ON DELETE CASCADE,
    direzione   TEXT NOT NULL CHECK (direzione IN ('acquisto', 'vendita')),
    controparte INTEGER REFERENCES sottoconti (id) ON DELETE SET NULL,
    totale      INTEGER NOT NULL,
    iban        TEXT,
    importata_il TEXT NOT NULL,
    PRIMARY KEY (idfiscale, tipo, numero, data)
))"_s,
        u"CREATE INDEX fatture_importate_idRegMain ON fatture_importate (idRegMain)"_s,
    };
    return statements;
}

const QStringList &bankTableNames()
{
    static const QStringList names{u"movimenti_importati"_s, u"regole_banca"_s,
                                   u"profili_csv"_s,         u"conti_bancari"_s,
                                   u"estratti_importati"_s,  u"movimenti_estratto"_s,
                                   u"controparti_fiscali"_s, u"fatture_importate"_s};
    return names;
}

bool hasBankTables(const QSqlDatabase &database)
{
    return hasBankTable(database, u"regole_banca"_s);
}

bool hasBankTable(const QSqlDatabase &database, const QString &table)
{
    return schemaObjectExists(database, u"table"_s, table).value_or(false);
}

bool ensureBankTables(const Connection &connection, QString *error)
{
    if (hasBankTables(connection.database()) && !upgradeBankTables(connection, error))
        return false;
    QSqlQuery query = connection.query();
    // Only what is missing is made: an archive of an earlier version has some of them.
    for (const QString &statement : bankTablesSchema()) {
        const auto [type, name] = objectOf(statement);
        const std::optional<bool> exists =
            schemaObjectExists(connection.database(), type, name, error);
        if (!exists || (!*exists && !runDefinition(query, statement, error)))
            return false;
    }
    return true;
}

QString normalizedIban(const QString &iban)
{
    return QString(iban).remove(u' ').toUpper();
}

QString ibanProblem(const QString &iban)
{
    const QString compact = normalizedIban(iban);
    static const QRegularExpression shape(u"^[A-Z]{2}[0-9]{2}[A-Z0-9]{11,30}$"_s);
    if (!shape.match(compact).hasMatch())
        return u"IBAN non valido: %1 (due lettere del paese, due cifre di controllo, poi da 11 a "
               u"30 lettere e cifre)."_s.arg(iban);
    // The check digits: the IBAN read from its fifth character round to its start, letters as
    // 10 to 35, leaves 1 divided by 97.
    const QString rotated = compact.mid(4) + compact.left(4);
    int remainder = 0;
    for (const QChar c : rotated) {
        const int value = c.isDigit() ? c.digitValue() : c.unicode() - 'A' + 10;
        remainder = (remainder * (value >= 10 ? 100 : 10) + value) % 97;
    }
    if (remainder != 1)
        return u"IBAN non valido: %1 (le cifre di controllo non tornano)."_s.arg(iban);
    return {};
}

QString bankIban(const QSqlDatabase &database, qint64 subAccount, QString *error)
{
    if (!hasBankTable(database, u"conti_bancari"_s))
        return {};
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT iban FROM conti_bancari WHERE sottoconto = ?"_s, {subAccount},
                error) ||
        !query.next())
        return {};
    return query.value(0).toString();
}

bool setBankIban(const Connection &connection, qint64 subAccount, const QString &iban,
                 QString *error)
{
    QSqlQuery query = connection.query();
    if (iban.trimmed().isEmpty())
        return runSql(query, u"DELETE FROM conti_bancari WHERE sottoconto = ?"_s, {subAccount},
                      error);
    if (const QString problem = ibanProblem(iban); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    const QString compact = normalizedIban(iban);
    if (!runSql(query, u"SELECT sottoconto FROM conti_bancari WHERE iban = ? AND sottoconto <> ?"_s,
                {compact, subAccount}, error))
        return false;
    if (query.next()) {
        *error =
            u"L'IBAN %1 è già del sottoconto %2."_s.arg(compact).arg(query.value(0).toLongLong());
        return false;
    }
    return runSql(query,
                  u"INSERT INTO conti_bancari (sottoconto, iban) VALUES (?, ?) "
                  u"ON CONFLICT (sottoconto) DO UPDATE SET iban = excluded.iban"_s,
                  {subAccount, compact}, error);
}
