#include "ui/frmTrovaPdc.h"

#include "ui/Help.h"

using namespace Qt::StringLiterals;

frmTrovaPdc::frmTrovaPdc(int level, QWidget *owner)
    : FinderDialog(level == 0 ? FinderLevel::Mastri : FinderLevel::Conti, false,
                   HelpContext::TrovaPdc, owner)
{
    setObjectName(u"frmTrovaPdc"_s);
}

qint64 frmTrovaPdc::Apri(QWidget *owner, int level)
{
    frmTrovaPdc window(level, owner);
    return window.run();
}
