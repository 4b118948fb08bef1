#include "main/MainWindow.h"

#include "data/Attachments.h"
#include "data/FiscalEnvironment.h"
#include "ui/AttachmentOpening.h"
#include "ui/MessageService.h"
#include "ui/SearchRow.h"
#include "ui/WindowUtils.h"
#include "ui/grid/BoundGridModel.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/GridViewSupport.h"
#include "ui/grid/GroupedGrid.h"
#include "ui/grid/GroupedGridModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QSessionManager>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int MinimumWidthTwips = 14950;
constexpr int MinimumHeightTwips = 8595;

QString viewCaption(int view)
{
    return mainViewDefinition(MainView(view)).caption;
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
    outer->addWidget(m_viewBar->parentWidget());

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

    m_viewBar = new QListWidget(bar);
    m_viewBar->setObjectName(u"bb"_s);
    m_viewBar->setViewMode(QListView::IconMode);
    m_viewBar->setFlow(QListView::TopToBottom);
    m_viewBar->setMovement(QListView::Static);
    m_viewBar->setWrapping(false);
    m_viewBar->setIconSize(QSize(32, 32));
    m_viewBar->setGridSize(QSize(96, 72));
    m_viewBar->setFixedWidth(100);
    m_viewBar->setFrameShape(QFrame::NoFrame);
    m_viewBar->setBackgroundRole(QPalette::Mid);
    for (int v = 0; v < MainViewCount; ++v)
        m_viewBar->addItem(new QListWidgetItem(navigationIcon(v), viewCaption(v)));
    connect(m_viewBar, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { showView(MainView(m_viewBar->row(item))); });
    layout->addWidget(m_viewBar, 1);
}

void MainWindow::buildSearchRow(QWidget *parent, QWidget *row)
{
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 4);
    m_titleLabel = new QLabel(parent);
    m_titleLabel->setObjectName(u"lblTitle"_s);
    QFont titleFont = m_titleLabel->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    m_titleLabel->setFont(titleFont);
    m_titleLabel->setMinimumWidth(160);
    layout->addWidget(m_titleLabel);
    layout->addStretch(1);

    m_searchCommentLabel = new QLabel(u"Cerca tra..."_s, parent);
    m_searchCommentLabel->setObjectName(u"lblSearchComment"_s);
    m_searchCommentLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_searchCommentLabel);

    const SearchBox search = makeSearchBox(parent);
    m_searchPanel = search.frame;
    m_searchButton = search.magnifier;
    m_searchEdit = search.text;
    connect(m_searchButton, &QToolButton::clicked, this, &MainWindow::clearSearch);
    m_searchEdit->setMinimumWidth(260);
    m_searchEdit->installEventFilter(this);
    connect(m_searchEdit, &QLineEdit::textChanged, this, [this] {
        if (!m_loading)
            applySearch();
    });
    layout->addWidget(m_searchPanel);
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
        connect(grid, &QAbstractItemView::doubleClicked, this, [this] { openRecord(); });
    }
    for (GridViewSupport *support : {m_grid->support(), m_cardsGrid->support()}) {
        connect(support, &GridViewSupport::enterPressed, this, &MainWindow::openRecord);
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

void MainWindow::refreshStatusBar()
{
    const PatternFormatter formatter;
    // A server archive's folder keeps its attachments; the data are on the server.
    const Archive &archive = m_environment.archive();
    m_panels[0]->setText(archive.isOnServer() ? archive.folder() + u" — "_s + archive.location()
                                              : QDir::toNativeSeparators(archive.folder()));
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

void MainWindow::openAttachment()
{
    const QVariant attached = currentJournalValue(u"attached"_s);
    if (attachmentIcon(attached) < 0)
        return;
    const std::optional<QString> path =
        attachmentFile(m_environment.archive().attachmentsFolder(), attached.toString());
    if (!path) {
        MessageService::instance().inform(this, refusedAttachmentMessage(attached.toString()),
                                          MessageService::Icon::Critical);
        return;
    }
    openAttachedFile(this, *path);
}

void MainWindow::gridCharacterTyped(const QString &text)
{
    m_searchEdit->setText(text);
    m_searchEdit->setCursorPosition(int(text.size()));
    m_searchEdit->setFocus();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_searchEdit) {
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
