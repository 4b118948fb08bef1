#include "data/BankTables.h"

using namespace Qt::StringLiterals;

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
    CHECK (trim(testo) <> '' OR iban IS NOT NULL)
))"_s,
        uR"(CREATE TABLE profili_csv (
    nome            TEXT PRIMARY KEY CHECK (trim(nome) <> ''),
    separatore      TEXT NOT NULL CHECK (length(separatore) = 1),
    codifica        TEXT NOT NULL CHECK (codifica IN ('UTF-8', 'Windows-1252')),
    righe_da_saltare INTEGER NOT NULL DEFAULT 0 CHECK (righe_da_saltare >= 0),
    formato_data    TEXT NOT NULL DEFAULT 'dd/MM/yyyy',
    col_data        INTEGER NOT NULL,
    col_valuta      INTEGER,
    col_importo     INTEGER,
    col_dare        INTEGER,
    col_avere       INTEGER,
    col_descrizione INTEGER NOT NULL,
    col_controparte INTEGER,
    CHECK (col_importo IS NOT NULL OR (col_dare IS NOT NULL AND col_avere IS NOT NULL))
))"_s,
    };
    return statements;
}

const QStringList &bankTableNames()
{
    static const QStringList names{u"movimenti_importati"_s, u"regole_banca"_s, u"profili_csv"_s};
    return names;
}

bool hasBankTables(const QSqlDatabase &database)
{
    QSqlQuery query(database);
    return runSql(
               query,
               u"SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'regole_banca'"_s) &&
           query.next();
}

bool ensureBankTables(const Connection &connection, QString *error)
{
    if (hasBankTables(connection.database()))
        return true;
    QSqlQuery query = connection.query();
    for (const QString &statement : bankTablesSchema())
        if (!runSql(query, statement, {}, error))
            return false;
    return true;
}
