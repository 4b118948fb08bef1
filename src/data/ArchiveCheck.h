#pragma once

#include "data/Database.h"
#include "data/Schema.h"

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A row whose reference points at nothing.
struct ForeignKeyProblem {
    QString table;
    qint64 rowid = 0;
    QString parent;
};

// A stored value that breaks a rule of the archive's tables (possible when the file was
// edited by another tool).
struct InvalidValue {
    QString table;
    qint64 id = 0;
    QString column;
    QVariant value;
};

// A month of a sub-account whose kept totals differ from the sum of its entry rows.
struct MonthlyTotalDrift {
    qint64 subAccountId = 0;
    QString month; // "2024-03"
    int entryType = 0;
};

// A fiscal year of the archive, as its closing left it.
struct FiscalYearCheck {
    QDate dal;
    QDate al;
    bool closed = false; // it holds closing entries
    // Ordinary entries of a closed year written after its closing entries or dated after them.
    QList<qint64> afterClosing;
    // Balance-sheet sub-accounts whose opening in the next year differs from the balance the
    // closing found (the result carried to its sub-account aside).
    QList<qint64> openingMismatch;

    bool sound() const { return afterClosing.isEmpty() && openingMismatch.isEmpty(); }
};

// What a check of an archive found for one fiscal year, and for every year the closing state.
struct ArchiveCheck {
    bool progressiviAllineati = true;
    QStringList integrity; // the engine's findings; empty when it reports "ok"
    QList<ForeignKeyProblem> foreignKeys;
    QList<qint64> unbalanced;  // entries of the year whose debits and credits differ
    QList<qint64> withoutRows; // entries of the year without rows
    QList<InvalidValue> invalidValues;
    QList<MonthlyTotalDrift> monthlyTotals; // over the whole file
    QList<SchemaObject> foreignObjects;     // triggers, views, indexes not the program's
    // A server keeps its files sound and always enforces references itself: there the check
    // does not ask again, and says so.
    bool fileChecked = true;
    QList<SchemaObject> toleratedObjects; // a server administrator's indexes and extensions
    QList<FiscalYearCheck> fiscalYears;   // every year from the first entry to the last

    bool sound() const;
    QJsonObject toJson() const;
    // The findings in Italian, one line each; empty for a sound archive.
    QStringList problemLines() const;
};

// Checks the archive, only reading: the engine's integrity and references and the kept monthly
// totals for the whole file, the numbering, balance and rows of the entries dated first..last, the
// values of every table against the tables' rules, and the closing of every fiscal year. A failure
// of the engine gives nothing and its text in *error.
std::optional<ArchiveCheck> checkArchive(const Archive &archive, const QDate &first,
                                         const QDate &last, QString *error);

// Mends what another tool can break without damaging the file: drops the triggers, views and
// indexes the program did not create, recreates its own that are missing and rebuilds the
// monthly totals from the entries, in one transaction, after a copy of the archive into its
// backup folder (whose path goes into *backup). False with the reason in *error: nothing
// changed.
bool repairArchive(const Archive &archive, QString *backup, QString *error);
