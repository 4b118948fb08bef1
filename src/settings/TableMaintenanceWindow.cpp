#include "settings/TableMaintenanceWindow.h"

#include "data/EngineErrors.h"
#include "settings/ArchiveTableModel.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/GridViewSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace {

constexpr int MinimumWidthTwips = 6105;

} // namespace

TableMaintenanceWindow::TableMaintenanceWindow(const Archive &archive, QWidget *parent)
    : QDialog(parent), m_archive(archive)
{
    setObjectName(u"TableMaintenanceWindow"_s);
    setWindowTitle(u"Tabelle"_s);
    setSizeGripEnabled(true);

    m_label = new QLabel(u"Tabella:"_s, this);
    m_tableCombo = new QComboBox(this);
    m_tableCombo->setObjectName(u"cmbTables"_s);
    m_label->setBuddy(m_tableCombo);

    m_model = new ArchiveTableModel(m_archive, this);
    m_tableGrid = new DataGrid(this);
    m_tableGrid->setObjectName(u"tableGrid"_s);
    m_tableGrid->setModel(m_model);
    m_tableGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_tableGrid->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    m_tableGrid->installEventFilter(this);
    m_tableGrid->hide();

    m_bottomPanel = new QLabel(u"Scegliere la tabella da consultare o modificare."_s, this);
    m_bottomPanel->setObjectName(u"picBottom"_s);
    m_bottomPanel->setAlignment(Qt::AlignCenter);
    m_bottomPanel->setFrameShape(QFrame::StyledPanel);

    connect(m_model, &ArchiveTableModel::refused, this, [this](const QString &text) {
        MessageService::instance().inform(this, text, MessageService::Icon::Warning);
    });
    connect(m_model, &ArchiveTableModel::writeFailed, this, [this](const QString &error) {
        informFailure(this, u"La riga non è stata scritta nella tabella."_s, error);
    });
    connect(m_tableGrid->support(), &GridViewSupport::enterPressed, m_model,
            &ArchiveTableModel::commitPending);
    connect(m_tableGrid->support(), &GridViewSupport::characterTyped, this,
            &TableMaintenanceWindow::startTyping);
    connect(m_tableCombo, &QComboBox::activated, this,
            [this](int index) { chooseTable(m_tableCombo->itemText(index)); });

    QString error;
    m_tableCombo->addItems(archiveTableNames(m_archive, &error));
    m_tableCombo->setCurrentIndex(-1);
    if (!error.isEmpty())
        MessageService::instance().inform(
            this, failureMessage(u"Impossibile elencare le tabelle dell'archivio."_s, error),
            MessageService::Icon::Critical);

    setMinimumWidth(twipsToPixels(this, MinimumWidthTwips));
    resize(760, 480);
    rememberGeometry(this, u"manutenzione"_s);
}

bool TableMaintenanceWindow::chooseTable(const QString &name)
{
    // Another table replaces the rows: the row in edit must reach the archive first.
    if (!m_model->commitPending()) {
        m_tableCombo->setCurrentText(m_shownTable);
        return false;
    }
    ArchiveTable table;
    QString error;
    if (!loadArchiveTable(m_archive, name, &table, &error)) {
        MessageService::instance().inform(
            this, failureMessage(u"Impossibile leggere la tabella %1."_s.arg(name), error),
            MessageService::Icon::Critical);
        m_tableCombo->setCurrentText(m_shownTable);
        return false;
    }
    m_tableGrid->hide();
    m_model->setTable(std::move(table));
    m_tableGrid->applyColumns(m_model->columns());
    m_shownTable = name;
    m_tableCombo->setCurrentText(name);
    m_bottomPanel->hide();
    m_tableGrid->show();
    m_tableGrid->setCurrentRow(0);
    m_tableGrid->setFocus();
    return true;
}

void TableMaintenanceWindow::reject()
{
    if (m_model->commitPending()) {
        QDialog::reject();
        return;
    }
    if (MessageService::instance().ask(
            this,
            u"La riga in modifica non è stata salvata.\nChiudere abbandonando le modifiche?"_s,
            MessageService::Icon::Warning)) {
        m_model->cancelPending();
        QDialog::reject();
    }
}

void TableMaintenanceWindow::deleteRow()
{
    const int row = m_tableGrid->currentRow();
    if (row < 0 || m_model->isNewRowLine(row))
        return;
    if (row == m_model->pendingRow() &&
        m_model->value(row, int(m_model->table().fields.size())).toList().isEmpty()) {
        m_model->cancelPending();
        return;
    }
    if (!MessageService::instance().ask(this, u"Eliminare la riga selezionata?"_s,
                                        MessageService::Icon::Warning))
        return;
    QString error;
    if (!m_model->deleteArchiveRow(row, &error))
        informFailure(this, u"La riga non è stata eliminata."_s, error);
}

void TableMaintenanceWindow::startTyping(const QString &text)
{
    const QModelIndex current = m_tableGrid->currentIndex();
    if (!current.isValid() || !(m_model->flags(current) & Qt::ItemIsEditable))
        return;
    m_tableGrid->edit(current);
    if (auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget()))
        editor->setText(text);
}

bool TableMaintenanceWindow::eventFilter(QObject *watched, QEvent *event)
{
    // While a cell is edited its editor has the keys; these reach the grid between edits.
    if (watched == m_tableGrid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Delete) {
            deleteRow();
            return true;
        }
        // Esc on a row in edit gives it back its stored values, as the grid always did.
        if (key == Qt::Key_Escape && m_model->pendingRow() >= 0) {
            m_model->cancelPending();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TableMaintenanceWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    layoutControls();
}

void TableMaintenanceWindow::layoutControls()
{
    auto px = [this](int twips) { return twipsToPixels(this, twips); };
    const int labelWidth = m_label->sizeHint().width();
    const int rowHeight = m_tableCombo->sizeHint().height();
    const int top = std::max(px(535), rowHeight + px(120));
    m_label->setGeometry(px(60), (top - rowHeight) / 2, labelWidth, rowHeight);
    m_tableCombo->setGeometry(px(60) + labelWidth + px(90), (top - rowHeight) / 2, px(3200),
                              rowHeight);
    const QRect area(px(60), top, width() - px(105), height() - top - px(45));
    m_tableGrid->setGeometry(area);
    m_bottomPanel->setGeometry(area);
}
