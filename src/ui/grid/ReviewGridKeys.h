#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVariant>

#include <functional>

class DataGrid;

// The keys of a grid where imported items are reviewed before booking (bank movements,
// electronic invoices): Space ticks or unticks the row, Enter moves down in the same column, F4
// asks for a sub-account starting from the text typed, and a printable key starts editing the
// cell with it. The sub-account column completes from a list, as the entry editor's accounts do.
class ReviewGridKeys : public QObject {
public:
    struct Columns {
        int tick;
        int subAccount;
        QList<int> texts; // edited as plain text
    };
    using Choices = std::function<QList<QPair<QVariant, QString>>()>;
    using Finder = std::function<void(const QString &text)>;

    ReviewGridKeys(DataGrid *grid, Columns columns, Choices choices, Finder find);

    // Moves to the next row, in the same column.
    void moveDown();
    const Choices &choices() const { return m_choices; }
    const Finder &find() const { return m_find; }
    int subAccountColumn() const { return m_columns.subAccount; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DataGrid *m_grid;
    Columns m_columns;
    Choices m_choices;
    Finder m_find;
};
