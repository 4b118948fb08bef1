#pragma once

#include "bankimport/BankStatement.h"
#include "data/Database.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

#include <optional>

// The sub-accounts a statement can be imported for: those of the accounts flagged as cash and
// bank, or every sub-account when the chart flags none; (id, description) in description order.
std::optional<QList<QPair<qint64, QString>>> bankSubAccounts(const QSqlDatabase &database,
                                                             QString *error);

// A movement of a statement as the review shows it: its fingerprint, the counterpart proposed
// or chosen, the text its entry will carry, and what became of it.
struct ReviewedMovement {
    enum class State { New, AlreadyImported, Unassigned };

    BankMovement movement;
    QString fingerprint;
    qint64 counterpart = 0;
    QString reason;
    QString description;
    bool ticked = true;
    bool alreadyImported = false;
    // After booking: the entry it became and its number, or the gate's refusal.
    qint64 entryId = 0;
    QVariant number;
    QString refusal;

    State state() const;
    // "nuovo", "già importato", "da assegnare".
    QString stateText() const;
    // Whether booking would make an entry of it.
    bool bookable() const { return ticked && !alreadyImported && counterpart != 0 && entryId == 0; }
};

// The fingerprint of each movement, in order, that tells it again in a later file: the bank's
// reference when it gives one; else its date, amount, description (in lower case, spaces
// simplified) and how many such movements came before it in the file.
QStringList movementFingerprints(const QList<BankMovement> &movements);

// The statement's movements for the bank sub-account, with the ones already imported marked and
// a counterpart proposed for the others.
std::optional<QList<ReviewedMovement>> reviewStatement(const QSqlDatabase &database, qint64 bank,
                                                       const BankStatement &statement,
                                                       QString *error);

// A balance the statement declares beside the bank sub-account's balance in the books at the
// same moment. For the closing balance the books count the movements still to be booked.
struct BalanceCheck {
    QString label; // "Saldo iniziale", "Saldo finale"
    QDate date;
    Money declared;
    Money booked;

    Money difference() const { return declared - booked; }
    // "Saldo finale al 31/03/2026: estratto 1.200,00, contabilità 1.150,00, differenza 50,00".
    QString text() const;
};

std::optional<QList<BalanceCheck>> balanceChecks(const QSqlDatabase &database, qint64 bank,
                                                 const BankStatement &statement,
                                                 const QList<ReviewedMovement> &movements,
                                                 QString *error);

// The parameter that keeps the bank sub-account of the last booked import.
inline const QString LastBankParameter = QStringLiteral("BancaEstrattoConto");

// Books every bookable movement as one entry on its own date (the bank on one side, the
// counterpart on the other, the movement's description), through the journal gate, each
// checked and numbered in the fiscal year of its date, in date order, with its fingerprint; all
// in one transaction. A movement the gate refuses (a closed year, a printed period) keeps the
// refusal and is left out; one another user imported meanwhile is marked already imported. The
// bank is kept as the one of the last import.
// Returns false with the reason when the archive fails: then nothing is kept.
bool bookMovements(const Archive &archive, qint64 bank, QList<ReviewedMovement> &movements,
                   QString *error);
