#include "data/ArchiveFolders.h"
#include "data/FiscalEnvironment.h"
#include "data/Renumbering.h"
#include "journal/RenumberingWindow.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QDate Start(2024, 1, 1);
const QDate End(2024, 12, 31);

} // namespace

class TestRenumbering : public QObject {
    Q_OBJECT

    qint64 cassa = 0;

    qint64 entry(TestArchive &a, const QDate &date, const QVariant &number)
    {
        return a.addEntry(date, {{cassa, cassa, Money::fromCents(100), u"giroconto"_s}}, 0, number);
    }

    QVariantList numbers(const TestArchive &a)
    {
        Connection connection(a.archive());
        QSqlQuery query = connection.query();
        runSql(query, u"SELECT progressivo FROM regmain ORDER BY id"_s);
        QVariantList result;
        while (query.next())
            result.append(query.value(0).isNull() ? QVariant() : QVariant(query.value(0).toInt()));
        return result;
    }

    void chart(TestArchive &a)
    {
        cassa = a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s), u"Cassa"_s);
    }

private slots:
    void checksTheNumbering_data()
    {
        QTest::addColumn<QVariantList>("stored");
        QTest::addColumn<bool>("misaligned");
        QTest::newRow("no entries") << QVariantList() << false;
        QTest::newRow("1 2 3") << QVariantList{1, 2, 3} << false;
        QTest::newRow("1 2 4") << QVariantList{1, 2, 4} << true;
        QTest::newRow("2 3 4") << QVariantList{2, 3, 4} << true;
        QTest::newRow("null") << QVariantList{1, QVariant(), 3} << true;
        QTest::newRow("out of order") << QVariantList{2, 1, 3} << true;
    }
    void checksTheNumbering()
    {
        QFETCH(QVariantList, stored);
        QFETCH(bool, misaligned);
        TestArchive a;
        chart(a);
        for (int i = 0; i < stored.size(); ++i)
            entry(a, QDate(2024, 3, 1 + i), stored.at(i));
        entry(a, QDate(2025, 1, 1), 7); // another year's number never matters
        QString error;
        QCOMPARE(numberingBroken(a, Start, End, &error), misaligned);
        QVERIFY(error.isEmpty());
    }

    void renumbersByDateThenId()
    {
        TestArchive a;
        chart(a);
        entry(a, QDate(2024, 5, 1), 9);
        entry(a, QDate(2024, 2, 1), 9);
        entry(a, QDate(2024, 5, 1), QVariant());
        entry(a, QDate(2024, 12, 31), 1);
        entry(a, QDate(2025, 1, 1), 5);   // next year: kept
        entry(a, QDate(2023, 12, 31), 8); // previous year: kept
        QVERIFY(renumber(a, {{Start, End, {}}}));
        QCOMPARE(numbers(a), (QVariantList{2, 1, 3, 4, 5, 8}));
        QVERIFY(!numberingBroken(a, Start, End));
    }

    void removesOrphansOfEveryYear()
    {
        TestArchive a;
        chart(a);
        entry(a, QDate(2024, 3, 1), 1);
        const qint64 orphan = entry(a, QDate(2019, 6, 1), 4);
        a.exec(u"DELETE FROM regdet WHERE idRegMain = ?"_s, {orphan});
        QVERIFY(renumber(a, {}));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);
    }

    void runsBothYearsOnce()
    {
        TestArchive a;
        chart(a);
        entry(a, QDate(2024, 4, 1), 3);
        entry(a, QDate(2023, 4, 1), 3);
        entry(a, QDate(2023, 2, 1), 3);
        const qint64 orphan = entry(a, QDate(2024, 1, 1), 1);
        a.exec(u"DELETE FROM regdet WHERE idRegMain = ?"_s, {orphan});
        Renumbering ricalcolo(a, Start, End);
        QSignalSpy done(&ricalcolo, &Renumbering::done);
        QSignalSpy failed(&ricalcolo, &Renumbering::failed);
        QVERIFY(ricalcolo.run(Renumbering::Both));
        QCOMPARE(done.count(), 1);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(numbers(a), (QVariantList{1, 2, 1}));
    }

    void leavesEveryNumberOnFailure()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        chart(a);
        entry(a, QDate(2024, 4, 1), 7);
        const qint64 blocked = entry(a, QDate(2024, 5, 1), 8);
        const qint64 orphan = entry(a, QDate(2022, 1, 1), 1);
        a.exec(u"DELETE FROM regdet WHERE idRegMain = ?"_s, {orphan});
        a.exec(u"CREATE TRIGGER blocca BEFORE UPDATE OF progressivo ON regmain WHEN NEW.id = %1 "
               u"BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"_s.arg(blocked));
        Renumbering ricalcolo(a, Start, End);
        QSignalSpy done(&ricalcolo, &Renumbering::done);
        QSignalSpy failed(&ricalcolo, &Renumbering::failed);
        QVERIFY(!ricalcolo.run(Renumbering::Current));
        QCOMPARE(done.count(), 0);
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.first().first().toString().contains(u"disk is full"_s));
        QCOMPARE(numbers(a), (QVariantList{7, 8, 1}));
    }

    void windowRenumbersAndCloses()
    {
        TestArchive a;
        chart(a);
        entry(a, QDate(2024, 4, 1), 3);
        ScriptedMessages messages;
        RenumberingWindow window(a, Start, End);
        QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
        window.show();
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
        QCOMPARE(messages.shown, QStringList{u"Ricalcolo effettuato con successo."_s});
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(numbers(a), QVariantList{1});
    }

    void windowReportsAFailureAndStaysOpen()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        chart(a);
        const qint64 id = entry(a, QDate(2024, 4, 1), 3);
        a.exec(u"CREATE TRIGGER blocca BEFORE UPDATE OF progressivo ON regmain WHEN NEW.id = %1 "
               u"BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"_s.arg(id));
        ScriptedMessages messages;
        RenumberingWindow window(a, Start, End);
        window.show();
        auto *procedi = window.findChild<QPushButton *>(u"cmdOK"_s);
        QTest::mouseClick(procedi, Qt::LeftButton);
        QVERIFY(window.isVisible());
        QVERIFY(!procedi->isEnabled());
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.shown.first().startsWith(
            u"Ricalcolo non riuscito: i progressivi non sono stati modificati. L'archivio ha "
            u"rifiutato"_s));
    }

    void offersRenumberingOnlyWhenNeeded()
    {
        TestArchive a;
        chart(a);
        FiscalEnvironment environment(a);
        environment.setWorkingDate(QDate(2024, 6, 1));
        QVERIFY(environment.refresh());
        entry(a, QDate(2024, 4, 1), 1);
        ScriptedMessages messages;
        RenumberingWindow::checkNumbering(nullptr, environment);
        QVERIFY(messages.shown.isEmpty());

        entry(a, QDate(2024, 3, 1), 2);
        messages.answers = {false};
        RenumberingWindow::checkNumbering(nullptr, environment);
        QCOMPARE(messages.shown,
                 QStringList{u"I progressivi non sono allineati: effettuare un ricalcolo?"_s});
        QCOMPARE(numbers(a), (QVariantList{1, 2}));
    }
};

QTEST_MAIN(TestRenumbering)
#include "tst_renumbering.moc"
