#pragma once

#include "BenchSupport.h"
#include "bankimport/BankRules.h"

#include <QRandomGenerator>

// A bank of the synthetic archive made ready for an import: its sub-account, a fallback
// counterpart, three rules; and a statement of its movements.

namespace bankstatement {

using namespace Qt::StringLiterals;

inline const char *const Texts[] = {
    "Bolletta energia elettrica", "Canone telefonico",   "Commissioni bonifico",
    "Quota associativa",          "Erogazione liberale", "Affitto locali sede",
    "Rimborso spese viaggio",     "Fattura consulenza",  "Assicurazione annuale",
    "Contributo del Comune",      "Spese postali",       "Manutenzione caldaia",
};

inline qint64 scalar(const Archive &archive, const QString &sql)
{
    Connection connection(archive, Connection::Mode::ReadOnly);
    QSqlQuery query = connection.query();
    QString error;
    must(runSql(query, sql, {}, &error) && query.next(), error);
    return query.value(0).toLongLong();
}

// A camt.053.001.08 statement of the year after the synthetic archive's last: a third of the
// movements name one of 200 counterparty IBANs, every one has the bank's own reference.
inline QByteArray statementFile(int movements, int year)
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

struct Bank {
    qint64 subAccount = 0;
    qint64 fallback = 0; // the counterpart of a movement nothing proposes one for
};

// The bank's sub-account and the fallback counterpart, with three rules that propose it.
inline Bank prepareBank(const Archive &archive)
{
    const Bank bank{scalar(archive, u"SELECT s.id FROM sottoconti s JOIN conti c ON "
                                    u"c.id = s.idConto WHERE c.prefisso = 'A03002' LIMIT 1"_s),
                    scalar(archive, u"SELECT s.id FROM sottoconti s JOIN conti c ON "
                                    u"c.id = s.idConto WHERE c.prefisso = 'C04003' LIMIT 1"_s)};
    QString error;
    must(inTransaction(
             archive,
             [&](const Connection &connection, QString *failure) {
                 for (const char *text : {"Commissioni", "Affitto", "Canone"}) {
                     BankRule rule{0, QString::fromUtf8(text), 0, {}, bank.fallback, 0, {}};
                     if (!saveBankRule(connection, rule, failure))
                         return false;
                 }
                 return true;
             },
             &error),
         error);
    return bank;
}

} // namespace bankstatement
