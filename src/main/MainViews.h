#pragma once

#include "data/GridColumn.h"

#include <QDate>
#include <QStringList>
#include <QVariantList>

class FiscalEnvironment;

// The five views of the main window, in the order of the "Visualizza" menu.
enum class MainView { Schede = 0, Movimenti = 1, Mastri = 2, Conti = 3, Sottoconti = 4 };
constexpr int MainViewCount = 5;

// The text of a nature on the account cards: "1. " to "4. " and "5. " for memorandum accounts,
// so that sorting the texts lists memorandum accounts last.
QString natureCardCaption(int nature, const QStringList &names);

// What a view reads and how it presents it. Views 0 and 1 are limited to the fiscal year.
struct MainViewDefinition {
    QString caption;            // menu item, navigation item and title
    int helpContext = 0;        // help topic of the window while the view is shown
    QString searchHint;         // text beside the search box
    QString statement;          // SQL with the fiscal-year bounds as bound values, if any
    QStringList searchFields;   // result fields the search box looks into
    QStringList sharedColumns;  // columns that share the width left by the fixed ones
    int scrollBarAllowance = 0; // scroll-bar widths kept free when sharing
};

const MainViewDefinition &mainViewDefinition(MainView view);
// Bound values of the view's statement: the fiscal-year bounds for views 0 and 1, else none.
QVariantList mainViewBindings(MainView view, const QDate &first, const QDate &last);
// The grid columns of views 1-4, one per result field, in result order.
QList<GridColumn> mainViewColumns(MainView view, const QStringList &natureNames);

// Row style of a journal line by entry type: "chiusura" for a closing entry, "apertura" for an
// opening entry, none otherwise.
QString journalRowStyle(const QVariant &tipo);
// Icon of the attachment column: the paper clip when the entry has an attachment.
int attachmentIcon(const QVariant &attached);
// Icon of the marked-account column: the mark when the account is hidden in balance printouts.
int balanceMarkIcon(const QVariant &bilancio);

// Which items of the grid pop-up menu the view allows. Items that need a record are off on an
// empty grid; "Duplica" and "Apri Allegato" belong to the journal, the latter only for an
// entry with an attachment.
struct PopupMenuRules {
    bool add = true;
    bool duplicate = false;
    bool edit = false;
    bool remove = false;
    bool openAttachment = false;
};
PopupMenuRules popupMenuRules(MainView view, bool hasRecord, const QVariant &attached);
