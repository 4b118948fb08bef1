#pragma once

#include <QUrl>

class QDialogButtonBox;
class QPushButton;
class QWidget;

// The program's help: one HTML topic per help context number, a contents page and a page of
// keyboard shortcuts, shown in the program's own help window.
namespace HelpContext {
enum : int {
    Preferenze = 7,
    Conti = 11,
    TrovaPdc = 14,
    DataLavoro = 16,
    Progressivi = 17,
    NuovaContabilita = 18,
    Registrazione = 22,
    TrovaSottoconto = 22, // the sub-account finder is part of entering a journal entry
    Mastro = 23,
    Conto = 24,
    Sottoconto = 25,
    Stampe = 26,
    StampaPianoConti = 30,
    Sottoconti = 31,
    ChiusuraApertura = 33,
    BilancioRiclassificato = 36,
    Mastri = 45,
    Schede = 46,
    Movimenti = 47,
    ImportaEstratto = 50,
    ProfiliCsv = 51,
    RegoleBanca = 52,
    Riconciliazione = 53,
    Cruscotto = 54,
    CopieSicurezza = 55,
    RiapriEsercizio = 56,
    StampaDefinitiva = 57,
    RendicontoCassa = 58,
    ArchiviServer = 59,
};
} // namespace HelpContext

// Opens the help window at the topic of the context number (the contents when the number has no
// topic). The window belongs to owner's top-level window, so that it stays usable while that
// window is modal; one help window per top-level window, reused.
void showHelp(QWidget *owner, int context);
void showHelpContents(QWidget *owner);
void showShortcutsHelp(QWidget *owner);

// Gives the window its help context (the property "helpContext") and makes F1 open that topic.
void installHelp(QWidget *window, int context);
// F1 opens the topic of the window's property "helpContext" as it is when the key is pressed;
// for windows whose topic changes (the main window follows its view).
void installHelpKey(QWidget *window);
// installHelp, plus a "Guida" button in the button box (help role) that opens the topic.
QPushButton *addHelpButton(QDialogButtonBox *buttons, int context);
// installHelp, plus a "Guida" button, child of window, for windows that place their own buttons.
QPushButton *createHelpButton(QWidget *window, int context);

// Where the shipped pages live; a topic's page exists when QFile can open its local file.
QUrl helpTopicUrl(int context);
QUrl helpContentsUrl();
QUrl helpShortcutsUrl();
