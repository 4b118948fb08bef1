#pragma once

#include "data/GridColumn.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <QVariant>

// Roles every grid model answers beyond Qt's own.
namespace GridRole {
constexpr int Raw = Qt::UserRole;           // the stored value of the cell
constexpr int IsGroup = Qt::UserRole + 1;   // true on the group rows of a grouped grid
constexpr int Line = Qt::UserRole + 2;      // the line or result row behind a grid row, -1 none
constexpr int HasButton = Qt::UserRole + 3; // the cell shows a button
} // namespace GridRole

// A named look for rows and cells: text colour and weight.
struct GridStyle {
    QColor foreground;
    bool bold = false;
};

// The program's named styles: "grassetto" (bold), "chiusura" (dark red), "apertura" (dark
// blue) and "Rosso" (dark red). Null for an empty or unknown name.
const GridStyle *gridStyle(const QString &name);

// The icon of an image-list index (GridIcon); null for an unknown index.
QIcon gridIcon(int index);

// The value of a cell for the presentation roles (display, alignment, colour, font), its text
// formatted by the model's formatter. The cell's style (the program's, else the column's) wins
// over the row's. Null for other roles.
QVariant presentationData(const GridColumn &column, const QVariant &value, int role,
                          const PatternFormatter &formatter, const QString &cellStyle = {},
                          const QString &rowStyle = {});

// A column's header: its caption and alignment; null for vertical headers and other sections.
QVariant columnHeaderData(const QList<GridColumn> &columns, int section,
                          Qt::Orientation orientation, int role);
