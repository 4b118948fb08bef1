#include "ui/frmTrovaPdc.h"

#include "ui/Help.h"

using namespace Qt::StringLiterals;

frmTrovaPdc::frmTrovaPdc(const Archive &archive, int level, QWidget *owner)
    : FinderDialog(archive, level == 0 ? FinderLevel::Mastri : FinderLevel::Conti, false,
                   HelpContext::TrovaPdc, owner)
{
    setObjectName(u"frmTrovaPdc"_s);
}

qint64 frmTrovaPdc::Apri(QWidget *owner, const Archive &archive, int level)
{
    frmTrovaPdc window(archive, level, owner);
    return window.run();
}
