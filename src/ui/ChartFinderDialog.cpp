#include "ui/ChartFinderDialog.h"

#include "ui/Help.h"

using namespace Qt::StringLiterals;

ChartFinderDialog::ChartFinderDialog(const Archive &archive, int level, QWidget *owner)
    : FinderDialog(archive, level == 0 ? FinderLevel::Mastri : FinderLevel::Conti, false,
                   HelpContext::TrovaPdc, owner)
{
    setObjectName(u"ChartFinderDialog"_s);
}

qint64 ChartFinderDialog::choose(QWidget *owner, const Archive &archive, int level)
{
    ChartFinderDialog window(archive, level, owner);
    return window.run();
}
