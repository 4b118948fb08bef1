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

// The bank a window starts from: the one of the last import, else the first bank account (by
// its place in the chart) before the cash ones ("Cassa", "Assegni in cassa").
qint64 defaultBankSubAccount(const QList<QPair<qint64, QString>> &banks, qint64 lastImported);

// Why the sub-account cannot take a statement: it does not exist, or its account is not flagged
// "Disponibilità liquide" (when the chart flags any); empty when it can.
QString bankSubAccountRefusal(const QSqlDatabase &database, qint64 subAccount, QString *error);

// The statements of a file, and those of them to import for a bank sub-account.
struct StatementsOfFile {
    QList<BankStatement> all;
    QList<BankStatement> chosen;
};

// Reads a statement file for the bank sub-account: camt.053, CSV or XLSX as format says (or as
// the file shows, without one), CSV and XLSX with the named profile. Of a camt.053 file with
// several accounts the one chosen is taken (an IBAN or other id), else the bank's own IBAN.
// Nothing, with the Italian reason, for a file or choice that cannot be read or imported.
std::optional<StatementsOfFile> readStatementsFor(const QSqlDatabase &database, qint64 bank,
                                                  const QByteArray &file,
                                                  std::optional<StatementFormat> format,
                                                  const QString &profileName,
                                                  const QString &account, QString *error);

// An ordinary entry of the bank sub-account that no movement of a statement is linked to: its
// amount on the bank (money in positive) and its text.
struct OpenEntry {
    qint64 id = 0;
    QVariant number;
    QDate date;
    Money amount;
    QString text;
};

// Such entries dated from .. to, by date.
std::optional<QList<OpenEntry>> openBankEntries(const QSqlDatabase &database, qint64 bank,
                                                const QDate &from, const QDate &to, QString *error);

// An entry of the books that a movement of the statement already is: typed by hand before the
// statement came, on the bank sub-account, with the same amount, a few days apart.
struct TypedEntry {
    qint64 id = 0;
    QVariant number;
    QDate date;
};

// A movement of a statement as the review shows it: its fingerprint, the counterpart proposed
// or chosen, the text its entry will carry, and what became of it.
struct ReviewedMovement {
    enum class State { New, AlreadyImported, AlreadyBooked, Waiting, Unassigned };

    BankMovement movement;
    // How the movement is told again in later files; the one earlier versions of the program
    // kept (a bank reference alone), which recognises it only together with its entry's date and
    // amount.
    QString fingerprint;
    QString legacyFingerprint;
    qint64 counterpart = 0;
    QString reason;
    QString description;
    bool ticked = true;
    bool alreadyImported = false;
    // The entry an earlier version's import made of it, found by its reference alone.
    qint64 legacyEntry = 0;
    // Pending at the bank: listed, never booked.
    bool waiting = false;
    // The entry typed by hand that this movement is; while useMatch it is linked to it instead of
    // booked.
    std::optional<TypedEntry> match;
    bool useMatch = true;
    // After booking: the entry it became or was linked to and its number, or the gate's refusal.
    qint64 entryId = 0;
    QVariant number;
    QString refusal;

    State state() const;
    // "nuovo", "già importato", "già registrato (n. 12 del 10/01/2018)", "in attesa",
    // "da assegnare".
    QString stateText() const;
    bool usesMatch() const { return match.has_value() && useMatch; }
    // Whether booking would make an entry of it.
    bool bookable() const
    {
        return ticked && !alreadyImported && !waiting && !usesMatch() && counterpart != 0 &&
               entryId == 0;
    }
    // Whether booking would link it to the entry typed by hand.
    bool linkable() const { return ticked && usesMatch() && !alreadyImported && entryId == 0; }
};

// The fingerprints of the movements, in order, that tell each again in a later file: the bank's
// reference with the movement's date, amount and how many such movements came before it in the
// file, so that movements sharing a reference stay apart; without a reference, its date, amount,
// description (in lower case, spaces simplified) and order. The second of each pair is how an
// earlier version kept a movement with a reference (the reference alone); empty without one.
QList<QPair<QString, QString>> movementFingerprints(const QList<BankMovement> &movements);

// The statements' movements for the bank sub-account, in order, then those pending at the bank:
// the ones already imported marked, each matched with an entry typed by hand when there is one,
// and a counterpart proposed for the others.
std::optional<QList<ReviewedMovement>> reviewStatement(const QSqlDatabase &database, qint64 bank,
                                                       const QList<BankStatement> &statements,
                                                       QString *error);

// A balance the statement declares beside the bank sub-account's balance in the books at the
// same moment. For the closing balance the books count the movements still to be booked.
struct BalanceCheck {
    QString label; // "Saldo iniziale", "Saldo finale" (with the statement's number when several)
    QDate date;
    Money declared;
    Money booked;

    Money difference() const { return declared - booked; }
    // "Saldo finale al 31/03/2026: estratto 1.200,00, contabilità 1.150,00, differenza 50,00".
    QString text() const;
};

// The checks of every statement's balances.
std::optional<QList<BalanceCheck>> balanceChecks(const QSqlDatabase &database, qint64 bank,
                                                 const QList<BankStatement> &statements,
                                                 const QList<ReviewedMovement> &movements,
                                                 QString *error);

// The parameter that keeps the bank sub-account of the last booked import.
inline const QString LastBankParameter = QStringLiteral("BancaEstrattoConto");

// What a booking run did.
struct BookingCounts {
    int booked = 0; // entries written
    int linked = 0; // movements linked to entries typed by hand
    int refused = 0;
    int alreadyImported = 0; // found imported by another user meanwhile
};

// Books every bookable movement as one entry on its own date (the bank on one side, the
// counterpart on the other, the movement's description), through the journal gate, each
// checked and numbered in the fiscal year of its date, in date order, with its fingerprint;
// links every linkable one to its entry; keeps the statements and every movement of them for
// the bank reconciliation; all in one transaction. A movement the gate refuses (a closed year, a
// printed period) keeps the refusal and is left out; one another user imported meanwhile is
// marked already imported. The bank is kept as the one of the last import.
// Returns nothing with the reason when the archive fails: then nothing is kept.
std::optional<BookingCounts> bookMovements(const Archive &archive, qint64 bank,
                                           const QList<BankStatement> &statements,
                                           QList<ReviewedMovement> &movements, QString *error);

// The entries' current numbers, after a renumbering, into the movements booked or linked.
bool refreshNumbers(const QSqlDatabase &database, QList<ReviewedMovement> &movements,
                    QString *error);
