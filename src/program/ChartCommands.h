#pragma once

class FiscalEnvironment;
class MainWindow;

// Gives the main window the chart commands: "Nuovo" and "Apri" in the views "Mastri", "Conti"
// and "Sottoconti" on their editors, and "Elimina" in every view.
void wireChartCommands(MainWindow &main, FiscalEnvironment &environment);
