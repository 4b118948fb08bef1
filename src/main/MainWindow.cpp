#include "main/MainWindow.h"

#include "archive/ArchiveCommands.h"
#include "data/ArchiveFolders.h"
#include "data/Attachments.h"
#include "data/Database.h"
#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "data/PatternFormatter.h"
#include "main/AccountCardsSource.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/SearchRow.h"
#include "ui/WindowUtils.h"
#include "ui/grid/BoundGridModel.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/GridLooks.h"
#include "ui/grid/GridViewSupport.h"
#include "ui/grid/GroupedGrid.h"
#include "ui/grid/GroupedGridModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QSessionManager>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int MinimumWidthTwips = 14950;
constexpr int MinimumHeightTwips = 8595;

QString viewCaption(int view)
{
    return mainViewDefinition(MainView(view)).caption;
}

QIcon standardIcon(QStyle::StandardPixmap pixmap)
{
    return QApplication::style()->standardIcon(pixmap);
}

// The navigation icons share one look: a tinted tile with a drawing of what the view lists.
QIcon navigationIcon(int view)
{
    static const QColor tints[MainViewCount] = {QColor(46, 110, 160), QColor(60, 130, 80),
                                                QColor(150, 95, 40), QColor(120, 80, 150),
                                                QColor(160, 70, 80)};
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(tints[view]);
    p.drawRoundedRect(QRectF(4, 4, 56, 56), 10, 10);
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    switch (MainView(view)) {
    case MainView::Schede: // a card with its running lines
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(16, 14, 32, 36));
        for (int y : {24, 32, 40})
            p.drawLine(QPointF(22, y), QPointF(42, y));
        break;
    case MainView::Movimenti: // debit and credit
        p.drawLine(QPointF(16, 24), QPointF(46, 24));
        p.drawLine(QPointF(38, 17), QPointF(46, 24));
        p.drawLine(QPointF(18, 40), QPointF(48, 40));
        p.drawLine(QPointF(18, 40), QPointF(26, 47));
        break;
    default: { // the chart's three levels, the view's own one filled
        const int level = view - int(MainView::Mastri);
        const QPointF nodes[3] = {{20, 18}, {32, 32}, {44, 46}};
        p.drawLine(nodes[0], QPointF(20, 32));
        p.drawLine(QPointF(20, 32), nodes[1]);
        p.drawLine(QPointF(32, 32), QPointF(32, 46));
        p.drawLine(QPointF(32, 46), nodes[2]);
        for (int n = 0; n < 3; ++n) {
            p.setBrush(n == level ? QBrush(Qt::white) : QBrush(tints[view]));
            p.drawEllipse(nodes[n], 6, 6);
        }
        break;
    }
    }
    return QIcon(pixmap);
}

const QString TableMaintenanceWarning =
    u"\nAttenzione!\n\n"
    u"La modifica diretta delle tabelle è una operazione che va utilizzata \n"
    u"solo in caso di reale necessità e comunque da utenti esperti.\n"
    u"L'utilizzo errato di questa funzionalità potrebbe provocare\n"
    u"un danno irreparabile al database della contabilità.\n\n"
    u"Procedere?"_s;

} // namespace

MainWindow::MainWindow(FiscalEnvironment &environment, QWidget *parent)
    : QMainWindow(parent), m_environment(environment)
{
    setWindowTitle(u"Velmora Contabilità 3"_s);
    setObjectName(u"MainWindow"_s);

    buildCentralArea();
    buildMenus();
    buildToolBars();
    buildStatusBar();
    buildPopupMenu();
    setMinimumSize(twipsToPixels(this, MinimumWidthTwips), twipsToPixels(this, MinimumHeightTwips));
    resize(minimumSize().expandedTo(QSize(1200, 700)));
    rememberGeometry(this, u"principale"_s);

    m_curView = MainView::Movimenti;
    refreshStatusBar();

    // Logging out of the desktop asks about typed data as closing does; Annulla stops it.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (!m_closeGuard || !manager.allowsInteraction())
            return;
        const bool closed = m_closeGuard();
        manager.release();
        if (!closed)
            manager.cancel();
    });
}

MainWindow::~MainWindow() = default;

void MainWindow::buildCentralArea()
{
    auto *central = new QWidget(this);
    auto *outer = new QHBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    buildNavigationBar(central);
    outer->addWidget(m_bb->parentWidget());

    auto *right = new QWidget(central);
    auto *column = new QVBoxLayout(right);
    column->setContentsMargins(6, 4, 6, 0);
    auto *searchRow = new QWidget(right);
    buildSearchRow(right, searchRow);
    column->addWidget(searchRow);
    buildGrids(right);
    column->addWidget(m_grids, 1);
    outer->addWidget(right, 1);
    setCentralWidget(central);
}

void MainWindow::buildNavigationBar(QWidget *parent)
{
    auto *bar = new QFrame(parent);
    bar->setObjectName(u"bbFrame"_s);
    bar->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *group = new QLabel(u"..."_s, bar);
    group->setAlignment(Qt::AlignCenter);
    group->setAutoFillBackground(true);
    group->setBackgroundRole(QPalette::Button);
    group->setMinimumHeight(22);
    layout->addWidget(group);

    m_bb = new QListWidget(bar);
    m_bb->setObjectName(u"bb"_s);
    m_bb->setViewMode(QListView::IconMode);
    m_bb->setFlow(QListView::TopToBottom);
    m_bb->setMovement(QListView::Static);
    m_bb->setWrapping(false);
    m_bb->setIconSize(QSize(32, 32));
    m_bb->setGridSize(QSize(96, 72));
    m_bb->setFixedWidth(100);
    m_bb->setFrameShape(QFrame::NoFrame);
    m_bb->setBackgroundRole(QPalette::Mid);
    for (int v = 0; v < MainViewCount; ++v)
        m_bb->addItem(new QListWidgetItem(navigationIcon(v), viewCaption(v)));
    connect(m_bb, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { showView(MainView(m_bb->row(item))); });
    layout->addWidget(m_bb, 1);
}

void MainWindow::buildSearchRow(QWidget *parent, QWidget *row)
{
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 4);
    m_lblTitle = new QLabel(parent);
    m_lblTitle->setObjectName(u"lblTitle"_s);
    QFont titleFont = m_lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    m_lblTitle->setFont(titleFont);
    m_lblTitle->setMinimumWidth(160);
    layout->addWidget(m_lblTitle);
    layout->addStretch(1);

    m_lblSearchComment = new QLabel(u"Cerca tra..."_s, parent);
    m_lblSearchComment->setObjectName(u"lblSearchComment"_s);
    m_lblSearchComment->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_lblSearchComment);

    const SearchBox search = makeSearchBox(parent);
    m_picSearchText = search.frame;
    m_imgSearch = search.magnifier;
    m_txtFind = search.text;
    connect(m_imgSearch, &QToolButton::clicked, this, &MainWindow::clearSearch);
    m_txtFind->setMinimumWidth(260);
    m_txtFind->installEventFilter(this);
    connect(m_txtFind, &QLineEdit::textChanged, this, [this] {
        if (!m_loading)
            applySearch();
    });
    layout->addWidget(m_picSearchText);
}

void MainWindow::buildGrids(QWidget *parent)
{
    m_grids = new QStackedWidget(parent);
    const int rowHeight = m_environment.gridRowHeight();

    m_grid = new DataGrid(m_grids);
    m_grid->setObjectName(u"grid"_s);
    m_gridModel = new BoundGridModel(this);
    m_grid->setModel(m_gridModel);
    m_grid->setRowHeight(rowHeight);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_cardsGrid = new GroupedGrid(m_grids);
    m_cardsGrid->setObjectName(u"cardsGrid"_s);
    m_cardsModel = new GroupedGridModel(this);
    m_cardsModel->setLayout(AccountCards::columns(m_environment.natureNames()),
                            AccountCards::Levels, AccountCards::Prog);
    m_cardsGrid->setGroupedModel(m_cardsModel);
    m_cardsGrid->setRowHeight(rowHeight);
    m_cardsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The texts come right after the entry number; the amounts close the line, so that a group
    // row's caption has room before its totals.
    QHeaderView *header = m_cardsGrid->header();
    header->moveSection(header->visualIndex(AccountCards::Descrizione),
                        header->visualIndex(AccountCards::Prog) + 1);
    header->moveSection(header->visualIndex(AccountCards::Contropartita),
                        header->visualIndex(AccountCards::Descrizione) + 1);

    m_grids->addWidget(m_grid);
    m_grids->addWidget(m_cardsGrid);

    for (QAbstractItemView *grid : {static_cast<QAbstractItemView *>(m_grid),
                                    static_cast<QAbstractItemView *>(m_cardsGrid)}) {
        grid->setContextMenuPolicy(Qt::NoContextMenu);
        connect(grid, &QAbstractItemView::doubleClicked, this, [this] { apri(); });
    }
    for (GridViewSupport *support : {m_grid->support(), m_cardsGrid->support()}) {
        connect(support, &GridViewSupport::enterPressed, this, &MainWindow::apri);
        connect(support, &GridViewSupport::characterTyped, this, &MainWindow::gridCharacterTyped);
        connect(support, &GridViewSupport::mouseReleased, this, &MainWindow::showPopupMenu);
    }
    m_gridModel->setRowStyle([this](int row) {
        if (m_curView != MainView::Movimenti)
            return QString();
        return journalRowStyle(m_rows.value(row, m_rows.field(u"tipo"_s)));
    });
    m_gridModel->setCellIcon([this](int row, int) {
        if (m_curView == MainView::Movimenti)
            return attachmentIcon(m_rows.value(row, m_rows.field(u"attached"_s)));
        if (m_curView == MainView::Conti)
            return balanceMarkIcon(m_rows.value(row, m_rows.field(u"bilancio"_s)));
        return -1;
    });
}

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
    m_nuovaContabilita = addCommand(file, u"Nuova Contabilità"_s);
    m_openArchiveAction = addCommand(file, u"Apri Contabilità"_s);
    m_nuovaContabilita->setEnabled(true);
    m_openArchiveAction->setEnabled(true);
    connect(m_nuovaContabilita, &QAction::triggered, this, &MainWindow::nuovaContabilita);
    connect(m_openArchiveAction, &QAction::triggered, this, &MainWindow::chooseArchive);
    file->addSeparator();
    command(file, u"Stampa"_s, Command::Stampa, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12));
    file->addSeparator();
    command(file, u"Backup…"_s, Command::Backup);
    command(file, u"Ripristina backup…"_s, Command::RipristinaBackup);
    file->addSeparator();
    QAction *esci = file->addAction(u"Esci"_s);
    connect(esci, &QAction::triggered, this, &QWidget::close);

    QMenu *record = menuBar()->addMenu(u"&Record"_s);
    m_nuovo = addCommand(record, u"Nuovo"_s, QKeySequence(Qt::Key_F5));
    m_apri = addCommand(record, u"Apri"_s);
    m_elimina = command(record, u"Elimina"_s, Command::Elimina, QKeySequence(Qt::Key_Delete));
    record->addSeparator();
    m_trova = record->addAction(u"Trova"_s);
    m_trova->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(m_nuovo, &QAction::triggered, this, &MainWindow::nuovo);
    connect(m_apri, &QAction::triggered, this, &MainWindow::apri);
    connect(m_trova, &QAction::triggered, this, [this] { m_txtFind->setFocus(); });

    QMenu *view = menuBar()->addMenu(u"&Visualizza"_s);
    const Qt::Key viewKeys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5};
    for (int v = 0; v < MainViewCount; ++v) {
        QAction *action = view->addAction(viewCaption(v));
        action->setShortcut(QKeySequence(Qt::CTRL | viewKeys[v]));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, v] { showView(MainView(v)); });
        m_viewActions[v] = action;
    }
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
    add(m_nuovo, standardIcon(QStyle::SP_FileIcon), {});
    add(m_apri, standardIcon(QStyle::SP_DialogOpenButton), u"Apre una registrazione esistente"_s);
    add(m_elimina, standardIcon(QStyle::SP_TrashIcon), u"Elimina una registrazione esistente"_s);
    tb->addSeparator();
    m_aggiorna = tb->addAction(standardIcon(QStyle::SP_BrowserReload), u"Aggiorna"_s);
    connect(m_aggiorna, &QAction::triggered, this, &MainWindow::reloadView);
    tb->addSeparator();
    add(m_commandActions[Command::Stampa].first(), standardIcon(QStyle::SP_FileDialogContentsView),
        u"Stampa i Report della Visualizzazione attiva"_s);
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

void MainWindow::buildStatusBar()
{
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(u"sbPanel%1"_s.arg(i + 1));
        m_panels[i]->setContentsMargins(4, 0, 4, 0);
        m_panels[i]->installEventFilter(this);
    }
    statusBar()->addWidget(m_panels[0], 1);
    statusBar()->addPermanentWidget(m_panels[1]);
    statusBar()->addPermanentWidget(m_panels[2]);
}

void MainWindow::buildPopupMenu()
{
    m_mnuReg = new QMenu(this);
    m_mnuReg->setObjectName(u"mnuReg"_s);
    m_popNuovo = m_mnuReg->addAction(u"Nuovo"_s);
    m_popDuplica = m_mnuReg->addAction(u"Duplica"_s);
    m_popModifica = m_mnuReg->addAction(u"Modifica"_s);
    m_mnuReg->addSeparator();
    m_popElimina = m_mnuReg->addAction(u"Elimina"_s);
    m_mnuReg->addSeparator();
    m_popApriAllegato = m_mnuReg->addAction(u"Apri Allegato"_s);
    connect(m_popNuovo, &QAction::triggered, this, &MainWindow::nuovo);
    connect(m_popModifica, &QAction::triggered, this, &MainWindow::apri);
    connect(m_popElimina, &QAction::triggered, m_elimina, &QAction::trigger);
    connect(m_popDuplica, &QAction::triggered, this, [this] {
        if (const auto it = m_handlers.find(Command::Duplica); it != m_handlers.end())
            it->second();
    });
    connect(m_popApriAllegato, &QAction::triggered, this, &MainWindow::openAttachment);
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
    m_nuovo->setEnabled(bool(editor.nuovo));
    m_apri->setEnabled(bool(editor.apri) && listedRows() > 0);
    m_collapseAll->setEnabled(m_curView == MainView::Schede);
    m_expandAll->setEnabled(m_curView == MainView::Schede);
}

void MainWindow::refreshStatusBar()
{
    const PatternFormatter formatter;
    m_panels[0]->setText(QDir::toNativeSeparators(ArchiveFolders().dataFolder()));
    showLastEntryDate();
    m_panels[2]->setText(u"Data di Lavoro: "_s +
                         formatter.format(m_environment.workingDate(), u"dd/mm/yy") +
                         u" - Esercizio: "_s + m_environment.yearLabel() + u" "_s);
    showView(m_curView);
    emit statusBarRefreshed();
}

QString MainWindow::statusPanelText(int panel) const
{
    return m_panels[panel - 1]->text();
}

void MainWindow::showView(MainView view)
{
    const MainViewDefinition &definition = mainViewDefinition(view);
    m_curView = view;
    m_lblTitle->setText(definition.caption);
    m_bb->setCurrentRow(int(view));
    for (int v = 0; v < MainViewCount; ++v)
        m_viewActions[v]->setChecked(v == int(view));
    m_loading = true;
    m_txtFind->clear();
    m_loading = false;
    m_grids->setCurrentWidget(view == MainView::Schede ? static_cast<QWidget *>(m_cardsGrid)
                                                       : m_grid);
    reloadView();
    if (view == MainView::Schede)
        m_cardsGrid->collapseToFirstLevel();
    setProperty("helpContext", definition.helpContext);
    m_lblSearchComment->setText(definition.searchHint);
    updateCommandStates();
}

void MainWindow::loadRows()
{
    const MainViewDefinition &definition = mainViewDefinition(m_curView);
    QString error;
    Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    const bool loaded =
        connection.opened(&error) &&
        m_rows.load(connection, definition.statement,
                    mainViewBindings(m_curView, m_environment.yearStart(), m_environment.yearEnd()),
                    &error);
    if (!loaded)
        MessageService::instance().inform(
            this, failureMessage(u"Impossibile leggere l'elenco dall'archivio."_s, error),
            MessageService::Icon::Critical);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    event->accept();
    // No window of the program may outlive it, holding the instance lock without being seen.
    QCoreApplication::quit();
}

void MainWindow::showLastEntryDate()
{
    const std::optional<QDate> last = m_environment.lastEntryDate();
    m_panels[1]->setText(u"Data ultima Reg.ne: "_s +
                         (last ? PatternFormatter().format(*last, u"dd/mm/yy") : u"N/D"_s));
}

void MainWindow::reloadView()
{
    showLastEntryDate();
    m_gridModel->unbind();
    m_cardsModel->setSource({});
    m_cards = AccountCards();
    m_rows = RowSet();
    loadRows();
    if (m_curView == MainView::Schede) {
        m_cards.setRows(m_rows);
        rebuildAccountCards();
    } else
        bindFlatView();
    layoutColumns();
    updateCommandStates();
}

void MainWindow::bindFlatView()
{
    const QList<GridColumn> columns = mainViewColumns(m_curView, m_environment.natureNames());
    m_gridModel->bind(&m_rows, columns);
    m_grid->applyColumns(columns);
    applySearch();
}

void MainWindow::rebuildAccountCards()
{
    if (m_curView != MainView::Schede)
        return;
    QList<int> columns;
    for (const QString &field : mainViewDefinition(MainView::Schede).searchFields)
        columns.append(m_rows.field(field));
    m_cards.build(m_rows.matching(columns, searchText()));
    m_cardsModel->setSource(
        accountCardsSource(m_cards, m_environment.natureNames(), m_cardsModel->formatter()));
}

QString MainWindow::searchText() const
{
    return effectiveSearch(m_txtFind->text());
}

void MainWindow::applySearch()
{
    if (m_curView == MainView::Schede) {
        rebuildAccountCards();
        m_cardsGrid->collapseToFirstLevel();
        return;
    }
    QList<int> columns;
    for (const QString &field : mainViewDefinition(m_curView).searchFields)
        columns.append(m_rows.field(field));
    m_gridModel->setFilter(m_rows.matching(columns, searchText()));
    updateCommandStates();
}

void MainWindow::clearSearch()
{
    m_loading = true;
    m_txtFind->clear();
    m_loading = false;
    applySearch();
}

void MainWindow::setSearchColours(bool focused)
{
    setSearchRowColours({m_txtFind, m_picSearchText}, focused);
}

void MainWindow::layoutColumns()
{
    const MainViewDefinition &definition = mainViewDefinition(m_curView);
    const int allowance = definition.scrollBarAllowance * m_environment.scrollBarWidth();
    QList<int> shared;
    if (m_curView == MainView::Schede) {
        for (const QString &field : definition.sharedColumns)
            shared.append(field == u"Descrizione"_s ? AccountCards::Descrizione
                                                    : AccountCards::Contropartita);
        m_cardsGrid->support()->shareFreeWidth(shared, allowance);
        return;
    }
    for (const QString &field : definition.sharedColumns)
        shared.append(m_gridModel->column(field));
    m_grid->support()->shareFreeWidth(shared, allowance);
}

int MainWindow::listedRows() const
{
    return m_curView == MainView::Schede ? m_cardsModel->lineCount() : m_gridModel->rowCount();
}

qint64 MainWindow::currentRecordId() const
{
    if (m_curView == MainView::Schede) {
        const int line = m_cardsModel->line(m_cardsGrid->currentIndex());
        return line < 0 ? 0 : m_cards.value(line, AccountCards::IdReg).toLongLong();
    }
    return m_gridModel->value(m_grid->currentRow(), u"id"_s).toLongLong();
}

QVariant MainWindow::currentJournalValue(const QString &field) const
{
    if (m_curView != MainView::Movimenti)
        return {};
    return m_gridModel->value(m_grid->currentRow(), field);
}

void MainWindow::nuovo()
{
    const MainView view = m_curView;
    const RecordEditor &editor = m_editors[int(view)];
    if (editor.nuovo)
        afterEditor(view, editor.nuovo());
}

void MainWindow::apri()
{
    const MainView view = m_curView;
    const qint64 id = currentRecordId();
    const RecordEditor &editor = m_editors[int(view)];
    if (id > 0 && editor.apri)
        afterEditor(view, editor.apri(id));
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

void MainWindow::goToRecord(qint64 id)
{
    m_grid->setCurrentRow(m_gridModel->find(u"id"_s, id));
}

void MainWindow::openAttachment()
{
    const QVariant attached = currentJournalValue(u"attached"_s);
    if (attachmentIcon(attached) < 0)
        return;
    const std::optional<QString> path =
        attachmentFile(ArchiveFolders().attachmentsFolder(), attached.toString());
    if (!path) {
        MessageService::instance().inform(this, refusedAttachmentMessage(attached.toString()),
                                          MessageService::Icon::Critical);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(*path));
}

void MainWindow::showPopupMenu(Qt::MouseButton button, const QPoint &globalPosition)
{
    const bool hasRecord = currentRecordId() > 0;
    // On the account cards the menu belongs to entry lines only.
    if (m_curView == MainView::Schede && !hasRecord)
        return;
    PopupMenuRules rules = popupMenuRules(m_curView, hasRecord, currentJournalValue(u"attached"_s));
    const RecordEditor &editor = m_editors[int(m_curView)];
    m_popNuovo->setEnabled(rules.nuovo && editor.nuovo);
    m_popDuplica->setEnabled(rules.duplica && m_handlers.count(Command::Duplica));
    m_popModifica->setEnabled(rules.modifica && editor.apri);
    m_popElimina->setEnabled(rules.elimina && m_handlers.count(Command::Elimina));
    m_popApriAllegato->setEnabled(rules.openAttachment);
    if (button == Qt::RightButton)
        m_mnuReg->popup(globalPosition);
}

void MainWindow::gridCharacterTyped(const QString &text)
{
    m_txtFind->setText(text);
    m_txtFind->setCursorPosition(int(text.size()));
    m_txtFind->setFocus();
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

void MainWindow::nuovaContabilita()
{
    if (NuovaContabilita(this, m_environment))
        refreshStatusBar();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtFind) {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            setSearchColours(event->type() == QEvent::FocusIn);
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            const bool toGrid =
                key == Qt::Key_Down ||
                (m_curView == MainView::Schede && (key == Qt::Key_Return || key == Qt::Key_Enter));
            if (toGrid && listedRows() > 0) {
                QWidget *grid = m_grids->currentWidget();
                grid->setFocus();
                if (m_curView != MainView::Schede && m_grid->currentRow() < 0)
                    m_grid->setCurrentRow(0);
                return true;
            }
        }
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == m_panels[0])
            m_openArchiveAction->trigger();
        else if (watched == m_panels[1] || watched == m_panels[2])
            commandAction(Command::DataLavoro)->trigger();
    }
    return QMainWindow::eventFilter(watched, event);
}
