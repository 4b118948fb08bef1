#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// A cell of a spreadsheet template that asks for a balance: "{{", a period letter ("C" current
// year, "P" previous year), a 6-character account code or a 3-character ledger code, "}}"; or
// for a figure of the cash-basis statement: the period letter, ":" and the figure's id of one to
// eight capital letters and digits ("{{C:UA1}}"). An account code followed by "+" asks for the
// debit balances of its sub-accounts only, "-" for their credit balances as a positive amount
// ("{{C170010-}}": the bank overdrafts, never netted with the other banks' deposits).
struct Placeholder {
    enum class Period { Current, Previous };
    enum class Level { Account, Ledger, CashFigure, AccountDebits, AccountCredits };

    Period period = Period::Current;
    Level level = Level::Account;
    QString code;
};

// The placeholder a cell's text names, or nothing. The match is exact and case-sensitive:
// "{{C123456}}" and "{{P123}}" are placeholders; "{{C12345}}", "{{c123456}}", "{{X123456}}" and
// " {{C123456}}" are not; "{{P:EA10}}" is a cash figure; "{{C170010+}}" the debit balances.
std::optional<Placeholder> parsePlaceholder(QStringView text);

// The period letter followed by the code ("C123456", "P:UA1", "C170010-") for a placeholder,
// else the empty text.
QString placeholderKey(QStringView text);
