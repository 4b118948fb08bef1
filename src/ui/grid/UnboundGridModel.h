#pragma once

#include "data/GridColumn.h"

#include <QAbstractTableModel>

#include <functional>

// A read-only grid filled line by line by the program: it sets the number of lines and answers
// for the values of line k when the grid draws it.
class UnboundGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using LineValue = std::function<QVariant(int line, int column)>;
    using RowStyle = std::function<QString(int line)>;

    explicit UnboundGridModel(QObject *parent = nullptr);

    void setColumns(const QList<GridColumn> &columns);
    void setLineValue(LineValue lineValue) { m_lineValue = std::move(lineValue); }
    void setRowStyle(RowStyle style) { m_rowStyle = std::move(style); }
    // Sets the number of lines; the grid asks again for every value it shows.
    void setLineCount(int lines);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<GridColumn> m_columns;
    // Formats with the program's locale as it is when the model is made.
    PatternFormatter m_formatter;
    LineValue m_lineValue;
    RowStyle m_rowStyle;
    int m_lines = 0;
};
