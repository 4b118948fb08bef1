#pragma once

#include "data/Database.h"
#include "data/Money.h"

#include <QDate>
#include <QTemporaryDir>
#include <QVariant>

// A fresh archive folder (contab.mdb from the empty template, allegati, modelli, documenti) in a
// temporary folder. When TOVRIN_TEST_SERVER names a test server's maintenance database, the
// archive is made in a new database there instead, dropped at the end. It stands for its Archive
// wherever one is asked for. Helpers add chart records and entries with plain SQL and return their
// ids; they fail the test on error.
class TestArchive {
public:
    TestArchive();
    ~TestArchive();
    TestArchive(const TestArchive &) = delete;
    TestArchive &operator=(const TestArchive &) = delete;

    // A new empty database on the test server; nothing when the suite runs on files.
    static std::optional<ServerLocation> newServerDatabase();
    bool onServer() const { return m_server.has_value(); }
    // Whether this run of the suite keeps its archives on the test server.
    static bool suiteOnServer() { return qEnvironmentVariableIsSet("TOVRIN_TEST_SERVER"); }

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
    std::optional<ServerLocation> m_server;
};

// Skips a test of what only an archive in a file does: its bytes, SQLite's locks and rules.
#define SKIP_ON_SERVER()                                                                           \
    do {                                                                                           \
        if (TestArchive::suiteOnServer())                                                          \
            QSKIP("only an archive in a file does this");                                          \
    } while (false)

// The program's folder in the build, where the templates are generated.
QString binDir();
