#include "bankimport/CsvProfile.h"

#include "data/BankTables.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringDecoder>

#include <csv.h>
#include <iconv.h>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";

QVariant columnValue(int column)
{
    return column > 0 ? QVariant(column) : QVariant(QMetaType::fromType<int>());
}

// Texts kept in one column, one a line.
QStringList linesOf(const QString &stored)
{
    return stored.split(u'\n', Qt::SkipEmptyParts);
}

QString storedLines(const QStringList &texts)
{
    QStringList kept;
    for (const QString &text : texts)
        if (!text.trimmed().isEmpty())
            kept << text.trimmed();
    // Never null: a null text would be stored as NULL.
    QString stored = kept.join(u'\n');
    return stored.isNull() ? u""_s : stored;
}

CsvProfile profileOf(const QSqlQuery &query)
{
    CsvProfile profile;
    profile.name = query.value(0).toString();
    const QString separator = query.value(1).toString();
    profile.separator = separator.isEmpty() ? QChar(u';') : separator.at(0);
    profile.encoding = query.value(2).toString();
    profile.skippedRows = query.value(3).toInt();
    profile.dateFormat = query.value(4).toString();
    profile.dateColumn = query.value(5).toInt();
    profile.valueDateColumn = query.value(6).toInt();
    profile.amountColumn = query.value(7).toInt();
    profile.debitColumn = query.value(8).toInt();
    profile.creditColumn = query.value(9).toInt();
    profile.descriptionColumn = query.value(10).toInt();
    profile.counterpartyColumn = query.value(11).toInt();
    profile.skippedEndRows = query.value(12).toInt();
    profile.ignoredTexts = linesOf(query.value(13).toString());
    profile.statusColumn = query.value(14).toInt();
    profile.bookedStatuses = linesOf(query.value(15).toString());
    return profile;
}

const QString ProfileColumns =
    u"nome, separatore, codifica, righe_da_saltare, formato_data, col_data, col_valuta, "
    u"col_importo, col_dare, col_avere, col_descrizione, col_controparte, righe_finali, "
    u"testi_ignorati, col_stato, stati"_s;

// The line (from 1) holding the byte at offset.
int lineAt(const QByteArray &bytes, qsizetype offset)
{
    return int(QByteArrayView(bytes).first(offset).count('\n')) + 1;
}

std::optional<QString> fromUtf8(const QByteArray &bytes, QString *error)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    // The first line that does not decode on its own names the fault.
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end;
        QStringDecoder line(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        // Decoding happens when the result becomes a string.
        const QString decoded = line.decode(QByteArrayView(bytes).sliced(start, end - start));
        if (line.hasError())
            break;
        start = end + 1;
    }
    *error = u"Il file non è nella codifica UTF-8 (riga %1)."_s.arg(lineAt(bytes, start));
    return std::nullopt;
}

// Text in a single-byte encoding (Windows-1252, ISO-8859-15), through iconv.
std::optional<QString> fromSingleByte(const QByteArray &bytes, const QString &encoding,
                                      QString *error)
{
    iconv_t converter = iconv_open("UTF-8", encoding.toUpper().toLatin1().constData());
    if (converter == iconv_t(-1)) {
        *error = u"La codifica %1 non è disponibile su questo sistema."_s.arg(encoding);
        return std::nullopt;
    }
    // Each byte gives at most three bytes of UTF-8.
    QByteArray out(bytes.size() * 3, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *to = out.data();
    size_t outLeft = size_t(out.size());
    const size_t converted = iconv(converter, &in, &inLeft, &to, &outLeft);
    iconv_close(converter);
    if (converted == size_t(-1)) {
        *error =
            u"Il file contiene un carattere che la codifica %1 non ha (riga %2)."_s.arg(encoding)
                .arg(lineAt(bytes, in - bytes.constData()));
        return std::nullopt;
    }
    out.truncate(out.size() - qsizetype(outLeft));
    return QString::fromUtf8(out);
}

struct CsvCollector {
    QList<CsvRecord> records;
    QStringList fields;
    int line = 1;
    int recordLine = 0;
};

void fieldEnded(void *data, size_t length, void *collector)
{
    auto *c = static_cast<CsvCollector *>(collector);
    if (c->fields.isEmpty())
        c->recordLine = c->line;
    c->fields << QString::fromUtf8(static_cast<const char *>(data), qsizetype(length));
}

void recordEnded(int, void *collector)
{
    auto *c = static_cast<CsvCollector *>(collector);
    c->records << CsvRecord{c->recordLine, c->fields, {}};
    c->fields.clear();
}

std::nullopt_t openQuote(int line, QString *error)
{
    *error = u"Il file CSV ha virgolette aperte e mai chiuse alla riga %1: correggere la riga o "
             u"esportare di nuovo il file."_s.arg(line);
    return std::nullopt;
}

} // namespace

const QStringList &csvEncodings()
{
    static const QStringList encodings{u"UTF-8"_s, u"Windows-1252"_s, u"ISO-8859-15"_s};
    return encodings;
}

const QStringList &csvDateFormats()
{
    static const QStringList formats{
        u"dd/MM/yyyy"_s,           u"dd/MM/yy"_s,        u"dd-MM-yyyy"_s, u"dd-MM-yy"_s,
        u"dd.MM.yyyy"_s,           u"dd.MM.yy"_s,        u"yyyy-MM-dd"_s, u"d MMM yyyy"_s,
        u"d MMM yyyy. HH:mm:ss"_s, u"dd/MM/yyyy HH:mm"_s};
    return formats;
}

QDate statementDate(const QString &text, const QString &pattern)
{
    static const QLocale italian(QLocale::Italian, QLocale::Italy);
    static const QRegularExpression timeOfDay(u"[\\s.,T]+\\d{1,2}[:.]\\d{2}([:.]\\d{2})?\\s*$"_s);
    static const QRegularExpression timeInPattern(u"[Hhms]"_s);
    const bool timed = pattern.contains(timeInPattern);
    const auto read = [&](const QString &written) {
        return timed ? italian.toDateTime(written, pattern).date()
                     : italian.toDate(written, pattern);
    };
    const QString written = text.simplified();
    QDate date = read(written);
    if (!date.isValid() && !timed)
        date = read(QString(written).remove(timeOfDay));
    // A two-digit year is this century's.
    if (date.isValid() && !pattern.contains(u"yyyy"_s) && date.year() < 2000)
        date = date.addYears(100);
    return date;
}

QString csvProfileProblem(const CsvProfile &profile)
{
    if (profile.name.trimmed().isEmpty())
        return u"Indicare il nome del profilo."_s;
    if (!csvEncodings().contains(profile.encoding))
        return u"Codifica non prevista: %1 (UTF-8, Windows-1252 o ISO-8859-15)."_s.arg(
            profile.encoding);
    if (!profile.dateFormat.contains(u'd') || !profile.dateFormat.contains(u'M') ||
        !profile.dateFormat.contains(u"yy"_s))
        return u"Formato della data non valido: %1 (giorno d, mese M o MMM, anno yy o yyyy: per "
               u"esempio dd/MM/yyyy)."_s.arg(profile.dateFormat);
    if (profile.separator.isNull() || profile.separator == u'"' ||
        profile.separator.unicode() > 127)
        return u"Separatore non valido."_s;
    if (profile.dateColumn < 1)
        return u"Indicare la colonna della data."_s;
    if (profile.descriptionColumn < 1)
        return u"Indicare la colonna della descrizione."_s;
    if (profile.amountColumn < 1 && (profile.debitColumn < 1 || profile.creditColumn < 1))
        return u"Indicare la colonna dell'importo, oppure quelle di addebiti e accrediti."_s;
    if (profile.statusColumn > 0 && profile.bookedStatuses.isEmpty())
        return u"Indicare gli stati dei movimenti da registrare (per esempio Contabilizzato)."_s;
    if (profile.skippedRows < 0 || profile.skippedEndRows < 0)
        return u"Le righe da saltare non possono essere meno di zero."_s;
    return {};
}

std::optional<QList<CsvProfile>> csvProfiles(const QSqlDatabase &database, QString *error)
{
    if (!hasBankTables(database))
        return QList<CsvProfile>{};
    QSqlQuery query(database);
    if (!runSql(query, u"SELECT "_s + ProfileColumns + u" FROM profili_csv ORDER BY nome"_s, {},
                error))
        return std::nullopt;
    QList<CsvProfile> profiles;
    while (query.next())
        profiles << profileOf(query);
    return profiles;
}

std::optional<CsvProfile> csvProfileNamed(const QSqlDatabase &database, const QString &name,
                                          QString *error)
{
    QSqlQuery query(database);
    if (hasBankTables(database) &&
        !runSql(query, u"SELECT "_s + ProfileColumns + u" FROM profili_csv WHERE nome = ?"_s,
                {name}, error))
        return std::nullopt;
    if (query.isActive() && query.next())
        return profileOf(query);
    *error = u"Nessun profilo CSV si chiama \"%1\"."_s.arg(name);
    return std::nullopt;
}

bool saveCsvProfile(const Connection &connection, const CsvProfile &profile, QString *error)
{
    if (const QString problem = csvProfileProblem(profile); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    QStringList updates;
    for (const QString &column : ProfileColumns.split(u", "_s).mid(1))
        updates.append(column + u" = excluded."_s + column);
    QSqlQuery query = connection.query();
    return runSql(query,
                  u"INSERT INTO profili_csv ("_s + ProfileColumns +
                      u") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                      u"ON CONFLICT (nome) DO UPDATE SET "_s +
                      updates.join(u", "_s),
                  {profile.name.trimmed(), QString(profile.separator), profile.encoding,
                   profile.skippedRows, profile.dateFormat, profile.dateColumn,
                   columnValue(profile.valueDateColumn), columnValue(profile.amountColumn),
                   columnValue(profile.debitColumn), columnValue(profile.creditColumn),
                   profile.descriptionColumn, columnValue(profile.counterpartyColumn),
                   profile.skippedEndRows, storedLines(profile.ignoredTexts),
                   columnValue(profile.statusColumn), storedLines(profile.bookedStatuses)},
                  error);
}

bool removeCsvProfile(const Connection &connection, const QString &name, QString *error)
{
    QSqlQuery query = connection.query();
    if (!runSql(query, u"DELETE FROM profili_csv WHERE nome = ?"_s, {name}, error))
        return false;
    if (query.numRowsAffected() > 0)
        return true;
    *error = u"Nessun profilo CSV si chiama \"%1\"."_s.arg(name);
    return false;
}

std::optional<QString> decodedText(const QByteArray &file, const QString &encoding, QString *error)
{
    if (encoding == u"UTF-8"_s) {
        return fromUtf8(file.startsWith(ByteOrderMark) ? file.sliced(3) : file, error);
    }
    if (encoding == u"Windows-1252"_s || encoding == u"ISO-8859-15"_s)
        return fromSingleByte(file, encoding, error);
    *error = u"Codifica non prevista: %1."_s.arg(encoding);
    return std::nullopt;
}

std::optional<QList<CsvRecord>> csvRecords(const QString &text, QChar separator, QString *error)
{
    csv_parser parser;
    // A quote still open at the end of the file is an error, not a field.
    if (csv_init(&parser, CSV_STRICT_FINI) != 0) {
        *error = u"Memoria insufficiente per leggere il file."_s;
        return std::nullopt;
    }
    csv_set_delim(&parser, static_cast<unsigned char>(separator.toLatin1()));
    CsvCollector collector;
    const QByteArray bytes = text.toUtf8();
    qsizetype start = 0;
    // Fed a line at a time, so that each record knows the line it starts on.
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        const size_t length = size_t(end - start);
        if (csv_parse(&parser, bytes.constData() + start, length, fieldEnded, recordEnded,
                      &collector) != length) {
            *error = u"Il file CSV non si legge alla riga %1: %2."_s.arg(collector.line)
                         .arg(QString::fromUtf8(csv_strerror(csv_error(&parser))));
            csv_free(&parser);
            return std::nullopt;
        }
        ++collector.line;
        start = end;
    }
    const bool closed = csv_fini(&parser, fieldEnded, recordEnded, &collector) == 0;
    csv_free(&parser);
    // Bank exports keep each record on its line: a field running on over a line break is a
    // quote left open, which would swallow the lines after it.
    for (const CsvRecord &record : std::as_const(collector.records))
        for (const QString &field : record.fields)
            if (field.contains(u'\n'))
                return openQuote(record.line, error);
    if (!closed)
        return openQuote(collector.recordLine, error);
    return collector.records;
}
