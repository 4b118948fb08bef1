#pragma once

class FiscalEnvironment;
class MainWindow;

// Gives the main window "Stampa": the report chooser, then the accounting reports window (one,
// kept open between runs, sharing the program's report options) or the chart printout.
void wireReportCommands(MainWindow &main, FiscalEnvironment &environment);
