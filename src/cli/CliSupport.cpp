#include "cli/CliSupport.h"

#include "data/ArchiveStartup.h"
#include "data/ClosedYears.h"
#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "data/InstanceLock.h"
#include "data/MonthlyTotals.h"
#include "data/Renumbering.h"
#include "data/SqlText.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

QString oneLine(QString text)
{
    return text.replace(u"\n\n"_s, u" "_s).replace(u'\n', u' ');
}

} // namespace

void printLine(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
}

void silenceQtDiagnostics()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg)
            printLine(stderr, text);
    });
}

int reportRefusal(const QString &message)
{
    printLine(stderr, oneLine(message));
    return ExitStatus::Refused;
}

int reportFailure(const QString &whatFailed, const QString &engineText)
{
    if (!isEngineText(engineText))
        return reportRefusal(engineText);
    printLine(stderr, oneLine(failureMessage(whatFailed, engineText)));
    const EngineFault fault = engineFault(engineText);
    return fault == EngineFault::Damaged || fault == EngineFault::Structure
               ? ExitStatus::ArchiveUnusable
               : ExitStatus::DatabaseFailure;
}

std::optional<QDate> dateOption(const QCommandLineParser &parser, const QString &name,
                                const QDate &fallback)
{
    if (!parser.isSet(name))
        return fallback;
    const QDate date = dateFromIso(parser.value(name));
    if (!date.isValid()) {
        printLine(stderr,
                  u"Data non valida: \"%1\" (formato AAAA-MM-GG)."_s.arg(parser.value(name)));
        return std::nullopt;
    }
    return date;
}

int statusForProblem(const QString &message)
{
    const EngineFault fault = engineFault(message);
    return fault == EngineFault::Busy || fault == EngineFault::ReadOnly ||
                   fault == EngineFault::Disk || fault == EngineFault::Unreachable ||
                   fault == EngineFault::Permission
               ? ExitStatus::DatabaseFailure
               : ExitStatus::ArchiveUnusable;
}

std::optional<Archive> archiveOption(const QCommandLineParser &parser, int *failureStatus)
{
    const QString folder = parser.value(u"archive"_s);
    if (const QString problem = archiveFolderProblem(folder); !problem.isEmpty()) {
        printLine(stderr, oneLine(problem));
        *failureStatus = statusForProblem(problem);
        return std::nullopt;
    }
    const Archive archive(folder);
    if (const QString warning = networkFolderWarning(archive); !warning.isEmpty())
        printLine(stderr, warning);
    return archive;
}

std::optional<int> prepareEnvironment(const QCommandLineParser &parser,
                                      FiscalEnvironment &environment)
{
    const std::optional<QDate> date = dateOption(parser, u"date"_s, QDate::currentDate());
    if (!date)
        return ExitStatus::Refused;
    environment.setWorkingDate(*date);
    if (QString error; !environment.refresh(&error))
        return reportFailure(u"Impossibile leggere i parametri dell'archivio."_s, error);
    return std::nullopt;
}

int withEnvironment(const QCommandLineParser &parser,
                    const std::function<int(const QCommandLineParser &, const Archive &,
                                            FiscalEnvironment &)> &command)
{
    int failure = ExitStatus::ArchiveUnusable;
    const std::optional<Archive> archive = archiveOption(parser, &failure);
    if (!archive)
        return failure;
    FiscalEnvironment environment(*archive);
    if (const std::optional<int> failed = prepareEnvironment(parser, environment))
        return *failed;
    return command(parser, *archive, environment);
}

int reportLocked()
{
    printLine(stderr, u"Applicazione già in esecuzione: chiudere il programma e riprovare."_s);
    return ExitStatus::DatabaseFailure;
}

std::optional<int> lockForWriting(InstanceLock &lock, const Archive &archive)
{
    if (!lock.tryLock())
        return reportLocked();
    QString error;
    if (openForWriting(archive, &error))
        return std::nullopt;
    if (isEngineText(error))
        return reportFailure(u"Impossibile aprire l'archivio in scrittura."_s, error);
    printLine(stderr, oneLine(error));
    return ExitStatus::ArchiveUnusable;
}

void warnIfTotalsDiffer(const QSqlDatabase &database)
{
    if (hasMonthlyTotals(database) && !monthlyTotalsTrusted(database))
        printLine(stderr, u"Attenzione: i totali mensili dell'archivio non corrispondono alle "
                          u"registrazioni; i saldi sono calcolati dalle registrazioni. Per "
                          u"ricostruirli: tovrin3-cli check --repair."_s);
}

std::optional<QByteArray> inputFile(const QString &path)
{
    // Far more than any file of entries or statement; larger files are refused unread.
    constexpr qint64 LargestFile = 256 * 1024 * 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(stderr, u"Impossibile leggere il file %1."_s.arg(QDir::toNativeSeparators(path)));
        return std::nullopt;
    }
    if (file.size() > LargestFile) {
        printLine(stderr, u"Il file %1 è troppo grande."_s.arg(QDir::toNativeSeparators(path)));
        return std::nullopt;
    }
    return file.readAll();
}

void warnOfBrokenNumbering(const Archive &archive, const QList<QDate> &dates)
{
    const Connection connection(archive, Connection::Mode::ReadOnly);
    QString error;
    const std::optional<int> startMonth = archiveStartMonth(connection.database(), &error);
    if (!startMonth)
        return;
    QSet<QDate> warned;
    for (const QDate &date : dates) {
        const FiscalYear year = fiscalYearContaining(date, *startMonth);
        if (warned.contains(year.start))
            continue;
        warned.insert(year.start);
        if (numberingBroken(connection, year.start, year.end, &error).value_or(false))
            printLine(stderr, u"I progressivi dell'esercizio %1 non seguono più le date: "
                              u"eseguire tovrin3-cli renumber."_s.arg(year.label));
    }
}
