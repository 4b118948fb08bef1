#pragma once

#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One movement of a bank statement. The amount is positive for money in (a credit on the bank
// account), negative for money out, in the account's currency.
struct BankMovement {
    QDate bookingDate;
    QDate valueDate;
    Money amount;
    QString description;
    QString counterparty;
    QString counterpartyIban;
    // The bank's own reference of the movement (camt: AcctSvcrRef, else NtryRef); empty in CSV.
    QString reference;
    // Where the movement stands in the file ("riga 12", "Ntry 3"), for messages.
    QString place;
    // A reversal of an earlier movement (camt: RvslInd).
    bool reversal = false;
    // What the review should know of how it was read: "data dalla valuta", "data dell'estratto".
    QString note;

    // The text it is recognised by in later statements: the description, or the counterparty's
    // name when it has none.
    QString recognisedText() const { return description.isEmpty() ? counterparty : description; }
};

// A balance the statement declares: its amount on a date. closedThatDay tells a balance at the
// end of its date (a closing balance, or camt's previously closed booked balance) from one at
// its start.
struct StatementBalance {
    Money amount;
    QDate date;
    bool closedThatDay = false;
};

// One account's statement: a camt Stmt, or a whole CSV export.
struct BankStatement {
    QString account;  // the account's IBAN or other id; empty when the file does not say
    QString currency; // the account's currency ("EUR"); empty when the file does not say
    QDate from;       // the period, when the file gives it
    QDate to;
    QList<BankMovement> movements;
    // Entries the bank has not booked yet (pending, information only): listed, never booked.
    QList<BankMovement> waiting;
    // What was read differently from the file or left out, one sentence each (a zero amount, a
    // text cut to the length the books keep, rows skipped...).
    QStringList notices;
    std::optional<StatementBalance> opening;
    std::optional<StatementBalance> closing;

    // "IBAN IT60X0542811101000000123456, EUR, dal 01/03/2026 al 31/03/2026".
    QString caption() const;
};

enum class StatementFormat { Camt053, Csv, Xlsx };
