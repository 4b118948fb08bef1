#include "cli/ArchiveCommands.h"

#include "archive/ArchiveRestore.h"
#include "archive/ChartTemplates.h"
#include "archive/NewArchive.h"
#include "cli/CliSupport.h"
#include "data/ArchiveCheck.h"
#include "data/Backup.h"
#include "data/ClosedYears.h"
#include "data/FinalPrints.h"
#include "data/FiscalEnvironment.h"
#include "data/InstanceLock.h"
#include "data/PatternFormatter.h"
#include "data/ProgramFiles.h"
#include "data/Renumbering.h"
#include "data/ServerMigration.h"
#include "data/SqlText.h"
#include "reports/FinalJournalPrint.h"
#include "statements/BalanceJson.h"
#include "yearend/YearEnd.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

std::optional<QList<ChartTemplate>> offeredCharts()
{
    QString error;
    const QList<ChartTemplate> charts =
        loadChartTemplates(QDir(programDataFolder()).filePath(u"pdc.gen"_s), &error);
    if (charts.isEmpty()) {
        reportFailure(u"Impossibile leggere i Piani dei Conti disponibili."_s, error);
        return std::nullopt;
    }
    return charts;
}

// A whole number written in full, within first..last.
std::optional<int> numberIn(const QString &text, int first, int last)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < first || number > last)
        return std::nullopt;
    return number;
}

// What the user asked for, or the reason it is refused.
std::optional<NewArchiveRequest> newArchiveRequest(const QCommandLineParser &parser,
                                                   QString *refusal)
{
    const QString parent = parser.value(u"parent"_s);
    if (parent.isEmpty() || !QFileInfo(parent).isDir()) {
        *refusal =
            u"Cartella di partenza non trovata: \"%1\"."_s.arg(QDir::toNativeSeparators(parent));
        return std::nullopt;
    }
    const QString nome = parser.value(u"name"_s);
    if (const QString problem = archiveNameProblem(nome); !problem.isEmpty()) {
        *refusal = problem;
        return std::nullopt;
    }
    const std::optional<QList<ChartTemplate>> charts = offeredCharts();
    if (!charts)
        return std::nullopt;
    const std::optional<int> chart = numberIn(parser.value(u"chart"_s), 0, int(charts->size()) - 1);
    if (!chart) {
        *refusal = u"Piano dei Conti non valido: \"%1\" (da 0 a %2, vedere tovrin3-cli charts)."_s
                       .arg(parser.value(u"chart"_s))
                       .arg(charts->size() - 1);
        return std::nullopt;
    }
    const std::optional<int> month = numberIn(parser.value(u"start-month"_s), 1, 12);
    if (!month) {
        *refusal = u"Mese di partenza non valido: \"%1\" (da 1 a 12)."_s.arg(
            parser.value(u"start-month"_s));
        return std::nullopt;
    }
    const QString folder = archiveFolderFor(QDir::fromNativeSeparators(parent), nome);
    if (const QString problem = existingFolderRefusal(folder); !problem.isEmpty()) {
        *refusal = problem;
        return std::nullopt;
    }
    NewArchiveRequest request{QDir::fromNativeSeparators(parent), nome, charts->at(*chart), *month,
                              parser.isSet(u"make-current"_s)};
    if (parser.isSet(u"server"_s)) {
        request.server = serverLocationFromUrl(parser.value(u"server"_s), refusal);
        if (!request.server)
            return std::nullopt;
    }
    return request;
}

std::optional<int> periodOf(const QString &text)
{
    if (text == u"current"_s)
        return Renumbering::Current;
    if (text == u"previous"_s)
        return Renumbering::Previous;
    if (text == u"both"_s)
        return Renumbering::Both;
    return std::nullopt;
}

} // namespace

int listCharts()
{
    const std::optional<QList<ChartTemplate>> charts = offeredCharts();
    if (!charts)
        return ExitStatus::DatabaseFailure;
    for (int i = 0; i < charts->size(); ++i)
        printLine(stdout, u"%1\t%2"_s.arg(i).arg(charts->at(i).nome));
    return ExitStatus::Done;
}

int createArchiveCommand(const QCommandLineParser &parser)
{
    QString refusal;
    const std::optional<NewArchiveRequest> request = newArchiveRequest(parser, &refusal);
    if (!request) {
        if (!refusal.isEmpty())
            printLine(stderr, refusal);
        return ExitStatus::ArchiveUnusable;
    }
    InstanceLock lock;
    if (!lock.tryLock())
        return reportLocked();
    QString error;
    if (!createArchive(*request, programDataFolder(), &error))
        return reportFailure(u"Impossibile creare la nuova Contabilità."_s, error);
    printLine(stdout,
              QDir::toNativeSeparators(archiveFolderFor(request->baseFolder, request->nome)));
    return ExitStatus::Done;
}

namespace {

int migrateIn(const QCommandLineParser &parser, const Archive &archive)
{
    QString error;
    if (parser.isSet(u"to-sqlite"_s)) {
        const QString file = QFileInfo(parser.value(u"to-sqlite"_s)).absoluteFilePath();
        if (!migrateToFile(archive, file, programDataFolder(), &error))
            return reportFailure(u"Impossibile copiare l'archivio nel file."_s, error);
        printLine(stdout, QDir::toNativeSeparators(file));
        return ExitStatus::Done;
    }
    const std::optional<ServerLocation> server =
        serverLocationFromUrl(parser.value(u"to"_s), &error);
    if (!server) {
        printLine(stderr, error);
        return ExitStatus::ArchiveUnusable;
    }
    if (!migrateToServer(archive, *server, &error))
        return reportFailure(u"Impossibile copiare l'archivio sul server."_s, error);
    printLine(stdout, server->description());
    return ExitStatus::Done;
}

int checkArchiveIn(const QCommandLineParser &parser, const Archive &archive,
                   FiscalEnvironment &environment)
{
    QString error;
    if (parser.isSet(u"repair"_s)) {
        InstanceLock lock;
        if (!lock.tryLock())
            return reportLocked();
        QString backup;
        if (!repairArchive(archive, &backup, &error))
            return reportFailure(u"Riparazione non eseguita: l'archivio non è stato modificato."_s,
                                 error);
        printLine(stderr, u"Archivio riparato; copia di sicurezza: %1"_s.arg(
                              QDir::toNativeSeparators(backup)));
    }
    const std::optional<ArchiveCheck> check =
        checkArchive(archive, environment.yearStart(), environment.yearEnd(), &error);
    if (!check)
        return reportFailure(u"Impossibile controllare l'archivio."_s, error);
    printLine(stdout,
              QString::fromUtf8(QJsonDocument(check->toJson()).toJson(QJsonDocument::Compact)));
    return check->sound() ? ExitStatus::Done : ExitStatus::Refused;
}

} // namespace

int migrateCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    InstanceLock lock;
    if (const std::optional<int> refused = lockForWriting(lock, *archive))
        return *refused;
    return migrateIn(parser, *archive);
}

int checkArchiveCommand(const QCommandLineParser &parser)
{
    return withEnvironment(parser, checkArchiveIn);
}

int renumberCommand(const QCommandLineParser &parser)
{
    const std::optional<int> period = periodOf(parser.value(u"period"_s));
    if (!period) {
        printLine(stderr, u"Periodo non valido: \"%1\" (current, previous o both)."_s.arg(
                              parser.value(u"period"_s)));
        return ExitStatus::Refused;
    }
    return withEnvironment(parser, [period = *period](const QCommandLineParser &,
                                                      const Archive &archive,
                                                      FiscalEnvironment &environment) {
        InstanceLock lock;
        if (const std::optional<int> refused = lockForWriting(lock, archive))
            return *refused;
        Renumbering renumbering(archive, environment.yearStart(), environment.yearEnd());
        QString error;
        QObject::connect(&renumbering, &Renumbering::failed,
                         [&error](const QString &failure) { error = failure; });
        if (!renumbering.run(period))
            return reportFailure(
                u"Ricalcolo non riuscito: i progressivi non sono stati modificati."_s, error);
        printLine(stdout, u"Ricalcolo effettuato con successo."_s);
        return ExitStatus::Done;
    });
}

namespace {

QJsonObject finalPrintObject(const FinalPrint &print)
{
    return {{u"from"_s, isoDate(print.dateFrom)},
            {u"to"_s, isoDate(print.dateTo)},
            {u"firstSheet"_s, print.firstSheet},
            {u"lastSheet"_s, print.lastSheet},
            {u"firstRow"_s, qint64(print.firstRow)},
            {u"lastRow"_s, qint64(print.lastRow)},
            {u"debit"_s, decimalText(print.debit)},
            {u"credit"_s, decimalText(print.credit)},
            {u"printedAt"_s, print.printedAt.toString(Qt::ISODate)},
            {u"sha256"_s, print.hash}};
}

QString finalPrintLine(const FinalPrint &print)
{
    const PatternFormatter formatter;
    const auto date = [&](const QDate &day) { return formatter.format(day, u"dd/mm/yyyy"); };
    const auto amount = [&](Money value) { return formatter.format(value, u"#,#.00"); };
    return u"dal %1 al %2\tfogli %3-%4\trighe %5-%6\tDare %7\tAvere %8"_s.arg(
        date(print.dateFrom), date(print.dateTo), QString::number(print.firstSheet),
        QString::number(print.lastSheet), QString::number(print.firstRow),
        QString::number(print.lastRow), amount(print.debit), amount(print.credit));
}

int finalPrintsIn(const QCommandLineParser &parser, const Archive &archive,
                  FiscalEnvironment &environment)
{
    QString error;
    if (parser.isSet(u"year"_s)) {
        const std::optional<int> year = numberIn(parser.value(u"year"_s), 1900, 9999);
        if (!year) {
            printLine(stderr, u"Anno non valido: \"%1\"."_s.arg(parser.value(u"year"_s)));
            return ExitStatus::Refused;
        }
        // The last day of the calendar year lies in the fiscal year that starts in it.
        environment.setWorkingDate(QDate(*year, 12, 31));
        if (!environment.refresh(&error))
            return reportFailure(u"Impossibile leggere i parametri dell'archivio."_s, error);
    }
    const Connection connection(archive, Connection::Mode::ReadOnly);
    if (connection.isOpen())
        for (const QString &file : completeFinalPrintFiles(connection.database(), &error))
            printLine(stderr, u"Completato il file della stampa definitiva registrata: %1"_s.arg(
                                  QDir::toNativeSeparators(file)));
    const std::optional<QList<FinalPrint>> prints =
        connection.opened(&error)
            ? finalPrintsOf(connection.database(),
                            {environment.yearStart(), environment.yearEnd(), {}}, &error)
            : std::nullopt;
    if (!prints)
        return reportFailure(u"Impossibile leggere le stampe definitive."_s, error);
    if (parser.isSet(u"json"_s)) {
        QJsonArray list;
        for (const FinalPrint &print : *prints)
            list.append(finalPrintObject(print));
        printLine(stdout, QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact)));
        return ExitStatus::Done;
    }
    for (const FinalPrint &print : *prints)
        printLine(stdout, finalPrintLine(print));
    return ExitStatus::Done;
}

} // namespace

int finalPrintsCommand(const QCommandLineParser &parser)
{
    return withEnvironment(parser, finalPrintsIn);
}

int reopenCommand(const QCommandLineParser &parser)
{
    return withEnvironment(parser, [](const QCommandLineParser &, const Archive &archive,
                                      FiscalEnvironment &environment) {
        InstanceLock lock;
        if (const std::optional<int> refused = lockForWriting(lock, archive))
            return *refused;
        QString backup;
        QString error;
        std::optional<YearEndYears> years;
        if (const Connection connection(archive, Connection::Mode::ReadOnly);
            connection.opened(&error))
            years = yearsToReopen(connection, YearEndYears::of(environment), &error);
        if (!years || !reopenYear(archive, *years, &backup, &error))
            return reportFailure(u"Riapertura non eseguita, archivio invariato."_s, error);
        printLine(stdout, u"Esercizio %1 riaperto; copia di sicurezza: %2"_s.arg(
                              shownPeriod(years->prevStart, years->prevEnd),
                              QDir::toNativeSeparators(backup)));
        return ExitStatus::Done;
    });
}

int backupCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    QString error;
    QString copy = parser.value(u"out"_s);
    const bool saved = copy.isEmpty()
                           ? !(copy = backupArchive(*archive, u"manuale"_s, &error)).isEmpty()
                           : saveArchiveCopy(*archive, copy, &error);
    if (!saved)
        return reportFailure(u"Copia di sicurezza non eseguita."_s, error);
    printLine(stdout, QDir::toNativeSeparators(QFileInfo(copy).absoluteFilePath()));
    return ExitStatus::Done;
}

int restoreCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    InstanceLock lock;
    if (!lock.tryLock())
        return reportLocked();
    QString replaced;
    QString error;
    QString notice;
    if (!restoreArchive(*archive, parser.value(u"from"_s), &replaced, &error, &notice))
        return reportFailure(u"Ripristino non eseguito, archivio invariato."_s, error);
    printLine(stdout, u"Archivio ripristinato; l'archivio sostituito è in %1"_s.arg(
                          QDir::toNativeSeparators(replaced)));
    if (!notice.isEmpty())
        printLine(stderr, u"Attenzione: "_s + notice);
    return ExitStatus::Done;
}
