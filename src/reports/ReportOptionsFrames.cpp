// The options window's frames: the list of reports and each report's settings.

#include "reports/ReportOptionsWindow.h"

#include "reports/FinalPrintsWindow.h"
#include "reports/ReportCatalog.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/ReportButtons.h"
#include "ui/WindowUtils.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

using namespace Qt::StringLiterals;

namespace {

QDateEdit *datePicker(const QString &name, QWidget *parent)
{
    auto *picker = new QDateEdit(parent);
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(u"dd/MM/yyyy"_s);
    return picker;
}

} // namespace

void ReportOptionsWindow::fitLargestOptions()
{
    // The window keeps one size whichever frame the selected report shows, and a size kept from
    // an earlier session never makes it smaller than that.
    layout()->activate();
    setMinimumSize(sizeHint());
    resize(sizeHint());
    rememberGeometry(this, u"stampe"_s);
}

QWidget *ReportOptionsWindow::buildReportList()
{
    auto *frame = new QGroupBox(u"Report disponibili"_s, this);
    frame->setObjectName(u"fraReport"_s);
    auto *layout = new QVBoxLayout(frame);
    m_reports = new QListWidget(frame);
    m_reports->setObjectName(u"reportsGrid"_s);
    const QList<ReportEntry> reports = optionsWindowReports();
    for (const ReportEntry &report : reports) {
        const QIcon icon = style()->standardIcon(
            report.icon == 2 ? QStyle::SP_FileDialogDetailedView : QStyle::SP_FileIcon);
        auto *item = new QListWidgetItem(icon, report.name, m_reports);
        item->setData(Qt::UserRole, report.code);
    }
    int widest = 0;
    for (const ReportEntry &report : reports)
        widest = std::max(widest, m_reports->fontMetrics().horizontalAdvance(report.name));
    m_reports->setMinimumWidth(widest + m_reports->iconSize().width() + 40);
    m_reports->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_reports, &QListWidget::currentRowChanged, this, &ReportOptionsWindow::reportChanged);
    layout->addWidget(m_reports, 1);
    m_notesLabel = new QLabel(frame);
    m_notesLabel->setObjectName(u"lblNotes"_s);
    m_notesLabel->setWordWrap(true);
    m_notesLabel->setMinimumHeight(m_notesLabel->fontMetrics().lineSpacing() * 3);
    m_notesLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_notesLabel);
    return frame;
}

QGroupBox *ReportOptionsWindow::buildPeriodFrame()
{
    auto *frame = new QGroupBox(u"Filtro Movimenti"_s, this);
    frame->setObjectName(u"fraPeriodo"_s);
    auto *layout = new QHBoxLayout(frame);
    m_fromDate = datePicker(u"Dat1"_s, frame);
    m_toDate = datePicker(u"Dat2"_s, frame);
    layout->addWidget(new QLabel(u"Dal:"_s, frame));
    layout->addWidget(m_fromDate);
    layout->addWidget(new QLabel(u"Al:"_s, frame));
    layout->addWidget(m_toDate);
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
        m_byAccountOption[option] = new QRadioButton(captions[option], m_filterFrame);
        m_byAccountOption[option]->setObjectName(u"optConto%1"_s.arg(option));
        levels->addWidget(m_byAccountOption[option]);
    }
    levels->addStretch(1);
    m_byAccountOption[0]->setChecked(true);
    connect(m_byAccountOption[1], &QRadioButton::toggled, this,
            &ReportOptionsWindow::fillFilterLists);
    layout->addLayout(levels);
    for (int list = 0; list < 3; ++list) {
        if (list > 0) {
            auto *join = new QLabel(u"- aggiungi -"_s, m_filterFrame);
            join->setAlignment(Qt::AlignCenter);
            layout->addWidget(join);
        }
        m_accountCombos[list] = new QComboBox(m_filterFrame);
        m_accountCombos[list]->setObjectName(u"cmbConti%1"_s.arg(list));
        m_accountCombos[list]->setMaxVisibleItems(20);
        connect(m_accountCombos[list], &QComboBox::currentIndexChanged, this,
                [this, list] { filterListChanged(list); });
        layout->addWidget(m_accountCombos[list]);
    }
    // The frame is as tall as the largest; its lists stay together at the top.
    layout->addStretch(1);
    return m_filterFrame;
}

QGroupBox *ReportOptionsWindow::buildJournalFrame()
{
    m_journalFrame = new QGroupBox(u"Opzioni Giornale contabile"_s, this);
    m_journalFrame->setObjectName(u"fraGiornale"_s);
    auto *layout = new QFormLayout(m_journalFrame);
    m_sheetEdit = new QLineEdit(u"1"_s, m_journalFrame);
    m_sheetEdit->setObjectName(u"txtFoglio"_s);
    // Keys other than digits never reach the text.
    m_sheetEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,5}"_s), m_sheetEdit));
    m_sheetEdit->installEventFilter(this);

    auto *kinds = new QHBoxLayout;
    m_draftOption = new QRadioButton(u"Stampa di prova"_s, m_journalFrame);
    m_draftOption->setObjectName(u"optProva"_s);
    m_finalOption = new QRadioButton(u"Stampa definitiva"_s, m_journalFrame);
    m_finalOption->setObjectName(u"optDefinitiva"_s);
    m_draftOption->setChecked(true);
    kinds->addWidget(m_draftOption);
    kinds->addWidget(m_finalOption);
    kinds->addStretch(1);
    layout->addRow(kinds);
    layout->addRow(u"Numerazione Fogli da:"_s, m_sheetEdit);
    m_journalCodesCheck = new QCheckBox(u"Codici dei conti"_s, m_journalFrame);
    m_journalCodesCheck->setObjectName(u"chkCodiciGiornale"_s);
    layout->addRow(m_journalCodesCheck);
    m_finalLabel = new QLabel(m_journalFrame);
    m_finalLabel->setObjectName(u"lblDefinitiva"_s);
    m_finalLabel->setWordWrap(true);
    // Room for the two lines it may take, in a window whose size is fixed on opening.
    m_finalLabel->setMinimumHeight(m_finalLabel->fontMetrics().lineSpacing() * 2);
    layout->addRow(m_finalLabel);

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
    connect(m_finalOption, &QRadioButton::toggled, this, &ReportOptionsWindow::finalPrintToggled);
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
    m_showCodesCheck = box(u"chkCodici"_s, u"Mostra i Codici dei Mastri e dei Conti"_s, {});
    m_fixedColumnsCheck =
        box(u"chkColonneFisse"_s, u"Bilancio a Colonne fisse"_s,
            u"I Saldi vengono incolonnati seguendo la natura del Conto: ad esempio un Conto "
            u"passivo con Mastro nelle attività verrà mostrato nella colonna Attività con saldo "
            u"negativo."_s);
    m_hideMarkedCheck =
        box(u"chkNascondi"_s, u"Nascondi i Sottoconti dei Conti contrassegnati"_s,
            u"Per ciascun Conto contrassegnato non verranno visualizzati i relativi "
            u"Sottoconti, ma soltanto il Saldo del Conto."_s);
    m_closingEntriesCheck =
        box(u"chkChiusura"_s, u"Includi le Registrazioni di Chiusura esercizio"_s,
            u"Includendo le Registrazioni di chiusura i saldi saranno azzerati."_s);
    m_zeroBalancesCheck =
        box(u"chkSaldoZero"_s, u"Visualizza anche i Sottoconti con Saldo uguale a zero"_s,
            u"Con questa opzione verranno visualizzati anche i Sottoconti movimentati ma con "
            u"saldo zero."_s);
    connect(m_showCodesCheck, &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.showCodes = checked; });
    connect(m_fixedColumnsCheck, &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.fixedColumns = checked; });

    auto *levelsFrame = new QGroupBox(u"Visualizza Livelli"_s, m_balanceFrame);
    levelsFrame->setObjectName(u"fraLivelli"_s);
    auto *levels = new QHBoxLayout(levelsFrame);
    const QString captions[4] = {u"Gruppo"_s, u"Mastro"_s, u"Conto"_s, u"Sottoconto"_s};
    // On screen the finest level comes first.
    for (int index = 3; index >= 0; --index) {
        m_levelChecks[index] = new QCheckBox(captions[index], levelsFrame);
        m_levelChecks[index]->setObjectName(u"chkLivello%1"_s.arg(index));
        m_levelChecks[index]->setChecked(true);
        levels->addWidget(m_levelChecks[index]);
    }
    keepOneChecked({m_levelChecks[0], m_levelChecks[1], m_levelChecks[2], m_levelChecks[3]});
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

void ReportOptionsWindow::fillFilterLists()
{
    const FilterLevel level =
        m_byAccountOption[1]->isChecked() ? FilterLevel::Conto : FilterLevel::Sottoconto;
    QString error;
    m_choices = filterChoices(m_environment.archive(), level, &error);
    if (!error.isEmpty())
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
    m_fillingLists = true;
    for (QComboBox *list : m_accountCombos) {
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
    if (m_accountCombos[list]->currentIndex() <= 0 && list < 2)
        m_accountCombos[list + 1]->setCurrentIndex(0);
    updateFilterListStates();
}

void ReportOptionsWindow::updateFilterListStates()
{
    m_accountCombos[1]->setEnabled(m_accountCombos[0]->currentIndex() > 0);
    m_accountCombos[2]->setEnabled(m_accountCombos[1]->currentIndex() > 0);
}

bool ReportOptionsWindow::sheetNumberAccepted()
{
    if (parseSheetNumber(m_sheetEdit->text()))
        return true;
    MessageService::instance().inform(
        this, u"Indicare nella Numerazione Fogli un numero tra 0 e 32767."_s,
        MessageService::Icon::Warning);
    m_sheetEdit->setFocus();
    m_sheetEdit->selectAll();
    return false;
}

void ReportOptionsWindow::collectSettings(int code)
{
    m_settings.dateFrom = m_fromDate->date();
    m_settings.dateTo = m_toDate->date();
    std::array<int, 3> positions;
    std::array<qint64, 3> ids;
    for (std::size_t list = 0; list < 3; ++list) {
        const int position = m_accountCombos[list]->currentIndex();
        positions[list] = std::max(position, 0);
        ids[list] = position > 0 && position < m_choices.size() ? m_choices[position].id : 0;
    }
    m_settings.setFilter(m_byAccountOption[1]->isChecked() ? FilterLevel::Conto
                                                           : FilterLevel::Sottoconto,
                         positions, ids);
    m_settings.hideMarked = m_hideMarkedCheck->isChecked();
    m_settings.zeroBalances = m_zeroBalancesCheck->isChecked();
    m_settings.closingEntries = m_closingEntriesCheck->isChecked();
    for (int level = 0; level < 4; ++level)
        m_settings.levels[std::size_t(level)] = m_levelChecks[level]->isChecked();
    m_settings.firstSheet = parseSheetNumber(m_sheetEdit->text()).value_or(1);
    m_settings.journalCodes = m_journalCodesCheck->isChecked();
    const bool cards = code == ReportCode::SchedeVerticale || code == ReportCode::SchedeOrizzontale;
    m_settings.source = cards ? accountCardsStatement(m_settings) : BoundSql{};
}
