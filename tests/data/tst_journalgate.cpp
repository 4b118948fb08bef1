#include "data/Database.h"
#include "data/JournalGate.h"
#include "data/MonthlyTotals.h"
#include "data/Renumbering.h"
#include "support/TestArchive.h"

#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

const FiscalYear Year{QDate(2024, 1, 1), QDate(2024, 12, 31), {}};
const QString Locked =
    u"L'archivio è in uso da un altro utente. Riprovare tra qualche istante.\n"_s;

struct Accounts {
    qint64 cassa, quote, beni, terzi, banca;
};

Accounts chartOf(TestArchive &a)
{
    const qint64 liq =
        a.addConto(a.addMastro(u"A01"_s, u"Liquidità"_s, 1), u"A01001"_s, u"Cassa"_s);
    const qint64 ric = a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s);
    const qint64 ord = a.addConto(a.addMastro(u"O01"_s, u"Ordine"_s, 0), u"O01001"_s, u"Beni"_s);
    return {a.addSottoconto(liq, u"Cassa"_s), a.addSottoconto(ric, u"Quote"_s),
            a.addSottoconto(ord, u"Beni in comodato"_s), a.addSottoconto(ord, u"Terzi"_s),
            a.addSottoconto(liq, u"Banca"_s)};
}

EntryRow debit(qint64 account, qint64 cents)
{
    return {0, account, QVariant(), Money::fromCents(cents), u"riga"_s};
}

EntryRow credit(qint64 account, qint64 cents)
{
    return {0, QVariant(), account, Money::fromCents(cents), u"riga"_s};
}

JournalEntry entryOf(const QList<EntryRow> &rows)
{
    return {{0, QDate(2024, 5, 1), {}, EntryKind::Ordinary, {}}, rows};
}

int count(const TestArchive &a, const QString &table)
{
    return a.scalar(u"SELECT COUNT(*) FROM "_s + table).toInt();
}

} // namespace

class TestJournalGate : public QObject {
    Q_OBJECT

private slots:
    void refusesAnEntryThatBreaksARule_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("no rows") << 0 << u"Nessuna riga di dettaglio."_s;
        QTest::newRow("unbalanced") << 1 << u"Sbilancio nella registrazione"_s;
        QTest::newRow("memorandum against ordinary")
            << 2
            << u"Non è possibile inserire Conti d'Ordine e Conti convenzionali nella stessa "
               u"registrazione."_s;
        QTest::newRow("fraction of a cent")
            << 3 << u"Riga 1: importo con frazioni di centesimo: 0,005."_s;
        QTest::newRow("same sub-account on both sides")
            << 4 << u"Riga 1: lo stesso sottoconto in dare e in avere non muove nulla."_s;
        QTest::newRow("zero") << 5 << u"Riga 1: importo zero: una riga deve muovere un importo."_s;
        QTest::newRow("text longer than the exports write")
            << 6 << u"Riga 1: descrizione più lunga di 255 caratteri."_s;
    }
    void refusesAnEntryThatBreaksARule()
    {
        QFETCH(int, kind);
        QFETCH(QString, message);
        TestArchive a;
        const Accounts c = chartOf(a);
        EntryRow halfCent = debit(c.cassa, 0);
        halfCent.importo = Money::fromUnits(50);
        EntryRow halfCentCredit = credit(c.quote, 0);
        halfCentCredit.importo = halfCent.importo;
        EntryRow itself = debit(c.cassa, 100);
        itself.contoavere = c.cassa;
        EntryRow longText = debit(c.cassa, 100);
        longText.descrizione = QString(256, u'x');
        const QList<QList<EntryRow>> rows{{},
                                          {debit(c.cassa, 100), credit(c.quote, 99)},
                                          {debit(c.beni, 100), credit(c.quote, 100)},
                                          {halfCent, halfCentCredit},
                                          {itself},
                                          {debit(c.cassa, 0), credit(c.quote, 0)},
                                          {longText, credit(c.quote, 100)}};
        JournalEntry entry = entryOf(rows.at(kind));
        const JournalEntry before = entry;
        QString error;
        QVERIFY(!writeEntry(a.archive(), entry, Year, &error));
        QCOMPARE(error, message);
        QCOMPARE(entry, before);
        QCOMPARE(count(a, u"regmain"_s), 0);
    }

    void refusesToChangeAStoredEntryIntoAnUnbalancedOne()
    {
        TestArchive a;
        const Accounts c = chartOf(a);
        const Archive archive = a.archive();
        JournalEntry entry = entryOf({debit(c.cassa, 100), credit(c.quote, 100)});
        QString error;
        QVERIFY2(writeEntry(archive, entry, Year, &error), qPrintable(error));
        entry.rows[0].importo = Money::fromCents(150);
        QVERIFY(!writeEntry(archive, entry, Year, &error));
        QCOMPARE(a.scalar(u"SELECT SUM(importo) FROM regdet"_s).toLongLong(), 200 * 100);
    }

    // Two users open the same entry; the second to save had read a version the first replaced.
    void aChangeOverAnotherUsersSaveIsRefused()
    {
        TestArchive a;
        const Accounts c = chartOf(a);
        const Archive archive = a.archive();
        JournalEntry stored = entryOf({debit(c.cassa, 11984), credit(c.quote, 11984)});
        QString error;
        QVERIFY2(writeEntry(archive, stored, Year, &error), qPrintable(error));
        JournalEntry first = stored;
        JournalEntry second = stored;
        second.rows.last() = {0, QVariant(), c.banca, Money::fromCents(11984), u"altra"_s};
        QVERIFY2(writeEntry(archive, second, Year, &error), qPrintable(error));
        QCOMPARE(second.header.version, stored.header.version + 1);

        first.rows.first().descrizione = u"testo cambiato"_s;
        GateFailure kind = GateFailure::None;
        QVERIFY(!writeEntry(archive, first, Year, &error, &kind));
        QCOMPARE(kind, GateFailure::ChangedByOther);
        QCOMPARE(error, changedByOtherMessage());
        QVERIFY(!removeEntry(archive, stored.header.id, stored.header.version, &error, &kind));
        QCOMPARE(kind, GateFailure::ChangedByOther);
        const Connection connection(archive);
        QCOMPARE(JournalGate(connection).read(stored.header.id, &error), second);
        QCOMPARE(a.scalar(u"SELECT SUM(CASE WHEN contodare IS NULL THEN -importo ELSE importo END) "
                          u"FROM regdet"_s)
                     .toLongLong(),
                 0);
        QVERIFY(removeEntry(archive, stored.header.id, second.header.version, &error, &kind));
    }

    // Every total the archive keeps stays an exact integer: amounts that would take it beyond
    // are refused, never stored as an approximation.
    void refusesAmountsBeyondWhatTheTotalsHold()
    {
        TestArchive a;
        const Accounts c = chartOf(a);
        const Archive archive = a.archive();
        const Money half = Money::fromUnits(ArchiveAmountLimit.units() / 4);
        const auto entryOfAmount = [&](Money amount) {
            return entryOf(
                {{0, c.cassa, {}, amount, u"riga"_s}, {0, {}, c.quote, amount, u"riga"_s}});
        };
        QString error;
        JournalEntry first = entryOfAmount(half);
        QVERIFY2(writeEntry(archive, first, Year, &error), qPrintable(error));
        JournalEntry second = entryOfAmount(half);
        QVERIFY2(writeEntry(archive, second, Year, &error), qPrintable(error));
        JournalEntry third = entryOfAmount(Money::fromCents(1));
        GateFailure kind = GateFailure::None;
        QVERIFY(!writeEntry(archive, third, Year, &error, &kind));
        QCOMPARE(kind, GateFailure::Refused);
        QVERIFY2(error.startsWith(u"Importi troppo grandi"_s), qPrintable(error));
        QCOMPARE(count(a, u"regmain"_s), 2);
    }

    void writesSeveralEntriesAllOrNone()
    {
        TestArchive a;
        const Accounts c = chartOf(a);
        const Archive archive = a.archive();
        const auto writeTwo = [&](bool keep) {
            return inTransaction(archive, [&](const Connection &connection, QString *failure) {
                JournalGate gate(connection);
                JournalEntry first = entryOf({debit(c.cassa, 100), credit(c.quote, 100)});
                JournalEntry second = entryOf({debit(c.beni, 5), credit(c.terzi, 5)});
                return gate.write(first, FiscalYear(), failure) &&
                       gate.write(second, FiscalYear(), failure) && keep;
            });
        };
        QVERIFY(!writeTwo(false));
        QCOMPARE(count(a, u"regmain"_s), 0);
        QCOMPARE(count(a, u"regdet"_s), 0);
        QVERIFY(writeTwo(true));
        QCOMPARE(count(a, u"regmain"_s), 2);
        // Without a year to number in, the entries wait for a renumbering.
        QCOMPARE(count(a, u"regmain WHERE progressivo IS NULL"_s), 2);
    }

    void deletesEntriesAndHeadersLeftWithoutRows()
    {
        TestArchive a;
        const Accounts c = chartOf(a);
        const Archive archive = a.archive();
        const qint64 kept =
            a.addEntry(QDate(2024, 2, 1), {{c.cassa, c.quote, Money::fromCents(1), u"x"_s}});
        const qint64 gone =
            a.addEntry(QDate(2024, 3, 1), {{c.cassa, c.quote, Money::fromCents(2), u"y"_s}});
        const qint64 orphan =
            a.addEntry(QDate(2019, 3, 1), {{c.cassa, c.quote, Money::fromCents(3), u"z"_s}});
        a.exec(u"DELETE FROM regdet WHERE idRegMain = ?"_s, {orphan});
        QString error;
        QVERIFY(removeEntry(archive, gone, std::nullopt, &error));
        QVERIFY(!removeEntry(archive, gone, std::nullopt, &error));
        QVERIFY(error.contains(u"eliminata da un altro utente"_s));
        QVERIFY(inTransaction(archive, [](const Connection &connection, QString *failure) {
            return JournalGate(connection)
                .removeHeadersWithoutRows(QDate(2019, 1, 1), QDate(2024, 12, 31), failure);
        }));
        QCOMPARE(a.scalar(u"SELECT MIN(id) FROM regmain"_s).toLongLong(), kept);
        QCOMPARE(count(a, u"regmain"_s), 1);
        QCOMPARE(count(a, u"regdet"_s), 1);
    }

    // Another user holds the write lock for longer than the busy timeout: every write is refused
    // with the Italian explanation before it reads anything, and nothing is written.
    // One gate writing many entries reads a year's last number and closing once: what it writes
    // or deletes itself must still count.
    void aLongRunSeesItsOwnChanges()
    {
        TestArchive a;
        const Accounts acc = chartOf(a);
        Connection connection(a.archive());
        Transaction transaction(connection);
        JournalGate gate(connection);
        QString error;
        JournalEntry first = entryOf({debit(acc.cassa, 100), credit(acc.quote, 100)});
        JournalEntry second = first;
        QVERIFY(gate.write(first, Year, &error) && gate.write(second, Year, &error));
        QCOMPARE(second.header.progressivo.toInt(), 2);
        QVERIFY(gate.remove(second.header.id, &error));
        JournalEntry third = entryOf({debit(acc.cassa, 100), credit(acc.quote, 100)});
        QVERIFY(gate.write(third, Year, &error));
        QCOMPARE(third.header.progressivo.toInt(), 2);

        JournalEntry closing = entryOf({debit(acc.quote, 100), credit(acc.cassa, 100)});
        closing.header.kind = EntryKind::Closing;
        closing.header.data = Year.end;
        QVERIFY(gate.write(closing, Year, &error));
        JournalEntry late = entryOf({debit(acc.cassa, 100), credit(acc.quote, 100)});
        QVERIFY(!gate.write(late, Year, &error));
        QCOMPARE(gate.lastFailure(), GateFailure::Refused);
        QVERIFY2(error.contains(u"chiuso"_s), qPrintable(error));
    }

    // Many new entries go in together as they would one by one: numbered in order, the
    // monthly totals kept, and an entry after a closing of its year refused by its index.
    void writesManyNewEntriesTogetherAsOneByOne()
    {
        TestArchive a;
        const Accounts acc = chartOf(a);
        Connection connection(a.archive());
        Transaction transaction(connection);
        JournalGate gate(connection);
        QString error;
        JournalEntry closing = entryOf({debit(acc.quote, 300), credit(acc.cassa, 300)});
        closing.header.kind = EntryKind::Closing;
        closing.header.data = Year.end;
        QList<JournalEntry> entries{entryOf({debit(acc.cassa, 100), credit(acc.quote, 100)}),
                                    entryOf({debit(acc.cassa, 200), credit(acc.quote, 200),
                                             debit(acc.beni, 5), credit(acc.terzi, 5)}),
                                    closing,
                                    entryOf({debit(acc.cassa, 100), credit(acc.quote, 100)})};
        QCOMPARE(gate.writeNew(entries, QList<FiscalYear>(4, Year), &error), qsizetype(3));
        QCOMPARE(gate.lastFailure(), GateFailure::Refused);
        QVERIFY2(error.contains(u"chiuso"_s), qPrintable(error));
        entries.removeLast();
        QVERIFY(entries[0].header.id < entries[1].header.id &&
                entries[1].header.id < entries[2].header.id);
        QCOMPARE(entries[2].header.progressivo.toInt(), 3);
        QVERIFY(transaction.commit(&error));
        QCOMPARE(count(a, u"regdet"_s), 8);
        QCOMPARE(a.scalar(u"SELECT dare FROM saldi_mese WHERE conto = ? AND mese = '2024-05'"_s,
                          {acc.cassa})
                     .toLongLong(),
                 Money::fromCents(300).units());
        QVERIFY(monthlyTotalsAgree(connection.database(), &error).value_or(false));
    }

    void waitsForTheWriteLockThenGivesUp_data()
    {
        QTest::addColumn<int>("operation");
        QTest::newRow("write") << 0;
        QTest::newRow("delete") << 1;
        QTest::newRow("renumber") << 2;
    }
    void waitsForTheWriteLockThenGivesUp()
    {
        SKIP_ON_SERVER();
        QFETCH(int, operation);
        TestArchive a;
        const Accounts c = chartOf(a);
        const Archive archive = a.archive();
        const qint64 stored =
            a.addEntry(QDate(2024, 2, 1), {{c.cassa, c.quote, Money::fromCents(1), u"x"_s}}, 0, 9);
        setBusyTimeout(100);
        const std::function<bool(QString *)> operations[] = {
            [&](QString *error) {
                JournalEntry entry = entryOf({debit(c.cassa, 100), credit(c.quote, 100)});
                return writeEntry(archive, entry, Year, error);
            },
            [&](QString *error) { return removeEntry(archive, stored, std::nullopt, error); },
            [&](QString *error) { return renumber(archive, {Year}, error); },
        };
        {
            Connection other(archive);
            QSqlQuery hold = other.query();
            QVERIFY(hold.exec(u"BEGIN IMMEDIATE"_s));
            QString error;
            QVERIFY(!operations[operation](&error));
            QVERIFY2(error.startsWith(Locked), qPrintable(error));
            QVERIFY(error.size() > Locked.size());
            QVERIFY(hold.exec(u"ROLLBACK"_s));
        }
        QCOMPARE(a.scalar(u"SELECT COUNT(*) || ' ' || MIN(id || ':' || progressivo) FROM regmain"_s)
                     .toString(),
                 u"1 %1:9"_s.arg(stored));
        QString error;
        QVERIFY2(operations[operation](&error), qPrintable(error));
        setBusyTimeout(5000);
    }
};

QTEST_GUILESS_MAIN(TestJournalGate)
#include "tst_journalgate.moc"
