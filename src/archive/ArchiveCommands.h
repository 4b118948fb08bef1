#pragma once

class QWidget;
class FiscalEnvironment;

// "Apri Contabilità": the user picks a folder; a valid archive becomes the current one and the
// environment is recomputed for it. Returns true when the archive changed; the caller then
// refreshes its window. A cancelled or invalid choice is told to the user and changes nothing.
bool chooseAndOpenArchive(QWidget *owner, FiscalEnvironment &environment);

// "Nuova Contabilità": the new-archive window; on creation the working date goes back to today
// and the environment is recomputed. Returns true when a new archive is current.
bool createNewArchive(QWidget *owner, FiscalEnvironment &environment);
