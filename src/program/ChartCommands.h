#pragma once

class cEnvironment;
class frmMain;

// Gives the main window the chart commands: "Nuovo" and "Apri" in the views "Mastri", "Conti"
// and "Sottoconti" on their editors, and "Elimina" in every view.
void wireChartCommands(frmMain &main, cEnvironment &environment);
