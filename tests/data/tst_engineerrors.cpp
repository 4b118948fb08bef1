#include "data/ArchiveStartup.h"
#include "data/Database.h"
#include "data/EngineErrors.h"
#include "data/ServerLogin.h"
#include "support/TestArchive.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

class TestEngineErrors : public QObject {
    Q_OBJECT

    // The failure of a statement on the archive as the data layer passes it on.
    static QString failureOf(const Connection &connection, const QString &sql)
    {
        if (!connection.isOpen())
            return connection.errorText();
        QSqlQuery query = connection.query();
        QString error;
        runSql(query, sql, {}, &error);
        return error;
    }

private slots:
    // The same failures get the same kind on both engines, from the engine's code.
    void tellsTheFaultFromTheEnginesOwnCode()
    {
        TestArchive a;
        const Connection writer(a.archive());
        QCOMPARE(engineFault(failureOf(writer, u"INSERT INTO mastri (prefisso) VALUES (NULL)"_s)),
                 EngineFault::Constraint);
        QSqlQuery insert = writer.query();
        QVERIFY(runSql(insert, u"INSERT INTO parametri (chiave, valore) VALUES ('x', '1')"_s));
        const QString duplicate =
            failureOf(writer, u"INSERT INTO parametri (chiave, valore) VALUES ('x', '2')"_s);
        QCOMPARE(engineFault(duplicate), EngineFault::Constraint);
        QVERIFY(isEngineText(duplicate));
        QCOMPARE(engineFault(failureOf(Connection(a.archive(), Connection::Mode::ReadOnly),
                                       u"UPDATE parametri SET valore = 'x'"_s)),
                 EngineFault::ReadOnly);
        QCOMPARE(engineFault(failureOf(writer, u"SELEC 1"_s)), EngineFault::Other);
        QVERIFY(isEngineText(failureOf(writer, u"SELEC 1"_s)));

        // A second writer waits for the first and then gives up, saying so once.
        setBusyTimeout(100);
        Transaction first(writer, WriteScope::WholeArchive);
        QVERIFY(first.isActive());
        const Connection other(a.archive());
        Transaction second(other, WriteScope::WholeArchive);
        QVERIFY(!second.isActive());
        QCOMPARE(engineFault(second.errorText()), EngineFault::Busy);
        const QString message = failureMessage(u"Non salvato."_s, second.errorText());
        QCOMPARE(message.count(u"in uso da un altro utente"_s), 1);
        setBusyTimeout(5000);
    }

    void tellsWhatOnlyTheServerSays()
    {
        if (!TestArchive::suiteOnServer())
            QSKIP("the server's roles and connections");
        TestArchive a;
        const Connection owner(a.archive());
        QSqlQuery query = owner.query();
        QVERIFY(runSql(query, u"DROP ROLE IF EXISTS ospite_errori"_s));
        QVERIFY(runSql(query, u"CREATE ROLE ospite_errori LOGIN"_s));
        ServerLocation guest = *a.archive().server();
        guest.user = u"ospite_errori"_s;
        {
            const Connection connection(guest);
            const QString denied = failureOf(connection, u"SELECT COUNT(*) FROM regmain"_s);
            QCOMPARE(engineFault(denied), EngineFault::Permission);
            QVERIFY(!failureMessage(u"Non letto."_s, denied).contains(u"in uso"_s));
        }
        QVERIFY(runSql(query, u"DROP OWNED BY ospite_errori"_s));
        QVERIFY(runSql(query, u"DROP ROLE ospite_errori"_s));

        // A server that ends the connection (shutting down, restarting, an administrator).
        const Connection victim(a.archive());
        QSqlQuery pid = victim.query();
        QVERIFY(runSql(pid, u"SELECT pg_backend_pid()"_s) && pid.next());
        QVERIFY(runSql(query, u"SELECT pg_terminate_backend(?)"_s, {pid.value(0)}));
        QTest::qWait(200);
        QCOMPARE(engineFault(failureOf(victim, u"SELECT COUNT(*) FROM regmain"_s)),
                 EngineFault::Unreachable);
    }

    void asksForAPasswordOnlyWhenTheServerWantsOne()
    {
        if (!TestArchive::suiteOnServer())
            QSKIP("the server's logins");
        TestArchive a;
        const Connection owner(a.archive());
        QSqlQuery query = owner.query();
        QVERIFY(runSql(query, u"DROP ROLE IF EXISTS tovrin_password"_s));
        QVERIFY(runSql(query, u"CREATE ROLE tovrin_password LOGIN PASSWORD 'giusta'"_s));
        ServerLocation guest = *a.archive().server();
        guest.user = u"tovrin_password"_s;
        QVERIFY(passwordNeed(guest).wanted);
        QVERIFY(passwordNeed(guest).refusal.isEmpty());
        setSessionPassword(guest, u"sbagliata"_s);
        QVERIFY(passwordNeed(guest).wanted);
        QVERIFY(passwordNeed(guest).refusal.contains(u"tovrin_password"_s));
        setSessionPassword(guest, u"giusta"_s);
        QVERIFY(!passwordNeed(guest).wanted);
        QVERIFY(Connection(guest).isOpen());
        // A login that no password mends: the owner's trusted one, a port nobody listens on.
        QVERIFY(!passwordNeed(*a.archive().server()).wanted);
        ServerLocation nowhere = guest;
        nowhere.port = 1;
        QVERIFY(!passwordNeed(nowhere).wanted);
        QVERIFY(runSql(query, u"DROP ROLE tovrin_password"_s));
    }

    void tellsADamagedFileOrAMissingTable()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        {
            const Connection connection(a.archive());
            QSqlQuery query = connection.query();
            QVERIFY(runSql(query, u"DROP TABLE parametri"_s));
        }
        QCOMPARE(engineFault(archiveFolderProblem(a.folder())), EngineFault::Structure);
        TestArchive b;
        QFile file(b.databasePath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(100);
        file.write(QByteArray(4000, '\x5a'));
        file.close();
        QCOMPARE(engineFault(failureOf(Connection(b.archive()), u"SELECT COUNT(*) FROM regdet"_s)),
                 EngineFault::Damaged);
    }

    void putsTheItalianSentenceFirst()
    {
        const QString message =
            failureMessage(u"La registrazione non è stata salvata."_s,
                           engineFailureText(EngineFault::Disk, u"database or disk is full"_s));
        QVERIFY(message.startsWith(
            u"La registrazione non è stata salvata. Il disco non risponde o è pieno."_s));
        QVERIFY(message.endsWith(u"\n\ndatabase or disk is full"_s));
        QVERIFY(!isEngineText(u"Nessuna riga di dettaglio."_s));
    }
};

QTEST_GUILESS_MAIN(TestEngineErrors)
#include "tst_engineerrors.moc"
