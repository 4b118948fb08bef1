// The main window's views: rows loaded, grids bound, the search and the current record.

#include "main/MainWindow.h"

#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "main/AccountCardsSource.h"
#include "ui/MessageService.h"
#include "ui/SearchRow.h"
#include "ui/grid/BoundGridModel.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/GridViewSupport.h"
#include "ui/grid/GroupedGrid.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>

using namespace Qt::StringLiterals;

void MainWindow::showView(MainView view)
{
    const MainViewDefinition &definition = mainViewDefinition(view);
    m_curView = view;
    m_titleLabel->setText(definition.caption);
    m_viewBar->setCurrentRow(int(view));
    for (int v = 0; v < MainViewCount; ++v)
        m_viewActions[v]->setChecked(v == int(view));
    m_loading = true;
    m_searchEdit->clear();
    m_loading = false;
    m_grids->setCurrentWidget(view == MainView::Schede ? static_cast<QWidget *>(m_cardsGrid)
                                                       : m_grid);
    reloadView();
    if (view == MainView::Schede)
        m_cardsGrid->collapseToFirstLevel();
    setProperty("helpContext", definition.helpContext);
    m_searchCommentLabel->setText(definition.searchHint);
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
    return effectiveSearch(m_searchEdit->text());
}

void MainWindow::showCards(const QString &search)
{
    showView(MainView::Schede);
    m_searchEdit->setText(search);
    applySearch();
    activateWindow();
    raise();
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
    m_searchEdit->clear();
    m_loading = false;
    applySearch();
}

void MainWindow::setSearchColours(bool focused)
{
    setSearchRowColours({m_searchEdit, m_searchPanel}, focused);
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

std::optional<qint64> MainWindow::currentEntryVersion() const
{
    if (m_curView == MainView::Schede) {
        const int line = m_cardsModel->line(m_cardsGrid->currentIndex());
        return line < 0 ? std::nullopt : std::optional<qint64>(m_cards.entryVersion(line));
    }
    if (m_curView == MainView::Movimenti)
        return m_gridModel->value(m_grid->currentRow(), u"versione"_s).toLongLong();
    return std::nullopt;
}

QVariant MainWindow::currentJournalValue(const QString &field) const
{
    if (m_curView != MainView::Movimenti)
        return {};
    return m_gridModel->value(m_grid->currentRow(), field);
}

void MainWindow::goToRecord(qint64 id)
{
    m_grid->setCurrentRow(m_gridModel->find(u"id"_s, id));
}
