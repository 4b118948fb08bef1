#pragma once

#include "reportengine/ReportExport.h"

#include <QList>

#include <functional>

class QBoxLayout;
class QDialog;

// The run buttons of a report options window, added to layout: first the direct outputs in the
// order given ("Stampa" cmdOK for the printer, "Anteprima" cmdPreview for the preview), then
// "&Esporta.." (cmdExp) with a menu of the exports, then "Chiudi" (cmdCancel) that closes the
// window. Each button and menu item calls run with its output.
void addReportButtons(QDialog *window, QBoxLayout *layout, const QList<ReportOutput> &direct,
                      const QList<ReportOutput> &exports,
                      const std::function<void(ReportOutput)> &run);
