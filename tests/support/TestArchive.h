#pragma once

#include "data/Database.h"
#include "data/Money.h"

#include <QDate>
#include <QTemporaryDir>
#include <QVariant>

// A fresh archive folder (contab.mdb from the empty template, allegati, modelli, documenti) in a
// temporary folder. It stands for its Archive wherever one is asked for. Helpers add chart
// records and entries with plain SQL and return their ids; they fail the test on error.
class TestArchive {
public:
    TestArchive();

    QString folder() const { return m_dir.path(); }
    QString databasePath() const { return m_archive.databasePath(); }
    const Archive &archive() const { return m_archive; }
    operator const Archive &() const { return m_archive; }

    qint64 addMastro(const QString &prefisso, const QString &descrizione, int tipo,
                     const QVariant &gruppo = QVariant());
    qint64 addConto(qint64 idMastro, const QString &prefisso, const QString &descrizione,
                    bool bilancio = false);
    qint64 addSottoconto(qint64 idConto, const QString &descrizione);

    struct Row {
        QVariant dare;  // sub-account id or null
        QVariant avere; // sub-account id or null
        Money importo;
        QString descrizione;
    };
    qint64 addEntry(const QDate &data, const QList<Row> &rows, int tipo = 0,
                    const QVariant &progressivo = QVariant());

    // Runs one statement with bound values; returns the first column of the first row.
    QVariant scalar(const QString &sql, const QVariantList &values = {}) const;
    void exec(const QString &sql, const QVariantList &values = {}) const;

private:
    QTemporaryDir m_dir;
    Archive m_archive;
};

// The program's folder in the build, where the templates are generated.
QString binDir();
