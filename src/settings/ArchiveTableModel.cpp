#include "settings/ArchiveTableModel.h"

#include "data/Backup.h"
#include "data/EngineErrors.h"
#include "data/Money.h"
#include "data/PatternFormatter.h"

#include <QDate>

using namespace Qt::StringLiterals;

namespace {

GridColumn columnFor(const QString &field, ArchiveTable::Kind kind)
{
    switch (kind) {
    case ArchiveTable::Kind::Money: {
        GridColumn column = GridColumn::money(field, field, 1600, u"#,#.00"_s);
        column.editable = true;
        return column;
    }
    case ArchiveTable::Kind::Date: {
        GridColumn column = GridColumn::text(field, field, 1300);
        column.kind = GridColumn::Kind::Date;
        column.pattern = u"dd/mm/yyyy"_s;
        column.editable = true;
        return column;
    }
    case ArchiveTable::Kind::Integer: {
        GridColumn column = GridColumn::text(field, field, 900);
        column.kind = GridColumn::Kind::Integer;
        column.alignment = Qt::AlignRight | Qt::AlignVCenter;
        column.editable = true;
        return column;
    }
    case ArchiveTable::Kind::Text:
        break;
    }
    GridColumn column = GridColumn::text(field, field, 2200);
    column.editable = true;
    return column;
}

} // namespace

ArchiveTableModel::ArchiveTableModel(const Archive &archive, QObject *parent)
    : EditableGridModel(parent), m_archive(archive)
{
    setCellCheck([this](int, int column, QVariant &value) { return convert(column, value); });
    setRowCheck([this](int row) { return writeRow(row); });
}

void ArchiveTableModel::setTable(ArchiveTable table)
{
    m_table = std::move(table);
    QList<GridColumn> columns;
    for (int i = 0; i < m_table.fields.size(); ++i)
        columns.append(columnFor(m_table.fields.at(i), m_table.kinds.at(i)));
    // The key a row had when it was read identifies it even after the user edits the key.
    columns.append(GridColumn::hidden(u"chiave originale"_s));
    setColumns(columns);
    std::vector<QVariantList> rows;
    rows.reserve(m_table.rows.size());
    for (QVariantList row : m_table.rows) {
        row.append(QVariant(m_table.keyOf(row)));
        rows.push_back(row);
    }
    setRows(std::move(rows));
    setReadOnly(m_table.keyColumns.isEmpty());
}

QVariant ArchiveTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::EditRole || !index.isValid() || index.column() >= keyColumn())
        return EditableGridModel::data(index, role);
    const QVariant stored = value(index.row(), index.column());
    switch (m_table.kinds.at(index.column())) {
    case ArchiveTable::Kind::Money:
        return stored.isNull() ? QString()
                               : displayText(columns().at(index.column()), stored, formatter());
    case ArchiveTable::Kind::Date: {
        const QDate date = QDate::fromString(stored.toString().left(10), Qt::ISODate);
        return date.isValid() ? date : QDate::currentDate();
    }
    case ArchiveTable::Kind::Integer:
        return stored.isNull() ? QString() : stored.toString();
    case ArchiveTable::Kind::Text:
        break;
    }
    return stored;
}

Qt::ItemFlags ArchiveTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = EditableGridModel::flags(index);
    if (m_storing && index.isValid())
        result |= Qt::ItemIsEditable;
    return result;
}

bool ArchiveTableModel::convert(int column, QVariant &value)
{
    if (m_storing || column >= keyColumn())
        return true;
    const ArchiveTable::Kind kind = m_table.kinds.at(column);
    if (kind == ArchiveTable::Kind::Date) {
        value =
            value.toDate().isValid() ? QVariant(value.toDate().toString(Qt::ISODate)) : QVariant();
        return true;
    }
    const QString text = value.toString().trimmed();
    if (kind == ArchiveTable::Kind::Text)
        return true;
    if (text.isEmpty()) {
        value = QVariant();
        return true;
    }
    if (kind == ArchiveTable::Kind::Money) {
        // Read back with the locale the amount is shown in, whatever the system's is.
        bool beyondCent = false;
        const std::optional<Money> amount = Money::parseWholeCents(text, appLocale(), &beyondCent);
        if (!amount) {
            emit refused(beyondCent ? u"Importo con frazioni di centesimo: %1"_s.arg(text)
                                    : u"Importo non valido: %1"_s.arg(text));
            return false;
        }
        value = amount->units();
        return true;
    }
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!ok) {
        emit refused(u"Numero intero non valido: %1"_s.arg(text));
        return false;
    }
    value = number;
    return true;
}

QVariantList ArchiveTableModel::storedValues(int row) const
{
    QVariantList values;
    for (int column = 0; column < keyColumn(); ++column)
        values.append(value(row, column));
    return values;
}

bool ArchiveTableModel::backedUp(QString *error)
{
    m_backedUp = m_backedUp || !backupArchive(m_archive, u"manutenzione"_s, error).isEmpty();
    return m_backedUp;
}

bool ArchiveTableModel::writeRow(int row)
{
    QVariantList values = storedValues(row);
    QString error;
    if (!backedUp(&error)) {
        emit writeFailed(error);
        return false;
    }
    if (!writeArchiveRow(m_archive, m_table, value(row, keyColumn()).toList(), &values, &error)) {
        emit writeFailed(error);
        return false;
    }
    m_storing = true;
    for (int column = 0; column < keyColumn(); ++column) {
        if (values.at(column) != value(row, column))
            setData(index(row, column), values.at(column));
    }
    setData(index(row, keyColumn()), QVariant(m_table.keyOf(values)));
    m_storing = false;
    return true;
}

bool ArchiveTableModel::deleteArchiveRow(int row, QString *error)
{
    if (row < 0 || row >= int(rows().size()) || !backedUp(error))
        return false;
    if (!::deleteArchiveRow(m_archive, m_table, value(row, keyColumn()).toList(), error))
        return false;
    removeRow(row);
    return true;
}
