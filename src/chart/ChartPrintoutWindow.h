#pragma once

#include "chart/ChartPrintout.h"
#include "reportengine/ReportExport.h"

#include <QDialog>

class QCheckBox;
class QListWidget;
class FiscalEnvironment;

// The chart printout window: the layout, the levels shown, and the run to the printer, the
// preview or an export file. Not modal; stays open between runs.
class ChartPrintoutWindow : public QDialog {
    Q_OBJECT

public:
    explicit ChartPrintoutWindow(const FiscalEnvironment &environment, QWidget *parent = nullptr);

    // Fills the list of layouts, selects the first and shows the window.
    void openWithDefaults();

    // The options the window's controls give, with the environment's heading texts.
    ChartPrintoutOptions options(ReportOutput output) const;

    // Lays the printout out and sends it to the output.
    void run(ReportOutput output);

private:
    QWidget *buildLayoutList();
    QWidget *buildLevelsFrame();
    QLayout *buildButtons();
    QString documentsFolder() const;

    const FiscalEnvironment &m_environment;
    QListWidget *m_layouts = nullptr;
    QCheckBox *m_levelChecks[4] = {};
    QCheckBox *m_hideMarkedCheck = nullptr;
};
