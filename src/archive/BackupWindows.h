#pragma once

#include "data/Backup.h"

#include <QDialog>

class QTreeWidget;
class FiscalEnvironment;

// File → "Backup…": a copy of the archive saved where the user chooses.
void saveBackupCopy(QWidget *parent, const Archive &archive);

// File → "Ripristina backup…": the user picks one of the archive's backups, or another file,
// confirms (No by default), and the copy replaces the archive. Returns true when it did.
bool restoreBackup(QWidget *parent, const Archive &archive);

// Strumenti → "Controllo archivio": the check of the archive for the working date's fiscal year
// and the closing of every year, in Italian.
void showArchiveCheck(QWidget *parent, const FiscalEnvironment &environment);

// The list of the archive's backups, newest first: date, operation and size.
class BackupChooser : public QDialog {
    Q_OBJECT

public:
    explicit BackupChooser(const QList<ArchiveBackup> &backups, QWidget *parent = nullptr);

    // The file chosen: a listed backup, or one picked through "Altro file…".
    QString chosenPath() const { return m_chosen; }

private:
    void chooseListed();
    void chooseOtherFile();

    QList<ArchiveBackup> m_backups;
    QTreeWidget *m_list = nullptr;
    QString m_chosen;
};
