#pragma once

class FiscalEnvironment;
class MainWindow;

// Gives the main window its "Elimina" command: the current record of the current view is
// deleted after the reference check and the user's Yes; after a journal deletion the entry
// numbers of the fiscal year are checked and renumbering offered. The view is reloaded.
void wireDeletionCommand(MainWindow &main, const FiscalEnvironment &environment);

// The command itself, on the window's current view and record.
void Elimina(MainWindow &main, const FiscalEnvironment &environment);
