#include "main/grid/RowSet.h"

#include "data/Database.h"

#include <QHash>
#include <QSet>
#include <QSqlRecord>

bool RowSet::load(const Connection &connection, const QString &sql, const QVariantList &values,
                  QString *error)
{
    m_fields.clear();
    m_values.clear();
    QSqlQuery query = connection.query();
    query.setForwardOnly(true);
    if (!runSql(query, sql, values, error))
        return false;
    const QSqlRecord record = query.record();
    QStringList fields;
    for (int c = 0; c < record.count(); ++c)
        fields.append(record.fieldName(c));
    const int columns = int(fields.size());

    // Equal texts are kept once and shared by every cell that holds them.
    QSet<QString> texts;
    std::vector<QVariant> cells;
    while (query.next()) {
        for (int c = 0; c < columns; ++c) {
            QVariant cell = query.value(c);
            if (cell.typeId() == QMetaType::QString) {
                const QString text = cell.toString();
                auto it = texts.constFind(text);
                if (it == texts.cend())
                    it = texts.insert(text);
                cell = QVariant(*it);
            }
            cells.push_back(std::move(cell));
        }
    }
    if (query.lastError().isValid()) {
        if (error)
            *error = engineText(query.lastError());
        return false;
    }
    reset(fields, std::move(cells));
    return true;
}

void RowSet::reset(const QStringList &fields, std::vector<QVariant> values)
{
    m_fields = fields;
    m_values = std::move(values);
}

int RowSet::field(const QString &name) const
{
    for (int c = 0; c < m_fields.size(); ++c) {
        if (m_fields.at(c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

QList<int> RowSet::matching(const QList<int> &columns, const QString &text) const
{
    QList<int> rows;
    const int n = rowCount();
    if (text.isEmpty()) {
        rows.reserve(n);
        for (int r = 0; r < n; ++r)
            rows.append(r);
        return rows;
    }
    // Shared texts repeat many times: each distinct one is tested once.
    QHash<const void *, bool> verdicts;
    auto contains = [&](const QVariant &cell) {
        if (cell.typeId() != QMetaType::QString)
            return cell.isNull() ? false : cell.toString().contains(text, Qt::CaseInsensitive);
        const QString &s = *static_cast<const QString *>(cell.constData());
        const void *key = s.constData();
        auto it = verdicts.constFind(key);
        if (it == verdicts.cend())
            it = verdicts.insert(key, s.contains(text, Qt::CaseInsensitive));
        return *it;
    };
    for (int r = 0; r < n; ++r) {
        for (int c : columns) {
            if (contains(value(r, c))) {
                rows.append(r);
                break;
            }
        }
    }
    return rows;
}
