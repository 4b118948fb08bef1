// tovrin3-cli: archive work from the command line. The usage text below lists the commands.

#include "archive/ArchiveInfo.h"
#include "cli/ArchiveCommands.h"
#include "cli/BankCommands.h"
#include "cli/CliSupport.h"
#include "cli/DashboardCommand.h"
#include "cli/FillCommand.h"
#include "cli/InvoiceCommand.h"
#include "cli/PostCommand.h"
#include "cli/ReportCommand.h"
#include "data/FiscalEnvironment.h"
#include "data/InstanceLock.h"
#include "data/ItalianLanguage.h"
#include "yearend/YearEnd.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

const QString Usage =
    u"Uso: tovrin3-cli COMANDO [OPZIONI]\n"
    u"  info --archive CARTELLA [--date AAAA-MM-GG] [--json]\n"
    u"  yearend --archive CARTELLA [--date AAAA-MM-GG] [--closing-date AAAA-MM-GG] "
    u"[--opening-date AAAA-MM-GG]\n"
    u"  charts\n"
    u"  new --parent CARTELLA --name NOME --chart POSIZIONE --start-month MESE [--make-current] "
    u"[--server postgresql://UTENTE@HOST:PORTA/DATABASE]\n"
    u"  migrate --archive CARTELLA --to postgresql://UTENTE@HOST:PORTA/DATABASE | "
    u"--to-sqlite FILE\n"
    u"  check --archive CARTELLA [--date AAAA-MM-GG] [--repair] --json\n"
    u"  renumber --archive CARTELLA [--date AAAA-MM-GG] --period current|previous|both\n"
    u"  report giornale --archive CARTELLA [--date AAAA-MM-GG] [--from AAAA-MM-GG] "
    u"[--to AAAA-MM-GG] [--sheet-from N] [--codes] --out FILE\n"
    u"  report bilancio|bilancio-contrapposto --archive CARTELLA [--date AAAA-MM-GG] "
    u"[--from AAAA-MM-GG] [--to AAAA-MM-GG] [--by-nature] [--zero-balances] "
    u"[--closing-entries] [--hide-marked] [--codes] [--levels gruppo,mastro,conto,sottoconto] "
    u"--out FILE\n"
    u"  report rendiconto-cassa --archive CARTELLA [--date AAAA-MM-GG] --out FILE\n"
    u"  report cruscotto --archive CARTELLA [--date AAAA-MM-GG] --out FILE.pdf|.png|.svg|.json\n"
    u"  report riconciliazione --archive CARTELLA --bank ID|DESCRIZIONE [--date AAAA-MM-GG] "
    u"--out FILE.pdf|.json\n"
    u"  report pdc --archive CARTELLA [--levels gruppo,mastro,conto,sottoconto] [--layout 1|2] "
    u"--out FILE\n"
    u"  report movimenti|movimenti-orizzontale|schede|schede-orizzontale --archive CARTELLA "
    u"[--date AAAA-MM-GG] [--from AAAA-MM-GG] [--to AAAA-MM-GG] [--subaccount ID]... "
    u"[--account ID]... --out FILE\n"
    u"  report giornale --final --archive CARTELLA [--date AAAA-MM-GG] [--to AAAA-MM-GG] "
    u"[--codes] --out FILE.pdf\n"
    u"  final-prints --archive CARTELLA [--date AAAA-MM-GG] [--year AAAA] [--json]\n"
    u"  fill --archive CARTELLA [--date AAAA-MM-GG] --template MODELLO --out FILE.xlsx\n"
    u"  reopen --archive CARTELLA [--date AAAA-MM-GG]\n"
    u"  backup --archive CARTELLA [--out FILE]\n"
    u"  restore --archive CARTELLA --from FILE\n"
    u"  post --archive CARTELLA --file FILE.json [--dry-run]\n"
    u"  import-bank --archive CARTELLA --file FILE --bank ID|DESCRIZIONE "
    u"[--format camt053|csv|xlsx] [--profile NOME] [--account IBAN|ID] [--dry-run] [--json]\n"
    u"  import-fatture --archive CARTELLA --file FILE [--file FILE]... "
    u"[--iva detraibile|indetraibile] [--default-subaccount ID|DESCRIZIONE] [--dry-run] [--json]\n"
    u"  bank-rule add --archive CARTELLA --contains TESTO --subaccount ID|DESCRIZIONE "
    u"[--iban IBAN] [--sign entrate|uscite] [--bank ID|DESCRIZIONE]\n"
    u"  bank-rule list --archive CARTELLA\n"
    u"  bank-account --archive CARTELLA --subaccount ID|DESCRIZIONE --iban IBAN\n"
    u"  csv-profile add --archive CARTELLA --name NOME --separator SEP "
    u"--encoding utf-8|windows-1252|iso-8859-15 --skip N [--skip-end N] --date-format FORMATO "
    u"--date-column N [--value-date-column N] (--amount-column N | --debit-column N "
    u"--credit-column N) --description-column N [--counterparty-column N] [--ignore TESTO]... "
    u"[--status-column N --status VALORE...]\n"
    u"  csv-profile list|remove --archive CARTELLA [--name NOME]\n"
    u"Stato di uscita: 0 eseguito, 1 rifiutato, 2 archivio inutilizzabile, "
    u"3 errore del database."_s;

int info(const QCommandLineParser &parser)
{
    const std::optional<QDate> date = dateOption(parser, u"date"_s, QDate::currentDate());
    if (!date)
        return ExitStatus::Refused;
    QString error;
    const std::optional<ArchiveInfo> facts =
        readArchiveInfo(parser.value(u"archive"_s), *date, &error);
    if (!facts) {
        printLine(stderr, error);
        return statusForProblem(error);
    }
    if (parser.isSet(u"json"_s))
        printLine(stdout,
                  QString::fromUtf8(QJsonDocument(facts->toJson()).toJson(QJsonDocument::Compact)));
    else
        for (const QString &line : facts->toLines())
            printLine(stdout, line);
    return ExitStatus::Done;
}

// Closes the previous fiscal year and opens the current one with the archive's role parameters
// and the default descriptions; prints the ids of the entries written.
int yearendIn(const QCommandLineParser &parser, const Archive &archive,
              FiscalEnvironment &environment)
{
    const YearEndYears years = YearEndYears::of(environment);
    QString error;
    const QString refusal = yearEndRefusal(archive, years, &error);
    const std::optional<Money> result =
        refusal.isEmpty() && error.isEmpty() ? yearResult(archive, years, &error) : std::nullopt;
    if (!error.isEmpty())
        return reportFailure(u"Impossibile leggere l'esercizio precedente."_s, error);
    if (!result) {
        printLine(stderr, QString(refusal).replace(u'\n', u' '));
        return ExitStatus::Refused;
    }
    YearEndInput input =
        yearEndDefaults(archive, years, *result, yearEndChoices(archive, true, &error),
                        yearEndChoices(archive, false, &error));
    const std::optional<QDate> closing = dateOption(parser, u"closing-date"_s, input.closingDate);
    const std::optional<QDate> opening = dateOption(parser, u"opening-date"_s, input.openingDate);
    if (!closing || !opening)
        return ExitStatus::Refused;
    input.closingDate = *closing;
    input.openingDate = *opening;
    const QStringList errors = yearEndProblems(input, years);
    for (const QString &line : errors)
        printLine(stderr, line);
    if (!errors.isEmpty())
        return ExitStatus::Refused;
    InstanceLock lock;
    if (const std::optional<int> refused = lockForWriting(lock, archive))
        return *refused;
    const std::optional<QList<qint64>> written = runYearEnd(archive, input, years, *result, &error);
    if (!written)
        return reportFailure(u"Chiusura/Apertura non eseguita, archivio invariato."_s, error);
    for (qint64 id : *written)
        printLine(stdout, QString::number(id));
    return ExitStatus::Done;
}

int yearend(const QCommandLineParser &parser)
{
    return withEnvironment(parser, yearendIn);
}

// The parser's own complaints are English: say them in Italian.
QString parseProblem(const QCommandLineParser &parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return u"Opzione sconosciuta: %1"_s.arg(unknown.first());
    const QRegularExpressionMatch quoted =
        QRegularExpression(u"'([^']*)'"_s).match(parser.errorText());
    return quoted.hasMatch() ? u"Manca il valore dell'opzione %1."_s.arg(quoted.captured(1))
                             : u"Argomenti non validi."_s;
}

int usageError(const QString &problem)
{
    if (!problem.isEmpty())
        printLine(stderr, problem);
    printLine(stderr, Usage);
    return ExitStatus::Refused;
}

} // namespace

int main(int argc, char *argv[])
{
    silenceQtDiagnostics();
    if (argc > 2 && std::strcmp(argv[1], "report") == 0 && std::strcmp(argv[2], "cruscotto") == 0)
        return runDashboardReport(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "report") == 0)
        return runReportCommand(argc, argv);
    QCoreApplication app(argc, argv);
    useItalian(app);
    QCoreApplication::setApplicationName(u"tovrin3-cli"_s);

    QCommandLineParser parser;
    parser.addOptions({
        {{u"h"_s, u"help"_s}, u"Mostra l'uso."_s},
        {u"archive"_s, u"Cartella della contabilità."_s, u"cartella"_s},
        {u"date"_s, u"Data di lavoro (AAAA-MM-GG), oggi se assente."_s, u"data"_s},
        {u"json"_s, u"Risultato in JSON."_s},
        {u"closing-date"_s, u"Data delle registrazioni di chiusura."_s, u"data"_s},
        {u"opening-date"_s, u"Data delle registrazioni di apertura."_s, u"data"_s},
        {u"parent"_s, u"Cartella di partenza della nuova contabilità."_s, u"cartella"_s},
        {u"name"_s, u"Nome della nuova contabilità, o del profilo CSV."_s, u"nome"_s},
        {u"chart"_s, u"Posizione del Piano dei Conti (da 0)."_s, u"posizione"_s},
        {u"start-month"_s, u"Mese di partenza degli esercizi (1-12)."_s, u"mese"_s},
        {u"make-current"_s, u"Rende corrente la nuova contabilità."_s},
        {u"period"_s, u"Esercizio da rinumerare: current, previous o both."_s, u"periodo"_s},
        {u"template"_s, u"Modello di foglio di calcolo da compilare."_s, u"file"_s},
        {u"out"_s, u"File da generare."_s, u"file"_s},
        {u"from"_s, u"Copia dell'archivio da ripristinare."_s, u"file"_s},
        {u"year"_s, u"Esercizio che inizia nell'anno indicato."_s, u"anno"_s},
        {u"file"_s, u"File da leggere."_s, u"file"_s},
        {u"dry-run"_s, u"Controlla senza scrivere."_s},
        {u"bank"_s, u"Sottoconto della banca (identificativo o descrizione)."_s, u"sottoconto"_s},
        {u"format"_s, u"Formato dell'estratto conto: camt053, csv o xlsx."_s, u"formato"_s},
        {u"profile"_s, u"Profilo CSV salvato nell'archivio."_s, u"nome"_s},
        {u"account"_s, u"Conto dell'estratto da importare (IBAN o altro codice)."_s, u"conto"_s},
        {u"contains"_s, u"Testo contenuto nella descrizione o nella controparte."_s, u"testo"_s},
        {u"subaccount"_s, u"Sottoconto (identificativo o descrizione)."_s, u"sottoconto"_s},
        {u"iban"_s, u"IBAN della controparte, o della banca."_s, u"iban"_s},
        {u"separator"_s, u"Separatore dei campi del CSV (un carattere, o tab)."_s, u"sep"_s},
        {u"encoding"_s, u"Codifica del CSV: utf-8, windows-1252 o iso-8859-15."_s, u"codifica"_s},
        {u"skip"_s, u"Righe da saltare in cima, intestazione compresa."_s, u"n"_s},
        {u"skip-end"_s, u"Righe da saltare in fondo."_s, u"n"_s},
        {u"date-format"_s, u"Formato delle date (per esempio dd/MM/yy, d MMM yyyy)."_s,
         u"formato"_s},
        {u"date-column"_s, u"Colonna della data (da 1)."_s, u"n"_s},
        {u"value-date-column"_s, u"Colonna della data valuta."_s, u"n"_s},
        {u"amount-column"_s, u"Colonna dell'importo con segno."_s, u"n"_s},
        {u"debit-column"_s, u"Colonna degli addebiti."_s, u"n"_s},
        {u"credit-column"_s, u"Colonna degli accrediti."_s, u"n"_s},
        {u"description-column"_s, u"Colonna della descrizione."_s, u"n"_s},
        {u"counterparty-column"_s, u"Colonna della controparte."_s, u"n"_s},
        {u"ignore"_s, u"Testo delle righe da ignorare (ripetibile)."_s, u"testo"_s},
        {u"status-column"_s, u"Colonna dello stato del movimento."_s, u"n"_s},
        {u"status"_s, u"Stato dei movimenti da registrare (ripetibile)."_s, u"valore"_s},
        {u"sign"_s, u"Solo entrate o solo uscite."_s, u"segno"_s},
        {u"iva"_s, u"IVA sugli acquisti: detraibile o indetraibile."_s, u"iva"_s},
        {u"default-subaccount"_s, u"Sottoconto di costi o ricavi delle righe senza proposta."_s,
         u"sottoconto"_s},
        {u"server"_s, u"Database vuoto del server che riceve la nuova contabilità."_s,
         u"indirizzo"_s},
        {u"to"_s, u"Database vuoto del server in cui copiare l'archivio."_s, u"indirizzo"_s},
        {u"to-sqlite"_s, u"File nuovo in cui copiare l'archivio del server."_s, u"file"_s},
        {u"repair"_s, u"Ripara l'archivio (oggetti estranei, totali mensili), dopo una copia."_s},
    });
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parseProblem(parser));
    if (parser.isSet(u"help"_s)) {
        printLine(stdout, Usage);
        return ExitStatus::Done;
    }

    const QString command = parser.positionalArguments().value(0);
    const bool withArchive = parser.isSet(u"archive"_s);
    if (command == u"info"_s && withArchive)
        return info(parser);
    if (command == u"yearend"_s && withArchive)
        return yearend(parser);
    if (command == u"charts"_s)
        return listCharts();
    if (command == u"new"_s)
        return createArchiveCommand(parser);
    if (command == u"migrate"_s && withArchive &&
        (parser.isSet(u"to"_s) != parser.isSet(u"to-sqlite"_s)))
        return migrateCommand(parser);
    if (command == u"check"_s && withArchive)
        return checkArchiveCommand(parser);
    if (command == u"fill"_s && withArchive)
        return fillCommand(parser);
    if (command == u"final-prints"_s && withArchive)
        return finalPrintsCommand(parser);
    if (command == u"renumber"_s && withArchive && parser.isSet(u"period"_s))
        return renumberCommand(parser);
    if (command == u"reopen"_s && withArchive)
        return reopenCommand(parser);
    if (command == u"backup"_s && withArchive)
        return backupCommand(parser);
    if (command == u"restore"_s && withArchive && parser.isSet(u"from"_s))
        return restoreCommand(parser);
    if (command == u"post"_s && withArchive && parser.isSet(u"file"_s))
        return postCommand(parser);
    if (command == u"import-bank"_s && withArchive && parser.isSet(u"file"_s) &&
        parser.isSet(u"bank"_s))
        return importBankCommand(parser);
    if (command == u"import-fatture"_s && withArchive && parser.isSet(u"file"_s))
        return importInvoicesCommand(parser);
    if (command == u"bank-rule"_s && withArchive)
        return bankRuleCommand(parser);
    if (command == u"bank-account"_s && withArchive && parser.isSet(u"subaccount"_s) &&
        parser.isSet(u"iban"_s))
        return bankAccountCommand(parser);
    if (command == u"csv-profile"_s && withArchive)
        return csvProfileCommand(parser);
    return usageError(command.isEmpty() ? QString()
                                        : u"Comando o opzioni mancanti: %1"_s.arg(command));
}
