#pragma once

#include "settings/ArchiveTables.h"
#include "ui/grid/EditableGridModel.h"

// The rows of one archive table in an editable grid, written straight back to the archive: a
// row is inserted or updated when the grid commits it and stays pending when the archive refuses
// it. Amounts are edited as money with two decimals, dates as dates.
class ArchiveTableModel : public EditableGridModel {
    Q_OBJECT

public:
    explicit ArchiveTableModel(const Archive &archive, QObject *parent = nullptr);

    void setTable(ArchiveTable table);
    const ArchiveTable &table() const { return m_table; }

    // Deletes a committed row from the archive and from the grid; false with the engine's text.
    bool deleteArchiveRow(int row, QString *error);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // A conversion refused a typed value; text says why.
    void refused(const QString &text);
    // A row was not written: a rule's refusal or the database's failure in error.
    void writeFailed(const QString &error);

private:
    bool convert(int column, QVariant &value);
    bool writeRow(int row);
    int keyColumn() const { return int(m_table.fields.size()); }
    QVariantList storedValues(int row) const;

    Archive m_archive;
    ArchiveTable m_table;
    // The first change of the window's session copies the archive into its backup folder.
    bool backedUp(QString *error);

    bool m_backedUp = false;
    bool m_storing = false; // lets the model itself fill the hidden key and the given id
};
