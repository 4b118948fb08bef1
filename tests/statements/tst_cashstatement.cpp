#include "WorkbookXml.h"
#include "archive/NewArchive.h"
#include "statements/BalanceJson.h"
#include "statements/BalanceSections.h"
#include "statements/CashStatement.h"
#include "statements/CashStatementReport.h"
#include "statements/StatementExport.h"
#include "support/GoldenText.h"
#include "support/TestArchive.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

Money euro(qint64 euros)
{
    return Money::fromCents(euros * 100);
}

const QString Text = u"Movimento"_s;

const BalanceTables::Period Year2025{QDate(2025, 1, 1), QDate(2025, 12, 31)};
const BalanceTables::Period Year2024{QDate(2024, 1, 1), QDate(2024, 12, 31)};
const BalanceTables::Period Year2026{QDate(2026, 1, 1), QDate(2026, 12, 31)};

// A third-sector body's two years, booked by hand: every receipt and payment below is listed
// with the line it belongs to.
class EtsBooks {
public:
    static bool importEtsChart(const TestArchive &archive)
    {
        QString error;
        Connection connection(archive.archive());
        if (!importChart(connection, QDir(binDir()).filePath(u"pdc.gen"_s), u"pdc_ets"_s, &error))
            qFatal("%s", qPrintable(error));
        return true;
    }

    qint64 sub(const QString &description) const
    {
        const qint64 id =
            a.scalar(u"SELECT id FROM sottoconti WHERE descrizione = ?"_s, {description})
                .toLongLong();
        if (id == 0)
            qFatal("no sub-account %s", qPrintable(description));
        return id;
    }

    qint64 firstOf(const QString &account) const
    {
        return a
            .scalar(u"SELECT MIN(so.id) FROM sottoconti so JOIN conti c ON c.id = so.idConto "
                    u"WHERE c.prefisso = ?"_s,
                    {account})
            .toLongLong();
    }

    // One row with both sides.
    void book(const QDate &date, qint64 dare, qint64 avere, qint64 euros, int tipo = 0)
    {
        a.addEntry(date, {{dare, avere, euro(euros), Text}}, tipo);
    }

    CashStatement statement() const
    {
        Connection connection(a.archive(), Connection::Mode::ReadOnly);
        QString error;
        const auto computed =
            computeCashStatement(connection.database(), Year2025, Year2024, &error);
        if (!computed)
            qFatal("%s", qPrintable(error));
        return *computed;
    }

    TestArchive a;
    const bool chartImported = importEtsChart(a);
    const qint64 bank = sub(u"Banca c/c ordinario"_s);
    const qint64 cash = sub(u"Cassa contanti"_s);
    const qint64 opening = firstOf(u"290010"_s);
    const qint64 supplierA = firstOf(u"271040"_s);
    const qint64 supplierB =
        a.addSottoconto(a.scalar(u"SELECT id FROM conti WHERE prefisso = '271040'"_s).toLongLong(),
                        u"Fornitori per servizi"_s);
    const qint64 services = sub(u"Servizi per le attività istituzionali"_s);
    const qint64 vat = sub(u"IVA su acquisti"_s);
    const qint64 members = sub(u"Crediti verso associati"_s);
    const qint64 fees = firstOf(u"410010"_s);
    const qint64 wages = sub(u"Salari e stipendi - interesse generale"_s);
    const qint64 tfrCost = sub(u"Accantonamento TFR - interesse generale"_s);
    const qint64 tfrFund = sub(u"Fondo TFR"_s);
    const qint64 staff = sub(u"Personale c/retribuzioni"_s);
    const qint64 withholding = sub(u"Erario c/ritenute lavoro dipendente"_s);
    const qint64 loan = sub(u"Mutui passivi bancari"_s);
    const qint64 loanInterest = firstOf(u"340020"_s);
    const qint64 equipment = sub(u"Attrezzatura varia e minuta"_s);
    const qint64 users = sub(u"Utenti dei servizi"_s);
    const qint64 sales = firstOf(u"410070"_s);
    const qint64 writeDown = sub(u"Svalutazione crediti verso utenti e clienti"_s);
};

void bookTheTwoYears(EtsBooks &b)
{
    // 2024: opening cash and bank and a payable to supplier A with no booking entry.
    b.book(QDate(2024, 1, 1), b.bank, b.opening, 10000, 1);
    b.book(QDate(2024, 1, 1), b.cash, b.opening, 500, 1);
    b.book(QDate(2024, 1, 1), b.opening, b.supplierA, 800, 1);
    // Members' fees booked as receivable, 900 collected in 2024 (EA1), 300 in 2025.
    b.book(QDate(2024, 3, 1), b.members, b.fees, 1200);
    b.book(QDate(2024, 3, 20), b.bank, b.members, 900);
    // An invoice with VAT, paid in two instalments across the year end (UA2, VAT included).
    b.a.addEntry(QDate(2024, 11, 10), {{b.services, {}, euro(1000), Text},
                                       {b.vat, {}, euro(220), Text},
                                       {{}, b.supplierB, euro(1220), Text}});
    b.book(QDate(2024, 12, 10), b.supplierB, b.bank, 610);

    b.book(QDate(2025, 1, 15), b.supplierB, b.bank, 610);
    b.book(QDate(2025, 1, 20), b.supplierA, b.bank, 800);
    b.book(QDate(2025, 2, 10), b.bank, b.members, 300);
    b.book(QDate(2025, 2, 11), b.cash, b.fees, 150);
    // A salary with withholding tax and TFR accrual; the net pay, the tax and the TFR paid (UA4).
    b.a.addEntry(QDate(2025, 3, 31), {{b.wages, {}, euro(2000), Text},
                                      {{}, b.staff, euro(1600), Text},
                                      {{}, b.withholding, euro(400), Text}});
    b.book(QDate(2025, 3, 31), b.tfrCost, b.tfrFund, 140);
    b.book(QDate(2025, 4, 10), b.staff, b.bank, 1600);
    b.book(QDate(2025, 4, 16), b.withholding, b.bank, 400);
    b.book(QDate(2025, 6, 30), b.tfrFund, b.bank, 140);
    // A loan received (IE4) and an instalment of capital (IU4) and interest (UD5).
    b.book(QDate(2025, 5, 1), b.bank, b.loan, 5000);
    b.a.addEntry(QDate(2025, 11, 1), {{b.loan, {}, euro(1000), Text},
                                      {b.loanInterest, {}, euro(50), Text},
                                      {{}, b.bank, euro(1050), Text}});
    // Equipment bought (IU1), cash taken to the bank (nothing).
    b.book(QDate(2025, 6, 1), b.equipment, b.bank, 1200);
    b.book(QDate(2025, 7, 1), b.bank, b.cash, 300);
    // A service invoiced to a user, written down by 100 without cash, 400 collected (EA7).
    b.book(QDate(2025, 9, 1), b.users, b.sales, 500);
    b.book(QDate(2025, 10, 1), b.writeDown, b.users, 100);
    b.book(QDate(2025, 10, 15), b.bank, b.users, 400);
}

void compareRows(const CashStatementYear &year, const QList<std::pair<QString, qint64>> &expected)
{
    for (const auto &[id, euros] : expected)
        QVERIFY2(year.row(id) == euro(euros), qPrintable(id + u": "_s + decimalText(year.row(id))));
}

// The third-sector balance sheet template filled for a year and the one before; the notice told.
struct FilledSheet {
    QString model = QDir(binDir()).filePath(u"modelli/bilancio3settore.xltx"_s);
    QTemporaryDir out;
    QString file = out.filePath(u"bilancio.xlsx"_s);
    QString notice;

    FilledSheet(const TestArchive &a, const StatementYears &years)
    {
        WorkbookFiller filler;
        QString error;
        if (!filler.loadTemplate(model, &error) ||
            !generateStatement(filler, a.archive(), years, file, {}, &error, &notice))
            qFatal("%s", qPrintable(error));
    }

    QByteArray number(const QString &placeholder) const
    {
        return WorkbookXml::numberIn(file, WorkbookXml::cellHolding(model, placeholder));
    }

    // The balance sheet as a spreadsheet program computes it, one line of text per row; empty
    // without LibreOffice.
    QStringList recomputed() const
    {
        const QString office = QStandardPaths::findExecutable(u"soffice"_s);
        if (office.isEmpty())
            return {};
        QProcess convert;
        convert.start(office, {u"-env:UserInstallation=file://"_s + out.filePath(u"profile"_s),
                               u"--headless"_s, u"--convert-to"_s, u"csv"_s, u"--outdir"_s,
                               out.path(), file});
        QFile csv(out.filePath(u"bilancio.csv"_s));
        if (!convert.waitForFinished(120000) || !csv.open(QIODevice::ReadOnly))
            qFatal("LibreOffice did not convert %s", qPrintable(file));
        return QString::fromUtf8(csv.readAll()).split(u'\n');
    }
};

} // namespace

class TestCashStatement : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void eachReceiptAndPaymentLandsOnItsLine()
    {
        EtsBooks b;
        bookTheTwoYears(b);
        const CashStatement s = b.statement();

        compareRows(s.current, {{u"UA2"_s, 1410},
                                {u"UA4"_s, 2140},
                                {u"UA5"_s, 0},
                                {u"UD5"_s, 50},
                                {u"UT"_s, 3600},
                                {u"EA1"_s, 450},
                                {u"EA7"_s, 400},
                                {u"ET"_s, 850},
                                {u"IU1"_s, 1200},
                                {u"IU4"_s, 1000},
                                {u"IE4"_s, 5000},
                                {u"AGE"_s, -2750},
                                {u"AIN"_s, 2800},
                                {u"R3"_s, 50},
                                {u"CB1"_s, 350},
                                {u"CB2"_s, 10490},
                                {u"CBT"_s, 10840}});
        QCOMPARE(s.current.unclassified, Money());
        QCOMPARE(s.current.cashStart, euro(10790));
        QCOMPARE(s.current.cashEnd, euro(10840));
        QCOMPARE(s.current.difference(), Money());

        // The year before starts from the opening entry of the archive's first year.
        compareRows(s.previous, {{u"UA2"_s, 610}, {u"EA1"_s, 900}, {u"R3"_s, 290}});
        QCOMPARE(s.previous.cashStart, euro(10500));
        QCOMPARE(s.previous.cashEnd, euro(10790));
        QCOMPARE(s.previous.difference(), Money());
    }

    void anInstalmentSplitsAmongTheInvoicesLines()
    {
        EtsBooks b;
        // Two costs on one invoice, paid 1000.01 of 1500: shares in cents adding up exactly.
        b.a.addEntry(QDate(2025, 2, 1), {{b.services, {}, euro(1000), Text},
                                         {b.equipment, {}, euro(500), Text},
                                         {{}, b.supplierB, euro(1500), Text}});
        b.a.addEntry(QDate(2025, 3, 1), {{b.supplierB, b.bank, Money::fromCents(100001), Text}});
        const CashStatement s = b.statement();
        QCOMPARE(s.current.row(u"UA2"_s), Money::fromCents(66667));
        QCOMPARE(s.current.row(u"IU1"_s), Money::fromCents(33334));
        QCOMPARE(s.current.difference(), Money());
    }

    void vatPaidOrCollectedAtOnceGoesWithItsCostOrRevenue()
    {
        EtsBooks b;
        b.book(QDate(2025, 1, 1), b.bank, b.opening, 5000, 1);
        // Stationery 100 + VAT 22 paid by bank in one entry.
        b.a.addEntry(QDate(2025, 2, 1), {{b.firstOf(u"310010"_s), {}, euro(100), Text},
                                         {b.vat, {}, euro(22), Text},
                                         {{}, b.bank, euro(122), Text}});
        // A sponsorship 1,000 + VAT 220 collected in one entry.
        b.a.addEntry(QDate(2025, 3, 1), {{b.bank, {}, euro(1220), Text},
                                         {{}, b.firstOf(u"420030"_s), euro(1000), Text},
                                         {{}, b.sub(u"IVA su vendite"_s), euro(220), Text}});
        // Services 1,000 + VAT 220, 500 paid at once, the rest through the supplier later.
        b.a.addEntry(QDate(2025, 4, 1), {{b.services, {}, euro(1000), Text},
                                         {b.vat, {}, euro(220), Text},
                                         {{}, b.bank, euro(500), Text},
                                         {{}, b.supplierB, euro(720), Text}});
        b.book(QDate(2025, 5, 1), b.supplierB, b.bank, 720);
        const CashStatement s = b.statement();
        compareRows(s.current, {{u"UA1"_s, 122},
                                {u"UA2"_s, 1220},
                                {u"UA5"_s, 0},
                                {u"EA10"_s, 0},
                                {u"EB3"_s, 1220},
                                {u"UT"_s, 1342},
                                {u"ET"_s, 1220}});
        QCOMPARE(s.current.unclassified, Money());
        QCOMPARE(s.current.difference(), Money());
    }

    void anOverdraftIsNeverNettedWithAnotherBank()
    {
        EtsBooks b;
        const qint64 projects = b.sub(u"Banca c/c dedicato ai progetti"_s);
        b.book(QDate(2025, 1, 10), b.bank, b.sub(u"Fondo di dotazione"_s), 1000);
        b.book(QDate(2025, 2, 1), b.services, projects, 300);
        const FilledSheet sheet(b.a, {Year2025, Year2024});
        QCOMPARE(sheet.number(u"{{C170010+}}"_s), QByteArray("1000"));
        QCOMPARE(sheet.number(u"{{C170010-}}"_s), QByteArray("300"));
        if (const QStringList rows = sheet.recomputed(); !rows.isEmpty()) {
            QVERIFY(rows.contains(u"1) depositi bancari e postali,1000,0,,1000,,0,"_s));
            QVERIFY(rows.contains(u"1) debiti verso banche,300,0,,0,300,0,0"_s));
        }
    }

    void aYearBeforeTheYearEndStartsFromTheEarlierBalances()
    {
        EtsBooks b;
        b.a.exec(u"UPDATE parametri SET valore = ? WHERE chiave = 'utile'"_s,
                 {QString::number(b.sub(u"Avanzo d'esercizio"_s))});
        // 2025: endowment and a donation; 2026: rent; no year-end yet.
        b.book(QDate(2025, 3, 1), b.bank, b.sub(u"Fondo di dotazione"_s), 5000);
        b.book(QDate(2025, 4, 1), b.bank, b.sub(u"Erogazioni liberali da persone fisiche"_s), 400);
        b.book(QDate(2026, 2, 1), b.sub(u"Affitto locali per le attività istituzionali"_s), b.bank,
               1200);
        const FilledSheet sheet(b.a, {Year2026, Year2025});
        QCOMPARE(sheet.notice, previousYearOpenNotice());
        QCOMPARE(sheet.number(u"{{C210}}"_s), QByteArray("5000"));
        QCOMPARE(sheet.number(u"{{C170010+}}"_s), QByteArray("4200"));
        QCOMPARE(sheet.number(u"{{C170010-}}"_s), QByteArray("0"));
        // The 2025 surplus is carried forward; the year's own result is the rent alone.
        QCOMPARE(sheet.number(u"{{C240010}}"_s), QByteArray("400"));
        // Recomputed, the sheet balances: 4,200 of bank against 5,000 + 400 - 1,200.
        if (const QStringList rows = sheet.recomputed(); !rows.isEmpty()) {
            for (const QString &line :
                 {u"TOTALE ATTIVO,4200,"_s, u"IV - Avanzo/disavanzo d'esercizio,-1200,"_s,
                  u"TOTALE PASSIVO,4200,"_s})
                QVERIFY2(std::any_of(rows.begin(), rows.end(),
                                     [&](const QString &row) { return row.startsWith(line); }),
                         qPrintable(line));
        }

        Connection connection(b.a.archive(), Connection::Mode::ReadOnly);
        BalanceOptions options;
        options.dateFrom = Year2026.start;
        options.dateTo = Year2026.end;
        QString error;
        const auto balance = computeBalance(connection.database(), options, {}, &error);
        QVERIFY2(balance, qPrintable(error));
        QVERIFY(balance->previousYearOpen);
        QCOMPARE(balance->section(1).total, euro(4200));
        QCOMPARE(balance->section(2).total, euro(5400));
        QCOMPARE(balance->assetsAndLiabilities().leftResult, std::optional(euro(1200)));
        QCOMPARE(balance->costsAndRevenues().rightResult, std::optional(euro(1200)));
    }

    void whatNoLineTakesShowsAsTheDifference()
    {
        EtsBooks b;
        b.book(QDate(2025, 1, 1), b.bank, b.opening, 1000, 1);
        // Depreciation is no payment: booked against the bank it cannot be classified.
        b.book(QDate(2025, 5, 1), b.firstOf(u"310050"_s), b.bank, 70);
        // A payment in advance, never invoiced, goes where the supplier's payments go.
        b.book(QDate(2025, 6, 1), b.supplierB, b.bank, 30);
        // Fees collected in advance to deferred income: no line takes them either.
        b.book(QDate(2025, 12, 1), b.bank, b.firstOf(u"280020"_s), 300);
        const CashStatement s = b.statement();
        QCOMPARE(s.current.unclassified, euro(230));
        QCOMPARE(s.current.row(u"UA2"_s), euro(30));
        QCOMPARE(s.current.surplus(), -euro(30));
        QCOMPARE(s.current.difference(), euro(230));
        // The user is told which entries to look at.
        const std::vector<CashStatementEntry> expected{{0, QDate(2025, 5, 1)},
                                                       {0, QDate(2025, 12, 1)}};
        QCOMPARE(s.current.unclassifiedEntries, expected);
        QString difference;
        QVERIFY2(matchesGolden(u"cash_statement.json"_s,
                               QString::fromUtf8(cashStatementJson(s, {Year2025, Year2024})),
                               &difference),
                 qPrintable(difference));
        const QStringList warnings = cashStatementWarnings(s, {Year2025, Year2024});
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].contains(u"nell'esercizio 2025 restano da classificare 230,00"_s) &&
                     warnings[0].contains(u"da 2 registrazioni: senza numero del 01/05/2025, "
                                          u"senza numero del 01/12/2025."_s),
                 qPrintable(warnings[0]));
    }

    void aClosedYearStartsFromItsClosing()
    {
        EtsBooks b;
        bookTheTwoYears(b);
        const qint64 closing = b.firstOf(u"290020"_s);
        // The closing of 2024 and the opening of 2025, for cash and bank only.
        b.book(QDate(2024, 12, 31), closing, b.bank, 10290, -1);
        b.book(QDate(2024, 12, 31), closing, b.cash, 500, -1);
        b.book(QDate(2025, 1, 1), b.bank, b.opening, 10290, 1);
        b.book(QDate(2025, 1, 1), b.cash, b.opening, 500, 1);
        CashStatement s = b.statement();
        QCOMPARE(s.current.cashStart, euro(10790));
        QCOMPARE(s.current.cashEnd, euro(10840));
        QCOMPARE(s.current.difference(), Money());
        QCOMPARE(s.current.row(u"UA2"_s), euro(1410));

        // An opening that disagrees with the closing is a difference, never hidden.
        b.a.exec(u"UPDATE regdet SET importo = ? WHERE importo = ? AND contodare = ?"_s,
                 {euro(10000).units(), euro(10290).units(), b.bank});
        s = b.statement();
        QCOMPARE(s.current.difference(), -euro(290));
    }

    void scriptsReadEveryLineAndTheCheck()
    {
        EtsBooks b;
        bookTheTwoYears(b);
        const QJsonObject json =
            QJsonDocument::fromJson(cashStatementJson(b.statement(), {Year2025, Year2024}))
                .object();
        QJsonObject services;
        for (const QJsonValue &line : json[u"righe"_s].toArray())
            if (line[u"voce"_s] == u"UA2"_s)
                services = line.toObject();
        QCOMPARE(services[u"descrizione"_s].toString(), u"2) Servizi"_s);
        QCOMPARE(services[u"importo"_s].toString(), u"1410.00"_s);
        QCOMPARE(services[u"importoPrecedente"_s].toString(), u"610.00"_s);
        QCOMPARE(json[u"cassaInizio"_s][u"importoPrecedente"_s].toString(), u"10500.00"_s);
        QCOMPARE(json[u"avanzo"_s][u"importo"_s].toString(), u"50.00"_s);
        QCOMPARE(json[u"differenza"_s][u"importo"_s].toString(), u"0.00"_s);
        QCOMPARE(json[u"daClassificare"_s][u"importo"_s].toString(), u"0.00"_s);
    }

    void theTemplateIsFilledWithBothYears()
    {
        EtsBooks b;
        bookTheTwoYears(b);
        const QString model = QDir(binDir()).filePath(u"modelli/rendicontocassa.xltx"_s);
        QTemporaryDir out;
        const QString filled = out.filePath(u"rendiconto.xlsx"_s);
        WorkbookFiller filler;
        QString error;
        QVERIFY2(
            filler.loadTemplate(model, &error) &&
                generateStatement(filler, b.a.archive(), {Year2025, Year2024}, filled, {}, &error),
            qPrintable(error));
        for (const auto &[placeholder, number] :
             {std::pair(u"{{C:UA4}}"_s, "2140"), std::pair(u"{{P:UA2}}"_s, "610"),
              std::pair(u"{{C:IE4}}"_s, "5000"), std::pair(u"{{C:CBI}}"_s, "10790"),
              std::pair(u"{{P:CBI}}"_s, "10500"), std::pair(u"{{C:CB2}}"_s, "10490"),
              std::pair(u"{{C:DC}}"_s, "0")}) {
            const QByteArray cell = WorkbookXml::cellHolding(model, placeholder);
            QVERIFY2(!cell.isEmpty(), qPrintable(placeholder));
            QCOMPARE(WorkbookXml::numberIn(filled, cell), QByteArray(number));
        }
    }
};

QTEST_GUILESS_MAIN(TestCashStatement)
#include "tst_cashstatement.moc"
