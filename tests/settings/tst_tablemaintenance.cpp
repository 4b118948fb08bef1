#include "data/Database.h"
#include "settings/AboutWindow.h"
#include "settings/ArchiveTableModel.h"
#include "settings/ArchiveTables.h"
#include "settings/TableMaintenanceWindow.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/grid/DataGrid.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QScopeGuard>
#include <QTest>

using namespace Qt::StringLiterals;

// Table maintenance writes straight into the archive; the archive's own rules are the only check.
class TestTableMaintenance : public QObject {
    Q_OBJECT

    struct Chart {
        qint64 conto = 0;
        qint64 cassa = 0;
        qint64 quote = 0;
    };
    static Chart addChart(TestArchive &archive)
    {
        const qint64 mastro = archive.addMastro(u"A01"_s, u"Liquidità"_s, 1);
        Chart chart;
        chart.conto = archive.addConto(mastro, u"A01001"_s, u"Cassa e banche"_s);
        chart.cassa = archive.addSottoconto(chart.conto, u"Cassa contanti"_s);
        chart.quote = archive.addSottoconto(chart.conto, u"Quote associative"_s);
        archive.addEntry(QDate(2024, 2, 1),
                         {{chart.cassa, chart.quote, Money::fromCents(5000), u"Quota"_s}});
        return chart;
    }

    static int rowWithId(const ArchiveTableModel &model, qint64 id)
    {
        for (int row = 0; row < int(model.rows().size()); ++row) {
            if (model.value(row, 0).toLongLong() == id)
                return row;
        }
        return -1;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void listsOnlyTheArchivesOwnTables()
    {
        QVERIFY(archiveTableNames(Archive()).isEmpty());
        ScriptedMessages messages;
        TableMaintenanceWindow empty(Archive{});
        QCOMPARE(empty.findChild<QComboBox *>(u"cmbTables"_s)->count(), 0);

        TestArchive archive;
        const QStringList names = archiveTableNames(archive);
        QCOMPARE(names, QStringList({u"mastri"_s, u"conti"_s, u"sottoconti"_s, u"regmain"_s,
                                     u"regdet"_s, u"parametri"_s}));
        ArchiveTable table;
        QString error;
        QVERIFY(!loadArchiveTable(archive, u"schede"_s, &table, &error));
        QVERIFY(!loadArchiveTable(archive, u"sottoconti; DROP TABLE regdet"_s, &table, &error));
        QCOMPARE(archiveTableNames(archive).size(), 6);
    }

    void editsASubAccountAndRefusesDeletingOneThatEntriesUse()
    {
        TestArchive archive;
        const Chart chart = addChart(archive);
        ScriptedMessages messages;
        TableMaintenanceWindow window(archive);
        QVERIFY(window.chooseTable(u"sottoconti"_s));
        ArchiveTableModel &model = *window.model();
        QAbstractItemModelTester tester(&model);
        QVERIFY(window.grid()->isVisibleTo(&window));

        const int cassa = rowWithId(model, chart.cassa);
        QVERIFY(model.setData(model.index(cassa, 2), u"Cassa sede"_s));
        QVERIFY(model.commitPending());
        QCOMPARE(archive.scalar(u"SELECT descrizione FROM sottoconti WHERE id = ?"_s, {chart.cassa})
                     .toString(),
                 u"Cassa sede"_s);

        // A sub-account that entries use: the archive refuses, its message is shown, the row stays.
        window.grid()->setCurrentRow(cassa);
        messages.answers = {true};
        QTest::keyClick(window.grid(), Qt::Key_Delete);
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY2(messages.shown.last().contains(u"FOREIGN KEY"_s, Qt::CaseInsensitive),
                 qPrintable(messages.shown.last()));
        QVERIFY(messages.shown.last().startsWith(u"La riga non è stata eliminata. "_s));
        QCOMPARE(rowWithId(model, chart.cassa), cassa);
        QCOMPARE(archive.scalar(u"SELECT COUNT(*) FROM sottoconti"_s).toInt(), 2);

        // A refused change keeps the row in edit with what the user typed.
        QVERIFY(model.setData(model.index(cassa, 1), u"999"_s));
        QVERIFY(!model.commitPending());
        QVERIFY(messages.shown.last().contains(u"FOREIGN KEY"_s, Qt::CaseInsensitive));
        QVERIFY(messages.shown.last().startsWith(u"La riga non è stata scritta nella tabella. "_s));
        QCOMPARE(model.pendingRow(), cassa);
        QCOMPARE(model.value(cassa, 1).toLongLong(), 999);
        model.cancelPending();
        QCOMPARE(model.value(cassa, 1).toLongLong(), chart.conto);
    }

    void insertsRowsWithTheirNewIdAndDeletesUnusedOnes()
    {
        TestArchive archive;
        const Chart chart = addChart(archive);
        ScriptedMessages messages;
        TableMaintenanceWindow window(archive);
        QVERIFY(window.chooseTable(u"sottoconti"_s));
        ArchiveTableModel &model = *window.model();
        const int added = int(model.rows().size());
        QVERIFY(model.setData(model.index(added, 1), QString::number(chart.conto)));
        QVERIFY(model.setData(model.index(added, 2), u"Banca"_s));
        QVERIFY(model.commitPending());
        const qint64 id = model.value(added, 0).toLongLong();
        QVERIFY(id > chart.quote);
        QCOMPARE(
            archive.scalar(u"SELECT descrizione FROM sottoconti WHERE id = ?"_s, {id}).toString(),
            u"Banca"_s);

        window.grid()->setCurrentRow(added);
        messages.answers = {true};
        QTest::keyClick(window.grid(), Qt::Key_Delete);
        QCOMPARE(archive.scalar(u"SELECT COUNT(*) FROM sottoconti WHERE id = ?"_s, {id}).toInt(),
                 0);
        QCOMPARE(int(model.rows().size()), added);

        // An id typed by hand: the rows the program adds afterwards never collide with it.
        const qint64 typed = id + 5;
        QVERIFY(model.setData(model.index(added, 0), QString::number(typed)));
        QVERIFY(model.setData(model.index(added, 1), QString::number(chart.conto)));
        QVERIFY(model.setData(model.index(added, 2), u"Posta"_s));
        QVERIFY(model.commitPending());
        QVERIFY(archive.addSottoconto(chart.conto, u"Carta"_s) > typed);
    }

    void amountsAndDatesAreEditedAsSuch()
    {
        TestArchive archive;
        addChart(archive);
        ScriptedMessages messages;
        TableMaintenanceWindow window(archive);
        QVERIFY(window.chooseTable(u"regdet"_s));
        ArchiveTableModel &model = *window.model();
        const int importo = int(model.table().fields.indexOf(u"importo"_s));
        QCOMPARE(model.data(model.index(0, importo)).toString(), u"50,00"_s);
        QCOMPARE(model.data(model.index(0, importo), Qt::EditRole).toString(), u"50,00"_s);
        // The books hold whole cents: a fraction is refused, never rounded.
        QVERIFY(!model.setData(model.index(0, importo), u"1.234,565"_s));
        QCOMPARE(messages.shown.last(), u"Importo con frazioni di centesimo: 1.234,565"_s);
        QVERIFY(model.setData(model.index(0, importo), u"1.234,56"_s));
        QVERIFY(model.commitPending());
        QCOMPARE(archive.scalar(u"SELECT importo FROM regdet"_s).toLongLong(), 12345600);
        QVERIFY(!model.setData(model.index(0, importo), u"dodici"_s));
        QCOMPARE(messages.shown.last(), u"Importo non valido: dodici"_s);

        // A row that no longer balances its entry is refused with the entry named, and the
        // archive keeps what it had.
        const int credit = int(model.table().fields.indexOf(u"contoavere"_s));
        QVERIFY(model.setData(model.index(0, credit), QString()));
        QVERIFY(!model.commitPending());
        QVERIFY2(messages.shown.last().contains(u"Registrazione con identificativo"_s) &&
                     messages.shown.last().contains(u"Sbilancio nella registrazione"_s),
                 qPrintable(messages.shown.last()));
        QCOMPARE(
            archive.scalar(u"SELECT COUNT(*) FROM regdet WHERE contoavere IS NOT NULL"_s).toInt(),
            1);
        model.cancelPending();

        QVERIFY(window.chooseTable(u"regmain"_s));
        const int data = int(model.table().fields.indexOf(u"data"_s));
        QCOMPARE(model.data(model.index(0, data)).toString(), u"01/02/2024"_s);
        QCOMPARE(model.data(model.index(0, data), Qt::EditRole).toDate(), QDate(2024, 2, 1));
        QVERIFY(model.setData(model.index(0, data), QDate(2024, 2, 29)));
        QVERIFY(model.commitPending());
        QCOMPARE(archive.scalar(u"SELECT data FROM regmain"_s).toString(), u"2024-02-29"_s);
    }

    // A system without a locale ("C"): amounts are shown in Italian and must be read back so.
    void anUntouchedAmountStaysAsItWasUnderTheCLocale()
    {
        QLocale::setDefault(QLocale::c());
        const auto restore =
            qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); });
        TestArchive archive;
        const Chart chart = addChart(archive);
        archive.addEntry(QDate(2024, 2, 2),
                         {{chart.cassa, chart.quote, Money::fromCents(85316), u"Quota"_s}});
        ScriptedMessages messages;
        TableMaintenanceWindow window(archive);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.chooseTable(u"regdet"_s));
        ArchiveTableModel &model = *window.model();
        const int importo = int(model.table().fields.indexOf(u"importo"_s));
        QCOMPARE(model.data(model.index(1, importo), Qt::EditRole).toString(), u"853,16"_s);

        DataGrid *grid = window.grid();
        grid->setCurrentIndex(model.index(1, importo));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_F2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        model.commitPending();
        QCOMPARE(messages.shown, QStringList());
        QCOMPARE(archive
                     .scalar(u"SELECT importo FROM regdet WHERE descrizione = 'Quota' "
                             u"ORDER BY id DESC LIMIT 1"_s)
                     .toLongLong(),
                 8531600);
    }

    void aRowInEditKeepsTheTableUntilItIsWritten()
    {
        TestArchive archive;
        addChart(archive);
        ScriptedMessages messages;
        TableMaintenanceWindow window(archive);
        QVERIFY(window.chooseTable(u"mastri"_s));
        ArchiveTableModel &model = *window.model();
        const int prefisso = int(model.table().fields.indexOf(u"prefisso"_s));
        QVERIFY(model.setData(model.index(0, prefisso), u"troppo lungo"_s));
        QVERIFY(!window.chooseTable(u"conti"_s));
        QCOMPARE(model.table().name, u"mastri"_s);
        QCOMPARE(window.findChild<QComboBox *>(u"cmbTables"_s)->currentText(), u"mastri"_s);
        messages.answers = {false};
        window.reject();
        QCOMPARE(model.pendingRow(), 0);
    }

    void aboutShowsTheProductAndVersion()
    {
        AboutWindow window;
        QCOMPARE(window.windowTitle(), u"Info Prodotto"_s);
        QCOMPARE(window.findChild<QLabel *>(u"lblTitle"_s)->text(), u"Velmora Contabilità 3"_s);
        QVERIFY(
            window.findChild<QLabel *>(u"lblVersion"_s)->text().startsWith(u"Versione: 3.5."_s));
        QCOMPARE(window.findChild<QLabel *>(u"lblCompanyName"_s)->text(), u"VELMORA"_s);
    }
};

QTEST_MAIN(TestTableMaintenance)
#include "tst_tablemaintenance.moc"
