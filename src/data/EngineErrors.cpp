#include "data/EngineErrors.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

bool mentions(const QString &text, const QStringList &phrases)
{
    for (const QString &phrase : phrases)
        if (text.contains(phrase, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

EngineFault engineFault(const QString &engineText)
{
    if (mentions(engineText, {u"database is locked"_s, u"table is locked"_s, u"busy"_s,
                              u"lock timeout"_s, u"deadlock detected"_s}))
        return EngineFault::Busy;
    if (mentions(engineText, {u"could not connect"_s, u"connection refused"_s,
                              u"password authentication failed"_s, u"no password supplied"_s,
                              u"could not translate host name"_s, u"timeout expired"_s,
                              u"server closed the connection"_s, u"no pg_hba.conf entry"_s,
                              u"does not exist\nQPSQL: Unable to connect"_s}))
        return EngineFault::Unreachable;
    if (mentions(engineText, {u"readonly"_s, u"read-only"_s, u"read only"_s}))
        return EngineFault::ReadOnly;
    if (mentions(engineText, {u"malformed"_s, u"not a database"_s, u"encrypted"_s, u"corrupt"_s}))
        return EngineFault::Damaged;
    if (mentions(engineText, {u"disk i/o"_s, u"disk is full"_s, u"unable to open"_s,
                              u"out of memory"_s, u"cantopen"_s}))
        return EngineFault::Disk;
    if (mentions(engineText, {u"no such table"_s, u"no such column"_s, u"no such view"_s,
                              u"has no column"_s, u"relation \"parametri\" does not exist"_s}))
        return EngineFault::Structure;
    return EngineFault::Other;
}

bool isEngineText(const QString &text)
{
    return engineFault(text) != EngineFault::Other ||
           mentions(text, {u"constraint failed"_s, u"violates"_s, u"sql logic error"_s,
                           u"syntax error"_s, u"unable to"_s, u"parameter count mismatch"_s,
                           u"interrupted"_s, u"datatype mismatch"_s, u"too big"_s,
                           u"driver not loaded"_s, u"error code"_s, u"no such"_s});
}

QString faultAdvice(EngineFault fault)
{
    switch (fault) {
    case EngineFault::Busy:
        return u"L'archivio è in uso da un altro utente o programma: riprovare fra qualche "
               u"istante."_s;
    case EngineFault::ReadOnly:
        return u"L'archivio è in sola lettura: controllare i permessi della cartella della "
               u"contabilità e del file contab.mdb."_s;
    case EngineFault::Disk:
        return u"Il disco non risponde o è pieno: controllare lo spazio libero e che la cartella "
               u"della contabilità sia raggiungibile, poi riprovare."_s;
    case EngineFault::Unreachable:
        return u"Il server dell'archivio non risponde o non accetta l'accesso: controllare che "
               u"sia raggiungibile e che utente e password (file ~/.pgpass) siano giusti."_s;
    case EngineFault::Damaged:
        return u"L'archivio è danneggiato: ripristinare una copia di sicurezza della "
               u"contabilità."_s;
    case EngineFault::Structure:
        return u"L'archivio non ha le tabelle attese dal programma: aprire una contabilità creata "
               u"dal programma o ripristinare una copia di sicurezza."_s;
    case EngineFault::Other:
        break;
    }
    return u"Riprovare; se l'errore si ripete, controllare l'archivio."_s;
}

QString lockedArchiveExplanation()
{
    return u"L'archivio è in uso da un altro utente. Riprovare tra qualche istante.\n"_s;
}

QString failureMessage(const QString &whatFailed, const QString &engineText)
{
    // The advice says it already: the explanation is not told twice.
    QString detail = engineText;
    if (detail.startsWith(lockedArchiveExplanation()))
        detail.remove(0, lockedArchiveExplanation().size());
    return whatFailed + u' ' + faultAdvice(engineFault(engineText)) + u"\n\n"_s + detail;
}
