#pragma once

#include "bankimport/CsvProfile.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QSpinBox;
class QTableWidget;

// Builds the profile of a bank's CSV export from the file's first rows: the rows are shown split
// as the settings say, with the column numbers above, so that the user sees which column holds
// what; "Salva" keeps the profile in the archive under its name.
class CsvProfileDialog : public QDialog {
    Q_OBJECT

public:
    CsvProfileDialog(const Archive &archive, const QString &filePath, QWidget *parent = nullptr);

    // Runs the dialog on the file (may be empty) starting from the named profile; the name of
    // the profile saved, empty when none was.
    static QString edit(QWidget *owner, const Archive &archive, const QString &filePath,
                        const QString &profileName);

    // Shows the saved profile of that name, or a new one so named.
    void openProfile(const QString &name);
    void showProfile(const CsvProfile &profile);
    CsvProfile profile() const;
    bool save();

private:
    void loadProfiles();
    void refreshPreview();

    Archive m_archive;
    QByteArray m_file;
    QList<CsvProfile> m_profiles;
    QComboBox *m_name;
    QComboBox *m_separator;
    QComboBox *m_encoding;
    QComboBox *m_dateFormat;
    QSpinBox *m_skipped;
    QSpinBox *m_skippedEnd;
    QLineEdit *m_ignored;
    QLineEdit *m_statuses;
    QList<QSpinBox *> m_columns;
    QTableWidget *m_preview;
};
