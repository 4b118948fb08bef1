#include "settings/PreferencesWindow.h"

#include "data/Backup.h"
#include "data/EngineErrors.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int CaptionLength = 50;
constexpr int OrganisationLength = 100;

QLineEdit *addField(QFormLayout *form, QWidget *parent, const QString &label, int maxLength)
{
    auto *field = new QLineEdit(parent);
    field->setMaxLength(maxLength);
    form->addRow(label, field);
    return field;
}

} // namespace

PreferencesWindow::PreferencesWindow(const Archive &archive, QWidget *parent)
    : QDialog(parent), m_archive(archive)
{
    setObjectName(u"PreferencesWindow"_s);
    setWindowTitle(u"Preferenze"_s);

    m_tabs = new QTabWidget(this);
    m_tabs->addTab(buildCaptionsTab(), u"Descrizioni Contabilità"_s);
    m_tabs->addTab(buildOrganisationTab(), u"Dati anagrafici Organizzazione"_s);
    m_tabs->addTab(buildBackupTab(), u"Copie di sicurezza"_s);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *cmdChiudi = buttons->addButton(u"Chiudi"_s, QDialogButtonBox::AcceptRole);
    cmdChiudi->setObjectName(u"cmdChiudi"_s);
    cmdChiudi->setAutoDefault(false);
    addHelpButton(buttons, HelpContext::Preferenze);
    connect(cmdChiudi, &QPushButton::clicked, this, &PreferencesWindow::closeWindow);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);

    enterMovesToNextField(this);
    resize(580, sizeHint().height());
}

QWidget *PreferencesWindow::buildCaptionsTab()
{
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);
    for (const CaptionField &caption : captionFields()) {
        QLineEdit *field = addField(form, page, caption.label, CaptionLength);
        field->setObjectName(u"txt_"_s + caption.key);
        // Loading and saving walk the fields with the key each one carries.
        field->setProperty("chiave", caption.key);
        m_captions.append(field);
    }
    return page;
}

QWidget *PreferencesWindow::buildOrganisationTab()
{
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);
    for (int position = 1; position <= OrganisationFieldCount; ++position) {
        QLineEdit *field =
            addField(form, page, organisationLabels()[size_t(position - 1)], OrganisationLength);
        field->setObjectName(u"txt_"_s + organisationKey(position));
        field->setProperty("chiave", organisationKey(position));
        m_organisation.append(field);
    }
    m_purchaseVatCheck = new QCheckBox(u"IVA sugli acquisti detraibile"_s, page);
    m_purchaseVatCheck->setObjectName(u"purchaseVatCheck"_s);
    form->addRow(QString(), m_purchaseVatCheck);
    form->addRow(noteLabel(u"Con l'IVA detraibile, l'importazione delle fatture elettroniche "
                           u"registra l'IVA degli acquisti in \"IVA su acquisti\"; altrimenti "
                           u"la somma al costo."_s,
                           page));
    return page;
}

QWidget *PreferencesWindow::buildBackupTab()
{
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);
    m_keptBackups = new QSpinBox(page);
    m_keptBackups->setObjectName(u"spnCopie"_s);
    m_keptBackups->setRange(1, 999);
    form->addRow(u"Copie da conservare:"_s, m_keptBackups);
    form->addRow(noteLabel(u"Prima della chiusura dell'esercizio, della stampa definitiva, del "
                           u"ricalcolo dei progressivi e di ogni altra operazione che modifica "
                           u"molte registrazioni, il programma copia l'archivio nella sua "
                           u"cartella \"backup\"; le copie più vecchie oltre questo numero sono "
                           u"eliminate."_s,
                           page));
    return page;
}

void PreferencesWindow::run(QWidget *owner, const Archive &archive)
{
    PreferencesWindow window(archive, owner);
    QString error;
    if (!window.load(&error)) {
        MessageService::instance().inform(
            owner, failureMessage(u"Impossibile leggere le preferenze dell'archivio."_s, error),
            MessageService::Icon::Critical);
        return;
    }
    window.exec();
}

bool PreferencesWindow::load(QString *error)
{
    Preferences loaded;
    if (!loadPreferences(m_archive, &loaded, error))
        return false;
    for (int i = 0; i < m_captions.size(); ++i)
        m_captions[i]->setText(loaded.captions.value(i));
    for (int i = 0; i < m_organisation.size(); ++i)
        m_organisation[i]->setText(loaded.organisation.value(i));
    m_purchaseVatCheck->setChecked(loaded.purchaseVatDeductible);
    m_keptBackups->setValue(keptBackups());
    m_loaded = values();
    m_loadedKeptBackups = m_keptBackups->value();
    return true;
}

Preferences PreferencesWindow::values() const
{
    Preferences current;
    for (const QLineEdit *field : m_captions)
        current.captions.append(field->text());
    for (const QLineEdit *field : m_organisation)
        current.organisation.append(field->text());
    current.purchaseVatDeductible = m_purchaseVatCheck->isChecked();
    return current;
}

bool PreferencesWindow::hasChanges() const
{
    return !(values() == m_loaded) || m_keptBackups->value() != m_loadedKeptBackups;
}

bool PreferencesWindow::save()
{
    const Preferences current = values();
    MessageService &messages = MessageService::instance();
    const PreferencesProblem problem = checkPreferences(current);
    if (problem != PreferencesProblem::None) {
        messages.inform(this, problemMessage(problem), MessageService::Icon::Warning);
        QLineEdit *field =
            problem == PreferencesProblem::MissingName ? m_organisation[0] : m_captions[0];
        m_tabs->setCurrentWidget(field->parentWidget());
        field->setFocus();
        return false;
    }
    QString error;
    if (!savePreferences(m_archive, current, &error) ||
        !setKeptBackups(m_keptBackups->value(), &error)) {
        informFailure(this, u"Le preferenze non sono state salvate."_s, error);
        return false;
    }
    return true;
}

void PreferencesWindow::closeWindow()
{
    if (save())
        accept();
}

void PreferencesWindow::reject()
{
    if (hasChanges()) {
        switch (MessageService::instance().askYesNoCancel(
            this, u"Salvare le modifiche alle preferenze?"_s)) {
        case MessageService::Answer::Cancel:
            return;
        case MessageService::Answer::Yes:
            closeWindow();
            return;
        case MessageService::Answer::No:
            break;
        }
    }
    QDialog::reject();
}
