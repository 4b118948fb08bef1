#include "data/InstanceLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestInstanceLock : public QObject {
    Q_OBJECT

    static void writeLockFile(const QTemporaryDir &dir, const QByteArray &contents)
    {
        QFile file(QDir(dir.path()).filePath(u"tovrin3.lock"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

private slots:
    void takesOverAnUnusableLockFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbled") << QByteArray("\x01\xff\x13 nessun numero\n", 17);
        QTest::newRow("negative pid") << QByteArray("-4\ntovrin3\n");
        QTest::newRow("another host") << QByteArray::number(QCoreApplication::applicationPid())
                                             .append("\ntovrin3\naltro-computer-" +
                                                     QSysInfo::machineHostName().toUtf8() + "\n");
        QTest::newRow("process gone")
            << QByteArray("4194303\ntovrin3\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    }
    void takesOverAnUnusableLockFile()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        writeLockFile(dir, contents);
        InstanceLock lock(dir.path());
        QVERIFY(lock.tryLock());
        QVERIFY(lock.isLocked());
        QVERIFY(!InstanceLock(dir.path()).tryLock());
    }

    void aCleanupFileLeftByACrashDoesNotDelay()
    {
        const QByteArray gone = "4194303\ntovrin3\n" + QSysInfo::machineHostName().toUtf8() + "\n";
        for (const QByteArray &cleanup : {QByteArray(), gone}) {
            QTemporaryDir dir;
            writeLockFile(dir, gone);
            QFile leftover(QDir(dir.path()).filePath(u"tovrin3.lock.rmlink"_s));
            QVERIFY(leftover.open(QIODevice::WriteOnly));
            leftover.write(cleanup);
            leftover.close();
            QElapsedTimer timer;
            timer.start();
            InstanceLock lock(dir.path());
            QVERIFY(lock.tryLock());
            QVERIFY(timer.elapsed() < 1000);
        }
    }

    void refusesWhileARunningCopyHoldsIt()
    {
        QTemporaryDir dir;
        QLockFile running(QDir(dir.path()).filePath(u"tovrin3.lock"_s));
        QVERIFY(running.tryLock(0));
        InstanceLock lock(dir.path());
        QVERIFY(!lock.tryLock());
        QVERIFY(QFile::exists(QDir(dir.path()).filePath(u"tovrin3.lock"_s)));
        running.unlock();
        QVERIFY(lock.tryLock());
        lock.unlock();
        QVERIFY(!QFile::exists(QDir(dir.path()).filePath(u"tovrin3.lock"_s)));
    }
};

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "tst_instancelock.moc"
