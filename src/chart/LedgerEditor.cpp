#include "chart/LedgerEditor.h"

#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "ui/FieldRules.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

LedgerEditor::LedgerEditor(const Mastro &record, const FiscalEnvironment &environment,
                           QWidget *owner)
    : ChartRecordEditor(environment.archive(), owner), m_record(record)
{
    setObjectName(u"LedgerEditor"_s);
    setWindowTitle(record.id == 0 ? u"Nuovo Mastro"_s : u"Modifica Mastro"_s);

    QDialogButtonBox *buttons =
        saveCancelButtons(this, HelpContext::Mastro, &m_saveButton, &m_cancelButton);
    connect(m_saveButton, &QPushButton::clicked, this, &LedgerEditor::save);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildFields(environment));
    layout->addWidget(buttons);
    enterMovesToNextField(this);
    m_codeEdit->setFocus();
    resize(480, sizeHint().height());
}

QWidget *LedgerEditor::buildFields(const FiscalEnvironment &environment)
{
    auto *fields = new QWidget(this);
    auto *grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);

    m_codeEdit = new QLineEdit(m_record.prefisso, fields);
    m_codeEdit->setObjectName(u"txtPrefisso"_s);
    m_codeEdit->setMaxLength(3);
    m_codeEdit->setMaximumWidth(70);
    acceptOnlyCodeCharacters(m_codeEdit, false);
    checkOnLeave(m_codeEdit, [this] { return codeLeft(); }, {m_cancelButton});
    grid->addWidget(new QLabel(u"Codice"_s, fields), 0, 0);
    grid->addWidget(m_codeEdit, 0, 1);
    grid->addWidget(noteLabel(u"Codice Mastro di 3 caratteri."_s, fields), 0, 2);

    m_descriptionEdit = new QLineEdit(m_record.descrizione, fields);
    m_descriptionEdit->setObjectName(u"txtDescrizione"_s);
    m_descriptionEdit->setMaxLength(columnSize(m_archive, u"mastri"_s, u"descrizione"_s, 100));
    // An empty description holds the focus without a word.
    checkOnLeave(m_descriptionEdit,
                 [this] { return !m_descriptionEdit->text().trimmed().isEmpty(); },
                 {m_cancelButton});
    grid->addWidget(new QLabel(u"Descrizione"_s, fields), 1, 0);
    grid->addWidget(m_descriptionEdit, 1, 1, 1, 2);

    grid->addWidget(new QLabel(u"ID"_s, fields), 2, 0);
    grid->addWidget(idBox(m_record.id, fields), 2, 1);

    auto *natura = new QGroupBox(u"Natura del Mastro"_s, fields);
    auto *options = new QVBoxLayout(natura);
    const QStringList names = environment.natureNames();
    // Memorandum accounts (code 0) come last, as in every listing of the chart.
    for (const int tipo : {1, 2, 3, 4, 0}) {
        m_natureOptions[tipo] = new QRadioButton(names.value(tipo), natura);
        m_natureOptions[tipo]->setObjectName(u"optTipo%1"_s.arg(tipo));
        enterMovesOn(m_natureOptions[tipo]);
        options->addWidget(m_natureOptions[tipo]);
        // A stored ledger keeps its nature.
        m_natureOptions[tipo]->setEnabled(m_record.id == 0 || tipo == m_record.tipo);
    }
    m_natureOptions[m_record.id == 0 ? 1 : qBound(0, m_record.tipo, 4)]->setChecked(true);
    grid->addWidget(natura, 3, 0, 1, 3);

    auto *stampa = new QGroupBox(u"Stampa del Bilancio"_s, fields);
    auto *group = new QGridLayout(stampa);
    m_groupEdit = new QLineEdit(m_record.gruppo, stampa);
    m_groupEdit->setObjectName(u"txtGruppo"_s);
    m_groupEdit->setMaxLength(columnSize(m_archive, u"mastri"_s, u"gruppo"_s, 100));
    group->addWidget(new QLabel(u"Gruppo"_s, stampa), 0, 0);
    group->addWidget(m_groupEdit, 0, 1);
    group->addWidget(noteLabel(u"Descrizione (opzionale) per aggiungere un ulteriore livello alla "
                               "stampa del Bilancio."_s,
                               stampa),
                     1, 0, 1, 2);
    grid->addWidget(stampa, 4, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    return fields;
}

qint64 LedgerEditor::edit(QWidget *owner, const FiscalEnvironment &environment, qint64 id)
{
    const std::optional<Mastro> record = recordToEdit<Mastro>(
        owner, id,
        [&](qint64 stored, QString *error) {
            return loadMastro(environment.archive(), stored, error);
        },
        u"Impossibile leggere il mastro."_s);
    return record ? LedgerEditor(*record, environment, owner).runModal() : 0;
}

bool LedgerEditor::codeLeft()
{
    if (!isThreeCharacterCode(m_codeEdit->text())) {
        MessageService::instance().inform(this, u"Il Codice Mastro deve essere di 3 caratteri"_s);
        return false;
    }
    m_codeEdit->setText(normalisedCode(m_codeEdit->text()));
    return true;
}

int LedgerEditor::chosenNature() const
{
    for (int tipo = 0; tipo < 5; ++tipo) {
        if (m_natureOptions[tipo]->isChecked())
            return tipo;
    }
    return 1;
}

void LedgerEditor::save()
{
    const QString code = normalisedCode(m_codeEdit->text());
    const QString descrizione = m_descriptionEdit->text();
    MessageService &messages = MessageService::instance();
    if (!isThreeCharacterCode(code) || descrizione.trimmed().isEmpty()) {
        messages.inform(this, u"Completare l'inserimento dei campi obbligatori"_s);
        return;
    }
    if (!confirmNew(code, descrizione))
        return;
    Mastro record = m_record;
    record.prefisso = code;
    record.descrizione = descrizione;
    record.tipo = chosenNature();
    record.gruppo = m_groupEdit->text();
    const ChartSave result = saveMastro(m_archive, record);
    finishSave(result, u"Il mastro non è stato salvato."_s);
}

bool LedgerEditor::confirmNew(const QString &code, const QString &descrizione)
{
    MessageService &messages = MessageService::instance();
    QString error;
    // The code is checked for a changed ledger too: two ledgers with one code would give
    // their accounts codes that cannot be told apart.
    const std::optional<bool> codeUsed = mastroCodeInUse(m_archive, code, m_record.id, &error);
    if (!codeUsed) {
        messages.inform(this,
                        failureMessage(u"Impossibile controllare i mastri dell'archivio."_s, error),
                        MessageService::Icon::Critical);
        return false;
    }
    if (*codeUsed) {
        messages.inform(this, u"Attenzione! Il codice del Mastro inserito è già presente "
                              "nell'archivio dei Mastri"_s);
        m_codeEdit->setFocus();
        return false;
    }
    if (m_record.id != 0)
        return true;
    const std::optional<bool> descriptionUsed =
        mastroDescriptionInUse(m_archive, descrizione, &error);
    if (!descriptionUsed) {
        messages.inform(this,
                        failureMessage(u"Impossibile controllare i mastri dell'archivio."_s, error),
                        MessageService::Icon::Critical);
        return false;
    }
    if (*descriptionUsed &&
        !messages.ask(this, u"Attenzione! La descrizione del Mastro è già presente "
                            "nell'archivio dei Mastri\nProcedere ugualmente?"_s)) {
        m_descriptionEdit->setFocus();
        return false;
    }
    return true;
}
