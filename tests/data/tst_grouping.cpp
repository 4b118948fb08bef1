#include "data/Grouping.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Each group as "level key first-last total", indented by level, in tree order.
QStringList dump(const Grouping &grouping, const std::vector<int> &groups)
{
    QStringList lines;
    for (int g : groups) {
        const LineGroup &group = grouping.group(g);
        lines.append(QString(group.level * 2, u' ') + u"%1 %2 %3-%4 %5"_s.arg(group.level)
                                                          .arg(group.key.toString())
                                                          .arg(group.first)
                                                          .arg(group.last)
                                                          .arg(group.totals.value(1)));
        lines += dump(grouping, group.children);
    }
    return lines;
}

Grouping groupingOf(const QList<QStringList> &keys, int levels)
{
    Grouping::Lines lines;
    lines.count = int(keys.size());
    lines.levels = levels;
    lines.columns = 2;
    lines.summed = {1};
    lines.key = [&keys](int level, int line) { return QVariant(keys.at(line).at(level)); };
    lines.value = [](int line, int column) { return column == 1 ? qint64(line + 1) : 0; };
    return Grouping(lines);
}

} // namespace

class TestGrouping : public QObject {
    Q_OBJECT

private slots:
    void opensAGroupWhereAnyOuterKeyChanges()
    {
        // The same inner key under two outer groups, and a key that returns after another.
        const QList<QStringList> keys = {{u"A"_s, u"x"_s, u"1"_s},
                                         {u"A"_s, u"x"_s, u"1"_s},
                                         {u"B"_s, u"x"_s, u"1"_s},
                                         {u"B"_s, u"y"_s, u"1"_s},
                                         {u"B"_s, u"x"_s, u"1"_s}};
        const Grouping grouping = groupingOf(keys, 3);
        QCOMPARE(dump(grouping, grouping.outermost()), (QStringList{
                                                           u"0 A 0-2 3"_s,
                                                           u"  1 x 0-2 3"_s,
                                                           u"    2 1 0-2 3"_s,
                                                           u"0 B 2-5 12"_s,
                                                           u"  1 x 2-3 3"_s,
                                                           u"    2 1 2-3 3"_s,
                                                           u"  1 y 3-4 4"_s,
                                                           u"    2 1 3-4 4"_s,
                                                           u"  1 x 4-5 5"_s,
                                                           u"    2 1 4-5 5"_s,
                                                       }));
        QCOMPARE(grouping.group(grouping.innermostOf(3)).key, QVariant(u"1"_s));
        QCOMPARE(grouping.group(grouping.group(grouping.innermostOf(3)).parent).key,
                 QVariant(u"y"_s));
        // Each group's row is its place among its parent's children.
        for (const LineGroup &group : grouping.groups()) {
            const std::vector<int> &siblings =
                group.parent < 0 ? grouping.outermost() : grouping.group(group.parent).children;
            QCOMPARE(&grouping.group(siblings.at(size_t(group.row))), &group);
        }
    }

    void noLinesOrNoLevelsGiveNoGroups()
    {
        QVERIFY(groupingOf({}, 4).groups().empty());
        const Grouping flat = groupingOf({{u"A"_s}, {u"B"_s}}, 0);
        QVERIFY(flat.groups().empty());
        QCOMPARE(flat.innermostOf(1), -1);
    }
};

QTEST_APPLESS_MAIN(TestGrouping)
#include "tst_grouping.moc"
