#include "cli/BankCommands.h"

#include "bankimport/BankImport.h"
#include "bankimport/BankRules.h"
#include "bankimport/CsvProfile.h"
#include "bankimport/StatementReaders.h"
#include "cli/CliSupport.h"
#include "data/InstanceLock.h"
#include "data/SqlText.h"
#include "journal/EntryEditing.h"
#include "journal/EntryFile.h"

#include <QCommandLineParser>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

struct ImportRequest {
    Archive archive;
    qint64 bank = 0;
    StatementsOfFile statements;
};

// The format asked for: nothing to tell it from the file; false when the value is unknown.
bool formatOption(const QCommandLineParser &parser, std::optional<StatementFormat> *format)
{
    static const QHash<QString, StatementFormat> formats{{u"camt053"_s, StatementFormat::Camt053},
                                                         {u"csv"_s, StatementFormat::Csv},
                                                         {u"xlsx"_s, StatementFormat::Xlsx}};
    const QString value = parser.value(u"format"_s);
    if (value.isEmpty())
        return true;
    if (!formats.contains(value)) {
        printLine(stderr, u"Formato non previsto: %1 (camt053, csv o xlsx)."_s.arg(value));
        return false;
    }
    *format = formats.value(value);
    return true;
}

// A sub-account named on the command line that must be a cash or bank one.
std::optional<qint64> bankOption(const Connection &connection, const QString &named)
{
    QString failure;
    const std::optional<qint64> bank = subAccountNamed(connection, named, &failure);
    const QString refusal =
        bank ? bankSubAccountRefusal(connection.database(), *bank, &failure) : QString();
    if (!refusal.isEmpty() || !failure.isEmpty()) {
        printLine(stderr, u"Conto della banca: %1"_s.arg(refusal.isEmpty() ? failure : refusal));
        return std::nullopt;
    }
    return bank;
}

// The bank sub-account and the statements read with the format and profile asked for; nothing,
// with the exit status in *status, when either is wrong.
std::optional<ImportRequest> importRequest(const QCommandLineParser &parser, int *status)
{
    std::optional<Archive> archive = archiveOption(parser, status);
    if (!archive)
        return std::nullopt;
    *status = ExitStatus::Refused;
    const std::optional<QByteArray> file = inputFile(parser.value(u"file"_s));
    std::optional<StatementFormat> format;
    if (!file || !formatOption(parser, &format))
        return std::nullopt;
    const Connection connection(*archive, Connection::Mode::ReadOnly);
    QString error;
    if (!connection.opened(&error)) {
        *status = reportFailure(u"Impossibile aprire l'archivio."_s, error);
        return std::nullopt;
    }
    const std::optional<qint64> bank = bankOption(connection, parser.value(u"bank"_s));
    if (!bank)
        return std::nullopt;
    std::optional<StatementsOfFile> statements =
        readStatementsFor(connection.database(), *bank, *file, format, parser.value(u"profile"_s),
                          parser.value(u"account"_s), &error);
    if (!statements) {
        printLine(stderr, error + u" Nessun movimento importato."_s);
        return std::nullopt;
    }
    return ImportRequest{*archive, *bank, std::move(*statements)};
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject movementJson(const ReviewedMovement &item, const QHash<qint64, QString> &names)
{
    const BankMovement &m = item.movement;
    QJsonObject object{
        {u"data"_s, isoDate(m.bookingDate)},
        {u"valuta"_s, m.valueDate.isValid() ? QJsonValue(isoDate(m.valueDate)) : QJsonValue()},
        {u"importo"_s, decimalText(m.amount)},
        {u"descrizione"_s, item.description},
        {u"controparte"_s, textOrNull(m.counterparty)},
        {u"iban"_s, textOrNull(m.counterpartyIban)},
        {u"riferimento"_s, textOrNull(m.reference)},
        {u"stato"_s, item.usesMatch() ? u"già registrato"_s : item.stateText()},
        {u"sottoconto"_s, item.counterpart != 0 ? QJsonValue(item.counterpart) : QJsonValue()},
        {u"sottocontoDescrizione"_s, textOrNull(names.value(item.counterpart))},
        {u"motivo"_s, textOrNull(item.reason)},
    };
    if (item.usesMatch())
        object.insert(u"registrazione"_s, item.match->id);
    if (m.reversal)
        object.insert(u"storno"_s, true);
    if (!m.note.isEmpty())
        object.insert(u"nota"_s, m.note);
    if (!item.number.isNull())
        object.insert(u"progressivo"_s, item.number.toLongLong());
    if (!item.refusal.isEmpty())
        object.insert(u"rifiuto"_s, item.refusal);
    return object;
}

QJsonObject balanceJson(const BalanceCheck &check)
{
    return {{u"voce"_s, check.label},
            {u"data"_s, isoDate(check.date)},
            {u"estratto"_s, decimalText(check.declared)},
            {u"contabilita"_s, decimalText(check.booked)},
            {u"differenza"_s, decimalText(check.difference())}};
}

QJsonObject statementJson(const BankStatement &statement, bool chosen)
{
    return {
        {u"conto"_s, textOrNull(statement.account)},
        {u"valuta"_s, textOrNull(statement.currency)},
        {u"dal"_s, statement.from.isValid() ? QJsonValue(isoDate(statement.from)) : QJsonValue()},
        {u"al"_s, statement.to.isValid() ? QJsonValue(isoDate(statement.to)) : QJsonValue()},
        {u"movimenti"_s, int(statement.movements.size())},
        {u"inAttesa"_s, int(statement.waiting.size())},
        {u"importato"_s, chosen}};
}

struct Counts {
    int booked = 0;
    int toBook = 0; // with a counterpart, left by a dry run
    int alreadyImported = 0;
    int alreadyBooked = 0;
    int waiting = 0;
    int refused = 0;
    int unassigned = 0;
};

Counts countsOf(const QList<ReviewedMovement> &movements)
{
    Counts counts;
    for (const ReviewedMovement &item : movements) {
        if (item.alreadyImported)
            ++counts.alreadyImported;
        else if (item.waiting)
            ++counts.waiting;
        else if (item.usesMatch())
            ++counts.alreadyBooked;
        else if (item.entryId != 0)
            ++counts.booked;
        else if (!item.refusal.isEmpty())
            ++counts.refused;
        else if (item.counterpart != 0)
            ++counts.toBook;
        else
            ++counts.unassigned;
    }
    return counts;
}

void printOutcome(const ImportRequest &request, const QList<ReviewedMovement> &movements,
                  const QList<BalanceCheck> &checks, bool json, const QHash<qint64, QString> &names)
{
    const Counts counts = countsOf(movements);
    if (json) {
        QJsonArray list;
        for (const ReviewedMovement &item : movements)
            list << movementJson(item, names);
        QJsonArray balances;
        for (const BalanceCheck &check : checks)
            balances << balanceJson(check);
        QJsonArray statements;
        QJsonArray notices;
        for (const BankStatement &statement : request.statements.all) {
            const bool chosen = std::any_of(
                request.statements.chosen.cbegin(), request.statements.chosen.cend(),
                [&](const BankStatement &other) { return other.caption() == statement.caption(); });
            statements << statementJson(statement, chosen);
        }
        for (const BankStatement &statement : request.statements.chosen)
            for (const QString &notice : statement.notices)
                notices << notice;
        const QJsonObject object{{u"estratti"_s, statements},
                                 {u"movimenti"_s, list},
                                 {u"saldi"_s, balances},
                                 {u"avvisi"_s, notices},
                                 {u"registrati"_s, counts.booked},
                                 {u"giaImportati"_s, counts.alreadyImported},
                                 {u"giaRegistrati"_s, counts.alreadyBooked},
                                 {u"inAttesa"_s, counts.waiting},
                                 {u"rifiutati"_s, counts.refused},
                                 {u"daAssegnare"_s, counts.unassigned}};
        printLine(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
        return;
    }
    for (const ReviewedMovement &item : movements) {
        const QString line = isoDate(item.movement.bookingDate) + u' ' +
                             decimalText(item.movement.amount) + u' ' + item.description;
        if (!item.refusal.isEmpty())
            printLine(stdout, u"rifiutato: "_s + line + u" - "_s + item.refusal);
        else if (item.state() == ReviewedMovement::State::Unassigned)
            printLine(stdout, u"da assegnare: "_s + line);
        else if (item.waiting)
            printLine(stdout, u"in attesa: "_s + line);
        else if (item.usesMatch())
            printLine(stdout, item.stateText() + u": "_s + line);
    }
    const QString done = counts.toBook > 0 ? u"Da registrare: %1"_s.arg(counts.toBook)
                                           : u"Registrati: %1"_s.arg(counts.booked);
    printLine(stdout, done + u"; già importati: %1; già registrati: %2; in attesa: %3; "
                             u"rifiutati: %4; da assegnare: %5."_s.arg(counts.alreadyImported)
                                 .arg(counts.alreadyBooked)
                                 .arg(counts.waiting)
                                 .arg(counts.refused)
                                 .arg(counts.unassigned));
}

QHash<qint64, QString> subAccountNames(const Archive &archive)
{
    QString error;
    QHash<qint64, QString> names;
    for (const auto &[id, name] : subAccountChoices(archive, &error))
        names.insert(id.toLongLong(), name);
    return names;
}

// Runs a change of the archive under the instance lock, in one transaction; prints what
// printed() says once it is kept.
int writeAndTell(const Archive &archive, const QString &failed, const TransactionWork &work,
                 const std::function<QString()> &printed)
{
    InstanceLock lock;
    if (const std::optional<int> refused = lockForWriting(lock, archive))
        return *refused;
    QString error;
    if (!inTransaction(archive, work, &error))
        return reportFailure(failed, error);
    if (const QString line = printed(); !line.isEmpty())
        printLine(stdout, line);
    return ExitStatus::Done;
}

int addRule(const QCommandLineParser &parser, const Archive &archive)
{
    BankRule rule;
    rule.text = parser.value(u"contains"_s);
    rule.iban = parser.value(u"iban"_s);
    const QString sign = parser.value(u"sign"_s);
    if (!sign.isEmpty() && sign != u"entrate"_s && sign != u"uscite"_s)
        return reportRefusal(u"Segno non previsto: %1 (entrate o uscite)."_s.arg(sign));
    rule.sign = sign.isEmpty() ? 0 : (sign == u"entrate"_s ? 1 : -1);
    return writeAndTell(
        archive, u"Regola non salvata."_s,
        [&](const Connection &connection, QString *failure) {
            const std::optional<qint64> account =
                subAccountNamed(connection, parser.value(u"subaccount"_s), failure);
            if (!account)
                return false;
            rule.subAccount = *account;
            if (parser.isSet(u"bank"_s)) {
                const std::optional<qint64> bank = bankOption(connection, parser.value(u"bank"_s));
                if (!bank)
                    return false;
                rule.bank = *bank;
            }
            return saveBankRule(connection, rule, failure);
        },
        [&] { return QString::number(rule.id); });
}

int listRules(const Archive &archive)
{
    const Connection connection(archive, Connection::Mode::ReadOnly);
    QString error;
    const std::optional<QList<BankRule>> rules =
        connection.opened(&error) ? bankRules(connection.database(), &error) : std::nullopt;
    if (!rules)
        return reportFailure(u"Impossibile leggere le regole."_s, error);
    for (const BankRule &rule : *rules)
        printLine(stdout, u"%1\t%2\t%3 %4"_s.arg(rule.id).arg(rule.condition(),
                                                              QString::number(rule.subAccount),
                                                              rule.subAccountDescription));
    return ExitStatus::Done;
}

// A column option: a number from 1, or 0 when absent; nothing (told on stderr) when it is not.
std::optional<int> columnOption(const QCommandLineParser &parser, const QString &name,
                                bool required = false)
{
    if (!parser.isSet(name)) {
        if (!required)
            return 0;
        printLine(stderr, u"Indicare --%1."_s.arg(name));
        return std::nullopt;
    }
    bool number = false;
    const int column = parser.value(name).toInt(&number);
    if (number && column >= 1)
        return column;
    printLine(stderr, u"--%1: %2 non è un numero di colonna (si conta da 1)."_s.arg(
                          name, parser.value(name)));
    return std::nullopt;
}

std::optional<CsvProfile> profileOptions(const QCommandLineParser &parser)
{
    static const QHash<QString, QString> encodings{{u"utf-8"_s, u"UTF-8"_s},
                                                   {u"windows-1252"_s, u"Windows-1252"_s},
                                                   {u"iso-8859-15"_s, u"ISO-8859-15"_s}};
    CsvProfile profile;
    profile.name = parser.value(u"name"_s).trimmed();
    const QString encoding = parser.value(u"encoding"_s).toLower();
    if (parser.isSet(u"encoding"_s) && !encodings.contains(encoding)) {
        printLine(stderr, u"Codifica non prevista: %1 (utf-8, windows-1252 o iso-8859-15)."_s.arg(
                              parser.value(u"encoding"_s)));
        return std::nullopt;
    }
    profile.encoding = encodings.value(encoding, profile.encoding);
    const QString separator = parser.value(u"separator"_s);
    if (parser.isSet(u"separator"_s) && separator != u"tab"_s && separator.size() != 1) {
        printLine(stderr, u"Separatore non valido: %1 (un carattere, o tab)."_s.arg(separator));
        return std::nullopt;
    }
    if (!separator.isEmpty())
        profile.separator = separator == u"tab"_s ? QChar(u'\t') : separator.at(0);
    for (const auto &[option, target] : {std::pair(u"skip"_s, &profile.skippedRows),
                                         std::pair(u"skip-end"_s, &profile.skippedEndRows)}) {
        bool number = true;
        *target = parser.isSet(option) ? parser.value(option).toInt(&number) : 0;
        if (!number || *target < 0) {
            printLine(stderr,
                      u"--%1: %2 non è un numero di righe."_s.arg(option, parser.value(option)));
            return std::nullopt;
        }
    }
    if (parser.isSet(u"date-format"_s))
        profile.dateFormat = parser.value(u"date-format"_s);
    const std::optional<int> date = columnOption(parser, u"date-column"_s, true);
    const std::optional<int> value = columnOption(parser, u"value-date-column"_s);
    const std::optional<int> amount = columnOption(parser, u"amount-column"_s);
    const std::optional<int> debit = columnOption(parser, u"debit-column"_s);
    const std::optional<int> credit = columnOption(parser, u"credit-column"_s);
    const std::optional<int> text = columnOption(parser, u"description-column"_s, true);
    const std::optional<int> party = columnOption(parser, u"counterparty-column"_s);
    const std::optional<int> status = columnOption(parser, u"status-column"_s);
    if (!date || !value || !amount || !debit || !credit || !text || !party || !status)
        return std::nullopt;
    profile.dateColumn = *date;
    profile.valueDateColumn = *value;
    profile.amountColumn = *amount;
    profile.debitColumn = *debit;
    profile.creditColumn = *credit;
    profile.descriptionColumn = *text;
    profile.counterpartyColumn = *party;
    profile.statusColumn = *status;
    if (parser.isSet(u"ignore"_s))
        profile.ignoredTexts = parser.values(u"ignore"_s);
    profile.bookedStatuses = parser.values(u"status"_s);
    if (const QString problem = csvProfileProblem(profile); !problem.isEmpty()) {
        printLine(stderr, problem);
        return std::nullopt;
    }
    return profile;
}

int addProfile(const QCommandLineParser &parser, const Archive &archive)
{
    const std::optional<CsvProfile> profile = profileOptions(parser);
    if (!profile)
        return ExitStatus::Refused;
    return writeAndTell(
        archive, u"Profilo non salvato."_s,
        [&](const Connection &connection, QString *failure) {
            return saveCsvProfile(connection, *profile, failure);
        },
        [&] { return profile->name; });
}

QString profileLine(const CsvProfile &profile)
{
    const QString separator = profile.separator == u'\t' ? u"tab"_s : QString(profile.separator);
    QStringList parts{profile.name,
                      u"separatore "_s + separator,
                      profile.encoding,
                      u"salta %1"_s.arg(profile.skippedRows),
                      u"data %1"_s.arg(profile.dateFormat),
                      u"colonne data %1"_s.arg(profile.dateColumn)};
    if (profile.amountColumn > 0)
        parts << u"importo %1"_s.arg(profile.amountColumn);
    else
        parts << u"addebiti %1, accrediti %2"_s.arg(profile.debitColumn).arg(profile.creditColumn);
    parts << u"descrizione %1"_s.arg(profile.descriptionColumn);
    if (!profile.ignoredTexts.isEmpty())
        parts << u"ignora %1"_s.arg(profile.ignoredTexts.join(u", "_s));
    if (profile.statusColumn > 0)
        parts << u"stato %1 (%2)"_s.arg(profile.statusColumn)
                     .arg(profile.bookedStatuses.join(u", "_s));
    return parts.join(u"\t"_s);
}

int listProfiles(const Archive &archive)
{
    const Connection connection(archive, Connection::Mode::ReadOnly);
    QString error;
    const std::optional<QList<CsvProfile>> profiles =
        connection.opened(&error) ? csvProfiles(connection.database(), &error) : std::nullopt;
    if (!profiles)
        return reportFailure(u"Impossibile leggere i profili."_s, error);
    for (const CsvProfile &profile : *profiles)
        printLine(stdout, profileLine(profile));
    return ExitStatus::Done;
}

} // namespace

int importBankCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const bool dryRun = parser.isSet(u"dry-run"_s);
    InstanceLock lock;
    std::optional<ImportRequest> request = importRequest(parser, &status);
    if (!request)
        return status;
    if (!dryRun)
        if (const std::optional<int> refused = lockForWriting(lock, request->archive))
            return *refused;
    QString error;
    std::optional<QList<ReviewedMovement>> movements;
    std::optional<QList<BalanceCheck>> checks;
    {
        const Connection connection(request->archive, Connection::Mode::ReadOnly);
        if (!connection.opened(&error))
            return reportFailure(u"Impossibile aprire l'archivio."_s, error);
        movements = reviewStatement(connection.database(), request->bank,
                                    request->statements.chosen, &error);
        if (movements)
            checks = balanceChecks(connection.database(), request->bank, request->statements.chosen,
                                   *movements, &error);
    }
    if (!checks)
        return reportFailure(u"Impossibile leggere l'archivio."_s, error);
    for (const BankStatement &statement : request->statements.chosen)
        for (const QString &notice : statement.notices)
            printLine(stderr, u"Nota: "_s + notice);
    for (const BalanceCheck &check : std::as_const(*checks))
        if (!check.difference().isZero())
            printLine(stderr, u"Attenzione: "_s + check.text() + u'.');
    if (!dryRun && !bookMovements(request->archive, request->bank, request->statements.chosen,
                                  *movements, &error))
        return reportFailure(u"Nessun movimento registrato."_s, error);
    printOutcome(*request, *movements, *checks, parser.isSet(u"json"_s),
                 subAccountNames(request->archive));
    if (!dryRun) {
        QList<QDate> dates;
        for (const ReviewedMovement &item : std::as_const(*movements))
            if (item.entryId != 0 && !item.usesMatch())
                dates << item.movement.bookingDate;
        warnOfBrokenNumbering(request->archive, dates);
    }
    return ExitStatus::Done;
}

int bankRuleCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    const QString action = parser.positionalArguments().value(1);
    if (action == u"add"_s && parser.isSet(u"subaccount"_s))
        return addRule(parser, *archive);
    if (action == u"list"_s)
        return listRules(*archive);
    return reportRefusal(u"Uso: bank-rule add --contains TESTO --subaccount ID|DESCRIZIONE "
                         u"[--iban IBAN] [--sign entrate|uscite] [--bank ID|DESCRIZIONE], "
                         u"oppure bank-rule list."_s);
}

int bankAccountCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    const QString iban = parser.value(u"iban"_s);
    if (const QString problem = ibanProblem(iban); !problem.isEmpty())
        return reportRefusal(problem);
    qint64 bank = 0;
    return writeAndTell(
        *archive, u"IBAN non salvato."_s,
        [&](const Connection &connection, QString *failure) {
            const std::optional<qint64> chosen =
                bankOption(connection, parser.value(u"subaccount"_s));
            if (!chosen)
                return false;
            bank = *chosen;
            return setBankIban(connection, bank, iban, failure);
        },
        [&] { return u"%1\t%2"_s.arg(bank).arg(normalizedIban(iban)); });
}

int csvProfileCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    const QString action = parser.positionalArguments().value(1);
    if (action == u"add"_s && parser.isSet(u"name"_s))
        return addProfile(parser, *archive);
    if (action == u"list"_s)
        return listProfiles(*archive);
    if (action == u"remove"_s && parser.isSet(u"name"_s))
        return writeAndTell(
            *archive, u"Profilo non rimosso."_s,
            [&](const Connection &connection, QString *failure) {
                return removeCsvProfile(connection, parser.value(u"name"_s), failure);
            },
            [] { return QString(); });
    return reportRefusal(u"Uso: csv-profile add --name NOME ... | csv-profile list | "
                         u"csv-profile remove --name NOME."_s);
}
