#include "journal/EntryEditor.h"

#include "chart/SubAccountEditor.h"
#include "data/Attachments.h"
#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "journal/EntryRowGrid.h"
#include "journal/EntryTypeDialog.h"
#include "journal/RenumberingWindow.h"
#include "ui/AttachmentOpening.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/SubAccountFinderDialog.h"
#include "ui/WindowUtils.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/EditableGridModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString AttachmentFilter = u"Allegato (*.pdf *.jpg *.bmp *.doc *.docx *.xls *.xlsx)"_s;

} // namespace

EntryEditor::EntryEditor(FiscalEnvironment &environment, QWidget *parent)
    : QWidget(parent, Qt::Window), m_environment(environment)
{
    setObjectName(u"EntryEditor"_s);
    setWindowTitle(u"Registrazioni"_s);
    buildWindow();
    removeCloseButton(this);
    // The window's keys must reach it before any of its controls, open cell editors included.
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &EntryEditor::focusChanged);
    // The main window alone decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(980, 560);
    rememberGeometry(this, u"registrazione"_s);
}

// The controls are destroyed after this, and the focus leaving them must no longer reach a
// window that is gone.
EntryEditor::~EntryEditor()
{
    qApp->removeEventFilter(this);
    disconnect(qApp, nullptr, this, nullptr);
}

void EntryEditor::buildWindow()
{
    m_dateEdit = new QDateEdit(this);
    m_dateEdit->setObjectName(u"datData"_s);
    m_dateEdit->setCalendarPopup(true);
    m_dateEdit->setDisplayFormat(u"dd/MM/yyyy"_s);
    m_numberLabel = new QLabel(this);
    m_numberLabel->setObjectName(u"lblProgressivo"_s);
    QFont bold = m_numberLabel->font();
    bold.setBold(true);
    m_numberLabel->setFont(bold);

    m_frameTipo = new QGroupBox(this);
    m_frameTipo->setObjectName(u"frameTipo"_s);
    m_kindButton = new QPushButton(u"Modifica"_s, m_frameTipo);
    m_kindButton->setObjectName(u"cmdTipo"_s);
    auto *tipoLayout = new QHBoxLayout(m_frameTipo);
    tipoLayout->addWidget(m_kindButton);

    auto *frameAllegato = new QGroupBox(u"Allegato"_s, this);
    auto *allegatoLayout = new QHBoxLayout(frameAllegato);
    const QString captions[] = {u"Inserisci"_s, u"Visualizza"_s, u"Elimina"_s};
    for (int i = 0; i < 3; ++i) {
        m_attachmentButton[i] = new QPushButton(captions[i], frameAllegato);
        m_attachmentButton[i]->setObjectName(u"cmdAllegato%1"_s.arg(i));
        m_attachmentButton[i]->setAutoDefault(false);
        allegatoLayout->addWidget(m_attachmentButton[i]);
    }

    auto *header = new QGridLayout;
    header->addWidget(new QLabel(u"Data della Registrazione:"_s, this), 0, 0);
    header->addWidget(m_dateEdit, 0, 1);
    header->addWidget(new QLabel(u"Progressivo:"_s, this), 1, 0);
    header->addWidget(m_numberLabel, 1, 1);
    header->setColumnStretch(2, 1);
    header->addWidget(m_frameTipo, 0, 3, 2, 1);
    header->addWidget(frameAllegato, 0, 4, 2, 1);

    m_infoPanel =
        new QLabel(u"Nuova Registrazione da Modello: apportare le modifiche desiderate."_s, this);
    m_infoPanel->setObjectName(u"picInfo"_s);
    m_infoPanel->setStyleSheet(u"background: #fff6c8; border: 1px solid #d8c46a; padding: 4px;"_s);

    m_rows = new EntryRowGrid(m_environment.archive(), this);
    m_rows->grid()->setRowHeight(m_environment.gridRowHeight());
    m_rows->setFinder([this](QWidget *owner, const QString &text) {
        return SubAccountFinderDialog::choose(owner, m_environment.archive(), text);
    });
    m_rows->setCreator([this](QWidget *owner, const QString &descrizione) {
        return SubAccountEditor::create(owner, m_environment.archive(), descrizione);
    });

    auto addButton = [this](const QString &caption, const QString &name) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    m_newButton = addButton(u"Nuovo (F5)"_s, u"cmdNuovo"_s);
    m_saveButton = addButton(u"Salva (F8)"_s, u"cmdSalva"_s);
    m_editButton = addButton(u"Modifica"_s, u"cmdModifica"_s);
    m_cancelButton = addButton(u"Annulla"_s, u"cmdAnnulla"_s);
    m_deleteButton = addButton(u"Elimina"_s, u"cmdElimina"_s);
    m_closeButton = addButton(u"Chiudi (Esc)"_s, u"cmdChiudi"_s);
    auto *buttons = new QHBoxLayout;
    QPushButton *cmdHelp = createHelpButton(this, HelpContext::Registrazione);
    cmdHelp->setAutoDefault(false);
    buttons->addWidget(cmdHelp);
    buttons->addStretch(1);
    for (QPushButton *button :
         {m_newButton, m_saveButton, m_editButton, m_cancelButton, m_deleteButton, m_closeButton})
        buttons->addWidget(button);

    auto *status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(u"sbPanel%1"_s.arg(i + 1));
    }
    status->addWidget(m_panels[0], 1);
    status->addPermanentWidget(m_panels[1]);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_infoPanel);
    layout->addWidget(m_rows, 1);
    layout->addLayout(buttons);
    layout->addWidget(status);

    connect(m_newButton, &QPushButton::clicked, this, [this] { startNew(0, false); });
    connect(m_saveButton, &QPushButton::clicked, this, &EntryEditor::save);
    connect(m_editButton, &QPushButton::clicked, this, &EntryEditor::startEditing);
    connect(m_cancelButton, &QPushButton::clicked, this, &EntryEditor::cancel);
    connect(m_deleteButton, &QPushButton::clicked, this, &EntryEditor::deleteShownEntry);
    connect(m_closeButton, &QPushButton::clicked, this, &EntryEditor::closeWindow);
    connect(m_kindButton, &QPushButton::clicked, this, &EntryEditor::changeKind);
    connect(m_attachmentButton[0], &QPushButton::clicked, this, &EntryEditor::inserisciAllegato);
    connect(m_attachmentButton[1], &QPushButton::clicked, this, &EntryEditor::showAttachedFile);
    connect(m_attachmentButton[2], &QPushButton::clicked, this, &EntryEditor::deleteAttachment);
    connect(m_rows, &EntryRowGrid::hint, m_panels[0], &QLabel::setText);
    connect(m_rows, &EntryRowGrid::imbalanceChanged, this, [this](const QString &text) {
        m_panels[1]->setText(text);
        m_panels[1]->setVisible(!text.isEmpty());
    });
}

QString EntryEditor::statusText(int panel) const
{
    const QLabel *label = m_panels[panel - 1];
    return label->isVisibleTo(this) ? label->text() : QString();
}

void EntryEditor::inform(const QString &text, bool critical)
{
    MessageService::instance().inform(
        this, text, critical ? MessageService::Icon::Critical : MessageService::Icon::Warning);
}

bool EntryEditor::startNew(qint64 modelId, bool showWindow)
{
    QString error;
    const std::optional<JournalEntry> entry =
        newEntry(m_environment.archive(), modelId, m_environment.workingDate(), &error);
    if (!entry) {
        inform(failureMessage(u"Impossibile preparare la nuova registrazione."_s, error), true);
        return false;
    }
    m_lockRefusal.clear();
    display(*entry, State::New, u"Nuova Registrazione"_s);
    m_infoPanel->setVisible(modelId > 0);
    if (showWindow)
        QWidget::show();
    m_dateEdit->setFocus();
    return true;
}

bool EntryEditor::openEntry(qint64 id)
{
    QString error;
    const std::optional<JournalEntry> entry = loadEntry(m_environment.archive(), id, &error);
    if (!entry) {
        inform(failureMessage(u"Impossibile leggere la registrazione."_s, error), true);
        return false;
    }
    m_lockRefusal = entryLockRefusal(m_environment.archive(), id, &error);
    display(*entry, State::View, u"Modifica Registrazione"_s);
    m_infoPanel->hide();
    QWidget::show();
    m_newButton->setFocus();
    return true;
}

void EntryEditor::display(const JournalEntry &entry, State state, const QString &caption)
{
    m_entry = entry;
    m_header = entry.header;
    m_dateEdit->setDateRange(m_environment.yearStart(), m_environment.yearEnd());
    m_dateEdit->setDate(entry.header.data);
    m_numberLabel->setText(entry.header.progressivo.isNull() ? u"N/A"_s
                                                             : entry.header.progressivo.toString());
    setWindowTitle(caption);
    m_rows->loadSubAccountLists();
    m_rows->setRows(entry.rows);
    showType();
    setState(state);
    m_rows->goToNewRow();
}

void EntryEditor::setState(State state)
{
    m_state = state;
    const bool editing = state != State::View;
    for (QPushButton *button :
         {m_newButton, m_saveButton, m_editButton, m_cancelButton, m_deleteButton, m_closeButton})
        button->hide();
    for (QPushButton *button :
         editing ? QList<QPushButton *>{m_saveButton, m_cancelButton}
                 : QList<QPushButton *>{m_editButton, m_newButton, m_deleteButton, m_closeButton})
        button->show();
    m_panels[1]->hide();
    m_dateEdit->setEnabled(editing);
    m_rows->setReadOnly(!editing);
    m_kindButton->setEnabled(state == State::Edit);
    // An entry printed in definitiva is shown read-only, with the reason in the status bar.
    const bool locked = state == State::View && !m_lockRefusal.isEmpty();
    m_editButton->setEnabled(!locked);
    m_deleteButton->setEnabled(!locked);
    showAttachment();
    if (!editing)
        m_panels[0]->setText(locked ? m_lockRefusal : QString());
}

void EntryEditor::showType()
{
    m_frameTipo->setTitle(entryTypeCaption(m_header.kind));
}

void EntryEditor::showAttachment()
{
    const bool editing = m_state != State::View;
    const bool attached = !m_header.attached.isNull();
    m_attachmentButton[0]->setEnabled(editing && !attached);
    m_attachmentButton[1]->setEnabled(editing && attached);
    m_attachmentButton[2]->setEnabled(editing && attached);
}

JournalEntry EntryEditor::current() const
{
    JournalEntry entry{m_header, m_rows->rows()};
    entry.header.data = m_dateEdit->date();
    return entry;
}

bool EntryEditor::hasUnsavedChanges() const
{
    return m_state != State::View &&
           (m_rows->model()->pendingRow() >= 0 || !(current() == m_entry));
}

bool EntryEditor::save()
{
    if (m_state == State::View || !m_rows->commitEditing())
        return false;
    JournalEntry entry = current();
    QString error;
    const QString refusal = validateEntry(m_environment.archive(), entry.rows, &error);
    if (!refusal.isEmpty() || !error.isEmpty()) {
        inform(refusal.isEmpty()
                   ? failureMessage(u"Impossibile controllare la registrazione."_s, error)
                   : refusal,
               refusal.isEmpty());
        if (entry.rows.isEmpty())
            m_rows->grid()->setFocus();
        return false;
    }
    GateFailure failure = GateFailure::None;
    if (!saveEntry(m_environment.archive(), entry, m_environment.yearStart(),
                   m_environment.yearEnd(), &error, &failure)) {
        if (failure == GateFailure::ChangedByOther)
            offerReload(error);
        else
            ::informFailure(this, u"La registrazione non è stata salvata."_s, error);
        return false;
    }
    display(entry, State::View, u"Modifica Registrazione"_s);
    if (m_onWritten)
        m_onWritten();
    m_infoPanel->hide();
    m_newButton->setFocus();
    return true;
}

void EntryEditor::offerReload(const QString &refusal)
{
    if (MessageService::instance().ask(
            this, refusal + u"\n\nRiaprire ora la registrazione? Le modifiche fatte qui andranno "
                            u"perse."_s))
        openEntry(m_entry.header.id);
}

void EntryEditor::startEditing()
{
    if (m_state != State::View || !openEntry(m_entry.header.id))
        return;
    if (!m_lockRefusal.isEmpty()) {
        inform(m_lockRefusal);
        return;
    }
    setState(State::Edit);
    m_rows->goToNewRow();
    m_rows->grid()->setFocus();
}

void EntryEditor::deleteShownEntry()
{
    if (m_state == State::View && !m_lockRefusal.isEmpty()) {
        inform(m_lockRefusal);
        return;
    }
    if (m_state != State::View ||
        !MessageService::instance().ask(this, u"Eliminare la Registrazione?"_s))
        return;
    QString error;
    GateFailure failure = GateFailure::None;
    if (!deleteEntry(m_environment.archive(), m_entry.header, &error, &failure)) {
        if (failure == GateFailure::ChangedByOther)
            offerReload(error);
        else
            ::informFailure(this, u"La registrazione non è stata eliminata."_s, error);
        return;
    }
    if (m_onWritten)
        m_onWritten();
    startNew(0, false);
}

void EntryEditor::cancel()
{
    if (m_state == State::View)
        return;
    // With nothing typed there is nothing to lose.
    if (!hasUnsavedChanges() || MessageService::instance().ask(
                                    this, u"Abbandonare le modifiche effettuate senza salvare?"_s))
        closeWindow();
}

void EntryEditor::closeWindow()
{
    m_closing = true;
    close();
}

void EntryEditor::changeKind()
{
    const std::optional<EntryKind> kind = EntryTypeDialog::choose(this, m_header.kind);
    if (!kind)
        return;
    m_header.kind = *kind;
    showType();
}

QString EntryEditor::attachmentsFolder() const
{
    return m_attachments.isEmpty() ? m_environment.archive().attachmentsFolder() : m_attachments;
}

std::optional<QString> EntryEditor::storedAttachmentFile()
{
    const QString name = m_header.attached.toString();
    const std::optional<QString> file = attachmentFile(attachmentsFolder(), name);
    if (!file)
        inform(refusedAttachmentMessage(name), true);
    return file;
}

void EntryEditor::inserisciAllegato()
{
    const QString chosen =
        MessageService::instance().chooseFile(this, u"Carica Allegato"_s, AttachmentFilter);
    if (chosen.isEmpty())
        return;
    const QString name = attachmentName(QDateTime::currentDateTime(), chosen);
    if (!QFile::copy(chosen, QDir(attachmentsFolder()).filePath(name))) {
        inform(u"Impossibile copiare il file \"%1\" nella cartella degli allegati."_s.arg(
                   QDir::toNativeSeparators(chosen)),
               true);
        return;
    }
    m_header.attached = name;
    showAttachment();
}

void EntryEditor::showAttachedFile()
{
    const std::optional<QString> path = storedAttachmentFile();
    if (!path)
        return;
    if (!QFile::exists(*path) || !openAttachedFile(this, *path))
        inform(u"Impossibile aprire l'allegato \"%1\"."_s.arg(QDir::toNativeSeparators(*path)),
               true);
}

void EntryEditor::deleteAttachment()
{
    const std::optional<QString> path = storedAttachmentFile();
    if (!path || !MessageService::instance().ask(this, u"Confermare eliminazione dell'allegato?"_s))
        return;
    if (QFile::exists(*path) && !QFile::remove(*path)) {
        inform(u"Impossibile eliminare l'allegato \"%1\"."_s.arg(QDir::toNativeSeparators(*path)),
               true);
        return;
    }
    m_header.attached = QVariant();
    showAttachment();
}

bool EntryEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && isVisible()) {
        // Keys typed in another window (a finder, a message, the calendar) are not this
        // window's: the one that took the key press acts on it.
        auto *receiver = qobject_cast<QWidget *>(watched);
        if (receiver && receiver->window() == this &&
            windowKey(static_cast<QKeyEvent *>(event)->key(), receiver))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool EntryEditor::windowKey(int key, QWidget *receiver)
{
    const bool editing = m_state != State::View;
    switch (key) {
    case Qt::Key_F8:
        if (!editing)
            return false;
        save();
        return true;
    case Qt::Key_F5:
        if (editing)
            return false;
        startNew(0, false);
        return true;
    case Qt::Key_Escape:
        // In an open cell editor Esc gives up that cell's edit only.
        if (editing && m_rows->grid()->openEditor())
            return false;
        if (editing)
            cancel();
        else
            closeWindow();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (receiver != m_dateEdit && !m_dateEdit->isAncestorOf(receiver))
            return false;
        m_rows->grid()->setFocus();
        return true;
    default:
        return false;
    }
}

void EntryEditor::focusChanged(QWidget *old, QWidget *now)
{
    if (now && (now == m_dateEdit || m_dateEdit->isAncestorOf(now)))
        m_panels[0]->setText(u"Inserire la Data del Movimento"_s);
    if (old && (old == m_dateEdit || m_dateEdit->isAncestorOf(old)))
        m_infoPanel->hide();
}

void EntryEditor::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        event->ignore();
        return;
    }
    m_closing = false;
    event->accept();
    RenumberingWindow::checkNumbering(this, m_environment);
    if (m_onClosed)
        m_onClosed();
}
