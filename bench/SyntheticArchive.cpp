#include "SyntheticArchive.h"

#include "data/Database.h"
#include "data/SqlText.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QList>
#include <QRandomGenerator>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct Ledger {
    int nature;
    const char16_t *code;
    const char16_t *name;
    QList<const char16_t *> accounts;
};

// Ledgers and accounts of a small Italian organisation; every account gets sub-accounts.
const QList<Ledger> &chart()
{
    static const QList<Ledger> ledgers = {
        {1,
         u"A01",
         u"Immobilizzazioni",
         {u"Fabbricati", u"Impianti", u"Attrezzature", u"Automezzi"}},
        {1,
         u"A02",
         u"Crediti",
         {u"Crediti verso clienti", u"Crediti verso associati", u"Crediti diversi",
          u"Crediti tributari"}},
        {1, u"A03", u"Disponibilità liquide", {u"Cassa", u"Banche", u"Posta"}},
        {2, u"P01", u"Patrimonio netto", {u"Fondo di dotazione", u"Riserve"}},
        {2,
         u"P02",
         u"Debiti",
         {u"Debiti verso fornitori", u"Debiti tributari", u"Debiti verso personale",
          u"Debiti diversi"}},
        {2, u"P03", u"Fondi", {u"Fondo TFR", u"Fondi ammortamento"}},
        {3, u"C01", u"Acquisti", {u"Materiali", u"Cancelleria", u"Materiale didattico"}},
        {3,
         u"C02",
         u"Servizi",
         {u"Utenze", u"Consulenze", u"Manutenzioni", u"Assicurazioni", u"Trasporti"}},
        {3, u"C03", u"Personale", {u"Stipendi", u"Contributi", u"Rimborsi spese"}},
        {3, u"C04", u"Oneri diversi", {u"Imposte e tasse", u"Oneri bancari", u"Varie"}},
        {4,
         u"R01",
         u"Proventi istituzionali",
         {u"Quote associative", u"Contributi pubblici", u"Erogazioni liberali"}},
        {4, u"R02", u"Proventi commerciali", {u"Vendite", u"Prestazioni", u"Sponsorizzazioni"}},
        {4, u"R03", u"Proventi finanziari", {u"Interessi attivi", u"Varie"}},
        {0, u"O01", u"Conti d'ordine", {u"Beni di terzi", u"Garanzie prestate"}},
    };
    return ledgers;
}

const char16_t *const SubAccountNames[] = {
    u"Varie",         u"Sede",        u"Filiale Nord", u"Filiale Sud",  u"Progetto Alfa",
    u"Progetto Beta", u"Rossi Mario", u"Bianchi & C.", u"Verdi s.r.l.", u"L'Aquila Servizi",
    u"Generale",      u"Estero",      u"Ufficio",      u"Magazzino",    u"Laboratorio",
    u"Segreteria",    u"Eventi",      u"Formazione",   u"Sportello",    u"Comune",
};
constexpr int SubAccountsPerAccount = 7;

const char16_t *const RowTexts[] = {
    u"Pagamento fattura",
    u"Incasso quota",
    u"Versamento in banca",
    u"Prelievo contanti",
    u"Acquisto materiale",
    u"Rimborso spese viaggio",
    u"Stipendio del mese",
    u"Contributi INPS",
    u"Bolletta energia elettrica",
    u"Canone telefonico",
    u"Interessi di conto",
    u"Commissioni bancarie",
    u"Erogazione liberale",
    u"Contributo del Comune",
    u"Fattura consulenza",
    u"Assicurazione annuale",
    u"Manutenzione caldaia",
    u"Quota associativa dell'anno",
    u"Giroconto",
    u"Storno registrazione",
    u"Affitto locali",
    u"Spese postali",
    u"Cancelleria ufficio",
    u"Trasporto merci",
};

bool fail(const QString &text, QString *error)
{
    if (error)
        *error = text;
    return false;
}

bool exec(QSqlQuery &query, QString *error)
{
    return query.exec() || fail(engineText(query), error);
}

bool insertChart(const Connection &connection, QList<qint64> &subAccounts, QString *error)
{
    QSqlQuery mastro = connection.query();
    QSqlQuery conto = connection.query();
    QSqlQuery sotto = connection.query();
    mastro.prepare(
        u"INSERT INTO mastri (prefisso, descrizione, tipo, gruppo) VALUES (?, ?, ?, ?)"_s);
    conto.prepare(
        u"INSERT INTO conti (idMastro, prefisso, descrizione, bilancio) VALUES (?, ?, ?, ?)"_s);
    sotto.prepare(u"INSERT INTO sottoconti (idConto, descrizione) VALUES (?, ?)"_s);
    int nameIndex = 0;
    for (const Ledger &ledger : chart()) {
        mastro.addBindValue(QString::fromUtf16(ledger.code));
        mastro.addBindValue(QString::fromUtf16(ledger.name));
        mastro.addBindValue(ledger.nature);
        // Asset ledgers carry the optional group label of the balance printouts.
        const QString code = QString::fromUtf16(ledger.code);
        mastro.addBindValue(ledger.nature != 1 ? QVariant(QMetaType::fromType<QString>())
                            : code == u"A01"_s ? QVariant(u"Attivo immobilizzato"_s)
                                               : QVariant(u"Attivo circolante"_s));
        if (!exec(mastro, error))
            return false;
        const QVariant ledgerId = mastro.lastInsertId();
        int accountNumber = 0;
        for (const char16_t *account : ledger.accounts) {
            conto.addBindValue(ledgerId);
            conto.addBindValue(QString::fromUtf16(ledger.code) +
                               u"%1"_s.arg(++accountNumber, 3, 10, QChar(u'0')));
            conto.addBindValue(QString::fromUtf16(account));
            // Funds are marked: balance printouts may hide their sub-accounts.
            conto.addBindValue(QString::fromUtf16(account).startsWith(u"Fond"_s) ? 1 : 0);
            if (!exec(conto, error))
                return false;
            const QVariant accountId = conto.lastInsertId();
            for (int s = 0; s < SubAccountsPerAccount; ++s) {
                sotto.addBindValue(accountId);
                sotto.addBindValue(QString::fromUtf16(account) + u" - "_s +
                                   QString::fromUtf16(SubAccountNames[nameIndex++ % 20]));
                if (!exec(sotto, error))
                    return false;
                subAccounts.append(sotto.lastInsertId().toLongLong());
            }
        }
    }
    return true;
}

// One entry's rows: a total debited to one sub-account and credited to one to three others,
// or a single row that names both sides.
struct Row {
    qint64 dare = 0;
    qint64 avere = 0;
    qint64 amount = 0;
};

QList<Row> entryRows(const QList<qint64> &subAccounts, QRandomGenerator &random)
{
    auto pick = [&] { return subAccounts.at(int(random.bounded(int(subAccounts.size())))); };
    // A row that names both sides names two sub-accounts, as the archive requires.
    auto pair = [&](qint64 amount) {
        const qint64 dare = pick();
        qint64 avere = pick();
        while (avere == dare && subAccounts.size() > 1)
            avere = pick();
        return Row{dare, avere, amount};
    };
    const qint64 total = qint64(random.bounded(100, 500000)) * 100; // 1,00 to 5.000,00
    const int rows = 2 + int(random.bounded(3));
    if (rows == 2 && random.bounded(2) == 0)
        return {pair(total), pair(total / 200 * 100 + 100)};
    QList<Row> result{{pick(), 0, total}};
    qint64 left = total;
    for (int r = 1; r < rows; ++r) {
        const qint64 part = r == rows - 1 ? left : std::max<qint64>(100, left / 2 / 100 * 100);
        result.append({0, pick(), part});
        left -= part;
    }
    return result;
}

bool insertEntries(const Connection &connection, const QList<qint64> &subAccounts,
                   const SyntheticOptions &options, QString *error)
{
    QRandomGenerator random(options.seed);
    QSqlQuery header = connection.query();
    QSqlQuery row = connection.query();
    header.prepare(
        u"INSERT INTO regmain (data, progressivo, tipo, attached) VALUES (?, ?, ?, ?)"_s);
    row.prepare(u"INSERT INTO regdet (idRegMain, riga, contodare, contoavere, importo, "
                u"descrizione) VALUES (?, ?, ?, ?, ?, ?)"_s);
    auto side = [](qint64 id) {
        return id > 0 ? QVariant(id) : QVariant(QMetaType::fromType<qint64>());
    };
    for (int y = 0; y < options.years; ++y) {
        const int perYear = options.entries / options.years + (y < options.entries % options.years);
        const QDate first(options.firstYear + y, 1, 1);
        QList<int> days;
        for (int i = 0; i < perYear; ++i)
            days.append(int(random.bounded(first.daysInYear())));
        std::sort(days.begin(), days.end());
        for (int i = 0; i < perYear; ++i) {
            // The year opens and closes with its balance entries.
            const int tipo = i == 0 ? 1 : (i == perYear - 1 ? -1 : 0);
            header.addBindValue(isoDate(first.addDays(days.at(i))));
            header.addBindValue(i + 1);
            header.addBindValue(tipo);
            header.addBindValue(random.bounded(50) == 0 ? QVariant(u"documento_%1.pdf"_s.arg(i))
                                                        : QVariant(QMetaType::fromType<QString>()));
            if (!exec(header, error))
                return false;
            const QVariant id = header.lastInsertId();
            int riga = 10;
            for (const Row &r : entryRows(subAccounts, random)) {
                row.addBindValue(id);
                row.addBindValue(riga);
                row.addBindValue(side(r.dare));
                row.addBindValue(side(r.avere));
                row.addBindValue(r.amount);
                row.addBindValue(QString::fromUtf16(RowTexts[random.bounded(24)]));
                if (!exec(row, error))
                    return false;
                riga += 10;
            }
        }
    }
    return true;
}

} // namespace

bool createSyntheticArchive(const QString &folder, const QString &templatePath,
                            const SyntheticOptions &options, QString *error)
{
    QDir dir(folder);
    if (!dir.mkpath(u"."_s))
        return fail(u"Impossibile creare la cartella %1"_s.arg(folder), error);
    for (const auto &sub : {u"allegati"_s, u"modelli"_s, u"documenti"_s})
        dir.mkpath(sub);
    const QString database = databasePathFor(folder);
    if (QFile::exists(database))
        return fail(u"La cartella contiene già un archivio: %1"_s.arg(database), error);
    if (!QFile::copy(templatePath, database))
        return fail(u"Impossibile copiare %1"_s.arg(templatePath), error);
    QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner);

    Connection connection(database);
    if (!connection.isOpen())
        return fail(connection.errorText(), error);
    Transaction transaction(connection);
    QList<qint64> subAccounts;
    if (!insertChart(connection, subAccounts, error) ||
        !insertEntries(connection, subAccounts, options, error))
        return false;
    QSqlQuery parameter = connection.query();
    if (!runSql(parameter, u"INSERT INTO parametri (chiave, valore) VALUES ('StartMonth', '1')"_s,
                {}, error))
        return false;
    return transaction.commit(error);
}
