#include "main/AccountCardsSource.h"

#include "data/Natures.h"
#include "main/MainViews.h"

namespace {

// A group's balance from its totals, signed by its nature like its lines.
Money balanceOf(const AccountCards &cards, const LineGroup &group)
{
    return Natures::saldo(cards.nature(group.first),
                          Money::fromUnits(group.totals.at(AccountCards::Dare)),
                          Money::fromUnits(group.totals.at(AccountCards::Avere)));
}

} // namespace

GroupedGridModel::Source accountCardsSource(const AccountCards &cards,
                                            const QStringList &natureNames,
                                            const PatternFormatter &formatter)
{
    GroupedGridModel::Source source;
    source.lines = cards.lineCount();
    source.value = [&cards](int line, int column) { return cards.value(line, column); };
    source.amount = [&cards](int line, int column) { return cards.amount(line, column); };
    source.groupKey = [&cards](int level, int line) { return cards.groupKey(level, line); };
    source.cellStyle = [&cards](int line, int column) { return cards.cellStyle(line, column); };
    // A running balance summed over a group means nothing: the group row shows the group's
    // balance instead.
    source.total = [&cards](const LineGroup &group, int column) {
        return column == AccountCards::Saldo ? balanceOf(cards, group).units()
                                             : group.totals.at(column);
    };
    source.caption = [&cards, natureNames, formatter](const LineGroup &group) {
        const int line = group.first;
        QString name;
        if (group.level == 0)
            name = natureCardCaption(cards.nature(line), natureNames);
        else
            name = cards
                       .value(line, group.level == 1 ? AccountCards::DescrizioneMastro
                                                     : AccountCards::DescrizioneConto)
                       .toString();
        return AccountCards::groupCaption(group.level, name, balanceOf(cards, group), formatter);
    };
    return source;
}
