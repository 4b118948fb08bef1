#include "data/ServerRows.h"

#include "data/Database.h"
#include "data/EngineErrors.h"
#include "data/PortableSql.h"
#include "data/SharedTexts.h"

#include <QDate>

#include <libpq-fe.h>

#include <charconv>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The server's type numbers (pg_type) of the values read as something else than text.
constexpr Oid BooleanType = 16, BytesType = 17, BigIntType = 20, SmallIntType = 21,
              IntegerType = 23, ObjectIdType = 26, RealType = 700, DoubleType = 701,
              NumericType = 1700;

PGconn *serverHandle(const QSqlDatabase &database)
{
    // Qt names the handle's type by the client library's struct.
    return static_cast<PGconn *>(driverHandle(database, {"pg_conn*", "PGconn*"}));
}

// A bound value as the server reads it from text, as Qt's driver binds it: a null text or date
// is NULL. Nothing for a value of another type.
std::optional<QByteArray> parameterText(const QVariant &value)
{
    if (value.isNull())
        return QByteArray();
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().isNull() ? QByteArray() : value.toString().toUtf8();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return QByteArray::number(value.toLongLong());
    case QMetaType::QDate:
        return value.toDate().isValid() ? value.toDate().toString(Qt::ISODate).toUtf8()
                                        : QByteArray();
    default:
        return std::nullopt;
    }
}

// A failed statement's text as the data layer passes it on, its kind told by its SQLSTATE.
QString failureText(const PGresult *result, PGconn *connection)
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char *words = result ? PQresultErrorMessage(result) : PQerrorMessage(connection);
    return engineFailureText(serverFault(QString::fromLatin1(state)),
                             QString::fromUtf8(words).trimmed());
}

qlonglong integerOf(const char *text, int size)
{
    qlonglong number = 0;
    std::from_chars(text, text + size, number);
    return number;
}

} // namespace

std::unique_ptr<ServerRows> ServerRows::run(const QSqlDatabase &database, const QString &sql,
                                            const QVariantList &values)
{
    PGconn *connection = serverHandle(database);
    if (!connection || PQtransactionStatus(connection) == PQTRANS_ACTIVE)
        return nullptr;
    std::vector<QByteArray> texts;
    texts.reserve(size_t(values.size()));
    for (const QVariant &value : values) {
        std::optional<QByteArray> text = parameterText(value);
        if (!text)
            return nullptr;
        texts.push_back(std::move(*text));
    }
    std::vector<const char *> parameters;
    for (const QByteArray &text : texts)
        parameters.push_back(text.isNull() ? nullptr : text.constData());

    std::unique_ptr<ServerRows> rows(new ServerRows);
    if (!passesPortableCheck(sql, &rows->m_error))
        return rows;
    rows->m_result = {PQexecParams(connection, numberedPlaceholders(sql).toUtf8().constData(),
                                   int(parameters.size()), nullptr, parameters.data(), nullptr,
                                   nullptr, 0),
                      PQclear};
    PGresult *result = rows->m_result.get();
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        rows->m_error = failureText(result, connection);
        return rows;
    }
    rows->m_rows = PQntuples(result);
    for (int c = 0; c < PQnfields(result); ++c) {
        rows->m_fields.append(QString::fromUtf8(PQfname(result, c)));
        rows->m_kinds.push_back(kindOf(PQftype(result, c)));
    }
    return rows;
}

ServerRows::Kind ServerRows::kindOf(unsigned int type)
{
    switch (type) {
    case BigIntType:
    case SmallIntType:
    case IntegerType:
    case ObjectIdType:
        return Kind::Integer;
    case NumericType:
    case RealType:
    case DoubleType:
        return Kind::Number;
    case BooleanType:
        return Kind::Boolean;
    case BytesType:
        return Kind::Bytes;
    default:
        return Kind::Text;
    }
}

ServerRows::~ServerRows() = default;

bool ServerRows::next(QVariant *cells, SharedTexts *texts)
{
    if (m_next >= m_rows)
        return false;
    for (int c = 0; c < int(m_kinds.size()); ++c)
        cells[c] = cell(m_next, c, texts);
    ++m_next;
    return true;
}

QVariant ServerRows::cell(int row, int column, SharedTexts *texts) const
{
    PGresult *result = m_result.get();
    if (PQgetisnull(result, row, column))
        return {};
    const char *text = PQgetvalue(result, row, column);
    const int size = PQgetlength(result, row, column);
    switch (m_kinds[size_t(column)]) {
    case Kind::Integer:
        return integerOf(text, size);
    case Kind::Number: {
        // A sum of integers is a whole number; anything else reads as Qt's driver reads it.
        qlonglong whole = 0;
        if (const auto [end, fault] = std::from_chars(text, text + size, whole);
            fault == std::errc() && end == text + size)
            return whole;
        return QByteArray(text, size).toDouble();
    }
    case Kind::Boolean:
        return qlonglong(*text == 't' ? 1 : 0);
    case Kind::Bytes: {
        size_t length = 0;
        unsigned char *bytes =
            PQunescapeBytea(reinterpret_cast<const unsigned char *>(text), &length);
        const QByteArray unescaped(reinterpret_cast<const char *>(bytes), qsizetype(length));
        PQfreemem(bytes);
        return unescaped;
    }
    case Kind::Text:
        break;
    }
    return texts ? texts->fromUtf8(column, text, size) : QString::fromUtf8(text, size);
}

QString numberedPlaceholders(const QString &sql)
{
    QString numbered;
    numbered.reserve(sql.size() + 16);
    int placeholders = 0;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'-' && i + 1 < sql.size() && sql[i + 1] == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            numbered += QStringView(sql).mid(i, end < 0 ? -1 : end - i);
            i = end < 0 ? sql.size() : end - 1;
            continue;
        } else if (c == u'?') {
            numbered += u'$' + QString::number(++placeholders);
            continue;
        }
        numbered += c;
    }
    return numbered;
}
