#include "archive/NewArchiveWindow.h"

#include "archive/NewArchive.h"
#include "data/EngineErrors.h"
#include "data/ProgramFiles.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QStringList MonthNames = {u"gennaio"_s,   u"febbraio"_s, u"marzo"_s,    u"aprile"_s,
                                u"maggio"_s,    u"giugno"_s,   u"luglio"_s,   u"agosto"_s,
                                u"settembre"_s, u"ottobre"_s,  u"novembre"_s, u"dicembre"_s};

QString quoted(const QString &text)
{
    return u"\""_s + text + u"\""_s;
}

} // namespace

NewArchiveWindow::NewArchiveWindow(const QString &programFolder, const QList<ChartTemplate> &charts,
                                   QWidget *parent)
    : QDialog(parent), m_programFolder(programFolder), m_charts(charts)
{
    setObjectName(u"NewArchiveWindow"_s);
    setWindowTitle(u"Nuova Contabilità"_s);

    auto *lblTitle = new QLabel(u"Questa scheda consente di creare una nuova Contabilità."_s, this);
    QFont bold = lblTitle->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    lblTitle->setFont(bold);
    auto *lblcom =
        new QLabel(u"La Cartella di partenza serve a contenere la cartella della contabilità che "
                   u"si sta creando.\n"
                   u"Il nome della contabilità serve a definire il nome della cartella nella quale "
                   u"verrano inseriti tutti i file\n"
                   u"utili al funzionamento del programma. Si dovrà inoltre indicare il Piano dei "
                   u"Conti tra quelli disponibili.\n"
                   u"Il mese di partenza degli esercizi normalmente è gennaio (predefinito)."_s,
                   this);

    m_folderEdit =
        new QLineEdit(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), this);
    m_folderEdit->setObjectName(u"txtFolder"_s);
    m_folderEdit->setReadOnly(true);
    m_folderEdit->installEventFilter(this);
    m_folderButton = new QPushButton(u"..."_s, this);
    m_folderButton->setObjectName(u"cmdFolderSelect"_s);
    m_folderButton->setAutoDefault(false);
    m_folderButton->setFixedWidth(m_folderButton->fontMetrics().horizontalAdvance(u"...."_s) + 16);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folderEdit, 1);
    folderRow->addWidget(m_folderButton);

    m_nameEdit = new QLineEdit(u"cont01"_s, this);
    m_nameEdit->setObjectName(u"txtNome"_s);
    m_nameEdit->setMaxLength(60);
    m_nameEdit->installEventFilter(this);

    m_archiveFolderEdit = new QLineEdit(this);
    m_archiveFolderEdit->setObjectName(u"txtContCartel"_s);
    m_archiveFolderEdit->setReadOnly(true);
    m_archiveFolderEdit->setFocusPolicy(Qt::NoFocus);

    m_chartCombo = new QComboBox(this);
    m_chartCombo->setObjectName(u"cmbPdc"_s);
    for (const ChartTemplate &chart : m_charts)
        m_chartCombo->addItem(chart.nome);
    m_chartLabel = new QLabel(this);
    m_chartLabel->setObjectName(u"lblPdc"_s);
    m_chartLabel->setWordWrap(true);
    m_chartLabel->setMinimumHeight(m_chartLabel->fontMetrics().lineSpacing() * 3);
    m_chartLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_startMonthCombo = new QComboBox(this);
    m_startMonthCombo->setObjectName(u"cmbData"_s);
    m_startMonthCombo->addItems(MonthNames);

    m_serverCheck = new QCheckBox(u"&Dati su un server PostgreSQL (più utenti)"_s, this);
    m_serverCheck->setObjectName(u"chkServer"_s);
    m_serverEdit = new QLineEdit(this);
    m_serverEdit->setObjectName(u"txtServer"_s);
    m_serverEdit->setPlaceholderText(u"postgresql://utente@host:5432/database"_s);
    m_serverEdit->setEnabled(false);
    connect(m_serverCheck, &QCheckBox::toggled, m_serverEdit, &QLineEdit::setEnabled);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(u"Cartella di partenza"_s, folderRow);
    form->addRow(
        QString(),
        noteLabel(u"La Cartella della Contabilità verrà creata all'interno di questa Cartella."_s,
                  this));
    form->addRow(u"Nome della Contabilità"_s, m_nameEdit);
    form->addRow(
        QString(),
        noteLabel(
            u"Il nome della Contabilità determina il nome della cartella nella quale sono contenuti tutti i dati relativi alla Contabilità che si sta creando: la cartella prende le lettere (minuscole, senza accenti) e le cifre di ogni parola, al massimo 16. Ad esempio \"Amici del Parco\" diventa tv3_amicidelparco."_s,
            this));
    form->addRow(u"Cartella della Contabilità"_s, m_archiveFolderEdit);
    form->addRow(
        QString(),
        noteLabel(
            u"La Cartella della Contabilità viene ricavata a partire dalla Cartella di Partenza e dal Nome della Contabilità."_s,
            this));
    form->addRow(u"Piano dei Conti"_s, m_chartCombo);
    form->addRow(QString(), m_chartLabel);
    form->addRow(u"Mese di partenza degli Esercizi contabili"_s, m_startMonthCombo);
    form->addRow(
        QString(),
        noteLabel(
            u"Normalmente gli Esercizi contabili coincidono con l'anno solare. Cambiare il mese soltanto se gli Esercizi contabili iniziano e finiscono a cavallo dell'anno solare. Ad esempio: se gli Esercizi iniziano il 1° giugno e terminano il 31 maggio di ogni anno inserire giugno come mese di partenza."_s,
            this));
    form->addRow(QString(), m_serverCheck);
    form->addRow(u"Database del server"_s, m_serverEdit);
    form->addRow(
        QString(),
        noteLabel(
            u"Il database deve esistere ed essere vuoto; la password si legge dal file ~/.pgpass. La cartella della Contabilità conterrà allegati, modelli e documenti e il file server.ini che indica il database."_s,
            this));

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *cmdOK = buttons->addButton(u"OK"_s, QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(u"cmdOK"_s);
    QPushButton *cmdCancel = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(u"cmdCancel"_s);
    addHelpButton(buttons, HelpContext::NuovaContabilita);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(lblcom);
    layout->addSpacing(8);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(m_folderButton, &QPushButton::clicked, this, &NewArchiveWindow::chooseBaseFolder);
    connect(m_nameEdit, &QLineEdit::textChanged, this, &NewArchiveWindow::updateArchiveFolder);
    connect(m_chartCombo, &QComboBox::currentIndexChanged, this,
            &NewArchiveWindow::showChartDescription);
    connect(cmdOK, &QPushButton::clicked, this, &NewArchiveWindow::create);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    showChartDescription(0);
    updateArchiveFolder();
    enterMovesToNextField(this);
    removeCloseButton(this);
    resize(760, sizeHint().height());
}

QString NewArchiveWindow::run(QWidget *parent)
{
    QString error;
    const QString programFolder = programDataFolder();
    const QList<ChartTemplate> charts =
        loadChartTemplates(QDir(programFolder).filePath(u"pdc.gen"_s), &error);
    if (charts.isEmpty()) {
        MessageService::instance().inform(
            parent, failureMessage(u"Impossibile leggere i Piani dei Conti disponibili."_s, error),
            MessageService::Icon::Critical);
        return {};
    }
    NewArchiveWindow window(programFolder, charts, parent);
    return window.exec() == QDialog::Accepted ? window.m_created : QString();
}

bool NewArchiveWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_folderEdit && event->type() == QEvent::MouseButtonRelease) {
        chooseBaseFolder();
        return true;
    }
    // The name cannot be left empty: the focus comes back to it.
    if (watched == m_nameEdit && event->type() == QEvent::FocusOut) {
        m_nameEdit->setText(m_nameEdit->text().trimmed());
        if (m_nameEdit->text().isEmpty())
            QTimer::singleShot(0, m_nameEdit, [this] { m_nameEdit->setFocus(); });
    }
    return QDialog::eventFilter(watched, event);
}

void NewArchiveWindow::chooseBaseFolder()
{
    const QString folder = MessageService::instance().chooseFolder(
        this, u"Seleziona la Cartella principale"_s, m_folderEdit->text());
    if (folder.isEmpty()) {
        MessageService::instance().inform(this, u"Operazione annullata."_s);
        return;
    }
    m_folderEdit->setText(QDir::toNativeSeparators(folder));
    updateArchiveFolder();
}

void NewArchiveWindow::updateArchiveFolder()
{
    m_archiveFolderEdit->setText(QDir::toNativeSeparators(
        archiveFolderFor(QDir::fromNativeSeparators(m_folderEdit->text()), m_nameEdit->text())));
}

void NewArchiveWindow::showChartDescription(int index)
{
    m_chartLabel->setText(index >= 0 && index < m_charts.size() ? m_charts.at(index).descrizione
                                                                : QString());
}

void NewArchiveWindow::create()
{
    MessageService &messages = MessageService::instance();
    const QString nome = m_nameEdit->text().trimmed();
    if (const QString problem = archiveNameProblem(nome); !problem.isEmpty()) {
        messages.inform(this, problem);
        m_nameEdit->setFocus();
        return;
    }
    const QString folder = QDir::fromNativeSeparators(m_archiveFolderEdit->text());
    if (const QString refusal = existingFolderRefusal(folder); !refusal.isEmpty()) {
        messages.inform(this, refusal);
        m_nameEdit->setFocus();
        return;
    }
    const ChartTemplate &chart = m_charts.at(m_chartCombo->currentIndex());
    const QString question = u"Creazione di una nuova Contabilità nella seguente cartella: \n\n"_s +
                             quoted(m_archiveFolderEdit->text()) + u"\n\nPiano dei Conti: "_s +
                             quoted(chart.nome) + u"\nMese di partenza Esercizi: "_s +
                             quoted(m_startMonthCombo->currentText()) + u"\n\nConfermare?"_s;
    if (!messages.ask(this, question, MessageService::Icon::Question, true))
        return;

    NewArchiveRequest request{QDir::fromNativeSeparators(m_folderEdit->text()), nome, chart,
                              m_startMonthCombo->currentIndex() + 1};
    QString error;
    if (m_serverCheck->isChecked()) {
        request.server = serverLocationFromUrl(m_serverEdit->text().trimmed(), &error);
        if (!request.server) {
            messages.inform(this, error);
            m_serverEdit->setFocus();
            return;
        }
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool created = createArchive(request, m_programFolder, &error);
    QGuiApplication::restoreOverrideCursor();
    if (!created) {
        messages.inform(this, failureMessage(u"Impossibile creare la nuova Contabilità."_s, error),
                        MessageService::Icon::Critical);
        return;
    }
    m_created = archiveFolderFor(request.baseFolder, request.nome);
    accept();
}
