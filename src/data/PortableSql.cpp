#include "data/PortableSql.h"

#include "data/Failure.h"

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

bool isDataStatement(const QString &sql)
{
    static const QRegularExpression data(u"^[\\s(]*(SELECT|WITH|INSERT|UPDATE|DELETE|VALUES)\\b"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    return data.match(sql).hasMatch();
}

bool isDateModifier(QStringView literal)
{
    static const QRegularExpression modifier(
        u"^\\s*([+-]\\s*\\d+\\s+(day|month|year|hour|minute|second)s?|start of \\w+|weekday \\d+|"
        u"unixepoch|localtime|utc)\\s*$"_s,
        QRegularExpression::CaseInsensitiveOption);
    return modifier.match(literal).hasMatch();
}

// Whether the words after a parenthesis name what it holds ("AS t" or "t").
bool isNamedAfter(const QString &sql, qsizetype at)
{
    static const QRegularExpression next(u"\\G\\s*([A-Za-z_]\\w*)"_s);
    const QRegularExpressionMatch match = next.match(sql, at);
    if (!match.hasMatch())
        return false;
    static const QStringList clauses{
        u"WHERE"_s,  u"GROUP"_s,  u"ORDER"_s,   u"JOIN"_s,      u"LEFT"_s,  u"INNER"_s,
        u"CROSS"_s,  u"UNION"_s,  u"EXCEPT"_s,  u"INTERSECT"_s, u"LIMIT"_s, u"ON"_s,
        u"HAVING"_s, u"WINDOW"_s, u"NATURAL"_s, u"FULL"_s,      u"RIGHT"_s, u"OFFSET"_s};
    return !clauses.contains(match.captured(1).toUpper());
}

// The construct a word starts, given what follows it; empty when it reads alike.
QString wordConstruct(const QString &sql, QStringView word, qsizetype after)
{
    const QString upper = word.toString().toUpper();
    static const QStringList refused{u"GLOB"_s,   u"LIKE"_s,  u"ILIKE"_s,
                                     u"REGEXP"_s, u"ROWID"_s, u"TYPEOF"_s};
    if (refused.contains(upper))
        return upper;
    if (upper == u"IS"_s) {
        static const QRegularExpression next(u"\\G\\s+(NOT\\s+)?(\\w+)"_s,
                                             QRegularExpression::CaseInsensitiveOption);
        static const QStringList kept{u"NULL"_s, u"TRUE"_s, u"FALSE"_s, u"DISTINCT"_s};
        const QRegularExpressionMatch match = next.match(sql, after);
        if (!match.hasMatch() || !kept.contains(match.captured(2).toUpper()))
            return u"IS tra valori"_s;
    }
    if (upper == u"LIMIT"_s) {
        static const QRegularExpression negative(u"\\G\\s*-"_s);
        if (negative.match(sql, after).hasMatch())
            return u"LIMIT negativo"_s;
    }
    if (upper == u"CROSS"_s)
        return u"CROSS JOIN"_s;
    return {};
}

} // namespace

QString nonPortableConstruct(const QString &sql)
{
    if (!isDataStatement(sql))
        return {};
    // For each open parenthesis, whether it opens a query read as a table in FROM or JOIN.
    QList<bool> derived;
    QString lastWord;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql[i];
        if (c == u'\'') {
            qsizetype end = i + 1;
            while (end < n && !(sql[end] == u'\'' && (end + 1 >= n || sql[end + 1] != u'\'')))
                end += sql[end] == u'\'' ? 2 : 1;
            if (isDateModifier(QStringView(sql).mid(i + 1, end - i - 1)))
                return u"modificatore di data"_s;
            i = end + 1;
            lastWord.clear();
        } else if (c == u'"') {
            const qsizetype end = sql.indexOf(u'"', i + 1);
            const QString name = sql.mid(i + 1, end < 0 ? -1 : end - i - 1);
            if (name != name.toLower())
                return u"nome tra virgolette con maiuscole"_s;
            i = end < 0 ? n : end + 1;
            lastWord.clear();
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            i = end < 0 ? n : end;
        } else if (c.isLetter() || c == u'_') {
            qsizetype end = i + 1;
            while (end < n && (sql[end].isLetterOrNumber() || sql[end] == u'_'))
                ++end;
            const QStringView word = QStringView(sql).mid(i, end - i);
            const bool qualified = i > 0 && sql[i - 1] == u'.';
            if (const QString construct = qualified ? QString() : wordConstruct(sql, word, end);
                !construct.isEmpty())
                return construct;
            lastWord = word.toString().toUpper();
            i = end;
        } else {
            if (c == u'(') {
                static const QRegularExpression query(u"\\G\\s*(SELECT|WITH|VALUES)\\b"_s,
                                                      QRegularExpression::CaseInsensitiveOption);
                derived.append((lastWord == u"FROM"_s || lastWord == u"JOIN"_s) &&
                               query.match(sql, i + 1).hasMatch());
            } else if (c == u')' && !derived.isEmpty() && derived.takeLast() &&
                       !isNamedAfter(sql, i + 1)) {
                return u"tabella derivata senza nome"_s;
            }
            if (!c.isSpace())
                lastWord.clear();
            ++i;
        }
    }
    return {};
}

bool portableSqlChecked()
{
    static const bool checked = qEnvironmentVariableIsSet("TOVRIN_CHECK_PORTABLE_SQL");
    return checked;
}

bool passesPortableCheck(const QString &sql, QString *error)
{
    if (!portableSqlChecked())
        return true;
    const QString construct = nonPortableConstruct(sql);
    return construct.isEmpty() ||
           fail(error, u"Istruzione non portabile (%1): %2"_s.arg(construct, sql));
}
