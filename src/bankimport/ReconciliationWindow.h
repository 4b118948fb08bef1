#pragma once

#include "bankimport/BankReconciliation.h"
#include "data/FiscalEnvironment.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QDateEdit;
class QLabel;
class QTableWidget;

// Strumenti → "Riconciliazione bancaria": for a bank sub-account at a date, the balance in the
// books and the last imported statement's, the entries no movement is linked to and the
// movements no entry was made of. An entry and a movement chosen in the lists are linked by hand
// ("Collega", Ctrl+L); the prospect is previewed, printed or saved as PDF or JSON.
class ReconciliationWindow : public QDialog {
    Q_OBJECT

public:
    ReconciliationWindow(FiscalEnvironment &environment, QWidget *parent = nullptr);

    static void run(QWidget *owner, FiscalEnvironment &environment);

    // Reads the reconciliation again for the bank and date shown.
    bool refresh();
    // Links the chosen entry to the chosen movement.
    bool linkChosen();
    QTableWidget *entries() const { return m_entries; }
    QTableWidget *movements() const { return m_movements; }
    const std::optional<BankReconciliation> &reconciliation() const { return m_reconciliation; }

private:
    void fillLists();
    void showDocument(int output);
    qint64 bank() const;

    FiscalEnvironment &m_environment;
    QComboBox *m_bank;
    QDateEdit *m_date;
    QLabel *m_figures;
    QTableWidget *m_entries;
    QTableWidget *m_movements;
    std::optional<BankReconciliation> m_reconciliation;
};
