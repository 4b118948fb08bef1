#include "reports/ReportOptionsWindow.h"

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/PatternFormatter.h"
#include "reports/FinalJournalPrint.h"
#include "reports/FinalPrintsWindow.h"
#include "reports/JournalBookRun.h"
#include "reports/ReportCatalog.h"
#include "ui/Help.h"
#include "ui/LaidOutReport.h"
#include "ui/MessageService.h"
#include "ui/PreviewDocument.h"
#include "ui/ReportButtons.h"
#include "ui/ReportOutput.h"
#include "ui/ReportPreview.h"
#include "ui/ReportProgressDialog.h"
#include "ui/WindowUtils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString shownDate(const QDate &date)
{
    return PatternFormatter().format(date, u"dd/mm/yyyy");
}

OrganisationLines organisationOf(const FiscalEnvironment &environment)
{
    OrganisationLines lines;
    lines.name = environment.anas01;
    lines.address = environment.anas02;
    lines.townLine = QStringList{environment.anas03, environment.anas04, environment.anas05}
                         .join(u' ')
                         .trimmed();
    lines.taxCode = environment.anas06;
    lines.vatNumber = environment.anas07;
    return lines;
}

QDateEdit *datePicker(const QString &name, QWidget *parent)
{
    auto *picker = new QDateEdit(parent);
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(u"dd/MM/yyyy"_s);
    return picker;
}

} // namespace

ReportOptionsWindow::ReportOptionsWindow(FiscalEnvironment &environment, ReportSettings &settings,
                                         QWidget *parent)
    : QDialog(parent), m_environment(environment), m_settings(settings)
{
    setWindowTitle(u" Stampe Contabilità"_s);
    setModal(false);

    auto *options = new QVBoxLayout;
    options->addWidget(buildPeriodFrame());
    // The three option frames share one place; the selected report shows one of them.
    options->addWidget(buildFilterFrame());
    options->addWidget(buildJournalFrame());
    options->addWidget(buildBalanceFrame());
    options->addStretch(1);

    auto *columns = new QHBoxLayout;
    columns->addWidget(buildReportList(), 1);
    columns->addLayout(options, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(buildButtons());
    fitLargestOptions();

    enterMovesToNextField(this);
    installHelp(this, HelpContext::Stampe);

    setReportLayout(ReportCode::GiornaleContabile,
                    [&environment](const ReportSettings &options, ReportProgressDialog &progress,
                                   QString *error) {
                        return runJournalBook(options, environment, progress, error);
                    });
}

ReportOptionsWindow::~ReportOptionsWindow() = default;

void ReportOptionsWindow::fitLargestOptions()
{
    // The window keeps one size whichever frame the selected report shows.
    QSize largest;
    for (QGroupBox *shown : {m_filterFrame, m_journalFrame, m_balanceFrame}) {
        for (QGroupBox *frame : {m_filterFrame, m_journalFrame, m_balanceFrame})
            frame->setVisible(frame == shown);
        layout()->activate();
        largest = largest.expandedTo(sizeHint());
    }
    resize(largest);
    rememberGeometry(this, u"stampe"_s);
}

QWidget *ReportOptionsWindow::buildReportList()
{
    auto *frame = new QGroupBox(u"Report disponibili"_s, this);
    frame->setObjectName(u"fraReport"_s);
    auto *layout = new QVBoxLayout(frame);
    m_reports = new QListWidget(frame);
    m_reports->setObjectName(u"reportsGrid"_s);
    for (const ReportEntry &report : reportCatalog()) {
        const QIcon icon = style()->standardIcon(
            report.icon == 2 ? QStyle::SP_FileDialogDetailedView : QStyle::SP_FileIcon);
        auto *item = new QListWidgetItem(icon, report.name, m_reports);
        item->setData(Qt::UserRole, report.code);
    }
    int widest = 0;
    for (const ReportEntry &report : reportCatalog())
        widest = std::max(widest, m_reports->fontMetrics().horizontalAdvance(report.name));
    m_reports->setMinimumWidth(widest + m_reports->iconSize().width() + 40);
    m_reports->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_reports, &QListWidget::currentRowChanged, this, &ReportOptionsWindow::reportChanged);
    layout->addWidget(m_reports, 1);
    m_lblNotes = new QLabel(frame);
    m_lblNotes->setObjectName(u"lblNotes"_s);
    m_lblNotes->setWordWrap(true);
    m_lblNotes->setMinimumHeight(m_lblNotes->fontMetrics().lineSpacing() * 3);
    m_lblNotes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_lblNotes);
    return frame;
}

QGroupBox *ReportOptionsWindow::buildPeriodFrame()
{
    auto *frame = new QGroupBox(u"Filtro Movimenti"_s, this);
    frame->setObjectName(u"fraPeriodo"_s);
    auto *layout = new QHBoxLayout(frame);
    m_dat1 = datePicker(u"Dat1"_s, frame);
    m_dat2 = datePicker(u"Dat2"_s, frame);
    layout->addWidget(new QLabel(u"Dal:"_s, frame));
    layout->addWidget(m_dat1);
    layout->addWidget(new QLabel(u"Al:"_s, frame));
    layout->addWidget(m_dat2);
    layout->addStretch(1);
    return frame;
}

QGroupBox *ReportOptionsWindow::buildFilterFrame()
{
    m_filterFrame = new QGroupBox(u"Filtro Conti o Sottoconti"_s, this);
    m_filterFrame->setObjectName(u"fraFiltro"_s);
    auto *layout = new QVBoxLayout(m_filterFrame);
    auto *levels = new QHBoxLayout;
    const QString captions[2] = {u"Sottoconto"_s, u"Conto"_s};
    for (int option = 0; option < 2; ++option) {
        m_optConto[option] = new QRadioButton(captions[option], m_filterFrame);
        m_optConto[option]->setObjectName(u"optConto%1"_s.arg(option));
        levels->addWidget(m_optConto[option]);
    }
    levels->addStretch(1);
    m_optConto[0]->setChecked(true);
    connect(m_optConto[1], &QRadioButton::toggled, this, &ReportOptionsWindow::fillFilterLists);
    layout->addLayout(levels);
    for (int list = 0; list < 3; ++list) {
        if (list > 0) {
            auto *join = new QLabel(u"- aggiungi -"_s, m_filterFrame);
            join->setAlignment(Qt::AlignCenter);
            layout->addWidget(join);
        }
        m_cmbConti[list] = new QComboBox(m_filterFrame);
        m_cmbConti[list]->setObjectName(u"cmbConti%1"_s.arg(list));
        m_cmbConti[list]->setMaxVisibleItems(20);
        connect(m_cmbConti[list], &QComboBox::currentIndexChanged, this,
                [this, list] { filterListChanged(list); });
        layout->addWidget(m_cmbConti[list]);
    }
    return m_filterFrame;
}

QGroupBox *ReportOptionsWindow::buildJournalFrame()
{
    m_journalFrame = new QGroupBox(u"Opzioni Giornale contabile"_s, this);
    m_journalFrame->setObjectName(u"fraGiornale"_s);
    auto *layout = new QFormLayout(m_journalFrame);
    m_txtFoglio = new QLineEdit(u"1"_s, m_journalFrame);
    m_txtFoglio->setObjectName(u"txtFoglio"_s);
    // Keys other than digits never reach the text.
    m_txtFoglio->setValidator(
        new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,5}"_s), m_txtFoglio));
    m_txtFoglio->installEventFilter(this);

    auto *kinds = new QHBoxLayout;
    m_optProva = new QRadioButton(u"Stampa di prova"_s, m_journalFrame);
    m_optProva->setObjectName(u"optProva"_s);
    m_optDefinitiva = new QRadioButton(u"Stampa definitiva"_s, m_journalFrame);
    m_optDefinitiva->setObjectName(u"optDefinitiva"_s);
    m_optProva->setChecked(true);
    kinds->addWidget(m_optProva);
    kinds->addWidget(m_optDefinitiva);
    kinds->addStretch(1);
    layout->addRow(kinds);
    layout->addRow(u"Numerazione Fogli da:"_s, m_txtFoglio);
    m_chkJournalCodes = new QCheckBox(u"Codici dei conti"_s, m_journalFrame);
    m_chkJournalCodes->setObjectName(u"chkCodiciGiornale"_s);
    layout->addRow(m_chkJournalCodes);
    m_lblDefinitiva = new QLabel(m_journalFrame);
    m_lblDefinitiva->setObjectName(u"lblDefinitiva"_s);
    m_lblDefinitiva->setWordWrap(true);
    // Room for the two lines it may take, in a window whose size is fixed on opening.
    m_lblDefinitiva->setMinimumHeight(m_lblDefinitiva->fontMetrics().lineSpacing() * 2);
    layout->addRow(m_lblDefinitiva);

    auto *actions = new QHBoxLayout;
    auto *list = new QPushButton(u"Stampe definitive..."_s, m_journalFrame);
    list->setObjectName(u"cmdStampeDefinitive"_s);
    auto *undo = new QPushButton(u"Annulla ultima stampa definitiva"_s, m_journalFrame);
    undo->setObjectName(u"cmdAnnullaDefinitiva"_s);
    for (QPushButton *button : {list, undo}) {
        button->setAutoDefault(false);
        actions->addWidget(button);
    }
    actions->addStretch(1);
    layout->addRow(actions);
    connect(m_optDefinitiva, &QRadioButton::toggled, this, &ReportOptionsWindow::finalPrintToggled);
    connect(list, &QPushButton::clicked, this, &ReportOptionsWindow::showFinalPrints);
    connect(undo, &QPushButton::clicked, this, &ReportOptionsWindow::undoLastFinalPrint);
    return m_journalFrame;
}

QGroupBox *ReportOptionsWindow::buildBalanceFrame()
{
    m_balanceFrame = new QGroupBox(u"Opzioni Bilancio"_s, this);
    m_balanceFrame->setObjectName(u"fraBilancio"_s);
    // Wide enough for the notes to wrap on a few lines.
    m_balanceFrame->setMinimumWidth(440);
    auto *layout = new QVBoxLayout(m_balanceFrame);
    const auto box = [&](const QString &name, const QString &caption, const QString &note) {
        auto *check = new QCheckBox(caption, m_balanceFrame);
        check->setObjectName(name);
        layout->addWidget(check);
        if (!note.isEmpty())
            layout->addWidget(noteLabel(note, m_balanceFrame));
        return check;
    };
    m_chkShowCodes = box(u"chkCodici"_s, u"Mostra i Codici dei Mastri e dei Conti"_s, {});
    m_chkFixedColumns =
        box(u"chkColonneFisse"_s, u"Bilancio a Colonne fisse"_s,
            u"I Saldi vengono incolonnati seguendo la natura del Conto: ad esempio un Conto "
            u"passivo con Mastro nelle attività verrà mostrato nella colonna Attività con saldo "
            u"negativo."_s);
    m_chkHideMarked = box(u"chkNascondi"_s, u"Nascondi i Sottoconti dei Conti contrassegnati"_s,
                          u"Per ciascun Conto contrassegnato non verranno visualizzati i relativi "
                          u"Sottoconti, ma soltanto il Saldo del Conto."_s);
    m_chkClosingEntries =
        box(u"chkChiusura"_s, u"Includi le Registrazioni di Chiusura esercizio"_s,
            u"Includendo le Registrazioni di chiusura i saldi saranno azzerati."_s);
    m_chkZeroBalances =
        box(u"chkSaldoZero"_s, u"Visualizza anche i Sottoconti con Saldo uguale a zero"_s,
            u"Con questa opzione verranno visualizzati anche i Sottoconti movimentati ma con "
            u"saldo zero."_s);
    connect(m_chkShowCodes, &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.showCodes = checked; });
    connect(m_chkFixedColumns, &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.fixedColumns = checked; });

    auto *levelsFrame = new QGroupBox(u"Visualizza Livelli"_s, m_balanceFrame);
    levelsFrame->setObjectName(u"fraLivelli"_s);
    auto *levels = new QHBoxLayout(levelsFrame);
    const QString captions[4] = {u"Gruppo"_s, u"Mastro"_s, u"Conto"_s, u"Sottoconto"_s};
    // On screen the finest level comes first.
    for (int index = 3; index >= 0; --index) {
        m_chkLevels[index] = new QCheckBox(captions[index], levelsFrame);
        m_chkLevels[index]->setObjectName(u"chkLivello%1"_s.arg(index));
        m_chkLevels[index]->setChecked(true);
        levels->addWidget(m_chkLevels[index]);
    }
    keepOneChecked({m_chkLevels[0], m_chkLevels[1], m_chkLevels[2], m_chkLevels[3]});
    levels->addStretch(1);
    layout->addWidget(levelsFrame);
    return m_balanceFrame;
}

QLayout *ReportOptionsWindow::buildButtons()
{
    auto *layout = new QHBoxLayout;
    layout->addWidget(createHelpButton(this, HelpContext::Stampe));
    layout->addStretch(1);
    addReportButtons(this, layout, {ReportOutput::Preview, ReportOutput::Print},
                     {ReportOutput::Excel, ReportOutput::Rtf, ReportOutput::Pdf},
                     [this](ReportOutput output) { run(output); });
    return layout;
}

void ReportOptionsWindow::setReportLayout(int code, ReportLayout layout,
                                          QList<ReportOutput> exports)
{
    m_layouts[code] = {std::move(layout), std::move(exports)};
}

void ReportOptionsWindow::Stampa()
{
    m_settings.resetBalanceOptions();
    for (QCheckBox *box : {m_chkShowCodes, m_chkFixedColumns, m_chkHideMarked, m_chkClosingEntries,
                           m_chkZeroBalances})
        box->setChecked(false);
    fillFilterLists();
    m_optProva->setChecked(true);
    setPeriod(m_environment.yearStart(), m_environment.yearEnd());
    m_settings.output = ReportOutput::Print;
    selectReport(ReportCode::MovimentiVerticale);
    show();
    raise();
    activateWindow();
}

void ReportOptionsWindow::setPeriod(const QDate &from, const QDate &to)
{
    m_dat1->setDate(from);
    m_dat2->setDate(to);
    m_setFrom = m_dat1->date();
    m_setTo = m_dat2->date();
}

bool ReportOptionsWindow::periodIsTheWindows() const
{
    return m_dat1->date() == m_setFrom && m_dat2->date() == m_setTo;
}

void ReportOptionsWindow::followWorkingDate()
{
    if (!periodIsTheWindows())
        return;
    if (finalPrint())
        finalPrintToggled();
    else
        setPeriod(m_environment.yearStart(), m_environment.yearEnd());
}

int ReportOptionsWindow::selectedCode() const
{
    const QListWidgetItem *item = m_reports->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : ReportCode::MovimentiVerticale;
}

void ReportOptionsWindow::selectReport(int code)
{
    for (int row = 0; row < m_reports->count(); ++row) {
        if (m_reports->item(row)->data(Qt::UserRole).toInt() == code)
            m_reports->setCurrentRow(row);
    }
    reportChanged();
}

void ReportOptionsWindow::reportChanged()
{
    const int code = selectedCode();
    m_filterFrame->setVisible(showsAccountFilter(code));
    m_journalFrame->setVisible(showsJournalOptions(code));
    m_balanceFrame->setVisible(showsBalanceOptions(code));
    // The period frame is shared: only the journal's final print fixes its first day.
    if (showsJournalOptions(code) && finalPrint())
        finalPrintToggled();
    else
        m_dat1->setEnabled(true);
    const std::optional<ReportEntry> report = reportEntry(code);
    m_lblNotes->setText(report ? report->note : QString());
}

void ReportOptionsWindow::fillFilterLists()
{
    const FilterLevel level =
        m_optConto[1]->isChecked() ? FilterLevel::Conto : FilterLevel::Sottoconto;
    QString error;
    m_choices = filterChoices(m_environment.archive(), level, &error);
    if (!error.isEmpty())
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
    m_fillingLists = true;
    for (QComboBox *list : m_cmbConti) {
        list->clear();
        for (const FilterChoice &choice : std::as_const(m_choices))
            list->addItem(choice.text);
        list->setCurrentIndex(0);
    }
    m_fillingLists = false;
    updateFilterListStates();
}

void ReportOptionsWindow::filterListChanged(int list)
{
    if (m_fillingLists)
        return;
    // A list back at "(nessun filtro)" takes the lists after it back there too.
    if (m_cmbConti[list]->currentIndex() <= 0 && list < 2)
        m_cmbConti[list + 1]->setCurrentIndex(0);
    updateFilterListStates();
}

void ReportOptionsWindow::updateFilterListStates()
{
    m_cmbConti[1]->setEnabled(m_cmbConti[0]->currentIndex() > 0);
    m_cmbConti[2]->setEnabled(m_cmbConti[1]->currentIndex() > 0);
}

bool ReportOptionsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtFoglio && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // Only a move to another field of this window is held back, not a message box or
        // another window taking the focus.
        const bool movesWithinWindow =
            reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
        if (movesWithinWindow && !parseSheetNumber(m_txtFoglio->text()))
            QTimer::singleShot(0, m_txtFoglio, [field = m_txtFoglio] {
                if (field->isVisible())
                    field->setFocus();
            });
    }
    return QDialog::eventFilter(watched, event);
}

bool ReportOptionsWindow::sheetNumberAccepted()
{
    if (parseSheetNumber(m_txtFoglio->text()))
        return true;
    MessageService::instance().inform(
        this, u"Indicare nella Numerazione Fogli un numero tra 0 e 32767."_s,
        MessageService::Icon::Warning);
    m_txtFoglio->setFocus();
    m_txtFoglio->selectAll();
    return false;
}

void ReportOptionsWindow::collectSettings(int code)
{
    m_settings.dateFrom = m_dat1->date();
    m_settings.dateTo = m_dat2->date();
    std::array<int, 3> positions;
    std::array<qint64, 3> ids;
    for (std::size_t list = 0; list < 3; ++list) {
        const int position = m_cmbConti[list]->currentIndex();
        positions[list] = std::max(position, 0);
        ids[list] = position > 0 && position < m_choices.size() ? m_choices[position].id : 0;
    }
    m_settings.setFilter(m_optConto[1]->isChecked() ? FilterLevel::Conto : FilterLevel::Sottoconto,
                         positions, ids);
    m_settings.hideMarked = m_chkHideMarked->isChecked();
    m_settings.zeroBalances = m_chkZeroBalances->isChecked();
    m_settings.closingEntries = m_chkClosingEntries->isChecked();
    for (int level = 0; level < 4; ++level)
        m_settings.levels[std::size_t(level)] = m_chkLevels[level]->isChecked();
    m_settings.firstSheet = parseSheetNumber(m_txtFoglio->text()).value_or(1);
    m_settings.journalCodes = m_chkJournalCodes->isChecked();
    const bool cards = code == ReportCode::SchedeVerticale || code == ReportCode::SchedeOrizzontale;
    m_settings.source = cards ? accountCardsStatement(m_settings) : BoundSql{};
}

void ReportOptionsWindow::run(ReportOutput output)
{
    const int code = selectedCode();
    const std::optional<ReportEntry> report = reportEntry(code);
    if (!report)
        return;
    if (showsJournalOptions(code) && finalPrint()) {
        runFinalPrint(output);
        return;
    }
    if (showsJournalOptions(code) && !sheetNumberAccepted())
        return;
    const auto found = m_layouts.find(code);
    if (found == m_layouts.end()) {
        MessageService::instance().inform(
            this, u"Il report \"%1\" non è ancora disponibile."_s.arg(report->name));
        return;
    }
    const std::optional<PreviewDocument::Format> format = exportFormatFor(output);
    if (format && !found->second.exports.contains(output)) {
        MessageService::instance().inform(
            this, u"Il report \"%1\" non si può esportare in questo formato."_s.arg(report->name));
        return;
    }
    collectSettings(code);
    m_settings.output = output;
    // Only a spreadsheet leaves out page headings; every other export is the preview's pages.
    m_settings.exporting = output == ReportOutput::Excel;
    std::unique_ptr<PreviewDocument> document;
    QString error;
    {
        ReportProgressDialog progress(this,
                                      u"Preparazione del report \"%1\"..."_s.arg(report->name));
        document = found->second.layout(m_settings, progress, &error);
    }
    if (document)
        deliverReport(this, *document, output, documentsFolder(),
                      exportBaseName(report->name, m_settings.dateFrom, m_settings.dateTo));
    else if (!error.isEmpty())
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
    m_settings.exporting = false;
}

QString ReportOptionsWindow::documentsFolder() const
{
    return QDir(m_environment.archive().folder()).filePath(u"documenti"_s);
}

bool ReportOptionsWindow::finalPrint() const
{
    return m_optDefinitiva->isChecked();
}

FiscalYear ReportOptionsWindow::fiscalYear() const
{
    return {m_environment.yearStart(), m_environment.yearEnd(), m_environment.yearLabel()};
}

void ReportOptionsWindow::finalPrintToggled()
{
    // A final print starts where the last one ended: its first day and sheet are not chosen.
    const bool final = finalPrint();
    m_dat1->setEnabled(!final);
    m_txtFoglio->setEnabled(!final);
    m_lblDefinitiva->clear();
    if (!final) {
        setPeriod(m_environment.yearStart(), m_dat2->date());
        m_txtFoglio->setText(u"1"_s);
        return;
    }
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    std::optional<FinalPrintStart> start;
    std::optional<QDate> last;
    if (connection.opened(&error)) {
        start = nextFinalPrint(connection.database(), fiscalYear(), &error);
        last = lastEntryDate(connection.database(), fiscalYear(), &error);
    }
    if (!start || !last) {
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
        m_optProva->setChecked(true);
        return;
    }
    setPeriod(start->dateFrom,
              last->isValid() && *last >= start->dateFrom ? *last : m_environment.yearEnd());
    m_txtFoglio->setText(QString::number(start->firstSheet));
    m_lblDefinitiva->setText(
        start->continues ? u"Continua la stampa definitiva: dal %1, foglio %2, riga %3."_s.arg(
                               shownDate(start->dateFrom), QString::number(start->firstSheet),
                               QString::number(start->firstRow))
                         : u"Prima stampa definitiva dell'esercizio: dal %1, foglio 1."_s.arg(
                               shownDate(start->dateFrom)));
}

void ReportOptionsWindow::runFinalPrint(ReportOutput output)
{
    MessageService &messages = MessageService::instance();
    if (output != ReportOutput::Print && output != ReportOutput::Pdf &&
        output != ReportOutput::Preview) {
        messages.inform(this, u"La stampa definitiva si produce sulla stampante o in PDF."_s);
        return;
    }
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    std::optional<FinalJournalPrint> prepared;
    ReportDocument document;
    bool laidOut = false;
    if (connection.opened(&error)) {
        // The run's totals and fingerprint and its pages are read from one state of the archive.
        const ReadSnapshot snapshot(connection);
        prepared = snapshot.isActive() ? prepareFinalPrint(connection, fiscalYear(), m_dat2->date(),
                                                           organisationOf(m_environment), &error)
                                       : std::nullopt;
        if (!snapshot.isActive())
            error = snapshot.errorText();
        if (prepared) {
            prepared->options.showCodes = m_chkJournalCodes->isChecked();
            ReportProgressDialog progress(this, u"Preparazione del Giornale contabile..."_s);
            laidOut = layOutJournalBook(connection.database(), prepared->options, &document, &error,
                                        progressShownIn(progress));
        }
    }
    if (!laidOut) {
        if (!error.isEmpty())
            messages.inform(this, error, MessageService::Icon::Critical);
        return;
    }
    const LaidOutReport pages(std::move(document));
    if (output == ReportOutput::Preview) {
        // Every copy of a final book is recorded: its preview shows the pages and prints none.
        ReportPreview preview(pages, this, ReportPreview::Printing::ViewOnly);
        preview.exec();
        return;
    }
    if (!messages.ask(this,
                      u"Stampare in definitiva il libro giornale dal %1 al %2? Le registrazioni "
                      u"stampate non potranno più essere modificate."_s.arg(
                          shownDate(prepared->start.dateFrom), shownDate(prepared->dateTo)),
                      MessageService::Icon::Question, false))
        return;
    std::optional<FinalPrint> recorded;
    if (output == ReportOutput::Pdf) {
        const QString proposed =
            QDir(documentsFolder())
                .filePath(exportBaseName(u"Giornale definitivo"_s, prepared->start.dateFrom,
                                         prepared->dateTo) +
                          u".pdf"_s);
        const QString path = messages.chooseSaveFile(
            this, u"Stampa definitiva in PDF"_s, exportFilter(PreviewDocument::Format::Pdf),
            proposed, exportSuffix(PreviewDocument::Format::Pdf));
        if (path.isEmpty())
            return;
        recorded = writeFinalJournalPdf(m_environment.archive(), *prepared, pages.document(), path,
                                        &error);
    } else {
        const PrintOutcome outcome = printWholeDocument(this, pages);
        if (outcome == PrintOutcome::Cancelled)
            return;
        if (outcome == PrintOutcome::Failed) {
            messages.inform(this,
                            u"Stampa non riuscita: la stampa definitiva non è stata "
                            u"registrata."_s,
                            MessageService::Icon::Critical);
            return;
        }
        if (!messages.ask(this, u"La stampa è riuscita?"_s))
            return;
        recorded = recordFinalJournal(m_environment.archive(), *prepared, pages.document(),
                                      documentSha256(pages.document()), {}, &error);
    }
    if (!recorded) {
        messages.inform(this, error, MessageService::Icon::Critical);
        return;
    }
    messages.inform(this, u"Stampa definitiva registrata: dal %1 al %2, fogli %3-%4."_s.arg(
                              shownDate(recorded->dateFrom), shownDate(recorded->dateTo),
                              QString::number(recorded->firstSheet),
                              QString::number(recorded->lastSheet)));
    finalPrintToggled();
}

void ReportOptionsWindow::showFinalPrints()
{
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    const std::optional<QList<FinalPrint>> prints =
        connection.opened(&error) ? finalPrintsOf(connection.database(), fiscalYear(), &error)
                                  : std::nullopt;
    if (!prints) {
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
        return;
    }
    FinalPrintsWindow list(*prints, m_environment.yearLabel(), this);
    list.exec();
}

void ReportOptionsWindow::undoLastFinalPrint()
{
    MessageService &messages = MessageService::instance();
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    const std::optional<QList<FinalPrint>> prints =
        connection.opened(&error) ? finalPrintsOf(connection.database(), fiscalYear(), &error)
                                  : std::nullopt;
    if (!prints || prints->isEmpty()) {
        messages.inform(
            this, prints ? u"Nessuna stampa definitiva da annullare nell'esercizio."_s : error,
            prints ? MessageService::Icon::Information : MessageService::Icon::Critical);
        return;
    }
    const FinalPrint &last = prints->last();
    if (!messages.ask(this,
                      u"Annullare l'ultima stampa definitiva del Giornale contabile (dal %1 al "
                      u"%2, fogli %3-%4)?\nLe registrazioni del periodo torneranno modificabili "
                      u"e i fogli andranno ristampati."_s.arg(
                          shownDate(last.dateFrom), shownDate(last.dateTo),
                          QString::number(last.firstSheet), QString::number(last.lastSheet)),
                      MessageService::Icon::Question, false))
        return;
    if (!::undoLastFinalPrint(m_environment.archive(), fiscalYear(), last.id, &error)) {
        messages.inform(this, error, MessageService::Icon::Critical);
        return;
    }
    if (finalPrint())
        finalPrintToggled();
}
