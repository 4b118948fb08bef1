#pragma once

#include "settings/Preferences.h"

#include <QDialog>

class QLineEdit;
class QTabWidget;

// The preferences window: the captions of the accounting sections and the organisation data,
// saved in the archive by "Chiudi". Closing from the title bar saves nothing.
class frmPreferenze : public QDialog {
    Q_OBJECT

public:
    explicit frmPreferenze(const Archive &archive, QWidget *parent = nullptr);

    // Shows the window modally over owner, loaded from the archive. A failure to read the archive
    // is shown and the window does not open.
    static void Apri(QWidget *owner, const Archive &archive);

    bool carica(QString *error = nullptr);
    Preferences values() const;

private:
    QWidget *buildCaptionsTab();
    QWidget *buildOrganisationTab();
    void chiudi();

    Archive m_archive;
    QTabWidget *m_tabs = nullptr;
    QList<QLineEdit *> m_captions;
    QList<QLineEdit *> m_organisation;
};
