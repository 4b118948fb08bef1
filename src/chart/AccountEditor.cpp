#include "chart/AccountEditor.h"

#include "data/EngineErrors.h"
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

namespace {

QLineEdit *readOnlyBox(const QString &name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace

AccountEditor::AccountEditor(const Archive &archive, const Conto &record, QWidget *owner)
    : QDialog(owner), m_archive(archive), m_record(record)
{
    setObjectName(u"AccountEditor"_s);
    setWindowTitle(record.id == 0 ? u"Nuovo Conto"_s : u"Modifica Conto"_s);

    QDialogButtonBox *buttons =
        saveCancelButtons(this, HelpContext::Conto, &m_cmdSalva, &m_cmdAnnulla);
    connect(m_cmdSalva, &QPushButton::clicked, this, &AccountEditor::salva);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildFields());
    layout->addWidget(buttons);
    enterMovesToNextField(this);
    enterMovesOn(m_chkBilancio);
    enterMovesOn(m_chkLiquidita);
    resize(540, sizeHint().height());
    if (record.idMastro > 0)
        m_txtPrefisso->setFocus();
    else
        m_cmdMastro->setFocus();
}

QWidget *AccountEditor::buildFields()
{
    auto *fields = new QWidget(this);
    auto *grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);

    m_txtMastro = readOnlyBox(u"txtMastro"_s, fields);
    m_txtMastro->installEventFilter(this);
    m_txtMastro->setCursor(Qt::PointingHandCursor);
    m_cmdMastro = new QToolButton(fields);
    m_cmdMastro->setObjectName(u"cmdMastro"_s);
    m_cmdMastro->setText(u"..."_s);
    m_cmdMastro->setToolTip(u"Scegli il Mastro"_s);
    connect(m_cmdMastro, &QToolButton::clicked, this, &AccountEditor::chooseLedger);
    auto *ledger = new QHBoxLayout;
    ledger->addWidget(m_txtMastro, 1);
    ledger->addWidget(m_cmdMastro);
    grid->addWidget(new QLabel(u"Mastro di appartenenza"_s, fields), 0, 0);
    grid->addLayout(ledger, 0, 1, 1, 3);

    m_txtPrefissoMastro = readOnlyBox(u"txtPrefissoMastro"_s, fields);
    m_txtPrefissoMastro->setMaximumWidth(60);
    m_txtPrefisso = new QLineEdit(fields);
    m_txtPrefisso->setObjectName(u"txtPrefisso"_s);
    m_txtPrefisso->setMaxLength(3);
    m_txtPrefisso->setMaximumWidth(60);
    acceptOnlyCodeCharacters(m_txtPrefisso, true);
    checkOnLeave(m_txtPrefisso, [this] { return codeLeft(); }, {m_cmdAnnulla, m_cmdMastro});
    if (m_record.idMastro > 0) {
        m_txtMastro->setText(descrizioneMastro(m_archive, m_record.idMastro));
        m_txtPrefissoMastro->setText(m_record.prefisso.left(3));
        m_txtPrefisso->setText(m_record.prefisso.mid(3, 3));
    } else {
        m_txtMastro->setText(u"Selezionare un Mastro -->"_s);
    }
    grid->addWidget(new QLabel(u"Codice"_s, fields), 1, 0);
    grid->addWidget(m_txtPrefissoMastro, 1, 1);
    grid->addWidget(m_txtPrefisso, 1, 2);
    grid->addWidget(noteLabel(u"Il codice del Conto è formato da 6 caratteri: i primi 3 coincidono "
                              "con quelli del Mastro."_s,
                              fields),
                    1, 3);

    m_txtDescrizione = new QLineEdit(m_record.descrizione, fields);
    m_txtDescrizione->setObjectName(u"txtDescrizione"_s);
    m_txtDescrizione->setMaxLength(columnSize(m_archive, u"conti"_s, u"descrizione"_s, 100));
    checkOnLeave(m_txtDescrizione, [this] { return descriptionLeft(); },
                 {m_cmdAnnulla, m_cmdMastro});
    grid->addWidget(new QLabel(u"Descrizione"_s, fields), 2, 0);
    grid->addWidget(m_txtDescrizione, 2, 1, 1, 3);

    m_txtId = readOnlyBox(u"txtId"_s, fields);
    m_txtId->setText(m_record.id == 0 ? QString() : QString::number(m_record.id));
    m_txtId->setMaximumWidth(60);
    grid->addWidget(new QLabel(u"ID"_s, fields), 3, 0);
    grid->addWidget(m_txtId, 3, 1);

    auto *stampa = new QGroupBox(u"Stampa del Bilancio"_s, fields);
    auto *box = new QVBoxLayout(stampa);
    m_chkBilancio = new QCheckBox(u"Contrassegna questo Conto"_s, stampa);
    m_chkBilancio->setObjectName(u"chkBilancio"_s);
    m_chkBilancio->setChecked(m_record.bilancio);
    box->addWidget(m_chkBilancio);
    box->addWidget(
        noteLabel(u"Se selezionato, la stampa del Bilancio con Opzione \n"
                  "\"Nascondi i Sotto Conti dei Conti contrassegnati\"\n"
                  "non visualizzerà i Sotto Conti di questo Conto ed i relativi Saldi."_s,
                  stampa));
    grid->addWidget(stampa, 4, 0, 1, 4);

    auto *cash = new QGroupBox(u"Rendiconto per cassa"_s, fields);
    auto *cashBox = new QVBoxLayout(cash);
    m_chkLiquidita = new QCheckBox(u"Disponibilità liquide"_s, cash);
    m_chkLiquidita->setObjectName(u"chkLiquidita"_s);
    m_chkLiquidita->setChecked(m_record.liquidita);
    cashBox->addWidget(m_chkLiquidita);
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
    Conto record;
    if (id != 0) {
        QString error;
        const std::optional<Conto> stored = loadConto(archive, id, &error);
        if (!stored) {
            if (!error.isEmpty())
                MessageService::instance().inform(
                    owner, failureMessage(u"Impossibile leggere il conto."_s, error),
                    MessageService::Icon::Critical);
            return 0;
        }
        record = *stored;
    }
    AccountEditor window(archive, record, owner);
    window.exec();
    return window.savedId();
}

bool AccountEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtMastro && event->type() == QEvent::MouseButtonRelease &&
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
        m_txtPrefissoMastro->clear();
        m_txtMastro->setText(u"Selezionare un Mastro.."_s);
        return;
    }
    m_record.idMastro = id;
    m_txtMastro->setText(descrizioneMastro(m_archive, id));
    m_txtPrefissoMastro->setText(prefissoMastro(m_archive, id));
    m_txtPrefisso->setFocus();
}

bool AccountEditor::codeLeft()
{
    if (!isThreeCharacterCode(m_txtPrefisso->text())) {
        MessageService::instance().inform(
            this, u"La seconda parte del Codice Conto deve essere di 3 caratteri"_s);
        return false;
    }
    m_txtPrefisso->setText(normalisedCode(m_txtPrefisso->text()));
    return true;
}

bool AccountEditor::descriptionLeft()
{
    const QString trimmed = m_txtDescrizione->text().trimmed();
    if (trimmed.isEmpty()) {
        MessageService::instance().inform(this, u"Inserire una Descrizione"_s);
        return false;
    }
    m_txtDescrizione->setText(trimmed);
    return true;
}

void AccountEditor::salva()
{
    MessageService &messages = MessageService::instance();
    if (!isThreeCharacterCode(m_txtPrefisso->text()) ||
        m_txtDescrizione->text().trimmed().isEmpty() || m_record.idMastro <= 0) {
        messages.inform(this, u"Completare l'inserimento dei campi obbligatori"_s);
        return;
    }
    Conto record = m_record;
    record.bilancio = m_chkBilancio->isChecked();
    record.liquidita = m_chkLiquidita->isChecked();
    record.prefisso = accountCode(m_txtPrefissoMastro->text(), m_txtPrefisso->text());
    record.descrizione = m_txtDescrizione->text().trimmed();
    const ChartSave result = saveConto(m_archive, record);
    if (result.duplicateCode) {
        messages.inform(this, u"Codice Conto già presente."_s);
        m_txtPrefisso->setFocus();
        return;
    }
    if (!result.saved()) {
        messages.inform(this, failureMessage(u"Il conto non è stato salvato."_s, result.error),
                        MessageService::Icon::Critical);
        return;
    }
    m_savedId = result.id;
    accept();
}
