#include "main/SearchRow.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

QIcon magnifierIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 70), 3.5));
    p.drawEllipse(QRectF(4, 4, 17, 17));
    p.setPen(QPen(QColor(60, 60, 70), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(28, 28));
    return QIcon(pixmap);
}

void setSearchRowColours(const QList<QWidget *> &widgets, bool focused)
{
    const QColor colour =
        QApplication::palette().color(focused ? QPalette::Base : QPalette::Button);
    for (QWidget *widget : widgets) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Base, colour);
        palette.setColor(QPalette::Window, colour);
        widget->setPalette(palette);
    }
}
