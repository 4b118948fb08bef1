#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "main/MainWindow.h"
#include "program/MainModule.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

void setDataPath(const QString &folder)
{
    writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser, folder);
}

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    QTemporaryDir lockDir;

    // Start-up with the given dataPath; returns the messages shown.
    QStringList refusalsFor(const QString &folder)
    {
        setDataPath(folder);
        ScriptedMessages messages;
        MainModule module(lockDir.path());
        if (module.start(QDate(2024, 5, 15)))
            return {u"started"_s};
        return messages.shown;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void refusesASecondInstance()
    {
        QLockFile other(QDir(lockDir.path()).filePath(u"tovrin3.lock"_s));
        QVERIFY(other.tryLock(0));
        TestArchive a;
        QCOMPARE(refusalsFor(a.folder()), QStringList{u"Applicazione già in esecuzione"_s});
    }

    void startsOverALockFileNoRunningCopyCanHold()
    {
        const QString lockFile = QDir(lockDir.path()).filePath(u"tovrin3.lock"_s);
        for (const QByteArray &contents :
             {QByteArray(), QByteArray("???\n"), QByteArray("1\ntovrin3\naltro-computer-x\n")}) {
            QFile file(lockFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
            file.close();
            TestArchive a;
            QCOMPARE(refusalsFor(a.folder()), QStringList{u"started"_s});
            QVERIFY(!QFile::exists(lockFile));
        }
    }

    void endsQuietlyWhenTheFirstArchiveIsNotCreated()
    {
        bool dialogShown = false;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            dialogShown = dialog && dialog->objectName() == u"NewArchiveWindow"_s;
            if (dialog)
                dialog->reject();
        });
        QCOMPARE(refusalsFor(QString()), QStringList());
        QVERIFY(dialogShown);
    }

    void refusesAMissingOrIncompleteFolder()
    {
        const QString missing = u"/nessuna/cartella/tv3_cont01"_s;
        QCOMPARE(
            refusalsFor(missing),
            QStringList{
                u"Cartella dati:\n\"/nessuna/cartella/tv3_cont01\"\nnon trovata o danneggiata."_s});

        TestArchive a;
        QDir(a.folder()).rmdir(u"modelli"_s);
        QCOMPARE(refusalsFor(a.folder()), QStringList{u"Cartella dati:\n\""_s + a.folder() +
                                                      u"\"\nnon trovata o danneggiata."_s});
        QVERIFY(!readParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser, {})
                     .toString()
                     .isEmpty());
    }

    void refusesAnAccessArchiveWithoutTouchingIt()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        QFile::remove(a.databasePath());
        QFile file(a.databasePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2000, 'x'));
        file.close();
        const QByteArray before = hashOf(a.databasePath());

        const QStringList shown = refusalsFor(a.folder());
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().contains(a.folder()));
        QVERIFY(shown.first().contains(u"Access"_s));
        QCOMPARE(hashOf(a.databasePath()), before);
        QVERIFY(!QFile::exists(a.databasePath() + u"-journal"_s));
    }

    void refusesAFileThatIsNoDatabase()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        QFile::remove(a.databasePath());
        QFile file(a.databasePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("appunti, non un archivio");
        file.close();
        const QStringList shown = refusalsFor(a.folder());
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().contains(u"non è un archivio di contabilità valido"_s));
    }

    void refusesAnArchiveWithoutItsTablesInItalianFirst()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        a.exec(u"DROP TABLE parametri"_s);
        const QStringList shown = refusalsFor(a.folder());
        QCOMPARE(shown.size(), 1);
        QVERIFY2(
            shown.first().startsWith(u"L'archivio della cartella dati:\n\""_s + a.folder() +
                                     u"\"\nnon può essere aperto. L'archivio non ha le tabelle"_s),
            qPrintable(shown.first()));
        QVERIFY(shown.first().endsWith(u"\n\nno such table: parametri"_s));
    }

    void stampsTheVersion()
    {
        TestArchive a;
        QCOMPARE(refusalsFor(a.folder()), QStringList{u"started"_s});
        QCOMPARE(readParameter(a, u"aMajor"_s, ValueType::Integer, Storage::InArchive, -1),
                 QVariant(3));
        QCOMPARE(readParameter(a, u"aMinor"_s, ValueType::Integer, Storage::InArchive, -1),
                 QVariant(5));

        writeParameter(a, u"aMajor"_s, ValueType::Integer, Storage::InArchive, 4);
        writeParameter(a, u"aMinor"_s, ValueType::Integer, Storage::InArchive, 2);
        QCOMPARE(refusalsFor(a.folder()), QStringList{u"started"_s});
        QCOMPARE(readParameter(a, u"aMajor"_s, ValueType::Integer, Storage::InArchive, -1),
                 QVariant(4));
        QCOMPARE(readParameter(a, u"aMinor"_s, ValueType::Integer, Storage::InArchive, -1),
                 QVariant(5));
    }

    void showsTheMainWindow()
    {
        TestArchive a;
        QDir(a.folder()).rmdir(u"documenti"_s);
        const qint64 s = a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s), u"Cassa"_s);
        a.addEntry(QDate(2024, 3, 5), {{s, s, Money::fromCents(100), u"giroconto"_s}});
        writeParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 7);
        setDataPath(a.folder());

        ScriptedMessages messages;
        MainModule module(lockDir.path());
        QVERIFY(module.start(QDate(2024, 5, 15)));
        QVERIFY(messages.shown.isEmpty());
        MainWindow *main = module.mainWindow();
        QVERIFY(main->isVisible());
        QCOMPARE(main->windowTitle(), u"Velmora Contabilità 3"_s);
        QCOMPARE(main->statusPanelText(1), a.onServer()
                                               ? QDir::toNativeSeparators(a.folder()) + u" — "_s +
                                                     a.archive().server()->description()
                                               : QDir::toNativeSeparators(a.folder()));
        QCOMPARE(main->statusPanelText(2), u"Data ultima Reg.ne: 05/03/24"_s);
        QCOMPARE(main->statusPanelText(3), u"Data di Lavoro: 15/05/24 - Esercizio: 2023/2024 "_s);
        QCOMPARE(module.environment()->yearStart(), QDate(2023, 7, 1));

        QStringList menus;
        for (QAction *action : main->menuBar()->actions())
            menus.append(action->text());
        QCOMPARE(menus, (QStringList{u"&File"_s, u"&Record"_s, u"&Visualizza"_s, u"&Strumenti"_s,
                                     u"&?"_s}));
        QStringList tools;
        for (QAction *action : main->menuBar()->actions().at(3)->menu()->actions()) {
            if (action->isEnabled() && !action->isSeparator())
                tools.append(action->text());
        }
        QCOMPARE(tools,
                 (QStringList{u"Chiusura / Apertura Conti"_s, u"Riapri esercizio…"_s,
                              u"Ricalcolo progressivi"_s, u"Controllo archivio"_s,
                              u"Riconciliazione bancaria…"_s, u"Bilancio riclassificato"_s}));
        // Esci stays the last item of File.
        QCOMPARE(main->menuBar()->actions().at(0)->menu()->actions().last()->text(), u"Esci"_s);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
