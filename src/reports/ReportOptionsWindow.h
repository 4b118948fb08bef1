#pragma once

#include "reports/FilterChoices.h"
#include "reports/ReportSettings.h"

#include <QDialog>

#include <functional>
#include <map>
#include <memory>

class ReportProgressDialog;
class PreviewDocument;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QStackedWidget;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class FiscalEnvironment;
struct FiscalYear;

// The accounting reports window: the seven reports, the options of the selected one, and the
// run to the printer, the preview or an export file. Not modal; stays open between runs.
class ReportOptionsWindow : public QDialog {
    Q_OBJECT

public:
    // Lays out a report for the settings into pages. Returns null when the user cancelled
    // (through progress) or on failure, with the reason in *error (empty when cancelled).
    using ReportLayout = std::function<std::unique_ptr<PreviewDocument>(
        const ReportSettings &settings, ReportProgressDialog &progress, QString *error)>;

    // settings is the program's one set of report options; it must outlive the window.
    ReportOptionsWindow(FiscalEnvironment &environment, ReportSettings &settings,
                        QWidget *parent = nullptr);
    ~ReportOptionsWindow() override;

    // Prepares the window for a new round of reports: the period of the current fiscal year, no
    // filter, the balance boxes cleared, report 1 selected.
    void openWithDefaults();
    // After a change of working date: a period the window set itself moves to the new fiscal
    // year; one the user typed stays.
    void followWorkingDate();

    // Gives a report code its layout and the export files it can be written to; a report
    // without a layout says it is not available yet.
    void setReportLayout(int code, ReportLayout layout,
                         QList<ReportOutput> exports = {ReportOutput::Pdf});

    // Runs the selected report to the output.
    void run(ReportOutput output);

    int selectedCode() const;
    void selectReport(int code);

    // Whether the journal book is set to its final print ("Stampa definitiva").
    bool finalPrint() const;
    // Shows the final prints of the fiscal year, modal.
    void showFinalPrints();
    // Removes the year's last final print after a question whose default is No.
    void undoLastFinalPrint();

private:
    // Sets the period, remembering it as the window's own.
    void setPeriod(const QDate &from, const QDate &to);
    bool periodIsTheWindows() const;

    void fitLargestOptions();
    QWidget *buildReportList();
    QGroupBox *buildPeriodFrame();
    QGroupBox *buildFilterFrame();
    QGroupBox *buildJournalFrame();
    QGroupBox *buildBalanceFrame();
    QLayout *buildButtons();

    void reportChanged();
    void fillFilterLists();
    void filterListChanged(int list);
    void updateFilterListStates();
    bool eventFilter(QObject *watched, QEvent *event) override;

    void finalPrintToggled();
    void runFinalPrint(ReportOutput output);
    FiscalYear fiscalYear() const;

    void collectSettings(int code);
    bool sheetNumberAccepted();
    QString documentsFolder() const;

    FiscalEnvironment &m_environment;
    ReportSettings &m_settings;
    struct Report {
        ReportLayout layout;
        QList<ReportOutput> exports;
    };
    std::map<int, Report> m_layouts;
    QList<FilterChoice> m_choices;
    bool m_fillingLists = false;

    QListWidget *m_reports = nullptr;
    QLabel *m_notesLabel = nullptr;
    QDateEdit *m_fromDate = nullptr;
    QDateEdit *m_toDate = nullptr;
    QDate m_setFrom; // the period as the window last set it
    QDate m_setTo;
    QStackedWidget *m_optionFrames = nullptr; // the selected report's options, one size for all
    QGroupBox *m_filterFrame = nullptr;
    QRadioButton *m_byAccountOption[2] = {};
    QComboBox *m_accountCombos[3] = {};
    QGroupBox *m_journalFrame = nullptr;
    QLineEdit *m_sheetEdit = nullptr;
    QRadioButton *m_draftOption = nullptr;
    QRadioButton *m_finalOption = nullptr;
    QCheckBox *m_journalCodesCheck = nullptr;
    QLabel *m_finalLabel = nullptr;
    QGroupBox *m_balanceFrame = nullptr;
    QCheckBox *m_showCodesCheck = nullptr;
    QCheckBox *m_fixedColumnsCheck = nullptr;
    QCheckBox *m_hideMarkedCheck = nullptr;
    QCheckBox *m_closingEntriesCheck = nullptr;
    QCheckBox *m_zeroBalancesCheck = nullptr;
    QCheckBox *m_levelChecks[4] = {};
};
