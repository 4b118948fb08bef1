#pragma once

#include "chart/ChartRecordEditor.h"

class QLineEdit;
class QPlainTextEdit;
class QToolButton;

// The sub-account editor: the owning account (chosen once for a new sub-account), the name, the
// notes and, for a bank account, its IBAN. Left only through its buttons, F8 (save) and Esc
// (cancel), acted on when released so that the key does not reach the window underneath.
class SubAccountEditor : public ChartRecordEditor {
    Q_OBJECT

public:
    SubAccountEditor(const Archive &archive, const Sottoconto &record, QWidget *owner);

    // A new sub-account whose name starts as the proposed one without surrounding blanks.
    // Returns its id, or 0 when nothing was saved.
    static qint64 create(QWidget *owner, const Archive &archive, const QString &descrizione = {});
    // Changes a sub-account. Returns its id when saved, 0 when cancelled or missing.
    static qint64 edit(QWidget *owner, const Archive &archive, qint64 id);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool closingKey(QEvent *event);
    void chooseAccount();
    void save();

    Sottoconto m_record;
    int m_pressedKey = 0;
    QLineEdit *m_accountEdit = nullptr;
    QToolButton *m_accountButton = nullptr;
    QLineEdit *m_descriptionEdit = nullptr;
    QPlainTextEdit *m_noteEdit = nullptr;
    QLineEdit *m_iban = nullptr;
};
