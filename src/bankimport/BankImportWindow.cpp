#include "bankimport/BankImportWindow.h"

#include "bankimport/BankRulesWindow.h"
#include "bankimport/CsvProfileDialog.h"
#include "bankimport/ReviewModel.h"
#include "bankimport/StatementReaders.h"
#include "data/Parameters.h"
#include "journal/EntryEditing.h"
#include "journal/RenumberingWindow.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/SubAccountFinderDialog.h"
#include "ui/WindowUtils.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/ReviewGridKeys.h"

#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

BankImportWindow::BankImportWindow(FiscalEnvironment &environment, QWidget *parent)
    : QDialog(parent), m_environment(environment), m_file(new QLineEdit(this)),
      m_bank(new QComboBox(this)), m_format(new QComboBox(this)), m_profile(new QComboBox(this)),
      m_account(new QComboBox(this)), m_statements(new QLabel(this)), m_checks(new QLabel(this)),
      m_summary(new QLabel(this)), m_grid(new DataGrid(this)), m_model(new ReviewModel(this))
{
    setObjectName(u"BankImportWindow"_s);
    setWindowTitle(u"Importa estratto conto"_s);
    resize(1100, 620);

    m_file->setObjectName(u"file"_s);
    m_file->setPlaceholderText(u"File camt.053 (XML), CSV o XLSX della banca"_s);
    auto *browse = new QPushButton(u"Sfoglia…"_s, this);
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &BankImportWindow::chooseFile);
    auto *read = new QPushButton(u"&Leggi"_s, this);
    read->setObjectName(u"read"_s);
    read->setAutoDefault(false);
    connect(read, &QPushButton::clicked, this, [this] { readStatement(m_file->text()); });
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    fileRow->addWidget(read);

    // Typed like an account in the editor: any part of its name, completed from a list.
    m_bank->setObjectName(u"bank"_s);
    m_bank->setEditable(true);
    m_bank->setInsertPolicy(QComboBox::NoInsert);
    m_format->addItems(
        {u"Riconosciuto dal file"_s, u"camt.053 (XML)"_s, u"CSV"_s, u"XLSX (Excel)"_s});
    // Of a file with several accounts, the one to import; the bank's own IBAN when kept.
    m_account->setObjectName(u"account"_s);
    m_account->setEditable(true);
    m_account->setInsertPolicy(QComboBox::NoInsert);
    m_account->lineEdit()->setPlaceholderText(u"IBAN del conto (se il file ne ha più d'uno)"_s);
    auto *profiles = new QPushButton(u"&Profili CSV…"_s, this);
    profiles->setAutoDefault(false);
    connect(profiles, &QPushButton::clicked, this, &BankImportWindow::editProfiles);
    auto *profileRow = new QHBoxLayout;
    profileRow->addWidget(m_format);
    profileRow->addWidget(new QLabel(u"Profilo CSV:"_s, this));
    profileRow->addWidget(m_profile, 1);
    profileRow->addWidget(profiles);

    auto *form = new QFormLayout;
    const auto labelFor = [this](const QString &caption, QWidget *buddy) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(buddy);
        return label;
    };
    form->addRow(labelFor(u"&File:"_s, m_file), fileRow);
    form->addRow(labelFor(u"&Conto banca:"_s, m_bank), m_bank);
    form->addRow(labelFor(u"F&ormato:"_s, m_format), profileRow);
    form->addRow(labelFor(u"Conto &nell'estratto:"_s, m_account), m_account);

    m_statements->setObjectName(u"statements"_s);
    m_statements->setWordWrap(true);
    m_checks->setObjectName(u"checks"_s);
    m_checks->setWordWrap(true);
    m_grid->setObjectName(u"grid"_s);
    m_grid->setModel(m_model);
    new ReviewGridKeys(
        m_grid, {ReviewModel::Registra, ReviewModel::Sottoconto, {ReviewModel::Descrizione}},
        [this] { return m_model->choices(); },
        [this](const QString &text) { findCounterpart(text); });
    connect(m_model, &QAbstractItemModel::dataChanged, this, &BankImportWindow::refreshSummary);
    const int widths[] = {64, 80, 85, 230, 130, 190, 150, 200};
    for (int c = 0; c < ReviewModel::Count; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    m_grid->horizontalHeader()->setStretchLastSection(true);

    m_summary->setObjectName(u"summary"_s);
    m_summary->setText(u"[Spazio] Registra sì/no - [Invio] Riga successiva - [F4] Cerca "
                       u"Sottoconti - [F8] Registra"_s);
    auto *buttons = new QDialogButtonBox(this);
    addHelpButton(buttons, HelpContext::ImportaEstratto);
    QPushButton *bookButton = buttons->addButton(u"Registra [F8]"_s, QDialogButtonBox::ActionRole);
    bookButton->setObjectName(u"book"_s);
    bookButton->setAutoDefault(false);
    connect(bookButton, &QPushButton::clicked, this, &BankImportWindow::book);
    QPushButton *rules = buttons->addButton(u"&Regole…"_s, QDialogButtonBox::ActionRole);
    rules->setAutoDefault(false);
    connect(rules, &QPushButton::clicked, this, &BankImportWindow::editRules);
    QPushButton *close = buttons->addButton(u"Chiudi"_s, QDialogButtonBox::RejectRole);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *f8 = new QShortcut(QKeySequence(Qt::Key_F8), this);
    connect(f8, &QShortcut::activated, this, &BankImportWindow::book);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_statements);
    layout->addWidget(m_checks);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);
    enterMovesToNextField(this);
    rememberGeometry(this, u"BankImportWindow"_s);

    loadBanks();
    loadProfiles();
    QString error;
    m_model->setNames(subAccountChoices(m_environment.archive(), &error));
}

BankImportWindow::~BankImportWindow() = default;

bool BankImportWindow::run(QWidget *owner, FiscalEnvironment &environment)
{
    BankImportWindow window(environment, owner);
    window.exec();
    return window.booked();
}

void BankImportWindow::loadBanks()
{
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    const auto banks =
        connection.opened(&error) ? bankSubAccounts(connection.database(), &error) : std::nullopt;
    if (!banks) {
        informFailure(this, u"Impossibile leggere i sottoconti."_s, error);
        return;
    }
    for (const auto &[id, name] : *banks)
        m_bank->addItem(name, id);
    m_bank->completer()->setFilterMode(Qt::MatchContains);
    m_bank->completer()->setCompletionMode(QCompleter::PopupCompletion);
    // The bank of the last import comes first; the review of another bank is put away.
    const QVariant last = readParameter(m_environment.archive(), LastBankParameter,
                                        ValueType::Integer, Storage::InArchive, 0, &error);
    m_bank->setCurrentIndex(
        std::max(m_bank->findData(defaultBankSubAccount(*banks, last.toLongLong())), 0));
    connect(m_bank, &QComboBox::currentTextChanged, this, [this] {
        m_reviewedBank = 0;
        m_model->setMovements({});
        m_checks->setText(u"Premere \"Leggi\" per leggere il file per questo conto."_s);
        m_checks->setStyleSheet({});
        refreshSummary();
    });
}

void BankImportWindow::loadProfiles()
{
    const QString current = m_profile->currentText();
    m_profile->clear();
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    const auto profiles =
        connection.opened(&error) ? csvProfiles(connection.database(), &error) : std::nullopt;
    for (const CsvProfile &profile : profiles.value_or(QList<CsvProfile>{}))
        m_profile->addItem(profile.name);
    m_profile->setCurrentText(current);
}

qint64 BankImportWindow::bank() const
{
    return m_bank->itemData(m_bank->findText(m_bank->currentText())).toLongLong();
}

void BankImportWindow::chooseFile()
{
    const QString path = MessageService::instance().chooseFile(
        this, u"Estratto conto"_s, u"Estratti conto (*.xml *.csv *.txt *.xlsx);;Tutti i file (*)"_s,
        m_file->text());
    if (path.isEmpty())
        return;
    m_file->setText(path);
    readStatement(path);
}

void BankImportWindow::editProfiles()
{
    const QString chosen = CsvProfileDialog::edit(this, m_environment.archive(), m_file->text(),
                                                  m_profile->currentText());
    loadProfiles();
    if (!chosen.isEmpty()) {
        m_profile->setCurrentText(chosen);
        if (m_format->currentIndex() == 0 || m_format->currentIndex() == 1)
            m_format->setCurrentIndex(2);
    }
}

void BankImportWindow::editRules()
{
    BankRulesWindow::edit(this, m_environment.archive());
}

std::optional<StatementsOfFile> BankImportWindow::statementsOf(const QByteArray &file,
                                                               QString *error) const
{
    static const std::optional<StatementFormat> formats[] = {
        std::nullopt, StatementFormat::Camt053, StatementFormat::Csv, StatementFormat::Xlsx};
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return std::nullopt;
    return readStatementsFor(connection.database(), bank(), file,
                             formats[std::max(m_format->currentIndex(), 0)],
                             m_profile->currentText(), m_account->currentText().trimmed(), error);
}

bool BankImportWindow::readStatement(const QString &path)
{
    MessageService &messages = MessageService::instance();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        messages.inform(this, u"Impossibile leggere il file %1."_s.arg(path),
                        MessageService::Icon::Warning);
        return false;
    }
    if (bank() == 0) {
        messages.inform(this, u"Scegliere il conto della banca."_s, MessageService::Icon::Warning);
        return false;
    }
    QString error;
    const QByteArray bytes = file.readAll();
    std::optional<StatementsOfFile> statements = statementsOf(bytes, &error);
    if (!statements) {
        offerAccounts(bytes);
        messages.inform(this, error + u"\nNessun movimento importato."_s,
                        MessageService::Icon::Warning);
        return false;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    std::optional<QList<ReviewedMovement>> movements;
    std::optional<QList<BalanceCheck>> checks;
    if (connection.opened(&error))
        movements = reviewStatement(connection.database(), bank(), statements->chosen, &error);
    if (movements)
        checks =
            balanceChecks(connection.database(), bank(), statements->chosen, *movements, &error);
    QGuiApplication::restoreOverrideCursor();
    if (!checks) {
        informFailure(this, u"Impossibile leggere l'archivio."_s, error);
        return false;
    }
    m_file->setText(path);
    m_reviewedBank = bank();
    m_reviewed = statements->chosen;
    showStatements(*statements);
    m_model->setMovements(std::move(*movements));
    showChecks(*checks);
    refreshSummary();
    m_grid->setFocus();
    m_grid->setCurrentIndex(m_model->index(0, ReviewModel::Sottoconto));
    return true;
}

void BankImportWindow::showStatements(const StatementsOfFile &statements)
{
    QStringList lines;
    for (qsizetype i = 0; i < statements.all.size(); ++i) {
        const BankStatement &statement = statements.all[i];
        const bool chosen = std::any_of(
            statements.chosen.cbegin(), statements.chosen.cend(),
            [&](const BankStatement &other) { return other.caption() == statement.caption(); });
        lines << u"Estratto %1: %2 (%3 movimenti%4)%5"_s.arg(i + 1)
                     .arg(statement.caption().isEmpty() ? u"conto non indicato"_s
                                                        : statement.caption())
                     .arg(statement.movements.size())
                     .arg(statement.waiting.isEmpty()
                              ? QString()
                              : u", %1 in attesa"_s.arg(statement.waiting.size()))
                     .arg(chosen ? u" — importato"_s : QString());
    }
    m_statements->setText(lines.join(u'\n'));
}

// A file the choice of account kept out: its accounts are offered in the account field.
void BankImportWindow::offerAccounts(const QByteArray &file)
{
    if (recognisedFormat(file) != StatementFormat::Camt053)
        return;
    QString error;
    const std::optional<QList<BankStatement>> all = readCamt053(file, &error);
    if (!all)
        return;
    const QString typed = m_account->currentText();
    m_account->clear();
    for (const BankStatement &statement : *all)
        if (m_account->findText(statement.account) < 0)
            m_account->addItem(statement.account);
    m_account->setCurrentText(typed);
}

void BankImportWindow::showChecks(const QList<BalanceCheck> &checks)
{
    QStringList lines;
    bool differs = false;
    for (const BalanceCheck &check : checks) {
        lines << check.text();
        differs = differs || !check.difference().isZero();
    }
    for (const BankStatement &statement : std::as_const(m_reviewed))
        lines << statement.notices;
    m_checks->setText(lines.join(u'\n'));
    m_checks->setStyleSheet(differs ? u"color: #b00020;"_s : QString());
}

void BankImportWindow::refreshSummary()
{
    int toBook = 0, unassigned = 0, imported = 0, typed = 0, waiting = 0;
    for (const ReviewedMovement &item : std::as_const(m_model->movements())) {
        toBook += item.bookable();
        unassigned += ReviewModel::isOpen(item) && !item.usesMatch() && item.counterpart == 0;
        imported += item.alreadyImported;
        typed += item.usesMatch() && item.entryId == 0;
        waiting += item.waiting;
    }
    m_summary->setText(u"Movimenti: %1 - da registrare: %2 - da assegnare: %3 - già registrati: "
                       u"%4 - già importati: %5 - in attesa: %6.   [Spazio] Registra sì/no - "
                       u"[Invio] Riga successiva - [F4] Cerca Sottoconti - [F8] Registra"_s
                           .arg(m_model->rowCount())
                           .arg(toBook)
                           .arg(unassigned)
                           .arg(typed)
                           .arg(imported)
                           .arg(waiting));
}

void BankImportWindow::findCounterpart(const QString &text)
{
    const int row = m_grid->currentRow();
    if (row < 0 || !ReviewModel::isOpen(m_model->movements()[row]))
        return;
    const qint64 id = SubAccountFinderDialog::choose(this, m_environment.archive(), text);
    if (id > 0) {
        QString error;
        m_model->setNames(subAccountChoices(m_environment.archive(), &error));
        m_model->setCounterpart(row, id);
    }
    m_grid->setFocus();
}

void BankImportWindow::book()
{
    m_grid->commitOpenEditor();
    QList<ReviewedMovement> &movements = m_model->movements();
    const auto work = std::count_if(movements.cbegin(), movements.cend(),
                                    [](const auto &m) { return m.bookable() || m.linkable(); });
    MessageService &messages = MessageService::instance();
    if (work == 0) {
        messages.inform(this, u"Nessun movimento da registrare: spuntare i movimenti e "
                              u"assegnare il sottoconto."_s);
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const std::optional<BookingCounts> counts =
        bookMovements(m_environment.archive(), m_reviewedBank, m_reviewed, movements, &error);
    QGuiApplication::restoreOverrideCursor();
    m_model->refresh();
    refreshSummary();
    if (!counts) {
        informFailure(this, u"Nessun movimento registrato."_s, error);
        return;
    }
    m_booked = m_booked || counts->booked + counts->linked > 0;
    QStringList told{counts->booked == 1 ? u"Registrato 1 movimento."_s
                                         : u"Registrati %1 movimenti."_s.arg(counts->booked)};
    if (counts->linked > 0)
        told << (counts->linked == 1
                     ? u"1 movimento collegato a una registrazione già presente."_s
                     : u"%1 movimenti collegati a registrazioni già presenti."_s.arg(
                           counts->linked));
    if (counts->alreadyImported > 0)
        told << u"%1 già importati da un altro utente."_s.arg(counts->alreadyImported);
    if (counts->refused > 0)
        told << u"%1 rifiutati (vedere la colonna Stato)."_s.arg(counts->refused);
    messages.inform(this, told.join(u' '));
    RenumberingWindow::checkNumbering(this, m_environment);
    // A renumbering gives the booked entries their numbers anew.
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    if (connection.opened(&error) && refreshNumbers(connection.database(), movements, &error))
        m_model->refresh();
}
