#pragma once

#include "chart/ChartRecords.h"

#include <QDialog>

#include <optional>

class QLineEdit;
class QPushButton;

// What the chart's three editors share: a dialog over one record of the chart with its
// read-only id, its save and cancel buttons, and the id it saved.
class ChartRecordEditor : public QDialog {
    Q_OBJECT

public:
    qint64 savedId() const { return m_savedId; }
    // Shows the editor until it is left; the id it saved, 0 when it was cancelled.
    qint64 runModal();

protected:
    ChartRecordEditor(const Archive &archive, QWidget *owner);

    // A box the user reads but never edits or enters with Tab.
    static QLineEdit *readOnlyBox(const QString &name, QWidget *parent);
    // The read-only box of the record's id, empty for a new record.
    QLineEdit *idBox(qint64 id, QWidget *parent);
    // Ends the editor after a save that wrote the record; after one that did not, tells the user
    // notSaved with the engine's reason and leaves the editor open.
    void finishSave(const ChartSave &result, const QString &notSaved);

    Archive m_archive;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;

private:
    qint64 m_savedId = 0;
};

// Tells the user that a record of the chart could not be read (unreadable, with the engine's
// text); an empty error means it no longer exists, which needs no word.
void reportUnreadableRecord(QWidget *owner, const QString &unreadable, const QString &error);

// The record an editor opens: a new one for id 0, else the stored one read by load(id, &error);
// nothing, reported to the user, when it cannot be read.
template <typename Record, typename Load>
std::optional<Record> recordToEdit(QWidget *owner, qint64 id, Load load, const QString &unreadable)
{
    if (id == 0)
        return Record{};
    QString error;
    std::optional<Record> stored = load(id, &error);
    if (!stored)
        reportUnreadableRecord(owner, unreadable, error);
    return stored;
}
