#pragma once

#include "data/Money.h"
#include "statements/Placeholders.h"

#include <QDate>
#include <QHash>
#include <QSqlDatabase>
#include <QString>

// The balances a template may ask for: the sum of saldo2 (the balance on each nature's own
// side) per account code and per ledger code, and per account code the debit and the credit
// balances of its sub-accounts apart, for the current and the previous fiscal year.
// Closing entries are never counted, so a closed year shows its balances before closing. A year
// without opening entries starts from what the years before bring forward.
class BalanceTables {
public:
    struct Period {
        QDate start;
        QDate end;
    };

    // Reads the four tables with one pass per year. Returns false with the engine's text in
    // *error; the tables are then empty.
    bool read(const QSqlDatabase &db, const Period &current, const Period &previous,
              QString *error = nullptr);

    // The figures of the cash-basis statement of one year, by id.
    void setCashFigures(Placeholder::Period period, QHash<QString, Money> figures);

    // The balance or figure a placeholder names; 0 for a code without movements or unknown.
    Money value(const Placeholder &placeholder) const;

    // Whether either year's balance-sheet figures come from a year before it not yet closed.
    bool previousYearOpen() const { return m_previousYearOpen; }

private:
    using Table = QHash<QString, Money>;
    Table &table(Placeholder::Period period, Placeholder::Level level);
    const Table &table(Placeholder::Period period, Placeholder::Level level) const;
    bool readPeriod(const QSqlDatabase &db, const Period &period, Placeholder::Period which,
                    QString *error);

    Table m_tables[2][5];
    bool m_previousYearOpen = false;
};
