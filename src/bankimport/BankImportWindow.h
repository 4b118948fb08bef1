#pragma once

#include "bankimport/BankImport.h"
#include "data/FiscalEnvironment.h"

#include <QDialog>
#include <QHash>

class DataGrid;
class QComboBox;
class QLabel;
class QLineEdit;
class ReviewModel;

// File → "Importa estratto conto…": reads a camt.053, CSV or XLSX statement for a bank
// sub-account and lists its movements for review, with the statements the file holds. The user
// assigns or changes the counterpart by typing (completion and F4 as in the entry editor), edits
// the text, unticks what not to book (Space); Enter moves down, F8 books the ticked movements.
class BankImportWindow : public QDialog {
    Q_OBJECT

public:
    BankImportWindow(FiscalEnvironment &environment, QWidget *parent = nullptr);
    ~BankImportWindow() override;

    // Runs the window modally; true when entries were booked.
    static bool run(QWidget *owner, FiscalEnvironment &environment);

    // Reads the statement into the review; false, with the reason shown, when it cannot.
    bool readStatement(const QString &path);
    // Books the ticked movements (F8).
    void book();
    // Asks for a counterpart of the current movement starting from the text (F4).
    void findCounterpart(const QString &text);

    DataGrid *grid() const { return m_grid; }
    bool booked() const { return m_booked; }

private:
    void chooseFile();
    void loadBanks();
    void loadProfiles();
    void editProfiles();
    void editRules();
    void showStatements(const StatementsOfFile &statements);
    void offerAccounts(const QByteArray &file);
    void showChecks(const QList<BalanceCheck> &checks);
    void refreshSummary();
    std::optional<StatementsOfFile> statementsOf(const QByteArray &file, QString *error) const;
    qint64 bank() const;

    FiscalEnvironment &m_environment;
    QLineEdit *m_file;
    QComboBox *m_bank;
    QComboBox *m_format;
    QComboBox *m_profile;
    QComboBox *m_account;
    QLabel *m_statements;
    QLabel *m_checks;
    QLabel *m_summary;
    DataGrid *m_grid;
    ReviewModel *m_model;
    qint64 m_reviewedBank = 0;
    QList<BankStatement> m_reviewed; // the statements under review
    bool m_booked = false;
};
