#include "archive/BackupWindows.h"

#include "archive/ArchiveRestore.h"
#include "data/ArchiveCheck.h"
#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "ui/Help.h"
#include "ui/MessageService.h"

#include <QCursor>
#include <QDialogButtonBox>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString operationCaption(const QString &operation)
{
    static const QMap<QString, QString> captions{
        {u"chiusura"_s, u"Chiusura / Apertura Conti"_s},
        {u"riapertura"_s, u"Riapertura esercizio"_s},
        {u"rinumerazione"_s, u"Ricalcolo progressivi"_s},
        {u"stampa-definitiva"_s, u"Stampa definitiva"_s},
        {u"annullo-stampa"_s, u"Annullo stampa definitiva"_s},
        {u"manutenzione"_s, u"Manutenzione tabelle"_s},
        {u"riparazione"_s, u"Riparazione archivio"_s},
        {u"ripristino"_s, u"Ripristino backup"_s},
        {u"manuale"_s, u"Copia manuale"_s},
    };
    return captions.value(operation, operation);
}

} // namespace

BackupChooser::BackupChooser(const QList<ArchiveBackup> &backups, QWidget *parent)
    : QDialog(parent), m_backups(backups)
{
    setWindowTitle(u"Ripristina backup"_s);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(u"Copie di sicurezza dell'archivio, la più recente per prima:"_s, this));
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({u"Data"_s, u"Operazione"_s, u"Dimensione"_s});
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    for (const ArchiveBackup &backup : m_backups) {
        auto *item = new QTreeWidgetItem(
            m_list,
            {backup.takenAt.toString(u"dd/MM/yyyy HH:mm:ss"_s), operationCaption(backup.operation),
             italian.formattedDataSize(backup.size, 1, QLocale::DataSizeTraditionalFormat)});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_list->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (!m_backups.isEmpty())
        m_list->setCurrentItem(m_list->topLevelItem(0));
    layout->addWidget(m_list);

    auto *buttons = new QDialogButtonBox(this);
    addHelpButton(buttons, HelpContext::CopieSicurezza);
    QPushButton *restore = buttons->addButton(u"Ripristina"_s, QDialogButtonBox::AcceptRole);
    QPushButton *other = buttons->addButton(u"Altro file…"_s, QDialogButtonBox::ActionRole);
    buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    restore->setEnabled(!m_backups.isEmpty());
    restore->setDefault(true);
    connect(restore, &QPushButton::clicked, this, &BackupChooser::chooseListed);
    connect(other, &QPushButton::clicked, this, &BackupChooser::chooseOtherFile);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemActivated, this, &BackupChooser::chooseListed);
    layout->addWidget(buttons);
    resize(560, 380);
    m_list->setFocus();
}

void BackupChooser::chooseListed()
{
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || row >= m_backups.size())
        return;
    m_chosen = m_backups.at(row).path;
    accept();
}

void BackupChooser::chooseOtherFile()
{
    m_chosen = MessageService::instance().chooseFile(this, u"Ripristina backup"_s,
                                                     u"Archivi (*.mdb);;Tutti i file (*)"_s);
    if (!m_chosen.isEmpty())
        accept();
}

void saveBackupCopy(QWidget *parent, const Archive &archive)
{
    MessageService &messages = MessageService::instance();
    const QString name =
        u"contab-%1.mdb"_s.arg(QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s));
    const QString target = messages.chooseSaveFile(parent, u"Backup"_s, u"Archivi (*.mdb)"_s,
                                                   QDir::home().filePath(name), u"mdb"_s);
    if (target.isEmpty())
        return;
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool saved = saveArchiveCopy(archive, target, &error);
    QGuiApplication::restoreOverrideCursor();
    if (!saved) {
        informFailure(parent, u"Copia di sicurezza non eseguita."_s, error);
        return;
    }
    messages.inform(parent,
                    u"Copia dell'archivio salvata in %1"_s.arg(QDir::toNativeSeparators(target)));
}

bool restoreBackup(QWidget *parent, const Archive &archive)
{
    BackupChooser chooser(archiveBackups(archive), parent);
    if (chooser.exec() != QDialog::Accepted)
        return false;
    MessageService &messages = MessageService::instance();
    const QString chosen = chooser.chosenPath();
    if (!messages.ask(parent,
                      u"Sostituire l'archivio con la copia %1?\n\nLe registrazioni scritte dopo "
                      u"la copia andranno perse; l'archivio attuale viene prima conservato fra "
                      u"le copie di sicurezza."_s.arg(QDir::toNativeSeparators(chosen)),
                      MessageService::Icon::Question, false))
        return false;
    QString replaced;
    QString error;
    QString notice;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool restored = restoreArchive(archive, chosen, &replaced, &error, &notice);
    QGuiApplication::restoreOverrideCursor();
    if (!restored) {
        informFailure(parent, u"Ripristino non eseguito, archivio invariato."_s, error);
        return false;
    }
    messages.inform(parent,
                    u"Archivio ripristinato.\nL'archivio sostituito è conservato in %1"_s.arg(
                        QDir::toNativeSeparators(replaced)) +
                        (notice.isEmpty() ? QString() : u"\n\n"_s + notice));
    return true;
}

void showArchiveCheck(QWidget *parent, const FiscalEnvironment &environment)
{
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const std::optional<ArchiveCheck> check =
        checkArchive(environment.archive(), environment.yearStart(), environment.yearEnd(), &error);
    QGuiApplication::restoreOverrideCursor();
    MessageService &messages = MessageService::instance();
    if (!check) {
        messages.inform(parent, failureMessage(u"Impossibile controllare l'archivio."_s, error),
                        MessageService::Icon::Critical);
        return;
    }
    if (check->sound()) {
        messages.inform(parent, u"Controllo archivio: nessun problema trovato."_s);
        return;
    }
    messages.inform(parent,
                    u"Controllo archivio: problemi trovati.\n\n"_s +
                        check->problemLines().join(u"\n"_s),
                    MessageService::Icon::Warning);
}
