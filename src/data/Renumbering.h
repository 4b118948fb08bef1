#pragma once

#include "data/Database.h"
#include "data/JournalGate.h"

#include <QDate>
#include <QObject>
#include <QString>

#include <optional>

// Entry numbers: within a fiscal year the entries ordered by date and id carry 1, 2, 3 ...
// without gaps. Headers without rows (orphans) are removed before any renumbering.

// True when the entries dated first..last (both included) break the numbering rule.
// A database failure gives false and the engine's text in *error.
bool numberingBroken(const Archive &archive, const QDate &first, const QDate &last,
                     QString *error = nullptr);
// The same on a connection the caller holds; a failure gives nothing.
std::optional<bool> numberingBroken(const Connection &connection, const QDate &first,
                                    const QDate &last, QString *error);

// After a copy of the archive into its backup folder, removes every header without rows (through
// the journal gate), then numbers the entries of each year in the order given, all in one write
// transaction on the archive. On failure nothing
// changes and *error holds the reason. With no year it only removes the headers without rows.
bool renumber(const Archive &archive, const QList<FiscalYear> &years, QString *error = nullptr);

// The renumbering of the current fiscal year, the previous one, or both, with the removal of
// orphan headers, in one transaction: on any error nothing changes and failed() is emitted.
class Renumbering : public QObject {
    Q_OBJECT

public:
    enum Period { Current = 0, Previous = 1, Both = 2 };

    // The bounds of the current fiscal year; the previous one is the fiscal year that ends the
    // day before it starts.
    Renumbering(const Archive &archive, const QDate &yearStart, const QDate &yearEnd,
                QObject *parent = nullptr);

    // Runs once; emits done() on success or failed() with the engine's text. Returns success.
    bool run(int period);

signals:
    void done();
    void failed(const QString &error);

private:
    Archive m_archive;
    QDate m_yearStart;
    QDate m_yearEnd;
};
