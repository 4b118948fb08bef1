#pragma once

#include "chart/ChartRecords.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;
class FiscalEnvironment;

// The ledger editor: code, description, nature (fixed once stored) and the optional group of
// the balance printouts.
class LedgerEditor : public QDialog {
    Q_OBJECT

public:
    LedgerEditor(const Mastro &record, const FiscalEnvironment &environment, QWidget *owner);

    // Creates a ledger (id 0) or changes one. Returns the saved ledger's id, 0 when the user
    // cancelled or the ledger no longer exists.
    static qint64 edit(QWidget *owner, const FiscalEnvironment &environment, qint64 id);

    qint64 savedId() const { return m_savedId; }

private:
    QWidget *buildFields(const FiscalEnvironment &environment);
    bool codeLeft();
    void save();
    bool confirmNew(const QString &code, const QString &descrizione);
    int chosenNature() const;

    Archive m_archive;
    Mastro m_record;
    qint64 m_savedId = 0;
    QLineEdit *m_codeEdit = nullptr;
    QLineEdit *m_descriptionEdit = nullptr;
    QLineEdit *m_idEdit = nullptr;
    QLineEdit *m_groupEdit = nullptr;
    QRadioButton *m_natureOptions[5] = {};
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
