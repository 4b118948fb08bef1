#pragma once

#include "data/AccountFinder.h"
#include "data/RowSet.h"

#include <QDialog>

class BoundGridModel;
class DataGrid;
class QFrame;
class QLineEdit;
class QToolBar;
class QToolButton;

// The window of the chart finders: a search box that filters the listed records as the user
// types, the list with a second line under each name, a toolbar and a key hint. The result is
// the chosen record's id, -1 when the user cancels (also through the window frame) and, where
// the finder offers it, 0 for a request to create a new record.
class FinderDialog : public QDialog {
    Q_OBJECT

public:
    // offersNew adds "Nuovo" and the F5 key (result 0).
    FinderDialog(const Archive &archive, FinderLevel level, bool offersNew, int helpContext,
                 QWidget *owner);

    // Reads the records and shows the window modally; the search box starts with the text.
    qint64 run(const QString &initialText = {});
    qint64 result() const { return m_result; }
    // Rows listed after the search.
    int listedRows() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildSearchRow();
    void buildGrid();
    void buildToolBar();
    void load();
    void applySearch();
    void clearSearch();
    void finish(qint64 result);
    void chooseCurrent();
    bool searchKey(int key);
    bool gridKey(const QKeyEvent *key);
    // Esc cancels and F5 asks for a new record, from the search box and the grid alike.
    bool closingKey(int key);

    Archive m_archive;
    FinderLevel m_level;
    bool m_offersNew;
    qint64 m_result = -1;
    RowSet m_rows;
    QFrame *m_searchPanel = nullptr;
    QToolButton *m_searchButton = nullptr;
    QLineEdit *m_searchEdit = nullptr;
    DataGrid *m_grid = nullptr;
    BoundGridModel *m_gridModel = nullptr;
    QToolBar *m_tb = nullptr;
};
