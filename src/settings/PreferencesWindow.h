#pragma once

#include "settings/Preferences.h"

#include <QDialog>

class QLineEdit;
class QCheckBox;
class QSpinBox;
class QTabWidget;

// The preferences window: the captions of the accounting sections and the organisation data,
// saved in the archive, and how many backups to keep, saved for the user, by "Chiudi". Leaving
// it otherwise (Esc, the title bar) with something changed asks whether to save.
class PreferencesWindow : public QDialog {
    Q_OBJECT

public:
    explicit PreferencesWindow(const Archive &archive, QWidget *parent = nullptr);

    // Shows the window modally over owner, loaded from the archive. A failure to read the archive
    // is shown and the window does not open.
    static void run(QWidget *owner, const Archive &archive);

    bool load(QString *error = nullptr);
    Preferences values() const;
    bool hasChanges() const;

    void reject() override;

private:
    QWidget *buildCaptionsTab();
    QWidget *buildOrganisationTab();
    QWidget *buildBackupTab();
    bool save();
    void closeWindow();

    Archive m_archive;
    QTabWidget *m_tabs = nullptr;
    QList<QLineEdit *> m_captions;
    QList<QLineEdit *> m_organisation;
    QCheckBox *m_purchaseVatCheck = nullptr;
    QSpinBox *m_keptBackups = nullptr;
    Preferences m_loaded;
    int m_loadedKeptBackups = 0;
};
