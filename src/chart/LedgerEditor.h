#pragma once

#include "chart/ChartRecordEditor.h"

class QLineEdit;
class QRadioButton;
class FiscalEnvironment;

// The ledger editor: code, description, nature (fixed once stored) and the optional group of
// the balance printouts.
class LedgerEditor : public ChartRecordEditor {
    Q_OBJECT

public:
    LedgerEditor(const Mastro &record, const FiscalEnvironment &environment, QWidget *owner);

    // Creates a ledger (id 0) or changes one. Returns the saved ledger's id, 0 when the user
    // cancelled or the ledger no longer exists.
    static qint64 edit(QWidget *owner, const FiscalEnvironment &environment, qint64 id);

private:
    QWidget *buildFields(const FiscalEnvironment &environment);
    bool codeLeft();
    void save();
    bool confirmNew(const QString &code, const QString &descrizione);
    int chosenNature() const;

    Mastro m_record;
    QLineEdit *m_codeEdit = nullptr;
    QLineEdit *m_descriptionEdit = nullptr;
    QLineEdit *m_groupEdit = nullptr;
    QRadioButton *m_natureOptions[5] = {};
};
