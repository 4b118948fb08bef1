#include "journal/EntryEditor.h"

#include "chart/SubAccountEditor.h"
#include "data/Attachments.h"
#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "journal/EntryRowGrid.h"
#include "journal/EntryTypeDialog.h"
#include "journal/RenumberingWindow.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/SubAccountFinderDialog.h"
#include "ui/WindowUtils.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/EditableGridModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
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
    m_datData = new QDateEdit(this);
    m_datData->setObjectName(u"datData"_s);
    m_datData->setCalendarPopup(true);
    m_datData->setDisplayFormat(u"dd/MM/yyyy"_s);
    m_lblProgressivo = new QLabel(this);
    m_lblProgressivo->setObjectName(u"lblProgressivo"_s);
    QFont bold = m_lblProgressivo->font();
    bold.setBold(true);
    m_lblProgressivo->setFont(bold);

    m_frameTipo = new QGroupBox(this);
    m_frameTipo->setObjectName(u"frameTipo"_s);
    m_cmdTipo = new QPushButton(u"Modifica"_s, m_frameTipo);
    m_cmdTipo->setObjectName(u"cmdTipo"_s);
    auto *tipoLayout = new QHBoxLayout(m_frameTipo);
    tipoLayout->addWidget(m_cmdTipo);

    auto *frameAllegato = new QGroupBox(u"Allegato"_s, this);
    auto *allegatoLayout = new QHBoxLayout(frameAllegato);
    const QString captions[] = {u"Inserisci"_s, u"Visualizza"_s, u"Elimina"_s};
    for (int i = 0; i < 3; ++i) {
        m_cmdAllegato[i] = new QPushButton(captions[i], frameAllegato);
        m_cmdAllegato[i]->setObjectName(u"cmdAllegato%1"_s.arg(i));
        m_cmdAllegato[i]->setAutoDefault(false);
        allegatoLayout->addWidget(m_cmdAllegato[i]);
    }

    auto *header = new QGridLayout;
    header->addWidget(new QLabel(u"Data della Registrazione:"_s, this), 0, 0);
    header->addWidget(m_datData, 0, 1);
    header->addWidget(new QLabel(u"Progressivo:"_s, this), 1, 0);
    header->addWidget(m_lblProgressivo, 1, 1);
    header->setColumnStretch(2, 1);
    header->addWidget(m_frameTipo, 0, 3, 2, 1);
    header->addWidget(frameAllegato, 0, 4, 2, 1);

    m_picInfo =
        new QLabel(u"Nuova Registrazione da Modello: apportare le modifiche desiderate."_s, this);
    m_picInfo->setObjectName(u"picInfo"_s);
    m_picInfo->setStyleSheet(u"background: #fff6c8; border: 1px solid #d8c46a; padding: 4px;"_s);

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
    m_cmdNuovo = addButton(u"Nuovo (F5)"_s, u"cmdNuovo"_s);
    m_cmdSalva = addButton(u"Salva (F8)"_s, u"cmdSalva"_s);
    m_cmdModifica = addButton(u"Modifica"_s, u"cmdModifica"_s);
    m_cmdAnnulla = addButton(u"Annulla"_s, u"cmdAnnulla"_s);
    m_cmdElimina = addButton(u"Elimina"_s, u"cmdElimina"_s);
    m_cmdChiudi = addButton(u"Chiudi (Esc)"_s, u"cmdChiudi"_s);
    auto *buttons = new QHBoxLayout;
    QPushButton *cmdHelp = createHelpButton(this, HelpContext::Registrazione);
    cmdHelp->setAutoDefault(false);
    buttons->addWidget(cmdHelp);
    buttons->addStretch(1);
    for (QPushButton *button :
         {m_cmdNuovo, m_cmdSalva, m_cmdModifica, m_cmdAnnulla, m_cmdElimina, m_cmdChiudi})
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
    layout->addWidget(m_picInfo);
    layout->addWidget(m_rows, 1);
    layout->addLayout(buttons);
    layout->addWidget(status);

    connect(m_cmdNuovo, &QPushButton::clicked, this, [this] { startNew(0, false); });
    connect(m_cmdSalva, &QPushButton::clicked, this, &EntryEditor::salva);
    connect(m_cmdModifica, &QPushButton::clicked, this, &EntryEditor::modifica);
    connect(m_cmdAnnulla, &QPushButton::clicked, this, &EntryEditor::annulla);
    connect(m_cmdElimina, &QPushButton::clicked, this, &EntryEditor::elimina);
    connect(m_cmdChiudi, &QPushButton::clicked, this, &EntryEditor::chiudi);
    connect(m_cmdTipo, &QPushButton::clicked, this, &EntryEditor::cambiaTipo);
    connect(m_cmdAllegato[0], &QPushButton::clicked, this, &EntryEditor::inserisciAllegato);
    connect(m_cmdAllegato[1], &QPushButton::clicked, this, &EntryEditor::visualizzaAllegato);
    connect(m_cmdAllegato[2], &QPushButton::clicked, this, &EntryEditor::deleteAttachment);
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
    m_picInfo->setVisible(modelId > 0);
    if (showWindow)
        QWidget::show();
    m_datData->setFocus();
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
    m_picInfo->hide();
    QWidget::show();
    m_cmdNuovo->setFocus();
    return true;
}

void EntryEditor::display(const JournalEntry &entry, State state, const QString &caption)
{
    m_entry = entry;
    m_header = entry.header;
    m_datData->setDateRange(m_environment.yearStart(), m_environment.yearEnd());
    m_datData->setDate(entry.header.data);
    m_lblProgressivo->setText(
        entry.header.progressivo.isNull() ? u"N/A"_s : entry.header.progressivo.toString());
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
         {m_cmdNuovo, m_cmdSalva, m_cmdModifica, m_cmdAnnulla, m_cmdElimina, m_cmdChiudi})
        button->hide();
    for (QPushButton *button :
         editing ? QList<QPushButton *>{m_cmdSalva, m_cmdAnnulla}
                 : QList<QPushButton *>{m_cmdModifica, m_cmdNuovo, m_cmdElimina, m_cmdChiudi})
        button->show();
    m_panels[1]->hide();
    m_datData->setEnabled(editing);
    m_rows->setReadOnly(!editing);
    m_cmdTipo->setEnabled(state == State::Edit);
    // An entry printed in definitiva is shown read-only, with the reason in the status bar.
    const bool locked = state == State::View && !m_lockRefusal.isEmpty();
    m_cmdModifica->setEnabled(!locked);
    m_cmdElimina->setEnabled(!locked);
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
    m_cmdAllegato[0]->setEnabled(editing && !attached);
    m_cmdAllegato[1]->setEnabled(editing && attached);
    m_cmdAllegato[2]->setEnabled(editing && attached);
}

JournalEntry EntryEditor::current() const
{
    JournalEntry entry{m_header, m_rows->rows()};
    entry.header.data = m_datData->date();
    return entry;
}

bool EntryEditor::hasUnsavedChanges() const
{
    return m_state != State::View &&
           (m_rows->model()->pendingRow() >= 0 || !(current() == m_entry));
}

bool EntryEditor::salva()
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
    m_picInfo->hide();
    m_cmdNuovo->setFocus();
    return true;
}

void EntryEditor::offerReload(const QString &refusal)
{
    if (MessageService::instance().ask(
            this, refusal + u"\n\nRiaprire ora la registrazione? Le modifiche fatte qui andranno "
                            u"perse."_s))
        openEntry(m_entry.header.id);
}

void EntryEditor::modifica()
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

void EntryEditor::elimina()
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

void EntryEditor::annulla()
{
    if (m_state == State::View)
        return;
    // With nothing typed there is nothing to lose.
    if (!hasUnsavedChanges() || MessageService::instance().ask(
                                    this, u"Abbandonare le modifiche effettuate senza salvare?"_s))
        chiudi();
}

void EntryEditor::chiudi()
{
    m_closing = true;
    close();
}

void EntryEditor::cambiaTipo()
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

void EntryEditor::visualizzaAllegato()
{
    const std::optional<QString> path = storedAttachmentFile();
    if (!path)
        return;
    if (!QFile::exists(*path) || !QDesktopServices::openUrl(QUrl::fromLocalFile(*path)))
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
        salva();
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
            annulla();
        else
            chiudi();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (receiver != m_datData && !m_datData->isAncestorOf(receiver))
            return false;
        m_rows->grid()->setFocus();
        return true;
    default:
        return false;
    }
}

void EntryEditor::focusChanged(QWidget *old, QWidget *now)
{
    if (now && (now == m_datData || m_datData->isAncestorOf(now)))
        m_panels[0]->setText(u"Inserire la Data del Movimento"_s);
    if (old && (old == m_datData || m_datData->isAncestorOf(old)))
        m_picInfo->hide();
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
