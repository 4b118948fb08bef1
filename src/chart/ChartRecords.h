#pragma once

#include "data/Database.h"

#include <QString>

#include <optional>

// The records of the three levels of the chart of accounts as their editors handle them, with
// the rules on codes and the reads and writes the editors make. Every function opens its own
// connection to the open archive.

// A code as it is stored: without surrounding blanks, in upper case (ab1 gives AB1).
QString normalisedCode(const QString &typed);
// True when the text without surrounding blanks has exactly three characters.
bool isThreeCharacterCode(const QString &typed);
// The whole code of an account: the ledger's code followed by the account's own part.
QString accountCode(const QString &ledgerCode, const QString &ownPart);

// The size a text column of the archive declares (VARCHAR(n)); fallback when it declares none
// or cannot be read.
int columnSize(const Archive &archive, const QString &table, const QString &column, int fallback);

struct Mastro {
    qint64 id = 0; // 0 for a ledger not yet saved
    QString prefisso;
    QString descrizione;
    int tipo = 1;   // assets unless chosen otherwise
    QString gruppo; // empty is stored as null
};

struct Conto {
    qint64 id = 0;
    qint64 idMastro = 0;
    QString prefisso; // the whole 6-character code
    QString descrizione;
    bool bilancio = false;
    bool liquidita = false; // its sub-accounts are cash or bank ("Disponibilità liquide")
};

struct Sottoconto {
    qint64 id = 0;
    qint64 idConto = 0;
    QString descrizione;
    QString note;
    QString iban; // of a bank account: picks its statement out of a file with several
};

// A record read by id; nothing when it does not exist or the archive cannot be read (then the
// engine's text is in *error).
std::optional<Mastro> loadMastro(const Archive &archive, qint64 id, QString *error = nullptr);
std::optional<Conto> loadConto(const Archive &archive, qint64 id, QString *error = nullptr);
std::optional<Sottoconto> loadSottoconto(const Archive &archive, qint64 id,
                                         QString *error = nullptr);

// Whether another ledger than exceptId already has the code, or the description; nothing when
// the archive cannot be read (the engine's text in *error).
std::optional<bool> mastroCodeInUse(const Archive &archive, const QString &code, qint64 exceptId,
                                    QString *error = nullptr);
std::optional<bool> mastroDescriptionInUse(const Archive &archive, const QString &descrizione,
                                           QString *error = nullptr);

// Descriptions and codes of records by id; empty when missing or unreadable.
QString descrizioneMastro(const Archive &archive, qint64 id);
QString prefissoMastro(const Archive &archive, qint64 id);
QString descrizioneConto(const Archive &archive, qint64 id);

// What a save did: the id of the record written, or nothing written with the reason.
struct ChartSave {
    qint64 id = 0;              // the saved record's id; 0 when nothing was written
    bool duplicateCode = false; // the archive refused a code that another record holds
    QString error;              // the engine's text when nothing was written
    bool saved() const { return id > 0; }
};

// Inserts the record when its id is 0, else updates it, in one transaction that is rolled back
// when the archive refuses the write.
ChartSave saveMastro(const Archive &archive, const Mastro &mastro);
ChartSave saveConto(const Archive &archive, const Conto &conto);
ChartSave saveSottoconto(const Archive &archive, const Sottoconto &sottoconto);
