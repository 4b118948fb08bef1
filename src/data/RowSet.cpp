#include "data/RowSet.h"

#include "data/Database.h"
#include "data/ItalianCollation.h"

#include <QHash>

bool RowSet::load(const Connection &connection, const QString &sql, const QVariantList &values,
                  QString *error)
{
    reset({}, {});
    RowCursor cursor(connection.database(), sql, values, RowCursor::Texts::Shared);
    m_fields = cursor.fields();
    // Each row is read straight into its place; the room taken for the one after the last goes.
    while (cursor.next(appendRow()))
        ++m_rows;
    std::vector<QVariant> &last = m_blocks.back();
    last.resize(last.size() - size_t(m_fields.size()));
    if (last.empty())
        m_blocks.pop_back();
    if (cursor.errorText().isEmpty())
        return true;
    reset({}, {});
    if (error)
        *error = cursor.errorText();
    return false;
}

QVariant *RowSet::appendRow()
{
    const size_t width = size_t(m_fields.size());
    if (m_blocks.empty() || m_blocks.back().size() == BlockRows * width) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(BlockRows * width);
    }
    std::vector<QVariant> &block = m_blocks.back();
    block.resize(block.size() + width);
    return block.data() + block.size() - width;
}

void RowSet::append(QVariant cell)
{
    const size_t blockSize = BlockRows * size_t(m_fields.size());
    if (m_blocks.empty() || m_blocks.back().size() == blockSize) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(blockSize);
    }
    m_blocks.back().push_back(std::move(cell));
}

void RowSet::reset(const QStringList &fields, std::vector<QVariant> values)
{
    m_fields = fields;
    m_blocks.clear();
    m_rows = 0;
    if (fields.isEmpty())
        return;
    for (QVariant &cell : values)
        append(std::move(cell));
    m_rows = int(values.size() / size_t(fields.size()));
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
    const QString folded = foldedForMatching(text);
    // Shared texts repeat many times: each distinct one is tested once.
    QHash<const void *, bool> verdicts;
    auto contains = [&](const QVariant &cell) {
        if (cell.typeId() != QMetaType::QString)
            return cell.isNull() ? false : containsIgnoringAccents(cell.toString(), text, folded);
        const QString &s = *static_cast<const QString *>(cell.constData());
        const void *key = s.constData();
        auto it = verdicts.constFind(key);
        if (it == verdicts.cend())
            it = verdicts.insert(key, containsIgnoringAccents(s, text, folded));
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

QString effectiveSearch(const QString &typed)
{
    const QString text = typed.trimmed();
    return text.size() < 2 ? QString() : text;
}
