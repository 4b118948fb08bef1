#include "data/GridColumn.h"

#include "data/Money.h"
#include "data/SqlText.h"

using namespace Qt::StringLiterals;

GridColumn GridColumn::text(const QString &field, const QString &caption, int widthTwips)
{
    GridColumn column;
    column.field = field;
    column.caption = caption;
    column.widthTwips = widthTwips;
    return column;
}

GridColumn GridColumn::money(const QString &field, const QString &caption, int widthTwips,
                             const QString &pattern)
{
    GridColumn column = text(field, caption, widthTwips);
    column.kind = Kind::Money;
    column.pattern = pattern;
    column.alignment = Qt::AlignRight | Qt::AlignVCenter;
    return column;
}

GridColumn GridColumn::hidden(const QString &field)
{
    GridColumn column = text(field, field);
    column.visible = false;
    return column;
}

namespace {

QDate asDate(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    return dateFromIso(value.toString().left(10));
}

} // namespace

QString displayText(const GridColumn &column, const QVariant &value,
                    const PatternFormatter &formatter)
{
    if (column.iconColumn)
        return {};
    for (const auto &[stored, shown] : column.valueList) {
        if (!value.isNull() && stored == value)
            return shown;
    }
    if (value.isNull())
        return {};
    switch (column.kind) {
    case GridColumn::Kind::Money: {
        const Money amount = Money::fromUnits(value.toLongLong());
        return formatter.format(amount, column.pattern.isEmpty() ? u"#,#.00"_s : column.pattern);
    }
    case GridColumn::Kind::Integer:
        return column.pattern.isEmpty() ? QString::number(value.toLongLong())
                                        : formatter.format(value.toLongLong(), column.pattern);
    case GridColumn::Kind::Date:
        return formatter.format(asDate(value),
                                column.pattern.isEmpty() ? u"dd/mm/yyyy"_s : column.pattern);
    case GridColumn::Kind::Text:
        break;
    }
    return value.toString();
}
