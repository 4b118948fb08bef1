#pragma once

class QWidget;

// Takes away the window's close button and refuses closes that come from the window system,
// so that the dialog is left only through its own buttons and keys.
void TogliChiudi(QWidget *window);

// Twips (1440 an inch) as pixels on the widget's screen.
int twipsToPixels(const QWidget *widget, int twips);

// Enter in a text box or a drop-down of the window moves to the next field, as everywhere in
// the program; buttons keep Enter for themselves.
void enterMovesToNextField(QWidget *window);
