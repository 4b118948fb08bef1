#include "cli/BankCommands.h"

#include "bankimport/BankImport.h"
#include "bankimport/BankRules.h"
#include "bankimport/StatementReaders.h"
#include "cli/CliSupport.h"
#include "data/InstanceLock.h"
#include "data/SqlText.h"
#include "journal/EntryFile.h"
#include "journal/JournalEntry.h"
#include "statements/BalanceJson.h"

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
    BankStatement statement;
};

std::optional<StatementFormat> formatOption(const QCommandLineParser &parser,
                                            const QByteArray &file)
{
    const QString format = parser.value(u"format"_s);
    if (format.isEmpty())
        return recognisedFormat(file);
    if (format == u"camt053"_s)
        return StatementFormat::Camt053;
    if (format == u"csv"_s)
        return StatementFormat::Csv;
    printLine(stderr, u"Formato non previsto: %1 (camt053 o csv)."_s.arg(format));
    return std::nullopt;
}

// The bank sub-account and the statement read with the format and profile asked for; nothing,
// with the exit status in *status, when either is wrong.
std::optional<ImportRequest> importRequest(const QCommandLineParser &parser, int *status)
{
    std::optional<Archive> archive = archiveOption(parser, status);
    if (!archive)
        return std::nullopt;
    *status = ExitStatus::Refused;
    const std::optional<QByteArray> file = inputFile(parser.value(u"file"_s));
    const std::optional<StatementFormat> format = file ? formatOption(parser, *file) : std::nullopt;
    if (!format)
        return std::nullopt;
    const Connection connection(*archive, Connection::Mode::ReadOnly);
    QString error;
    if (!connection.opened(&error)) {
        *status = reportFailure(u"Impossibile aprire l'archivio."_s, error);
        return std::nullopt;
    }
    const std::optional<qint64> bank = subAccountNamed(connection, parser.value(u"bank"_s), &error);
    if (!bank) {
        printLine(stderr, u"Conto della banca: %1."_s.arg(error));
        return std::nullopt;
    }
    std::optional<BankStatement> statement;
    if (*format == StatementFormat::Camt053) {
        statement = readCamt053(*file, &error);
    } else if (!parser.isSet(u"profile"_s)) {
        error = u"Per un file CSV indicare il profilo con --profile."_s;
    } else if (const std::optional<CsvProfile> profile =
                   csvProfileNamed(connection.database(), parser.value(u"profile"_s), &error)) {
        statement = readCsvStatement(*file, *profile, &error);
    }
    if (!statement) {
        printLine(stderr, error + u" Nessun movimento importato."_s);
        return std::nullopt;
    }
    return ImportRequest{*archive, *bank, std::move(*statement)};
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
        {u"stato"_s, item.stateText()},
        {u"sottoconto"_s, item.counterpart != 0 ? QJsonValue(item.counterpart) : QJsonValue()},
        {u"sottocontoDescrizione"_s, textOrNull(names.value(item.counterpart))},
        {u"motivo"_s, textOrNull(item.reason)},
    };
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

struct Counts {
    int booked = 0;
    int toBook = 0; // with a counterpart, left by a dry run
    int alreadyImported = 0;
    int refused = 0;
    int unassigned = 0;
};

Counts countsOf(const QList<ReviewedMovement> &movements)
{
    Counts counts;
    for (const ReviewedMovement &item : movements) {
        if (item.entryId != 0)
            ++counts.booked;
        else if (item.alreadyImported)
            ++counts.alreadyImported;
        else if (!item.refusal.isEmpty())
            ++counts.refused;
        else if (item.counterpart != 0)
            ++counts.toBook;
        else
            ++counts.unassigned;
    }
    return counts;
}

void printOutcome(const QList<ReviewedMovement> &movements, const QList<BalanceCheck> &checks,
                  bool json, const QHash<qint64, QString> &names)
{
    const Counts counts = countsOf(movements);
    if (json) {
        QJsonArray list;
        for (const ReviewedMovement &item : movements)
            list << movementJson(item, names);
        QJsonArray balances;
        for (const BalanceCheck &check : checks)
            balances << balanceJson(check);
        const QJsonObject object{
            {u"movimenti"_s, list},           {u"saldi"_s, balances},
            {u"registrati"_s, counts.booked}, {u"giaImportati"_s, counts.alreadyImported},
            {u"rifiutati"_s, counts.refused}, {u"daAssegnare"_s, counts.unassigned}};
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
    }
    const QString done = counts.toBook > 0 ? u"Da registrare: %1"_s.arg(counts.toBook)
                                           : u"Registrati: %1"_s.arg(counts.booked);
    printLine(stdout, done + u"; già importati: %1; rifiutati: %2; da assegnare: %3."_s
                                 .arg(counts.alreadyImported)
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

int addRule(const QCommandLineParser &parser, const Archive &archive)
{
    BankRule rule;
    rule.text = parser.value(u"contains"_s);
    rule.iban = parser.value(u"iban"_s);
    const QString sign = parser.value(u"sign"_s);
    if (!sign.isEmpty() && sign != u"entrate"_s && sign != u"uscite"_s)
        return reportRefusal(u"Segno non previsto: %1 (entrate o uscite)."_s.arg(sign));
    rule.sign = sign.isEmpty() ? 0 : (sign == u"entrate"_s ? 1 : -1);
    InstanceLock lock;
    if (const std::optional<int> refused = lockForWriting(lock, archive))
        return *refused;
    QString error;
    const bool saved = inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            const std::optional<qint64> account =
                subAccountNamed(connection, parser.value(u"subaccount"_s), failure);
            if (!account)
                return false;
            rule.subAccount = *account;
            return saveBankRule(connection, rule, failure);
        },
        &error);
    if (!saved)
        return reportFailure(u"Regola non salvata."_s, error);
    printLine(stdout, QString::number(rule.id));
    return ExitStatus::Done;
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
        movements =
            reviewStatement(connection.database(), request->bank, request->statement, &error);
        if (movements)
            checks = balanceChecks(connection.database(), request->bank, request->statement,
                                   *movements, &error);
    }
    if (!checks)
        return reportFailure(u"Impossibile leggere l'archivio."_s, error);
    for (const BalanceCheck &check : std::as_const(*checks))
        if (!check.difference().isZero())
            printLine(stderr, u"Attenzione: "_s + check.text() + u'.');
    if (!dryRun && !bookMovements(request->archive, request->bank, *movements, &error))
        return reportFailure(u"Nessun movimento registrato."_s, error);
    printOutcome(*movements, *checks, parser.isSet(u"json"_s), subAccountNames(request->archive));
    if (!dryRun) {
        QList<QDate> dates;
        for (const ReviewedMovement &item : std::as_const(*movements))
            if (item.entryId != 0)
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
                         u"[--iban IBAN] [--sign entrate|uscite], oppure bank-rule list."_s);
}
