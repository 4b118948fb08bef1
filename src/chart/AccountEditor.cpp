#include "chart/AccountEditor.h"

#include "ui/ChartFinderDialog.h"
#include "ui/FieldRules.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

AccountEditor::AccountEditor(const Archive &archive, const Conto &record, QWidget *owner)
    : ChartRecordEditor(archive, owner), m_record(record)
{
    setObjectName(u"AccountEditor"_s);
    setWindowTitle(record.id == 0 ? u"Nuovo Conto"_s : u"Modifica Conto"_s);

    QDialogButtonBox *buttons =
        saveCancelButtons(this, HelpContext::Conto, &m_saveButton, &m_cancelButton);
    connect(m_saveButton, &QPushButton::clicked, this, &AccountEditor::save);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildFields());
    layout->addWidget(buttons);
    enterMovesToNextField(this);
    enterMovesOn(m_balanceCheck);
    enterMovesOn(m_cashCheck);
    resize(540, sizeHint().height());
    if (record.idMastro > 0)
        m_codeEdit->setFocus();
    else
        m_ledgerButton->setFocus();
}

QWidget *AccountEditor::buildFields()
{
    auto *fields = new QWidget(this);
    auto *grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);

    m_ledgerEdit = readOnlyBox(u"txtMastro"_s, fields);
    m_ledgerEdit->installEventFilter(this);
    m_ledgerEdit->setCursor(Qt::PointingHandCursor);
    m_ledgerButton = new QToolButton(fields);
    m_ledgerButton->setObjectName(u"cmdMastro"_s);
    m_ledgerButton->setText(u"..."_s);
    m_ledgerButton->setToolTip(u"Scegli il Mastro"_s);
    connect(m_ledgerButton, &QToolButton::clicked, this, &AccountEditor::chooseLedger);
    auto *ledger = new QHBoxLayout;
    ledger->addWidget(m_ledgerEdit, 1);
    ledger->addWidget(m_ledgerButton);
    grid->addWidget(new QLabel(u"Mastro di appartenenza"_s, fields), 0, 0);
    grid->addLayout(ledger, 0, 1, 1, 3);

    m_ledgerCodeEdit = readOnlyBox(u"txtPrefissoMastro"_s, fields);
    m_ledgerCodeEdit->setMaximumWidth(60);
    m_codeEdit = new QLineEdit(fields);
    m_codeEdit->setObjectName(u"txtPrefisso"_s);
    m_codeEdit->setMaxLength(3);
    m_codeEdit->setMaximumWidth(60);
    acceptOnlyCodeCharacters(m_codeEdit, true);
    checkOnLeave(m_codeEdit, [this] { return codeLeft(); }, {m_cancelButton, m_ledgerButton});
    if (m_record.idMastro > 0) {
        m_ledgerEdit->setText(descrizioneMastro(m_archive, m_record.idMastro));
        m_ledgerCodeEdit->setText(m_record.prefisso.left(3));
        m_codeEdit->setText(m_record.prefisso.mid(3, 3));
    } else {
        m_ledgerEdit->setText(u"Selezionare un Mastro -->"_s);
    }
    grid->addWidget(new QLabel(u"Codice"_s, fields), 1, 0);
    grid->addWidget(m_ledgerCodeEdit, 1, 1);
    grid->addWidget(m_codeEdit, 1, 2);
    grid->addWidget(noteLabel(u"Il codice del Conto è formato da 6 caratteri: i primi 3 coincidono "
                              "con quelli del Mastro."_s,
                              fields),
                    1, 3);

    m_descriptionEdit = new QLineEdit(m_record.descrizione, fields);
    m_descriptionEdit->setObjectName(u"txtDescrizione"_s);
    m_descriptionEdit->setMaxLength(columnSize(m_archive, u"conti"_s, u"descrizione"_s, 100));
    checkOnLeave(m_descriptionEdit, [this] { return descriptionLeft(); },
                 {m_cancelButton, m_ledgerButton});
    grid->addWidget(new QLabel(u"Descrizione"_s, fields), 2, 0);
    grid->addWidget(m_descriptionEdit, 2, 1, 1, 3);

    grid->addWidget(new QLabel(u"ID"_s, fields), 3, 0);
    grid->addWidget(idBox(m_record.id, fields), 3, 1, 1, 2, Qt::AlignLeft);

    auto *stampa = new QGroupBox(u"Stampa del Bilancio"_s, fields);
    auto *box = new QVBoxLayout(stampa);
    m_balanceCheck = new QCheckBox(u"Contrassegna questo Conto"_s, stampa);
    m_balanceCheck->setObjectName(u"chkBilancio"_s);
    m_balanceCheck->setChecked(m_record.bilancio);
    box->addWidget(m_balanceCheck);
    box->addWidget(
        noteLabel(u"Se selezionato, la stampa del Bilancio con Opzione \n"
                  "\"Nascondi i Sotto Conti dei Conti contrassegnati\"\n"
                  "non visualizzerà i Sotto Conti di questo Conto ed i relativi Saldi."_s,
                  stampa));
    grid->addWidget(stampa, 4, 0, 1, 4);

    auto *cash = new QGroupBox(u"Rendiconto per cassa"_s, fields);
    auto *cashBox = new QVBoxLayout(cash);
    m_cashCheck = new QCheckBox(u"Disponibilità liquide"_s, cash);
    m_cashCheck->setObjectName(u"chkLiquidita"_s);
    m_cashCheck->setChecked(m_record.liquidita);
    cashBox->addWidget(m_cashCheck);
    cashBox->addWidget(noteLabel(u"I Sotto Conti di questo Conto sono cassa o banca: i loro "
                                 u"movimenti sono le entrate e le uscite del rendiconto per "
                                 u"cassa."_s,
                                 cash));
    grid->addWidget(cash, 5, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    return fields;
}

qint64 AccountEditor::edit(QWidget *owner, const Archive &archive, qint64 id)
{
    const std::optional<Conto> record = recordToEdit<Conto>(
        owner, id, [&](qint64 stored, QString *error) { return loadConto(archive, stored, error); },
        u"Impossibile leggere il conto."_s);
    return record ? AccountEditor(archive, *record, owner).runModal() : 0;
}

bool AccountEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ledgerEdit && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        chooseLedger();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AccountEditor::chooseLedger()
{
    const qint64 id = ChartFinderDialog::choose(this, m_archive, 0);
    if (id < 1) {
        m_record.idMastro = 0;
        m_ledgerCodeEdit->clear();
        m_ledgerEdit->setText(u"Selezionare un Mastro.."_s);
        return;
    }
    m_record.idMastro = id;
    m_ledgerEdit->setText(descrizioneMastro(m_archive, id));
    m_ledgerCodeEdit->setText(prefissoMastro(m_archive, id));
    m_codeEdit->setFocus();
}

bool AccountEditor::codeLeft()
{
    if (!isThreeCharacterCode(m_codeEdit->text())) {
        MessageService::instance().inform(
            this, u"La seconda parte del Codice Conto deve essere di 3 caratteri"_s);
        return false;
    }
    m_codeEdit->setText(normalisedCode(m_codeEdit->text()));
    return true;
}

bool AccountEditor::descriptionLeft()
{
    const QString trimmed = m_descriptionEdit->text().trimmed();
    if (trimmed.isEmpty()) {
        MessageService::instance().inform(this, u"Inserire una Descrizione"_s);
        return false;
    }
    m_descriptionEdit->setText(trimmed);
    return true;
}

void AccountEditor::save()
{
    MessageService &messages = MessageService::instance();
    if (!isThreeCharacterCode(m_codeEdit->text()) ||
        m_descriptionEdit->text().trimmed().isEmpty() || m_record.idMastro <= 0) {
        messages.inform(this, u"Completare l'inserimento dei campi obbligatori"_s);
        return;
    }
    Conto record = m_record;
    record.bilancio = m_balanceCheck->isChecked();
    record.liquidita = m_cashCheck->isChecked();
    record.prefisso = accountCode(m_ledgerCodeEdit->text(), m_codeEdit->text());
    record.descrizione = m_descriptionEdit->text().trimmed();
    const ChartSave result = saveConto(m_archive, record);
    if (result.duplicateCode) {
        messages.inform(this, u"Codice Conto già presente."_s);
        m_codeEdit->setFocus();
        return;
    }
    finishSave(result, u"Il conto non è stato salvato."_s);
}
