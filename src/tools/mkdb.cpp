// Builds the program's template databases from their text sources:
//   tovrin3-mkdb archive OUT              the empty archive (resources/schema.sql, compiled in)
//   tovrin3-mkdb charts  CHARTS_DIR OUT   the chart templates (lista.csv and one CSV per chart)
// The output is written beside OUT first and moved into place only when complete.

#include "data/Database.h"
#include "data/Schema.h"
#include "data/SqlText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void fail(const QString &message)
{
    std::fprintf(stderr, "tovrin3-mkdb: %s\n", qPrintable(message));
    std::exit(1);
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(u"cannot read "_s + path);
    return QString::fromUtf8(file.readAll());
}

// Creates an empty SQLite file so that Connection, which never creates files, can open it.
QString freshFile(const QString &out)
{
    const QString partial = out + u".part"_s;
    QFile::remove(partial);
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly))
        fail(u"cannot write "_s + partial);
    file.close();
    return partial;
}

void finish(const QString &partial, const QString &out)
{
    QFile::remove(out);
    if (!QFile::rename(partial, out))
        fail(u"cannot move "_s + partial + u" to "_s + out);
}

void execAll(const Connection &connection, const QString &script)
{
    QString withoutComments = script;
    withoutComments.remove(QRegularExpression(u"--[^\n]*"_s));
    for (const QString &statement : withoutComments.split(u';')) {
        if (statement.trimmed().isEmpty())
            continue;
        QSqlQuery query = connection.query();
        if (QString error; !runSql(query, statement, {}, &error))
            fail(error + u"\nin: "_s + statement.trimmed());
    }
}

// RFC 4180 records: fields separated by commas, quoted fields may hold commas, quotes
// (doubled) and line breaks.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool fieldWasQuoted = false;
    auto endField = [&] {
        record.append(fieldWasQuoted || !field.isEmpty() ? field : QString());
        field.clear();
        fieldWasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field.append(c);
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field.append(c);
            }
        } else if (c == u'"') {
            quoted = true;
            fieldWasQuoted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\n') {
            endField();
            records.append(record);
            record.clear();
        } else if (c != u'\r') {
            field.append(c);
        }
    }
    if (!field.isEmpty() || !record.isEmpty()) {
        endField();
        records.append(record);
    }
    return records;
}

// Loads one CSV into a new table; empty fields become NULL, the id column is an integer.
void loadCsvTable(const Connection &connection, const QString &table, const QString &path)
{
    const QList<QStringList> records = parseCsv(readText(path));
    if (records.isEmpty())
        fail(path + u" is empty"_s);
    const QStringList header = records.first();
    QStringList columns;
    for (const QString &name : header)
        columns.append(name + (name == u"id"_s ? u" INTEGER"_s : u" TEXT"_s));
    execAll(connection, u"CREATE TABLE "_s + table + u" ("_s + columns.join(u", "_s) + u")"_s);

    const QString placeholders = QStringList(header.size(), u"?"_s).join(u", "_s);
    const QString insert = u"INSERT INTO "_s + table + u" ("_s + header.join(u", "_s) +
                           u") VALUES ("_s + placeholders + u")"_s;
    for (qsizetype r = 1; r < records.size(); ++r) {
        const QStringList &fields = records.at(r);
        if (fields.size() == 1 && fields.first().isEmpty())
            continue;
        if (fields.size() != header.size())
            fail(u"%1:%2: %3 fields instead of %4"_s.arg(path)
                     .arg(r + 1)
                     .arg(fields.size())
                     .arg(header.size()));
        QVariantList values;
        for (qsizetype c = 0; c < fields.size(); ++c) {
            const QString &value = fields.at(c);
            if (value.isNull())
                values.append(QVariant());
            else if (header.at(c) == u"id"_s)
                values.append(value.toLongLong());
            else
                values.append(value);
        }
        QSqlQuery query = connection.query();
        QString error;
        if (!runSql(query, insert, values, &error))
            fail(u"%1:%2: %3"_s.arg(path).arg(r + 1).arg(error));
    }
}

void buildArchive(const QString &out)
{
    const QString partial = freshFile(out);
    {
        Connection connection(partial);
        if (!connection.isOpen())
            fail(connection.errorText());
        if (QString error; !createProgramSchema(connection, &error))
            fail(error);
    }
    finish(partial, out);
}

void buildCharts(const QString &chartsDir, const QString &out)
{
    const QString partial = freshFile(out);
    {
        Connection connection(partial);
        if (!connection.isOpen())
            fail(connection.errorText());
        Transaction transaction(connection);
        const QString listaPath = QDir(chartsDir).filePath(u"lista.csv"_s);
        loadCsvTable(connection, u"lista"_s, listaPath);
        QSqlQuery sheets = connection.query();
        if (QString error; !runSql(sheets, u"SELECT foglio FROM lista"_s, {}, &error))
            fail(error);
        QStringList names;
        while (sheets.next())
            names.append(sheets.value(0).toString());
        sheets.finish();
        for (const QString &name : names) {
            if (!isPlainTableName(name))
                fail(u"bad chart name "_s + name);
            loadCsvTable(connection, name, QDir(chartsDir).filePath(name + u".csv"_s));
        }
        QString error;
        if (!transaction.commit(&error))
            fail(error);
    }
    finish(partial, out);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == u"archive"_s)
        buildArchive(args.at(2));
    else if (args.size() == 4 && args.at(1) == u"charts"_s)
        buildCharts(args.at(2), args.at(3));
    else
        fail(u"usage: tovrin3-mkdb archive OUT | charts CHARTS_DIR OUT"_s);
    return 0;
}
