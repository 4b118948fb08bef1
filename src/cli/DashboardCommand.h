#pragma once

// report cruscotto: the dashboard of the fiscal year of --date as a page (.pdf, .png, .svg) or
// its figures (.json), drawn without a display.
int runDashboardReport(int argc, char *argv[]);
