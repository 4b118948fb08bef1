#include "ui/SearchRow.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QToolButton>
#include <QWidget>

using namespace Qt::StringLiterals;

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

SearchBox makeSearchBox(QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(u"picSearchText"_s);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    auto *box = new QHBoxLayout(frame);
    box->setContentsMargins(2, 1, 2, 1);
    box->setSpacing(2);
    auto *magnifier = new QToolButton(frame);
    magnifier->setObjectName(u"imgSearch"_s);
    magnifier->setIcon(magnifierIcon());
    magnifier->setAutoRaise(true);
    magnifier->setToolTip(u"Annulla la ricerca"_s);
    magnifier->setFocusPolicy(Qt::NoFocus);
    auto *text = new QLineEdit(frame);
    text->setObjectName(u"txtFind"_s);
    text->setFrame(false);
    box->addWidget(magnifier);
    box->addWidget(text, 1);
    setSearchRowColours({text, frame}, false);
    return {frame, magnifier, text};
}
