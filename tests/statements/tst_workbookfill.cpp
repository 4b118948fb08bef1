#include "WorkbookXml.h"
#include "data/Database.h"
#include "statements/BalanceTables.h"
#include "statements/Placeholders.h"
#include "statements/WorkbookFiller.h"
#include "support/TestArchive.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray SheetHeader =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)";

// A template with three worksheets: the statement (shared and inline strings, a formula, a
// style, a merged title and column widths), a hidden one and an empty one.
QList<WorkbookXml::Part> templateParts(const QByteArray &hiddenSheet)
{
    const QByteArray contentTypes =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/worksheets/sheet2.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/worksheets/sheet3.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>)";
    const QByteArray rootRels =
        R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)";
    const QByteArray workbook =
        R"(<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Bilancio" sheetId="1" r:id="rId1"/><sheet name="Nascosto" sheetId="2" state="hidden" r:id="rId2"/><sheet name="Vuoto" sheetId="3" r:id="rId3"/></sheets><definedNames><definedName name="Totale">Bilancio!$A$4</definedName></definedNames></workbook>)";
    const QByteArray workbookRels =
        R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet3.xml"/><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet2.xml"/><Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>)";
    const QByteArray sharedStrings =
        R"(<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="6" uniqueCount="6"><si><t>{{C100001}}</t></si><si><t>{{C12345}}</t></si><si><t>{{c100001}}</t></si><si><t>{{X100001}}</t></si><si><r><t>{{P1</t></r><r><rPr><b/></rPr><t>00}}</t></r></si><si><t>Titolo</t></si></sst>)";
    const QByteArray statement =
        SheetHeader +
        R"(<cols><col min="1" max="1" width="42.5" customWidth="1"/></cols><sheetData><row r="1"><c r="A1" t="s"><v>5</v></c></row><row r="2"><c r="A2" s="3" t="s"><v>0</v></c><c r="B2" t="s"><v>1</v></c><c r="C2" t="s"><v>2</v></c><c r="D2" t="s"><v>3</v></c><c r="E2" t="s"><v>4</v></c><c r="F2" t="inlineStr"><is><t>{{C999999}}</t></is></c></row><row r="4"><c r="A4" s="3"><f>A2+F2</f><v>17</v></c><c r="B4" t="str"><f>"{{C100001}}"</f><v>{{C100001}}</v></c></row></sheetData><mergeCells count="1"><mergeCell ref="A1:F1"/></mergeCells></worksheet>)";
    const QByteArray empty = SheetHeader + "<sheetData/></worksheet>";
    return {{u"[Content_Types].xml"_s, contentTypes},
            {u"_rels/.rels"_s, rootRels},
            {u"xl/workbook.xml"_s, workbook},
            {u"xl/_rels/workbook.xml.rels"_s, workbookRels},
            {u"xl/sharedStrings.xml"_s, sharedStrings},
            {u"xl/worksheets/sheet1.xml"_s, statement},
            {u"xl/worksheets/sheet2.xml"_s, hiddenSheet},
            {u"xl/worksheets/sheet3.xml"_s, empty}};
}

const QByteArray HiddenSheet =
    SheetHeader +
    R"(<sheetData><row r="7"><c r="C7" t="inlineStr"><is><t>{{P100001}}</t></is></c></row></sheetData></worksheet>)";

// An archive with account 100001 (ledger 100, assets) and revenue account 400001 (ledger
// 400): 2023 is closed with its closing entry, 2024 is open.
struct Books {
    TestArchive archive;
    Books()
    {
        const qint64 cassa =
            archive.addSottoconto(archive.addConto(archive.addMastro(u"100"_s, u"Liquidità"_s, 1),
                                                   u"100001"_s, u"Cassa"_s),
                                  u"Cassa"_s);
        const qint64 quote =
            archive.addSottoconto(archive.addConto(archive.addMastro(u"400"_s, u"Proventi"_s, 4),
                                                   u"400001"_s, u"Quote"_s),
                                  u"Quote"_s);
        const qint64 chiusura =
            archive.addSottoconto(archive.addConto(archive.addMastro(u"290"_s, u"Chiusura"_s, 2),
                                                   u"290001"_s, u"Bilancio di chiusura"_s),
                                  u"Bilancio di chiusura"_s);
        const auto euro = [](qint64 cents) { return Money::fromCents(cents); };
        archive.addEntry(QDate(2023, 5, 2), {{cassa, quote, euro(10050), u""_s}});
        archive.addEntry(QDate(2023, 12, 31),
                         {{quote, {}, euro(10050), u""_s}, {chiusura, cassa, euro(10050), u""_s}},
                         -1);
        archive.addEntry(QDate(2024, 1, 1), {{cassa, chiusura, euro(10050), u""_s}}, 1);
        archive.addEntry(QDate(2024, 3, 1), {{cassa, quote, euro(2025), u""_s}});
    }

    BalanceTables tables() const
    {
        Connection connection(archive.archive());
        BalanceTables tables;
        if (!tables.read(connection.database(), {QDate(2024, 1, 1), QDate(2024, 12, 31)},
                         {QDate(2023, 1, 1), QDate(2023, 12, 31)}))
            qFatal("balance tables not read");
        return tables;
    }
};

} // namespace

class TestWorkbookFill : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeTemplate(const QString &name, const QByteArray &hiddenSheet = HiddenSheet)
    {
        const QString path = m_dir.filePath(name);
        if (!WorkbookXml::write(path, templateParts(hiddenSheet)))
            qFatal("template not written");
        return path;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void placeholderGrammar_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("validated");
        QTest::newRow("current account") << u"{{C123456}}"_s << u"C123456"_s;
        QTest::newRow("previous ledger") << u"{{P123}}"_s << u"P123"_s;
        QTest::newRow("current ledger") << u"{{C1AB}}"_s << u"C1AB"_s;
        QTest::newRow("ten characters") << u"{{C12345}}"_s << QString();
        QTest::newRow("twelve characters") << u"{{C1234567}}"_s << QString();
        QTest::newRow("lower-case letter") << u"{{c123456}}"_s << QString();
        QTest::newRow("other letter") << u"{{X123456}}"_s << QString();
        QTest::newRow("leading space") << u" {{C12345}}"_s << QString();
        QTest::newRow("single brace") << u"{C123456}}}"_s << QString();
        QTest::newRow("unclosed") << u"{{C123456}>"_s << QString();
        QTest::newRow("cash figure") << u"{{P:EA10}}"_s << u"P:EA10"_s;
        QTest::newRow("debit balances") << u"{{C170010+}}"_s << u"C170010+"_s;
        QTest::newRow("credit balances") << u"{{P170010-}}"_s << u"P170010-"_s;
        QTest::newRow("part of a ledger") << u"{{C170+}}"_s << QString();
        QTest::newRow("other sign") << u"{{C170010*}}"_s << QString();
        QTest::newRow("figure of nine") << u"{{C:ABCDEFGHI}}"_s << QString();
        QTest::newRow("figure in lower case") << u"{{C:ua1}}"_s << QString();
        QTest::newRow("figure without id") << u"{{C:}}"_s << QString();
        QTest::newRow("number") << u"123456"_s << QString();
        QTest::newRow("empty") << QString() << QString();
    }

    void placeholderGrammar()
    {
        QFETCH(QString, text);
        QFETCH(QString, validated);
        QCOMPARE(placeholderKey(text), validated);
        QCOMPARE(parsePlaceholder(text).has_value(), !validated.isEmpty());
    }

    void tablesLeaveClosingEntriesOutOfAClosedYear()
    {
        const Books books;
        const BalanceTables tables = books.tables();
        using P = Placeholder;
        const auto value = [&](P::Period period, P::Level level, const QString &code) {
            return tables.value({period, level, code});
        };
        // 2023 shows its revenue and cash before closing, not the zeroes after it.
        QCOMPARE(value(P::Period::Previous, P::Level::Account, u"400001"_s),
                 Money::fromCents(10050));
        QCOMPARE(value(P::Period::Previous, P::Level::Ledger, u"100"_s), Money::fromCents(10050));
        QCOMPARE(value(P::Period::Current, P::Level::Account, u"100001"_s),
                 Money::fromCents(12075));
        QCOMPARE(value(P::Period::Current, P::Level::Ledger, u"400"_s), Money::fromCents(2025));
        QVERIFY(value(P::Period::Current, P::Level::Account, u"999999"_s).isZero());
        QVERIFY(value(P::Period::Current, P::Level::Ledger, u"100001"_s).isZero());
    }

    void fillsEveryWorksheetAndKeepsTheTemplate()
    {
        const Books books;
        const QString source = writeTemplate(u"modello.xltx"_s);
        const QString target = m_dir.filePath(u"bilancio.xlsx"_s);
        WorkbookFiller filler;
        QString error;
        QVERIFY2(filler.loadTemplate(source, &error), qPrintable(error));
        int ticks = 0;
        QVERIFY2(filler.fillPlaceholders(
                     books.tables(), [&] { ++ticks; }, &error),
                 qPrintable(error));
        QVERIFY2(filler.saveFile(target, &error), qPrintable(error));
        // Placeholders: A2, rich-text E2, F2 and the hidden sheet's C7.
        QCOMPARE(filler.filledCount(), 4);
        // The statement spans A1:F4 (24 cells), the hidden sheet A1:C7 (21), the empty one A1.
        QCOMPARE(ticks, 0);

        pugi::xml_document sheet;
        QVERIFY(WorkbookXml::load(target, u"xl/worksheets/sheet1.xml"_s, &sheet));
        const auto cell = [&](const char *reference) {
            return WorkbookXml::cell(sheet, reference);
        };
        QCOMPARE(QByteArray(cell("A2").child_value("v")), "120.75");
        QVERIFY(!cell("A2").attribute("t"));
        QCOMPARE(cell("A2").attribute("s").as_int(), 3);
        QCOMPARE(QByteArray(cell("E2").child_value("v")), "100.5");
        QCOMPARE(QByteArray(cell("F2").child_value("v")), "0");
        QVERIFY(!cell("F2").child("is"));
        for (const char *untouched : {"B2", "C2", "D2"}) {
            QCOMPARE(QByteArray(cell(untouched).attribute("t").value()), "s");
        }
        QCOMPARE(QByteArray(cell("B2").child_value("v")), "1");
        // Formulas stay, without their stale cached results.
        QCOMPARE(QByteArray(cell("A4").child_value("f")), "A2+F2");
        QVERIFY(!cell("A4").child("v"));
        QCOMPARE(cell("A4").attribute("s").as_int(), 3);
        QCOMPARE(QByteArray(cell("B4").child_value("f")), "\"{{C100001}}\"");
        QCOMPARE(QByteArray(sheet.child("worksheet")
                                .child("mergeCells")
                                .child("mergeCell")
                                .attribute("ref")
                                .value()),
                 "A1:F1");
        QCOMPARE(sheet.child("worksheet").child("cols").child("col").attribute("width").as_double(),
                 42.5);

        pugi::xml_document hidden;
        QVERIFY(WorkbookXml::load(target, u"xl/worksheets/sheet2.xml"_s, &hidden));
        QCOMPARE(QByteArray(WorkbookXml::cell(hidden, "C7").child_value("v")), "100.5");

        pugi::xml_document workbook;
        QVERIFY(WorkbookXml::load(target, u"xl/workbook.xml"_s, &workbook));
        const pugi::xml_node root = workbook.child("workbook");
        QCOMPARE(root.child("calcPr").attribute("fullCalcOnLoad").as_int(), 1);
        QCOMPARE(QByteArray(root.child("definedNames").next_sibling().name()), "calcPr");
        QCOMPARE(QByteArray(root.child("sheets").last_child().attribute("state").value()), "");
        const QByteArray types = WorkbookXml::read(target, u"[Content_Types].xml"_s);
        QVERIFY(types.contains("spreadsheetml.sheet.main+xml"));
        QVERIFY(!types.contains("template.main"));
        QCOMPARE(WorkbookXml::read(target, u"xl/sharedStrings.xml"_s),
                 WorkbookXml::read(source, u"xl/sharedStrings.xml"_s));
    }

    void ticksOncePerThirtyCellsOfTheUsedRectangle()
    {
        const QByteArray wide =
            SheetHeader +
            R"(<sheetData><row r="2"><c r="B2"><v>1</v></c></row><row r="10"><c r="F10" t="inlineStr"><is><t>{{C100001}}</t></is></c></row></sheetData></worksheet>)";
        const Books books;
        WorkbookFiller filler;
        QVERIFY(filler.loadTemplate(writeTemplate(u"largo.xltx"_s, wide)));
        int ticks = 0;
        QVERIFY(filler.fillPlaceholders(books.tables(), [&] { ++ticks; }));
        // 10 rows by 6 columns on the hidden sheet; the others are below 30 cells.
        QCOMPARE(ticks, 2);
    }

    void aDamagedWorksheetSavesNothing()
    {
        const Books books;
        const QString target = m_dir.filePath(u"esistente.xlsx"_s);
        {
            QFile existing(target);
            QVERIFY(existing.open(QIODevice::WriteOnly));
            existing.write("precedente");
        }
        WorkbookFiller filler;
        QVERIFY(
            filler.loadTemplate(writeTemplate(u"rotto.xltx"_s, SheetHeader + "<sheetData><row>")));
        QString error;
        QVERIFY(!filler.fillPlaceholders(books.tables(), {}, &error));
        QVERIFY(error.contains(u"danneggiat"_s));
        QVERIFY(!filler.saveFile(target, &error));
        QFile existing(target);
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("precedente"));
    }

    void aWorksheetWithoutCellDataIsRefused()
    {
        WorkbookFiller filler;
        QVERIFY(
            filler.loadTemplate(writeTemplate(u"senzadati.xltx"_s, SheetHeader + "</worksheet>")));
        QString error;
        QVERIFY(!filler.fillPlaceholders(Books().tables(), {}, &error));
        QVERIFY(error.contains(u"Nascosto"_s));
    }

    void anUnreadableTemplateIsRefused()
    {
        const QString notZip = m_dir.filePath(u"testo.xltx"_s);
        {
            QFile file(notZip);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("non è un modello");
        }
        WorkbookFiller filler;
        QString error;
        QVERIFY(!filler.loadTemplate(notZip, &error));
        QVERIFY(error.startsWith(u"Impossibile aprire il modello"_s));
        QVERIFY(!filler.loadTemplate(m_dir.filePath(u"assente.xltx"_s), &error));
        QVERIFY(error.contains(u"non esiste"_s));
        QVERIFY(!filler.fillPlaceholders(BalanceTables(), {}, &error));

        const QString noSheets = m_dir.filePath(u"senzafogli.xlsx"_s);
        QVERIFY(WorkbookXml::write(noSheets, templateParts(HiddenSheet).mid(0, 2)));
        QVERIFY(!filler.loadTemplate(noSheets, &error));
        QVERIFY(error.contains(u"xl/workbook.xml"_s));
    }

    void oversizedTemplatesAreRefused()
    {
        // A sheet that expands past the limit: 70 MB of blanks pack into well under a megabyte.
        QList<WorkbookXml::Part> parts = templateParts(HiddenSheet);
        parts[6].second.replace("<sheetData>", "<sheetData>" + QByteArray(70 << 20, ' '));
        const QString bomb = m_dir.filePath(u"bomba.xltx"_s);
        QVERIFY(WorkbookXml::write(bomb, parts));
        QVERIFY(QFileInfo(bomb).size() < 1 << 20);
        WorkbookFiller filler;
        QString error;
        QVERIFY(filler.loadTemplate(bomb, &error));
        QVERIFY(!filler.fillPlaceholders(Books().tables(), {}, &error));
        QCOMPARE(error, u"Il modello %1 è troppo grande o danneggiato."_s.arg(bomb));

        // A part whose declared size is a terabyte: refused before anything is allocated.
        const QString forged = writeTemplate(u"dichiarato.xltx"_s);
        QFile file(forged);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        for (qsizetype at = bytes.indexOf("PK\x01\x02"); at >= 0;
             at = bytes.indexOf("PK\x01\x02", at + 4)) {
            const quint16 nameLength = quint8(bytes[at + 28]) | quint8(bytes[at + 29]) << 8;
            if (bytes.mid(at + 46, nameLength) == "xl/workbook.xml")
                bytes.replace(at + 24, 4, QByteArray(4, '\xff'));
        }
        QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
        file.close();
        QVERIFY(!filler.loadTemplate(forged, &error));
        QVERIFY2(error.contains(u"troppo grande"_s) || error.contains(u"danneggiat"_s),
                 qPrintable(error));
    }

    void aFailedSaveLeavesNoFile()
    {
        const Books books;
        WorkbookFiller filler;
        QVERIFY(filler.loadTemplate(writeTemplate(u"salva.xltx"_s)));
        QVERIFY(filler.fillPlaceholders(books.tables()));
        const QString target = m_dir.filePath(u"manca/bilancio.xlsx"_s);
        QString error;
        QVERIFY(!filler.saveFile(target, &error));
        QVERIFY(error.startsWith(u"Impossibile creare il file"_s));
        QVERIFY(error.contains(QDir::toNativeSeparators(target)));
        QVERIFY(!QFile::exists(target));
    }
};

QTEST_GUILESS_MAIN(TestWorkbookFill)
#include "tst_workbookfill.moc"
