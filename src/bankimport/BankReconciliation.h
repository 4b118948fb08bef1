#pragma once

#include "data/Database.h"
#include "data/Money.h"
#include "reportengine/ReportDocument.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// One line that explains the difference between the books and the bank: an entry no movement is
// linked to, or a movement of an imported statement no entry was made of. Amounts are on the
// bank, money in positive.
struct ReconciliationItem {
    qint64 entryId = 0;  // an entry's id; 0 for a movement
    QVariant number;     // the entry's number
    QString fingerprint; // a movement's fingerprint; empty for an entry
    QDate date;
    QString description;
    Money amount;
};

// The bank reconciliation (prospetto di riconciliazione) of a bank sub-account at the date of
// the last statement imported up to a date: the balance in the books, the statement's balance,
// and what explains the difference, so that the books' balance less the entries not linked plus
// the movements not booked is the statement's balance; what is left is the difference.
struct BankReconciliation {
    qint64 bank = 0;
    QString bankName;
    QDate date;          // asked for
    QDate statementDate; // of the statement's balance; the date asked for without one
    Money bookBalance;
    std::optional<Money> statementBalance;
    QList<ReconciliationItem> unlinkedEntries;
    QList<ReconciliationItem> unbookedMovements;

    Money explained() const;
    // The statement's balance less what the books explain; nothing without a statement.
    std::optional<Money> difference() const;
};

std::optional<BankReconciliation> reconcileBank(const QSqlDatabase &database, qint64 bank,
                                                const QDate &date, QString *error);

// Links an entry of the bank to a movement of an imported statement that no entry was made of,
// so that both leave the reconciliation; the amounts must be equal. False with the Italian
// reason.
bool linkEntryToMovement(const Archive &archive, qint64 bank, qint64 entryId,
                         const QString &fingerprint, QString *error);

// The reconciliation as scripts read it: saldoContabile, saldoEstratto, the two lists and the
// difference, amounts as exact decimal texts.
QByteArray reconciliationJson(const BankReconciliation &reconciliation);

// The reconciliation laid out on pages under the organisation's name.
bool layOutReconciliation(const BankReconciliation &reconciliation, const QString &organisation,
                          ReportDocument *document, QString *error);
