#include "bankimport/StatementReaders.h"

#include "data/PatternFormatter.h"
#include "data/SqlText.h"

#include <QLocale>

#include <pugixml.hpp>

#include <cstring>
#include <string>
#include <string_view>

using namespace Qt::StringLiterals;

namespace {

// The part of an element's name after its namespace prefix: files write "Ntry" or "camt:Ntry".
const char *localName(const pugi::xml_node &node)
{
    const char *name = node.name();
    const char *colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

pugi::xml_node child(const pugi::xml_node &node, const char *name)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && std::strcmp(localName(c), name) == 0)
            return c;
    return {};
}

QList<pugi::xml_node> children(const pugi::xml_node &node, const char *name)
{
    QList<pugi::xml_node> found;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && std::strcmp(localName(c), name) == 0)
            found << c;
    return found;
}

// The element at the end of a path of names, or an empty node.
pugi::xml_node path(pugi::xml_node node, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        node = child(node, name);
    return node;
}

// The namespace the element's name is in, from its declaration on the element.
QString namespaceOf(const pugi::xml_node &element)
{
    const std::string_view name = element.name();
    const std::string_view local = localName(element);
    const std::string declaration =
        name == local ? "xmlns"
                      : "xmlns:" + std::string(name.substr(0, name.size() - local.size() - 1));
    return QString::fromUtf8(element.attribute(declaration.c_str()).value());
}

QString text(const pugi::xml_node &node)
{
    return QString::fromUtf8(node.text().get()).simplified();
}

// A decimal amount with a point, as ISO 20022 writes it; never negative there.
std::optional<Money> decimalAmount(const QString &text)
{
    static const QLocale c = QLocale::c();
    if (text.isEmpty() || text.contains(u',') || text.startsWith(u'-'))
        return std::nullopt;
    return Money::parseWholeCents(text, c);
}

// A date written as ISO date or date and time.
QDate isoDateOf(const pugi::xml_node &holder)
{
    const QString value = text(child(holder, "Dt")).isEmpty() ? text(child(holder, "DtTm"))
                                                              : text(child(holder, "Dt"));
    return dateFromIso(value.left(10));
}

// "Il file non è ...": a refusal naming where the fault is.
std::nullopt_t refuse(QString *error, const QString &where, const QString &what)
{
    *error = where + u": "_s + what + u'.';
    return std::nullopt;
}

struct Party {
    QString name;
    QString iban;
};

// The other party of a transaction: the debtor of money in, the creditor of money out.
Party counterpartyOf(const pugi::xml_node &transaction, bool credit)
{
    const pugi::xml_node parties = child(transaction, "RltdPties");
    const char *role = credit ? "Dbtr" : "Cdtr";
    const pugi::xml_node party = child(parties, role);
    // 001.02 names the party directly, later versions under Pty.
    QString name = text(child(party, "Nm"));
    if (name.isEmpty())
        name = text(path(party, {"Pty", "Nm"}));
    const QString iban =
        text(path(parties, {credit ? "DbtrAcct" : "CdtrAcct", "Id", "IBAN"})).remove(u' ');
    return {name, iban.toUpper()};
}

QString remittanceOf(const pugi::xml_node &transaction)
{
    QStringList lines;
    for (const pugi::xml_node &line : children(child(transaction, "RmtInf"), "Ustrd"))
        lines << text(line);
    QString remittance = lines.join(u' ').simplified();
    if (remittance.isEmpty())
        remittance = text(child(transaction, "AddtlTxInf"));
    return remittance;
}

// A transaction's own amount: TxDtls/Amt from 001.03 on, AmtDtls/TxAmt/Amt before.
std::optional<Money> transactionAmount(const pugi::xml_node &transaction)
{
    pugi::xml_node amount = child(transaction, "Amt");
    if (!amount)
        amount = path(transaction, {"AmtDtls", "TxAmt", "Amt"});
    return amount ? decimalAmount(text(amount)) : std::nullopt;
}

// The movements of one booked entry: one per transaction of a batch whose transactions carry
// amounts adding up to the entry's, else the entry as one movement.
QList<BankMovement> entryMovements(const pugi::xml_node &entry, const BankMovement &whole,
                                   bool credit)
{
    QList<pugi::xml_node> transactions;
    for (const pugi::xml_node &details : children(entry, "NtryDtls"))
        transactions << children(details, "TxDtls");
    const auto fill = [&](BankMovement &movement, const pugi::xml_node &transaction) {
        const Party party = counterpartyOf(transaction, credit);
        movement.counterparty = party.name;
        movement.counterpartyIban = party.iban;
        if (const QString remittance = remittanceOf(transaction); !remittance.isEmpty())
            movement.description = remittance;
    };
    if (transactions.size() == 1) {
        BankMovement movement = whole;
        fill(movement, transactions.first());
        return {movement};
    }
    QList<BankMovement> split;
    Money total;
    for (qsizetype i = 0; i < transactions.size(); ++i) {
        const std::optional<Money> amount = transactionAmount(transactions[i]);
        if (!amount)
            return {whole};
        BankMovement movement = whole;
        movement.amount = credit ? *amount : -*amount;
        total += movement.amount;
        fill(movement, transactions[i]);
        const QString ownReference = text(path(transactions[i], {"Refs", "AcctSvcrRef"}));
        movement.reference = ownReference.isEmpty() || ownReference == whole.reference
                                 ? whole.reference + u'/' + QString::number(i + 1)
                                 : ownReference;
        movement.place = whole.place + u", TxDtls "_s + QString::number(i + 1);
        split << movement;
    }
    return split.isEmpty() || total != whole.amount ? QList<BankMovement>{whole} : split;
}

std::optional<QList<BankMovement>> readEntry(const pugi::xml_node &entry, const QString &place,
                                             QString *error)
{
    const QString status = text(child(entry, "Sts")).isEmpty() ? text(path(entry, {"Sts", "Cd"}))
                                                               : text(child(entry, "Sts"));
    if (!status.isEmpty() && status != u"BOOK"_s)
        return QList<BankMovement>{};
    const pugi::xml_node amountNode = child(entry, "Amt");
    if (!amountNode)
        return refuse(error, place, u"importo mancante (Amt)"_s);
    const std::optional<Money> amount = decimalAmount(text(amountNode));
    if (!amount)
        return refuse(error, place, u"importo non valido (Amt): \"%1\""_s.arg(text(amountNode)));
    const QString indicator = text(child(entry, "CdtDbtInd"));
    if (indicator != u"CRDT"_s && indicator != u"DBIT"_s)
        return refuse(error, place, u"segno mancante o non valido (CdtDbtInd)"_s);
    const bool credit = indicator == u"CRDT"_s;
    BankMovement whole;
    whole.place = place;
    whole.amount = credit ? *amount : -*amount;
    whole.bookingDate = isoDateOf(child(entry, "BookgDt"));
    if (!whole.bookingDate.isValid())
        return refuse(error, place, u"data di contabilizzazione mancante o non valida (BookgDt)"_s);
    whole.valueDate = isoDateOf(child(entry, "ValDt"));
    if (child(entry, "ValDt") && !whole.valueDate.isValid())
        return refuse(error, place, u"data valuta non valida (ValDt)"_s);
    whole.description = text(child(entry, "AddtlNtryInf"));
    whole.reference = text(child(entry, "AcctSvcrRef"));
    if (whole.reference.isEmpty())
        whole.reference = text(child(entry, "NtryRef"));
    return entryMovements(entry, whole, credit);
}

std::optional<StatementBalance> readBalance(const pugi::xml_node &balance, const QString &place,
                                            QString *error)
{
    const std::optional<Money> amount = decimalAmount(text(child(balance, "Amt")));
    const QDate date = isoDateOf(child(balance, "Dt"));
    if (!amount || !date.isValid())
        return refuse(error, place, u"saldo con importo o data non validi"_s);
    const bool debit = text(child(balance, "CdtDbtInd")) == u"DBIT"_s;
    return StatementBalance{debit ? -*amount : *amount, date, false};
}

QString balanceCode(const pugi::xml_node &balance)
{
    return text(path(balance, {"Tp", "CdOrPrtry", "Cd"}));
}

bool readStatementBalances(const pugi::xml_node &statement, int index, BankStatement &into,
                           QString *error)
{
    const QList<pugi::xml_node> balances = children(statement, "Bal");
    for (qsizetype b = 0; b < balances.size(); ++b) {
        const QString code = balanceCode(balances[b]);
        const bool opening = code == u"OPBD"_s || code == u"PRCD"_s;
        if (!opening && code != u"CLBD"_s)
            continue;
        const std::optional<StatementBalance> balance =
            readBalance(balances[b], u"Stmt %1, Bal %2"_s.arg(index + 1).arg(b + 1), error);
        if (!balance)
            return false;
        if (opening && !into.opening)
            into.opening = StatementBalance{balance->amount, balance->date, code == u"PRCD"_s};
        else if (!opening)
            into.closing = StatementBalance{balance->amount, balance->date, true};
    }
    return true;
}

// A CSV amount in Italian notation: "1.234,56", "-12,50", "+3,00", with or without "€".
std::optional<Money> italianAmount(QString text)
{
    text.remove(u"€"_s).remove(u' ').remove(QChar(0x00A0));
    if (text.startsWith(u'+'))
        text.remove(0, 1);
    if (text.isEmpty())
        return std::nullopt;
    return Money::parseWholeCents(text, appLocale());
}

QString cell(const CsvRecord &record, int column)
{
    return column > 0 ? record.fields.value(column - 1).trimmed() : QString();
}

bool isBlank(const CsvRecord &record)
{
    for (const QString &field : record.fields)
        if (!field.trimmed().isEmpty())
            return false;
    return true;
}

std::optional<Money> csvAmount(const CsvRecord &record, const CsvProfile &profile,
                               const QString &place, QString *error)
{
    if (profile.amountColumn > 0) {
        const QString written = cell(record, profile.amountColumn);
        const std::optional<Money> amount = italianAmount(written);
        if (!amount)
            return refuse(error, place, u"importo mancante o non valido: \"%1\""_s.arg(written));
        return amount;
    }
    Money amount;
    for (const int column : {profile.creditColumn, profile.debitColumn}) {
        const QString written = cell(record, column);
        if (written.isEmpty())
            continue;
        const std::optional<Money> part = italianAmount(written);
        if (!part)
            return refuse(error, place, u"importo non valido: \"%1\""_s.arg(written));
        // Some banks write debits as negative numbers, others as positive ones.
        amount += column == profile.creditColumn ? part->abs() : -part->abs();
    }
    if (cell(record, profile.creditColumn).isEmpty() && cell(record, profile.debitColumn).isEmpty())
        return refuse(error, place, u"importo mancante"_s);
    return amount;
}

std::optional<BankMovement> csvMovement(const CsvRecord &record, const CsvProfile &profile,
                                        QString *error)
{
    const QString place = u"Riga %1"_s.arg(record.line);
    BankMovement movement;
    movement.place = place;
    const QString date = cell(record, profile.dateColumn);
    movement.bookingDate = QDate::fromString(date, profile.dateFormat);
    if (!movement.bookingDate.isValid())
        return refuse(
            error, place,
            u"data non valida: \"%1\" (formato atteso %2)"_s.arg(date, profile.dateFormat));
    if (profile.valueDateColumn > 0) {
        const QString value = cell(record, profile.valueDateColumn);
        movement.valueDate = QDate::fromString(value, profile.dateFormat);
        if (!value.isEmpty() && !movement.valueDate.isValid())
            return refuse(error, place, u"data valuta non valida: \"%1\""_s.arg(value));
    }
    const std::optional<Money> amount = csvAmount(record, profile, place, error);
    if (!amount)
        return std::nullopt;
    if (amount->isZero())
        return refuse(error, place, u"importo zero"_s);
    movement.amount = *amount;
    movement.description = cell(record, profile.descriptionColumn).simplified();
    movement.counterparty = cell(record, profile.counterpartyColumn).simplified();
    return movement;
}

} // namespace

StatementFormat recognisedFormat(const QByteArray &file)
{
    const QByteArray start = file.left(64).trimmed();
    return start.startsWith("<") || start.startsWith("\xEF\xBB\xBF<") ? StatementFormat::Camt053
                                                                      : StatementFormat::Csv;
}

std::optional<BankStatement> readCamt053(const QByteArray &file, QString *error)
{
    pugi::xml_document document;
    // The default parse reads no document type, so no external entity is ever fetched.
    const pugi::xml_parse_result parsed =
        document.load_buffer(file.constData(), size_t(file.size()));
    if (!parsed) {
        const int line = int(QByteArrayView(file).first(qsizetype(parsed.offset)).count('\n')) + 1;
        *error = u"Il file non è un documento XML valido (riga %1): %2."_s.arg(line).arg(
            QString::fromUtf8(parsed.description()));
        return std::nullopt;
    }
    const pugi::xml_node root = document.document_element();
    const QString space = namespaceOf(root);
    static const QString CamtSpace = u"urn:iso:std:iso:20022:tech:xsd:"_s;
    if (std::strcmp(localName(root), "Document") != 0 || !space.startsWith(CamtSpace)) {
        *error = u"Il file non è un messaggio ISO 20022 (elemento Document)."_s;
        return std::nullopt;
    }
    const QString message = space.mid(CamtSpace.size());
    const pugi::xml_node statements = child(root, "BkToCstmrStmt");
    if (!message.startsWith(u"camt.053."_s) || !statements) {
        *error = u"Il file è un messaggio %1, non un estratto conto camt.053."_s.arg(message);
        return std::nullopt;
    }
    BankStatement statement;
    const QList<pugi::xml_node> stmts = children(statements, "Stmt");
    if (stmts.isEmpty()) {
        *error = u"Il file non contiene alcun estratto (elemento Stmt)."_s;
        return std::nullopt;
    }
    for (qsizetype s = 0; s < stmts.size(); ++s) {
        if (!readStatementBalances(stmts[s], int(s), statement, error))
            return std::nullopt;
        const QList<pugi::xml_node> entries = children(stmts[s], "Ntry");
        for (qsizetype e = 0; e < entries.size(); ++e) {
            const QString place = stmts.size() == 1 ? u"Ntry %1"_s.arg(e + 1)
                                                    : u"Stmt %1, Ntry %2"_s.arg(s + 1).arg(e + 1);
            const std::optional<QList<BankMovement>> movements =
                readEntry(entries[e], place, error);
            if (!movements)
                return std::nullopt;
            statement.movements << *movements;
        }
    }
    return statement;
}

std::optional<BankStatement> readCsvStatement(const QByteArray &file, const CsvProfile &profile,
                                              QString *error)
{
    if (const QString problem = csvProfileProblem(profile); !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    const std::optional<QString> text = decodedText(file, profile.encoding, error);
    const std::optional<QList<CsvRecord>> records =
        text ? csvRecords(*text, profile.separator, error) : std::nullopt;
    if (!records)
        return std::nullopt;
    BankStatement statement;
    for (const CsvRecord &record : *records) {
        if (record.line <= profile.skippedRows || isBlank(record))
            continue;
        const std::optional<BankMovement> movement = csvMovement(record, profile, error);
        if (!movement)
            return std::nullopt;
        statement.movements << *movement;
    }
    return statement;
}
