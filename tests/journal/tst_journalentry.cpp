#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "journal/EntryEditing.h"
#include "journal/EntryFile.h"
#include "journal/EntryRowGrid.h"
#include "support/TestArchive.h"

#include <QTest>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QDate YearStart(2024, 1, 1);
const QDate YearEnd(2024, 12, 31);

EntryRow debit(qint64 account, qint64 cents, const QString &text = u"riga"_s)
{
    return {0, account, QVariant(), Money::fromCents(cents), text};
}

EntryRow credit(qint64 account, qint64 cents, const QString &text = u"riga"_s)
{
    return {0, QVariant(), account, Money::fromCents(cents), text};
}

} // namespace

class TestJournalEntry : public QObject {
    Q_OBJECT

    qint64 cassa = 0, banca = 0, quote = 0, beni = 0, terzi = 0;

    void chart(TestArchive &a)
    {
        const qint64 liq =
            a.addConto(a.addMastro(u"A01"_s, u"Liquidità"_s, 1), u"A01001"_s, u"Cassa e banche"_s);
        cassa = a.addSottoconto(liq, u"Cassa"_s);
        banca = a.addSottoconto(liq, u"Banca"_s);
        quote = a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s),
            u"Quote"_s);
        const qint64 ordine =
            a.addConto(a.addMastro(u"O01"_s, u"Conti d'ordine"_s, 0), u"O01001"_s, u"Beni"_s);
        beni = a.addSottoconto(ordine, u"Beni in comodato"_s);
        terzi = a.addSottoconto(ordine, u"Terzi per beni in comodato"_s);
    }

    QStringList storedRows(const TestArchive &a, qint64 entry)
    {
        Connection c(a.archive());
        QSqlQuery q = c.query();
        runSql(q,
               u"SELECT riga, importo, descrizione FROM regdet WHERE idRegMain = ? ORDER BY riga"_s,
               {entry});
        QStringList rows;
        while (q.next())
            rows.append(u"%1:%2:%3"_s.arg(q.value(0).toString(), q.value(1).toString(),
                                          q.value(2).toString()));
        return rows;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void checksTheEntryBeforeSaving()
    {
        TestArchive a;
        chart(a);
        QString error;
        QCOMPARE(validateEntry(a, {}, &error), u"Nessuna riga di dettaglio."_s);
        QCOMPARE(validateEntry(a, {debit(cassa, 100), credit(quote, 90)}, &error),
                 u"Sbilancio nella registrazione"_s);
        QCOMPARE(validateEntry(a, {debit(cassa, 100), credit(quote, 100)}, &error), QString());
        // Rows with both sides balance themselves whatever the amounts.
        QCOMPARE(validateEntry(a,
                               {{0, cassa, banca, Money::fromCents(100), u"a"_s},
                                {0, banca, quote, Money::fromCents(7), u"b"_s}},
                               &error),
                 QString());
        const QString mixed =
            u"Non è possibile inserire Conti d'Ordine e Conti convenzionali nella stessa registrazione."_s;
        QCOMPARE(validateEntry(a, {debit(beni, 100), credit(terzi, 100)}, &error), QString());
        QCOMPARE(validateEntry(a, {debit(beni, 100), credit(cassa, 100)}, &error), mixed);
        QCOMPARE(validateEntry(
                     a, {debit(beni, 100), credit(terzi, 100), debit(cassa, 5), credit(quote, 5)},
                     &error),
                 QString());
        QVERIFY(error.isEmpty());
    }

    void keepsTwoArchivesApart()
    {
        TestArchive a;
        TestArchive b;
        chart(a);
        chart(b);
        QVERIFY(writeParameter(b, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 7));
        JournalEntry entry{{0, QDate(2024, 5, 1), {}, EntryKind::Ordinary, {}},
                           {debit(cassa, 100), credit(quote, 100)}};
        QString error;
        QVERIFY2(saveEntry(a, entry, YearStart, YearEnd, &error), qPrintable(error));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regdet"_s).toInt(), 2);
        QCOMPARE(b.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 0);
        QVERIFY(loadEntry(a, entry.header.id, &error));
        QVERIFY(!loadEntry(b, entry.header.id, &error));

        FiscalEnvironment first(a);
        FiscalEnvironment second(b);
        for (FiscalEnvironment *environment : {&first, &second}) {
            environment->setWorkingDate(QDate(2024, 8, 1));
            QVERIFY2(environment->refresh(&error), qPrintable(error));
        }
        QCOMPARE(first.yearStart(), QDate(2024, 1, 1));
        QCOMPARE(second.yearStart(), QDate(2024, 7, 1));
        QCOMPARE(first.lastEntryDateText(), u"01/05/2024"_s);
        QCOMPARE(second.lastEntryDateText(), u"N/D"_s);
    }

    void checksEachRow()
    {
        QCOMPARE(validateRow({0, {}, {}, Money::fromCents(100), u"x"_s}),
                 u"Inserire almeno un conto."_s);
        QCOMPARE(validateRow({0, 1, {}, Money(), u"x"_s}),
                 u"Inserire un importo diverso da zero."_s);
        QCOMPARE(validateRow({0, 1, {}, Money::fromCents(1), u"   "_s}),
                 u"Inserire una descrizione."_s);
        QCOMPARE(validateRow({0, {}, 2, Money::fromCents(-1), u"storno"_s}), QString());
    }

    void readsAmountsAndShowsTheImbalance()
    {
        QCOMPARE(parseAmount(u"12,3456"_s), Money::fromCents(1235));
        QCOMPARE(parseAmount(u"1.000,005"_s), Money::fromCents(100000));
        QVERIFY(!parseAmount(u"dodici"_s));
        QCOMPARE(EntryRowGrid::imbalanceText(Money::fromCents(10000)), u"Sbilancio = +100,00 "_s);
        QCOMPARE(EntryRowGrid::imbalanceText(Money::fromCents(-123456)),
                 u"Sbilancio = -1.234,56 "_s);
        QCOMPARE(EntryRowGrid::imbalanceText(Money()), QString());
        QCOMPARE(
            imbalanceOf({debit(1, 100), credit(2, 30), {0, 1, 2, Money::fromCents(999), u"x"_s}}),
            Money::fromCents(70));
    }

    void numbersNewEntriesAndKeepsTheNumberOnEdit()
    {
        TestArchive a;
        chart(a);
        JournalEntry first{{0, QDate(2024, 5, 1), {}, EntryKind::Ordinary, {}},
                           {debit(cassa, 100), credit(quote, 100)}};
        QString error;
        QVERIFY2(saveEntry(a, first, YearStart, YearEnd, &error), qPrintable(error));
        QCOMPARE(first.header.progressivo.toInt(), 1);
        QVERIFY(first.header.id > 0);
        QVERIFY(first.rows.at(0).id > 0);

        a.addEntry(QDate(2023, 12, 31), {{cassa, quote, Money::fromCents(1), u"x"_s}}, 0,
                   40); // another year
        JournalEntry earlier{{0, QDate(2024, 2, 1), {}, EntryKind::Ordinary, {}},
                             {debit(banca, 50), credit(quote, 50)}};
        QVERIFY(saveEntry(a, earlier, YearStart, YearEnd, &error));
        QCOMPARE(earlier.header.progressivo.toInt(), 2);

        first.header.data = QDate(2024, 1, 15);
        first.header.kind = EntryKind::Opening;
        first.rows[1].importo = Money::fromCents(60);
        first.rows.removeFirst();
        first.rows.append(debit(banca, 60, u"nuova"_s));
        QVERIFY(saveEntry(a, first, YearStart, YearEnd, &error));
        QCOMPARE(
            a.scalar(u"SELECT progressivo FROM regmain WHERE id = ?"_s, {first.header.id}).toInt(),
            1);
        QCOMPARE(a.scalar(u"SELECT tipo FROM regmain WHERE id = ?"_s, {first.header.id}).toInt(),
                 1);
        QCOMPARE(storedRows(a, first.header.id),
                 (QStringList{u"10:6000:riga"_s, u"20:6000:nuova"_s}));
        QCOMPARE(loadEntry(a, first.header.id, &error), first);
    }

    void numbersRowsInGridOrder()
    {
        TestArchive a;
        chart(a);
        JournalEntry entry{{0, QDate(2024, 5, 1), {}, EntryKind::Ordinary, {}},
                           {debit(cassa, 30, u"d"_s), credit(quote, 10, u"a"_s),
                            credit(quote, 10, u"b"_s), credit(quote, 10, u"c"_s)}};
        QString error;
        QVERIFY(saveEntry(a, entry, YearStart, YearEnd, &error));
        QCOMPARE(storedRows(a, entry.header.id),
                 (QStringList{u"10:3000:d"_s, u"20:1000:a"_s, u"30:1000:b"_s, u"40:1000:c"_s}));
        std::swap(entry.rows[0], entry.rows[3]);
        QVERIFY(saveEntry(a, entry, YearStart, YearEnd, &error));
        QCOMPARE(storedRows(a, entry.header.id),
                 (QStringList{u"10:1000:c"_s, u"20:1000:a"_s, u"30:1000:b"_s, u"40:3000:d"_s}));
    }

    // Two users post entries of two years in opposite order, at once: neither waits for the
    // other's year forever, and every entry is numbered once.
    void postsOfSeveralYearsNeverDeadlock()
    {
        TestArchive a;
        chart(a);
        const auto entryOn = [this](const QDate &date) {
            return JournalEntry{{0, date, {}, EntryKind::Ordinary, {}},
                                {{0, cassa, quote, Money::fromCents(100), u"Quota"_s}}};
        };
        for (int round = 0; round < 5; ++round) {
            QList<JournalEntry> posts[2] = {
                {entryOn(QDate(2025, 3, 1)), entryOn(QDate(2026, 3, 1))},
                {entryOn(QDate(2026, 3, 2)), entryOn(QDate(2025, 3, 2))}};
            bool posted[2] = {false, false};
            QString errors[2];
            const auto run = [&](int user) {
                posted[user] = postEntries(a.archive(), posts[user], false, &errors[user]);
            };
            std::thread first(run, 0);
            std::thread second(run, 1);
            first.join();
            second.join();
            QVERIFY2(posted[0] && posted[1], qPrintable(errors[0] + errors[1]));
        }
        QCOMPARE(a.scalar(u"SELECT COUNT(DISTINCT progressivo) FROM regmain "
                          u"WHERE data BETWEEN '2025-01-01' AND '2025-12-31'"_s)
                     .toInt(),
                 10);
    }

    void keepsEverythingWhenASaveFails()
    {
        // The failure is injected with a trigger in SQLite's own syntax.
        SKIP_ON_SERVER();
        TestArchive a;
        chart(a);
        JournalEntry entry{{0, QDate(2024, 5, 1), {}, EntryKind::Ordinary, {}},
                           {debit(cassa, 100), credit(quote, 100)}};
        QString error;
        QVERIFY(saveEntry(a, entry, YearStart, YearEnd, &error));
        const JournalEntry before = entry;

        a.exec(u"CREATE TRIGGER blocca BEFORE INSERT ON regdet WHEN NEW.descrizione = 'rifiutata' "
               u"BEGIN SELECT RAISE(ABORT, 'riga rifiutata'); END"_s);
        entry.rows[0].importo = Money::fromCents(1);
        entry.rows.append(debit(cassa, 99, u"rifiutata"_s));
        const JournalEntry attempted = entry;
        QVERIFY(!saveEntry(a, entry, YearStart, YearEnd, &error));
        QVERIFY(error.contains(u"riga rifiutata"_s));
        QCOMPARE(entry, attempted);
        QCOMPARE(loadEntry(a, entry.header.id, &error), before);

        a.exec(u"DELETE FROM regmain WHERE id = ?"_s, {entry.header.id});
        entry.rows.last().descrizione = u"accettata"_s; // balanced, and past the trigger
        QVERIFY(!saveEntry(a, entry, YearStart, YearEnd, &error));
        QVERIFY(error.contains(u"eliminata da un altro utente"_s));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regdet"_s).toInt(), 0);
        QVERIFY(!deleteEntry(a, entry.header, &error));
        QVERIFY(!loadEntry(a, entry.header.id, &error));
    }

    void refusesToSaveAnUncheckedUnbalancedEntry()
    {
        TestArchive a;
        chart(a);
        JournalEntry entry{{0, QDate(2024, 5, 1), {}, EntryKind::Ordinary, {}},
                           {debit(cassa, 100), credit(quote, 90)}};
        QString error;
        QVERIFY(!saveEntry(a, entry, YearStart, YearEnd, &error));
        QCOMPARE(error, u"Sbilancio nella registrazione"_s);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 0);
    }

    void copiesAModelEntry()
    {
        TestArchive a;
        chart(a);
        const qint64 model = a.addEntry(QDate(2024, 3, 1),
                                        {{cassa, {}, Money::fromCents(150), u"Quota Rossi"_s},
                                         {{}, quote, Money::fromCents(150), u"Quota Rossi"_s}},
                                        1, 7);
        a.exec(u"UPDATE regmain SET attached = 'x.pdf' WHERE id = ?"_s, {model});
        QString error;
        const std::optional<JournalEntry> copy = newEntry(a, model, QDate(2024, 6, 30), &error);
        QVERIFY(copy);
        QCOMPARE(copy->header, (EntryHeader{0, QDate(2024, 6, 30), {}, EntryKind::Ordinary, {}}));
        QCOMPARE(copy->rows, (QList<EntryRow>{debit(cassa, 150, u"Quota Rossi"_s),
                                              credit(quote, 150, u"Quota Rossi"_s)}));
        QCOMPARE(newEntry(a, 0, QDate(2024, 6, 30), &error)->rows.size(), 0);
    }

    void deletesAnEntryWithItsRows()
    {
        TestArchive a;
        chart(a);
        const qint64 id =
            a.addEntry(QDate(2024, 3, 1), {{cassa, quote, Money::fromCents(1), u"x"_s}});
        QString error;
        QVERIFY(deleteEntry(a, loadEntry(a, id, &error)->header, &error));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regdet"_s).toInt(), 0);
    }

    void namesAttachments()
    {
        const QDateTime moment(QDate(2024, 3, 5), QTime(14, 7, 9, 375));
        QCOMPARE(attachmentName(moment, u"/home/tesoriere/Fattura 12.PDF"_s),
                 u"2024030514070937.PDF"_s);
        QCOMPARE(attachmentName(moment, u"ricevuta"_s), u"2024030514070937"_s);
    }
};

QTEST_GUILESS_MAIN(TestJournalEntry)
#include "tst_journalentry.moc"
