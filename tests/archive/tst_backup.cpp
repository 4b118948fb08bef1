#include "archive/ArchiveRestore.h"
#include "data/ArchiveCheck.h"
#include "data/Backup.h"
#include "data/JournalGate.h"
#include "data/Parameters.h"
#include "support/TestArchive.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <thread>

#include <utime.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

struct Accounts {
    qint64 cassa;
    qint64 quote;
};

Accounts chartOf(TestArchive &a)
{
    const qint64 liquid =
        a.addConto(a.addMastro(u"A01"_s, u"Liquidità"_s, 1), u"A01001"_s, u"Cassa e banche"_s);
    const qint64 fees =
        a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s);
    return {a.addSottoconto(liquid, u"Cassa"_s), a.addSottoconto(fees, u"Quote associative"_s)};
}

bool post(const Archive &archive, const Accounts &accounts, int day)
{
    // Dates never go back, so that the numbers stay in date order however many are written.
    JournalEntry entry{
        {0, QDate(2024, 1, 1).addDays(std::min(day, 365)), {}, EntryKind::Ordinary, {}},
        {{0, accounts.cassa, {}, Money::fromCents(100 + day), u"Quota"_s},
         {0, {}, accounts.quote, Money::fromCents(100 + day), u"Quota"_s}}};
    QString error;
    return writeEntry(archive, entry, {QDate(2024, 1, 1), QDate(2024, 12, 31), {}}, &error);
}

int entries(const QString &databasePath)
{
    Connection connection(databasePath, Connection::Mode::ReadOnly);
    QSqlQuery query = connection.query();
    runSql(query, u"SELECT COUNT(*) FROM regmain"_s);
    return query.next() ? query.value(0).toInt() : -1;
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private slots:
    void aBackupTakenWhileAnotherUserWritesRestoresSound()
    {
        TestArchive a;
        const Accounts accounts = chartOf(a);
        std::atomic<bool> stop = false;
        std::atomic<int> written = 0;
        std::jthread writer([&] {
            for (int day = 0; !stop; ++day)
                written += post(a, accounts, day) ? 1 : 0;
        });
        QStringList copies;
        for (int i = 0; i < 4; ++i) {
            QString error;
            const QString copy = backupArchive(a, u"prova%1"_s.arg(i), &error);
            QVERIFY2(!copy.isEmpty(), qPrintable(error));
            copies.append(copy);
            QTest::qWait(30);
        }
        stop = true;
        writer.join();
        QVERIFY(written > 0);

        for (const QString &copy : copies) {
            TestArchive target;
            QString replaced;
            QString error;
            QVERIFY2(restoreArchive(target, copy, &replaced, &error), qPrintable(error));
            QCOMPARE(entries(target.databasePath()), entries(copy));
            const std::optional<ArchiveCheck> check =
                checkArchive(target, QDate(2024, 1, 1), QDate(2024, 12, 31), &error);
            QVERIFY2(check && check->sound(), qPrintable(check->problemLines().join(u'\n')));
        }
    }

    void restoreBringsBackTheCopyAndKeepsTheReplacedArchive()
    {
        TestArchive a;
        const Accounts accounts = chartOf(a);
        QVERIFY(post(a, accounts, 1));
        QString error;
        const QString before = backupArchive(a, u"chiusura"_s, &error);
        QVERIFY(post(a, accounts, 2));
        // A copy of an earlier version, without its version stamp.
        Connection(before).query().exec(u"DELETE FROM parametri WHERE chiave IN ('aMajor', "
                                        u"'aMinor')"_s);
        QString replaced;
        QVERIFY2(restoreArchive(a, before, &replaced, &error), qPrintable(error));
        QCOMPARE(entries(a.databasePath()), 1);
        QCOMPARE(entries(replaced), 2);
        QVERIFY(replaced.endsWith(u"-ripristino.mdb"_s));
        QCOMPARE(a.scalar(u"SELECT valore FROM parametri WHERE chiave = 'aMajor'"_s).toInt(), 3);

        // Numbers out of date order (a bank import leaves them so) do not keep a copy out, even
        // the one taken before the renumbering that would put them right.
        a.exec(u"UPDATE regmain SET progressivo = 7"_s);
        const QString unordered = backupArchive(a, u"rinumerazione"_s, &error);
        QString notice;
        QVERIFY2(restoreArchive(a, unordered, &replaced, &error, &notice), qPrintable(error));
        QVERIFY2(notice.contains(u"Ricalcolo progressivi"_s), qPrintable(notice));
    }

    void leftoversOfInterruptedRunsAreCleared()
    {
        TestArchive a;
        QDir backups(a.folder());
        QVERIFY(backups.mkpath(u"backup/.ripristino-AbC123"_s));
        QVERIFY(backups.cd(u"backup"_s));
        const auto plant = [&](const QString &name, int minutesAgo) {
            QFile file(backups.filePath(name));
            file.open(QIODevice::WriteOnly);
            file.write("copia interrotta");
            file.flush();
            file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo),
                             QFileDevice::FileModificationTime);
        };
        plant(u"contab-20240101-000000-chiusura.mdb.7f3a.part"_s, 60);
        plant(u".contab-20240101-000000-ripristino.mdb.Xy12Zz"_s, 60);
        plant(u".ripristino-AbC123/contab.mdb"_s, 60);
        const utimbuf hourAgo{std::time(nullptr) - 3600, std::time(nullptr) - 3600};
        QCOMPARE(::utime(QFile::encodeName(backups.filePath(u".ripristino-AbC123"_s)).constData(),
                         &hourAgo),
                 0);
        // Another user's copy being written now is left alone.
        plant(u"contab-20240101-000001-manuale.mdb.9e1b.part"_s, 1);
        QString error;
        QVERIFY2(!backupArchive(a, u"manuale"_s, &error).isEmpty(), qPrintable(error));
        const QStringList left =
            backups.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(left.size() == 2, qPrintable(left.join(u" "_s)));
        QVERIFY(left.contains(u"contab-20240101-000001-manuale.mdb.9e1b.part"_s));
    }

    void restoreRefusesWhatIsNotASoundArchiveOfThisProgram()
    {
        TestArchive a;
        const Accounts accounts = chartOf(a);
        QVERIFY(post(a, accounts, 1));
        QTemporaryDir files;
        const auto fileWith = [&](const QString &name, const QByteArray &bytes) {
            QFile file(files.filePath(name));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            return file.fileName();
        };
        QString error;
        const QString copy = backupArchive(a, u"prova"_s, &error);
        QFile source(copy);
        source.open(QIODevice::ReadOnly);
        const QByteArray whole = source.readAll();

        const QString foreign = files.filePath(u"altro.db"_s);
        Connection(foreign).query().exec(u"CREATE TABLE note (testo TEXT)"_s);
        const QString newer = files.filePath(u"nuovo.mdb"_s);
        QFile::copy(copy, newer);
        Connection(newer).query().exec(
            u"INSERT OR REPLACE INTO parametri (chiave, valore) VALUES ('aMajor', '9')"_s);
        const QString unbalanced = files.filePath(u"sbilanciato.mdb"_s);
        QFile::copy(copy, unbalanced);
        Connection(unbalanced)
            .query()
            .exec(u"UPDATE regdet SET importo = importo + 1 WHERE "
                  u"contodare IS NOT NULL"_s);

        const QList<std::pair<QString, QString>> refused{
            {fileWith(u"testo.mdb"_s, "non sono un archivio"), u"non è un archivio"_s},
            {fileWith(u"rovinato.mdb"_s,
                      QByteArray(whole).replace(4096, 4096, QByteArray(4096, 'x'))),
             u"danneggiato"_s},
            {foreign, u"non è un archivio"_s},
            {newer, u"versione più recente"_s},
            {unbalanced, u"Registrazioni sbilanciate"_s},
        };
        const QByteArray hash = hashOf(a.databasePath());
        const QStringList backups = QDir(a.folder() + u"/backup"_s).entryList(QDir::Files);
        for (const auto &[path, reason] : refused) {
            QString replaced;
            QVERIFY2(!restoreArchive(a, path, &replaced, &error), qPrintable(path));
            QVERIFY2(error.contains(reason), qPrintable(path + u": "_s + error));
        }
        QCOMPARE(hashOf(a.databasePath()), hash);
        QCOMPARE(QDir(a.folder() + u"/backup"_s).entryList(QDir::Files), backups);
    }

    void theBackupFolderKeepsTheNewestCopies()
    {
        TestArchive a;
        QVERIFY(setKeptBackups(3, nullptr));
        QStringList made;
        for (int i = 0; i < 5; ++i) {
            QString error;
            made.append(backupArchive(a, u"prova%1"_s.arg(i), &error));
        }
        QStringList kept;
        for (const ArchiveBackup &backup : archiveBackups(a))
            kept.append(backup.path);
        QCOMPARE(kept, (QStringList{made[4], made[3], made[2]}));
        QVERIFY(setKeptBackups(20, nullptr));
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
