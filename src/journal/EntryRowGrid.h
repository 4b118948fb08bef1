#pragma once

#include "journal/JournalEntry.h"

#include <QWidget>

#include <functional>

class DataGrid;
class EditableGridModel;

// The rows of a journal entry in a grid: debit and credit sub-accounts from value lists,
// amount and text; row checks, the running imbalance, defaults for the next row and the keys
// of the entry editor (Enter through the cells, F4 finder, F5 new sub-account, Delete empties
// an account cell).
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
    // Commits the row being edited; false when its check refuses it.
    bool commitEditing();
    // Reloads the sub-account lists of both account columns.
    void LoadSubAccountLists();
    void setReadOnly(bool readOnly);
    // Puts the cursor on the new-row line, in the debit column.
    void goToNewRow();
    DataGrid *grid() const { return m_grid; }
    EditableGridModel *model() const { return m_model; }

    // "Sbilancio = +100,00 " or empty when the rows balance.
    static QString imbalanceText(Money imbalance);

signals:
    // The text of the imbalance panel; empty when it must be hidden.
    void imbalanceChanged(const QString &text);
    // A hint for the current column.
    void hint(const QString &text);
    // The user changed the rows.
    void edited();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutColumns();
    bool handleKey(int key, bool editing);
    void RefreshImbalance(int committedRow);
    void ShowColumnHint();
    void findSubAccount();
    void createSubAccount(const QString &proposed);
    void setCurrentAccount(const QVariant &id);
    bool isAccountColumn() const;
    void closeOpenEditor();

    Archive m_archive;
    DataGrid *m_grid;
    EditableGridModel *m_model;
    Finder m_finder;
    Creator m_creator;
    bool m_readOnly = false;
};

// An amount typed in the program's locale, rounded to cents ties to even; nothing when the
// text is not a number.
std::optional<Money> parseAmount(const QString &text);
