#pragma once

#include <QIcon>
#include <QList>

class QWidget;

// The look shared by every search box of the program: the magnifier beside it, and the window
// colour while the box has the focus (the button-face colour otherwise) for the box and its frame.
QIcon magnifierIcon();
void setSearchRowColours(const QList<QWidget *> &widgets, bool focused);
