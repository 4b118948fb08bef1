#pragma once

#include "bankimport/BankStatement.h"
#include "data/BankTables.h"
#include "data/Database.h"

#include <QList>
#include <QString>

#include <optional>

// A user's rule for the counterpart of bank movements: a movement whose description or
// counterparty contains the text (ignoring case), of the sign when one is set (1 money in,
// -1 money out) and from or to the IBAN when one is set, goes to the sub-account. A rule with a
// bank applies to that bank's statements only. The first rule that matches, in the order they
// were made, wins.
struct BankRule {
    qint64 id = 0;
    QString text;
    int sign = 0;
    QString iban;
    qint64 subAccount = 0;
    qint64 bank = 0;               // 0 for every bank
    QString subAccountDescription; // read back, never written

    bool matches(const BankMovement &movement) const;
    // What the rule asks: "contiene 'ENEL', uscite, solo banca 99".
    QString condition() const;
    // Why a movement got its counterpart: "regola: contiene 'ENEL'".
    QString reason() const;
};

std::optional<QList<BankRule>> bankRules(const QSqlDatabase &database, QString *error);
// Adds a rule (id 0) or changes one; on success the rule carries its id. A rule without text and
// without IBAN, naming no sub-account, or sending a bank's movements to the bank itself, is
// refused with an Italian message.
bool saveBankRule(const Connection &connection, BankRule &rule, QString *error);
bool removeBankRule(const Connection &connection, qint64 id, QString *error);
