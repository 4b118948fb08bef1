#pragma once

class FiscalEnvironment;
class MainWindow;

// Gives the main window the journal commands: "Nuovo" and "Apri" in the journal and account-card
// views and "Duplica", all on one entry editor window. An editor holding unsaved changes asks
// before it is reused.
void wireJournalCommands(MainWindow &main, FiscalEnvironment &environment);
