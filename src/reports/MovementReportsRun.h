#pragma once

#include "reports/frmPrintReportMov.h"

class cEnvironment;

// The layout of a movement list or account-card report (codes 1-4) for the options window:
// the settings' period and filter, the organisation's name of the environment, the orientation
// of the code. The environment must outlive the layout.
frmPrintReportMov::ReportLayout movementReportLayout(int code, const cEnvironment &environment);
