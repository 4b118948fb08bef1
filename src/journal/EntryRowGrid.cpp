#include "journal/EntryRowGrid.h"

#include "data/EngineErrors.h"
#include "data/PatternFormatter.h"
#include "ui/MessageService.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/EditableGridModel.h"
#include "ui/grid/GridDelegate.h"
#include "ui/grid/ValueListCompleter.h"

#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

std::optional<Money> parseAmount(const QString &text)
{
    const std::optional<Money> amount = Money::parse(text, appLocale());
    if (!amount)
        return std::nullopt;
    return amount->roundedToCents();
}

namespace {

const QString AccountHint =
    u"[F4] Cerca Sottoconti - [F5] Nuovo Sottoconto - [Canc] Svuota Cella - [Ctrl+Canc] Elimina "
    u"riga."_s;

bool isAccount(int column)
{
    return column == EntryRowGrid::ContoDare || column == EntryRowGrid::ContoAvere;
}

bool isTyped(int column)
{
    return isAccount(column) || column == EntryRowGrid::Importo ||
           column == EntryRowGrid::Descrizione;
}

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool deletesRow(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Delete && key->modifiers().testFlag(Qt::ControlModifier);
}

// Shift and the keypad change nothing in what a key means to the grid.
Qt::KeyboardModifiers commandModifiers(const QKeyEvent *key)
{
    return key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
}

// Editors of the row grid: text that completes from the sub-accounts in the account columns,
// plain text for amount and description. Enter moves to the next cell; on the description it
// confirms the row. A value the row refuses keeps its editor open (the grid sees to it). The keys
// the grid acts on (F4, F5, Delete in an account, Ctrl+Delete) work while an editor is open.
class RowDelegate : public GridDelegate {
public:
    RowDelegate(EntryRowGrid *rows, const EditableGridModel *model)
        : GridDelegate(rows), m_rows(rows), m_model(model)
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &index) const override
    {
        auto *editor = new QLineEdit(parent);
        if (isAccount(index.column()))
            new ValueListCompleter(editor, m_model->columns().at(index.column()).valueList);
        if (index.column() == EntryRowGrid::Descrizione)
            editor->setMaxLength(int(EntryTextLength));
        editor->setProperty("column", index.column());
        editor->installEventFilter(const_cast<RowDelegate *>(this));
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        const QVariant stored = index.data(Qt::EditRole);
        auto *line = static_cast<QLineEdit *>(editor);
        if (auto *completer = editor->findChild<ValueListCompleter *>()) {
            line->setText(index.data(Qt::DisplayRole).toString());
            completer->setChosen(stored);
        } else if (index.column() == EntryRowGrid::Importo) {
            line->setText(stored.isNull() ? QString()
                                          : PatternFormatter().format(
                                                Money::fromUnits(stored.toLongLong()), u"0.00"));
        } else {
            line->setText(stored.toString());
        }
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        if (auto *completer = editor->findChild<ValueListCompleter *>()) {
            model->setData(index, completer->resolve());
            return;
        }
        const QString text = static_cast<QLineEdit *>(editor)->text();
        model->setData(index, text.isEmpty() ? QVariant() : QVariant(text));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *editor = qobject_cast<QLineEdit *>(watched);
        if (!editor || event->type() != QEvent::KeyPress)
            return GridDelegate::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        const int column = editor->property("column").toInt();
        if (isEnter(key->key()) && commandModifiers(key) == Qt::NoModifier) {
            confirm(editor, column);
            return true;
        }
        if (deletesRow(key)) {
            emit closeEditor(editor, RevertModelCache);
            m_rows->deleteCurrentRow();
            return true;
        }
        if (key->key() == Qt::Key_F4 || key->key() == Qt::Key_F5) {
            // The text typed so far is where the search or the new name starts.
            const QString text = editor->text();
            emit closeEditor(editor, RevertModelCache);
            if (isAccount(column) && key->key() == Qt::Key_F4)
                m_rows->findSubAccount(text);
            else if (isAccount(column))
                m_rows->createSubAccount(text);
            return true;
        }
        if (key->key() == Qt::Key_Delete && isAccount(column)) {
            emit closeEditor(editor, RevertModelCache);
            m_rows->clearCurrentAccount();
            return true;
        }
        return GridDelegate::eventFilter(watched, event);
    }

private:
    void confirm(QLineEdit *editor, int column)
    {
        emit commitData(editor);
        if (m_rows->grid()->holdsEditor(editor))
            return;
        if (column != EntryRowGrid::Descrizione) {
            emit closeEditor(editor, EditNextItem);
            return;
        }
        emit closeEditor(editor, NoHint);
        QTimer::singleShot(0, m_rows, [rows = m_rows] {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(rows->grid(), &enter);
        });
    }

    EntryRowGrid *m_rows;
    const EditableGridModel *m_model;
};

} // namespace

QString EntryRowGrid::navigatorText(int row, int rowCount)
{
    if (row < 0)
        return {};
    if (row >= rowCount)
        return u"Nuova riga (righe: %1)"_s.arg(rowCount);
    return u"Riga %1 di %2"_s.arg(row + 1).arg(rowCount);
}

EntryRowGrid::EntryRowGrid(const Archive &archive, QWidget *parent)
    : QWidget(parent), m_archive(archive), m_grid(new DataGrid(this)),
      m_model(new EditableGridModel(this))
{
    GridColumn dare = GridColumn::text(u"contodare"_s, u"Sottoconto in Dare"_s, 3200);
    GridColumn avere = GridColumn::text(u"contoavere"_s, u"Sottoconto in Avere"_s, 3200);
    for (GridColumn *account : {&dare, &avere}) {
        account->hasButton = true;
        account->resizable = false;
        account->editable = true;
    }
    GridColumn importo = GridColumn::money(u"importo"_s, u"Importo"_s, 1600, u"#,##0.00"_s);
    importo.editable = true;
    importo.resizable = false;
    GridColumn descrizione = GridColumn::text(u"descrizione"_s, u"Descrizione"_s, 3600);
    descrizione.editable = true;
    descrizione.resizable = false;
    GridColumn riga = GridColumn::hidden(u"riga"_s);
    riga.caption = u"riga"_s;
    m_model->setColumns({GridColumn::hidden(u"id"_s), riga, dare, avere, importo, descrizione,
                         GridColumn::hidden(u"idRegmain"_s)});

    auto *delegate = new RowDelegate(this, m_model);
    m_grid->setItemDelegate(delegate);
    m_grid->setModel(m_model);
    m_grid->applyColumns(m_model->columns());
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_grid->verticalHeader()->show();
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    connect(delegate, &GridDelegate::buttonClicked, this, [this](const QModelIndex &index) {
        m_grid->setCurrentIndex(index);
        findSubAccount(index.data(Qt::DisplayRole).toString());
    });

    m_eliminaRiga = new QAction(u"Elimina riga"_s, m_grid);
    m_eliminaRiga->setObjectName(u"deleteRow"_s);
    m_eliminaRiga->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    m_eliminaRiga->setShortcutContext(Qt::WidgetShortcut);
    m_grid->addAction(m_eliminaRiga);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_eliminaRiga, &QAction::triggered, this, &EntryRowGrid::deleteCurrentRow);

    m_model->setCellCheck(
        [this](int, int column, QVariant &value) { return checkCell(column, value); });
    m_model->setRowCheck([this](int row) {
        const QString refusal = validateRow(rows().value(row, EntryRow{}));
        if (refusal.isEmpty())
            return true;
        MessageService::instance().inform(this, refusal, MessageService::Icon::Warning);
        return false;
    });
    connect(m_model, &EditableGridModel::editRefused, this, [this](const QModelIndex &index) {
        const int pending = m_model->pendingRow();
        if (pending >= 0 && pending != index.row())
            emit hint(u"Confermare prima la riga %1."_s.arg(pending + 1));
    });
    connect(m_model, &EditableGridModel::rowCommitted, this, &EntryRowGrid::refreshImbalance);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &EntryRowGrid::edited);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &EntryRowGrid::edited);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &EntryRowGrid::showColumnHint);
    for (const auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, changed, this, &EntryRowGrid::showPosition);
    connect(m_model, &QAbstractItemModel::modelReset, this, &EntryRowGrid::showPosition);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &EntryRowGrid::showPosition);

    m_navigator = new QLabel(this);
    m_navigator->setObjectName(u"navigator"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_grid);
    layout->addWidget(m_navigator);
}

bool EntryRowGrid::checkCell(int column, QVariant &value)
{
    if (isAccount(column) && value.typeId() == QMetaType::QString) {
        // Text that names no sub-account stays in its editor.
        emit hint(u"Nessun sottoconto contiene \"%1\": [F4] Cerca Sottoconti - [F5] Nuovo "
                  u"Sottoconto."_s.arg(value.toString().trimmed()));
        return false;
    }
    if (column != Importo || value.typeId() != QMetaType::QString)
        return true;
    const std::optional<Money> amount = parseAmount(value.toString());
    if (!amount) {
        emit hint(u"Inserire un valore numerico, come 1.234,56 o 12,50."_s);
        MessageService::instance().inform(this, u"Inserire un valore numerico"_s,
                                          MessageService::Icon::Warning);
        return false;
    }
    value = amount->units();
    return true;
}

void EntryRowGrid::showPosition()
{
    m_navigator->setText(navigatorText(m_grid->currentRow(), int(m_model->rows().size())));
    m_eliminaRiga->setEnabled(!m_readOnly && m_grid->currentRow() >= 0 &&
                              m_grid->currentRow() < int(m_model->rows().size()));
}

QString EntryRowGrid::imbalanceText(Money imbalance)
{
    if (imbalance.isZero())
        return {};
    return u"Sbilancio = "_s + PatternFormatter().format(imbalance, u"+#,##0.00;-#,##0.00") +
           u" "_s;
}

void EntryRowGrid::setRows(const QList<EntryRow> &rows)
{
    std::vector<QVariantList> values;
    for (const EntryRow &row : rows)
        values.push_back({row.id == 0 ? QVariant() : QVariant(row.id), QVariant(), row.contodare,
                          row.contoavere, row.importo.units(), row.descrizione, QVariant()});
    m_model->setRows(std::move(values));
    m_model->setDefaultValue(Importo, QVariant());
    m_model->setDefaultValue(Descrizione, QVariant());
    emit imbalanceChanged(imbalanceText(imbalanceOf(rows)));
}

QList<EntryRow> EntryRowGrid::rows() const
{
    QList<EntryRow> rows;
    for (const QVariantList &values : m_model->rows())
        rows.append({values.at(Id).toLongLong(), values.at(ContoDare), values.at(ContoAvere),
                     Money::fromUnits(values.at(Importo).toLongLong()),
                     values.at(Descrizione).toString()});
    return rows;
}

bool EntryRowGrid::commitEditing()
{
    return m_grid->commitOpenEditor() && m_model->commitPending();
}

void EntryRowGrid::loadSubAccountLists()
{
    QString error;
    const QList<QPair<QVariant, QString>> list = subAccountChoices(m_archive, &error);
    if (!error.isEmpty())
        MessageService::instance().inform(
            this, failureMessage(u"Impossibile leggere i sottoconti."_s, error),
            MessageService::Icon::Critical);
    const QModelIndex current = m_grid->currentIndex();
    QList<GridColumn> columns = m_model->columns();
    columns[ContoDare].valueList = list;
    columns[ContoAvere].valueList = list;
    m_model->setColumns(columns);
    m_grid->applyColumns(columns);
    layoutColumns();
    if (current.isValid())
        m_grid->setCurrentIndex(m_model->index(current.row(), current.column()));
}

void EntryRowGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    QList<GridColumn> columns = m_model->columns();
    columns[ContoDare].hasButton = !readOnly;
    columns[ContoAvere].hasButton = !readOnly;
    m_model->setColumns(columns);
    m_model->setReadOnly(readOnly);
    // The colours come from this widget's palette, which the grid's never changes.
    const QPalette own = palette();
    QPalette grid = m_grid->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        grid.setColor(group, QPalette::Text,
                      own.color(readOnly ? QPalette::Disabled : group, QPalette::Text));
    m_grid->setPalette(grid);
    showPosition();
}

void EntryRowGrid::goToNewRow()
{
    m_grid->setCurrentIndex(m_model->index(m_model->rowCount() - 1, ContoDare));
}

void EntryRowGrid::layoutColumns()
{
    // Long sub-account names must not push the amount and the text out of sight: the grid's
    // width is shared out instead.
    const int width = m_grid->viewport()->width();
    QHeaderView *header = m_grid->horizontalHeader();
    header->resizeSection(ContoDare, width * 30 / 100);
    header->resizeSection(ContoAvere, width * 30 / 100);
    header->resizeSection(Importo, width * 14 / 100);
    header->resizeSection(Descrizione, width - 2 * (width * 30 / 100) - width * 14 / 100 - 2);
}

bool EntryRowGrid::isAccountColumn() const
{
    return isAccount(m_grid->currentIndex().column());
}

bool EntryRowGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid && event->type() == QEvent::KeyPress && !m_readOnly &&
        !m_grid->openEditor() && gridKey(static_cast<QKeyEvent *>(event)))
        return true;
    if (watched == m_grid->viewport() && event->type() == QEvent::Resize)
        layoutColumns();
    if (watched == m_grid && event->type() == QEvent::FocusIn && !m_readOnly)
        showColumnHint();
    return QWidget::eventFilter(watched, event);
}

bool EntryRowGrid::gridKey(QKeyEvent *key)
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return false;
    if (deletesRow(key)) {
        deleteCurrentRow();
        return true;
    }
    if (commandModifiers(key) != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current.column() == Descrizione) {
            // Confirms the row (leaving it runs its check) and starts the next one.
            m_grid->setCurrentIndex(m_model->index(current.row() + 1, ContoDare));
        } else {
            m_grid->setCurrentIndex(m_model->index(current.row(), current.column() + 1));
        }
        return true;
    case Qt::Key_F4:
        if (isAccountColumn())
            findSubAccount(current.data(Qt::DisplayRole).toString());
        return true;
    case Qt::Key_F5:
        if (isAccountColumn())
            createSubAccount(current.data(Qt::DisplayRole).toString());
        return true;
    case Qt::Key_Delete:
        if (!isAccountColumn())
            return false;
        clearCurrentAccount();
        return true;
    default:
        return typeIntoCell(key);
    }
}

bool EntryRowGrid::typeIntoCell(QKeyEvent *key)
{
    // A printable key opens the cell's editor, with the key as the first character typed.
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || !isTyped(m_grid->currentIndex().column()))
        return false;
    m_grid->edit(m_grid->currentIndex());
    QWidget *editor = m_grid->openEditor();
    if (!editor)
        return false;
    QCoreApplication::sendEvent(editor, key);
    return true;
}

void EntryRowGrid::deleteCurrentRow()
{
    const int row = m_grid->currentRow();
    if (m_readOnly || row < 0 || row >= int(m_model->rows().size()))
        return;
    m_grid->cancelOpenEditor();
    const int column = m_grid->currentIndex().column();
    m_model->removeRow(row);
    m_grid->setCurrentIndex(m_model->index(row, column));
    refreshImbalance(-1);
    m_grid->setFocus();
}

void EntryRowGrid::findSubAccount(const QString &text)
{
    if (!m_finder)
        return;
    const qint64 id = m_finder(this, text);
    if (id > 0)
        setCurrentAccount(id);
    else if (id == 0)
        createSubAccount(text);
    m_grid->setFocus();
}

void EntryRowGrid::createSubAccount(const QString &proposed)
{
    if (!m_creator)
        return;
    const qint64 id = m_creator(this, proposed);
    if (id >= 1) {
        loadSubAccountLists();
        setCurrentAccount(id);
    }
    m_grid->setFocus();
}

void EntryRowGrid::clearCurrentAccount()
{
    setCurrentAccount(QVariant());
}

void EntryRowGrid::setCurrentAccount(const QVariant &id)
{
    if (isAccountColumn())
        m_model->setData(m_grid->currentIndex(), id);
    m_grid->setFocus();
}

void EntryRowGrid::refreshImbalance(int committedRow)
{
    const QList<EntryRow> all = rows();
    const Money imbalance = imbalanceOf(all);
    emit imbalanceChanged(imbalanceText(imbalance));
    m_model->setDefaultValue(Importo,
                             imbalance.isZero() ? QVariant() : QVariant(imbalance.abs().units()));
    if (committedRow >= 0 && committedRow < all.size())
        m_model->setDefaultValue(Descrizione, all.at(committedRow).descrizione);
}

void EntryRowGrid::showColumnHint()
{
    if (m_readOnly)
        return;
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return;
    switch (current.column()) {
    case ContoDare:
    case ContoAvere:
        emit hint(AccountHint);
        break;
    case Importo:
        emit hint(u"Inserire l'Importo della riga."_s);
        break;
    case Descrizione:
        emit hint(m_model->isNewRowLine(current.row())
                      ? u"Descrizione della riga: [INVIO] conferma l'intera riga."_s
                      : u"Descrizione della riga."_s);
        break;
    default:
        break;
    }
}
