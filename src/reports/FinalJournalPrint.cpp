#include "reports/FinalJournalPrint.h"

#include "data/Failure.h"
#include "data/OutputFile.h"
#include "data/PatternFormatter.h"
#include "data/Renumbering.h"
#include "data/SqlText.h"
#include "reportengine/ReportExport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString shown(const QDate &date)
{
    return PatternFormatter().format(date, u"dd/mm/yyyy");
}

} // namespace

std::optional<QDate> lastEntryDate(const QSqlDatabase &database, const FiscalYear &year,
                                   QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT MAX(data) FROM regmain WHERE data BETWEEN ? AND ?"_s,
                {isoDate(year.start), isoDate(year.end)}, error) ||
        !query.next())
        return std::nullopt;
    return dateFromIso(query.value(0).toString());
}

std::optional<FinalJournalPrint> prepareFinalPrint(const Connection &connection,
                                                   const FiscalYear &year, const QDate &dateTo,
                                                   const OrganisationLines &organisation,
                                                   QString *error)
{
    const QSqlDatabase database = connection.database();
    FinalJournalPrint run;
    run.year = year;
    const std::optional<FinalPrintStart> start = nextFinalPrint(database, year, error);
    if (!start)
        return std::nullopt;
    run.start = *start;
    run.dateTo = dateTo;
    if (start->dateFrom > year.end)
        return failWithNothing(error,
                               u"Il libro giornale dell'esercizio è già stampato in definitiva "
                               u"fino all'ultimo giorno."_s);
    if (!run.dateTo.isValid()) {
        const std::optional<QDate> last = lastEntryDate(database, year, error);
        if (!last)
            return std::nullopt;
        if (!last->isValid() || *last < start->dateFrom)
            return failWithNothing(error,
                                   u"Nessuna registrazione da stampare in definitiva dal %1."_s.arg(
                                       shown(start->dateFrom)));
        run.dateTo = *last;
    }
    if (!run.dateTo.isValid() || run.dateTo < start->dateFrom || run.dateTo > year.end)
        return failWithNothing(error,
                               u"La stampa definitiva deve terminare tra il %1 e il %2."_s.arg(
                                   shown(start->dateFrom), shown(year.end)));
    const std::optional<PeriodTotals> totals =
        periodTotals(database, start->dateFrom, run.dateTo, error);
    if (!totals)
        return std::nullopt;
    if (totals->rows == 0)
        return failWithNothing(
            error, u"Nessuna registrazione da stampare in definitiva dal %1 al %2."_s.arg(
                       shown(start->dateFrom), shown(run.dateTo)));
    const std::optional<bool> misnumbered =
        numberingBroken(connection, year.start, run.dateTo, error);
    if (!misnumbered)
        return std::nullopt;
    if (*misnumbered)
        return failWithNothing(error,
                               u"I progressivi non sono allineati: effettuare un ricalcolo prima "
                               u"della stampa definitiva."_s);
    run.totals = *totals;

    JournalBookOptions &options = run.options;
    options.dateFrom = start->dateFrom;
    options.dateTo = run.dateTo;
    options.firstSheet = start->firstSheet;
    options.firstPage = start->firstPage;
    options.final = true;
    options.firstRow = start->firstRow;
    options.carries = start->continues;
    options.carriedDebit = start->carriedDebit;
    options.carriedCredit = start->carriedCredit;
    options.yearLabel = journalYearLabel(year.start, year.end);
    options.organisation = organisation;
    return run;
}

std::optional<LaidOutFinalPrint> layOutFinalPrint(const Connection &connection,
                                                  const FiscalYear &year, const QDate &dateTo,
                                                  bool showCodes, QString *error,
                                                  const LayoutProgressCallback &progress)
{
    const ReadSnapshot snapshot(connection);
    if (!snapshot.isActive())
        return failWithNothing(error, snapshot.errorText());
    const std::optional<OrganisationLines> organisation =
        readOrganisation(connection.database(), error);
    if (!organisation)
        return std::nullopt;
    std::optional<FinalJournalPrint> run =
        prepareFinalPrint(connection, year, dateTo, *organisation, error);
    if (!run)
        return std::nullopt;
    run->options.showCodes = showCodes;
    LaidOutFinalPrint laidOut{*run, {}};
    if (!layOutJournalBook(connection.database(), run->options, &laidOut.document, error, progress))
        return std::nullopt;
    return laidOut;
}

QString fileSha256(const QString &path, QString *error)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        *error = u"Impossibile leggere il file \"%1\": %2"_s.arg(path, file.errorString());
        return {};
    }
    return QString::fromLatin1(hash.result().toHex());
}

QString documentSha256(const ReportDocument &document)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int page = 0; page < document.pageCount(); ++page)
        hash.addData(document.toText(page).toUtf8());
    return QString::fromLatin1(hash.result().toHex());
}

std::optional<FinalPrint> recordFinalJournal(const Archive &archive, const FinalJournalPrint &run,
                                             const ReportDocument &document, const QString &hash,
                                             const QString &file, QString *error)
{
    FinalPrint print =
        finalPrintOf(run.year, run.start, run.dateTo, run.totals, document.pageCount(), hash);
    print.file = file;
    if (!recordFinalPrint(archive, print, run.totals.fingerprint, error))
        return std::nullopt;
    return print;
}

std::optional<FinalPrint> writeFinalJournalPdf(const Archive &archive, const FinalJournalPrint &run,
                                               const ReportDocument &document,
                                               const QString &fileName, QString *error)
{
    if (const QString problem = outputTargetProblem(fileName); !problem.isEmpty())
        return failWithNothing(error, problem);
    // The book takes its name only once recorded: until then any file already there (the
    // previous legal print, perhaps) stays as it is.
    const QString part = fileName + u".part"_s;
    if (!exportPdf(document, part, error))
        return std::nullopt;
    const QString hash = fileSha256(part, error);
    const std::optional<FinalPrint> recorded =
        hash.isEmpty() ? std::nullopt
                       : recordFinalJournal(archive, run, document, hash,
                                            QFileInfo(fileName).absoluteFilePath(), error);
    if (!recorded) {
        QFile::remove(part);
        return std::nullopt;
    }
    if (!replaceFile(part, fileName, error)) {
        *error = u"La stampa definitiva è registrata, ma il file non ha potuto prendere il nome "
                 u"%1: il PDF è %2. %3"_s.arg(QDir::toNativeSeparators(fileName),
                                              QDir::toNativeSeparators(part), *error);
        return std::nullopt;
    }
    return recorded;
}

QStringList completeFinalPrintFiles(const QSqlDatabase &database, QString *error)
{
    QStringList completed;
    const std::optional<QList<FinalPrint>> prints = finalPrintsOf(database, FiscalYear(), error);
    for (const FinalPrint &print : prints.value_or(QList<FinalPrint>())) {
        const QString part = print.file + u".part"_s;
        if (print.file.isEmpty() || !QFileInfo::exists(part))
            continue;
        QString failure;
        if (fileSha256(part, &failure) == print.hash &&
            fileSha256(print.file, &failure) != print.hash &&
            replaceFile(part, print.file, &failure))
            completed.append(print.file);
        else
            QFile::remove(part);
    }
    return completed;
}
