#include "cli/ReportCommand.h"

#include "data/ArchiveStartup.h"
#include "data/Database.h"
#include "data/ItalianLanguage.h"
#include "data/SqlText.h"
#include "reports/JournalBook.h"
#include "reports/engine/ReportExport.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int ExitUsage = 1;
constexpr int ExitFailure = 2;

void printError(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
}

// Reads an ISO date option into *date; false (with the message printed) when it is not one.
bool readDate(const QCommandLineParser &parser, const QString &name, QDate *date)
{
    if (!parser.isSet(name))
        return true;
    *date = dateFromIso(parser.value(name));
    if (date->isValid())
        return true;
    printError(u"Data non valida: \"%1\" (formato AAAA-MM-GG)."_s.arg(parser.value(name)));
    return false;
}

int journalBook(const QCommandLineParser &parser)
{
    const QString out = parser.value(u"out"_s);
    const std::optional<ExportFormat> format = exportFormatOf(out);
    if (!format) {
        printError(
            u"Formato del file non riconosciuto: \"%1\" (usare .pdf, .xlsx, .rtf o .html)."_s.arg(
                out));
        return ExitUsage;
    }
    QDate workingDate = QDate::currentDate();
    QDate from, to;
    if (!readDate(parser, u"date"_s, &workingDate) || !readDate(parser, u"from"_s, &from) ||
        !readDate(parser, u"to"_s, &to))
        return ExitUsage;
    int firstSheet = 1;
    if (parser.isSet(u"sheet-from"_s)) {
        bool numeric = false;
        firstSheet = parser.value(u"sheet-from"_s).toInt(&numeric);
        if (!numeric || firstSheet < 1) {
            printError(u"Numero del primo foglio non valido: \"%1\"."_s.arg(
                parser.value(u"sheet-from"_s)));
            return ExitUsage;
        }
    }

    const QString folder = parser.value(u"archive"_s);
    if (const QString problem = archiveFolderProblem(folder); !problem.isEmpty()) {
        printError(QString(problem).replace(u'\n', u' '));
        return ExitFailure;
    }
    const Connection connection(databasePathFor(folder), Connection::Mode::ReadOnly);
    if (!connection.isOpen()) {
        printError(connection.errorText());
        return ExitFailure;
    }
    QString error;
    std::optional<JournalBookOptions> options =
        journalBookDefaults(connection.database(), workingDate, &error);
    if (!options) {
        printError(error);
        return ExitFailure;
    }
    if (from.isValid())
        options->dateFrom = from;
    if (to.isValid())
        options->dateTo = to;
    if (options->dateFrom > options->dateTo) {
        printError(u"La data iniziale è successiva alla data finale."_s);
        return ExitUsage;
    }
    options->firstSheet = firstSheet;

    ReportDocument document;
    if (!layOutJournalBook(connection.database(), *options, &document, &error) ||
        !exportReport(document, *format, out, &error)) {
        printError(error);
        return ExitFailure;
    }
    return 0;
}

} // namespace

int runReportCommand(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    useItalian(app);
    QCoreApplication::setApplicationName(u"tovrin3-cli"_s);

    QCommandLineParser parser;
    parser.addPositionalArgument(u"report"_s, u"report giornale"_s);
    parser.addOption({u"archive"_s, u"Cartella della contabilità."_s, u"cartella"_s});
    parser.addOption({u"date"_s, u"Data di lavoro (AAAA-MM-GG), oggi se assente."_s, u"data"_s});
    parser.addOption({u"from"_s, u"Prima data del periodo (AAAA-MM-GG)."_s, u"data"_s});
    parser.addOption({u"to"_s, u"Ultima data del periodo (AAAA-MM-GG)."_s, u"data"_s});
    parser.addOption({u"sheet-from"_s, u"Numero del primo foglio."_s, u"numero"_s});
    parser.addOption({u"out"_s, u"File da scrivere (.pdf, .xlsx, .rtf, .html)."_s, u"file"_s});
    const bool parsed = parser.parse(QCoreApplication::arguments());
    const QStringList positional = parser.positionalArguments();
    if (parsed && positional.value(1) == u"giornale"_s && positional.size() == 2 &&
        parser.isSet(u"archive"_s) && parser.isSet(u"out"_s))
        return journalBook(parser);
    if (!parsed)
        printError(u"Opzione non riconosciuta o senza valore."_s);
    printError(u"Uso: tovrin3-cli report giornale --archive CARTELLA [--date AAAA-MM-GG] "
               u"[--from AAAA-MM-GG] [--to AAAA-MM-GG] [--sheet-from N] --out FILE"_s);
    return ExitUsage;
}
