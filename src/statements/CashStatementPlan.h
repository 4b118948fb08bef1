#pragma once

#include <QString>

#include <vector>

// The lines of the cash-basis statement of third-sector bodies (rendiconto per cassa, Mod. D)
// and what a movement on each account of the third-sector chart means for cash. The codes are
// the chart's; MAPPING.md lists them with the reasons.

struct CashStatementRow {
    enum class Kind { Heading, Line, Total };
    Kind kind = Kind::Line;
    QString id; // empty for a heading
    QString caption;
    QString formula; // a total's terms: "UA1 + UA2", "EA - UA"
};

// Every row of the statement in printed order, the closing cash and bank lines included.
const std::vector<CashStatementRow> &cashStatementRows();

// Where a receipt or a payment goes, by row index in cashStatementRows(); -1 for none. A payment
// goes to the payment line, else reduces the receipt line; a receipt goes to the receipt line,
// else reduces the payment line; with neither it is not classified.
struct CashTarget {
    int payment = -1;
    int receipt = -1;
    bool operator==(const CashTarget &) const = default;
};

// What the other side of a cash movement is.
enum class CashRoleKind {
    Unclassified, // no line takes it (non-cash costs, memorandum, opening and closing accounts)
    Direct,       // a cost, revenue, fixed asset, loan or fund: its own line
    Traced,       // a receivable or payable: the entries that booked it say the line
};

struct CashRole {
    CashRoleKind kind = CashRoleKind::Unclassified;
    CashTarget target; // the line of a direct account; a traced account's line when untraceable
};

// The role of an account by its code, else by its ledger's code.
CashRole cashRoleOf(const QString &accountCode, const QString &ledgerCode);

// The row index of an id; -1 when unknown.
int cashStatementRowIndex(const QString &id);

// Accounts whose balance is cash in hand ("Cassa") rather than at the bank, among those flagged
// as cash and bank.
bool isCashInHand(const QString &accountCode);
