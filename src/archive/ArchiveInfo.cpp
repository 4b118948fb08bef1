#include "archive/ArchiveInfo.h"

#include "data/ArchiveStartup.h"
#include "data/Database.h"
#include "data/EngineErrors.h"
#include "data/Parameters.h"
#include "data/SqlText.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

// The one-line message of a failed read.
QString readFailure(const QString &engineText)
{
    return failureMessage(u"Impossibile leggere l'archivio."_s, engineText).replace(u'\n', u' ');
}

const QStringList CountedTables = {u"mastri"_s, u"conti"_s, u"sottoconti"_s, u"regmain"_s,
                                   u"regdet"_s};

} // namespace

QJsonObject ArchiveInfo::toJson() const
{
    QJsonObject tables;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        tables.insert(it.key(), it.value());
    return QJsonObject{
        {u"aMajor"_s, aMajor},
        {u"aMinor"_s, aMinor},
        {u"StartMonth"_s, startMonth},
        {u"EseDate1"_s, isoDate(eseDate1)},
        {u"EseDate2"_s, isoDate(eseDate2)},
        {u"EseDate1Prev"_s, isoDate(eseDate1Prev)},
        {u"EseDate2Prev"_s, isoDate(eseDate2Prev)},
        {u"EsercizioString"_s, esercizioString},
        {u"LastRegDate"_s, lastRegDate},
        {u"dati"_s, location},
        {u"counts"_s, tables},
    };
}

QStringList ArchiveInfo::toLines() const
{
    const auto day = [](const QDate &d) { return d.toString(u"dd/MM/yyyy"_s); };
    return {
        u"Versione dell'archivio: %1.%2"_s.arg(aMajor).arg(aMinor),
        u"Mese di inizio degli esercizi: %1"_s.arg(startMonth),
        u"Esercizio: %1 (dal %2 al %3)"_s.arg(esercizioString, day(eseDate1), day(eseDate2)),
        u"Esercizio precedente: dal %1 al %2"_s.arg(day(eseDate1Prev), day(eseDate2Prev)),
        u"Data ultima registrazione: %1"_s.arg(lastRegDate),
        u"Mastri: %1"_s.arg(counts.value(u"mastri"_s)),
        u"Conti: %1"_s.arg(counts.value(u"conti"_s)),
        u"Sottoconti: %1"_s.arg(counts.value(u"sottoconti"_s)),
        u"Registrazioni: %1"_s.arg(counts.value(u"regmain"_s)),
        u"Righe di registrazione: %1"_s.arg(counts.value(u"regdet"_s)),
        u"Dati: %1"_s.arg(location),
    };
}

std::optional<ArchiveInfo> readArchiveInfo(const QString &dataFolder, const QDate &workingDate,
                                           QString *error)
{
    const QString problem = archiveFolderProblem(dataFolder);
    if (!problem.isEmpty()) {
        *error = QString(problem).replace(u'\n', u' ');
        return std::nullopt;
    }
    const Archive archive(dataFolder);

    ArchiveInfo info;
    FiscalEnvironment environment(archive);
    environment.setWorkingDate(workingDate);
    QString failure;
    if (!environment.refresh(&failure)) {
        *error = readFailure(failure);
        return std::nullopt;
    }
    info.aMajor =
        readParameter(archive, u"aMajor"_s, ValueType::Integer, Storage::InArchive, -1, &failure)
            .toInt();
    info.aMinor =
        readParameter(archive, u"aMinor"_s, ValueType::Integer, Storage::InArchive, -1, &failure)
            .toInt();
    info.startMonth =
        readParameter(archive, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 1, &failure)
            .toInt();
    info.eseDate1 = environment.yearStart();
    info.eseDate2 = environment.yearEnd();
    info.eseDate1Prev = environment.previousYearStart();
    info.eseDate2Prev = environment.previousYearEnd();
    info.esercizioString = environment.yearLabel();
    info.location = Archive(dataFolder).location();
    info.lastRegDate = environment.lastEntryDateText(&failure);

    Connection connection(archive, Connection::Mode::ReadOnly);
    QSqlQuery query = connection.query();
    for (const QString &table : CountedTables) {
        // Table names are program constants, never user text.
        if (!runSql(query, u"SELECT COUNT(*) FROM "_s + table, {}, &failure) || !query.next())
            break;
        info.counts.insert(table, query.value(0).toLongLong());
    }
    if (!failure.isEmpty()) {
        *error = readFailure(failure);
        return std::nullopt;
    }
    return info;
}
