#pragma once

#include "chart/ChartRecordEditor.h"

class QCheckBox;
class QLineEdit;
class QToolButton;

// The account editor: the owning ledger (chosen in the chart finder, also again for a stored
// account), the account's own 3 characters of the code, the description and the mark that
// hides its sub-accounts in one balance printout. The whole code is the ledger's code followed
// by the account's part; the archive refuses a code already used.
class AccountEditor : public ChartRecordEditor {
    Q_OBJECT

public:
    AccountEditor(const Archive &archive, const Conto &record, QWidget *owner);

    // Creates an account (id 0) or changes one. Returns the saved account's id, 0 when the
    // user cancelled or the account no longer exists.
    static qint64 edit(QWidget *owner, const Archive &archive, qint64 id);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildFields();
    void chooseLedger();
    bool codeLeft();
    bool descriptionLeft();
    void save();

    Conto m_record;
    QLineEdit *m_ledgerEdit = nullptr;
    QToolButton *m_ledgerButton = nullptr;
    QLineEdit *m_ledgerCodeEdit = nullptr;
    QLineEdit *m_codeEdit = nullptr;
    QLineEdit *m_descriptionEdit = nullptr;
    QCheckBox *m_balanceCheck = nullptr;
    QCheckBox *m_cashCheck = nullptr;
};
