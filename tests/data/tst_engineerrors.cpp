#include "data/Database.h"
#include "data/EngineErrors.h"
#include "support/TestArchive.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

class TestEngineErrors : public QObject {
    Q_OBJECT

    // The engine's text for a statement on the archive, read-only when asked.
    static QString failureOf(const TestArchive &a, const QString &sql,
                             Connection::Mode mode = Connection::Mode::ReadWrite)
    {
        Connection connection(a.archive(), mode);
        if (!connection.isOpen())
            return connection.errorText();
        QSqlQuery query = connection.query();
        QString error;
        runSql(query, sql, {}, &error);
        return error;
    }

private slots:
    void tellsTheFaultFromTheEnginesOwnText()
    {
        TestArchive a;
        QCOMPARE(engineFault(failureOf(a, u"SELECT * FROM regdett"_s)), EngineFault::Structure);
        QCOMPARE(engineFault(failureOf(a, u"UPDATE parametri SET valore = 'x'"_s,
                                       Connection::Mode::ReadOnly)),
                 EngineFault::ReadOnly);
        QCOMPARE(engineFault(failureOf(a, u"INSERT INTO mastri (prefisso) VALUES (NULL)"_s)),
                 EngineFault::Other);

        // A second connection waits for the writer and then gives up.
        Connection writer(a.archive());
        QSqlQuery begin = writer.query();
        QVERIFY(begin.exec(u"BEGIN EXCLUSIVE"_s));
        Connection reader(a.archive());
        QSqlQuery blocked = reader.query();
        QVERIFY(blocked.exec(u"PRAGMA busy_timeout = 10"_s));
        QString error;
        QVERIFY(!runSql(blocked, u"SELECT COUNT(*) FROM regmain"_s, {}, &error));
        QCOMPARE(engineFault(error), EngineFault::Busy);
        QVERIFY(begin.exec(u"ROLLBACK"_s));
    }

    void tellsADamagedFile()
    {
        TestArchive a;
        QFile file(a.databasePath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(100);
        file.write(QByteArray(4000, '\x5a'));
        file.close();
        QCOMPARE(engineFault(failureOf(a, u"SELECT COUNT(*) FROM regdet"_s)), EngineFault::Damaged);
        QCOMPARE(engineFault(u"disk I/O error"_s), EngineFault::Disk);
        QCOMPARE(engineFault(u"database or disk is full"_s), EngineFault::Disk);
    }

    void putsTheItalianSentenceFirst()
    {
        const QString message =
            failureMessage(u"La registrazione non è stata salvata."_s, u"database is locked"_s);
        QVERIFY(message.startsWith(u"La registrazione non è stata salvata. L'archivio è in uso"_s));
        QVERIFY(message.endsWith(u"\n\ndatabase is locked"_s));
    }
};

QTEST_GUILESS_MAIN(TestEngineErrors)
#include "tst_engineerrors.moc"
