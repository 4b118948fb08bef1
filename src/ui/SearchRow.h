#pragma once

#include <QIcon>
#include <QList>

class QFrame;
class QLineEdit;
class QToolButton;
class QWidget;

// A search box in its frame, with the magnifier that clears it on its left.
struct SearchBox {
    QFrame *frame;
    QToolButton *magnifier;
    QLineEdit *text;
};
// Builds the box as every window shows it, in the button-face colour of a box without focus.
SearchBox makeSearchBox(QWidget *parent);

// The look shared by every search box of the program: the magnifier beside it, and the window
// colour while the box has the focus (the button-face colour otherwise) for the box and its frame.
QIcon magnifierIcon();
void setSearchRowColours(const QList<QWidget *> &widgets, bool focused);
