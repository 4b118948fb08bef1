#include "data/EngineErrors.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace {

// The sentence that names each kind, in the order of EngineFault; none is part of another.
const std::array<QString, 9> &headlines()
{
    static const std::array<QString, 9> sentences{
        u"L'archivio è in uso da un altro utente. Riprovare tra qualche istante."_s,
        u"L'archivio è in sola lettura."_s,
        u"Il disco non risponde o è pieno."_s,
        u"Il server dell'archivio non risponde o non accetta l'accesso."_s,
        u"L'utente del server non ha i permessi per questa operazione."_s,
        u"L'archivio ha rifiutato dati non coerenti con le sue regole."_s,
        u"L'archivio è danneggiato."_s,
        u"L'archivio non ha le tabelle attese dal programma."_s,
        u"Errore del database."_s,
    };
    return sentences;
}

const QString &headline(EngineFault fault)
{
    return headlines()[size_t(fault)];
}

QString whatToDo(EngineFault fault)
{
    switch (fault) {
    case EngineFault::Busy:
        return {};
    case EngineFault::ReadOnly:
        return u"Controllare i permessi della cartella della contabilità e del file "
               u"contab.mdb."_s;
    case EngineFault::Disk:
        return u"Controllare lo spazio libero e che la cartella della contabilità sia "
               u"raggiungibile, poi riprovare."_s;
    case EngineFault::Unreachable:
        return u"Controllare che sia raggiungibile e in funzione e che utente e password (file "
               u"~/.pgpass) siano giusti, poi riprovare."_s;
    case EngineFault::Permission:
        return u"Le modifiche alla struttura dell'archivio e la riparazione (tovrin3-cli check "
               u"--repair) vanno eseguite con l'utente proprietario del database."_s;
    case EngineFault::Constraint:
        return u"Nulla è stato salvato: controllare i dati e riprovare."_s;
    case EngineFault::Damaged:
        return u"Ripristinare una copia di sicurezza della contabilità."_s;
    case EngineFault::Structure:
        return u"Aprire una contabilità creata dal programma o ripristinare una copia di "
               u"sicurezza."_s;
    case EngineFault::Other:
        break;
    }
    return u"Riprovare; se l'errore si ripete, controllare l'archivio."_s;
}

// The Italian sentences that tell the user what happened and what to do about it.
QString faultAdvice(EngineFault fault)
{
    const QString next = whatToDo(fault);
    return next.isEmpty() ? headline(fault) : headline(fault) + u' ' + next;
}

} // namespace

EngineFault sqliteFault(int resultCode)
{
    switch (resultCode & 0xff) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return EngineFault::Busy;
    case 8: // SQLITE_READONLY
        return EngineFault::ReadOnly;
    case 7:  // SQLITE_NOMEM
    case 10: // SQLITE_IOERR
    case 13: // SQLITE_FULL
    case 14: // SQLITE_CANTOPEN
    case 15: // SQLITE_PROTOCOL
        return EngineFault::Disk;
    case 3:  // SQLITE_PERM
    case 23: // SQLITE_AUTH
        return EngineFault::Permission;
    case 19: // SQLITE_CONSTRAINT
        return EngineFault::Constraint;
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return EngineFault::Damaged;
    default:
        return EngineFault::Other;
    }
}

EngineFault serverFault(const QString &sqlState)
{
    if (sqlState.isEmpty())
        return EngineFault::Unreachable;
    // lock_not_available, deadlock_detected, serialization_failure
    if (sqlState == u"55P03"_s || sqlState == u"40P01"_s || sqlState == u"40001"_s)
        return EngineFault::Busy;
    if (sqlState == u"25006"_s) // read_only_sql_transaction
        return EngineFault::ReadOnly;
    if (sqlState == u"42501"_s) // insufficient_privilege
        return EngineFault::Permission;
    if (sqlState == u"42P01"_s || sqlState == u"42703"_s) // undefined table, column
        return EngineFault::Structure;
    if (sqlState == u"XX001"_s || sqlState == u"XX002"_s) // data or index corrupted
        return EngineFault::Damaged;
    const QStringView family = QStringView(sqlState).left(2);
    // connection exceptions, invalid login, a missing database, a server shutting down,
    // starting or restarting (57P01-57P03)
    if (family == u"08" || family == u"28" || family == u"3D" || sqlState.startsWith(u"57P"))
        return EngineFault::Unreachable;
    if (family == u"23")
        return EngineFault::Constraint;
    if (family == u"53") // insufficient resources: disk full, out of memory
        return EngineFault::Disk;
    return EngineFault::Other;
}

QString engineFailureText(EngineFault fault, const QString &words)
{
    return headline(fault) + u'\n' + words;
}

QString engineWords(const QString &text)
{
    for (const QString &sentence : headlines())
        if (text.startsWith(sentence + u'\n'))
            return text.mid(sentence.size() + 1);
    return text;
}

EngineFault engineFault(const QString &text)
{
    for (size_t kind = 0; kind < headlines().size(); ++kind)
        if (text.contains(headlines()[kind]))
            return EngineFault(kind);
    return EngineFault::Other;
}

bool isEngineText(const QString &text)
{
    return std::any_of(headlines().cbegin(), headlines().cend(),
                       [&](const QString &sentence) { return text.contains(sentence); });
}

QString failureMessage(const QString &whatFailed, const QString &engineText)
{
    return whatFailed + u' ' + faultAdvice(engineFault(engineText)) + u"\n\n"_s +
           engineWords(engineText);
}
