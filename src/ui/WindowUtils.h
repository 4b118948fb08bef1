#pragma once

#include <QList>
#include <QString>

class QCheckBox;
class QIcon;
class QDialog;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QWidget;

// The program's own icon, for its windows and its "Info Prodotto".
QIcon programIcon();

// Takes away the window's close button and refuses closes that come from the window system,
// so that the dialog is left only through its own buttons and keys.
void removeCloseButton(QWidget *window);

// "Salva" and "Annulla" (rejecting the dialog), with a "Guida" button when helpContext is not 0;
// none of them takes Enter for itself, since Enter moves between fields.
QDialogButtonBox *saveCancelButtons(QDialog *dialog, int helpContext, QPushButton **save,
                                    QPushButton **cancel);

// The note under a field: wrapped, in italics and in the placeholder colour.
QLabel *noteLabel(const QString &text, QWidget *parent);

// Twips (1440 an inch) as pixels on the widget's screen.
int twipsToPixels(const QWidget *widget, int twips);

// Enter in a text box or a drop-down of the window moves to the next field, as everywhere in
// the program; buttons keep Enter for themselves.
void enterMovesToNextField(QWidget *window);

// The window opens where and as large as the user last left it (kept per user under name, and
// within the screen); until then at the size it gives itself.
void rememberGeometry(QWidget *window, const QString &name);

// The boxes keep at least one of them checked: clearing the last checked box checks it again.
void keepOneChecked(const QList<QCheckBox *> &boxes);
