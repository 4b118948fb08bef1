#include "chart/SubAccountEditor.h"

#include "data/BankTables.h"
#include "ui/ChartFinderDialog.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString NoAccount = u"Selezionare un Conto -->"_s;

} // namespace

SubAccountEditor::SubAccountEditor(const Archive &archive, const Sottoconto &record, QWidget *owner)
    : ChartRecordEditor(archive, owner), m_record(record)
{
    setObjectName(u"SubAccountEditor"_s);
    setWindowTitle(record.id == 0 ? u"Nuovo Sottoconto"_s : u"Modifica Sottoconto"_s);
    removeCloseButton(this);

    m_accountEdit = readOnlyBox(u"txtConto"_s, this);
    m_accountEdit->setText(record.idConto > 0 ? descrizioneConto(m_archive, record.idConto)
                                              : NoAccount);
    m_accountButton = new QToolButton(this);
    m_accountButton->setObjectName(u"cmdConto"_s);
    m_accountButton->setText(u"..."_s);
    m_accountButton->setToolTip(u"Scegli il Conto"_s);
    // An existing sub-account stays under its account.
    m_accountButton->setEnabled(record.id == 0);
    connect(m_accountButton, &QToolButton::clicked, this, &SubAccountEditor::chooseAccount);

    m_descriptionEdit = new QLineEdit(record.descrizione, this);
    m_descriptionEdit->setObjectName(u"txtDescrizione"_s);
    m_descriptionEdit->setMaxLength(columnSize(m_archive, u"sottoconti"_s, u"descrizione"_s, 100));
    m_noteEdit = new QPlainTextEdit(record.note, this);
    m_noteEdit->setObjectName(u"txtNote"_s);
    m_noteEdit->setTabChangesFocus(true);
    m_iban = new QLineEdit(record.iban, this);
    m_iban->setObjectName(u"txtIban"_s);
    m_iban->setPlaceholderText(u"solo per un conto bancario"_s);
    m_iban->setMaxLength(42);

    auto *form = new QGridLayout;
    form->addWidget(new QLabel(u"Conto di appartenenza"_s, this), 0, 0);
    auto *account = new QHBoxLayout;
    account->addWidget(m_accountEdit, 1);
    account->addWidget(m_accountButton);
    form->addLayout(account, 0, 1);
    form->addWidget(new QLabel(u"Nome del Sottoconto"_s, this), 1, 0);
    form->addWidget(m_descriptionEdit, 1, 1);
    form->addWidget(new QLabel(u"Note"_s, this), 2, 0, Qt::AlignTop);
    form->addWidget(m_noteEdit, 2, 1);
    form->addWidget(new QLabel(u"IBAN"_s, this), 3, 0);
    form->addWidget(m_iban, 3, 1);
    form->addWidget(new QLabel(u"ID"_s, this), 4, 0);
    form->addWidget(idBox(record.id, this), 4, 1, Qt::AlignLeft);
    form->setColumnStretch(1, 1);

    auto *buttons = new QDialogButtonBox(this);
    m_saveButton = buttons->addButton(u"Salva (F8)"_s, QDialogButtonBox::AcceptRole);
    m_saveButton->setObjectName(u"cmdSalva"_s);
    m_saveButton->setAutoDefault(false);
    m_cancelButton = buttons->addButton(u"Annulla (Esc)"_s, QDialogButtonBox::RejectRole);
    m_cancelButton->setObjectName(u"cmdAnnulla"_s);
    m_cancelButton->setAutoDefault(false);
    addHelpButton(buttons, HelpContext::Sottoconto)->setAutoDefault(false);
    connect(m_saveButton, &QPushButton::clicked, this, &SubAccountEditor::save);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addWidget(buttons);
    enterMovesToNextField(this);
    for (QWidget *field : findChildren<QWidget *>())
        field->installEventFilter(this);
    resize(520, 290);
    m_descriptionEdit->setFocus();
}

qint64 SubAccountEditor::create(QWidget *owner, const Archive &archive, const QString &descrizione)
{
    Sottoconto record;
    record.descrizione = descrizione.trimmed();
    SubAccountEditor window(archive, record, owner);
    if (record.idConto == 0)
        window.m_accountButton->setFocus();
    return window.runModal();
}

qint64 SubAccountEditor::edit(QWidget *owner, const Archive &archive, qint64 id)
{
    const std::optional<Sottoconto> record = recordToEdit<Sottoconto>(
        owner, id,
        [&](qint64 stored, QString *error) { return loadSottoconto(archive, stored, error); },
        u"Impossibile leggere il sottoconto."_s);
    return record ? SubAccountEditor(archive, *record, owner).runModal() : 0;
}

void SubAccountEditor::chooseAccount()
{
    const qint64 id = ChartFinderDialog::choose(this, m_archive, 1);
    if (id <= 0)
        return;
    m_record.idConto = id;
    m_accountEdit->setText(descrizioneConto(m_archive, id));
    // The choice is final for this sub-account.
    m_accountButton->setEnabled(false);
    m_accountEdit->setEnabled(false);
    m_descriptionEdit->setFocus();
}

void SubAccountEditor::save()
{
    if (m_descriptionEdit->text().trimmed().isEmpty() || m_record.idConto <= 0) {
        MessageService::instance().inform(
            this, u"Selezionare un Conto ed inserire il nome del Sottoconto"_s);
        return;
    }
    Sottoconto record = m_record;
    record.descrizione = m_descriptionEdit->text();
    record.note = m_noteEdit->toPlainText();
    record.iban = m_iban->text().trimmed();
    if (const QString problem = record.iban.isEmpty() ? QString() : ibanProblem(record.iban);
        !problem.isEmpty()) {
        MessageService::instance().inform(this, problem);
        m_iban->setFocus();
        return;
    }
    const ChartSave result = saveSottoconto(m_archive, record);
    finishSave(result, u"Il sottoconto non è stato salvato."_s);
}

bool SubAccountEditor::closingKey(QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Escape && key->key() != Qt::Key_F8)
        return false;
    // Esc and F8 act on release, so that the key does not reach the window underneath once
    // this one has gone. Only a key pressed here counts: the release of an Esc that closed the
    // account finder must not cancel this dialog as well.
    if (event->type() == QEvent::KeyPress) {
        m_pressedKey = key->key();
        return true;
    }
    if (key->isAutoRepeat() || key->key() != m_pressedKey)
        return true;
    m_pressedKey = 0;
    if (key->key() == Qt::Key_F8)
        save();
    else
        reject();
    return true;
}

bool SubAccountEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (closingKey(event))
        return true;
    // In the notes too Enter moves on, as in every field of the program.
    if (watched == m_noteEdit && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SubAccountEditor::keyPressEvent(QKeyEvent *event)
{
    if (!closingKey(event))
        QDialog::keyPressEvent(event);
}

void SubAccountEditor::keyReleaseEvent(QKeyEvent *event)
{
    if (!closingKey(event))
        QDialog::keyReleaseEvent(event);
}
