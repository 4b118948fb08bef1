#pragma once

#include "data/FiscalEnvironment.h"

#include <QDialog>
#include <QStringList>

class DataGrid;
class InvoiceReviewModel;
class QLabel;
class QLineEdit;
class QTextBrowser;

// File → "Importa fatture elettroniche…": reads invoices (files, a ZIP batch or a folder) and
// lists them for review, the current invoice's page and proposed entry below. The user types the
// sub-account of an invoice's costs or revenues (completion, F4 as in the entry editor) and its
// registration date, unticks what not to book (Space); Enter moves down, F8 books every ticked
// invoice in one transaction.
class InvoiceImportWindow : public QDialog {
    Q_OBJECT

public:
    InvoiceImportWindow(FiscalEnvironment &environment, QWidget *parent = nullptr);

    // Runs the window modally; true when invoices were booked.
    static bool run(QWidget *owner, FiscalEnvironment &environment);

    // Reads the files, batches or folders into the review; false, with the reason shown, when
    // the archive cannot be read.
    bool readSources(const QStringList &paths);
    // Books the ticked invoices (F8).
    void book();

    DataGrid *grid() const { return m_grid; }
    bool booked() const { return m_booked; }

private:
    void chooseFile();
    void chooseFolder();
    void findSubAccount(const QString &text);
    void refreshSummary();
    void showDetails();

    FiscalEnvironment &m_environment;
    QLineEdit *m_paths;
    QLabel *m_refusals;
    QLabel *m_summary;
    DataGrid *m_grid;
    QTextBrowser *m_details;
    InvoiceReviewModel *m_model;
    bool m_booked = false;
};
