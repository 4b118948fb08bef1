#include "einvoices/InvoiceImportWindow.h"

#include "einvoices/InvoicePage.h"
#include "einvoices/InvoiceReviewModel.h"
#include "journal/EntryEditing.h"
#include "ui/MessageService.h"
#include "ui/SubAccountFinderDialog.h"
#include "ui/WindowUtils.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/ReviewGridKeys.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

InvoiceImportWindow::InvoiceImportWindow(FiscalEnvironment &environment, QWidget *parent)
    : QDialog(parent), m_environment(environment), m_paths(new QLineEdit(this)),
      m_refusals(new QLabel(this)), m_summary(new QLabel(this)), m_grid(new DataGrid(this)),
      m_details(new QTextBrowser(this)), m_model(new InvoiceReviewModel(this))
{
    setObjectName(u"InvoiceImportWindow"_s);
    setWindowTitle(u"Importa fatture elettroniche"_s);
    resize(1200, 760);

    m_paths->setObjectName(u"paths"_s);
    m_paths->setPlaceholderText(
        u"File XML o P7M, lotto ZIP o cartella (più di uno separati da ;)"_s);
    auto *browse = new QPushButton(u"&File…"_s, this);
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &InvoiceImportWindow::chooseFile);
    auto *folder = new QPushButton(u"&Cartella…"_s, this);
    folder->setAutoDefault(false);
    connect(folder, &QPushButton::clicked, this, &InvoiceImportWindow::chooseFolder);
    auto *read = new QPushButton(u"&Leggi"_s, this);
    read->setObjectName(u"read"_s);
    read->setAutoDefault(false);
    connect(read, &QPushButton::clicked, this,
            [this] { readSources(m_paths->text().split(u';', Qt::SkipEmptyParts)); });
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(u"Fatture:"_s, this));
    fileRow->addWidget(m_paths, 1);
    fileRow->addWidget(browse);
    fileRow->addWidget(folder);
    fileRow->addWidget(read);

    m_refusals->setObjectName(u"refusals"_s);
    m_refusals->setWordWrap(true);
    m_refusals->hide();
    m_grid->setObjectName(u"grid"_s);
    m_grid->setModel(m_model);
    new ReviewGridKeys(
        m_grid,
        {InvoiceReviewModel::Registra,
         InvoiceReviewModel::Sottoconto,
         {InvoiceReviewModel::Registrazione}},
        [this] { return m_model->choices(); },
        [this](const QString &text) { findSubAccount(text); });
    connect(m_model, &QAbstractItemModel::dataChanged, this, &InvoiceImportWindow::refreshSummary);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &InvoiceImportWindow::showDetails);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &InvoiceImportWindow::showDetails);
    // Said once the cell's editor has closed, so that the message does not take its focus while
    // it commits.
    m_model->setRefusalShown([this](const QString &why) {
        QMetaObject::invokeMethod(
            this,
            [this, why] {
                MessageService::instance().inform(this, why, MessageService::Icon::Warning);
            },
            Qt::QueuedConnection);
    });
    const int widths[] = {64, 65, 80, 95, 70, 150, 85, 75, 85, 170, 140};
    for (int c = 0; c < InvoiceReviewModel::Stato; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    m_grid->horizontalHeader()->setStretchLastSection(true);

    m_summary->setObjectName(u"summary"_s);
    m_summary->setText(u"[Spazio] Registra sì/no - [Invio] Riga successiva - [F4] Cerca "
                       u"Sottoconti - [F8] Registra"_s);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *bookButton = buttons->addButton(u"Registra [F8]"_s, QDialogButtonBox::ActionRole);
    bookButton->setObjectName(u"book"_s);
    bookButton->setAutoDefault(false);
    connect(bookButton, &QPushButton::clicked, this, &InvoiceImportWindow::book);
    QPushButton *close = buttons->addButton(u"Chiudi"_s, QDialogButtonBox::RejectRole);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *f8 = new QShortcut(QKeySequence(Qt::Key_F8), this);
    connect(f8, &QShortcut::activated, this, &InvoiceImportWindow::book);

    // Below the grid, the current invoice as it reads and the entry proposed for it.
    m_details->setObjectName(u"details"_s);
    m_details->setFocusPolicy(Qt::ClickFocus);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_grid);
    split->addWidget(m_details);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(m_refusals);
    layout->addWidget(split, 1);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);
    rememberGeometry(this, u"InvoiceImportWindow"_s);

    QString error;
    m_model->setNames(subAccountChoices(m_environment.archive(), &error));
}

bool InvoiceImportWindow::run(QWidget *owner, FiscalEnvironment &environment)
{
    InvoiceImportWindow window(environment, owner);
    window.exec();
    return window.booked();
}

void InvoiceImportWindow::chooseFile()
{
    const QString path = MessageService::instance().chooseFile(
        this, u"Fatture elettroniche"_s,
        u"Fatture elettroniche (*.xml *.XML *.p7m *.P7M *.zip *.ZIP);;Tutti i file (*)"_s);
    if (!path.isEmpty()) {
        m_paths->setText(path);
        readSources({path});
    }
}

void InvoiceImportWindow::chooseFolder()
{
    const QString path =
        MessageService::instance().chooseFolder(this, u"Cartella delle fatture"_s, {});
    if (!path.isEmpty()) {
        m_paths->setText(path);
        readSources({path});
    }
}

bool InvoiceImportWindow::readSources(const QStringList &paths)
{
    MessageService &messages = MessageService::instance();
    QString error;
    std::optional<QList<InvoiceBatch>> batches;
    {
        const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
        const std::optional<InvoiceSettings> settings =
            connection.opened(&error) ? archiveInvoiceSettings(connection.database(), &error)
                                      : std::nullopt;
        if (settings && settings->ownVatNumber.trimmed().isEmpty() &&
            settings->ownTaxCode.trimmed().isEmpty()) {
            messages.inform(this, u"Indicare in Preferenze la partita IVA o il codice fiscale "
                                  u"dell'ente: servono a riconoscere acquisti e vendite."_s);
            return false;
        }
        if (settings)
            batches = reviewInvoices(connection, paths, *settings, &error);
    }
    if (!batches) {
        messages.inform(this, error, MessageService::Icon::Critical);
        return false;
    }
    QStringList refusals;
    for (const InvoiceBatch &batch : std::as_const(*batches)) {
        if (const QString refusal = batch.refusal(); !refusal.isEmpty())
            refusals << u"Nulla sarà registrato di %1: %2"_s.arg(batch.source.path, refusal);
        for (const QString &skipped : batch.source.skipped)
            refusals << u"Saltato (non è una fattura): "_s + skipped;
    }
    m_refusals->setText(refusals.join(u'\n'));
    m_refusals->setVisible(!refusals.isEmpty());
    m_model->setBatches(*batches);
    m_grid->setFocus();
    m_grid->setCurrentIndex(m_model->index(0, InvoiceReviewModel::Sottoconto));
    return true;
}

void InvoiceImportWindow::findSubAccount(const QString &text)
{
    const int row = m_grid->currentIndex().row();
    if (row < 0 || !m_model->flags(m_model->index(row, InvoiceReviewModel::Sottoconto))
                        .testFlag(Qt::ItemIsEditable))
        return;
    const qint64 id = SubAccountFinderDialog::choose(this, m_environment.archive(), text);
    if (id > 0) {
        QString error;
        m_model->setNames(subAccountChoices(m_environment.archive(), &error));
        m_model->assign(row, id);
    }
    m_grid->setFocus();
}

void InvoiceImportWindow::book()
{
    MessageService &messages = MessageService::instance();
    QList<InvoiceBatch> &batches = m_model->batches();
    int ready = 0;
    for (const InvoiceBatch &batch : std::as_const(batches))
        for (const InvoiceReview &item : batch.invoices)
            ready += batch.refusal().isEmpty() && item.ticked && item.state == InvoiceState::New;
    if (ready == 0) {
        messages.inform(this, u"Nessuna fattura da registrare: assegnare il sottoconto dei "
                              u"costi o dei ricavi alle fatture spuntate."_s);
        return;
    }
    QString error;
    if (!bookInvoices(m_environment.archive(), batches, &error)) {
        messages.inform(this, u"Nessuna fattura registrata.\n"_s + error,
                        MessageService::Icon::Critical);
        return;
    }
    int booked = 0;
    for (const InvoiceBatch &batch : std::as_const(batches))
        for (const InvoiceReview &item : batch.invoices)
            booked += item.state == InvoiceState::Booked;
    m_booked = m_booked || booked > 0;
    m_model->refresh();
    messages.inform(this, booked == 1 ? u"Registrata 1 fattura."_s
                                      : u"Registrate %1 fatture."_s.arg(booked));
}

void InvoiceImportWindow::showDetails()
{
    const int row = m_grid->currentIndex().row();
    if (row < 0 || row >= m_model->rowCount()) {
        m_details->clear();
        return;
    }
    m_details->setHtml(
        reviewPageHtml(m_model->invoiceAt(row), [this](qint64 id) { return m_model->nameOf(id); }));
}

void InvoiceImportWindow::refreshSummary()
{
    int ticked = 0, toAssign = 0;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const InvoiceReview &item = m_model->invoiceAt(row);
        ticked += item.ticked && item.state == InvoiceState::New;
        toAssign += item.state == InvoiceState::ToAssign;
    }
    m_summary->setText(u"Da registrare: %1; da assegnare: %2. [Spazio] Registra sì/no - [Invio] "
                       u"Riga successiva - [F4] Cerca Sottoconti - [F8] Registra"_s.arg(ticked)
                           .arg(toAssign));
}
