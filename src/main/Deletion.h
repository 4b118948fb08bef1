#pragma once

#include "data/Database.h"
#include "main/MainViews.h"

#include <QString>

#include <optional>

// The rules of the main window's delete command for the record of one view: a journal entry
// (with its rows, by the archive's cascade) in "Schede" and "Movimenti", a ledger, an account
// or a sub-account in the chart views. A chart record is deleted only when nothing one level
// down refers to it. Every database step carries a number that the error message names.
class Deletion {
public:
    Deletion(const Archive &archive, MainView view);

    bool deletesEntries() const;
    // The Yes/No question before deleting.
    QString question() const;
    // The message when something refers to the record; empty for journal entries.
    QString refusal() const;

    // Whether something refers to the record: the ledger's accounts, the account's
    // sub-accounts, entry rows of any year naming the sub-account. Always false for entries.
    // Nothing when the archive cannot be read; failureText() then tells why.
    std::optional<bool> hasDependents(qint64 id);
    // Deletes the record on a connection of its own, in one transaction; an entry only while it
    // is still the version given (when given). At the first failing step the transaction is
    // rolled back and false returned; failureText() tells why.
    bool remove(qint64 id, std::optional<qint64> version = std::nullopt);

    // Whether the last failure was a rule's refusal (an entry printed in definitiva...), not a
    // failure of the database.
    bool wasRefused() const;
    // The refusal's own sentence; for a failure of the database "what failed, advice, engine
    // text\nin tovrin3.frmMain.Elimina linea N".
    QString failureText() const;

private:
    bool fail(int step, const QString &error);
    bool removeRecord(const Connection &connection, qint64 id, std::optional<qint64> version,
                      QString *error);

    Archive m_archive;
    MainView m_view;
    int m_failedStep = 0;
    QString m_error;
    bool m_refused = false;
};
