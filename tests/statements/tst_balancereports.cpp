#include "data/Database.h"
#include "statements/BalanceJson.h"
#include "statements/BalanceReports.h"
#include "statements/BalanceSections.h"
#include "support/DocumentText.h"
#include "support/GoldenText.h"
#include "support/PdfText.h"
#include "support/TestArchive.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QDate YearStart(2024, 1, 1);
const QDate YearEnd(2024, 12, 31);

// A small chart: one ledger of each nature, one account each, and the sub-accounts the tests
// move.
struct Books {
    TestArchive archive;
    qint64 assetsLedger = 0, liabilitiesLedger = 0, costsLedger = 0, revenuesLedger = 0;
    qint64 cashAccount = 0, capitalAccount = 0, expensesAccount = 0, feesAccount = 0;
    qint64 cassa = 0, banca = 0, capitale = 0, debiti = 0, spese = 0, quote = 0, contributi = 0;

    Books()
    {
        assetsLedger = archive.addMastro(u"101"_s, u"Disponibilità liquide"_s, 1, u"ATTIVO"_s);
        liabilitiesLedger = archive.addMastro(u"201"_s, u"Patrimonio netto"_s, 2);
        costsLedger = archive.addMastro(u"301"_s, u"Costi generali"_s, 3, u""_s);
        revenuesLedger = archive.addMastro(u"401"_s, u"Proventi"_s, 4);
        cashAccount = archive.addConto(assetsLedger, u"101001"_s, u"Liquidità"_s);
        capitalAccount = archive.addConto(liabilitiesLedger, u"201001"_s, u"Fondo"_s);
        expensesAccount = archive.addConto(costsLedger, u"301001"_s, u"Spese"_s);
        feesAccount = archive.addConto(revenuesLedger, u"401001"_s, u"Quote"_s);
        cassa = archive.addSottoconto(cashAccount, u"Cassa"_s);
        banca = archive.addSottoconto(cashAccount, u"Banca"_s);
        capitale = archive.addSottoconto(capitalAccount, u"Fondo di dotazione"_s);
        debiti = archive.addSottoconto(capitalAccount, u"Debiti diversi"_s);
        spese = archive.addSottoconto(expensesAccount, u"Spese varie"_s);
        quote = archive.addSottoconto(feesAccount, u"Quote associative"_s);
        contributi = archive.addSottoconto(feesAccount, u"Contributi"_s);
    }

    void move(const QDate &date, qint64 debit, qint64 credit, qint64 euros, int tipo = 0)
    {
        archive.addEntry(date,
                         {{debit, QVariant(), Money::fromCents(euros * 100), u"mov"_s},
                          {QVariant(), credit, Money::fromCents(euros * 100), u"mov"_s}},
                         tipo);
    }

    Balance balance(const BalanceOptions &options)
    {
        Connection connection(archive.archive(), Connection::Mode::ReadOnly);
        QString error;
        const std::optional<BalanceCaptions> captions =
            readBalanceCaptions(connection.database(), &error);
        std::optional<Balance> computed =
            captions ? computeBalance(connection.database(), options, *captions, &error)
                     : std::nullopt;
        if (!computed)
            qFatal("%s", qPrintable(error));
        return *computed;
    }

    Balance balance(void (*adjust)(BalanceOptions &) = nullptr)
    {
        BalanceOptions options;
        options.dateFrom = YearStart;
        options.dateTo = YearEnd;
        if (adjust)
            adjust(options);
        return balance(options);
    }
};

Money euros(qint64 value)
{
    return Money::fromCents(value * 100);
}

// The sub-account line of that description in the section; null when it is not listed.
const BalanceLine *subAccountLine(const BalanceSection &section, const QString &description)
{
    for (const BalanceLine &line : section.lines)
        if (line.level == BalanceLine::Level::SubAccount && line.description == description)
            return &line;
    return nullptr;
}

int linesAt(const BalanceSection &section, BalanceLine::Level level)
{
    return int(std::count_if(section.lines.begin(), section.lines.end(),
                             [level](const BalanceLine &line) { return line.level == level; }));
}

// Sections (of the four natures) that list the sub-account.
QList<int> sectionsListing(const Balance &balance, const QString &description)
{
    QList<int> natures;
    for (const BalanceSection &section : balance.sections)
        if (subAccountLine(section, description))
            natures << section.nature;
    return natures;
}

QStringList allTextLines(const ReportDocument &document)
{
    QStringList lines;
    for (int page = 0; page < document.pageCount(); ++page)
        lines << document.textLines(page);
    return lines;
}

ReportDocument laidOut(const Balance &balance, BalanceKind kind, bool exporting)
{
    ReportDocument document;
    QString error;
    if (!layOutBalance(balance, kind, exporting, &document, &error))
        qFatal("%s", qPrintable(error));
    return document;
}

QString lineContaining(const QStringList &lines, const QString &text)
{
    for (const QString &line : lines)
        if (line.contains(text))
            return line;
    return {};
}

struct Run {
    int exitCode = -1;
    QString err;
};

Run runCli(const QStringList &arguments)
{
    QProcess process;
    process.start(binDir() + u"/tovrin3-cli"_s, arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class TestBalanceReports : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void balanceSideDecidesTheSectionByBalanceAndNatureByLedger()
    {
        Books books;
        books.move(QDate(2024, 2, 1), books.debiti, books.cassa, 30);
        books.move(QDate(2024, 2, 2), books.cassa, books.capitale, 100);
        books.move(QDate(2024, 3, 1), books.quote, books.banca, 20); // a revenue refunded

        const Balance bySide = books.balance();
        const BalanceLine *debt = subAccountLine(bySide.section(1), u"Debiti diversi"_s);
        QVERIFY(debt);
        QCOMPARE(debt->amount, euros(30));
        QCOMPARE(sectionsListing(bySide, u"Debiti diversi"_s), QList<int>{1});
        QCOMPARE(sectionsListing(bySide, u"Quote associative"_s), QList<int>{3});
        QCOMPARE(subAccountLine(bySide.section(3), u"Quote associative"_s)->amount, euros(20));
        // Cassa 70 debit, Banca 20 credit: the credit balance prints unsigned under liabilities.
        QCOMPARE(subAccountLine(bySide.section(2), u"Banca"_s)->amount, euros(20));
        QCOMPARE(bySide.section(2).total, euros(120));

        const Balance byNature =
            books.balance([](BalanceOptions &options) { options.fixedColumns = true; });
        QCOMPARE(sectionsListing(byNature, u"Debiti diversi"_s), QList<int>{2});
        QCOMPARE(subAccountLine(byNature.section(2), u"Debiti diversi"_s)->amount, euros(-30));
        QCOMPARE(subAccountLine(byNature.section(4), u"Quote associative"_s)->amount, euros(-20));
        QCOMPARE(byNature.section(1).total, euros(50));
        QCOMPARE(byNature.section(2).total, euros(70));

        const QStringList printed = allTextLines(laidOut(byNature, BalanceKind::Sequential, false));
        QVERIFY(lineContaining(printed, u"Debiti diversi"_s).contains(u"-30,00"_s));
        const QStringList unsignedLines =
            allTextLines(laidOut(bySide, BalanceKind::Sequential, false));
        QVERIFY(lineContaining(unsignedLines, u"Debiti diversi"_s).endsWith(u"30,00"_s));
        QVERIFY(!lineContaining(unsignedLines, u"Debiti diversi"_s).contains(u'-'));
    }

    void zeroBalancesOnlyWithTheOptionInTheirOwnNature()
    {
        Books books;
        books.move(QDate(2024, 2, 1), books.cassa, books.debiti, 40);
        books.move(QDate(2024, 2, 9), books.debiti, books.cassa, 40);

        for (bool byNature : {false, true}) {
            BalanceOptions options;
            options.dateFrom = YearStart;
            options.dateTo = YearEnd;
            options.fixedColumns = byNature;
            QVERIFY(sectionsListing(books.balance(options), u"Debiti diversi"_s).isEmpty());
            options.zeroBalances = true;
            const Balance withZeros = books.balance(options);
            QCOMPARE(sectionsListing(withZeros, u"Debiti diversi"_s), QList<int>{2});
            QCOMPARE(sectionsListing(withZeros, u"Cassa"_s), QList<int>{1});
            QCOMPARE(subAccountLine(withZeros.section(2), u"Debiti diversi"_s)->amount, Money());
        }

        // Rows that add up to nothing on one side read the same from whole months (the kept
        // totals) and from days.
        books.move(QDate(2024, 6, 10), books.spese, books.banca, 40);
        books.move(QDate(2024, 6, 20), books.spese, books.banca, -40);
        QList<QList<int>> listed;
        for (const QDate &from : {QDate(2024, 6, 1), QDate(2024, 6, 2)}) {
            BalanceOptions options;
            options.dateFrom = from;
            options.dateTo = QDate(2024, 6, 30);
            options.zeroBalances = true;
            listed.append(sectionsListing(books.balance(options), u"Spese varie"_s));
        }
        QCOMPARE(listed.first(), listed.last());
    }

    void closingEntriesLeftOutUnlessAsked()
    {
        Books books;
        books.move(QDate(2024, 1, 5), books.cassa, books.capitale, 500);
        books.move(QDate(2024, 12, 31), books.capitale, books.cassa, 500, -1);

        const Balance before = books.balance();
        QCOMPARE(subAccountLine(before.section(1), u"Cassa"_s)->amount, euros(500));
        QCOMPARE(subAccountLine(before.section(2), u"Fondo di dotazione"_s)->amount, euros(500));

        const Balance closed =
            books.balance([](BalanceOptions &options) { options.closingEntries = true; });
        QVERIFY(sectionsListing(closed, u"Cassa"_s).isEmpty());
        QCOMPARE(closed.section(1).total, Money());

        const Balance closedWithZeros = books.balance([](BalanceOptions &options) {
            options.closingEntries = true;
            options.zeroBalances = true;
        });
        QCOMPARE(subAccountLine(closedWithZeros.section(1), u"Cassa"_s)->amount, Money());
    }

    void groupLedgerAndAccountTotalsOnTheirHeaderLines()
    {
        Books books;
        books.move(QDate(2024, 2, 1), books.cassa, books.capitale, 100);
        books.move(QDate(2024, 2, 2), books.banca, books.capitale, 25);
        books.move(QDate(2024, 2, 3), books.spese, books.cassa, 10);

        const Balance balance = books.balance();
        const std::vector<BalanceLine> &assets = balance.section(1).lines;
        QCOMPARE(assets.size(), size_t(5));
        QCOMPARE(assets[0].level, BalanceLine::Level::Group);
        QCOMPARE(assets[0].description, u"ATTIVO"_s);
        QCOMPARE(assets[0].amount, euros(115));
        QCOMPARE(assets[1].level, BalanceLine::Level::Ledger);
        QCOMPARE(assets[1].text(true), u"101 Disponibilità liquide"_s);
        QCOMPARE(assets[1].text(false), u"Disponibilità liquide"_s);
        QCOMPARE(assets[2].amount, euros(115));
        // Sub-accounts of an account in description order.
        QCOMPARE(assets[3].description, u"Banca"_s);
        QCOMPARE(assets[4].description, u"Cassa"_s);
        // A ledger with an empty or missing group prints no group line.
        QCOMPARE(linesAt(balance.section(3), BalanceLine::Level::Group), 0);
        QCOMPARE(linesAt(balance.section(2), BalanceLine::Level::Group), 0);

        const Balance ledgersOnly = books.balance([](BalanceOptions &options) {
            options.levels = {false, true, false, false};
        });
        QCOMPARE(ledgersOnly.section(1).lines.size(), size_t(1));
        QCOMPARE(ledgersOnly.section(1).lines[0].amount, euros(115));
        QCOMPARE(ledgersOnly.section(1).total, euros(115));
    }

    void sameDescriptionsUnderOneAccountStayTwoLines()
    {
        Books books;
        const qint64 twin = books.archive.addSottoconto(books.cashAccount, u"Cassa"_s);
        books.move(QDate(2024, 2, 1), books.cassa, books.capitale, 10);
        books.move(QDate(2024, 2, 1), twin, books.capitale, 15);

        const BalanceSection assets = books.balance().section(1);
        QCOMPARE(linesAt(assets, BalanceLine::Level::SubAccount), 2);
        QCOMPARE(assets.total, euros(25));
    }

    void markedAccountsHideTheirSubAccountsNotTheirTotals()
    {
        Books books;
        books.archive.exec(u"UPDATE conti SET bilancio = 1 WHERE id = ?"_s, {books.cashAccount});
        books.move(QDate(2024, 2, 1), books.cassa, books.capitale, 100);
        books.move(QDate(2024, 2, 2), books.banca, books.capitale, 25);

        const Balance shown = books.balance();
        const Balance hidden =
            books.balance([](BalanceOptions &options) { options.hideMarked = true; });
        QCOMPARE(linesAt(shown.section(1), BalanceLine::Level::SubAccount), 2);
        QCOMPARE(linesAt(hidden.section(1), BalanceLine::Level::SubAccount), 0);
        QCOMPARE(hidden.section(1).lines.back().level, BalanceLine::Level::Account);
        QCOMPARE(hidden.section(1).lines.back().amount, euros(125));
        QCOMPARE(hidden.section(1).total, shown.section(1).total);
        // Unmarked accounts keep their sub-accounts.
        QCOMPARE(linesAt(hidden.section(2), BalanceLine::Level::SubAccount), 1);
    }

    void opposedPairsCloseWithEqualTotalsAndTheResultUnderTheSmallerSide()
    {
        Books books;
        books.move(QDate(2024, 1, 2), books.cassa, books.capitale, 800);
        books.move(QDate(2024, 3, 2), books.cassa, books.quote, 500);
        books.move(QDate(2024, 4, 2), books.spese, books.cassa, 300);

        const Balance balance = books.balance();
        QCOMPARE(balance.section(1).total, euros(1000));
        QCOMPARE(balance.section(2).total, euros(800));
        const PairFooter sheet = balance.assetsAndLiabilities();
        QCOMPARE(sheet.leftTotal, euros(1000));
        QCOMPARE(sheet.rightTotal, euros(1000));
        QVERIFY(!sheet.leftResult);
        QVERIFY(sheet.rightResult);
        QCOMPARE(*sheet.rightResult, euros(200));
        const PairFooter income = balance.costsAndRevenues();
        QCOMPARE(income.leftTotal, euros(500));
        QVERIFY(income.leftResult);
        QCOMPARE(*income.leftResult, euros(200));
        QVERIFY(!income.rightResult);

        const QStringList printed = allTextLines(laidOut(balance, BalanceKind::Opposed, false));
        QVERIFY(lineContaining(printed, u"Attivo"_s).contains(u"Passivo"_s));
        QCOMPARE(lineContaining(printed, u"Utile d'esercizio"_s), u"Utile d'esercizio | 200,00 "_s);
        QCOMPARE(lineContaining(printed, u"Totale"_s),
                 u"Totale | 1.000,00  | Totale | 1.000,00 "_s);
        QVERIFY(!lineContaining(printed, u"Perdita"_s).size());
        QString difference;
        QVERIFY2(matchesGolden(u"balance_opposed.txt"_s,
                               documentText(laidOut(balance, BalanceKind::Opposed, false)),
                               &difference),
                 qPrintable(difference));

        // The archive's own caption for the result.
        books.archive.exec(u"INSERT INTO parametri (chiave, valore) VALUES ('utileDescrizione', "
                           u"'Avanzo di gestione')"_s);
        const QStringList renamed =
            allTextLines(laidOut(books.balance(), BalanceKind::Opposed, false));
        QVERIFY(!lineContaining(renamed, u"Avanzo di gestione | 200,00"_s).isEmpty());
    }

    void equalSidesPrintNoResult()
    {
        QCOMPARE(pairFooter(euros(70), euros(70)).leftTotal, euros(70));
        QVERIFY(!pairFooter(euros(70), euros(70)).leftResult);
        QVERIFY(!pairFooter(euros(70), euros(70)).rightResult);
        QCOMPARE(pairFooter(euros(20), euros(70)).leftResult.value_or(Money()), euros(50));
        QCOMPARE(pairFooter(euros(20), euros(70)).rightTotal, euros(70));
    }

    void memorandumSectionOnlyWithMemorandumLines()
    {
        Books books;
        books.move(QDate(2024, 1, 2), books.cassa, books.capitale, 800);
        const Balance without = books.balance();
        QVERIFY(!without.memorandum);
        for (BalanceKind kind : {BalanceKind::Sequential, BalanceKind::Opposed})
            QVERIFY(lineContaining(allTextLines(laidOut(without, kind, false)), u"Conti d'ordine"_s)
                        .isEmpty());

        const qint64 memorandumLedger = books.archive.addMastro(u"901"_s, u"Conti d'ordine"_s, 0);
        const qint64 account = books.archive.addConto(memorandumLedger, u"901001"_s, u"Beni"_s);
        const qint64 ours = books.archive.addSottoconto(account, u"Beni di terzi"_s);
        const qint64 theirs = books.archive.addSottoconto(account, u"Terzi per beni"_s);
        books.move(QDate(2024, 5, 2), ours, theirs, 60);

        const Balance with = books.balance();
        QVERIFY(with.memorandum);
        // Both sides of the memorandum pair are listed, the credit one too.
        QCOMPARE(linesAt(*with.memorandum, BalanceLine::Level::SubAccount), 2);
        QCOMPARE(with.memorandum->debitTotal, euros(60));
        QCOMPARE(with.memorandum->creditTotal, euros(60));
        const QStringList printed = allTextLines(laidOut(with, BalanceKind::Sequential, false));
        QCOMPARE(lineContaining(printed, u"Conti d'ordine | "_s),
                 u"Conti d'ordine | 60,00 | 60,00"_s);
        QVERIFY(!lineContaining(printed, u"DARE"_s).isEmpty());

        // A closing entry alone is enough to show the section.
        Books closingOnly;
        const qint64 ledger = closingOnly.archive.addMastro(u"901"_s, u"Ordine"_s, 0);
        const qint64 memo = closingOnly.archive.addSottoconto(
            closingOnly.archive.addConto(ledger, u"901001"_s, u"Beni"_s), u"Beni"_s);
        closingOnly.move(QDate(2024, 12, 31), memo, memo, 5, -1);
        QVERIFY(closingOnly.balance().memorandum);
    }

    void exportedSequentialBalanceHasNoPageHeader()
    {
        Books books;
        books.move(QDate(2024, 1, 2), books.cassa, books.capitale, 800);
        const Balance balance = books.balance();
        auto titled = [](const ReportDocument &document) {
            return !lineContaining(document.textLines(0), u"BILANCIO"_s).isEmpty();
        };
        QVERIFY(titled(laidOut(balance, BalanceKind::Sequential, false)));
        QVERIFY(!titled(laidOut(balance, BalanceKind::Sequential, true)));
        QVERIFY(titled(laidOut(balance, BalanceKind::Opposed, true)));
        const ReportDocument sequential = laidOut(balance, BalanceKind::Sequential, false);
        QCOMPARE(sequential.pageCount(), 4); // each nature section on its own page
        QVERIFY(
            !lineContaining(sequential.textLines(0), u"Dal 01/01/2024 al 31/12/2024"_s).isEmpty());
        QVERIFY(!lineContaining(sequential.textLines(3), u"4 / 4"_s).isEmpty());
    }

    void periodsOfPartMonthsAddTheirDaysToTheWholeMonths()
    {
        Books books;
        const QList<qint64> subAccounts{books.cassa, books.banca, books.capitale, books.spese,
                                        books.quote};
        QRandomGenerator random(7);
        for (int i = 0; i < 200; ++i)
            books.move(QDate(2023, 11, 1).addDays(random.bounded(200)),
                       subAccounts[random.bounded(int(subAccounts.size()))],
                       subAccounts[random.bounded(int(subAccounts.size()))], random.bounded(1, 900),
                       i % 9 == 0 ? -1 : 0);
        Connection connection(books.archive.archive(), Connection::Mode::ReadOnly);
        const QList<std::pair<QDate, QDate>> periods{{QDate(2023, 11, 15), QDate(2024, 3, 10)},
                                                     {QDate(2023, 12, 1), QDate(2024, 2, 29)},
                                                     {QDate(2024, 1, 2), QDate(2024, 1, 30)},
                                                     {QDate(2023, 11, 30), QDate(2024, 5, 1)},
                                                     {QDate(2024, 2, 10), QDate(2024, 2, 10)}};
        for (const auto &[from, to] : periods) {
            for (bool closing : {false, true}) {
                QString error;
                const std::optional<std::vector<SubAccountBalance>> combined = periodBalances(
                    connection.database(), from, to,
                    closing ? EntryFilter::AllEntries : EntryFilter::WithoutClosing, &error);
                QVERIFY2(combined, qPrintable(error));
                std::vector<SubAccountBalance> direct;
                QVERIFY(subAccountBalances(connection.database(), from, to,
                                           closing ? EntryFilter::AllEntries
                                                   : EntryFilter::WithoutClosing,
                                           &direct, &error));
                QCOMPARE(combined->size(), direct.size());
                for (const SubAccountBalance &expected : direct) {
                    const auto found = std::find_if(
                        combined->begin(), combined->end(), [&](const SubAccountBalance &b) {
                            return b.subAccountId == expected.subAccountId;
                        });
                    QVERIFY(found != combined->end());
                    QCOMPARE(found->dare, expected.dare);
                    QCOMPARE(found->avere, expected.avere);
                    QCOMPARE(found->nature, expected.nature);
                    QCOMPARE(found->accountCode, expected.accountCode);
                }
            }
        }
    }

    void decimalTextsAreExact()
    {
        QCOMPARE(decimalText(Money::fromCents(123456)), u"1234.56"_s);
        QCOMPARE(decimalText(Money::fromCents(-50)), u"-0.50"_s);
        QCOMPARE(decimalText(Money::fromUnits(123456)), u"12.3456"_s);
        QCOMPARE(decimalText(Money()), u"0.00"_s);
    }

    // A generated archive's balance from the command line against sums read straight from the
    // entry rows.
    void exportedBalancesKeepTheirHeadingAndResult()
    {
        Books books;
        books.archive.exec(
            u"INSERT INTO parametri (chiave, valore) VALUES ('ana01', 'Circolo Aurora')"_s);
        books.move(QDate(2024, 2, 1), books.cassa, books.quote, 1000);
        books.move(QDate(2024, 3, 1), books.spese, books.cassa, 300);
        QTemporaryDir out;
        for (const QString &kind : {u"bilancio"_s, u"bilancio-contrapposto"_s}) {
            const QString pdf = out.filePath(kind + u".pdf"_s);
            const Run run =
                runCli({u"report"_s, kind, u"--archive"_s, books.archive.folder(), u"--from"_s,
                        u"2024-01-01"_s, u"--to"_s, u"2024-12-31"_s, u"--out"_s, pdf});
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            const QString text = pdfPageTexts(pdf).join(u' ').simplified();
            for (const QString &expected :
                 {u"BILANCIO"_s, u"Circolo Aurora"_s, u"Dal 01/01/2024 al 31/12/2024"_s,
                  u"Utile d'esercizio 700,00"_s})
                QVERIFY2(text.contains(expected), qPrintable(kind + u": "_s + text));
        }

        // The opposed balance's spreadsheet: every pair total right of its own "Totale", the
        // result in cells of its own.
        const QString xlsx = out.filePath(u"contrapposto.xlsx"_s);
        QCOMPARE(
            runCli({u"report"_s, u"bilancio-contrapposto"_s, u"--archive"_s, books.archive.folder(),
                    u"--from"_s, u"2024-01-01"_s, u"--to"_s, u"2024-12-31"_s, u"--out"_s, xlsx})
                .exitCode,
            0);
        QProcess unzip;
        unzip.start(u"unzip"_s, {u"-p"_s, xlsx, u"xl/worksheets/sheet1.xml"_s});
        QVERIFY(unzip.waitForFinished());
        const QString sheet = QString::fromUtf8(unzip.readAllStandardOutput());
        static const QRegularExpression pairTotal(
            uR"(<t>Totale</t></is></c><c r="[A-Z]+\d+" s="\d+"><v>([\d.]+)</v>)"_s);
        QStringList totals;
        for (const QRegularExpressionMatch &match : pairTotal.globalMatch(sheet))
            totals.append(match.captured(1));
        QCOMPARE(totals, (QStringList{u"700"_s, u"700"_s, u"1000"_s, u"1000"_s}));
        static const QRegularExpression result(
            uR"(<t>Utile d'esercizio</t></is></c><c r="[A-Z]+\d+" s="\d+"><v>700</v>)"_s);
        QCOMPARE(sheet.count(result), 2);
    }

    void commandLineJsonMatchesTheEntryRows()
    {
        Books books;
        const QList<qint64> subAccounts{books.cassa, books.banca, books.capitale,  books.debiti,
                                        books.spese, books.quote, books.contributi};
        QRandomGenerator random(20240101);
        for (int i = 0; i < 300; ++i) {
            const qint64 debit = subAccounts[random.bounded(int(subAccounts.size()))];
            const qint64 credit = subAccounts[random.bounded(int(subAccounts.size()))];
            books.archive.addEntry(
                QDate(2024, 1, 1).addDays(random.bounded(366)),
                {{debit, QVariant(), Money::fromCents(random.bounded(1, 100000)), u"x"_s},
                 {QVariant(), credit, Money::fromCents(random.bounded(1, 100000)), u"y"_s}},
                i % 50 == 49 ? -1 : 0);
        }
        QTemporaryDir out;
        const QString json = out.filePath(u"bilancio.json"_s);
        const Run run = runCli({u"report"_s, u"bilancio-contrapposto"_s, u"--archive"_s,
                                books.archive.folder(), u"--from"_s, u"2024-01-01"_s, u"--to"_s,
                                u"2024-12-31"_s, u"--by-nature"_s, u"--out"_s, json});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QFile file(json);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
        const QJsonArray sections = root.value(u"sections"_s).toArray();
        QCOMPARE(sections.size(), 4);
        for (const QJsonValue &value : sections) {
            const QJsonObject section = value.toObject();
            const int nature = section.value(u"nature"_s).toInt();
            const bool debitNature = nature == 1 || nature == 3;
            const qint64 units =
                books.archive
                    .scalar(u"SELECT COALESCE(SUM(CASE WHEN so.id = rd.contodare THEN rd.importo"
                            u" ELSE -rd.importo END), 0)"
                            u" FROM regdet rd JOIN regmain rm ON rm.id = rd.idRegMain"
                            u" JOIN sottoconti so ON so.id IN (rd.contodare, rd.contoavere)"
                            u" JOIN conti c ON c.id = so.idConto"
                            u" JOIN mastri m ON m.id = c.idMastro"
                            u" WHERE m.tipo = ? AND rm.tipo >= 0"
                            u" AND rm.data BETWEEN '2024-01-01' AND '2024-12-31'"_s,
                            {nature})
                    .toLongLong();
            const Money expected = Money::fromUnits(debitNature ? units : -units);
            QCOMPARE(section.value(u"total"_s).toString(), decimalText(expected));
        }
        const QJsonArray pairs = root.value(u"pairs"_s).toArray();
        QCOMPARE(pairs.size(), 2);
        for (const QJsonValue &pair : pairs)
            QCOMPARE(pair.toObject().value(u"leftTotal"_s), pair.toObject().value(u"rightTotal"_s));

        const QString pdf = out.filePath(u"bilancio.pdf"_s);
        QCOMPARE(
            runCli({u"report"_s, u"bilancio"_s, u"--archive"_s, books.archive.folder(), u"--date"_s,
                    u"2024-06-30"_s, u"--levels"_s, u"mastro,sottoconto"_s, u"--out"_s, pdf})
                .exitCode,
            0);
        QVERIFY(QFile::exists(pdf));
        QCOMPARE(runCli({u"report"_s, u"bilancio"_s, u"--archive"_s, books.archive.folder(),
                         u"--levels"_s, u"capitolo"_s, u"--out"_s, pdf})
                     .exitCode,
                 1);
        QCOMPARE(runCli({u"report"_s, u"giornale"_s, u"--archive"_s, books.archive.folder(),
                         u"--out"_s, json})
                     .exitCode,
                 1);
    }
};

QTEST_MAIN(TestBalanceReports)
#include "tst_balancereports.moc"
