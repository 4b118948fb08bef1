#include "journal/EntryRowGrid.h"

#include "data/PatternFormatter.h"
#include "ui/MessageService.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/EditableGridModel.h"
#include "ui/grid/GridDelegate.h"

#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
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
    u"[F4] Cerca Sottoconti - [F5] Nuovo Sottoconto - [Canc] Svuota Cella."_s;

bool isAccount(int column)
{
    return column == EntryRowGrid::ContoDare || column == EntryRowGrid::ContoAvere;
}

// Editors of the row grid: a searchable list for the accounts, plain text for amount and
// description. Enter moves to the next cell; on the description it confirms the row. The keys
// the grid acts on (F4, F5, Delete in an account) reach it while an editor is open.
class RowDelegate : public GridDelegate {
public:
    RowDelegate(EntryRowGrid *rows, const EditableGridModel *model)
        : GridDelegate(rows), m_rows(rows), m_model(model)
    {
    }

    // Text to put back into the next amount editor, after a refused value.
    void retryWith(const QString &text) { m_retryText = text; }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &index) const override
    {
        QWidget *editor = nullptr;
        if (isAccount(index.column())) {
            auto *box = new QComboBox(parent);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            for (const auto &[id, text] : m_model->columns().at(index.column()).valueList)
                box->addItem(text, id);
            box->completer()->setFilterMode(Qt::MatchContains);
            box->completer()->setCompletionMode(QCompleter::PopupCompletion);
            editor = box;
        } else {
            editor = new QLineEdit(parent);
        }
        editor->setProperty("column", index.column());
        editor->installEventFilter(const_cast<RowDelegate *>(this));
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        const QVariant stored = index.data(Qt::EditRole);
        if (auto *box = qobject_cast<QComboBox *>(editor)) {
            box->setCurrentIndex(stored.isNull() ? -1 : box->findData(stored));
            if (stored.isNull())
                box->setEditText(QString());
            return;
        }
        auto *line = static_cast<QLineEdit *>(editor);
        if (index.column() == EntryRowGrid::Importo) {
            line->setText(!m_retryText.isNull() ? m_retryText
                          : stored.isNull()     ? QString()
                                                : PatternFormatter().format(
                                                      Money::fromUnits(stored.toLongLong()), u"0.00"));
            m_retryText = QString();
        } else {
            line->setText(stored.toString());
        }
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        if (auto *box = qobject_cast<QComboBox *>(editor)) {
            const QString text = box->currentText().trimmed();
            if (text.isEmpty()) {
                model->setData(index, QVariant());
                return;
            }
            const int found = box->findText(text, Qt::MatchFixedString);
            if (found >= 0)
                model->setData(index, box->itemData(found));
            return;
        }
        model->setData(index, static_cast<QLineEdit *>(editor)->text());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *editor = qobject_cast<QWidget *>(watched);
        if (!editor || event->type() != QEvent::KeyPress)
            return GridDelegate::eventFilter(watched, event);
        const int key = static_cast<QKeyEvent *>(event)->key();
        const int column = editor->property("column").toInt();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit commitData(editor);
            if (column == EntryRowGrid::Descrizione) {
                emit closeEditor(editor, NoHint);
                QTimer::singleShot(0, m_rows, [rows = m_rows] {
                    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                    QCoreApplication::sendEvent(rows->grid(), &enter);
                });
            } else {
                emit closeEditor(editor, EditNextItem);
            }
            return true;
        }
        if (key == Qt::Key_F4 || key == Qt::Key_F5 ||
            (key == Qt::Key_Delete && isAccount(column))) {
            if (key != Qt::Key_Delete)
                emit commitData(editor);
            emit closeEditor(editor, key == Qt::Key_Delete ? RevertModelCache : NoHint);
            QKeyEvent forwarded(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(m_rows->grid(), &forwarded);
            return true;
        }
        return GridDelegate::eventFilter(watched, event);
    }

private:
    EntryRowGrid *m_rows;
    const EditableGridModel *m_model;
    mutable QString m_retryText;
};

} // namespace

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
    m_grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                            QAbstractItemView::EditKeyPressed);
    m_grid->verticalHeader()->show();
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    connect(delegate, &GridDelegate::buttonClicked, this, [this](const QModelIndex &index) {
        m_grid->setCurrentIndex(index);
        findSubAccount();
    });

    m_model->setCellCheck([this, delegate](int row, int column, QVariant &value) {
        if (column != Importo || value.typeId() != QMetaType::QString)
            return true;
        const QString text = value.toString();
        const std::optional<Money> amount = parseAmount(text);
        if (!amount) {
            MessageService::instance().inform(this, u"Inserire un valore numerico"_s,
                                              MessageService::Icon::Warning);
            QTimer::singleShot(0, this, [this, delegate, row, text] {
                delegate->retryWith(text);
                m_grid->edit(m_model->index(row, Importo));
            });
            return false;
        }
        value = amount->units();
        return true;
    });
    m_model->setRowCheck([this](int row) {
        const QString refusal = ValidateRow(rows().value(row, EntryRow{}));
        if (refusal.isEmpty())
            return true;
        MessageService::instance().inform(this, refusal, MessageService::Icon::Warning);
        return false;
    });
    connect(m_model, &EditableGridModel::rowCommitted, this, &EntryRowGrid::RefreshImbalance);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &EntryRowGrid::edited);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &EntryRowGrid::edited);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &EntryRowGrid::ShowColumnHint);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
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
    closeOpenEditor();
    return m_model->commitPending();
}

void EntryRowGrid::closeOpenEditor()
{
    // Moving the focus off an open editor stores its value, as leaving the cell does.
    if (QWidget *editor = m_grid->indexWidget(m_grid->currentIndex()); editor) {
        editor->clearFocus();
        m_grid->setFocus();
    }
}

void EntryRowGrid::LoadSubAccountLists()
{
    QString error;
    const QList<QPair<QVariant, QString>> list = ::LoadSubAccountLists(m_archive, &error);
    if (!error.isEmpty())
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
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
    QPalette palette = m_grid->palette();
    palette.setColor(QPalette::Text,
                     readOnly ? palette.color(QPalette::Disabled, QPalette::Text)
                              : QWidget::palette().color(QPalette::Active, QPalette::Text));
    m_grid->setPalette(palette);
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
    if (watched == m_grid && event->type() == QEvent::KeyPress && !m_readOnly) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::NoModifier &&
            handleKey(key->key(), m_grid->indexWidget(m_grid->currentIndex()) != nullptr))
            return true;
    }
    if (watched == m_grid->viewport() && event->type() == QEvent::Resize)
        layoutColumns();
    if (watched == m_grid && event->type() == QEvent::FocusIn && !m_readOnly)
        ShowColumnHint();
    return QWidget::eventFilter(watched, event);
}

bool EntryRowGrid::handleKey(int key, bool editing)
{
    const QModelIndex current = m_grid->currentIndex();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (editing || !current.isValid())
            return false;
        if (current.column() == Descrizione) {
            // Confirms the row (leaving it runs its check) and starts the next one.
            m_grid->setCurrentIndex(m_model->index(current.row() + 1, ContoDare));
        } else {
            m_grid->setCurrentIndex(m_model->index(current.row(), current.column() + 1));
        }
        return true;
    case Qt::Key_F4:
        if (isAccountColumn())
            findSubAccount();
        return true;
    case Qt::Key_F5:
        if (isAccountColumn())
            createSubAccount(current.data(Qt::DisplayRole).toString());
        return true;
    case Qt::Key_Delete:
        if (!isAccountColumn())
            return false;
        m_model->setData(current, QVariant());
        return true;
    default:
        return false;
    }
}

void EntryRowGrid::findSubAccount()
{
    if (!m_finder)
        return;
    const QString text = m_grid->currentIndex().data(Qt::DisplayRole).toString();
    const qint64 id = m_finder(this, text);
    if (id > 0)
        setCurrentAccount(id);
    else if (id == 0)
        createSubAccount(text);
}

void EntryRowGrid::createSubAccount(const QString &proposed)
{
    if (!m_creator)
        return;
    const qint64 id = m_creator(this, proposed);
    if (id < 1)
        return;
    LoadSubAccountLists();
    setCurrentAccount(id);
}

void EntryRowGrid::setCurrentAccount(const QVariant &id)
{
    m_model->setData(m_grid->currentIndex(), id);
    m_grid->setFocus();
}

void EntryRowGrid::RefreshImbalance(int committedRow)
{
    const QList<EntryRow> all = rows();
    const Money imbalance = imbalanceOf(all);
    emit imbalanceChanged(imbalanceText(imbalance));
    m_model->setDefaultValue(Importo,
                             imbalance.isZero() ? QVariant() : QVariant(imbalance.abs().units()));
    if (committedRow >= 0 && committedRow < all.size())
        m_model->setDefaultValue(Descrizione, all.at(committedRow).descrizione);
}

void EntryRowGrid::ShowColumnHint()
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
        emit hint(
            m_model->isNewRowLine(current.row())
                ? u"Descrizione della riga: per confermare l'intera riga premere di nuovo il tasto [INVIO]."_s
                : u"Descrizione della riga."_s);
        break;
    default:
        break;
    }
}
