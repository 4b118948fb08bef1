#include "journal/EntryFile.h"

#include "data/ClosedYears.h"
#include "data/SqlText.h"
#include "journal/EntryEditing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// Where a problem lies: "Registrazione 2" or "Registrazione 2, riga 3".
QString place(qsizetype entry, qsizetype row = -1)
{
    return u"Registrazione %1"_s.arg(entry + 1) +
           (row < 0 ? QString() : u", riga %1"_s.arg(row + 1));
}

// A key an object of the file gives twice, with the positions in the arrays around it.
struct RepeatedKey {
    QString key;
    QList<qsizetype> positions;
};

// The first repeated key of a well-formed JSON text. The JSON reader keeps only the last value of
// a repeated key, so an "importo" given twice would book the second without a word.
std::optional<RepeatedKey> repeatedKey(const QByteArray &json)
{
    struct Container {
        bool object = false;
        QSet<QString> keys;
        qsizetype position = 0;
        bool keyNext = true;
    };
    QList<Container> open;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"') {
            const qsizetype start = i;
            for (++i; i < json.size() && json[i] != '"'; ++i)
                i += json[i] == '\\' ? 1 : 0;
            if (open.isEmpty() || !open.last().object || !open.last().keyNext)
                continue;
            const QString key = QJsonDocument::fromJson('[' + json.mid(start, i - start + 1) + ']')
                                    .array()
                                    .first()
                                    .toString();
            open.last().keyNext = false;
            if (open.last().keys.contains(key)) {
                RepeatedKey repeated{key, {}};
                for (const Container &container : std::as_const(open))
                    if (!container.object)
                        repeated.positions.append(container.position);
                return repeated;
            }
            open.last().keys.insert(key);
        } else if (c == '{' || c == '[') {
            open.append({c == '{', {}, 0, true});
        } else if ((c == '}' || c == ']') && !open.isEmpty()) {
            open.removeLast();
        } else if (c == ',' && !open.isEmpty()) {
            open.last().keyNext = true;
            ++open.last().position;
        }
    }
    return std::nullopt;
}

std::optional<Money> amountOf(const QJsonValue &value)
{
    static const QRegularExpression decimal(u"^(-?)([0-9]{1,14})(?:\\.([0-9]{1,4}))?$"_s);
    const QRegularExpressionMatch match = decimal.match(value.toString());
    if (!value.isString() || !match.hasMatch())
        return std::nullopt;
    const qint64 fraction = match.captured(3).leftJustified(4, u'0').toLongLong();
    const qint64 units = match.captured(2).toLongLong() * Money::UnitsPerCurrency + fraction;
    return Money::fromUnits(match.captured(1).isEmpty() ? units : -units);
}

// The sub-account a cell names: absent (null), an id that exists, or a description that names
// one sub-account only. Nothing, with the reason, otherwise.
std::optional<QVariant> subAccountOf(const Connection &connection, const QJsonValue &value,
                                     QString *problem)
{
    if (value.isUndefined() || value.isNull())
        return QVariant();
    std::optional<qint64> id;
    if (value.isDouble()) {
        const qint64 number = value.toInteger(-1);
        if (number > 0 && double(number) == value.toDouble())
            id = subAccountWithId(connection, number, problem);
        else
            *problem = u"identificativo di sottoconto non valido"_s;
    } else if (value.isString()) {
        id = subAccountWithDescription(connection, value.toString(), problem);
    } else {
        *problem = u"il sottoconto va indicato con l'identificativo o la descrizione"_s;
    }
    return id ? std::optional<QVariant>(*id) : std::nullopt;
}

std::optional<EntryRow> rowOf(const Connection &connection, const QJsonValue &value,
                              QString *problem)
{
    const QJsonObject object = value.toObject();
    if (!value.isObject()) {
        *problem = u"la riga non è un oggetto"_s;
        return std::nullopt;
    }
    EntryRow row;
    const std::optional<QVariant> dare = subAccountOf(connection, object[u"dare"_s], problem);
    const std::optional<QVariant> avere =
        dare ? subAccountOf(connection, object[u"avere"_s], problem) : std::nullopt;
    if (!avere)
        return std::nullopt;
    const std::optional<Money> amount = amountOf(object[u"importo"_s]);
    if (!amount) {
        *problem = u"importo mancante o non valido (un testo come \"300.00\", con il punto e al "
                   u"più due decimali)"_s;
        return std::nullopt;
    }
    row.contodare = *dare;
    row.contoavere = *avere;
    row.importo = *amount;
    row.descrizione = object[u"descrizione"_s].toString();
    QString refusal = validateRow(row);
    if (refusal.isEmpty())
        refusal = rowRuleRefusal(row);
    if (!refusal.isEmpty()) {
        // The editor's rules speak in sentences; the place goes before them.
        if (refusal.endsWith(u'.'))
            refusal.chop(1);
        *problem = refusal;
        return std::nullopt;
    }
    return row;
}

std::optional<JournalEntry> entryOf(const Connection &connection, const QJsonValue &value,
                                    qsizetype index, QString *error)
{
    const QJsonObject object = value.toObject();
    JournalEntry entry;
    entry.header.data = dateFromIso(object[u"data"_s].toString());
    if (!value.isObject() || !entry.header.data.isValid()) {
        *error = place(index) + u": data mancante o non valida (AAAA-MM-GG)."_s;
        return std::nullopt;
    }
    if (const QString text = object[u"descrizione"_s].toString().trimmed(); !text.isEmpty())
        entry.header.descrizione = text;
    const QJsonArray rows = object[u"righe"_s].toArray();
    if (rows.isEmpty()) {
        *error = place(index) + u": nessuna riga."_s;
        return std::nullopt;
    }
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QString problem;
        const std::optional<EntryRow> row = rowOf(connection, rows[r], &problem);
        if (!row) {
            *error = place(index, r) + u": "_s + problem + u'.';
            return std::nullopt;
        }
        entry.rows << *row;
    }
    return entry;
}

} // namespace

std::optional<qint64> subAccountWithId(const Connection &connection, qint64 id, QString *problem)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT id FROM sottoconti WHERE id = ?"_s, {id}, problem))
        return std::nullopt;
    if (query.next())
        return id;
    *problem = u"il sottoconto %1 non esiste"_s.arg(id);
    return std::nullopt;
}

std::optional<qint64> subAccountWithDescription(const Connection &connection, const QString &text,
                                                QString *problem)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT id FROM sottoconti WHERE descrizione = ? LIMIT 2"_s, {text},
                problem))
        return std::nullopt;
    QList<qint64> found;
    while (query.next())
        found << query.value(0).toLongLong();
    if (found.size() == 1)
        return found.first();
    *problem =
        found.isEmpty()
            ? u"nessun sottoconto ha la descrizione \"%1\""_s.arg(text)
            : u"più sottoconti hanno la descrizione \"%1\": indicarne l'identificativo"_s.arg(text);
    return std::nullopt;
}

std::optional<qint64> subAccountNamed(const Connection &connection, const QString &text,
                                      QString *problem)
{
    bool number = false;
    const qint64 id = text.trimmed().toLongLong(&number);
    if (number && id > 0)
        return subAccountWithId(connection, id, problem);
    return subAccountWithDescription(connection, text, problem);
}

std::optional<QList<JournalEntry>> readEntryFile(const Connection &connection,
                                                 const QByteArray &json, QString *error)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isArray()) {
        *error = parse.error != QJsonParseError::NoError
                     ? u"Il file non è JSON valido (carattere %1)."_s.arg(parse.offset + 1)
                     : u"Il file deve contenere un elenco (array) di registrazioni."_s;
        return std::nullopt;
    }
    if (const std::optional<RepeatedKey> repeated = repeatedKey(json)) {
        const QList<qsizetype> &at = repeated->positions;
        *error = place(at.value(0), at.size() > 1 ? at.at(1) : -1) +
                 u": la chiave \"%1\" è ripetuta; ogni chiave va indicata una volta."_s.arg(
                     repeated->key);
        return std::nullopt;
    }
    const QJsonArray array = document.array();
    QList<JournalEntry> entries;
    for (qsizetype i = 0; i < array.size(); ++i) {
        std::optional<JournalEntry> entry = entryOf(connection, array[i], i, error);
        if (!entry)
            return std::nullopt;
        entries << std::move(*entry);
    }
    return entries;
}

bool postEntries(const Archive &archive, QList<JournalEntry> &entries, bool dryRun, QString *error)
{
    const Connection connection(archive);
    if (!connection.opened(error))
        return false;
    Transaction transaction(connection);
    if (!transaction.isActive()) {
        *error = transaction.errorText();
        return false;
    }
    const std::optional<int> startMonth = archiveStartMonth(connection.database(), error);
    if (!startMonth)
        return false;
    JournalGate gate(connection);
    QList<FiscalYear> years;
    for (const JournalEntry &entry : std::as_const(entries))
        years << fiscalYearContaining(entry.header.data, *startMonth);
    if (!gate.takeNumbering(years, error))
        return false;
    // A rule's refusal, or the engine's text when the archive fails.
    QString problem;
    if (const std::optional<qsizetype> failed = gate.writeNew(entries, years, &problem)) {
        *error =
            place(*failed) + u": "_s + (problem.isEmpty() ? u"scrittura non riuscita."_s : problem);
        return false;
    }
    return dryRun || transaction.commit(error);
}
