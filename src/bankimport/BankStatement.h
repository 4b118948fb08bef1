#pragma once

#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// One movement of a bank statement. The amount is positive for money in (a credit on the bank
// account), negative for money out.
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

struct BankStatement {
    QList<BankMovement> movements;
    std::optional<StatementBalance> opening;
    std::optional<StatementBalance> closing;
};

enum class StatementFormat { Camt053, Csv };
