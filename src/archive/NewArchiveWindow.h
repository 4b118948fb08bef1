#pragma once

#include "archive/ChartTemplates.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The new-archive window: base folder, archive name, chart of accounts and first month of the
// fiscal years. Left only through its buttons.
class NewArchiveWindow : public QDialog {
    Q_OBJECT

public:
    // programFolder holds the empty archive and the chart templates the window offers.
    NewArchiveWindow(const QString &programFolder, const QList<ChartTemplate> &charts,
                     QWidget *parent = nullptr);

    // Shows the window modally; the folder of the archive created and made the one the program
    // opens (dataPath names it), empty when none was. A template database that cannot be read is
    // shown and gives none.
    static QString run(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseBaseFolder();
    void updateArchiveFolder();
    void showChartDescription(int index);
    void create();

    QString m_programFolder;
    QList<ChartTemplate> m_charts;
    QLineEdit *m_folderEdit = nullptr;
    QPushButton *m_folderButton = nullptr;
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_archiveFolderEdit = nullptr;
    QComboBox *m_chartCombo = nullptr;
    QLabel *m_chartLabel = nullptr;
    QComboBox *m_startMonthCombo = nullptr;
    QCheckBox *m_serverCheck = nullptr;
    QLineEdit *m_serverEdit = nullptr;
    QString m_created; // the folder of the archive created
};
