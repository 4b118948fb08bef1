#pragma once

#include "bankimport/BankRules.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QTableWidget;
class ValueListCompleter;

// The rules that propose the counterpart of bank movements: listed in the order they apply,
// added from the fields below the list (F4 in the sub-account finds one), removed with Delete.
class BankRulesWindow : public QDialog {
    Q_OBJECT

public:
    BankRulesWindow(const Archive &archive, QWidget *parent = nullptr);

    static void edit(QWidget *owner, const Archive &archive);

    // Adds the rule of the fields; false, with the reason shown, when it is refused.
    bool addRule();
    void removeCurrentRule();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reload();

    Archive m_archive;
    QList<BankRule> m_rules;
    QList<QPair<QVariant, QString>> m_choices;
    QTableWidget *m_list;
    QLineEdit *m_text;
    QComboBox *m_sign;
    QLineEdit *m_iban;
    QLineEdit *m_subAccount;
    ValueListCompleter *m_completer;
};
