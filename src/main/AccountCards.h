#pragma once

#include "data/GridColumn.h"
#include "data/Money.h"
#include "data/RowSet.h"

#include <vector>

// The account cards of a fiscal year: the lines of the account-card statement (all of them, or
// those a search keeps) grouped by nature, account and sub-account, each with its running
// balance. A sub-account's lines come newest first, so a line's balance is its own signed
// amount plus those of every older line of the same sub-account. Runs and groups follow the
// sub-account's id: two sub-accounts with the same name never share a balance.
class AccountCards {
public:
    // The card table's columns, in the grid's order.
    enum Column {
        Natura,
        DescrizioneMastro, // the account's description
        DescrizioneConto,  // the sub-account's description
        Prog,
        Dare,
        Avere,
        Saldo, // running balance
        Contropartita,
        Descrizione,
        IdReg,
        ColumnCount
    };
    // Group levels: nature, account, sub-account.
    static constexpr int Levels = 3;

    // Takes the account-card result set and puts its rows in card order: natures 1 to 4 then
    // memorandum accounts, accounts and sub-accounts by name (ignoring case) and then by id,
    // and within a sub-account the newest entry first. The result set must outlive the cards.
    void setRows(const RowSet &rows);
    // Builds the cards over these rows of the result set (all of them, or those a search
    // kept), computing every running balance in one backward pass.
    void build(const QList<int> &resultRows);

    int lineCount() const { return int(m_lines.size()); }
    QVariant value(int line, int column) const;
    // An amount column's value (Dare, Avere, Saldo) in cents.
    qint64 amount(int line, int column) const;
    int nature(int line) const;
    qint64 subAccountId(int line) const;
    // The version of the line's entry when the cards were read.
    qint64 entryVersion(int line) const;
    // The line's amount signed by its nature as its balance is (Natures::saldo).
    Money signedAmount(int line) const;
    // What tells the line's group apart at a level: nature, account id, sub-account id.
    QVariant groupKey(int level, int line) const;
    // "Rosso" for a negative Avere, none otherwise.
    QString cellStyle(int line, int column) const;

    // Group row captions: the nature's card caption and a space; an account or sub-account's
    // name (or "(vuoto)"), a space and the bracketed balance in the formatter's locale.
    static QString groupCaption(int level, const QString &name, Money balance,
                                const PatternFormatter &formatter);
    // The card table's columns with captions, patterns and group totals.
    static QList<GridColumn> columns(const QStringList &natureNames);

private:
    qint64 field(int row, int index) const { return m_rows->value(row, index).toLongLong(); }
    // What the cards ask of a line again and again, read from its row once. The facts are kept
    // in card order, so that grouping and balances read them one after the other.
    struct RowFacts {
        qint64 subAccount;
        qint64 account;
        int nature;
        qint64 dare;
        qint64 avere;
    };
    const RowFacts &facts(int line) const
    {
        return (m_lineFacts.empty() ? m_facts : m_lineFacts)[size_t(line)];
    }

    const RowSet *m_rows = nullptr;
    std::vector<int> m_order;          // every result row, in card order
    std::vector<RowFacts> m_facts;     // of each row of m_order
    std::vector<int> m_lines;          // result row of each line
    std::vector<RowFacts> m_lineFacts; // of each line when a search kept some rows; else none
    std::vector<qint64> m_balances;
    int m_field[ColumnCount] = {};
    int m_accountIdField = -1;
    int m_subAccountIdField = -1;
    int m_rigaField = -1;
    int m_versionField = -1;
};
