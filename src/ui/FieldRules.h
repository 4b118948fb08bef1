#pragma once

#include <QList>

#include <functional>

class QLineEdit;
class QWidget;

// Typing rules of the chart editors' fields.

// Discards every typed character but digits and the letters A-Z, a-z; Backspace is discarded
// too unless allowed.
void acceptOnlyCodeCharacters(QLineEdit *field, bool allowBackspace);

// When the user moves from the field to another control of its window (Tab, Enter, a click, a
// mnemonic), runs check; when it returns false (having shown its message, if any) the focus
// goes back to the field. Moving to one of the exempt controls (the cancel button), focus lost
// to another window (a message, a finder) and focus moved by the program are not checked.
void checkOnLeave(QWidget *field, std::function<bool()> check, const QList<QWidget *> &exempt);

// Enter on the control (an option, a check box) moves to the next control, as Tab.
void enterMovesOn(QWidget *control);
