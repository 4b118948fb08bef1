#include "bankimport/ReconciliationWindow.h"

#include "bankimport/BankImport.h"
#include "data/EngineErrors.h"
#include "data/OutputFile.h"
#include "data/Parameters.h"
#include "data/PatternFormatter.h"
#include "reportengine/ReportExport.h"
#include "ui/Help.h"
#include "ui/LaidOutReport.h"
#include "ui/MessageService.h"
#include "ui/ReportOutput.h"
#include "ui/WindowUtils.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString amountText(Money amount)
{
    return PatternFormatter().format(amount, u"#,##0.00"_s);
}

QTableWidget *itemTable(const QString &name, const QStringList &captions, QWidget *parent)
{
    auto *table = new QTableWidget(0, int(captions.size()), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(captions);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(false);
    table->horizontalHeader()->setSectionResizeMode(int(captions.size()) - 2, QHeaderView::Stretch);
    return table;
}

void fill(QTableWidget *table, const QList<ReconciliationItem> &items, bool numbered)
{
    table->setRowCount(int(items.size()));
    for (int row = 0; row < items.size(); ++row) {
        const ReconciliationItem &item = items[row];
        QStringList cells{item.date.toString(u"dd/MM/yyyy"_s)};
        if (numbered)
            cells << (item.number.isNull() ? QString() : item.number.toString());
        cells << item.description << amountText(item.amount);
        for (int column = 0; column < cells.size(); ++column) {
            auto *cell = new QTableWidgetItem(cells[column]);
            if (column == cells.size() - 1 || (numbered && column == 1))
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(row, column, cell);
        }
    }
    table->resizeColumnsToContents();
}

} // namespace

ReconciliationWindow::ReconciliationWindow(FiscalEnvironment &environment, QWidget *parent)
    : QDialog(parent), m_environment(environment), m_bank(new QComboBox(this)),
      m_date(new QDateEdit(environment.workingDate(), this)), m_figures(new QLabel(this)),
      m_entries(
          itemTable(u"entries"_s, {u"Data"_s, u"N."_s, u"Descrizione"_s, u"Importo"_s}, this)),
      m_movements(itemTable(u"movements"_s, {u"Data"_s, u"Descrizione"_s, u"Importo"_s}, this))
{
    setObjectName(u"ReconciliationWindow"_s);
    setWindowTitle(u"Riconciliazione bancaria"_s);
    resize(980, 620);
    m_bank->setObjectName(u"bank"_s);
    m_date->setObjectName(u"date"_s);
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(u"dd/MM/yyyy"_s);
    m_figures->setObjectName(u"figures"_s);
    m_figures->setTextFormat(Qt::PlainText);

    const Connection connection(environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    const auto banks =
        connection.opened(&error) ? bankSubAccounts(connection.database(), &error) : std::nullopt;
    const QList<QPair<qint64, QString>> listed = banks.value_or(QList<QPair<qint64, QString>>{});
    for (const auto &[id, name] : listed)
        m_bank->addItem(name, id);
    const QVariant last = readParameter(environment.archive(), LastBankParameter,
                                        ValueType::Integer, Storage::InArchive, 0, &error);
    m_bank->setCurrentIndex(
        std::max(m_bank->findData(defaultBankSubAccount(listed, last.toLongLong())), 0));

    auto *form = new QFormLayout;
    const auto labelFor = [this](const QString &caption, QWidget *buddy) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(buddy);
        return label;
    };
    form->addRow(labelFor(u"&Conto banca:"_s, m_bank), m_bank);
    form->addRow(labelFor(u"&Alla data:"_s, m_date), m_date);

    auto *entriesLabel = labelFor(
        u"&Registrazioni della banca non collegate a movimenti degli estratti:"_s, m_entries);
    auto *movementsLabel =
        labelFor(u"&Movimenti degli estratti importati non registrati:"_s, m_movements);

    auto *buttons = new QDialogButtonBox(this);
    addHelpButton(buttons, HelpContext::Riconciliazione);
    QPushButton *link = buttons->addButton(u"C&ollega [Ctrl+L]"_s, QDialogButtonBox::ActionRole);
    link->setObjectName(u"link"_s);
    connect(link, &QPushButton::clicked, this, &ReconciliationWindow::linkChosen);
    auto *linkKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    connect(linkKey, &QShortcut::activated, this, &ReconciliationWindow::linkChosen);
    const std::pair<QString, ReportOutput> outputs[] = {{u"&Anteprima"_s, ReportOutput::Preview},
                                                        {u"&Stampa"_s, ReportOutput::Print},
                                                        {u"&PDF…"_s, ReportOutput::Pdf}};
    for (const auto &[caption, output] : outputs) {
        QPushButton *button = buttons->addButton(caption, QDialogButtonBox::ActionRole);
        connect(button, &QPushButton::clicked, this, [this, output] { showDocument(int(output)); });
    }
    QPushButton *json = buttons->addButton(u"&JSON…"_s, QDialogButtonBox::ActionRole);
    connect(json, &QPushButton::clicked, this, [this] { showDocument(-1); });
    QPushButton *close = buttons->addButton(u"Chiudi"_s, QDialogButtonBox::RejectRole);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    for (QPushButton *button : buttons->findChildren<QPushButton *>())
        button->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_figures);
    layout->addWidget(entriesLabel);
    layout->addWidget(m_entries, 1);
    layout->addWidget(movementsLabel);
    layout->addWidget(m_movements, 1);
    layout->addWidget(buttons);
    rememberGeometry(this, u"ReconciliationWindow"_s);

    connect(m_bank, &QComboBox::currentIndexChanged, this, &ReconciliationWindow::refresh);
    connect(m_date, &QDateEdit::dateChanged, this, &ReconciliationWindow::refresh);
    refresh();
}

void ReconciliationWindow::run(QWidget *owner, FiscalEnvironment &environment)
{
    ReconciliationWindow window(environment, owner);
    window.exec();
}

qint64 ReconciliationWindow::bank() const
{
    return m_bank->currentData().toLongLong();
}

bool ReconciliationWindow::refresh()
{
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    m_reconciliation = connection.opened(&error)
                           ? reconcileBank(connection.database(), bank(), m_date->date(), &error)
                           : std::nullopt;
    if (!m_reconciliation) {
        m_figures->setText(failureMessage(u"Impossibile leggere la riconciliazione."_s, error));
        return false;
    }
    fillLists();
    return true;
}

void ReconciliationWindow::fillLists()
{
    const BankReconciliation &r = *m_reconciliation;
    const QString on = r.statementDate.toString(u"dd/MM/yyyy"_s);
    QStringList lines{u"Saldo contabile al %1: %2"_s.arg(on, amountText(r.bookBalance))};
    if (r.statementBalance) {
        lines << u"Saldo dell'ultimo estratto importato, al %1: %2"_s.arg(
                     on, amountText(*r.statementBalance))
              << u"Saldo contabile − registrazioni non collegate + movimenti non registrati: %1"_s
                     .arg(amountText(r.explained()))
              << u"Differenza non spiegata: %1"_s.arg(amountText(*r.difference()));
    } else {
        lines << u"Nessun estratto conto importato per questo conto fino al %1."_s.arg(
            r.date.toString(u"dd/MM/yyyy"_s));
    }
    m_figures->setText(lines.join(u'\n'));
    fill(m_entries, r.unlinkedEntries, true);
    fill(m_movements, r.unbookedMovements, false);
}

bool ReconciliationWindow::linkChosen()
{
    MessageService &messages = MessageService::instance();
    const int entry = m_entries->currentRow();
    const int movement = m_movements->currentRow();
    if (!m_reconciliation || entry < 0 || movement < 0) {
        messages.inform(this, u"Scegliere una registrazione nel primo elenco e il movimento a cui "
                              u"collegarla nel secondo."_s);
        return false;
    }
    QString error;
    if (!linkEntryToMovement(m_environment.archive(), bank(),
                             m_reconciliation->unlinkedEntries[entry].entryId,
                             m_reconciliation->unbookedMovements[movement].fingerprint, &error)) {
        messages.inform(this, error, MessageService::Icon::Warning);
        return false;
    }
    return refresh();
}

void ReconciliationWindow::showDocument(int output)
{
    if (!m_reconciliation)
        return;
    MessageService &messages = MessageService::instance();
    const QString name = exportBaseName(u"Riconciliazione "_s + m_reconciliation->bankName, {},
                                        m_reconciliation->date);
    const QString documents = m_environment.archive().documentsFolder();
    if (output < 0) {
        const QString path =
            messages.chooseSaveFile(this, u"Riconciliazione bancaria"_s, u"JSON (*.json)"_s,
                                    QDir(documents).filePath(name + u".json"_s), u"json"_s);
        QString error;
        if (!path.isEmpty() &&
            !writeOutputFile(path, reconciliationJson(*m_reconciliation), &error))
            messages.inform(this, error, MessageService::Icon::Warning);
        return;
    }
    QString error;
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    const std::optional<OrganisationLines> organisation =
        connection.opened(&error) ? readOrganisation(connection.database(), &error) : std::nullopt;
    ReportDocument document;
    if (!organisation ||
        !layOutReconciliation(*m_reconciliation, organisation->name, &document, &error)) {
        informFailure(this, u"Stampa non eseguita."_s, error);
        return;
    }
    deliverReport(this, LaidOutReport(std::move(document)), ReportOutput(output), documents, name);
}
