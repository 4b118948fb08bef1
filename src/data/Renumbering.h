#pragma once

#include "data/Database.h"

#include <QDate>
#include <QObject>
#include <QString>

// Entry numbers: within a fiscal year the entries ordered by date and id carry 1, 2, 3 ...
// without gaps. Headers without rows (orphans) are removed before any renumbering.

// True when the entries dated first..last (both included) break the numbering rule.
// A database failure gives false and the engine's text in *error.
bool ProgressiviDisallineati(const Archive &archive, const QDate &first, const QDate &last,
                             QString *error = nullptr);

// Deletes every header without rows, whatever its date, on the given connection.
bool deleteOrphanHeaders(const Connection &connection, QString *error);
// Numbers the entries dated first..last 1, 2, 3 ... in (date, id) order on the connection.
bool renumberEntries(const Connection &connection, const QDate &first, const QDate &last,
                     QString *error);

// The renumbering of the current fiscal year, the previous one, or both, with the removal of
// orphan headers, in one transaction: on any error nothing changes and failed() is emitted.
class clsRicalcolo : public QObject {
    Q_OBJECT

public:
    enum Periodo { Corrente = 0, Precedente = 1, Entrambi = 2 };

    // The bounds of the current fiscal year; the previous one is a calendar year earlier.
    clsRicalcolo(const Archive &archive, const QDate &eseDate1, const QDate &eseDate2,
                 QObject *parent = nullptr);

    // Runs once; emits done() on success or failed() with the engine's text. Returns success.
    bool esegui(int periodo);

signals:
    void done();
    void failed(const QString &error);

private:
    Archive m_archive;
    QDate m_eseDate1;
    QDate m_eseDate2;
};
