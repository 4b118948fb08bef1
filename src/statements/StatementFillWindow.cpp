#include "statements/StatementFillWindow.h"

#include "data/Database.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/ReportOutput.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

StatementFillWindow::StatementFillWindow(const QString &archiveFolder, const StatementYears &years,
                                         QWidget *parent)
    : QDialog(parent), m_archiveFolder(archiveFolder), m_years(years)
{
    setObjectName(u"StatementFillWindow"_s);
    setWindowTitle(u"Bilancio riclassificato"_s);

    auto *notes = new QLabel(
        u"Questa procedura permette di generare un foglio Excel a partire da un modello (xltx) "
        u"con i dati relativi ai saldi dei conti patrimoniali ed economici degli esercizi "
        u"contabili corrente e precedente (consultare la guida in linea per maggiori "
        u"informazioni). Dopo ogni file generato si può scegliere un altro modello."_s,
        this);
    notes->setWordWrap(true);
    setMinimumWidth(560);

    m_folderEdit = new QLineEdit(u"Selezionare un File Modello di Bilancio.."_s, this);
    m_folderEdit->setObjectName(u"txtFolder"_s);
    m_folderEdit->setReadOnly(true);
    m_folderEdit->installEventFilter(this);
    auto *cmdFolderSelect = new QPushButton(u"..."_s, this);
    cmdFolderSelect->setObjectName(u"cmdFolderSelect"_s);
    cmdFolderSelect->setAutoDefault(false);
    connect(cmdFolderSelect, &QPushButton::clicked, this, &StatementFillWindow::chooseTemplate);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_folderEdit, 1);
    fileRow->addWidget(cmdFolderSelect);

    auto *buttons = new QDialogButtonBox(this);
    m_okButton = buttons->addButton(u"Genera"_s, QDialogButtonBox::ActionRole);
    m_okButton->setObjectName(u"cmdOK"_s);
    m_okButton->setEnabled(false);
    connect(m_okButton, &QPushButton::clicked, this, &StatementFillWindow::genera);
    QPushButton *cmdCancel = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(u"cmdCancel"_s);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    addHelpButton(buttons, HelpContext::BilancioRiclassificato);

    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(notes);
    layout->addWidget(new QLabel(u"File Modello di Bilancio"_s, this));
    layout->addLayout(fileRow);
    layout->addWidget(new QLabel(u"Formati accettati: XLTX (modello Excel), XLSX"_s, this));
    layout->addWidget(buttons);
    layout->addWidget(m_status);
}

QString StatementFillWindow::statusText() const
{
    return m_status->currentMessage();
}

bool StatementFillWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_folderEdit && event->type() == QEvent::MouseButtonPress) {
        chooseTemplate();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void StatementFillWindow::chooseTemplate()
{
    const QString path = MessageService::instance().chooseFile(
        this, u"Apri il file Modello"_s, u"Modello Excel (*.xltx *.xlsx)"_s,
        QDir(m_archiveFolder).filePath(u"modelli"_s));
    if (path.isEmpty()) {
        m_okButton->setEnabled(false);
        return;
    }
    m_folderEdit->setText(QDir::toNativeSeparators(path));
    QString error;
    if (!m_filler.loadTemplate(path, &error)) {
        // The template cannot be used; another one may be chosen.
        m_okButton->setEnabled(false);
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
        return;
    }
    m_templatePath = path;
    m_okButton->setEnabled(true);
}

void StatementFillWindow::genera()
{
    const SaveChoice choice = saveChoiceFor(m_templatePath);
    // The template's name and the year, as the other exports name their files.
    const QString proposed =
        QDir(m_archiveFolder)
            .filePath(u"documenti/"_s +
                      exportBaseName(QFileInfo(m_templatePath).completeBaseName(),
                                     m_years.current.start, m_years.current.end) +
                      u'.' + choice.suffix);
    const QString out = MessageService::instance().chooseSaveFile(
        this, u"Salva il File generato"_s, choice.filter, proposed, choice.suffix);
    if (out.isEmpty())
        return;
    m_okButton->setEnabled(false);
    m_status->showMessage(u"Attendere . . "_s);
    m_status->repaint();
    const auto tick = [this] {
        m_status->showMessage(m_status->currentMessage() + u". "_s);
        m_status->repaint();
    };
    QString error;
    QString notice;
    if (!generateStatement(m_filler, Archive(m_archiveFolder), m_years, out, tick, &error,
                           &notice)) {
        finish(u"Procedura interrotta.\n"_s + error, MessageService::Icon::Critical);
        return;
    }
    finish(u"File generato con successo: %1"_s.arg(QDir::toNativeSeparators(out)) +
               (notice.isEmpty() ? QString() : u"\n"_s + notice),
           notice.isEmpty() ? MessageService::Icon::Information : MessageService::Icon::Warning);
}

// The window stays open for the next template; the filled one is read again, since filling
// replaced its placeholders.
void StatementFillWindow::finish(const QString &message, MessageService::Icon icon)
{
    m_status->showMessage(u"Processo terminato."_s);
    MessageService::instance().inform(this, message, icon);
    QString error;
    m_okButton->setEnabled(m_filler.loadTemplate(m_templatePath, &error));
}
