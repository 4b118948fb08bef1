#pragma once

#include "chart/ChartRecords.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;

// The account editor: the owning ledger (chosen in the chart finder, also again for a stored
// account), the account's own 3 characters of the code, the description and the mark that
// hides its sub-accounts in one balance printout. The whole code is the ledger's code followed
// by the account's part; the archive refuses a code already used.
class AccountEditor : public QDialog {
    Q_OBJECT

public:
    AccountEditor(const Archive &archive, const Conto &record, QWidget *owner);

    // Creates an account (id 0) or changes one. Returns the saved account's id, 0 when the
    // user cancelled or the account no longer exists.
    static qint64 edit(QWidget *owner, const Archive &archive, qint64 id);

    qint64 savedId() const { return m_savedId; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildFields();
    void chooseLedger();
    bool codeLeft();
    bool descriptionLeft();
    void salva();

    Archive m_archive;
    Conto m_record;
    qint64 m_savedId = 0;
    QLineEdit *m_txtMastro = nullptr;
    QToolButton *m_cmdMastro = nullptr;
    QLineEdit *m_txtPrefissoMastro = nullptr;
    QLineEdit *m_txtPrefisso = nullptr;
    QLineEdit *m_txtDescrizione = nullptr;
    QLineEdit *m_txtId = nullptr;
    QCheckBox *m_chkBilancio = nullptr;
    QCheckBox *m_chkLiquidita = nullptr;
    QPushButton *m_cmdSalva = nullptr;
    QPushButton *m_cmdAnnulla = nullptr;
};
