#pragma once

#include "data/Database.h"

#include <QDialog>

class ArchiveTableModel;
class DataGrid;
class QComboBox;
class QLabel;

// Table maintenance: any table of the archive in a grid that writes the user's changes straight
// into it, bypassing every rule of the editors. Opened only behind the main window's warning.
class TableMaintenanceWindow : public QDialog {
    Q_OBJECT

public:
    explicit TableMaintenanceWindow(const Archive &archive, QWidget *parent = nullptr);

    // Shows the table in the grid; false when the row being edited could not be written or the
    // table could not be read (the reason has been shown).
    bool chooseTable(const QString &name);

    DataGrid *grid() const { return m_tableGrid; }
    ArchiveTableModel *model() const { return m_model; }

    void reject() override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void deleteRow();
    void startTyping(const QString &text);
    void layoutControls();

    Archive m_archive;
    QLabel *m_label = nullptr;
    QComboBox *m_tableCombo = nullptr;
    DataGrid *m_tableGrid = nullptr;
    QLabel *m_bottomPanel = nullptr;
    ArchiveTableModel *m_model = nullptr;
    QString m_shownTable;
};
