#pragma once

#include "data/Database.h"
#include "data/GridColumn.h"
#include "data/RowSet.h"

#include <QString>
#include <QStringList>

// What the chart finders list: ledgers, accounts (both in the chart finder) or sub-accounts.
enum class FinderLevel { Mastri = 0, Conti = 1, Sottoconti = 2 };

// The text between the parts of a finder's second line: two blanks, a bullet, two blanks.
QString finderSeparator();

// How a finder reads and shows its level.
struct FinderDefinition {
    QString caption;          // window title
    QString statement;        // read-only statement, no bound values
    QString previewField;     // the unbound field added to each row: the row's second line
    QStringList searchFields; // fields the search box looks into
    QString statusText;       // fixed key hint of the status bar
};

const FinderDefinition &finderDefinition(FinderLevel level);

// The grid's column table: every field of the row set in order, only the name shown (in bold).
QList<GridColumn> finderColumns(FinderLevel level);

// Runs the level's statement and keeps its rows with the preview field appended: the ledger's
// nature; the ledger and its nature; the account, the ledger and its nature. natureNames are
// indexed by nature code. Returns false with the engine's text in *error, rows left empty.
bool loadFinderRows(const Archive &archive, FinderLevel level, const QStringList &natureNames,
                    RowSet *rows, QString *error = nullptr);

// The names of the five natures as the open archive's parameters hold them, defaults for the
// missing ones.
QStringList archiveNatureNames(const Archive &archive);
