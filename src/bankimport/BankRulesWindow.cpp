#include "bankimport/BankRulesWindow.h"

#include "journal/EntryEditing.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/SubAccountFinderDialog.h"
#include "ui/WindowUtils.h"
#include "ui/grid/ValueListCompleter.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

BankRulesWindow::BankRulesWindow(const Archive &archive, QWidget *parent)
    : QDialog(parent), m_archive(archive), m_list(new QTableWidget(0, 4, this)),
      m_text(new QLineEdit(this)), m_sign(new QComboBox(this)), m_iban(new QLineEdit(this)),
      m_subAccount(new QLineEdit(this))
{
    setObjectName(u"BankRulesWindow"_s);
    setWindowTitle(u"Regole per i movimenti bancari"_s);
    resize(760, 440);
    m_list->setObjectName(u"rules"_s);
    m_list->setHorizontalHeaderLabels({u"Contiene"_s, u"Segno"_s, u"IBAN"_s, u"Sottoconto"_s});
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setColumnWidth(0, 200);
    m_list->installEventFilter(this);

    m_text->setObjectName(u"text"_s);
    m_sign->addItems({u"Entrate e uscite"_s, u"Solo entrate"_s, u"Solo uscite"_s});
    m_iban->setObjectName(u"iban"_s);
    m_subAccount->setObjectName(u"subAccount"_s);
    QString error;
    m_choices = subAccountChoices(m_archive, &error);
    m_completer = new ValueListCompleter(m_subAccount, m_choices);
    auto *form = new QFormLayout;
    form->addRow(u"La descrizione o la controparte &contiene:"_s, m_text);
    form->addRow(u"&Segno:"_s, m_sign);
    form->addRow(u"&IBAN della controparte (facoltativo):"_s, m_iban);
    form->addRow(u"S&ottoconto [F4 Cerca]:"_s, m_subAccount);

    auto *buttons = new QDialogButtonBox(this);
    addHelpButton(buttons, HelpContext::RegoleBanca);
    QPushButton *add = buttons->addButton(u"&Aggiungi"_s, QDialogButtonBox::ActionRole);
    add->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, &BankRulesWindow::addRule);
    QPushButton *remove = buttons->addButton(u"&Elimina [Canc]"_s, QDialogButtonBox::ActionRole);
    remove->setAutoDefault(false);
    connect(remove, &QPushButton::clicked, this, &BankRulesWindow::removeCurrentRule);
    QPushButton *close = buttons->addButton(u"Chiudi"_s, QDialogButtonBox::RejectRole);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(form);
    layout->addWidget(buttons);
    enterMovesToNextField(this);
    // Last, so that it sees Enter and F4 before the field moves on.
    m_subAccount->installEventFilter(this);
    reload();
    m_text->setFocus();
}

void BankRulesWindow::edit(QWidget *owner, const Archive &archive)
{
    BankRulesWindow window(archive, owner);
    window.exec();
}

void BankRulesWindow::reload()
{
    const Connection connection(m_archive, Connection::Mode::ReadOnly);
    QString error;
    const auto rules =
        connection.opened(&error) ? bankRules(connection.database(), &error) : std::nullopt;
    if (!rules) {
        informFailure(this, u"Impossibile leggere le regole."_s, error);
        return;
    }
    m_rules = *rules;
    m_list->setRowCount(int(m_rules.size()));
    for (int r = 0; r < m_list->rowCount(); ++r) {
        const BankRule &rule = m_rules[r];
        const QStringList cells{rule.text,
                                rule.sign == 0  ? QString()
                                : rule.sign > 0 ? u"entrate"_s
                                                : u"uscite"_s,
                                rule.iban, rule.subAccountDescription};
        for (int c = 0; c < cells.size(); ++c)
            m_list->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
}

bool BankRulesWindow::addRule()
{
    const QVariant subAccount = m_completer->resolve();
    BankRule rule;
    rule.text = m_text->text();
    rule.sign = m_sign->currentIndex() == 1 ? 1 : (m_sign->currentIndex() == 2 ? -1 : 0);
    rule.iban = m_iban->text();
    rule.subAccount = subAccount.typeId() == QMetaType::QString ? 0 : subAccount.toLongLong();
    QString error;
    if (!inTransaction(
            m_archive,
            [&](const Connection &connection, QString *failure) {
                return saveBankRule(connection, rule, failure);
            },
            &error)) {
        MessageService::instance().inform(this, error, MessageService::Icon::Warning);
        return false;
    }
    m_text->clear();
    m_iban->clear();
    m_subAccount->clear();
    m_sign->setCurrentIndex(0);
    reload();
    m_text->setFocus();
    return true;
}

void BankRulesWindow::removeCurrentRule()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_rules.size())
        return;
    QString error;
    if (!inTransaction(
            m_archive,
            [&](const Connection &connection, QString *failure) {
                return removeBankRule(connection, m_rules[row].id, failure);
            },
            &error))
        informFailure(this, u"Regola non eliminata."_s, error);
    reload();
}

bool BankRulesWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_list && key->key() == Qt::Key_Delete) {
        removeCurrentRule();
        return true;
    }
    // Enter on the last field adds the rule.
    if (watched == m_subAccount && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        addRule();
        return true;
    }
    if (watched == m_subAccount && key->key() == Qt::Key_F4) {
        const qint64 id = SubAccountFinderDialog::choose(this, m_archive, m_subAccount->text());
        if (id > 0) {
            // The finder may have made a new sub-account.
            QString error;
            m_choices = subAccountChoices(m_archive, &error);
            delete m_completer;
            m_completer = new ValueListCompleter(m_subAccount, m_choices);
            for (const auto &[value, name] : std::as_const(m_choices))
                if (value.toLongLong() == id)
                    m_subAccount->setText(name);
            m_completer->setChosen(id);
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
