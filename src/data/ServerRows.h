#pragma once

#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class SharedTexts;
struct pg_result;

// Every row of a statement read from a server in one round trip through its client library,
// then handed out as a file's rows are: integers as numbers, dates and other values as their
// text, NULL as NULL. Qt's driver would convert each value on its own, several times slower.
class ServerRows {
public:
    // Runs the statement on the server's connection. Nothing when it cannot run this way: the
    // connection is still handing out the rows of a statement run through Qt's driver, or a
    // value to bind has no plain text. A statement that fails gives rows that say why.
    static std::unique_ptr<ServerRows> run(const QSqlDatabase &database, const QString &sql,
                                           const QVariantList &values);
    ~ServerRows();
    ServerRows(const ServerRows &) = delete;
    ServerRows &operator=(const ServerRows &) = delete;

    const QStringList &fields() const { return m_fields; }
    // The failure as the data layer passes it on; empty when the statement ran.
    const QString &errorText() const { return m_error; }
    // The next row into cells, one for each field; false after the last row.
    bool next(QVariant *cells, SharedTexts *texts);

private:
    enum class Kind { Integer, Number, Boolean, Bytes, Text };
    ServerRows() = default;
    // How the values of a column of the server's type (its pg_type number) are read.
    static Kind kindOf(unsigned int type);
    QVariant cell(int row, int column, SharedTexts *texts) const;

    std::unique_ptr<pg_result, void (*)(pg_result *)> m_result{nullptr, nullptr};
    QStringList m_fields;
    std::vector<Kind> m_kinds;
    QString m_error;
    int m_rows = 0;
    int m_next = 0;
};

// The statement with its ? placeholders numbered as the server's client library reads them
// ($1, $2, ...); question marks inside quotes stay.
QString numberedPlaceholders(const QString &sql);
