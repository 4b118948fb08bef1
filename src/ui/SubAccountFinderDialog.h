#pragma once

#include "ui/FinderDialog.h"

// The sub-account finder, which also lets the user ask for a new sub-account.
class SubAccountFinderDialog : public FinderDialog {
    Q_OBJECT

public:
    SubAccountFinderDialog(const Archive &archive, QWidget *owner);

    // Shows the finder modally over owner, the search box starting with the text (selected, so
    // that typing replaces it). Returns the chosen sub-account's id, 0 when the user asks for a
    // new sub-account ("Nuovo", F5) and -1 when the user cancels, also through the window frame.
    static qint64 choose(QWidget *owner, const Archive &archive, const QString &initialText = {});
};
