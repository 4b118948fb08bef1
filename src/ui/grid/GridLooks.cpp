#include "ui/grid/GridLooks.h"

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

using namespace Qt::StringLiterals;

const GridStyle *gridStyle(const QString &name)
{
    static const QHash<QString, GridStyle> styles = {
        {u"grassetto"_s, {QColor(), true}},
        {u"chiusura"_s, {QColor(128, 0, 0), false}},
        {u"apertura"_s, {QColor(0, 0, 128), false}},
        {u"Rosso"_s, {QColor(128, 0, 0), false}},
    };
    if (name.isEmpty())
        return nullptr;
    const auto it = styles.constFind(name);
    return it == styles.cend() ? nullptr : &*it;
}

namespace {

QIcon drawnIcon(const std::function<void(QPainter &)> &draw)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return QIcon(pixmap);
}

void paperClip(QPainter &p)
{
    p.setPen(QPen(QColor(70, 70, 90), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    path.moveTo(20, 9);
    path.lineTo(20, 24);
    path.arcTo(12, 20, 8, 8, 0, -180);
    path.lineTo(12, 7);
    path.arcTo(12, 2, 12, 10, 180, -180);
    path.lineTo(24, 25);
    path.arcTo(8, 17, 16, 13, 0, -180);
    path.lineTo(8, 12);
    p.drawPath(path);
}

void mark(QPainter &p)
{
    p.setPen(QPen(QColor(0, 110, 40), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QList<QPointF>{{6, 17}, {13, 24}, {26, 8}});
}

} // namespace

QIcon gridIcon(int index)
{
    static const QIcon clip = drawnIcon(paperClip);
    static const QIcon check = drawnIcon(mark);
    switch (index) {
    case GridIcon::Mark:
        return check;
    case GridIcon::PaperClip:
        return clip;
    default:
        return {};
    }
}

QVariant presentationData(const GridColumn &column, const QVariant &value, int role,
                          const PatternFormatter &formatter, const QString &cellStyle,
                          const QString &rowStyle)
{
    switch (role) {
    case Qt::DisplayRole:
        return displayText(column, value, formatter);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.alignment);
    case Qt::ForegroundRole:
    case Qt::FontRole: {
        const GridStyle *style = gridStyle(cellStyle.isEmpty() ? column.style : cellStyle);
        if (!style)
            style = gridStyle(rowStyle);
        if (!style)
            return {};
        if (role == Qt::ForegroundRole)
            return style->foreground.isValid() ? QVariant(style->foreground) : QVariant();
        if (!style->bold)
            return {};
        QFont font;
        font.setBold(true);
        return font;
    }
    case GridRole::Raw:
        return value;
    case GridRole::HasButton:
        return column.hasButton;
    default:
        return {};
    }
}

QVariant columnHeaderData(const QList<GridColumn> &columns, int section,
                          Qt::Orientation orientation, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return columns.at(section).caption;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns.at(section).alignment);
    return {};
}
