#include "bankimport/BankReconciliation.h"

#include "bankimport/BankImport.h"
#include "data/Balances.h"
#include "data/BankTables.h"
#include "data/PatternFormatter.h"
#include "data/SqlText.h"
#include "reportengine/ReportLayout.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QString shown(const QDate &date)
{
    return date.toString(u"dd/MM/yyyy"_s);
}

// Where the statements of the bank begin: entries before it stand in the opening balance.
std::optional<QDate> firstStatementDay(const QSqlDatabase &database, qint64 bank, QString *error)
{
    QSqlQuery query(database);
    QDate first;
    for (const QString &sql : {u"SELECT MIN(dal) FROM estratti_importati WHERE conto = ?"_s,
                               u"SELECT MIN(data) FROM movimenti_estratto WHERE conto = ?"_s}) {
        if (!runSql(query, sql, {bank}, error))
            return std::nullopt;
        const QDate date = query.next() ? dateFromIso(query.value(0).toString()) : QDate();
        if (date.isValid() && (!first.isValid() || date < first))
            first = date;
    }
    return first;
}

bool readStatementBalance(const QSqlDatabase &database, BankReconciliation &into, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT data_saldo, saldo_finale FROM estratti_importati WHERE conto = ? "
                u"AND data_saldo IS NOT NULL AND data_saldo <= ? "
                u"ORDER BY data_saldo DESC, id DESC LIMIT 1"_s,
                {into.bank, isoDate(into.date)}, error))
        return false;
    if (query.next()) {
        into.statementDate = dateFromIso(query.value(0).toString());
        into.statementBalance = Money::fromUnits(query.value(1).toLongLong());
    }
    return true;
}

bool readUnbookedMovements(const QSqlDatabase &database, BankReconciliation &into, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query,
                u"SELECT me.impronta, me.data, me.descrizione, me.importo "
                u"FROM movimenti_estratto me WHERE me.conto = ? AND me.data <= ? "
                u"AND NOT EXISTS (SELECT 1 FROM movimenti_importati mi "
                u"WHERE mi.conto = me.conto AND mi.impronta = me.impronta) "
                u"ORDER BY me.data, me.impronta"_s,
                {into.bank, isoDate(into.statementDate)}, error))
        return false;
    while (query.next())
        into.unbookedMovements << ReconciliationItem{0,
                                                     {},
                                                     query.value(0).toString(),
                                                     dateFromIso(query.value(1).toString()),
                                                     query.value(2).toString(),
                                                     Money::fromUnits(query.value(3).toLongLong())};
    return true;
}

QString subAccountName(const QSqlDatabase &database, qint64 id, QString *error)
{
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT descrizione FROM sottoconti WHERE id = ?"_s, {id}, error) ||
        !query.next())
        return {};
    return query.value(0).toString();
}

Money sumOf(const QList<ReconciliationItem> &items)
{
    Money total;
    for (const ReconciliationItem &item : items)
        total += item.amount;
    return total;
}

QJsonArray itemsJson(const QList<ReconciliationItem> &items)
{
    QJsonArray list;
    for (const ReconciliationItem &item : items) {
        QJsonObject object{{u"data"_s, isoDate(item.date)},
                           {u"descrizione"_s, item.description},
                           {u"importo"_s, decimalText(item.amount)}};
        if (item.entryId != 0) {
            object.insert(u"registrazione"_s, item.entryId);
            object.insert(u"progressivo"_s,
                          item.number.isNull() ? QJsonValue() : item.number.toLongLong());
        } else {
            object.insert(u"impronta"_s, item.fingerprint);
        }
        list << object;
    }
    return list;
}

// What a printed row is.
enum RowKind { Heading, Line, Item, Total };

constexpr double Margin = 28.0;
constexpr double LineHeight = 12.0;
constexpr double AmountWidth = 90.0;
constexpr Qt::Alignment RightAligned = Qt::AlignRight | Qt::AlignVCenter;
const QString AmountPattern = u"#,##0.00;-#,##0.00;0.00"_s;
enum Font { Body, Bold, HeadingFont, Title };

const std::vector<RowColumn> &rowColumns()
{
    static const std::vector<RowColumn> columns{
        {u"tipo"_s, ColumnKind::Integer},  {u"data"_s, ColumnKind::Text},
        {u"numero"_s, ColumnKind::Text},   {u"testo"_s, ColumnKind::Text},
        {u"importo"_s, ColumnKind::Money},
    };
    return columns;
}

QVariantList row(RowKind kind, const QString &text, std::optional<Money> amount = {},
                 const QString &date = {}, const QString &number = {})
{
    return {int(kind), date, number, text, amount ? QVariant::fromValue(*amount) : QVariant()};
}

std::vector<QVariantList> printedRows(const BankReconciliation &r)
{
    std::vector<QVariantList> rows;
    rows.push_back(
        row(Total, u"Saldo contabile al %1"_s.arg(shown(r.statementDate)), r.bookBalance));
    const auto section = [&](const QString &heading, const QList<ReconciliationItem> &items,
                             bool subtracted) {
        rows.push_back(row(Heading, heading));
        for (const ReconciliationItem &item : items)
            rows.push_back(row(Item, item.description, subtracted ? -item.amount : item.amount,
                               shown(item.date),
                               item.number.isNull() ? QString() : item.number.toString()));
        const Money total = sumOf(items);
        rows.push_back(row(Line, u"Totale"_s, subtracted ? -total : total));
    };
    section(u"Meno le registrazioni non collegate a movimenti dell'estratto"_s, r.unlinkedEntries,
            true);
    section(u"Più i movimenti dell'estratto non registrati"_s, r.unbookedMovements, false);
    rows.push_back(row(Total, u"Saldo ricostruito"_s, r.explained()));
    rows.push_back(row(Total,
                       r.statementBalance
                           ? u"Saldo dell'estratto al %1"_s.arg(shown(r.statementDate))
                           : u"Nessun estratto importato fino al %1"_s.arg(shown(r.date)),
                       r.statementBalance));
    if (const std::optional<Money> difference = r.difference())
        rows.push_back(row(Total, u"Differenza non spiegata"_s, *difference));
    return rows;
}

Band lineBand(double width)
{
    const double right = Margin + width;
    Band band;
    band.height = LineHeight + 2;
    ReportItem text = ReportItem::field(
        u"testo"_s, QRectF(Margin + 120, 0, width - 120 - AmountWidth - 8, LineHeight));
    text.canGrow = true;
    ReportItem total =
        ReportItem::field(u"testo"_s, QRectF(Margin, 0, width - AmountWidth - 8, LineHeight));
    band.items = {
        inSheetColumn(ReportItem::field(u"testo"_s, QRectF(Margin, 0, width, LineHeight + 3)),
                      u"titolo"_s, 0, HeadingFont),
        inSheetColumn(ReportItem::field(u"data"_s, QRectF(Margin, 0, 60, LineHeight)), u"data"_s,
                      0),
        inSheetColumn(ReportItem::field(u"numero"_s, QRectF(Margin + 62, 0, 50, LineHeight),
                                        QString(), RightAligned),
                      u"numero"_s, 1),
        inSheetColumn(text, u"voce"_s, 2),
        inSheetColumn(total, u"totale"_s, 2, Bold),
        inSheetColumn(ReportItem::field(u"importo"_s,
                                        QRectF(right - AmountWidth, 0, AmountWidth, LineHeight),
                                        AmountPattern, RightAligned),
                      u"importo"_s, 3),
    };
    band.onFormat = [](const ItemContext &context, const std::vector<ReportItem> &items,
                       BandFormat &format) {
        const int kind = context.row()->value(u"tipo"_s).toInt();
        format.item(items, u"titolo"_s)->visible = kind == Heading;
        format.item(items, u"data"_s)->visible = kind == Item;
        format.item(items, u"numero"_s)->visible = kind == Item;
        format.item(items, u"voce"_s)->visible = kind == Item;
        format.item(items, u"totale"_s)->visible = kind == Line || kind == Total;
        format.item(items, u"importo"_s)->visible = kind != Heading;
    };
    return band;
}

Band pageHeader(const BankReconciliation &r, const QString &organisation, double width)
{
    Band band;
    band.height = 44;
    band.items = {
        ReportItem::label(u"RICONCILIAZIONE BANCARIA"_s, QRectF(Margin, 0, 300, 20), Title),
        ReportItem::label(organisation, QRectF(Margin + 300, 2, width - 300, 16), HeadingFont,
                          RightAligned),
        ReportItem::label(r.statementDate == r.date
                              ? u"%1 — al %2"_s.arg(r.bankName, shown(r.date))
                              : u"%1 — al %2, ultimo estratto importato fino al %3"_s.arg(
                                    r.bankName, shown(r.statementDate), shown(r.date)),
                          QRectF(Margin, 24, width, 14), Bold),
        ReportItem::rule(Margin, 42, Margin + width),
    };
    return band;
}

} // namespace

Money BankReconciliation::explained() const
{
    return bookBalance - sumOf(unlinkedEntries) + sumOf(unbookedMovements);
}

std::optional<Money> BankReconciliation::difference() const
{
    if (!statementBalance)
        return std::nullopt;
    return *statementBalance - explained();
}

std::optional<BankReconciliation> reconcileBank(const QSqlDatabase &database, qint64 bank,
                                                const QDate &date, QString *error)
{
    BankReconciliation reconciliation;
    reconciliation.bank = bank;
    reconciliation.date = date;
    reconciliation.statementDate = date;
    reconciliation.bankName = subAccountName(database, bank, error);
    if (!error->isEmpty())
        return std::nullopt;
    const bool statements = hasBankTable(database, u"movimenti_estratto"_s);
    if (statements && !readStatementBalance(database, reconciliation, error))
        return std::nullopt;
    const std::optional<Money> books =
        balanceAt(database, {bank}, reconciliation.statementDate, true, error);
    if (!books)
        return std::nullopt;
    reconciliation.bookBalance = *books;
    if (!statements)
        return reconciliation;
    const std::optional<QDate> first = firstStatementDay(database, bank, error);
    if (!first)
        return std::nullopt;
    if (first->isValid()) {
        const std::optional<QList<OpenEntry>> open =
            openBankEntries(database, bank, *first, reconciliation.statementDate, error);
        if (!open)
            return std::nullopt;
        for (const OpenEntry &entry : *open)
            reconciliation.unlinkedEntries << ReconciliationItem{
                entry.id, entry.number, {}, entry.date, entry.text, entry.amount};
    }
    if (!readUnbookedMovements(database, reconciliation, error))
        return std::nullopt;
    return reconciliation;
}

bool linkEntryToMovement(const Archive &archive, qint64 bank, qint64 entryId,
                         const QString &fingerprint, QString *error)
{
    return inTransaction(
        archive,
        [&](const Connection &connection, QString *failure) {
            QSqlQuery query = connection.query();
            if (!runSql(query,
                        u"SELECT me.data, me.importo, me.descrizione FROM movimenti_estratto me "
                        u"WHERE me.conto = ? AND me.impronta = ? AND NOT EXISTS (SELECT 1 FROM "
                        u"movimenti_importati mi WHERE mi.conto = me.conto AND "
                        u"mi.impronta = me.impronta)"_s,
                        {bank, fingerprint}, failure))
                return false;
            if (!query.next()) {
                *failure = u"Il movimento è già registrato o non c'è più."_s;
                return false;
            }
            const QDate date = dateFromIso(query.value(0).toString());
            const Money amount = Money::fromUnits(query.value(1).toLongLong());
            const QString text = query.value(2).toString();
            const std::optional<QList<OpenEntry>> open = openBankEntries(
                connection.database(), bank, QDate(1900, 1, 1), QDate(9999, 12, 31), failure);
            if (!open)
                return false;
            const auto entry = std::find_if(open->cbegin(), open->cend(),
                                            [&](const OpenEntry &e) { return e.id == entryId; });
            if (entry == open->cend()) {
                *failure = u"La registrazione è già collegata a un movimento o non c'è più."_s;
                return false;
            }
            if (entry->amount != amount) {
                *failure =
                    u"Gli importi non coincidono: la registrazione muove %1, il movimento "
                    u"del %2 %3."_s.arg(decimalText(entry->amount).replace(u'.', u','), shown(date),
                                        decimalText(amount).replace(u'.', u','));
                return false;
            }
            return runSql(query,
                          u"INSERT INTO movimenti_importati (conto, impronta, idRegMain, "
                          u"descrizione, importato_il) VALUES (?, ?, ?, ?, ?)"_s,
                          {bank, fingerprint, entryId, text,
                           QDateTime::currentDateTime().toString(Qt::ISODate)},
                          failure);
        },
        error);
}

QByteArray reconciliationJson(const BankReconciliation &reconciliation)
{
    const std::optional<Money> difference = reconciliation.difference();
    const QJsonObject root{
        {u"report"_s, u"riconciliazione"_s},
        {u"sottoconto"_s, reconciliation.bank},
        {u"descrizione"_s, reconciliation.bankName},
        {u"data"_s, isoDate(reconciliation.date)},
        {u"dataEstratto"_s, reconciliation.statementBalance
                                ? QJsonValue(isoDate(reconciliation.statementDate))
                                : QJsonValue()},
        {u"saldoContabile"_s, decimalText(reconciliation.bookBalance)},
        {u"saldoEstratto"_s, reconciliation.statementBalance
                                 ? QJsonValue(decimalText(*reconciliation.statementBalance))
                                 : QJsonValue()},
        {u"registrazioniNonRiconciliate"_s, itemsJson(reconciliation.unlinkedEntries)},
        {u"movimentiNonRegistrati"_s, itemsJson(reconciliation.unbookedMovements)},
        {u"differenza"_s, difference ? QJsonValue(decimalText(*difference)) : QJsonValue()},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool layOutReconciliation(const BankReconciliation &reconciliation, const QString &organisation,
                          ReportDocument *document, QString *error)
{
    ReportDefinition definition;
    definition.title = u"Riconciliazione bancaria"_s;
    definition.fonts = {ReportFont{{}, 8.0, false, false}, ReportFont{{}, 8.0, true, false},
                        ReportFont{{}, 10.0, true, false}, ReportFont{{}, 14.0, true, false}};
    definition.page.margins = QMarginsF(Margin, Margin, Margin, Margin);
    definition.sheetCaptions = {u"Data"_s, u"N."_s, u"Voce"_s, u"Importo"_s};
    const double width = definition.page.bodyWidth();
    definition.pageHeader = pageHeader(reconciliation, organisation, width);
    definition.pageFooter = pageNumberFooter(Margin, width);
    definition.detail = lineBand(width);
    MemoryRowSource rows(rowColumns(), printedRows(reconciliation));
    return layOutReport(definition, rows, appLocale(), document, error);
}
