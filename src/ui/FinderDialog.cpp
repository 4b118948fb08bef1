#include "ui/FinderDialog.h"

#include "data/EngineErrors.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/SearchRow.h"
#include "ui/grid/BoundGridModel.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/GridDelegate.h"
#include "ui/grid/GridLooks.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Draws the name on the upper half of the row and, indented under it, the text of the preview
// field, so that records of the same name under different parents can be told apart.
class PreviewDelegate : public GridDelegate {
public:
    PreviewDelegate(int previewColumn, QObject *parent)
        : GridDelegate(parent), m_previewColumn(previewColumn)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString name = item.text;
        item.text.clear();
        const QWidget *widget = item.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        const QRect area = item.rect.adjusted(6, 1, -6, -1);
        const int half = area.height() / 2;
        const QRect upper(area.left(), area.top(), area.width(), half);
        const int indent = item.fontMetrics.horizontalAdvance(u"MMM"_s);
        const QRect lower(area.left() + indent, area.top() + half, area.width() - indent,
                          area.height() - half);
        const bool selected = item.state & QStyle::State_Selected;
        const QPalette &palette = item.palette;

        painter->save();
        painter->setFont(item.font);
        painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(upper, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(item.font).elidedText(name, Qt::ElideRight, upper.width()));
        QFont plain = item.font;
        plain.setBold(false);
        painter->setFont(plain);
        painter->setPen(
            palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        const QString preview = index.siblingAtColumn(m_previewColumn).data().toString();
        painter->drawText(lower, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(plain).elidedText(preview, Qt::ElideRight, lower.width()));
        painter->restore();
    }

private:
    int m_previewColumn;
};

QIcon standardIcon(QStyle::StandardPixmap pixmap)
{
    return QApplication::style()->standardIcon(pixmap);
}

} // namespace

FinderDialog::FinderDialog(const Archive &archive, FinderLevel level, bool offersNew,
                           int helpContext, QWidget *owner)
    : QDialog(owner), m_archive(archive), m_level(level), m_offersNew(offersNew)
{
    setWindowTitle(finderDefinition(level).caption);
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    layout->addWidget(m_tb);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(8, 6, 8, 4);
    body->setSpacing(6);
    buildSearchRow();
    body->addWidget(m_searchPanel);
    buildGrid();
    body->addWidget(m_grid, 1);
    layout->addLayout(body, 1);

    auto *sb = new QStatusBar(this);
    sb->setObjectName(u"sb"_s);
    sb->setSizeGripEnabled(false);
    auto *hint = new QLabel(finderDefinition(level).statusText, sb);
    hint->setObjectName(u"lblHint"_s);
    sb->addWidget(hint, 1);
    layout->addWidget(sb);

    installHelp(this, helpContext);
    resize(520, 460);
}

void FinderDialog::buildToolBar()
{
    m_tb = new QToolBar(this);
    m_tb->setObjectName(u"tb"_s);
    m_tb->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_tb->setFocusPolicy(Qt::NoFocus);
    QAction *inserisci =
        m_tb->addAction(standardIcon(QStyle::SP_DialogApplyButton), u"Inserisci"_s);
    inserisci->setObjectName(u"tbInserisci"_s);
    connect(inserisci, &QAction::triggered, this, &FinderDialog::chooseCurrent);
    if (m_offersNew) {
        QAction *nuovo = m_tb->addAction(standardIcon(QStyle::SP_FileIcon), u"Nuovo"_s);
        nuovo->setObjectName(u"tbNuovo"_s);
        connect(nuovo, &QAction::triggered, this, [this] { finish(0); });
    }
    QAction *cancel = m_tb->addAction(standardIcon(QStyle::SP_DialogCancelButton), u"Annulla"_s);
    cancel->setObjectName(u"tbAnnulla"_s);
    connect(cancel, &QAction::triggered, this, [this] { finish(-1); });
}

void FinderDialog::buildSearchRow()
{
    const SearchBox search = makeSearchBox(this);
    m_searchPanel = search.frame;
    m_searchButton = search.magnifier;
    m_searchEdit = search.text;
    connect(m_searchButton, &QToolButton::clicked, this, &FinderDialog::clearSearch);
    m_searchEdit->installEventFilter(this);
    connect(m_searchEdit, &QLineEdit::textChanged, this, &FinderDialog::applySearch);
}

void FinderDialog::buildGrid()
{
    m_grid = new DataGrid(this);
    m_grid->setObjectName(u"grid"_s);
    m_gridModel = new BoundGridModel(this);
    m_grid->setModel(m_gridModel);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setAlternatingRowColors(false);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    const QList<GridColumn> columns = finderColumns(m_level);
    int preview = 0;
    while (columns.at(preview).field != finderDefinition(m_level).previewField)
        ++preview;
    m_grid->setItemDelegate(new PreviewDelegate(preview, m_grid));
    const int lineHeight = m_grid->fontMetrics().height();
    m_grid->setRowHeight(2 * lineHeight + 10);
    // Each row holds two lines; the header holds one.
    m_grid->horizontalHeader()->setFixedHeight(lineHeight + 10);
    m_grid->installEventFilter(this);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            chooseCurrent();
    });
}

qint64 FinderDialog::run(const QString &initialText)
{
    m_result = -1;
    load();
    m_searchEdit->setText(initialText.trimmed());
    m_searchEdit->selectAll();
    m_searchEdit->setFocus();
    exec();
    return m_result;
}

int FinderDialog::listedRows() const
{
    return m_gridModel->rowCount();
}

void FinderDialog::load()
{
    QString error;
    if (!loadFinderRows(m_archive, m_level, archiveNatureNames(m_archive), &m_rows, &error))
        MessageService::instance().inform(
            this, failureMessage(u"Impossibile leggere il piano dei conti."_s, error),
            MessageService::Icon::Critical);
    const QList<GridColumn> columns = finderColumns(m_level);
    m_gridModel->bind(&m_rows, columns);
    m_grid->applyColumns(columns);
    applySearch();
}

void FinderDialog::applySearch()
{
    QList<int> columns;
    for (const QString &field : finderDefinition(m_level).searchFields)
        columns.append(m_rows.field(field));
    m_gridModel->setFilter(m_rows.matching(columns, effectiveSearch(m_searchEdit->text())));
    m_grid->setCurrentRow(0);
}

void FinderDialog::clearSearch()
{
    m_searchEdit->clear();
    m_searchEdit->setFocus();
}

void FinderDialog::finish(qint64 result)
{
    m_result = result;
    accept();
}

void FinderDialog::chooseCurrent()
{
    // Without a current row there is no id to hand back; in the sub-account finder a 0 would
    // even read as a request for a new record.
    const qint64 id = m_gridModel->value(m_grid->currentRow(), u"id"_s).toLongLong();
    if (id > 0)
        finish(id);
}

bool FinderDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_searchEdit &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        setSearchRowColours({m_searchEdit, m_searchPanel}, event->type() == QEvent::FocusIn);
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (watched == m_searchEdit && searchKey(key->key()))
            return true;
        if (watched == m_grid && gridKey(key))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool FinderDialog::searchKey(int key)
{
    switch (key) {
    case Qt::Key_Down:
        if (listedRows() == 0)
            return false;
        m_grid->setFocus();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_grid->setFocus();
        return true;
    default:
        return closingKey(key);
    }
}

bool FinderDialog::closingKey(int key)
{
    switch (key) {
    case Qt::Key_Escape:
        finish(-1);
        return true;
    case Qt::Key_F5:
        if (!m_offersNew)
            return false;
        finish(0);
        return true;
    default:
        return false;
    }
}

bool FinderDialog::gridKey(const QKeyEvent *key)
{
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        chooseCurrent();
        return true;
    case Qt::Key_Up:
        if (m_grid->currentRow() > 0)
            return false;
        m_searchEdit->setFocus();
        return true;
    default:
        if (closingKey(key->key()))
            return true;
        break;
    }
    const QString text = key->text();
    const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (plain && text.size() == 1 && text.at(0).unicode() >= 48 && text.at(0).unicode() <= 122) {
        m_searchEdit->setText(text);
        m_searchEdit->setCursorPosition(1);
        m_searchEdit->setFocus();
        return true;
    }
    return false;
}
