#pragma once

#include "data/PatternFormatter.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

// The icons a grid draws in icon columns, by index: 4 the mark of an account hidden in the
// balance printout, 5 the paper clip of an attachment.
namespace GridIcon {
constexpr int Mark = 4;
constexpr int PaperClip = 5;
} // namespace GridIcon

// How a grid shows one column. Widths are in twips (1440 an inch) and become pixels on the
// grid's screen; a width of 0 lets the grid choose.
struct GridColumn {
    // What the stored value is, which decides how it is shown.
    enum class Kind {
        Text,
        Integer,
        Money, // integer ten-thousandths
        Date,  // ISO text or QDate
    };

    QString field;   // the result-set field it shows
    QString caption; // header text
    Kind kind = Kind::Text;
    int widthTwips = 0;
    bool visible = true;
    bool resizable = true;
    bool editable = false;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    QString pattern;                           // number or date pattern; empty for the default
    QList<QPair<QVariant, QString>> valueList; // stored value -> shown text
    bool iconColumn = false;                   // shows the program's icon instead of the value
    bool hasButton = false;                    // a button inside the cell
    QString style;                             // named cell style, empty for the row's
    QVariant defaultValue;                     // value of this column on the next new row
    QString sumPattern; // grouped grids total the column on group rows with this pattern

    // Builders that read like the column tables they come from.
    static GridColumn text(const QString &field, const QString &caption, int widthTwips = 0);
    static GridColumn money(const QString &field, const QString &caption, int widthTwips,
                            const QString &pattern);
    static GridColumn hidden(const QString &field);
};

// The text a column shows for a stored value: value-list text, number or date formatted with
// the formatter's locale, or the value itself. Icon columns show no text.
QString displayText(const GridColumn &column, const QVariant &value,
                    const PatternFormatter &formatter);
