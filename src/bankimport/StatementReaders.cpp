#include "bankimport/StatementReaders.h"

#include "bankimport/BankRules.h"
#include "bankimport/SpreadsheetRows.h"
#include "data/ItalianCollation.h"
#include "data/JournalGate.h"
#include "data/PatternFormatter.h"
#include "data/SqlText.h"
#include "data/XmlElements.h"

#include <QLocale>
#include <QRegularExpression>

#include <pugixml.hpp>

#include <cstring>
#include <string>
#include <string_view>

using namespace Qt::StringLiterals;

namespace {

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

QString currencyOf(const pugi::xml_node &amount)
{
    return QString::fromUtf8(amount.attribute("Ccy").value()).trimmed().toUpper();
}

// "Il file non è ...": a refusal naming where the fault is.
std::nullopt_t refuse(QString *error, const QString &where, const QString &what)
{
    *error = where + u": "_s + what + u'.';
    return std::nullopt;
}

bool refused(QString *error, const QString &where, const QString &what)
{
    refuse(error, where, what);
    return false;
}

// A decimal amount with a point, as ISO 20022 writes it; never negative there. Digits beyond the
// cent other than zeros make it no amount the books keep.
std::optional<Money> decimalAmount(const pugi::xml_node &amount, const QString &where,
                                   const QString &element, QString *error)
{
    static const QLocale c = QLocale::c();
    const QString written = text(amount);
    bool beyondCent = false;
    const std::optional<Money> value =
        written.isEmpty() || written.contains(u',') || written.startsWith(u'-')
            ? std::nullopt
            : Money::parseWholeCents(written, c, &beyondCent);
    if (value)
        return value;
    if (beyondCent)
        return refuse(error, where,
                      u"importo con frazioni di centesimo (%1): \"%2\"; i conti tengono i "
                      u"centesimi interi"_s.arg(element, written));
    return refuse(error, where, u"importo non valido (%1): \"%2\""_s.arg(element, written));
}

// A date written as ISO date or date and time.
QDate isoDateOf(const pugi::xml_node &holder)
{
    const QString value = text(xmlChild(holder, "Dt")).isEmpty() ? text(xmlChild(holder, "DtTm"))
                                                                 : text(xmlChild(holder, "Dt"));
    return dateFromIso(value.left(10));
}

QDate isoDateTimeOf(const pugi::xml_node &node)
{
    return dateFromIso(text(node).left(10));
}

// What a Stmt says of itself, for the entries' dates when they lack their own and for the
// messages.
struct StatementContext {
    QString place;    // "Stmt 2, " when the file has several, else empty
    QString currency; // the account's
    QDate created;    // the statement's CreDtTm
    QDate periodEnd;  // its FrToDt/ToDtTm
    QDate closing;    // its closing balance's date
    QDate message;    // the message's GrpHdr/CreDtTm
};

struct Party {
    QString name;
    QString iban;
};

// The other party of a transaction: the debtor of money in, the creditor of money out.
Party counterpartyOf(const pugi::xml_node &transaction, bool credit)
{
    const pugi::xml_node parties = xmlChild(transaction, "RltdPties");
    const char *role = credit ? "Dbtr" : "Cdtr";
    const pugi::xml_node party = xmlChild(parties, role);
    // 001.02 names the party directly, later versions under Pty.
    QString name = text(xmlChild(party, "Nm"));
    if (name.isEmpty())
        name = text(xmlPath(party, {"Pty", "Nm"}));
    const QString iban =
        text(xmlPath(parties, {credit ? "DbtrAcct" : "CdtrAcct", "Id", "IBAN"})).remove(u' ');
    return {name, iban.toUpper()};
}

// The words a transaction says of itself: the unstructured remittance, else the structured one
// (the creditor's reference and the additional remittance lines), else its additional
// information.
QString remittanceOf(const pugi::xml_node &transaction)
{
    const pugi::xml_node remittance = xmlChild(transaction, "RmtInf");
    QStringList lines;
    for (const pugi::xml_node &line : xmlChildren(remittance, "Ustrd"))
        lines << text(line);
    if (lines.join(u' ').simplified().isEmpty()) {
        lines.clear();
        for (const pugi::xml_node &structured : xmlChildren(remittance, "Strd")) {
            if (const QString reference = text(xmlPath(structured, {"CdtrRefInf", "Ref"}));
                !reference.isEmpty())
                lines << u"Rif. creditore "_s + reference;
            for (const pugi::xml_node &line : xmlChildren(structured, "AddtlRmtInf"))
                lines << text(line);
        }
    }
    const QString said = lines.join(u' ').simplified();
    return said.isEmpty() ? text(xmlChild(transaction, "AddtlTxInf")) : said;
}

// The amount of a holder (an entry or a transaction) in the account's currency: its own when it
// is in that currency, else a counter-value, transaction or instructed amount in it.
std::optional<Money> amountInCurrency(const pugi::xml_node &holder, const QString &currency,
                                      const QString &where, QString *error, bool *found)
{
    *found = false;
    const pugi::xml_node own = xmlChild(holder, "Amt");
    if (own && (currencyOf(own).isEmpty() || currencyOf(own) == currency)) {
        *found = true;
        return decimalAmount(own, where, u"Amt"_s, error);
    }
    const pugi::xml_node details = xmlChild(holder, "AmtDtls");
    for (const char *kind : {"CntrValAmt", "TxAmt", "InstdAmt"}) {
        const pugi::xml_node amount = xmlPath(details, {kind, "Amt"});
        if (amount && currencyOf(amount) == currency) {
            *found = true;
            return decimalAmount(amount, where, u"AmtDtls/%1"_s.arg(QString::fromUtf8(kind)),
                                 error);
        }
    }
    return std::nullopt;
}

// The movements of one booked entry: one per transaction of a batch whose transactions carry
// amounts in the account's currency adding up to the entry's, else the entry as one movement.
std::optional<QList<BankMovement>> entryMovements(const pugi::xml_node &entry,
                                                  const BankMovement &whole, bool credit,
                                                  const StatementContext &context, QString *error)
{
    QList<pugi::xml_node> transactions;
    for (const pugi::xml_node &details : xmlChildren(entry, "NtryDtls"))
        transactions << xmlChildren(details, "TxDtls");
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
        return QList<BankMovement>{movement};
    }
    QList<BankMovement> split;
    Money total;
    for (qsizetype i = 0; i < transactions.size(); ++i) {
        bool found = false;
        const QString where = whole.place + u", TxDtls "_s + QString::number(i + 1);
        const std::optional<Money> amount =
            amountInCurrency(transactions[i], context.currency, where, error, &found);
        if (found && !amount)
            return std::nullopt;
        if (!amount) {
            split.clear();
            break;
        }
        BankMovement movement = whole;
        movement.amount = credit ? *amount : -*amount;
        total += movement.amount;
        fill(movement, transactions[i]);
        const QString ownReference = text(xmlPath(transactions[i], {"Refs", "AcctSvcrRef"}));
        // Earlier versions kept a batch's transactions under these references.
        movement.reference = ownReference.isEmpty() || ownReference == whole.reference
                                 ? whole.reference + u'/' + QString::number(i + 1)
                                 : ownReference;
        movement.place = where;
        split << movement;
    }
    if (!split.isEmpty() && total == whole.amount)
        return split;
    // A batch told as one movement: how many operations it holds.
    const int count = std::max(int(transactions.size()),
                               text(xmlPath(entry, {"NtryDtls", "Btch", "NbOfTxs"})).toInt());
    BankMovement movement = whole;
    if (count > 1 && movement.description.isEmpty())
        movement.description = u"Distinta di %1 operazioni"_s.arg(count);
    return QList<BankMovement>{movement};
}

// The date of an entry: its booking date, else its value date, else the statement's.
std::optional<QDate> entryDate(const pugi::xml_node &entry, const StatementContext &context,
                               const QString &place, BankMovement &movement, QString *error)
{
    if (const pugi::xml_node booked = xmlChild(entry, "BookgDt")) {
        const QDate date = isoDateOf(booked);
        if (!date.isValid())
            return refuse(error, place, u"data di contabilizzazione non valida (BookgDt)"_s);
        return date;
    }
    if (movement.valueDate.isValid()) {
        movement.note = u"data dalla valuta"_s;
        return movement.valueDate;
    }
    for (const QDate &date :
         {context.created, context.periodEnd, context.closing, context.message}) {
        if (date.isValid()) {
            movement.note = u"data dell'estratto"_s;
            return date;
        }
    }
    return refuse(error, place,
                  u"data mancante: né la data di contabilizzazione (BookgDt), né la valuta "
                  u"(ValDt), né le date dell'estratto"_s);
}

// The entry's status: booked ("BOOK", or no status at all), or still to come.
bool isBooked(const pugi::xml_node &entry)
{
    const QString status = text(xmlChild(entry, "Sts")).isEmpty()
                               ? text(xmlPath(entry, {"Sts", "Cd"}))
                               : text(xmlChild(entry, "Sts"));
    return status.isEmpty() || status == u"BOOK"_s;
}

// Every movement gets a text the books can keep: its own, else its counterparty's name, else a
// description of what it is; cut to the length of an entry's text, with a notice.
void finishText(BankMovement &movement, QStringList &notices)
{
    if (movement.description.simplified().isEmpty())
        movement.description = movement.counterparty;
    if (movement.description.simplified().isEmpty())
        movement.description =
            u"Movimento bancario"_s +
            (movement.reference.isEmpty() ? QString() : u" rif. "_s + movement.reference);
    if (movement.reversal)
        movement.description = u"Storno: "_s + movement.description;
    movement.description = movement.description.simplified();
    if (movement.description.size() > EntryTextLength) {
        movement.description = movement.description.left(EntryTextLength);
        notices << u"%1: descrizione accorciata a %2 caratteri."_s.arg(movement.place)
                       .arg(EntryTextLength);
    }
}

bool readEntry(const pugi::xml_node &entry, const QString &place, const StatementContext &context,
               BankStatement &into, QString *error)
{
    const pugi::xml_node amountNode = xmlChild(entry, "Amt");
    if (!amountNode)
        return refused(error, place, u"importo mancante (Amt)"_s);
    bool found = false;
    const std::optional<Money> amount =
        amountInCurrency(entry, context.currency, place, error, &found);
    if (found && !amount)
        return false;
    if (!amount)
        return refused(error, place,
                       u"nessun importo nella valuta del conto (%1): Amt è in %2 e i dettagli "
                       u"(AmtDtls) non ne danno il controvalore"_s.arg(context.currency,
                                                                       currencyOf(amountNode)));
    const QString indicator = text(xmlChild(entry, "CdtDbtInd"));
    if (indicator != u"CRDT"_s && indicator != u"DBIT"_s)
        return refused(error, place, u"segno mancante o non valido (CdtDbtInd)"_s);
    const bool credit = indicator == u"CRDT"_s;
    BankMovement whole;
    whole.place = place;
    whole.amount = credit ? *amount : -*amount;
    whole.valueDate = isoDateOf(xmlChild(entry, "ValDt"));
    if (xmlChild(entry, "ValDt") && !whole.valueDate.isValid())
        return refused(error, place, u"data valuta non valida (ValDt)"_s);
    const std::optional<QDate> date = entryDate(entry, context, place, whole, error);
    if (!date)
        return false;
    whole.bookingDate = *date;
    whole.description = text(xmlChild(entry, "AddtlNtryInf"));
    whole.reference = text(xmlChild(entry, "AcctSvcrRef"));
    if (whole.reference.isEmpty())
        whole.reference = text(xmlChild(entry, "NtryRef"));
    whole.reversal = text(xmlChild(entry, "RvslInd")).compare(u"true"_s, Qt::CaseInsensitive) == 0;
    const std::optional<QList<BankMovement>> movements =
        entryMovements(entry, whole, credit, context, error);
    if (!movements)
        return false;
    for (BankMovement movement : *movements) {
        finishText(movement, into.notices);
        if (!isBooked(entry)) {
            into.waiting << movement;
        } else if (movement.amount.isZero()) {
            into.notices << u"%1: importo zero, non registrato."_s.arg(movement.place);
        } else {
            into.movements << movement;
        }
    }
    return true;
}

std::optional<StatementBalance> readBalance(const pugi::xml_node &balance, const QString &place,
                                            QString *error)
{
    const std::optional<Money> amount =
        decimalAmount(xmlChild(balance, "Amt"), place, u"Bal/Amt"_s, error);
    if (!amount)
        return std::nullopt;
    const QDate date = isoDateOf(xmlChild(balance, "Dt"));
    if (!date.isValid())
        return refuse(error, place, u"saldo con data non valida"_s);
    const bool debit = text(xmlChild(balance, "CdtDbtInd")) == u"DBIT"_s;
    return StatementBalance{debit ? -*amount : *amount, date, false};
}

QString balanceCode(const pugi::xml_node &balance)
{
    return text(xmlPath(balance, {"Tp", "CdOrPrtry", "Cd"}));
}

// The opening and closing booked balances; one in another currency than the account's is not
// compared, with a notice.
bool readStatementBalances(const pugi::xml_node &statement, const StatementContext &context,
                           BankStatement &into, QString *error)
{
    const QList<pugi::xml_node> balances = xmlChildren(statement, "Bal");
    for (qsizetype b = 0; b < balances.size(); ++b) {
        const QString code = balanceCode(balances[b]);
        const bool opening = code == u"OPBD"_s || code == u"PRCD"_s;
        if (!opening && code != u"CLBD"_s)
            continue;
        const QString place = context.place + u"Bal %1"_s.arg(b + 1);
        const QString currency = currencyOf(xmlChild(balances[b], "Amt"));
        if (!currency.isEmpty() && currency != context.currency) {
            into.notices << u"%1: saldo %2 in %3, non confrontato con i conti."_s.arg(place, code,
                                                                                      currency);
            continue;
        }
        const std::optional<StatementBalance> balance = readBalance(balances[b], place, error);
        if (!balance)
            return false;
        if (opening && !into.opening)
            into.opening = StatementBalance{balance->amount, balance->date, code == u"PRCD"_s};
        else if (!opening)
            into.closing = StatementBalance{balance->amount, balance->date, true};
    }
    return true;
}

// The account's currency: as the statement names it, else that of its amounts.
QString accountCurrency(const pugi::xml_node &statement)
{
    if (const QString named = text(xmlPath(statement, {"Acct", "Ccy"})); !named.isEmpty())
        return named.toUpper();
    for (const pugi::xml_node &entry : xmlChildren(statement, "Ntry"))
        if (const QString currency = currencyOf(xmlChild(entry, "Amt")); !currency.isEmpty())
            return currency;
    for (const pugi::xml_node &balance : xmlChildren(statement, "Bal"))
        if (const QString currency = currencyOf(xmlChild(balance, "Amt")); !currency.isEmpty())
            return currency;
    return u"EUR"_s;
}

std::optional<BankStatement> readStatement(const pugi::xml_node &statement, const QString &place,
                                           const QDate &messageDate, QString *error)
{
    BankStatement read;
    const pugi::xml_node account = xmlPath(statement, {"Acct", "Id"});
    read.account = text(xmlChild(account, "IBAN"));
    if (read.account.isEmpty())
        read.account = text(xmlPath(account, {"Othr", "Id"}));
    StatementContext context{place,
                             accountCurrency(statement),
                             isoDateTimeOf(xmlChild(statement, "CreDtTm")),
                             isoDateTimeOf(xmlPath(statement, {"FrToDt", "ToDtTm"})),
                             QDate(),
                             messageDate};
    read.currency = context.currency;
    read.from = isoDateTimeOf(xmlPath(statement, {"FrToDt", "FrDtTm"}));
    read.to = context.periodEnd;
    if (!readStatementBalances(statement, context, read, error))
        return std::nullopt;
    if (read.closing)
        context.closing = read.closing->date;
    const QList<pugi::xml_node> entries = xmlChildren(statement, "Ntry");
    for (qsizetype e = 0; e < entries.size(); ++e)
        if (!readEntry(entries[e], place + u"Ntry %1"_s.arg(e + 1), context, read, error))
            return std::nullopt;
    return read;
}

// The line (from 1) of a code unit of UTF-16 text.
int utf16LineAt(QStringView text, qsizetype at)
{
    return int(text.first(at).count(u'\n')) + 1;
}

// The file's text as UTF-8, whatever encoding it declares or marks; bytes its encoding does not
// have refuse it, naming their line.
std::optional<QByteArray> xmlAsUtf8(const QByteArray &file, QString *error)
{
    const bool littleEndian = file.startsWith("\xFF\xFE") || file.startsWith(QByteArray("<\0", 2));
    const bool bigEndian = file.startsWith("\xFE\xFF") || file.startsWith(QByteArray("\0<", 2));
    if (littleEndian || bigEndian) {
        const qsizetype start = file.startsWith("\xFF\xFE") || file.startsWith("\xFE\xFF") ? 2 : 0;
        QString decoded(qsizetype((file.size() - start) / 2), Qt::Uninitialized);
        for (qsizetype i = 0; i < decoded.size(); ++i) {
            const auto high = quint8(file[start + 2 * i + (littleEndian ? 1 : 0)]);
            const auto low = quint8(file[start + 2 * i + (littleEndian ? 0 : 1)]);
            decoded[i] = QChar(char16_t(high << 8 | low));
        }
        for (qsizetype i = 0; i < decoded.size(); ++i) {
            const QChar c = decoded[i];
            const bool paired = c.isHighSurrogate()
                                    ? i + 1 < decoded.size() && decoded[i + 1].isLowSurrogate()
                                    : !c.isLowSurrogate();
            if (!paired) {
                *error = u"Il file non è nella codifica UTF-16 (riga %1)."_s.arg(
                    utf16LineAt(decoded, i));
                return std::nullopt;
            }
            i += c.isHighSurrogate() ? 1 : 0;
        }
        return decoded.toUtf8();
    }
    static const QRegularExpression declared(
        u"^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([A-Za-z0-9._-]+)[\"']"_s);
    const QString encoding =
        declared.match(QString::fromLatin1(file.left(200))).captured(1).toUpper();
    static const QStringList westernEuropean{u"ISO-8859-1"_s, u"LATIN1"_s, u"WINDOWS-1252"_s,
                                             u"CP1252"_s};
    const QString reading = westernEuropean.contains(encoding) ? u"Windows-1252"_s
                            : encoding == u"ISO-8859-15"_s     ? u"ISO-8859-15"_s
                                                               : u"UTF-8"_s;
    const std::optional<QString> text = decodedText(file, reading, error);
    if (!text)
        return std::nullopt;
    return text->toUtf8();
}

// Statement text with the fields of a CSV or spreadsheet row.
QString cell(const CsvRecord &record, int column)
{
    return column > 0 ? record.fields.value(column - 1).trimmed() : QString();
}

QVariant typedCell(const CsvRecord &record, int column)
{
    return column > 0 ? record.typed.value(column - 1) : QVariant();
}

bool isBlank(const CsvRecord &record)
{
    for (const QString &field : record.fields)
        if (!field.trimmed().isEmpty())
            return false;
    return true;
}

// Whether any field of the row holds one of the texts, without regard to case or accents.
bool holdsAnyOf(const CsvRecord &record, const QStringList &texts)
{
    for (const QString &wanted : texts) {
        const QString folded = foldedForMatching(wanted.trimmed());
        if (folded.isEmpty())
            continue;
        for (const QString &field : record.fields)
            if (containsIgnoringAccents(field, wanted.trimmed(), folded))
                return true;
    }
    return false;
}

// Whether the status is one of those booked, written as it is (without regard to case or
// accents): "NOT APPROVED" is not "APPROVED".
bool isStatusOf(const QString &status, const QStringList &booked)
{
    const QString folded = foldedForMatching(status.simplified());
    return std::any_of(booked.cbegin(), booked.cend(), [&](const QString &value) {
        return foldedForMatching(value.simplified()) == folded;
    });
}

// A CSV amount in Italian notation: "1.234,56", "-12,50", "+3,00", with or without "€"; or the
// number a spreadsheet stores.
std::optional<Money> rowAmount(const CsvRecord &record, int column, const QString &place,
                               QString *error)
{
    if (const QVariant typed = typedCell(record, column);
        typed.metaType() == QMetaType::fromType<Money>())
        return typed.value<Money>();
    QString written = cell(record, column);
    written.remove(u"€"_s).remove(u' ').remove(QChar(0x00A0)).remove(QChar(0x202F));
    if (written.startsWith(u'+'))
        written.remove(0, 1);
    bool beyondCent = false;
    const std::optional<Money> amount =
        written.isEmpty() ? std::nullopt
                          : Money::parseWholeCents(written, appLocale(), &beyondCent);
    if (!amount && beyondCent)
        return refuse(error, place,
                      u"importo con frazioni di centesimo: \"%1\"; i conti tengono i centesimi "
                      u"interi"_s.arg(cell(record, column)));
    if (!amount)
        return refuse(error, place,
                      u"importo mancante o non valido: \"%1\""_s.arg(cell(record, column)));
    return amount;
}

std::optional<Money> csvAmount(const CsvRecord &record, const CsvProfile &profile,
                               const QString &place, QString *error)
{
    if (profile.amountColumn > 0)
        return rowAmount(record, profile.amountColumn, place, error);
    Money amount;
    for (const int column : {profile.creditColumn, profile.debitColumn}) {
        if (cell(record, column).isEmpty())
            continue;
        const std::optional<Money> part = rowAmount(record, column, place, error);
        if (!part)
            return std::nullopt;
        // Some banks write debits as negative numbers, others as positive ones.
        amount += column == profile.creditColumn ? part->abs() : -part->abs();
    }
    if (cell(record, profile.creditColumn).isEmpty() && cell(record, profile.debitColumn).isEmpty())
        return refuse(error, place, u"importo mancante"_s);
    return amount;
}

QDate rowDate(const CsvRecord &record, int column, const QString &pattern)
{
    if (const QVariant typed = typedCell(record, column); typed.typeId() == QMetaType::QDate)
        return typed.toDate();
    return statementDate(cell(record, column), pattern);
}

std::optional<BankMovement> csvMovement(const CsvRecord &record, const CsvProfile &profile,
                                        QString *error)
{
    const QString place = u"Riga %1"_s.arg(record.line);
    BankMovement movement;
    movement.place = place;
    movement.bookingDate = rowDate(record, profile.dateColumn, profile.dateFormat);
    if (!movement.bookingDate.isValid())
        return refuse(error, place,
                      u"data non valida: \"%1\" (formato atteso %2)"_s.arg(
                          cell(record, profile.dateColumn), profile.dateFormat));
    if (profile.valueDateColumn > 0) {
        movement.valueDate = rowDate(record, profile.valueDateColumn, profile.dateFormat);
        if (!cell(record, profile.valueDateColumn).isEmpty() && !movement.valueDate.isValid())
            return refuse(
                error, place,
                u"data valuta non valida: \"%1\""_s.arg(cell(record, profile.valueDateColumn)));
    }
    const std::optional<Money> amount = csvAmount(record, profile, place, error);
    if (!amount)
        return std::nullopt;
    movement.amount = *amount;
    movement.description = cell(record, profile.descriptionColumn).simplified();
    movement.counterparty = cell(record, profile.counterpartyColumn).simplified();
    return movement;
}

// The movements of the rows of a CSV file or spreadsheet, read with the profile.
std::optional<BankStatement> statementOfRows(const QList<CsvRecord> &records,
                                             const CsvProfile &profile, QString *error)
{
    // An export of an Italian bank names no currency: its accounts are in euro.
    BankStatement statement;
    statement.currency = u"EUR"_s;
    QList<CsvRecord> rows;
    for (const CsvRecord &record : records)
        if (record.line > profile.skippedRows && !isBlank(record))
            rows << record;
    rows = rows.first(std::max<qsizetype>(0, rows.size() - profile.skippedEndRows));
    int ignored = 0;
    for (const CsvRecord &record : std::as_const(rows)) {
        if (holdsAnyOf(record, profile.ignoredTexts)) {
            ++ignored;
            continue;
        }
        const bool booked = profile.statusColumn <= 0 ||
                            isStatusOf(cell(record, profile.statusColumn), profile.bookedStatuses);
        QString failure;
        std::optional<BankMovement> movement = csvMovement(record, profile, &failure);
        if (!movement && booked) {
            *error = failure;
            return std::nullopt;
        }
        if (!movement) {
            statement.notices << u"Riga %1: movimento non contabilizzato (%2), non letto."_s
                                     .arg(record.line)
                                     .arg(cell(record, profile.statusColumn));
            continue;
        }
        finishText(*movement, statement.notices);
        if (!booked) {
            movement->note = cell(record, profile.statusColumn);
            statement.waiting << *movement;
        } else if (movement->amount.isZero()) {
            statement.notices << u"%1: importo zero, non registrato."_s.arg(movement->place);
        } else {
            statement.movements << *movement;
        }
    }
    if (ignored > 0)
        statement.notices << u"Righe ignorate perché contengono %1: %2."_s
                                 .arg(profile.ignoredTexts.join(u", "_s))
                                 .arg(ignored);
    return statement;
}

} // namespace

QString BankStatement::caption() const
{
    QStringList parts;
    static const QRegularExpression ibanShape(u"^[A-Z]{2}[0-9]{2}"_s);
    if (!account.isEmpty())
        parts << (ibanShape.match(account).hasMatch() ? u"IBAN "_s : u"conto "_s) + account;
    if (!currency.isEmpty())
        parts << currency;
    if (from.isValid() && to.isValid())
        parts << u"dal %1 al %2"_s.arg(from.toString(u"dd/MM/yyyy"_s),
                                       to.toString(u"dd/MM/yyyy"_s));
    else if (to.isValid())
        parts << u"al %1"_s.arg(to.toString(u"dd/MM/yyyy"_s));
    return parts.join(u", "_s);
}

StatementFormat recognisedFormat(const QByteArray &file)
{
    if (file.startsWith("PK\x03\x04"))
        return StatementFormat::Xlsx;
    const QByteArray start = file.left(64).trimmed();
    const bool xml = start.startsWith("<") || start.startsWith("\xEF\xBB\xBF<") ||
                     file.startsWith("\xFF\xFE") || file.startsWith("\xFE\xFF") ||
                     file.startsWith(QByteArray("<\0", 2)) || file.startsWith(QByteArray("\0<", 2));
    return xml ? StatementFormat::Camt053 : StatementFormat::Csv;
}

QString unreadableStatementFile(const QByteArray &file)
{
    if (file.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return u"Il file è una cartella di lavoro Excel nel vecchio formato .xls, che il programma "
               u"non legge: esportare l'estratto conto in CSV o XLSX."_s;
    return {};
}

std::optional<QList<BankStatement>> readCamt053(const QByteArray &file, QString *error)
{
    const std::optional<QByteArray> utf8 = xmlAsUtf8(file, error);
    if (!utf8)
        return std::nullopt;
    pugi::xml_document document;
    // The document type is read only to refuse it: no entity is ever expanded or fetched.
    const pugi::xml_parse_result parsed =
        document.load_buffer(utf8->constData(), size_t(utf8->size()),
                             pugi::parse_default | pugi::parse_doctype, pugi::encoding_utf8);
    if (!parsed) {
        const int line = int(QByteArrayView(*utf8).first(qsizetype(parsed.offset)).count('\n')) + 1;
        *error = u"Il file non è un documento XML valido (riga %1): %2."_s.arg(line).arg(
            QString::fromUtf8(parsed.description()));
        return std::nullopt;
    }
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_doctype) {
            *error = u"Il file contiene una dichiarazione DOCTYPE, che un estratto conto non ha: "
                     u"non viene letto."_s;
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
    const pugi::xml_node statements = xmlChild(root, "BkToCstmrStmt");
    if (!message.startsWith(u"camt.053."_s) || !statements) {
        *error = u"Il file è un messaggio %1, non un estratto conto camt.053."_s.arg(message);
        return std::nullopt;
    }
    const QList<pugi::xml_node> stmts = xmlChildren(statements, "Stmt");
    if (stmts.isEmpty()) {
        *error = u"Il file non contiene alcun estratto (elemento Stmt)."_s;
        return std::nullopt;
    }
    const QDate messageDate = isoDateTimeOf(xmlPath(statements, {"GrpHdr", "CreDtTm"}));
    QList<BankStatement> read;
    for (qsizetype s = 0; s < stmts.size(); ++s) {
        const QString place = stmts.size() == 1 ? QString() : u"Stmt %1, "_s.arg(s + 1);
        std::optional<BankStatement> statement = readStatement(stmts[s], place, messageDate, error);
        if (!statement)
            return std::nullopt;
        read << std::move(*statement);
    }
    return read;
}

std::optional<BankStatement> readCsvStatement(const QByteArray &file, const CsvProfile &profile,
                                              QString *error)
{
    if (const QString problem = csvProfileProblem(profile); !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    if (const QString refusal = unreadableStatementFile(file); !refusal.isEmpty()) {
        *error = refusal;
        return std::nullopt;
    }
    const std::optional<QString> text = decodedText(file, profile.encoding, error);
    const std::optional<QList<CsvRecord>> records =
        text ? csvRecords(*text, profile.separator, error) : std::nullopt;
    if (!records)
        return std::nullopt;
    return statementOfRows(*records, profile, error);
}

std::optional<BankStatement> readXlsxStatement(const QByteArray &file, const CsvProfile &profile,
                                               QString *error)
{
    if (const QString problem = csvProfileProblem(profile); !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    const std::optional<QList<CsvRecord>> records = firstSheetRows(file, error);
    if (!records)
        return std::nullopt;
    return statementOfRows(*records, profile, error);
}

std::optional<QList<BankStatement>> statementsToImport(const QList<BankStatement> &statements,
                                                       const QString &chosenAccount,
                                                       const QString &bankIban, QString *error)
{
    const auto same = [](const QString &a, const QString &b) {
        return normalizedIban(a) == normalizedIban(b);
    };
    QStringList accounts;
    for (const BankStatement &statement : statements)
        if (!accounts.contains(statement.account))
            accounts << statement.account;
    const QString wanted = !chosenAccount.isEmpty() ? chosenAccount : bankIban;
    QList<BankStatement> chosen;
    for (const BankStatement &statement : statements)
        if (wanted.isEmpty() ? accounts.size() == 1 : same(statement.account, wanted))
            chosen << statement;
    if (chosen.isEmpty()) {
        QStringList listed;
        for (const BankStatement &statement : statements)
            listed << statement.caption();
        listed.removeDuplicates();
        *error = (wanted.isEmpty()
                      ? u"Il file contiene gli estratti di più conti: indicare quale importare."_s
                      : u"Il file non contiene estratti del conto %1."_s.arg(wanted)) +
                 u" Conti nel file: "_s + listed.join(u"; "_s) + u'.';
        return std::nullopt;
    }
    for (const BankStatement &statement : std::as_const(chosen))
        if (statement.currency != u"EUR"_s) {
            *error = u"L'estratto del conto %1 è in %2: i conti sono tenuti in euro e nessun "
                     u"movimento in altra valuta viene registrato."_s.arg(
                         statement.account.isEmpty() ? u"indicato"_s : statement.account,
                         statement.currency);
            return std::nullopt;
        }
    return chosen;
}
