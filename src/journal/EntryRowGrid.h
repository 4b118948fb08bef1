#pragma once

#include "journal/EntryEditing.h"

#include <QWidget>

#include <functional>

class DataGrid;
class EditableGridModel;
class QAction;
class QKeyEvent;
class QLabel;

// The rows of a journal entry in a grid: debit and credit sub-accounts from value lists,
// amount and text; row checks, the running imbalance, defaults for the next row and the keys
// of the entry editor (typing opens a cell, Enter through the cells, F4 finder, F5 new
// sub-account, Delete empties an account cell, Ctrl+Delete removes the row).
class EntryRowGrid : public QWidget {
    Q_OBJECT

public:
    // Columns of the grid.
    enum Column { Id, Riga, ContoDare, ContoAvere, Importo, Descrizione, IdRegMain, ColumnCount };

    // Finds a sub-account starting from a text: the id chosen, 0 to ask for a new one, -1 to
    // cancel.
    using Finder = std::function<qint64(QWidget *owner, const QString &text)>;
    // Creates a sub-account with a proposed description: its id, below 1 when none was made.
    using Creator = std::function<qint64(QWidget *owner, const QString &descrizione)>;

    explicit EntryRowGrid(const Archive &archive, QWidget *parent = nullptr);

    void setFinder(Finder finder) { m_finder = std::move(finder); }
    void setCreator(Creator creator) { m_creator = std::move(creator); }

    // Replaces the rows; the imbalance and the next-row defaults start again.
    void setRows(const QList<EntryRow> &rows);
    // The committed rows in grid order.
    QList<EntryRow> rows() const;
    // Stores the open cell editor and commits the row being edited; false when the cell or the
    // row check refuses (the editor or the row stays as typed).
    bool commitEditing();
    // Reloads the sub-account lists of both account columns.
    void loadSubAccountLists();
    void setReadOnly(bool readOnly);
    // Puts the cursor on the new-row line, in the debit column.
    void goToNewRow();
    DataGrid *grid() const { return m_grid; }
    EditableGridModel *model() const { return m_model; }

    // Finds the sub-account of the current account cell starting from the text, or creates
    // one proposing it as the description.
    void findSubAccount(const QString &text);
    void createSubAccount(const QString &proposed);
    void clearCurrentAccount();
    // Removes the current row (never the new-row line); the imbalance follows.
    void deleteCurrentRow();

    // "Sbilancio = +100,00 " or empty when the rows balance.
    static QString imbalanceText(Money imbalance);
    // "Riga 2 di 3", or the new-row line's own text when row is past the rows.
    static QString navigatorText(int row, int rowCount);

signals:
    // The text of the imbalance panel; empty when it must be hidden.
    void imbalanceChanged(const QString &text);
    // A hint for the current column, or why a value was refused.
    void hint(const QString &text);
    // The user changed the rows.
    void edited();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutColumns();
    bool gridKey(QKeyEvent *key);
    bool typeIntoCell(QKeyEvent *key);
    bool checkCell(int column, QVariant &value);
    void refreshImbalance(int committedRow);
    void showColumnHint();
    void showPosition();
    void setCurrentAccount(const QVariant &id);
    bool isAccountColumn() const;

    Archive m_archive;
    DataGrid *m_grid;
    EditableGridModel *m_model;
    QLabel *m_navigator = nullptr;
    QAction *m_eliminaRiga = nullptr;
    Finder m_finder;
    Creator m_creator;
    bool m_readOnly = false;
};

// An amount typed in the program's locale, rounded to cents ties to even; nothing when the
// text is not a number.
std::optional<Money> parseAmount(const QString &text);
