#include "WorkbookXml.h"
#include "archive/ChartTemplates.h"
#include "archive/NewArchive.h"
#include "data/Database.h"
#include "statements/CashStatementPlan.h"
#include "support/TestArchive.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// One placeholder of a shipped template: where it lies and what it names.
struct Placeholder {
    QString sheet;
    int row;
    QChar period;
    QString code;
    QString part; // "+" the sub-accounts' debit balances, "-" their credit ones
};

const QRegularExpression AccountGrammar(u"^\\{\\{([CP])([0-9A-Z]{6}|[0-9A-Z]{3})([+-]?)\\}\\}$"_s);
const QRegularExpression FigureGrammar(u"^\\{\\{([CP]):([0-9A-Z]+)\\}\\}$"_s);

QList<Placeholder> placeholdersOf(const QString &path,
                                  const QRegularExpression &grammar = AccountGrammar)
{
    QStringList strings;
    pugi::xml_document shared;
    if (WorkbookXml::load(path, u"xl/sharedStrings.xml"_s, &shared))
        for (const pugi::xml_node &item : shared.child("sst").children("si"))
            strings << QString::fromUtf8(item.child_value("t"));

    pugi::xml_document book;
    WorkbookXml::load(path, u"xl/workbook.xml"_s, &book);
    QList<Placeholder> found;
    int index = 0;
    for (const pugi::xml_node &sheet : book.child("workbook").child("sheets").children("sheet")) {
        pugi::xml_document xml;
        // The writer names the worksheets' parts in workbook order.
        WorkbookXml::load(path, u"xl/worksheets/sheet%1.xml"_s.arg(++index), &xml);
        for (const pugi::xml_node &row :
             xml.child("worksheet").child("sheetData").children("row")) {
            for (const pugi::xml_node &cell : row.children("c")) {
                if (std::string_view(cell.attribute("t").value()) != "s")
                    continue;
                const auto match = grammar.match(strings.value(cell.child("v").text().as_int()));
                if (match.hasMatch())
                    found.append({QString::fromUtf8(sheet.attribute("name").value()),
                                  row.attribute("r").as_int(), match.captured(1).front(),
                                  match.captured(2), match.captured(3)});
            }
        }
    }
    return found;
}

// The accounts of a chart template, each with its ledger and nature.
struct ChartAccounts {
    QMap<QString, QString> ledgerOf; // account code -> ledger code
    QMap<QString, QString> natureOf; // account code -> "attivo", "passivo", "costi", "ricavi"
    QSet<QString> ledgers;
};

ChartAccounts chartAccounts(const QString &foglio)
{
    Connection connection(QDir(binDir()).filePath(u"pdc.gen"_s), Connection::Mode::ReadOnly);
    QSqlQuery query = connection.query();
    ChartAccounts chart;
    if (!query.exec(u"SELECT DISTINCT cCodice, mCodice, mNatura FROM "_s + foglio))
        qFatal("%s", qPrintable(query.lastError().text()));
    while (query.next()) {
        chart.ledgerOf.insert(query.value(0).toString(), query.value(1).toString());
        chart.natureOf.insert(query.value(0).toString(), query.value(2).toString());
        chart.ledgers.insert(query.value(1).toString());
    }
    return chart;
}

// The accounts a code stands for: itself, or every account of a ledger.
QStringList accountsOf(const ChartAccounts &chart, const QString &code)
{
    if (code.size() == 6)
        return {code};
    QStringList accounts;
    for (auto it = chart.ledgerOf.cbegin(); it != chart.ledgerOf.cend(); ++it)
        if (it.value() == code)
            accounts << it.key();
    return accounts;
}

QString templatePath(const QString &name)
{
    return QDir(binDir()).filePath(u"modelli/"_s + name);
}

} // namespace

class TestTemplates : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void placeholdersNameCodesOfTheirChart_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("foglio");
        QTest::newRow("bilancio3settore") << u"bilancio3settore.xltx"_s << u"pdc_ets"_s;
        QTest::newRow("bilanciocee") << u"bilanciocee.xltx"_s << u"pdc_impresa"_s;
    }

    void placeholdersNameCodesOfTheirChart()
    {
        QFETCH(QString, file);
        QFETCH(QString, foglio);
        const ChartAccounts chart = chartAccounts(foglio);
        const QList<Placeholder> placeholders = placeholdersOf(templatePath(file));
        QVERIFY(placeholders.size() > 40);
        QMap<QString, int> perLine; // "sheet/row/period/code" -> count
        for (const Placeholder &p : placeholders) {
            const bool known = p.code.size() == 6 ? chart.ledgerOf.contains(p.code)
                                                  : chart.ledgers.contains(p.code);
            QVERIFY2(known, qPrintable(file + u": "_s + p.code));
            ++perLine[u"%1/%2/%3"_s.arg(p.sheet).arg(p.row).arg(p.code)];
        }
        // Each code of a line appears once for the current and once for the previous year.
        for (auto it = perLine.cbegin(); it != perLine.cend(); ++it)
            QVERIFY2(it.value() == 2, qPrintable(file + u": "_s + it.key()));
    }

    void noAccountLandsInTwoLinesOfAStatement_data() { placeholdersNameCodesOfTheirChart_data(); }

    void noAccountLandsInTwoLinesOfAStatement()
    {
        QFETCH(QString, file);
        QFETCH(QString, foglio);
        const ChartAccounts chart = chartAccounts(foglio);
        QMap<QString, int> lineOf; // "sheet/account" -> row
        for (const Placeholder &p : placeholdersOf(templatePath(file))) {
            if (p.period != u'C')
                continue;
            for (const QString &account : accountsOf(chart, p.code)) {
                // The bank accounts change side with their balance: their positive part among
                // the liquid assets, their negative part among the debts to banks.
                if (account == u"170010"_s)
                    continue;
                const QString key = p.sheet + u'/' + account;
                QVERIFY2(!lineOf.contains(key) || lineOf.value(key) == p.row,
                         qPrintable(file + u": "_s + key));
                lineOf.insert(key, p.row);
            }
        }
        // The bank's two lines take its sub-accounts' debit and credit balances apart.
        QStringList bankParts;
        for (const Placeholder &p : placeholdersOf(templatePath(file)))
            if (p.code == u"170010"_s && p.period == u'C')
                bankParts << p.part;
        bankParts.sort();
        QCOMPARE(bankParts, (QStringList{u"+"_s, u"-"_s}));
    }

    // Every account of the chart shows up in the full statements, except the system ledgers of
    // the closing and opening entries, whose balance is zero when the books balance.
    void fullStatementsCoverEveryAccount_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("foglio");
        QTest::newRow("bilancio3settore") << u"bilancio3settore.xltx"_s << u"pdc_ets"_s;
        QTest::newRow("bilanciocee") << u"bilanciocee.xltx"_s << u"pdc_impresa"_s;
    }

    void fullStatementsCoverEveryAccount()
    {
        QFETCH(QString, file);
        QFETCH(QString, foglio);
        const ChartAccounts chart = chartAccounts(foglio);
        QSet<QString> covered;
        for (const Placeholder &p : placeholdersOf(templatePath(file)))
            for (const QString &account : accountsOf(chart, p.code))
                covered.insert(account);
        for (auto it = chart.ledgerOf.cbegin(); it != chart.ledgerOf.cend(); ++it) {
            if (it.value() == u"290"_s || it.value() == u"490"_s)
                continue;
            QVERIFY2(covered.contains(it.key()), qPrintable(file + u": "_s + it.key()));
        }
    }

    void theYearsResultIsNotTheResultAccount()
    {
        // Outside the closing entries the result accounts hold only earlier results, which
        // belong with the results carried forward.
        for (const auto &[file, account, carriedForward] :
             {std::tuple(u"bilancio3settore.xltx"_s, u"240010"_s, u"230010"_s),
              std::tuple(u"bilanciocee.xltx"_s, u"210090"_s, u"210080"_s)}) {
            int resultRow = -1, carriedRow = -2;
            for (const Placeholder &p : placeholdersOf(templatePath(file))) {
                if (p.code == account)
                    resultRow = p.row;
                if (p.code == carriedForward)
                    carriedRow = p.row;
            }
            QCOMPARE(resultRow, carriedRow);
        }
    }

    // The cash-basis statement asks the program for each of its lines and for the two figures of
    // its check, once for each year; its totals are formulas.
    void theCashStatementAsksForEachLineOnce()
    {
        QSet<QString> expected{u"CBI"_s, u"DC"_s};
        for (const CashStatementRow &row : cashStatementRows())
            if (row.kind == CashStatementRow::Kind::Line)
                expected.insert(row.id);
        QMap<QChar, QStringList> asked;
        for (const Placeholder &p :
             placeholdersOf(templatePath(u"rendicontocassa.xltx"_s), FigureGrammar))
            asked[p.period] << p.code;
        for (const QChar period : {u'C', u'P'}) {
            QCOMPARE(asked[period].size(), expected.size());
            QCOMPARE(QSet<QString>(asked[period].cbegin(), asked[period].cend()), expected);
        }
        QVERIFY(placeholdersOf(templatePath(u"rendicontocassa.xltx"_s)).isEmpty());
    }

    void aNewArchiveGetsEveryTemplate()
    {
        QString error;
        const QList<ChartTemplate> charts =
            loadChartTemplates(QDir(binDir()).filePath(u"pdc.gen"_s), &error);
        QVERIFY2(!charts.isEmpty(), qPrintable(error));
        QTemporaryDir base;
        QVERIFY2(createArchive({base.path(), u"modelli"_s, charts.first(), 1}, binDir(), &error),
                 qPrintable(error));
        const QString folder = archiveFolderFor(base.path(), u"modelli"_s);
        for (const QString &name :
             {u"bilancio3settore.xltx"_s, u"bilanciocee.xltx"_s, u"rendicontocassa.xltx"_s}) {
            QFile copy(folder + u"/modelli/"_s + name);
            QVERIFY2(copy.open(QIODevice::ReadOnly), qPrintable(name));
            QFile shipped(templatePath(name));
            QVERIFY(shipped.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), shipped.readAll());
        }
    }
};

QTEST_GUILESS_MAIN(TestTemplates)
#include "tst_templates.moc"
