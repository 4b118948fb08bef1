#include "data/RowSet.h"
#include "ui/grid/BoundGridModel.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/EditableGridModel.h"
#include "ui/grid/GridDelegate.h"
#include "ui/grid/GridLooks.h"
#include "ui/grid/GroupedGrid.h"
#include "ui/grid/GroupedGridModel.h"
#include "ui/grid/UnboundGridModel.h"
#include "ui/grid/ValueListCompleter.h"

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QCompleter>
#include <QFont>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

RowSet people()
{
    RowSet rows;
    rows.reset({u"id"_s, u"nome"_s, u"importo"_s, u"tipo"_s},
               {1, u"L'Aquila"_s, qint64(12345600), 0,     //
                2, u"Rossi & C. *"_s, qint64(-5000000), 1, //
                3, u"rossi mario"_s, QVariant(), -1,       //
                4, u"100% Bio"_s, qint64(0), 0});
    return rows;
}

// Every row of a tree as "indent caption | cells", depth first.
QStringList dump(const QAbstractItemModel &model, const QModelIndex &parent = {}, int depth = 0)
{
    QStringList lines;
    for (int r = 0; r < model.rowCount(parent); ++r) {
        QStringList cells;
        for (int c = 0; c < model.columnCount(parent); ++c)
            cells.append(model.index(r, c, parent).data().toString());
        lines.append(QString(depth * 2, u' ') + cells.join(u'|'));
        lines += dump(model, model.index(r, 0, parent), depth + 1);
    }
    return lines;
}

} // namespace

class TestGrid : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void searchMatchesPlainTextIgnoringCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("empty keeps all") << QString() << QList<int>{0, 1, 2, 3};
        QTest::newRow("case") << u"ROSSI"_s << QList<int>{1, 2};
        QTest::newRow("apostrophe") << u"l'aq"_s << QList<int>{0};
        QTest::newRow("star is a star") << u"*"_s << QList<int>{1};
        QTest::newRow("percent is a percent") << u"0%"_s << QList<int>{3};
        QTest::newRow("no match") << u"zz"_s << QList<int>{};
        QTest::newRow("numbers are looked at as text") << u"3"_s << QList<int>{2};
    }
    void searchMatchesPlainTextIgnoringCase()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, rows);
        const RowSet set = people();
        QCOMPARE(set.matching({1, 0}, text), rows);
    }

    void searchIgnoresAccentsEitherWay()
    {
        RowSet set;
        set.reset({u"nome"_s}, {u"Servizi per le attività diverse"_s, u"Attivita varie"_s,
                                u"Perdite su crediti"_s});
        QCOMPARE(set.matching({0}, u"attivita"_s), (QList<int>{0, 1}));
        QCOMPARE(set.matching({0}, u"ATTIVITÀ"_s), (QList<int>{0, 1}));
    }

    // As the user types the list highlights the match Enter takes; Down moves the highlight.
    void completerHighlightsWhatEnterTakes()
    {
        QLineEdit editor;
        editor.show();
        ValueListCompleter completer(&editor, {{21, u"Servizi per le attività diverse"_s},
                                               {22, u"Servizi per le attività di interesse"_s}});
        QTest::keyClicks(&editor, u"servizi per le att"_s);
        QVERIFY(completer.isListVisible());
        QAbstractItemView *list = editor.findChild<QCompleter *>()->popup();
        QVERIFY(list->selectionModel()->isSelected(list->model()->index(0, 0)));
        QCOMPARE(completer.resolve(), QVariant(21));
        QCOMPARE(editor.text(), u"servizi per le att"_s);
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(list->selectionModel()->isSelected(list->model()->index(1, 0)));
        QCOMPARE(completer.resolve(), QVariant(22));
    }

    void boundModelShowsColumnsStylesAndIcons()
    {
        const RowSet rows = people();
        BoundGridModel model;
        QAbstractItemModelTester tester(&model);
        GridColumn tipo = GridColumn::text(u"TIPO"_s, u"Natura"_s);
        tipo.valueList = {{0, u"Zero"_s}, {1, u"Uno"_s}};
        GridColumn icon = GridColumn::text(u"id"_s, QString());
        icon.iconColumn = true;
        GridColumn nome = GridColumn::text(u"nome"_s, u"Nome"_s);
        nome.style = u"grassetto"_s;
        model.bind(&rows, {nome, GridColumn::money(u"importo"_s, u"Importo"_s, 1200, u"#,#.00 "_s),
                           tipo, icon, GridColumn::text(u"assente"_s, u"Manca"_s)});
        model.setRowStyle([&](int row) { return row == 1 ? u"chiusura"_s : QString(); });
        model.setCellIcon([](int row, int) { return row == 0 ? GridIcon::PaperClip : -1; });

        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), u"Natura"_s);
        QCOMPARE(model.index(0, 1).data().toString(), u"1.234,56 "_s);
        QCOMPARE(model.index(1, 1).data().toString(), u"-500,00 "_s);
        QCOMPARE(model.index(2, 1).data().toString(), QString());
        QCOMPARE(model.index(1, 2).data().toString(), u"Uno"_s);
        QCOMPARE(model.index(2, 2).data().toString(), u"-1"_s);
        QCOMPARE(model.index(0, 4).data().toString(), QString());
        QVERIFY(model.index(0, 0).data(Qt::FontRole).value<QFont>().bold());
        QCOMPARE(model.index(1, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(128, 0, 0));
        QVERIFY(!model.index(0, 1).data(Qt::ForegroundRole).isValid());
        QVERIFY(model.index(0, 3).data(Qt::DecorationRole).isValid());
        QVERIFY(!model.index(1, 3).data(Qt::DecorationRole).isValid());

        model.setFilter(rows.matching({1}, u"rossi"_s));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.value(1, u"ID"_s).toInt(), 3);
        QCOMPARE(model.find(u"id"_s, 3), 1);
        QCOMPARE(model.find(u"id"_s, 1), -1);
        model.unbind();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.value(0, u"id"_s).isValid());
    }

    void editableModelChecksCellsAndRows()
    {
        EditableGridModel model;
        QAbstractItemModelTester tester(&model);
        GridColumn text = GridColumn::text(u"descrizione"_s, u"Descrizione"_s);
        text.editable = true;
        text.defaultValue = u"Riga"_s;
        GridColumn amount = GridColumn::money(u"importo"_s, u"Importo"_s, 1200, u"#,#.00"_s);
        amount.editable = true;
        model.setColumns({text, amount, GridColumn::text(u"id"_s, u"Id"_s)});
        model.setRows({{u"prima"_s, qint64(10000), 7}});
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(model.isNewRowLine(1));

        // A zero amount is refused, a negative one is turned positive.
        model.setCellCheck([](int, int column, QVariant &value) {
            if (column != 1)
                return true;
            if (value.toLongLong() == 0)
                return false;
            value = std::abs(value.toLongLong());
            return true;
        });
        model.setRowCheck([&](int row) { return model.value(row, 1).toLongLong() > 0; });
        QVERIFY(!model.setData(model.index(1, 1), qint64(0)));
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(!model.setData(model.index(0, 2), 9)); // not editable

        QVERIFY(model.setData(model.index(1, 1), qint64(-25000)));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.pendingRow(), 1);
        QCOMPARE(model.value(1, 0).toString(), u"Riga"_s);
        QCOMPARE(model.value(1, 1).toLongLong(), 25000);
        // Only the pending row takes edits until it is committed.
        QVERIFY(!model.setData(model.index(0, 0), u"altra"_s));
        QSignalSpy committed(&model, &EditableGridModel::rowCommitted);
        QVERIFY(model.commitPending());
        QCOMPARE(committed.size(), 1);
        QCOMPARE(model.pendingRow(), -1);

        // An edit given up restores the old row; a new row given up disappears.
        QVERIFY(model.setData(model.index(0, 0), u"cambiata"_s));
        model.cancelPending();
        QCOMPARE(model.value(0, 0).toString(), u"prima"_s);
        model.setDefaultValue(0, u"Nuova"_s);
        QVERIFY(model.setData(model.index(2, 1), qint64(100)));
        QCOMPARE(model.value(2, 0).toString(), u"Nuova"_s);
        model.cancelPending();
        QCOMPARE(model.rowCount(), 3);

        model.setReadOnly(true);
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(!model.setData(model.index(0, 0), u"x"_s));
        QVERIFY(model.removeRow(0));
        QCOMPARE(model.rows().size(), size_t(1));
    }

    void cellButtonReportsItsCell()
    {
        EditableGridModel model;
        GridColumn conto = GridColumn::text(u"conto"_s, u"Conto"_s, 2400);
        conto.hasButton = true;
        conto.editable = true;
        model.setColumns({conto});
        model.setRows({{u"Cassa"_s}});
        DataGrid grid;
        grid.setModel(&model);
        grid.applyColumns(model.columns());
        grid.setRowHeight(24);
        grid.resize(400, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QSignalSpy clicked(grid.delegate(), &GridDelegate::buttonClicked);
        const QRect cell = grid.visualRect(model.index(0, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                          {cell.left() + 4, cell.center().y()});
        QCOMPARE(clicked.size(), 0);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                          {cell.right() - 4, cell.center().y()});
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.first().first().value<QModelIndex>(), model.index(0, 0));
        QVERIFY(grid.setCurrentRow(1)); // the new-row line
        QVERIFY(!grid.setCurrentRow(2));
    }

    void gridStaysOnARowItsCheckRefuses()
    {
        EditableGridModel model;
        GridColumn importo = GridColumn::money(u"importo"_s, u"Importo"_s, 1200, u"#,#.00"_s);
        importo.editable = true;
        model.setColumns({importo});
        model.setRows({{qint64(10000)}, {qint64(20000)}});
        model.setRowCheck([&](int row) { return model.value(row, 0).toLongLong() > 0; });
        DataGrid grid;
        grid.setModel(&model);
        grid.setCurrentRow(0);
        QVERIFY(model.setData(model.index(0, 0), qint64(-1)));
        grid.setCurrentRow(1);
        QTRY_COMPARE(grid.currentRow(), 0);
        QCOMPARE(model.pendingRow(), 0);
        QVERIFY(model.setData(model.index(0, 0), qint64(500)));
        grid.setCurrentRow(1);
        QTest::qWait(10);
        QCOMPARE(grid.currentRow(), 1);
        QCOMPARE(model.pendingRow(), -1);
    }

    void newRowKeepsTheCursorAndRefusedValuesStayInTheirEditor()
    {
        EditableGridModel model;
        GridColumn importo = GridColumn::money(u"importo"_s, u"Importo"_s, 1200, u"#,#.00"_s);
        importo.editable = true;
        model.setColumns({importo});
        model.setCellCheck([](int, int, QVariant &value) {
            bool number = false;
            value = value.toString().toLongLong(&number);
            return number && value.toLongLong() != 0;
        });
        DataGrid grid;
        grid.setModel(&model);
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QVERIFY(grid.setCurrentRow(0));

        // Nothing typed on the new-row line makes no row.
        QVERIFY(model.setData(model.index(0, 0), QVariant()));
        QCOMPARE(model.rowCount(), 1);

        grid.edit(grid.currentIndex());
        QTest::keyClicks(grid.openEditor(), u"0"_s);
        QTest::keyClick(grid.openEditor(), Qt::Key_Return);
        QTest::qWait(0);
        QVERIFY(grid.openEditor());
        QCOMPARE(static_cast<QLineEdit *>(grid.openEditor())->text(), u"0"_s);
        QVERIFY(!grid.commitOpenEditor());
        QCOMPARE(model.rowCount(), 1);

        static_cast<QLineEdit *>(grid.openEditor())->setText(u"7"_s);
        QVERIFY(grid.commitOpenEditor());
        QVERIFY(!grid.openEditor());
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(grid.currentRow(), 0);
        QCOMPARE(model.value(0, 0).toLongLong(), 7);

        model.cancelPending();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(grid.currentRow(), 0);
    }

    void completionRanksStartsBeforeContains_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("matches");
        QTest::newRow("starts first, then contains, in list order")
            << u"cassa"_s << QList<int>{1, 0, 3};
        QTest::newRow("accents and case ignored") << u"ATTIVITA"_s << QList<int>{2};
        QTest::newRow("accent typed matches plain") << u"càssa c"_s << QList<int>{1};
        QTest::newRow("inside a word") << u"ontant"_s << QList<int>{1};
        QTest::newRow("blank matches nothing") << u"  "_s << QList<int>{};
        QTest::newRow("no match") << u"zz"_s << QList<int>{};
    }
    void completionRanksStartsBeforeContains()
    {
        QFETCH(QString, typed);
        QFETCH(QList<int>, matches);
        QStringList folded;
        for (const QString &name :
             {u"Banca e cassa"_s, u"Cassa contanti"_s, u"Attività diverse"_s, u"Piccola cassa"_s})
            folded.append(foldedForMatching(name));
        QCOMPARE(rankedMatches(folded, typed), matches);
    }

    void completerResolvesTheTextTyped()
    {
        QLineEdit editor;
        ValueListCompleter completer(
            &editor,
            {{11, u"Banca e cassa"_s}, {12, u"Cassa contanti"_s}, {13, u"Cassa contanti"_s}});
        editor.setText(u"Cassa contanti"_s);
        completer.setChosen(13);
        QCOMPARE(completer.resolve(), QVariant(13)); // the stored one of two equal names
        editor.clear();
        QTest::keyClicks(&editor, u"cas"_s);
        QCOMPARE(completer.resolve(), QVariant(12));
        QTest::keyClicks(&editor, u"zz"_s);
        QCOMPARE(completer.resolve(), QVariant(u"caszz"_s));
        editor.clear();
        QVERIFY(completer.resolve().isNull());
    }

    void groupedGridKeepsItsPlaceAcrossReloads()
    {
        const QList<std::pair<int, int>> lines = {{1, 10}, {1, 10}, {1, 11}, {2, 20}, {2, 20}};
        GroupedGridModel model;
        model.setLayout({GridColumn::text(u"t"_s, u"T"_s)}, 2, 0);
        GroupedGridModel::Source source;
        source.lines = int(lines.size());
        source.value = [](int line, int) { return QVariant(u"r%1"_s.arg(line)); };
        source.groupKey = [&](int level, int line) {
            return level == 0 ? lines.at(line).first : lines.at(line).second;
        };
        source.caption = [](const LineGroup &g) { return u"k%1"_s.arg(g.key.toInt()); };
        model.setSource(source);
        GroupedGrid grid;
        grid.setGroupedModel(&model);
        grid.collapseToFirstLevel();
        const QModelIndex second = model.index(1, 0);
        grid.expand(second);
        const QModelIndex group20 = model.index(0, 0, second);
        grid.expand(group20);
        grid.setCurrentIndex(model.index(1, 0, group20));

        // A reload passes through an empty grid before the rows come back.
        model.setSource({});
        model.setSource(source);
        const QModelIndex again = model.index(1, 0);
        QVERIFY(grid.isExpanded(model.index(0, 0)));
        QVERIFY(grid.isExpanded(again));
        QVERIFY(grid.isExpanded(model.index(0, 0, again)));
        QVERIFY(!grid.isExpanded(model.index(0, 0, model.index(0, 0))));
        QCOMPARE(model.line(grid.currentIndex()), 4);
    }

    void unboundModelAsksForEachLine()
    {
        UnboundGridModel model;
        QAbstractItemModelTester tester(&model);
        model.setColumns(
            {GridColumn::text(u"a"_s, u"A"_s), GridColumn::money(u"b"_s, u"B"_s, 0, u"#,#.00"_s)});
        model.setLineValue([](int line, int column) {
            return column == 0 ? QVariant(u"riga %1"_s.arg(line)) : QVariant(qint64(line) * 10000);
        });
        model.setLineCount(3);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(2, 0).data().toString(), u"riga 2"_s);
        QCOMPARE(model.index(2, 1).data().toString(), u"2,00"_s);
    }

    void groupedModelBuildsThreeLevelsWithTotalsAndCaptions()
    {
        // level keys, amount
        struct Line {
            int a, b, c;
            qint64 amount;
        };
        const QList<Line> lines = {{1, 10, 100, 1000000}, {1, 10, 100, 2000000},
                                   {1, 10, 101, 500000},  {1, 11, 102, 100000},
                                   {2, 20, 200, 700000},  {2, 20, 201, -50000}};
        GroupedGridModel model;
        QAbstractItemModelTester tester(&model);
        GridColumn amount = GridColumn::money(u"x"_s, u"X"_s, 0, u"#,#.00"_s);
        amount.sumPattern = u"#,#.00;-#,#.00;-"_s;
        model.setLayout({GridColumn::text(u"t"_s, u"T"_s), amount}, 3, 0);
        GroupedGridModel::Source source;
        source.lines = int(lines.size());
        source.value = [&](int line, int column) {
            return column == 0 ? QVariant(u"r%1"_s.arg(line)) : QVariant(lines.at(line).amount);
        };
        source.groupKey = [&](int level, int line) {
            const Line &l = lines.at(line);
            return level == 0 ? l.a : level == 1 ? l.b : l.c;
        };
        source.caption = [](const LineGroup &g) {
            return u"L%1 k%2"_s.arg(g.level).arg(g.key.toInt());
        };
        model.setSource(source);

        const QStringList expected = {
            u"L0 k1|360,00"_s,      u"  L1 k10|350,00"_s, u"    L2 k100|300,00"_s,
            u"      r0|100,00"_s,   u"      r1|200,00"_s, u"    L2 k101|50,00"_s,
            u"      r2|50,00"_s,    u"  L1 k11|10,00"_s,  u"    L2 k102|10,00"_s,
            u"      r3|10,00"_s,    u"L0 k2|65,00"_s,     u"  L1 k20|65,00"_s,
            u"    L2 k200|70,00"_s, u"      r4|70,00"_s,  u"    L2 k201|-5,00"_s,
            u"      r5|-5,00"_s,
        };
        QCOMPARE(dump(model), expected);

        const QModelIndex line2 = model.indexOfLine(2);
        QCOMPARE(model.line(line2), 2);
        QCOMPARE(line2.data().toString(), u"r2"_s);
        QCOMPARE(model.group(line2.parent())->key.toInt(), 101);
        QVERIFY(model.index(0, 0).data(GridRole::IsGroup).toBool());
        QVERIFY(!line2.data(GridRole::IsGroup).toBool());

        source.lines = 0;
        model.setSource(source);
        QCOMPARE(model.rowCount(), 0);
    }

    // Four levels, as the balances group them: group, ledger, account, sub-account. A key that
    // comes back under another outer group opens a group of its own.
    void groupedModelNestsAnyNumberOfLevels()
    {
        const QList<QList<int>> keys = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 2, 1},
                                        {1, 2, 1, 1}, {2, 1, 1, 1}, {2, 1, 1, 2}};
        GroupedGridModel model;
        QAbstractItemModelTester tester(&model);
        GridColumn amount = GridColumn::money(u"x"_s, u"X"_s, 0, u"#,#.00"_s);
        amount.sumPattern = u"#,#.00"_s;
        model.setLayout({GridColumn::text(u"t"_s, u"T"_s), amount}, 4, 0);
        GroupedGridModel::Source source;
        source.lines = int(keys.size());
        source.value = [](int line, int column) {
            return column == 0 ? QVariant(u"r%1"_s.arg(line)) : QVariant(qint64(line + 1) * 10000);
        };
        source.groupKey = [&](int level, int line) { return keys.at(line).at(level); };
        source.caption = [](const LineGroup &g) {
            return u"L%1 k%2"_s.arg(g.level).arg(g.key.toInt());
        };
        model.setSource(source);

        QCOMPARE(dump(model),
                 (QStringList{
                     u"L0 k1|10,00"_s,      u"  L1 k1|6,00"_s,     u"    L2 k1|3,00"_s,
                     u"      L3 k1|3,00"_s, u"        r0|1,00"_s,  u"        r1|2,00"_s,
                     u"    L2 k2|3,00"_s,   u"      L3 k1|3,00"_s, u"        r2|3,00"_s,
                     u"  L1 k2|4,00"_s,     u"    L2 k1|4,00"_s,   u"      L3 k1|4,00"_s,
                     u"        r3|4,00"_s,  u"L0 k2|11,00"_s,      u"  L1 k1|11,00"_s,
                     u"    L2 k1|11,00"_s,  u"      L3 k1|5,00"_s, u"        r4|5,00"_s,
                     u"      L3 k2|6,00"_s, u"        r5|6,00"_s,
                 }));
        const QModelIndex line5 = model.indexOfLine(5);
        QCOMPARE(model.line(line5), 5);
        QCOMPARE(model.group(line5.parent())->level, 3);
        QCOMPARE(model.group(line5.parent().parent().parent().parent())->key.toInt(), 2);
        QVERIFY(!line5.parent().parent().parent().parent().parent().isValid());

        // Without levels the lines are the rows.
        model.setLayout(model.columns(), 0, 0);
        QCOMPARE(dump(model).size(), 6);
        QCOMPARE(model.line(model.indexOfLine(3)), 3);
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
