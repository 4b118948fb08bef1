#include "cli/ReportCommand.h"

#include "bankimport/BankImport.h"
#include "bankimport/BankReconciliation.h"
#include "chart/ChartPrintout.h"
#include "cli/CliSupport.h"
#include "data/ArchiveStartup.h"
#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/InstanceLock.h"
#include "data/ItalianLanguage.h"
#include "data/OutputFile.h"
#include "data/SqlText.h"
#include "journal/EntryFile.h"
#include "reportengine/ReportExport.h"
#include "reports/AccountCardsReport.h"
#include "reports/FinalJournalPrint.h"
#include "reports/JournalBook.h"
#include "reports/MovementList.h"
#include "reports/ReportCatalog.h"
#include "statements/BalanceJson.h"
#include "statements/BalanceReports.h"
#include "statements/CashStatementReport.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

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

// What every report reads from the command line besides its own options.
struct ReportRequest {
    const QCommandLineParser &parser;
    const Connection &connection;
    QString out;
    std::optional<ExportFormat> format; // none: the report's JSON
    QDate from, to;                     // the period: the fiscal year of the working date
    FiscalYear year = {};               // the fiscal year of the working date
    QDate workingDate = {};
};

bool isJsonFile(const QString &fileName)
{
    return fileName.endsWith(u".json"_s, Qt::CaseInsensitive);
}

int exportDocument(const ReportDocument &document, const ReportRequest &request)
{
    QString error;
    if (!exportReport(document, *request.format, request.out, &error))
        return reportFailure(u"Stampa non eseguita."_s, error);
    return 0;
}

// The next final print of the year up to --to (the year's last entry when absent), written to
// the PDF file and recorded; it continues the sheets, rows and totals of the year's last one.
int finalJournalBook(const ReportRequest &request)
{
    const QCommandLineParser &parser = request.parser;
    if (request.format != ExportFormat::Pdf || parser.isSet(u"from"_s) ||
        parser.isSet(u"sheet-from"_s)) {
        printError(u"La stampa definitiva si scrive in PDF e continua dall'ultima: --from e "
                   u"--sheet-from non sono ammessi."_s);
        return ExitStatus::Refused;
    }
    InstanceLock lock;
    const Archive archive(parser.value(u"archive"_s));
    if (const std::optional<int> refused = lockForWriting(lock, archive))
        return *refused;
    QString error;
    const std::optional<LaidOutFinalPrint> laidOut = layOutFinalPrint(
        request.connection, request.year, parser.isSet(u"to"_s) ? request.to : QDate(),
        parser.isSet(u"codes"_s), &error);
    if (!laidOut)
        return reportFailure(u"Stampa definitiva non eseguita."_s, error);
    const std::optional<FinalPrint> recorded =
        writeFinalJournalPdf(archive, laidOut->run, laidOut->document, request.out, &error);
    if (!recorded)
        return reportFailure(u"Stampa definitiva non registrata."_s, error);
    std::fputs(u"Stampa definitiva dal %1 al %2: fogli %3-%4, righe %5-%6.\n"_s
                   .arg(isoDate(recorded->dateFrom), isoDate(recorded->dateTo))
                   .arg(recorded->firstSheet)
                   .arg(recorded->lastSheet)
                   .arg(recorded->firstRow)
                   .arg(recorded->lastRow)
                   .toUtf8()
                   .constData(),
               stdout);
    return 0;
}

int journalBook(const ReportRequest &request)
{
    if (request.parser.isSet(u"final"_s))
        return finalJournalBook(request);
    int firstSheet = 1;
    if (request.parser.isSet(u"sheet-from"_s)) {
        bool numeric = false;
        firstSheet = request.parser.value(u"sheet-from"_s).toInt(&numeric);
        if (!numeric || firstSheet < 1) {
            printError(u"Numero del primo foglio non valido: \"%1\"."_s.arg(
                request.parser.value(u"sheet-from"_s)));
            return ExitStatus::Refused;
        }
    }
    QString error;
    std::optional<OrganisationLines> organisation =
        readOrganisation(request.connection.database(), &error);
    if (!organisation)
        return reportFailure(u"Stampa non eseguita."_s, error);
    JournalBookOptions options;
    options.dateFrom = request.from;
    options.dateTo = request.to;
    options.firstSheet = firstSheet;
    options.showCodes = request.parser.isSet(u"codes"_s);
    options.yearLabel = periodYearLabel(request.from, request.to, request.year.start.month());
    options.organisation = *organisation;
    options.spreadsheet = request.format == ExportFormat::Xlsx;
    ReportDocument document;
    if (!layOutJournalBook(request.connection.database(), options, &document, &error))
        return reportFailure(u"Stampa non eseguita."_s, error);
    return exportDocument(document, request);
}

// The printed levels named in --levels; all four when the option is absent.
bool readLevels(const QCommandLineParser &parser, std::array<bool, 4> *levels)
{
    if (!parser.isSet(u"levels"_s))
        return true;
    static const QStringList names{u"gruppo"_s, u"mastro"_s, u"conto"_s, u"sottoconto"_s};
    levels->fill(false);
    for (const QString &name : parser.value(u"levels"_s).split(u',', Qt::SkipEmptyParts)) {
        const qsizetype index = names.indexOf(name.trimmed().toLower());
        if (index < 0) {
            printError(
                u"Livello sconosciuto: \"%1\" (usare gruppo, mastro, conto, sottoconto)."_s.arg(
                    name));
            return false;
        }
        (*levels)[size_t(index)] = true;
    }
    return true;
}

int balance(const ReportRequest &request, BalanceKind kind)
{
    BalanceOptions options;
    options.dateFrom = request.from;
    options.dateTo = request.to;
    if (!readLevels(request.parser, &options.levels))
        return ExitStatus::Refused;
    options.fixedColumns = request.parser.isSet(u"by-nature"_s);
    options.zeroBalances = request.parser.isSet(u"zero-balances"_s);
    options.closingEntries = request.parser.isSet(u"closing-entries"_s);
    options.hideMarked = request.parser.isSet(u"hide-marked"_s);
    options.showCodes = request.parser.isSet(u"codes"_s);

    const QSqlDatabase database = request.connection.database();
    warnIfTotalsDiffer(database);
    QString error;
    const std::optional<BalanceCaptions> captions = readBalanceCaptions(database, &error);
    const std::optional<Balance> computed =
        captions ? computeBalance(database, options, *captions, &error) : std::nullopt;
    if (!computed)
        return reportFailure(u"Stampa non eseguita."_s, error);
    if (computed->previousYearOpen)
        printError(previousYearOpenNotice());
    if (!request.format) {
        if (!writeOutputFile(request.out, balanceJson(*computed, kind), &error))
            return reportFailure(u"Stampa non eseguita."_s, error);
        return 0;
    }
    ReportDocument document;
    if (!layOutBalance(*computed, kind, request.format == ExportFormat::Xlsx, &document, &error))
        return reportFailure(u"Stampa non eseguita."_s, error);
    return exportDocument(document, request);
}

// The chart printout in the layout of --layout (1 indented, the default; 2 aligned left), with
// the archive's organisation name and nature captions.
int chartPrintout(const ReportRequest &request)
{
    ChartPrintoutOptions options;
    if (!readLevels(request.parser, &options.levels))
        return ExitStatus::Refused;
    if (std::none_of(options.levels.begin(), options.levels.end(),
                     [](bool shown) { return shown; })) {
        printError(u"Indicare almeno un livello da stampare."_s);
        return ExitStatus::Refused;
    }
    const QString layout = request.parser.value(u"layout"_s);
    if (!layout.isEmpty() && layout != u"1"_s && layout != u"2"_s) {
        printError(u"Tipo di stampa non valido: \"%1\" (usare 1 o 2)."_s.arg(layout));
        return ExitStatus::Refused;
    }
    FiscalEnvironment environment(Archive(request.parser.value(u"archive"_s)));
    QString error;
    if (!environment.refresh(&error))
        return reportFailure(u"Stampa non eseguita."_s, error);
    options.organisation = environment.anas01;
    options.headings = natureHeadings(environment);
    options.layout = layout == u"2"_s ? ChartLayout::AlignedLeft : ChartLayout::Indented;
    options.exporting = request.format == ExportFormat::Xlsx;
    ReportDocument document;
    if (!layOutChartPrintout(request.connection.database(), options, &document, &error))
        return reportFailure(u"Stampa non eseguita."_s, error);
    return exportDocument(document, request);
}

// The ids given to a repeatable option; false (with the message printed) for one that is not.
bool readIds(const QCommandLineParser &parser, const QString &name, QList<qint64> *ids)
{
    for (const QString &value : parser.values(name)) {
        bool numeric = false;
        const qint64 id = value.toLongLong(&numeric);
        if (!numeric || id <= 0) {
            printError(u"Identificativo non valido per --%1: \"%2\"."_s.arg(name, value));
            return false;
        }
        ids->append(id);
    }
    return true;
}

// A movement list or the account cards, with the entries or cards the filter chooses.
int movementReport(const ReportRequest &request, bool cards, QPageLayout::Orientation orientation)
{
    ReportSettings settings;
    settings.dateFrom = request.from;
    settings.dateTo = request.to;
    if (!readIds(request.parser, u"subaccount"_s, &settings.subAccountIds) ||
        !readIds(request.parser, u"account"_s, &settings.accountIds))
        return ExitStatus::Refused;
    if (!settings.subAccountIds.isEmpty() && !settings.accountIds.isEmpty()) {
        printError(u"Indicare i sottoconti (--subaccount) oppure i conti (--account), non "
                   u"entrambi."_s);
        return ExitStatus::Refused;
    }
    settings.filterLevel =
        settings.accountIds.isEmpty() ? FilterLevel::Sottoconto : FilterLevel::Conto;
    // Only the spreadsheet has a form of its own; every other file has the printed pages.
    settings.output =
        *request.format == ExportFormat::Xlsx ? ReportOutput::Excel : ReportOutput::Pdf;
    settings.exporting = true;
    if (cards)
        settings.source = accountCardsStatement(settings);

    const QSqlDatabase database = request.connection.database();
    QString error;
    const std::optional<OrganisationLines> organisation = readOrganisation(database, &error);
    ReportDocument document;
    const auto layOut = cards ? layOutAccountCards : layOutMovementList;
    if (!organisation ||
        !layOut(database, settings, orientation, organisation->name, &document, &error, {}))
        return reportFailure(u"Stampa non eseguita."_s, error);
    return exportDocument(document, request);
}

// The cash-basis statement of the fiscal year of the working date and of the year before.
int cashStatement(const ReportRequest &request)
{
    if (request.parser.isSet(u"from"_s) || request.parser.isSet(u"to"_s)) {
        printError(u"Il rendiconto per cassa riguarda un esercizio intero: indicarlo con --date, "
                   u"senza --from e --to."_s);
        return ExitStatus::Refused;
    }
    const QDate start = request.year.start;
    const StatementYears years{{start, request.year.end}, {start.addYears(-1), start.addDays(-1)}};
    const QSqlDatabase database = request.connection.database();
    warnIfTotalsDiffer(database);
    QString error;
    const std::optional<CashStatement> statement =
        computeCashStatement(database, years.current, years.previous, &error);
    if (!statement)
        return reportFailure(u"Stampa non eseguita."_s, error);
    for (const QString &warning : cashStatementWarnings(*statement, years))
        printError(warning);
    if (!request.format) {
        if (!writeOutputFile(request.out, cashStatementJson(*statement, years), &error))
            return reportFailure(u"Stampa non eseguita."_s, error);
        return 0;
    }
    const std::optional<OrganisationLines> organisation = readOrganisation(database, &error);
    ReportDocument document;
    if (!organisation ||
        !layOutCashStatement(*statement, years, organisation->name,
                             request.format == ExportFormat::Xlsx, &document, &error))
        return reportFailure(u"Stampa non eseguita."_s, error);
    return exportDocument(document, request);
}

// The bank reconciliation of --bank at the working date.
int bankReconciliation(const ReportRequest &request)
{
    const QSqlDatabase database = request.connection.database();
    QString error;
    const std::optional<qint64> bank =
        subAccountNamed(request.connection, request.parser.value(u"bank"_s), &error);
    const QString refusal = bank ? bankSubAccountRefusal(database, *bank, &error) : QString();
    if (!bank || !refusal.isEmpty()) {
        printError(u"Conto della banca: %1"_s.arg(refusal.isEmpty() ? error : refusal));
        return ExitStatus::Refused;
    }
    const std::optional<BankReconciliation> reconciliation =
        reconcileBank(database, *bank, request.workingDate, &error);
    if (!reconciliation)
        return reportFailure(u"Stampa non eseguita."_s, error);
    if (!request.format) {
        if (!writeOutputFile(request.out, reconciliationJson(*reconciliation), &error))
            return reportFailure(u"Stampa non eseguita."_s, error);
        return 0;
    }
    const std::optional<OrganisationLines> organisation = readOrganisation(database, &error);
    ReportDocument document;
    if (!organisation ||
        !layOutReconciliation(*reconciliation, organisation->name, &document, &error))
        return reportFailure(u"Stampa non eseguita."_s, error);
    return exportDocument(document, request);
}

// How the command line runs each report of the catalog.
std::function<int(const ReportRequest &)> runnerOf(int code)
{
    switch (code) {
    case ReportCode::GiornaleContabile:
        return journalBook;
    case ReportCode::Bilancio:
        return
            [](const ReportRequest &request) { return balance(request, BalanceKind::Sequential); };
    case ReportCode::BilancioSezioniContrapposte:
        return [](const ReportRequest &request) { return balance(request, BalanceKind::Opposed); };
    case ReportCode::RendicontoCassa:
        return cashStatement;
    case ReportCode::RiconciliazioneBancaria:
        return bankReconciliation;
    case ReportCode::PianoDeiConti:
        return chartPrintout;
    case ReportCode::MovimentiVerticale:
    case ReportCode::MovimentiOrizzontale:
    case ReportCode::SchedeVerticale:
    case ReportCode::SchedeOrizzontale:
        return [code](const ReportRequest &request) {
            const bool cards =
                code == ReportCode::SchedeVerticale || code == ReportCode::SchedeOrizzontale;
            const bool landscape =
                code == ReportCode::MovimentiOrizzontale || code == ReportCode::SchedeOrizzontale;
            return movementReport(request, cards,
                                  landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        };
    }
    return {};
}

int runReport(const QCommandLineParser &parser, const ReportEntry &entry)
{
    const QString out = parser.value(u"out"_s);
    if (const QString problem = outputTargetProblem(out); !problem.isEmpty()) {
        printError(problem);
        return ExitStatus::Refused;
    }
    const std::optional<ExportFormat> format = exportFormatOf(out);
    if (!format && !(entry.writesJson && isJsonFile(out))) {
        printError(
            u"Formato del file non riconosciuto: \"%1\" (usare .pdf, .xlsx, .rtf, .html%2)."_s.arg(
                out, entry.writesJson ? u" o .json"_s : QString()));
        return ExitStatus::Refused;
    }
    QDate workingDate = QDate::currentDate();
    QDate from, to;
    if (!readDate(parser, u"date"_s, &workingDate) || !readDate(parser, u"from"_s, &from) ||
        !readDate(parser, u"to"_s, &to))
        return ExitStatus::Refused;

    const QString folder = parser.value(u"archive"_s);
    if (const QString problem = archiveFolderProblem(folder); !problem.isEmpty()) {
        printError(QString(problem).replace(u'\n', u' '));
        return statusForProblem(problem);
    }
    const Connection connection(Archive(folder), Connection::Mode::ReadOnly);
    if (!connection.isOpen())
        return reportFailure(u"Impossibile aprire l'archivio."_s, connection.errorText());
    QString error;
    const std::optional<JournalBookOptions> year =
        journalBookDefaults(connection.database(), workingDate, &error);
    if (!year)
        return reportFailure(u"Stampa non eseguita."_s, error);
    ReportRequest request{parser, connection, out, format, year->dateFrom, year->dateTo};
    request.year = {year->dateFrom, year->dateTo, year->yearLabel};
    request.workingDate = workingDate;
    if (from.isValid())
        request.from = from;
    if (to.isValid())
        request.to = to;
    if (request.from > request.to) {
        printError(u"La data iniziale è successiva alla data finale."_s);
        return ExitStatus::Refused;
    }
    return runnerOf(entry.code)(request);
}

const QString ReportUsage =
    u"Uso: tovrin3-cli report giornale --archive CARTELLA [--date AAAA-MM-GG] "
    u"[--from AAAA-MM-GG] [--to AAAA-MM-GG] [--sheet-from N] [--codes] --out FILE\n"
    u"     tovrin3-cli report giornale --final --archive CARTELLA [--date AAAA-MM-GG] "
    u"[--to AAAA-MM-GG] [--codes] --out FILE.pdf\n"
    u"     tovrin3-cli report bilancio|bilancio-contrapposto --archive CARTELLA "
    u"[--date AAAA-MM-GG] [--from AAAA-MM-GG] [--to AAAA-MM-GG] [--by-nature] "
    u"[--zero-balances] [--closing-entries] [--hide-marked] [--codes] "
    u"[--levels gruppo,mastro,conto,sottoconto] --out FILE\n"
    u"     tovrin3-cli report rendiconto-cassa --archive CARTELLA [--date AAAA-MM-GG] "
    u"--out FILE\n"
    u"     tovrin3-cli report riconciliazione --archive CARTELLA --bank ID|DESCRIZIONE "
    u"[--date AAAA-MM-GG] --out FILE.pdf|.json\n"
    u"     tovrin3-cli report pdc --archive CARTELLA "
    u"[--levels gruppo,mastro,conto,sottoconto] [--layout 1|2] --out FILE\n"
    u"     tovrin3-cli report movimenti|movimenti-orizzontale|schede|"
    u"schede-orizzontale --archive CARTELLA [--date AAAA-MM-GG] [--from AAAA-MM-GG] "
    u"[--to AAAA-MM-GG] [--subaccount ID]... [--account ID]... --out FILE"_s;

} // namespace

int runReportCommand(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    useItalian(app);
    QCoreApplication::setApplicationName(u"tovrin3-cli"_s);

    QCommandLineParser parser;
    QStringList names;
    for (const ReportEntry &entry : reportCatalog())
        names.append(entry.commandName);
    parser.addPositionalArgument(u"report"_s, u"report "_s + names.join(u" | "_s));
    parser.addOption({u"archive"_s, u"Cartella della contabilità."_s, u"cartella"_s});
    parser.addOption({u"date"_s, u"Data di lavoro (AAAA-MM-GG), oggi se assente."_s, u"data"_s});
    parser.addOption({u"from"_s, u"Prima data del periodo (AAAA-MM-GG)."_s, u"data"_s});
    parser.addOption({u"to"_s, u"Ultima data del periodo (AAAA-MM-GG)."_s, u"data"_s});
    parser.addOption({u"sheet-from"_s, u"Numero del primo foglio."_s, u"numero"_s});
    parser.addOption({u"final"_s, u"Stampa definitiva del giornale, registrata nell'archivio."_s});
    parser.addOption({u"by-nature"_s, u"Bilancio a colonne fisse (sezioni per natura)."_s});
    parser.addOption({u"zero-balances"_s, u"Anche i sottoconti con saldo uguale a zero."_s});
    parser.addOption({u"closing-entries"_s, u"Includi le registrazioni di chiusura."_s});
    parser.addOption({u"hide-marked"_s, u"Nascondi i sottoconti dei conti contrassegnati."_s});
    parser.addOption({u"codes"_s, u"Mostra i codici dei mastri e dei conti."_s});
    parser.addOption(
        {u"levels"_s, u"Livelli stampati (gruppo,mastro,conto,sottoconto)."_s, u"livelli"_s});
    parser.addOption({u"layout"_s,
                      u"Piano dei conti: 1 voci indentate, 2 voci allineate a sinistra."_s,
                      u"tipo"_s});
    parser.addOption({u"subaccount"_s,
                      u"Solo le registrazioni o le schede di questo sottoconto "
                      u"(ripetibile)."_s,
                      u"id"_s});
    parser.addOption({u"account"_s,
                      u"Solo le registrazioni o le schede di questo conto "
                      u"(ripetibile)."_s,
                      u"id"_s});
    parser.addOption(
        {u"bank"_s, u"Sottoconto della banca (identificativo o descrizione)."_s, u"sottoconto"_s});
    parser.addOption({u"out"_s,
                      u"File da scrivere (.pdf, .xlsx, .rtf, .html; bilanci anche .json)."_s,
                      u"file"_s});
    parser.addOption({{u"h"_s, u"help"_s}, u"Mostra l'uso."_s});
    const bool parsed = parser.parse(QCoreApplication::arguments());
    if (parsed && parser.isSet(u"help"_s)) {
        printLine(stdout, ReportUsage);
        return ExitStatus::Done;
    }
    const QStringList positional = parser.positionalArguments();
    if (parsed && positional.size() == 2 && parser.isSet(u"archive"_s) && parser.isSet(u"out"_s))
        if (const std::optional<ReportEntry> entry = reportNamed(positional.value(1)))
            return runReport(parser, *entry);
    if (!parsed)
        printError(u"Opzione non riconosciuta o senza valore."_s);
    printError(ReportUsage);
    return ExitStatus::Refused;
}
