#include "data/ArchiveStartup.h"
#include "data/FinalPrints.h"
#include "data/JournalGate.h"
#include "data/Renumbering.h"
#include "data/SqlText.h"
#include "reports/FinalJournalPrint.h"
#include "settings/ArchiveTables.h"
#include "support/PdfText.h"
#include "support/TestArchive.h"
#include "yearend/YearEnd.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const FiscalYear Year2024{QDate(2024, 1, 1), QDate(2024, 12, 31), u"2024"_s};
const FiscalYear Year2025{QDate(2025, 1, 1), QDate(2025, 12, 31), u"2025"_s};

// A year of entries: on the 10th of every month, cash receives a fee of (month * 10) euros and
// pays (month) euros to the bank, so every quarter has its own totals; on 20 February forty
// small fees of one cent make the first quarter run over two pages.
struct Journal {
    TestArchive archive;
    QTemporaryDir out;
    qint64 cassa = 0, banca = 0, quote = 0;

    Journal()
    {
        const qint64 liquid = archive.addConto(archive.addMastro(u"A01"_s, u"Liquidità"_s, 1),
                                               u"A01001"_s, u"Cassa e banche"_s);
        cassa = archive.addSottoconto(liquid, u"Cassa"_s);
        banca = archive.addSottoconto(liquid, u"Banca"_s);
        quote =
            archive.addSottoconto(archive.addConto(archive.addMastro(u"R01"_s, u"Proventi"_s, 4),
                                                   u"R01001"_s, u"Quote"_s),
                                  u"Quote associative"_s);
        int number = 0;
        for (int month = 1; month <= 12; ++month) {
            move(QDate(2024, month, 10), ++number, cassa, quote, month * 1000, u"Quote"_s);
            move(QDate(2024, month, 10), ++number, banca, cassa, month * 100, u"Versamento"_s);
            for (int small = 0; month == 2 && small < 40; ++small)
                move(QDate(2024, 2, 20), ++number, cassa, quote, 1, u"Offerta"_s);
        }
    }

    qint64 move(const QDate &date, int number, qint64 debit, qint64 credit, qint64 cents,
                const QString &text)
    {
        return archive.addEntry(date,
                                {{debit, QVariant(), Money::fromCents(cents), text},
                                 {QVariant(), credit, Money::fromCents(cents), text}},
                                0, number);
    }

    qint64 entryOn(const QDate &date) const
    {
        return archive.scalar(u"SELECT MIN(id) FROM regmain WHERE data = ?"_s, {isoDate(date)})
            .toLongLong();
    }

    std::optional<FinalJournalPrint> prepare(const FiscalYear &year, const QDate &to,
                                             QString *error) const
    {
        const Connection connection(archive.archive(), Connection::Mode::ReadOnly);
        return prepareFinalPrint(connection, year, to, OrganisationLines{}, error);
    }

    // A final print to a PDF file; fails the test when it is not recorded.
    FinalPrint printTo(const QDate &to, const QString &fileName,
                       const FiscalYear &year = Year2024) const
    {
        QString error;
        const std::optional<FinalJournalPrint> run = prepare(year, to, &error);
        if (!run)
            qFatal("%s", qPrintable(error));
        const Connection connection(archive.archive(), Connection::Mode::ReadOnly);
        ReportDocument document;
        if (!layOutJournalBook(connection.database(), run->options, &document, &error))
            qFatal("%s", qPrintable(error));
        const std::optional<FinalPrint> recorded =
            writeFinalJournalPdf(archive, *run, document, out.filePath(fileName), &error);
        if (!recorded)
            qFatal("%s", qPrintable(error));
        return *recorded;
    }

    QList<FinalPrint> prints(const FiscalYear &year = Year2024) const
    {
        const Connection connection(archive.archive(), Connection::Mode::ReadOnly);
        return finalPrintsOf(connection.database(), year, nullptr).value_or(QList<FinalPrint>());
    }

    // Changes the amount of an entry through the gate; the refusal, empty when written.
    QString retype(qint64 id) const
    {
        QString error;
        const bool ok = inTransaction(
            archive,
            [&](const Connection &connection, QString *fail) {
                QSqlQuery query = connection.query();
                runSql(query, u"SELECT data FROM regmain WHERE id = ?"_s, {id});
                query.next();
                JournalEntry entry;
                entry.header.id = id;
                entry.header.data = dateFromIso(query.value(0).toString());
                entry.rows = {{0, cassa, QVariant(), Money::fromCents(1), u"x"_s},
                              {0, QVariant(), quote, Money::fromCents(1), u"x"_s}};
                return JournalGate(connection).write(entry, FiscalYear(), fail);
            },
            &error);
        return ok ? QString() : error;
    }
};

Money euros(qint64 cents)
{
    return Money::fromCents(cents);
}

} // namespace

class TestFinalPrint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void threeRunsContinueSheetsRowsAndTotals()
    {
        Journal journal;
        const FinalPrint first = journal.printTo(QDate(2024, 3, 31), u"q1.pdf"_s);
        const FinalPrint second = journal.printTo(QDate(2024, 6, 30), u"q2.pdf"_s);
        const FinalPrint third = journal.printTo({}, u"rest.pdf"_s);

        QCOMPARE(first.dateFrom, QDate(2024, 1, 1));
        QCOMPARE(first.firstSheet, 1);
        QCOMPARE(first.firstRow, 1);
        QCOMPARE(first.lastRow, 92); // three months of two entries, forty more, two rows each
        QCOMPARE(first.lastSheet, 2);
        // Each run starts the day, sheet and row after the one before, without gap or overlap.
        QCOMPARE(second.dateFrom, QDate(2024, 4, 1));
        QCOMPARE(second.firstSheet, first.lastSheet + 1);
        QCOMPARE(second.firstRow, first.lastRow + 1);
        QCOMPARE(third.dateFrom, QDate(2024, 7, 1));
        QCOMPARE(third.dateTo, QDate(2024, 12, 10)); // the last entry date by default
        QCOMPARE(third.firstSheet, second.lastSheet + 1);
        QCOMPARE(third.firstRow, second.lastRow + 1);
        QCOMPARE(third.lastRow, 128);

        // Q1 fees 10+20+30 euros, deposits 1+2+3 and forty cents: Dare and Avere both 66.40.
        QCOMPARE(first.debit, euros(6640));
        QCOMPARE(first.credit, euros(6640));
        QCOMPARE(second.debit, first.debit + euros((40 + 50 + 60 + 4 + 5 + 6) * 100));
        const Connection connection(journal.archive.archive(), Connection::Mode::ReadOnly);
        const std::optional<PeriodTotals> year =
            periodTotals(connection.database(), Year2024.start, Year2024.end, nullptr);
        QVERIFY(year);
        QCOMPARE(third.debit, year->debit);
        QCOMPARE(third.credit, year->credit);
        QCOMPARE(third.debit, euros(78 * 1100 + 40));
        QCOMPARE(journal.prints(), (QList<FinalPrint>{first, second, third}));

        // The second book opens with the first one's totals carried and continues its sheets
        // and row counter; its last page foot shows its own end totals.
        const QStringList pages = pdfPageTexts(journal.out.filePath(u"q2.pdf"_s));
        QVERIFY(!pages.isEmpty());
        QVERIFY2(pages.first().contains(u"Riporto: 66,40 66,40"_s), qPrintable(pages.first()));
        // The sheet number, then the page number: both continue through the year's book, which
        // says nothing of a test print.
        QVERIFY2(pages.first().contains(u"Foglio nr.: Pagina nr.: 3 3 / 2024"_s),
                 qPrintable(pages.first()));
        QCOMPARE(third.lastPage, third.lastSheet);
        QVERIFY(!pages.first().contains(u"Stampa di prova"_s));
        QVERIFY2(pages.first().contains(u"93 47 10/04/2024"_s), qPrintable(pages.first()));
        QVERIFY(pages.last().contains(u"Totale progressivi: 231,40 231,40"_s));
        const QStringList firstPages = pdfPageTexts(journal.out.filePath(u"q1.pdf"_s));
        QCOMPARE(firstPages.size(), 2);
        QVERIFY(!firstPages.first().contains(u"Riporto"_s));
        QVERIFY(firstPages.last().contains(u"Foglio nr.: Pagina nr.: 2 2 / 2024"_s));
        QVERIFY(firstPages.last().contains(u"Totale progressivi: 66,40 66,40"_s));

        // The hash is the produced file's.
        QString error;
        QCOMPARE(fileSha256(journal.out.filePath(u"q2.pdf"_s), &error), second.hash);
    }

    void aRunThatIsNotWrittenOrChangedMeanwhileRecordsNothing()
    {
        Journal journal;
        QString error;
        const std::optional<FinalJournalPrint> run =
            journal.prepare(Year2024, QDate(2024, 3, 31), &error);
        QVERIFY2(run, qPrintable(error));
        const Connection connection(journal.archive.archive(), Connection::Mode::ReadOnly);
        ReportDocument document;
        QVERIFY(layOutJournalBook(connection.database(), run->options, &document, &error));

        const QString unwritable = journal.out.filePath(u"missing/folder/q1.pdf"_s);
        QVERIFY(!writeFinalJournalPdf(journal.archive, *run, document, unwritable, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(journal.prints().isEmpty());

        // A row's text changed after the layout, totals and count unchanged: the book no longer
        // matches the archive. The file already at the target (an earlier print) survives.
        const QString fileName = journal.out.filePath(u"q1.pdf"_s);
        {
            QFile earlier(fileName);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("stampa precedente");
        }
        journal.archive.exec(u"UPDATE regdet SET descrizione = 'Cambiata' WHERE id = "
                             u"(SELECT MIN(id) FROM regdet)"_s);
        QVERIFY(!writeFinalJournalPdf(journal.archive, *run, document, fileName, &error));
        QVERIFY2(error.contains(u"modificato durante la stampa"_s), qPrintable(error));
        QCOMPARE(QFileInfo(fileName).size(), qint64(17));
        QVERIFY(!QFile::exists(fileName + u".part"_s));
        QVERIFY(journal.prints().isEmpty());
    }

    void preparationRefusesWhatCannotBePrinted()
    {
        Journal journal;
        QString error;
        QVERIFY(!journal.prepare(Year2024, QDate(2025, 1, 5), &error));
        QVERIFY2(error.contains(u"tra il 01/01/2024 e il 31/12/2024"_s), qPrintable(error));
        QVERIFY(!journal.prepare(Year2024, QDate(2024, 1, 9), &error));
        QVERIFY2(error.startsWith(u"Nessuna registrazione"_s), qPrintable(error));
        journal.archive.exec(u"UPDATE regmain SET progressivo = 7 WHERE id = ?"_s,
                             {journal.entryOn(QDate(2024, 2, 10))});
        QVERIFY(!journal.prepare(Year2024, QDate(2024, 3, 31), &error));
        QVERIFY2(error.contains(u"progressivi non sono allineati"_s), qPrintable(error));

        journal.archive.exec(u"UPDATE regmain SET progressivo = 3 WHERE id = ?"_s,
                             {journal.entryOn(QDate(2024, 2, 10))});
        journal.printTo(QDate(2024, 12, 31), u"year.pdf"_s);
        QVERIFY(!journal.prepare(Year2024, {}, &error));
        QVERIFY2(error.contains(u"fino all'ultimo giorno"_s), qPrintable(error));
    }

    void everyWritePathRefusesAPrintedEntry()
    {
        Journal journal;
        journal.printTo(QDate(2024, 3, 31), u"q1.pdf"_s);
        const qint64 march = journal.entryOn(QDate(2024, 3, 10));
        const qint64 april = journal.entryOn(QDate(2024, 4, 10));
        const QString locked = lockedEntryMessage();

        QCOMPARE(journal.retype(march), locked);
        QCOMPARE(journal.retype(april), QString());
        QString error;
        QVERIFY(!removeEntry(journal.archive, march, std::nullopt, &error));
        QCOMPARE(error, locked);
        // Neither a new entry dated in the printed period nor an entry moved into it.
        JournalEntry late;
        late.header.data = QDate(2024, 3, 31);
        late.rows = {{0, journal.cassa, QVariant(), euros(100), u"x"_s},
                     {0, QVariant(), journal.quote, euros(100), u"x"_s}};
        QVERIFY(!writeEntry(journal.archive, late, Year2024, &error));
        QCOMPARE(error, u"Il periodo fino al 31/03/2024 è già stampato in definitiva sul libro "
                        u"giornale: non si possono aggiungere registrazioni con data fino al "
                        u"31/03/2024."_s);
        late.header.data = QDate(2024, 4, 1);
        QVERIFY2(writeEntry(journal.archive, late, Year2024, &error), qPrintable(error));
        late.header.data = QDate(2024, 3, 1);
        QVERIFY(!writeEntry(journal.archive, late, Year2024, &error));

        // Renumbering may number the later entries but never change a printed one.
        QVERIFY2(renumber(journal.archive, {Year2024}, &error), qPrintable(error));
        journal.archive.exec(u"UPDATE regmain SET progressivo = 40 WHERE id = ?"_s, {march});
        QVERIFY(!renumber(journal.archive, {Year2024}, &error));
        QVERIFY2(error.contains(u"già stampate in definitiva"_s), qPrintable(error));
        QCOMPARE(journal.archive.scalar(u"SELECT progressivo FROM regmain WHERE id = ?"_s, {march})
                     .toInt(),
                 40);

        // Table maintenance: headers and rows of printed entries, before or after the change.
        ArchiveTable regmain, regdet;
        QVERIFY(loadArchiveTable(journal.archive, u"regmain"_s, &regmain, &error));
        QVERIFY(loadArchiveTable(journal.archive, u"regdet"_s, &regdet, &error));
        const int dateColumn = int(regmain.fields.indexOf(u"data"_s));
        QVariantList header;
        for (const QVariantList &row : regmain.rows)
            if (row.first().toLongLong() == april)
                header = row;
        QVariantList moved = header;
        moved[dateColumn] = u"2024-03-15"_s;
        QVERIFY(!writeArchiveRow(journal.archive, regmain, regmain.keyOf(header), &moved, &error));
        QVERIFY2(error.endsWith(locked), qPrintable(error));
        QVERIFY(!deleteArchiveRow(journal.archive, regmain, {march}, &error));
        QCOMPARE(error, locked);
        const qint64 marchRow =
            journal.archive.scalar(u"SELECT MIN(id) FROM regdet WHERE idRegMain = ?"_s, {march})
                .toLongLong();
        QVERIFY(!deleteArchiveRow(journal.archive, regdet, {marchRow}, &error));
        QCOMPARE(error, locked);
        QVariantList added(regdet.fields.size());
        added[regdet.fields.indexOf(u"idRegMain"_s)] = march;
        added[regdet.fields.indexOf(u"contodare"_s)] = journal.cassa;
        added[regdet.fields.indexOf(u"importo"_s)] = 100;
        QVERIFY(!writeArchiveRow(journal.archive, regdet, {}, &added, &error));
        QCOMPARE(error, locked);
        QCOMPARE(
            journal.archive.scalar(u"SELECT COUNT(*) FROM regdet WHERE idRegMain = ?"_s, {march})
                .toInt(),
            2);
        // The records themselves are not offered to table maintenance.
        QVERIFY(!archiveTableNames(journal.archive).contains(finalPrintsTable()));
    }

    void yearEndRefusesAPrintedPeriod()
    {
        Journal journal;
        const qint64 equity = journal.archive.addConto(
            journal.archive.addMastro(u"P01"_s, u"Patrimonio"_s, 2), u"P01001"_s, u"Netto"_s);
        YearEndInput input;
        input.closingDate = QDate(2024, 12, 31);
        input.openingDate = QDate(2025, 1, 1);
        input.closingBalance = journal.archive.addSottoconto(equity, u"Bilancio di chiusura"_s);
        input.openingBalance = journal.archive.addSottoconto(equity, u"Bilancio di apertura"_s);
        input.profitAndLoss = journal.archive.addSottoconto(equity, u"Profitti e perdite"_s);
        input.profitOrLoss = journal.archive.addSottoconto(equity, u"Avanzo"_s);
        journal.printTo(QDate(2024, 12, 31), u"year.pdf"_s);
        const YearEndYears years{Year2024.start, Year2024.end, Year2025.start, Year2025.end};
        QString error;
        const std::optional<Money> result = yearResult(journal.archive, years, &error);
        QVERIFY2(result, qPrintable(error));
        const qint64 entries =
            journal.archive.scalar(u"SELECT COUNT(*) FROM regmain"_s).toLongLong();
        QVERIFY(!runYearEnd(journal.archive, input, years, *result, &error));
        QVERIFY2(error.startsWith(u"Il libro giornale è già stampato in definitiva fino al "
                                  u"31/12/2024"_s),
                 qPrintable(error));
        QCOMPARE(journal.archive.scalar(u"SELECT COUNT(*) FROM regmain"_s).toLongLong(), entries);
    }

    void undoUnlocksOnlyTheLastRun()
    {
        Journal journal;
        journal.printTo(QDate(2024, 3, 31), u"q1.pdf"_s);
        const FinalPrint second = journal.printTo(QDate(2024, 6, 30), u"q2.pdf"_s);
        const qint64 march = journal.entryOn(QDate(2024, 3, 10));
        const qint64 may = journal.entryOn(QDate(2024, 5, 10));
        QCOMPARE(journal.retype(may), lockedEntryMessage());

        QString error;
        // Only the run the user confirmed is undone, never one recorded meanwhile.
        QVERIFY(
            !undoLastFinalPrint(journal.archive, Year2024, journal.prints().first().id, &error));
        QVERIFY2(error.contains(u"un'altra stampa definitiva"_s), qPrintable(error));
        QCOMPARE(journal.prints().size(), 2);
        QVERIFY2(undoLastFinalPrint(journal.archive, Year2024, second.id, &error),
                 qPrintable(error));
        QCOMPARE(journal.prints().size(), 1);
        QCOMPARE(journal.retype(may), QString());
        QCOMPARE(journal.retype(march), lockedEntryMessage());
        // The reprint takes the undone run's place, with its changed totals.
        const FinalPrint reprint = journal.printTo(QDate(2024, 6, 30), u"q2bis.pdf"_s);
        QCOMPARE(reprint.firstSheet, second.firstSheet);
        QCOMPARE(reprint.firstRow, second.firstRow);
        QCOMPARE(reprint.debit, second.debit - euros(5000) + euros(1));

        QVERIFY(undoLastFinalPrint(journal.archive, Year2024, reprint.id, &error));
        QVERIFY(undoLastFinalPrint(journal.archive, Year2024, journal.prints().last().id, &error));
        QVERIFY(!undoLastFinalPrint(journal.archive, Year2024, reprint.id, &error));
        QVERIFY(error.startsWith(u"Nessuna stampa definitiva"_s));
        QCOMPARE(journal.retype(march), QString());
    }

    void aPdfLeftUnnamedByACrashIsCompleted()
    {
        Journal journal;
        const FinalPrint first = journal.printTo(QDate(2024, 3, 31), u"q1.pdf"_s);
        const QString file = journal.out.filePath(u"q1.pdf"_s);
        QCOMPARE(first.file, QFileInfo(file).absoluteFilePath());
        // The crash came after the record and before the rename.
        QVERIFY(QFile::rename(file, file + u".part"_s));
        const Connection connection(journal.archive.archive(), Connection::Mode::ReadOnly);
        QString error;
        QCOMPARE(completeFinalPrintFiles(connection.database(), &error), QStringList{first.file});
        QString failure;
        QCOMPARE(fileSha256(file, &failure), first.hash);
        // A run that was never recorded leaves nothing behind.
        {
            QFile stray(file + u".part"_s);
            QVERIFY(stray.open(QIODevice::WriteOnly));
            stray.write("mai registrata");
        }
        QVERIFY(completeFinalPrintFiles(connection.database(), &error).isEmpty());
        QVERIFY(!QFile::exists(file + u".part"_s));
        QCOMPARE(fileSha256(file, &failure), first.hash);
    }

    void aNewFiscalYearStartsAtSheetOne()
    {
        Journal journal;
        journal.printTo(QDate(2024, 12, 31), u"2024.pdf"_s);
        journal.move(QDate(2025, 1, 15), 1, journal.cassa, journal.quote, 5000, u"Quote"_s);
        journal.move(QDate(2025, 2, 15), 2, journal.cassa, journal.quote, 5000, u"Quote"_s);
        QString error;
        const std::optional<FinalJournalPrint> run = journal.prepare(Year2025, {}, &error);
        QVERIFY2(run, qPrintable(error));
        QCOMPARE(run->start.dateFrom, QDate(2025, 1, 1));
        QCOMPARE(run->options.firstSheet, 1);
        QCOMPARE(run->options.firstRow, 1);
        QVERIFY(!run->options.carries);
        QCOMPARE(run->options.yearLabel, u"2025"_s);
        const FinalPrint print = journal.printTo({}, u"2025.pdf"_s, Year2025);
        QCOMPARE(print.dateTo, QDate(2025, 2, 15));
        QCOMPARE(print.debit, euros(10000));
        // The earlier year stays locked, the new one up to its own last print.
        QCOMPARE(journal.retype(journal.entryOn(QDate(2024, 12, 10))), lockedEntryMessage());
        QCOMPARE(journal.prints(Year2024).size(), 1);
    }

    void anOlderArchiveGetsTheTableWhenOpened()
    {
        TestArchive archive;
        archive.exec(u"DROP TABLE stampe_definitive"_s);
        QString error;
        {
            const Connection connection(archive.archive(), Connection::Mode::ReadOnly);
            QVERIFY(!hasFinalPrints(connection.database()));
            // Without the table nothing is locked.
            QCOMPARE(lockedDateRefusal(connection.database(), QDate(2024, 1, 1), &error),
                     QString());
            QVERIFY(error.isEmpty());
        }
        QVERIFY2(openForWriting(archive, &error), qPrintable(error));
        const Connection connection(archive.archive(), Connection::Mode::ReadOnly);
        QVERIFY(hasFinalPrints(connection.database()));
    }
};

QTEST_MAIN(TestFinalPrint)
#include "tst_finalprint.moc"
