#pragma once

#include "ui/FinderDialog.h"

// The chart finder: picks a ledger (level 0) or an account (level 1) by part of its name.
class ChartFinderDialog : public FinderDialog {
    Q_OBJECT

public:
    ChartFinderDialog(const Archive &archive, int level, QWidget *owner);

    // Shows the finder modally over owner: the chosen id, or -1 when the user cancels.
    static qint64 choose(QWidget *owner, const Archive &archive, int level);
};
