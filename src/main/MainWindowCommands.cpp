// The main window's commands: menus, toolbars, the pop-up menu and what their actions do.

#include "main/MainWindow.h"

#include "archive/ArchiveCommands.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/grid/GroupedGrid.h"
#include "ui/grid/GroupedGridModel.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStyle>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {

QIcon standardIcon(QStyle::StandardPixmap pixmap)
{
    return QApplication::style()->standardIcon(pixmap);
}

const QString TableMaintenanceWarning =
    u"\nAttenzione!\n\n"
    u"La modifica diretta delle tabelle è una operazione che va utilizzata \n"
    u"solo in caso di reale necessità e comunque da utenti esperti.\n"
    u"L'utilizzo errato di questa funzionalità potrebbe provocare\n"
    u"un danno irreparabile al database della contabilità.\n\n"
    u"Procedere?"_s;

} // namespace

QAction *MainWindow::addCommand(QMenu *menu, const QString &caption, const QKeySequence &key)
{
    QAction *action = menu->addAction(caption);
    action->setShortcut(key);
    action->setEnabled(false);
    return action;
}

void MainWindow::buildMenus()
{
    auto command = [this](QMenu *menu, const QString &caption, Command c,
                          const QKeySequence &key = {}) {
        QAction *action = addCommand(menu, caption, key);
        m_commandActions[c].append(action);
        connect(action, &QAction::triggered, this, [this, c] {
            if (const auto it = m_handlers.find(c); it != m_handlers.end())
                it->second();
        });
        return action;
    };

    QMenu *file = menuBar()->addMenu(u"&File"_s);
    m_newArchiveAction = addCommand(file, u"Nuova Contabilità"_s);
    m_openArchiveAction = addCommand(file, u"Apri Contabilità"_s);
    m_newArchiveAction->setEnabled(true);
    m_openArchiveAction->setEnabled(true);
    connect(m_newArchiveAction, &QAction::triggered, this, &MainWindow::newArchive);
    connect(m_openArchiveAction, &QAction::triggered, this, &MainWindow::chooseArchive);
    file->addSeparator();
    command(file, u"Stampa"_s, Command::Stampa, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12));
    file->addSeparator();
    command(file, u"Importa estratto conto…"_s, Command::ImportaEstrattoConto,
            QKeySequence(Qt::CTRL | Qt::Key_I));
    command(file, u"Importa fatture elettroniche…"_s, Command::ImportaFattureElettroniche,
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
    file->addSeparator();
    command(file, u"Backup…"_s, Command::Backup);
    command(file, u"Ripristina backup…"_s, Command::RipristinaBackup);
    file->addSeparator();
    QAction *esci = file->addAction(u"Esci"_s);
    connect(esci, &QAction::triggered, this, &QWidget::close);

    QMenu *record = menuBar()->addMenu(u"&Record"_s);
    m_createRecordAction = addCommand(record, u"Nuovo"_s, QKeySequence(Qt::Key_F5));
    m_openRecordAction = addCommand(record, u"Apri"_s);
    m_elimina = command(record, u"Elimina"_s, Command::Elimina, QKeySequence(Qt::Key_Delete));
    record->addSeparator();
    m_trova = record->addAction(u"Trova"_s);
    m_trova->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(m_createRecordAction, &QAction::triggered, this, &MainWindow::createRecord);
    connect(m_openRecordAction, &QAction::triggered, this, &MainWindow::openRecord);
    connect(m_trova, &QAction::triggered, this, [this] { m_searchEdit->setFocus(); });

    QMenu *view = menuBar()->addMenu(u"&Visualizza"_s);
    const Qt::Key viewKeys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5};
    for (int v = 0; v < MainViewCount; ++v) {
        QAction *action = view->addAction(mainViewDefinition(MainView(v)).caption);
        action->setShortcut(QKeySequence(Qt::CTRL | viewKeys[v]));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, v] { showView(MainView(v)); });
        m_viewActions[v] = action;
    }
    view->addSeparator();
    command(view, u"Cruscotto"_s, Command::Cruscotto, QKeySequence(Qt::CTRL | Qt::Key_F6));
    view->addSeparator();
    command(view, u"Data di lavoro"_s, Command::DataLavoro, QKeySequence(Qt::CTRL | Qt::Key_D));
    view->addSeparator();
    command(view, u"Preferenze"_s, Command::Preferenze);

    QMenu *tools = menuBar()->addMenu(u"&Strumenti"_s);
    command(tools, u"Chiusura / Apertura Conti"_s, Command::ChiusuraApertura);
    command(tools, u"Riapri esercizio…"_s, Command::RiapriEsercizio);
    tools->addSeparator();
    command(tools, u"Ricalcolo progressivi"_s, Command::RicalcoloProgressivi);
    command(tools, u"Controllo archivio"_s, Command::ControlloArchivio);
    tools->addSeparator();
    command(tools, u"Riconciliazione bancaria…"_s, Command::RiconciliazioneBancaria);
    command(tools, u"Bilancio riclassificato"_s, Command::BilancioRiclassificato);

    QMenu *help = menuBar()->addMenu(u"&?"_s);
    command(help, u"&Guida in linea"_s, Command::Guida);
    help->addSeparator();
    QAction *keys = help->addAction(u"&Tasti di scelta rapida"_s);
    connect(keys, &QAction::triggered, this, [this] { showShortcutsHelp(this); });
    help->addSeparator();
    help->addSeparator();
    command(help, u"&Informazioni su"_s, Command::Informazioni);

    m_tableMaintenanceKey =
        new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::ALT | Qt::Key_T), this);
    m_tableMaintenanceKey->setEnabled(false);
    connect(m_tableMaintenanceKey, &QShortcut::activated, this,
            &MainWindow::confirmTableMaintenance);
}

void MainWindow::buildToolBars()
{
    QToolBar *tb = addToolBar(u"Record"_s);
    tb->setObjectName(u"tb"_s);
    tb->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tb->setMovable(false);
    auto add = [tb](QAction *shared, const QIcon &icon, const QString &tip) {
        QAction *button = tb->addAction(icon, shared->text());
        button->setToolTip(tip.isEmpty() ? shared->text() : tip);
        button->setEnabled(shared->isEnabled());
        connect(shared, &QAction::changed, button,
                [button, shared] { button->setEnabled(shared->isEnabled()); });
        connect(button, &QAction::triggered, shared, &QAction::trigger);
        return button;
    };
    add(m_createRecordAction, standardIcon(QStyle::SP_FileIcon), {});
    add(m_openRecordAction, standardIcon(QStyle::SP_DialogOpenButton),
        u"Apre una registrazione esistente"_s);
    add(m_elimina, standardIcon(QStyle::SP_TrashIcon), u"Elimina una registrazione esistente"_s);
    tb->addSeparator();
    m_aggiorna = tb->addAction(standardIcon(QStyle::SP_BrowserReload), u"Aggiorna"_s);
    connect(m_aggiorna, &QAction::triggered, this, &MainWindow::reloadView);
    tb->addSeparator();
    add(m_commandActions[Command::Stampa].first(), standardIcon(QStyle::SP_FileDialogContentsView),
        u"Stampa i Report della Visualizzazione attiva"_s);
    add(m_commandActions[Command::Cruscotto].first(), standardIcon(QStyle::SP_ComputerIcon),
        u"Cruscotto dell'esercizio (Ctrl+F6)"_s);
    tb->addSeparator();
    add(m_commandActions[Command::Guida].first(), standardIcon(QStyle::SP_DialogHelpButton), {})
        ->setText(u"Guida"_s);

    QToolBar *tbGroup = addToolBar(u"Gruppi"_s);
    tbGroup->setObjectName(u"tbGroup"_s);
    tbGroup->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tbGroup->setMovable(false);
    m_collapseAll = tbGroup->addAction(standardIcon(QStyle::SP_ArrowUp), u"Comprimi"_s);
    m_collapseAll->setObjectName(u"collapseall"_s);
    m_collapseAll->setToolTip(u"Mostra solo le nature e i conti"_s);
    m_expandAll = tbGroup->addAction(standardIcon(QStyle::SP_ArrowDown), u"Espandi"_s);
    m_expandAll->setObjectName(u"expandall"_s);
    m_expandAll->setToolTip(u"Espande tutte le schede"_s);
    connect(m_collapseAll, &QAction::triggered, this, [this] {
        if (m_cardsModel->rowCount() > 0)
            m_cardsGrid->collapseToFirstLevel();
    });
    connect(m_expandAll, &QAction::triggered, m_cardsGrid, &GroupedGrid::expandEverything);
}

void MainWindow::buildPopupMenu()
{
    m_entryMenu = new QMenu(this);
    m_entryMenu->setObjectName(u"mnuReg"_s);
    m_newAction = m_entryMenu->addAction(u"Nuovo"_s);
    m_duplicateAction = m_entryMenu->addAction(u"Duplica"_s);
    m_editAction = m_entryMenu->addAction(u"Modifica"_s);
    m_entryMenu->addSeparator();
    m_deleteAction = m_entryMenu->addAction(u"Elimina"_s);
    m_entryMenu->addSeparator();
    m_openAttachmentAction = m_entryMenu->addAction(u"Apri Allegato"_s);
    connect(m_newAction, &QAction::triggered, this, &MainWindow::createRecord);
    connect(m_editAction, &QAction::triggered, this, &MainWindow::openRecord);
    connect(m_deleteAction, &QAction::triggered, m_elimina, &QAction::trigger);
    connect(m_duplicateAction, &QAction::triggered, this, [this] {
        if (const auto it = m_handlers.find(Command::Duplica); it != m_handlers.end())
            it->second();
    });
    connect(m_openAttachmentAction, &QAction::triggered, this, &MainWindow::openAttachment);
}

QAction *MainWindow::commandAction(Command command) const
{
    const auto it = m_commandActions.find(command);
    return it == m_commandActions.end() || it->second.isEmpty() ? nullptr : it->second.first();
}

void MainWindow::setCommand(Command command, std::function<void()> handler)
{
    m_handlers[command] = std::move(handler);
    updateCommandStates();
}

void MainWindow::setRecordEditor(MainView view, RecordEditor editor)
{
    m_editors[int(view)] = std::move(editor);
    updateCommandStates();
}

void MainWindow::updateCommandStates()
{
    for (const auto &[command, actions] : m_commandActions) {
        for (QAction *action : actions)
            action->setEnabled(m_handlers.count(command) > 0);
    }
    m_tableMaintenanceKey->setEnabled(m_handlers.count(Command::ManutenzioneTabelle) > 0);
    const RecordEditor &editor = m_editors[int(m_curView)];
    m_createRecordAction->setEnabled(bool(editor.createRecord));
    m_openRecordAction->setEnabled(bool(editor.openRecord) && listedRows() > 0);
    m_collapseAll->setEnabled(m_curView == MainView::Schede);
    m_expandAll->setEnabled(m_curView == MainView::Schede);
}

void MainWindow::createRecord()
{
    const MainView view = m_curView;
    const RecordEditor &editor = m_editors[int(view)];
    if (editor.createRecord)
        afterEditor(view, editor.createRecord());
}

void MainWindow::openRecord()
{
    const MainView view = m_curView;
    const qint64 id = currentRecordId();
    const RecordEditor &editor = m_editors[int(view)];
    if (id > 0 && editor.openRecord)
        afterEditor(view, editor.openRecord(id));
}

void MainWindow::afterEditor(MainView view, qint64 savedId)
{
    // The journal editor reloads the window itself when it closes; a chart editor's record is
    // shown again only if the user is still on its view.
    if (savedId <= 0 || view == MainView::Schede || view == MainView::Movimenti ||
        m_curView != view)
        return;
    reloadView();
    goToRecord(savedId);
}

void MainWindow::showPopupMenu(Qt::MouseButton button, const QPoint &globalPosition)
{
    const bool hasRecord = currentRecordId() > 0;
    // On the account cards the menu belongs to entry lines only.
    if (m_curView == MainView::Schede && !hasRecord)
        return;
    PopupMenuRules rules = popupMenuRules(m_curView, hasRecord, currentJournalValue(u"attached"_s));
    const RecordEditor &editor = m_editors[int(m_curView)];
    m_newAction->setEnabled(rules.add && editor.createRecord);
    m_duplicateAction->setEnabled(rules.duplicate && m_handlers.count(Command::Duplica));
    m_editAction->setEnabled(rules.edit && editor.openRecord);
    m_deleteAction->setEnabled(rules.remove && m_handlers.count(Command::Elimina));
    m_openAttachmentAction->setEnabled(rules.openAttachment);
    if (button == Qt::RightButton)
        m_entryMenu->popup(globalPosition);
}

void MainWindow::confirmTableMaintenance()
{
    const auto it = m_handlers.find(Command::ManutenzioneTabelle);
    if (it == m_handlers.end())
        return;
    if (MessageService::instance().ask(this, TableMaintenanceWarning,
                                       MessageService::Icon::Warning))
        it->second();
}

void MainWindow::chooseArchive()
{
    if (chooseAndOpenArchive(this, m_environment))
        refreshStatusBar();
}

void MainWindow::newArchive()
{
    if (createNewArchive(this, m_environment))
        refreshStatusBar();
}
