// Times a bank statement of 10,000 movements against the synthetic archive (500,000 entries by
// default): reading the camt.053 file, matching the entries typed by hand and proposing the
// counterparts (rules, IBANs, identical and like words of the bank's earlier entries), comparing
// the balances, booking every movement in one transaction with the statement kept for the
// reconciliation, and reading the same file again, when every movement is already imported.
//   bench_bankimport [entries] [movements]

#include "BenchSupport.h"
#include "bankimport/BankImport.h"
#include "bankimport/BankRules.h"
#include "bankimport/StatementReaders.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const char *const Texts[] = {
    "Bolletta energia elettrica", "Canone telefonico",   "Commissioni bonifico",
    "Quota associativa",          "Erogazione liberale", "Affitto locali sede",
    "Rimborso spese viaggio",     "Fattura consulenza",  "Assicurazione annuale",
    "Contributo del Comune",      "Spese postali",       "Manutenzione caldaia",
};

qint64 scalar(const Archive &archive, const QString &sql)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    QSqlQuery query = connection.query();
    QString error;
    must(runSql(query, sql, {}, &error) && query.next(), error);
    return query.value(0).toLongLong();
}

// A camt.053.001.08 statement of the year after the synthetic archive's last: a third of the
// movements name one of 200 counterparty IBANs, every one has the bank's own reference.
QByteArray statementFile(int movements, int year)
{
    QRandomGenerator random(7);
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\">"
                     "<BkToCstmrStmt><Stmt><Id>1</Id>";
    for (int i = 0; i < movements; ++i) {
        const bool credit = random.bounded(3) == 0;
        const QDate date = QDate(year, 1, 1).addDays(i * 365 / movements);
        const QByteArray amount = QByteArray::number(random.bounded(100, 300000) / 100.0, 'f', 2);
        const QByteArray iban =
            random.bounded(3) == 0
                ? "IT60X05428111010000" + QByteArray::number(10000 + random.bounded(200))
                : QByteArray();
        xml += "<Ntry><Amt Ccy=\"EUR\">" + amount + "</Amt><CdtDbtInd>" +
               (credit ? "CRDT" : "DBIT") + "</CdtDbtInd><Sts><Cd>BOOK</Cd></Sts><BookgDt><Dt>" +
               date.toString(Qt::ISODate).toUtf8() + "</Dt></BookgDt><AcctSvcrRef>R" +
               QByteArray::number(i) + "</AcctSvcrRef><NtryDtls><TxDtls><RltdPties><" +
               (credit ? "Dbtr" : "Cdtr") + "><Pty><Nm>Controparte " +
               QByteArray::number(random.bounded(500)) + "</Nm></Pty></" +
               (credit ? "Dbtr" : "Cdtr") + ">" +
               (iban.isEmpty()
                    ? QByteArray()
                    : QByteArray(credit ? "<DbtrAcct>" : "<CdtrAcct>") + "<Id><IBAN>" + iban +
                          "</IBAN></Id>" + (credit ? "</DbtrAcct>" : "</CdtrAcct>")) +
               "</RltdPties><RmtInf><Ustrd>" + Texts[random.bounded(12)] + " n. " +
               QByteArray::number(i) + "</Ustrd></RmtInf></TxDtls></NtryDtls></Ntry>";
    }
    return xml + "</Stmt></BkToCstmrStmt></Document>";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const SyntheticOptions options = openSyntheticArchive(dir.path(), argc, argv);
    const int movements = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10000;
    const Archive archive(dir.path());
    const qint64 bank = scalar(archive, u"SELECT s.id FROM sottoconti s JOIN conti c ON "
                                        u"c.id = s.idConto WHERE c.prefisso = 'A03002' LIMIT 1"_s);
    const qint64 fallback =
        scalar(archive, u"SELECT s.id FROM sottoconti s JOIN conti c ON "
                        u"c.id = s.idConto WHERE c.prefisso = 'C04003' LIMIT 1"_s);
    QString error;
    must(inTransaction(
             archive,
             [&](const Connection &connection, QString *failure) {
                 for (const char *text : {"Commissioni", "Affitto", "Canone"}) {
                     BankRule rule{0, QString::fromUtf8(text), 0, {}, fallback, 0, {}};
                     if (!saveBankRule(connection, rule, failure))
                         return false;
                 }
                 return true;
             },
             &error),
         error);
    const QByteArray file = statementFile(movements, options.firstYear + options.years);
    std::printf("Statement of %d movements (%.1f MB) on %d entries\n", movements,
                file.size() / 1048576.0, options.entries);

    std::optional<QList<BankStatement>> statements;
    std::optional<QList<ReviewedMovement>> reviewed;
    const double read = timedStep("read", [&] { statements = readCamt053(file, &error); });
    must(statements.has_value(), error);
    const double propose = timedStep("match and propose", [&] {
        Connection connection(archive, Connection::Mode::ReadOnly);
        reviewed = reviewStatement(connection.database(), bank, *statements, &error);
        must(reviewed.has_value(), error);
        must(balanceChecks(connection.database(), bank, *statements, *reviewed, &error).has_value(),
             error);
    });
    int proposed = 0;
    for (ReviewedMovement &item : *reviewed) {
        proposed += item.counterpart != 0;
        if (item.counterpart == 0)
            item.counterpart = fallback;
    }
    std::optional<BookingCounts> counts;
    const double book = timedStep("book", [&] {
        counts = bookMovements(archive, bank, *statements, *reviewed, &error);
        must(counts.has_value(), error);
    });
    const double again = timedStep("read again", [&] {
        Connection connection(archive, Connection::Mode::ReadOnly);
        reviewed = reviewStatement(connection.database(), bank, *readCamt053(file, &error), &error);
        must(reviewed.has_value(), error);
    });
    int imported = 0;
    for (const ReviewedMovement &item : *reviewed)
        imported += item.alreadyImported;
    std::printf("Proposed %d of %d; read, matched and proposed %.2f s (goal 2 s); booked %d, "
                "linked %d, refused %d in %.2f s (goal 5 s); read again %.2f s, %d already "
                "imported\n",
                proposed, movements, read + propose, counts->booked, counts->linked,
                counts->refused, book, again, imported);
    return 0;
}
