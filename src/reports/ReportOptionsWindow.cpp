#include "reports/ReportOptionsWindow.h"

#include "reports/FinalPrintsWindow.h"
#include "reports/JournalBookRun.h"
#include "reports/ReportCatalog.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/ReportOutput.h"
#include "ui/ReportProgressDialog.h"
#include "ui/WindowUtils.h"
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ReportOptionsWindow::ReportOptionsWindow(FiscalEnvironment &environment, ReportSettings &settings,
                                         QWidget *parent)
    : QDialog(parent), m_environment(environment), m_settings(settings)
{
    setWindowTitle(u" Stampe Contabilità"_s);
    setModal(false);

    auto *options = new QVBoxLayout;
    options->addWidget(buildPeriodFrame());
    // The three option frames share one place, as big as the largest; the selected report shows
    // one of them, or none.
    m_optionFrames = new QStackedWidget(this);
    m_optionFrames->addWidget(buildFilterFrame());
    m_optionFrames->addWidget(buildJournalFrame());
    m_optionFrames->addWidget(buildBalanceFrame());
    m_optionFrames->addWidget(new QWidget(m_optionFrames));
    options->addWidget(m_optionFrames);
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

void ReportOptionsWindow::setReportLayout(int code, ReportLayout layout,
                                          QList<ReportOutput> exports)
{
    m_layouts[code] = {std::move(layout), std::move(exports)};
}

void ReportOptionsWindow::openWithDefaults()
{
    m_settings.resetBalanceOptions();
    for (QCheckBox *box : {m_showCodesCheck, m_fixedColumnsCheck, m_hideMarkedCheck,
                           m_closingEntriesCheck, m_zeroBalancesCheck})
        box->setChecked(false);
    fillFilterLists();
    m_draftOption->setChecked(true);
    setPeriod(m_environment.yearStart(), m_environment.yearEnd());
    m_settings.output = ReportOutput::Print;
    selectReport(ReportCode::MovimentiVerticale);
    show();
    raise();
    activateWindow();
}

void ReportOptionsWindow::setPeriod(const QDate &from, const QDate &to)
{
    m_fromDate->setDate(from);
    m_toDate->setDate(to);
    m_setFrom = m_fromDate->date();
    m_setTo = m_toDate->date();
}

bool ReportOptionsWindow::periodIsTheWindows() const
{
    return m_fromDate->date() == m_setFrom && m_toDate->date() == m_setTo;
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
    m_optionFrames->setCurrentIndex(showsAccountFilter(code)    ? 0
                                    : showsJournalOptions(code) ? 1
                                    : showsBalanceOptions(code) ? 2
                                                                : 3);
    // The period frame is shared: only the journal's final print fixes its first day.
    if (showsJournalOptions(code) && finalPrint())
        finalPrintToggled();
    else
        m_fromDate->setEnabled(true);
    const std::optional<ReportEntry> report = reportEntry(code);
    m_notesLabel->setText(report ? report->note : QString());
    setProperty("helpContext", code == ReportCode::RendicontoCassa ? HelpContext::RendicontoCassa
                                                                   : HelpContext::Stampe);
}

bool ReportOptionsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_sheetEdit && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // Only a move to another field of this window is held back, not a message box or
        // another window taking the focus.
        const bool movesWithinWindow =
            reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
        if (movesWithinWindow && !parseSheetNumber(m_sheetEdit->text()))
            QTimer::singleShot(0, m_sheetEdit, [field = m_sheetEdit] {
                if (field->isVisible())
                    field->setFocus();
            });
    }
    return QDialog::eventFilter(watched, event);
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
    return m_environment.archive().documentsFolder();
}
