#pragma once

#include "reports/ReportOptionsWindow.h"

class FiscalEnvironment;

// The layout of a movement list or account-card report (codes 1-4) for the options window:
// the settings' period and filter, the organisation's name of the environment, the orientation
// of the code. The environment must outlive the layout.
ReportOptionsWindow::ReportLayout movementReportLayout(int code,
                                                       const FiscalEnvironment &environment);
