#include "archive/ChartTemplates.h"
#include "archive/NewArchive.h"
#include "data/ArchiveCheck.h"
#include "data/ClosedYears.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "data/Renumbering.h"
#include "settings/ArchiveTables.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "yearend/ReopenYearWindow.h"
#include "yearend/YearEnd.h"
#include "yearend/YearEndWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

const YearEndYears Years{QDate(2023, 1, 1), QDate(2023, 12, 31), QDate(2024, 1, 1),
                         QDate(2024, 12, 31)};

// Rows of an entry as "riga:dare:avere:importo in cents:descrizione", dare/avere by description.
QStringList rowsOf(const TestArchive &a, qint64 id)
{
    Connection c(a.archive());
    QSqlQuery q = c.query();
    runSql(q,
           u"SELECT r.riga, COALESCE(d.descrizione, ''), COALESCE(v.descrizione, ''), r.importo / "
           u"10000, r.descrizione "
           u"FROM regdet r LEFT JOIN sottoconti d ON d.id = r.contodare "
           u"LEFT JOIN sottoconti v ON v.id = r.contoavere WHERE r.idRegMain = ? ORDER BY r.riga"_s,
           {id});
    QStringList rows;
    while (q.next())
        rows.append(u"%1:%2:%3:%4:%5"_s.arg(q.value(0).toString(), q.value(1).toString(),
                                            q.value(2).toString(), q.value(3).toString(),
                                            q.value(4).toString()));
    return rows;
}

// The balance of every sub-account over a range straight from the rows, dare minus avere.
QMap<qint64, qint64> rawBalances(const Archive &archive, const QDate &from, const QDate &to,
                                 int minTipo)
{
    Connection c(archive);
    QSqlQuery q = c.query();
    runSql(q,
           u"SELECT r.contodare, r.contoavere, r.importo FROM regdet r JOIN regmain m ON m.id = "
           u"r.idRegMain "
           u"WHERE m.data BETWEEN ? AND ? AND m.tipo >= ?"_s,
           {from.toString(Qt::ISODate), to.toString(Qt::ISODate), minTipo});
    QMap<qint64, qint64> balances;
    while (q.next()) {
        if (!q.value(0).isNull())
            balances[q.value(0).toLongLong()] += q.value(2).toLongLong();
        if (!q.value(1).isNull())
            balances[q.value(1).toLongLong()] -= q.value(2).toLongLong();
    }
    return balances;
}

QVariantList numbersOfYear(const TestArchive &a, const QDate &from, const QDate &to)
{
    Connection c(a.archive());
    QSqlQuery q = c.query();
    runSql(q, u"SELECT progressivo FROM regmain WHERE data BETWEEN ? AND ? ORDER BY data, id"_s,
           {from.toString(Qt::ISODate), to.toString(Qt::ISODate)});
    QVariantList numbers;
    while (q.next())
        numbers.append(q.value(0));
    return numbers;
}

QVariantList oneToN(qsizetype n)
{
    QVariantList list;
    for (int i = 1; i <= n; ++i)
        list.append(i);
    return list;
}

struct Chart {
    qint64 cassa, banca, capitale, utile, perdita, chiusura, apertura, affitti, quote, profitti,
        ordine;
};

Chart smallChart(TestArchive &a)
{
    Chart c{};
    const qint64 att =
        a.addConto(a.addMastro(u"A01"_s, u"Liquidità"_s, 1), u"A01001"_s, u"Cassa e banche"_s);
    c.cassa = a.addSottoconto(att, u"Cassa"_s);
    c.banca = a.addSottoconto(att, u"Banca"_s);
    const qint64 pn =
        a.addConto(a.addMastro(u"P01"_s, u"Patrimonio netto"_s, 2), u"P01001"_s, u"Patrimonio"_s);
    c.capitale = a.addSottoconto(pn, u"Fondo di dotazione"_s);
    c.utile = a.addSottoconto(pn, u"Avanzo d'esercizio"_s);
    c.perdita = a.addSottoconto(pn, u"Disavanzo d'esercizio"_s);
    const qint64 tec =
        a.addConto(a.addMastro(u"P09"_s, u"Conti di chiusura"_s, 2), u"P09001"_s, u"Bilanci"_s);
    c.chiusura = a.addSottoconto(tec, u"Bilancio di chiusura"_s);
    c.apertura = a.addSottoconto(tec, u"Bilancio di apertura"_s);
    c.affitti = a.addSottoconto(
        a.addConto(a.addMastro(u"C01"_s, u"Costi"_s, 3), u"C01001"_s, u"Godimento"_s),
        u"Affitti"_s);
    const qint64 ric = a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s);
    c.quote = a.addSottoconto(ric, u"Quote associative"_s);
    c.profitti = a.addSottoconto(ric, u"Profitti e perdite"_s);
    c.ordine =
        a.addSottoconto(a.addConto(a.addMastro(u"O01"_s, u"Ordine"_s, 0), u"O01001"_s, u"Terzi"_s),
                        u"Beni di terzi"_s);
    return c;
}

YearEndInput inputFor(const Chart &c)
{
    YearEndInput input;
    input.closingDate = Years.prevEnd;
    input.openingDate = Years.curStart;
    input.closingBalance = c.chiusura;
    input.profitAndLoss = c.profitti;
    input.openingBalance = c.apertura;
    input.profitOrLoss = c.utile;
    return input;
}

// The first sub-account of a nature (the last one when last) that plays no year-end role.
qint64 plainSubAccount(const Archive &archive, int nature, bool last = false)
{
    Connection c(archive);
    QSqlQuery q = c.query();
    runSql(q,
           u"SELECT s.id FROM sottoconti s JOIN conti k ON k.id = s.idConto "
           u"JOIN mastri m ON m.id = k.idMastro WHERE m.tipo = ? AND CAST(s.id AS TEXT) NOT IN "
           u"(SELECT valore FROM parametri WHERE chiave IN ('bilancioapertura', "
           u"'bilanciochiusura', 'utile', 'perdita', 'profittieperdite', 'patrimonionetto')) "
           u"ORDER BY s.id "_s +
               (last ? u"DESC"_s : u"ASC"_s) + u" LIMIT 1"_s,
           {nature});
    return q.next() ? q.value(0).toLongLong() : 0;
}

qint64 role(const Archive &archive, const QString &key)
{
    return readParameter(archive, key, ValueType::Integer, Storage::InArchive, 0).toLongLong();
}

void post(const Archive &archive, const QDate &date, qint64 dare, qint64 avere, qint64 cents)
{
    JournalEntry entry{{0, date, {}, EntryKind::Ordinary, {}},
                       {{0, dare, {}, Money::fromCents(cents), u"Movimento"_s},
                        {0, {}, avere, Money::fromCents(cents), u"Movimento"_s}}};
    QString error;
    QVERIFY2(writeEntry(archive, entry, FiscalYear(), &error), qPrintable(error));
}

// Closing entries with a row that names both sides, one of them the profit or loss sub-account.
int resultEntries(const Archive &archive, qint64 profitOrLoss)
{
    Connection c(archive);
    QSqlQuery q = c.query();
    runSql(q,
           u"SELECT COUNT(DISTINCT m.id) FROM regmain m JOIN regdet r ON r.idRegMain = m.id "
           u"WHERE m.tipo = -1 AND r.contodare IS NOT NULL AND r.contoavere IS NOT NULL "
           u"AND (r.contodare = ? OR r.contoavere = ?)"_s,
           {profitOrLoss, profitOrLoss});
    return q.next() ? q.value(0).toInt() : -1;
}

// Every row of the year-end entries, in the order they were written.
QStringList yearEndRows(const TestArchive &a)
{
    Connection c(a.archive());
    QSqlQuery q = c.query();
    runSql(q, u"SELECT id FROM regmain WHERE tipo <> 0 ORDER BY id"_s);
    QStringList rows;
    while (q.next())
        rows += rowsOf(a, q.value(0).toLongLong());
    return rows;
}

// The year 2023 closed and 2024 opened over three entries of 2023; returns the chart.
Chart closedYear(TestArchive &a)
{
    const Chart c = smallChart(a);
    a.addEntry(QDate(2023, 1, 10),
               {{c.banca, c.capitale, Money::fromCents(20000), u"Dotazione"_s}});
    a.addEntry(QDate(2023, 3, 1), {{c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}});
    a.addEntry(QDate(2023, 6, 1), {{c.affitti, c.banca, Money::fromCents(10000), u"Affitto"_s}});
    QString error;
    const Money result = *yearResult(a, Years, &error);
    if (!runYearEnd(a, inputFor(c), Years, result, &error))
        qFatal("year-end failed: %s", qPrintable(error));
    return c;
}

std::optional<ArchiveCheck> checked(const TestArchive &a)
{
    QString error;
    return checkArchive(a, Years.curStart, Years.curEnd, &error);
}

} // namespace

class TestYearEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void closesAndOpensAHandComputedYear()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        a.addEntry(QDate(2023, 1, 10),
                   {{c.banca, c.capitale, Money::fromCents(20000), u"Dotazione"_s}});
        a.addEntry(QDate(2023, 3, 1), {{c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}});
        a.addEntry(QDate(2023, 6, 1),
                   {{c.affitti, c.banca, Money::fromCents(10000), u"Affitto"_s}});
        a.addEntry(QDate(2023, 7, 1), {{c.ordine, {}, Money::fromCents(999), u"Comodato"_s},
                                       {{}, c.ordine, Money::fromCents(999), u"Comodato"_s}});
        a.addEntry(QDate(2024, 2, 1), {{c.cassa, c.quote, Money::fromCents(500), u"Quote 2024"_s}});

        QString error;
        const std::optional<Money> result = yearResult(a, Years, &error);
        QCOMPARE(result, Money::fromCents(5000));
        const auto written = runYearEnd(a, inputFor(c), Years, *result, &error);
        QVERIFY2(written, qPrintable(error));
        QCOMPARE(written->size(), 7);

        const QStringList expected[] = {
            {u"10:Cassa::150:Apertura Stato patrimoniale (attivo)"_s,
             u"20:Banca::100:Apertura Stato patrimoniale (attivo)"_s,
             u"30::Bilancio di apertura:250:Apertura Stato patrimoniale (attivo)"_s},
            {u"10::Fondo di dotazione:200:Apertura Stato patrimoniale (passivo)"_s,
             u"20::Avanzo d'esercizio:50:Apertura Stato patrimoniale (passivo)"_s,
             u"30:Bilancio di apertura::250:Apertura Stato patrimoniale (passivo)"_s},
            {u"10:Quote associative::150:Chiusura Conto economico"_s,
             u"20::Profitti e perdite:150:Chiusura Conto economico"_s},
            {u"10::Affitti:100:Chiusura Conto economico"_s,
             u"20:Profitti e perdite::100:Chiusura Conto economico"_s},
            {u"10::Cassa:150:Chiusura Stato patrimoniale (attivo)"_s,
             u"20::Banca:100:Chiusura Stato patrimoniale (attivo)"_s,
             u"30:Bilancio di chiusura::250:Chiusura Stato patrimoniale (attivo)"_s},
            {u"10:Fondo di dotazione::200:Chiusura Stato patrimoniale (passivo)"_s,
             u"20::Bilancio di chiusura:200:Chiusura Stato patrimoniale (passivo)"_s},
            {u"10:Profitti e perdite:Avanzo d'esercizio:50:Chiusura Stato patrimoniale"_s,
             u"20:Avanzo d'esercizio:Bilancio di chiusura:50:Chiusura Stato patrimoniale"_s},
        };
        for (int i = 0; i < 7; ++i)
            QCOMPARE(rowsOf(a, written->at(i)), expected[i]);

        const auto headers = [&](const QString &column) {
            QStringList values;
            for (qint64 id : *written)
                values.append(
                    a.scalar(
                         u"SELECT COALESCE(CAST(%1 AS TEXT), '') FROM regmain WHERE id = ?"_s.arg(
                             column),
                         {id})
                        .toString());
            return values;
        };
        QCOMPARE(headers(u"tipo"_s),
                 (QStringList{u"1"_s, u"1"_s, u"-1"_s, u"-1"_s, u"-1"_s, u"-1"_s, u"-1"_s}));
        QCOMPARE(headers(u"data"_s),
                 (QStringList{u"2024-01-01"_s, u"2024-01-01"_s, u"2023-12-31"_s, u"2023-12-31"_s,
                              u"2023-12-31"_s, u"2023-12-31"_s, u"2023-12-31"_s}));
        QCOMPARE(headers(u"descrizione"_s),
                 (QStringList{QString(), QString(), u"Chiusura Conto economico"_s,
                              u"Chiusura Conto economico"_s, QString(), QString(), QString()}));
        QCOMPARE(numbersOfYear(a, Years.prevStart, Years.prevEnd), oneToN(9));
        QCOMPARE(numbersOfYear(a, Years.curStart, Years.curEnd), oneToN(3));
        QCOMPARE(rawBalances(a.archive(), Years.prevStart, Years.prevEnd, -1).value(c.ordine), 0LL);
    }

    // Years starting in March: the previous year of 2024/2025 ends on 29 February 2024.
    void closesAndRenumbersALeapFebruary()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        writeParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 3);
        FiscalEnvironment environment(a);
        environment.setWorkingDate(QDate(2024, 6, 1));
        QVERIFY(environment.refresh());
        QCOMPARE(environment.previousYearStart(), QDate(2023, 3, 1));
        QCOMPARE(environment.previousYearEnd(), QDate(2024, 2, 29));

        const qint64 last = a.addEntry(
            QDate(2024, 2, 29), {{c.cassa, c.quote, Money::fromCents(700), u"Quote"_s}}, 0, 5);
        const qint64 first =
            a.addEntry(QDate(2023, 3, 1),
                       {{c.banca, c.capitale, Money::fromCents(1000), u"Dotazione"_s}}, 0, 5);
        Renumbering ricalcolo(a, environment.yearStart(), environment.yearEnd());
        QVERIFY(ricalcolo.run(Renumbering::Previous));
        QCOMPARE(a.scalar(u"SELECT progressivo FROM regmain WHERE id = ?"_s, {first}).toInt(), 1);
        QCOMPARE(a.scalar(u"SELECT progressivo FROM regmain WHERE id = ?"_s, {last}).toInt(), 2);

        const YearEndYears years = YearEndYears::of(environment);
        QString error;
        const std::optional<Money> result = yearResult(a, years, &error);
        QCOMPARE(result, Money::fromCents(700));
        YearEndInput input = inputFor(c);
        input.closingDate = QDate(2024, 2, 29);
        input.openingDate = QDate(2024, 3, 1);
        QCOMPARE(yearEndProblems(input, years), QStringList());
        const auto written = runYearEnd(a, input, years, *result, &error);
        QVERIFY2(written, qPrintable(error));
        // The cash of 29 February is opened again in the new year.
        QCOMPARE(rawBalances(a.archive(), QDate(2024, 3, 1), QDate(2025, 2, 28), 1).value(c.cassa),
                 70000LL);
        QCOMPARE(rawBalances(a.archive(), years.prevStart, years.prevEnd, -1).value(c.cassa), 0LL);
        const QVariantList closedYear = numbersOfYear(a, years.prevStart, years.prevEnd);
        QVERIFY(closedYear.size() > 2);
        QCOMPARE(closedYear, oneToN(closedYear.size()));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain WHERE data = '2024-02-29' AND tipo = -1"_s)
                     .toInt(),
                 closedYear.size() - 2);
    }

    void balancesEveryAccountOfAGeneratedYear()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        const QList<qint64> accounts{c.cassa, c.banca, c.capitale, c.affitti, c.quote};
        QRandomGenerator random(7);
        for (int i = 0; i < 300; ++i) {
            const QDate date = QDate(2023, 1, 1).addDays(random.bounded(365));
            const qint64 dare = accounts.at(random.bounded(accounts.size()));
            const qint64 avere = accounts.at(random.bounded(accounts.size()));
            const Money amount = Money::fromCents(random.bounded(1, 100000));
            if (random.bounded(2))
                a.addEntry(date, {{dare, avere, amount, u"x"_s}});
            else
                a.addEntry(date, {{dare, {}, amount, u"x"_s}, {{}, avere, amount, u"y"_s}});
        }
        const QMap<qint64, qint64> before =
            rawBalances(a.archive(), Years.prevStart, Years.prevEnd, -1);
        QString error;
        const Money result = *yearResult(a, Years, &error);
        const qint64 expectedResult =
            before.value(c.cassa) + before.value(c.banca) + before.value(c.capitale);
        QCOMPARE(result.units(), expectedResult);
        YearEndInput input = inputFor(c);
        input.profitOrLoss = result.isNegative() ? c.perdita : c.utile;
        QVERIFY2(runYearEnd(a, input, Years, result, &error), qPrintable(error));

        const QMap<qint64, qint64> closed =
            rawBalances(a.archive(), Years.prevStart, Years.prevEnd, -1);
        for (qint64 account : {c.cassa, c.banca, c.capitale, c.affitti, c.quote, c.profitti,
                               c.utile, c.perdita, c.chiusura})
            QCOMPARE(closed.value(account), 0LL);
        const QMap<qint64, qint64> opened =
            rawBalances(a.archive(), Years.curStart, Years.curEnd, 1);
        for (qint64 account : {c.cassa, c.banca, c.capitale})
            QCOMPARE(opened.value(account), before.value(account));
        QCOMPARE(opened.value(input.profitOrLoss), -result.units());
        QCOMPARE(opened.value(c.apertura), 0LL);
        QCOMPARE(numbersOfYear(a, Years.prevStart, Years.prevEnd).size(),
                 a.scalar(u"SELECT COUNT(*) FROM regmain WHERE data <= '2023-12-31'"_s).toInt());
        QCOMPARE(numbersOfYear(a, Years.prevStart, Years.prevEnd),
                 oneToN(numbersOfYear(a, Years.prevStart, Years.prevEnd).size()));
    }

    void carriesTheResultIntoEquityOnEveryShippedChart_data()
    {
        QTest::addColumn<QString>("foglio");
        QTest::newRow("third sector") << u"pdc_ets"_s;
        QTest::newRow("firm") << u"pdc_impresa"_s;
    }
    void carriesTheResultIntoEquityOnEveryShippedChart()
    {
        QFETCH(QString, foglio);
        QString error;
        const QList<ChartTemplate> charts =
            loadChartTemplates(QDir(binDir()).filePath(u"pdc.gen"_s), &error);
        const auto chart = std::find_if(charts.cbegin(), charts.cend(),
                                        [&](const ChartTemplate &t) { return t.foglio == foglio; });
        QVERIFY2(chart != charts.cend(), qPrintable(error));
        QTemporaryDir base;
        QVERIFY2(createArchive({base.path(), u"prova"_s, *chart, 1}, binDir(), &error),
                 qPrintable(error));
        const Archive archive(archiveFolderFor(base.path(), u"prova"_s));
        const qint64 bank = plainSubAccount(archive, 1);
        const qint64 cash = plainSubAccount(archive, 1, true);
        const qint64 cost = plainSubAccount(archive, 3);
        const qint64 revenue = plainSubAccount(archive, 4);
        const qint64 equity = role(archive, u"patrimonionetto"_s);
        QVERIFY(bank && cash && bank != cash && cost && revenue && equity);
        post(archive, QDate(2023, 1, 15), bank, equity, 1000000); // contribution 10,000
        post(archive, QDate(2023, 4, 1), bank, revenue, 50000);   // revenue 500
        post(archive, QDate(2023, 9, 1), cost, cash, 20000);      // cost 200

        const std::optional<Money> result = yearResult(archive, Years, &error);
        QCOMPARE(result, Money::fromCents(30000));
        const YearEndInput input =
            yearEndDefaults(archive, Years, *result, yearEndChoices(archive, true, &error),
                            yearEndChoices(archive, false, &error));
        QCOMPARE(input.profitOrLoss, role(archive, u"utile"_s));
        QVERIFY(input.openingBalance && input.closingBalance && input.profitAndLoss);
        QVERIFY2(runYearEnd(archive, input, Years, *result, &error), qPrintable(error));

        const QMap<qint64, qint64> opened = rawBalances(archive, Years.curStart, Years.curEnd, 1);
        QCOMPARE(opened.value(input.openingBalance), 0LL);
        QCOMPARE(opened.value(input.profitOrLoss), -Money::fromCents(30000).units());
        QCOMPARE(opened.value(bank), Money::fromCents(1050000).units());
        QCOMPARE(opened.value(cash), -Money::fromCents(20000).units());
        QCOMPARE(opened.value(equity), -Money::fromCents(1000000).units());
        QCOMPARE(opened.size(), 5);
        const QMap<qint64, qint64> closed =
            rawBalances(archive, Years.prevStart, Years.prevEnd, -1);
        for (auto it = closed.cbegin(); it != closed.cend(); ++it)
            QVERIFY2(it.value() == 0, qPrintable(QString::number(it.key())));
        QCOMPARE(yearEndRefusal(archive, Years, &error).section(u'\n', 0, 0),
                 u"Presenti Registrazioni di Apertura dell'Esercizio corrente e/o di Chiusura "
                 u"nell'Esercizio precedente."_s);
        QVERIFY(!runYearEnd(archive, input, Years, *result, &error));
        QCOMPARE(resultEntries(archive, input.profitOrLoss), 1);
    }

    void closedYearRefusesEveryChangeButTheYearEndsOwn()
    {
        TestArchive a;
        const Chart c = closedYear(a);
        const QString closed = closedYearMessage({Years.prevStart, Years.prevEnd, {}});
        QCOMPARE(closed, u"L'esercizio dal 01/01/2023 al 31/12/2023 è chiuso. Per modificarlo, "
                         u"riaprirlo con Strumenti → Riapri esercizio."_s);
        const qint64 quote =
            a.scalar(u"SELECT id FROM regmain WHERE data = '2023-03-01'"_s).toLongLong();
        QString error;

        JournalEntry added{{0, QDate(2023, 5, 1), {}, EntryKind::Ordinary, {}},
                           {{0, c.cassa, c.quote, Money::fromCents(100), u"Quota"_s}}};
        QVERIFY(!writeEntry(a, added, FiscalYear(), &error));
        QCOMPARE(error, closed);
        JournalEntry moved{{quote, QDate(2024, 3, 1), 2, EntryKind::Ordinary, {}},
                           {{0, c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}}};
        QVERIFY(!writeEntry(a, moved, FiscalYear(), &error));
        QCOMPARE(error, closed);
        QVERIFY(!removeEntry(a, quote, std::nullopt, &error));
        QCOMPARE(error, closed);

        ArchiveTable rows;
        QVERIFY(loadArchiveTable(a, u"regdet"_s, &rows, &error));
        const qint64 row =
            a.scalar(u"SELECT id FROM regdet WHERE idRegMain = ?"_s, {quote}).toLongLong();
        QVERIFY(!deleteArchiveRow(a, rows, {row}, &error));
        QCOMPARE(error, closed);

        // The open year takes entries, and the closed one is as the year-end left it.
        JournalEntry open{{0, QDate(2024, 5, 1), {}, EntryKind::Ordinary, {}},
                          {{0, c.cassa, c.quote, Money::fromCents(100), u"Quota"_s}}};
        QVERIFY2(writeEntry(a, open, {Years.curStart, Years.curEnd, {}}, &error),
                 qPrintable(error));
        QVERIFY2(checked(a)->sound(), qPrintable(checked(a)->problemLines().join(u'\n')));
        if (!a.onServer())
            QCOMPARE(QDir(a.folder() + u"/backup"_s).entryList({u"contab-*-chiusura.mdb"_s}).size(),
                     1);
    }

    void reopenedYearClosesAgainAsTheFirstTime()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        const Chart c = closedYear(a);
        const QStringList first = yearEndRows(a);
        QString backup;
        QString error;
        QVERIFY2(reopenYear(a, Years, &backup, &error), qPrintable(error));
        QVERIFY(backup.endsWith(u"-riapertura.mdb"_s) && QFile::exists(backup));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain WHERE tipo <> 0"_s).toInt(), 0);
        QCOMPARE(numbersOfYear(a, Years.prevStart, Years.prevEnd), oneToN(3));
        QVERIFY(!reopenYear(a, Years, &backup, &error));
        QVERIFY(error.startsWith(u"Nessuna chiusura da annullare"_s));

        // The correction the reopening was for, then the same year-end again.
        const qint64 quote =
            a.scalar(u"SELECT id FROM regmain WHERE data = '2023-03-01'"_s).toLongLong();
        QVERIFY2(removeEntry(a, quote, std::nullopt, &error), qPrintable(error));
        a.addEntry(QDate(2023, 3, 1), {{c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}});
        const Money result = *yearResult(a, Years, &error);
        QVERIFY2(runYearEnd(a, inputFor(c), Years, result, &error), qPrintable(error));
        QCOMPARE(yearEndRows(a), first);
        const std::optional<ArchiveCheck> check = checked(a);
        QVERIFY(check->sound());
        QCOMPARE(check->fiscalYears.size(), 2);
        QVERIFY(check->fiscalYears.first().closed && !check->fiscalYears.last().closed);
    }

    // A save into the closed year sends the user to Riapri esercizio: from that working date it
    // reopens that year, in the window and on the command line alike.
    void reopensFromTheClosedYearsDate()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        closedYear(a);
        FiscalEnvironment environment(a.archive());
        environment.setWorkingDate(QDate(2023, 6, 30));
        QVERIFY(environment.refresh());
        ScriptedMessages messages;
        messages.answers = {true};
        QVERIFY(reopenLastYearEnd(nullptr, environment));
        QVERIFY2(messages.shown.first().startsWith(
                     u"Riaprire l'esercizio dal 01/01/2023 al 31/12/2023?"_s),
                 qPrintable(messages.shown.first()));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain WHERE tipo <> 0"_s).toInt(), 0);
    }

    void reopeningIsRefusedOverPrintedEntries()
    {
        TestArchive a;
        closedYear(a);
        a.exec(u"INSERT INTO stampe_definitive (inizio_esercizio, fine_esercizio, dal, al, "
               u"foglio_dal, foglio_al, riga_dal, riga_al, dare, avere, stampata_il, impronta) "
               u"VALUES ('2024-01-01', '2024-12-31', '2024-01-01', '2024-01-31', 1, 1, 1, 2, 0, "
               u"0, '2024-02-01T10:00:00', '')"_s);
        const qint64 entries = a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toLongLong();
        QString backup;
        QString error;
        QVERIFY(!reopenYear(a, Years, &backup, &error));
        QCOMPARE(error, u"Le registrazioni di apertura dell'esercizio dal 01/01/2024 al 31/12/2024 "
                        u"sono già stampate in definitiva sul libro giornale: l'esercizio "
                        u"precedente non può essere riaperto."_s);
        QVERIFY(backup.isEmpty());
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toLongLong(), entries);
    }

    void checkFindsEntriesAfterTheClosingAndAnAlteredOpening()
    {
        TestArchive a;
        const Chart c = closedYear(a);
        // Written behind the program, as another tool could.
        const qint64 late =
            a.addEntry(QDate(2023, 8, 1), {{c.cassa, c.quote, Money::fromCents(700), u"Tardi"_s}});
        a.exec(u"UPDATE regdet SET importo = importo + 10000 WHERE contodare = ? AND idRegMain IN "
               u"(SELECT id FROM regmain WHERE tipo = 1)"_s,
               {c.banca});
        const std::optional<ArchiveCheck> check = checked(a);
        QVERIFY(!check->sound());
        const FiscalYearCheck &year = check->fiscalYears.first();
        QCOMPARE(year.afterClosing, QList<qint64>{late});
        QVERIFY(year.openingMismatch.contains(c.banca));
        QVERIFY(!year.openingMismatch.contains(c.capitale));
        const QJsonObject json = check->toJson().value(u"esercizi"_s).toArray().first().toObject();
        QCOMPARE(json.value(u"dal"_s).toString(), u"2023-01-01"_s);
        QCOMPARE(json.value(u"closed"_s).toBool(), true);
        QCOMPARE(json.value(u"afterClosing"_s).toArray().first().toInteger(), late);
    }

    void aFailedBackupStopsTheYearEndBeforeAnyWrite()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        const Chart c = smallChart(a);
        a.addEntry(QDate(2023, 3, 1), {{c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}});
        // A file where the backup folder should be.
        QFile blocker(a.folder() + u"/backup"_s);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString error;
        const Money result = *yearResult(a, Years, &error);
        QVERIFY(!runYearEnd(a, inputFor(c), Years, result, &error));
        QVERIFY2(error.contains(u"copie di sicurezza"_s), qPrintable(error));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);
    }

    void refusesTheSecondOfTwoYearEndsStartedTogether()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        a.addEntry(QDate(2023, 3, 1), {{c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}});
        QString error;
        const Money result = *yearResult(a, Years, &error);
        // Both dialogs read the archive before either writes.
        QCOMPARE(yearEndRefusal(a, Years, &error), QString());
        QString errors[2];
        bool done[2] = {false, false};
        {
            std::jthread first([&] {
                done[0] = runYearEnd(a, inputFor(c), Years, result, &errors[0]).has_value();
            });
            std::jthread second([&] {
                done[1] = runYearEnd(a, inputFor(c), Years, result, &errors[1]).has_value();
            });
        }
        QCOMPARE(done[0] + done[1], 1);
        const QString &refused = done[0] ? errors[1] : errors[0];
        QVERIFY2(
            refused.startsWith(u"L'archivio è stato modificato dopo l'apertura della finestra"_s),
            qPrintable(refused));
        QCOMPARE(resultEntries(a.archive(), c.utile), 1);
        // One year-end's two openings: the cash, and the result reopened as equity.
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain WHERE tipo = 1"_s).toInt(), 2);
    }

    void refusesWhenTheResultChangedSinceItWasShown()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        a.addEntry(QDate(2023, 3, 1), {{c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}});
        QString error;
        const Money shown = *yearResult(a, Years, &error);
        a.addEntry(QDate(2023, 3, 2), {{c.affitti, c.cassa, Money::fromCents(100), u"Affitto"_s}});
        QVERIFY(!runYearEnd(a, inputFor(c), Years, shown, &error));
        QCOMPARE(error,
                 u"L'archivio è stato modificato dopo l'apertura della finestra: il risultato "
                 u"dell'esercizio non è più quello mostrato.\nRipetere la procedura."_s);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);
        QVERIFY(runYearEnd(a, inputFor(c), Years, *yearResult(a, Years, &error), &error));
    }

    void windowSaysWhenAnotherUserClosedTheYearMeanwhile()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        a.addEntry(QDate(2023, 3, 1), {{c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}});
        for (const auto &[key, id] :
             {std::pair(u"bilanciochiusura"_s, c.chiusura),
              std::pair(u"profittieperdite"_s, c.profitti),
              std::pair(u"bilancioapertura"_s, c.apertura), std::pair(u"utile"_s, c.utile)})
            writeParameter(a, key, ValueType::Integer, Storage::InArchive, id);
        ScriptedMessages messages;
        YearEndWindow window(a, Years, Money::fromCents(15000));
        window.show();
        QString error;
        QVERIFY(runYearEnd(a, inputFor(c), Years, Money::fromCents(15000), &error));
        const int entries = a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt();
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
        QVERIFY(messages.shown.last().startsWith(
            u"L'archivio è stato modificato dopo l'apertura della finestra.\n"
            u"Presenti Registrazioni di Apertura"_s));
        QVERIFY(window.isVisible());
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), entries);
    }

    void postsNoResultForAZeroYear()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        a.addEntry(QDate(2023, 5, 1), {{c.cassa, c.banca, Money::fromCents(100), u"Giroconto"_s}});
        a.addEntry(QDate(2023, 5, 2),
                   {{c.affitti, c.quote, Money::fromCents(100), u"Rettifica"_s}});
        QString error;
        QCOMPARE(yearResult(a, Years, &error), Money());
        const auto written = runYearEnd(a, inputFor(c), Years, Money(), &error);
        QVERIFY(written);
        for (qint64 id : *written)
            QVERIFY(!rowsOf(a, id).join(u' ').contains(u"Avanzo"_s));
    }

    void refusesToStartWhenItMustNot()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        QString error;
        QCOMPARE(
            yearEndRefusal(a, Years, &error),
            u"Nessuna Registrazione presente nell'Esercizio precedente\nLa procedura verrà interrotta."_s);
        a.addEntry(QDate(2023, 1, 1),
                   {{c.cassa, c.apertura, Money::fromCents(100), u"Apertura 2023"_s}}, 1);
        QCOMPARE(yearEndRefusal(a, Years, &error), QString());
        const QString already = u"Presenti Registrazioni di Apertura dell'Esercizio corrente e/o "
                                u"di Chiusura nell'Esercizio precedente.\n"
                                u"Eliminarle prima di effettuare una nuova Chiusura/Apertura"_s;
        const qint64 opening = a.addEntry(
            QDate(2024, 1, 1), {{c.cassa, c.apertura, Money::fromCents(100), u"x"_s}}, 1);
        QCOMPARE(yearEndRefusal(a, Years, &error), already);
        a.exec(u"DELETE FROM regmain WHERE id = ?"_s, {opening});
        a.addEntry(QDate(2023, 12, 31), {{c.chiusura, c.cassa, Money::fromCents(100), u"x"_s}}, -1);
        QCOMPARE(yearEndRefusal(a, Years, &error), already);
        QVERIFY(error.isEmpty());
    }

    void listsEveryInputError()
    {
        YearEndInput empty;
        empty.closingDate = QDate(2024, 1, 1);
        empty.openingDate = QDate(2023, 12, 31);
        empty.economicClosing.clear();
        empty.patrimonialClosing.clear();
        empty.opening.clear();
        QCOMPARE(
            yearEndProblems(empty, Years),
            (QStringList{u"- Data registrazione chiusura non compresa nell'esercizio precedente"_s,
                         u"- Data registrazione apertura non compresa nell'esercizio corrente"_s,
                         u"- Inserire Sottoconto \"Profitti e Perdite\""_s,
                         u"- Inserire Sottoconto \"Utile/Perdita d'esercizio\""_s,
                         u"- Inserire Sottoconto \"Bilancio di chiusura\""_s,
                         u"- Inserire Sottoconto \"Bilancio di apertura\""_s,
                         u"- Inserire Descrizione \"Chiusura Conti economici\""_s,
                         u"- Inserire Descrizione \"Chiusura Conti patrimoniali\""_s,
                         u"- Inserire Descrizione \"Apertura Conti patrimoniali\""_s}));
        YearEndInput bounds{Years.prevStart, Years.curEnd, u" "_s, u" "_s, u" "_s, 1, 2, 3, 4};
        QCOMPARE(yearEndProblems(bounds, Years), QStringList());
        bounds.closingDate = Years.prevEnd;
        bounds.openingDate = Years.curStart;
        QCOMPARE(yearEndProblems(bounds, Years), QStringList());
        bounds.closingDate = Years.prevStart.addDays(-1);
        QCOMPARE(yearEndProblems(bounds, Years).size(), 1);
    }

    void startsFromTheRoleParameters()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        writeParameter(a, u"bilanciochiusura"_s, ValueType::Integer, Storage::InArchive,
                       c.chiusura);
        writeParameter(a, u"profittieperdite"_s, ValueType::Integer, Storage::InArchive,
                       c.cassa); // wrong nature
        writeParameter(a, u"utile"_s, ValueType::Integer, Storage::InArchive, c.utile);
        writeParameter(a, u"perdita"_s, ValueType::Integer, Storage::InArchive, c.perdita);
        QString error;
        const auto sp = yearEndChoices(a, true, &error);
        const auto ce = yearEndChoices(a, false, &error);
        QCOMPARE(ce.size(), 3);
        QCOMPARE(ce.first().text, u"Affitti < Costi"_s);
        const YearEndInput zero = yearEndDefaults(a, Years, Money(), sp, ce);
        QCOMPARE(zero.closingBalance, c.chiusura);
        QCOMPARE(zero.profitAndLoss, 0);
        QCOMPARE(zero.openingBalance, 0);
        QCOMPARE(zero.profitOrLoss, c.utile);
        QCOMPARE(yearEndDefaults(a, Years, Money::fromCents(-1), sp, ce).profitOrLoss, c.perdita);
        QCOMPARE(zero.closingDate, Years.prevEnd);
        QCOMPARE(zero.openingDate, Years.curStart);
    }

    void leavesTheArchiveAsItWasOnFailure()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        const Chart c = smallChart(a);
        a.addEntry(QDate(2023, 1, 10),
                   {{c.banca, c.capitale, Money::fromCents(20000), u"Dotazione"_s}}, 0, 5);
        a.exec(
            u"CREATE TRIGGER blocca BEFORE INSERT ON regdet WHEN NEW.descrizione LIKE '%(passivo)' "
            u"AND NEW.descrizione LIKE 'Chiusura%' BEGIN SELECT RAISE(ABORT, 'scrittura rifiutata'); END"_s);
        QString error;
        QVERIFY(!runYearEnd(a, inputFor(c), Years, Money(), &error));
        QVERIFY(error.contains(u"scrittura rifiutata"_s));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);
        QCOMPARE(a.scalar(u"SELECT progressivo FROM regmain"_s).toInt(), 5);
    }

    void windowChecksValidatesAndRuns()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        FiscalEnvironment environment(a);
        environment.setWorkingDate(QDate(2024, 6, 1));
        QVERIFY(environment.refresh());
        ScriptedMessages messages;
        YearEndWindow::run(nullptr, environment);
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.shown.first().startsWith(u"Nessuna Registrazione"_s));

        a.addEntry(QDate(2023, 3, 1), {{c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}});
        writeParameter(a, u"utileDescrizione"_s, ValueType::Text, Storage::InArchive, u"Avanzo"_s);
        writeParameter(a, u"bilanciochiusura"_s, ValueType::Integer, Storage::InArchive,
                       c.chiusura);
        writeParameter(a, u"profittieperdite"_s, ValueType::Integer, Storage::InArchive,
                       c.profitti);
        writeParameter(a, u"bilancioapertura"_s, ValueType::Integer, Storage::InArchive,
                       c.apertura);
        YearEndWindow window(a, YearEndYears::of(environment), Money::fromCents(15000));
        window.show();
        QCOMPARE(window.findChild<QLabel *>(u"lblRisultato"_s)->text(),
                 u"Sottoconto Avanzo(SP):"_s);
        QCOMPARE(window.input().profitOrLoss, 0);
        window.findChild<QLineEdit *>(u"txtData2"_s)->clear();
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
        QCOMPARE(messages.shown.last(),
                 u"Sono stati individuati alcuni errori nell'inserimento dei parametri:\n\n"
                 u"- Inserire Sottoconto \"Utile/Perdita d'esercizio\"\n"
                 u"- Inserire Descrizione \"Apertura Conti patrimoniali\""_s);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);

        auto *result = window.findChild<QComboBox *>(u"dtc4"_s);
        result->setCurrentIndex(result->findData(c.utile));
        window.findChild<QLineEdit *>(u"txtData2"_s)->setText(u"Riapertura"_s);
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
        QCOMPARE(messages.shown.last(), u"Procedura terminata con successo.."_s);
        QCOMPARE(window.result(), int(QDialog::Accepted));
        // The cash opens on the debit side, the profit on the credit side.
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain WHERE tipo = 1"_s).toInt(), 2);
    }

    void enterInTheFieldsRunsNothing()
    {
        TestArchive a;
        const Chart c = smallChart(a);
        a.addEntry(QDate(2023, 3, 1), {{c.cassa, c.quote, Money::fromCents(15000), u"Quote"_s}});
        ScriptedMessages messages;
        YearEndWindow window(a, Years, Money::fromCents(15000));
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *closingDate = window.findChild<QDateEdit *>(u"dtp0"_s);
        closingDate->setFocus();
        // Every field, dates included, hands Enter on to the next one.
        for (const QString &next :
             {u"txtData0"_s, u"txtData1"_s, u"dtc0"_s, u"dtc1"_s, u"dtc4"_s, u"dtp1"_s}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QWidget *focused = QApplication::focusWidget();
            QVERIFY2(focused && (focused->objectName() == next ||
                                 focused->parentWidget()->objectName() == next),
                     qPrintable(next));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(window.isVisible());
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);
    }
};

QTEST_MAIN(TestYearEnd)
#include "tst_yearend.moc"
